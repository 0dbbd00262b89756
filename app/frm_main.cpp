// frmMain at run time: start-up, showing the sheet, the Activity log, and the handlers of clicks,
// ticks and socket events.
#include "app/frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

#include "app/captions.h"
#include "app/sheet_files.h"
#include "app/sheet_undo.h"
#include "app/status_display.h"
#include "app/widgets.h"
#include "editing/command_string.h"
#include "editing/gestures.h"
#include "editing/presets.h"
#include "link/tcp_socket.h"
#include "link/wait.h"
#include "protocol/config_record.h"
#include "protocol/conversation_text.h"
#include "protocol/frame.h"
#include "version.h"

namespace zeze {
namespace {

using Clock = std::chrono::steady_clock;

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// Writes a line edit only when its text differs, so the cursor of a box being typed in stays put.
void setTextIfChanged(QLineEdit* edit, const QString& text) {
    if (edit->text() != text)
        edit->setText(text);
}

// A text written into a box out of the focus shows from its start.
void setComboText(QComboBox* combo, const QString& text) {
    if (combo->currentText() == text)
        return;
    combo->setEditText(text);
    if (!combo->hasFocus())
        combo->lineEdit()->setCursorPosition(0);
}

// A list position that is not in the list shows as an empty box.
void setComboPosition(QComboBox* combo, int position) {
    if (position < 0 || position >= combo->count()) {
        combo->setCurrentIndex(-1);
        combo->setEditText(QString());
    } else if (combo->currentIndex() != position || combo->currentText() != combo->itemText(position)) {
        combo->setCurrentIndex(position);
        combo->setEditText(combo->itemText(position));
    }
}

}  // namespace

FrmMain::FrmMain(std::unique_ptr<Socket> socket, QWidget* parent)
    : QMainWindow(parent), m_socket(socket ? std::move(socket) : std::make_unique<TcpSocket>()) {
    setObjectName(QStringLiteral("frmMain"));
    m_socket->setParent(nullptr);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    m_engineLink = new EngineLink(*m_socket, this);
    m_history = std::make_unique<SheetHistory>(configValuesOf(m_sheet),
                                               [this](const ConfigValues& values) { restoreValues(values); });
    connect(&m_history->stack(), &QUndoStack::cleanChanged, this, &FrmMain::updateTitle);
    buildWidgets();
    buildMenu();
    bindEdits();

    connect(Timer1, &QTimer::timeout, this, &FrmMain::onTimerTick);
    connect(m_engineLink, &EngineLink::woken, this, &FrmMain::onWake);
    connect(m_socket.get(), &Socket::connected, this, &FrmMain::onSocketConnected);
    connect(m_socket.get(), &Socket::dataArrived, this, &FrmMain::onDataArrived);
    connect(m_socket.get(), &Socket::errorOccurred, this, &FrmMain::onSocketError);
    connect(m_socket.get(), &Socket::ended, this, &FrmMain::onConnectionEnded);
    loadForm();
}

FrmMain::~FrmMain() {
    // The undo stack says it is clean as it goes; by then the title's parts are gone.
    m_history->stack().disconnect(this);
}

QString FrmMain::startTitle() {
    return QStringLiteral("%1%2.%3.%4")
        .arg(QLatin1String(text::kTitlePrefix))
        .arg(kVersionMajor)
        .arg(kVersionMinor)
        .arg(kVersionRevision);
}

// ---------------------------------------------------------------------------------------------------
// Start-up

void FrmMain::loadForm() {
    Timer1->stop();
    QWidget::setTabOrder(Disconnect, Zeze_Address);
    Disconnect->setFocus();
    Zeze_Address->setEnabled(true);
    Zeze_Port->setEnabled(true);
    Zeze_State->setReadOnly(true);
    for (const char* address : text::kPresetAddresses)
        Zeze_Address->addItem(QLatin1String(address));
    Zeze_Address->setCurrentIndex(0);
    Zeze_Port->setText(text::kStartPort);
    Zeze_Port->setEnabled(true);
    // The socket takes host and port with each connect, so there is nothing to hand it here.
    for (int p = 0; p < kSerialPortCount; ++p) {
        for (int baud : kSpeedBauds)
            cbo_Port_Speed[p]->addItem(QString::number(baud));
        for (const char* parity : kParityNames)
            cbo_Port_Parity[p]->addItem(QLatin1String(parity));
    }
    for (int row = 0; row < kPinCount; ++row) {
        lbl_GPI_Pin[row]->setText(QString(text::kPin) + QString::number(pinNumber(row)));
    }
    m_sheet = Sheet{};  // pin rows, network settings, serial ports and run values at their start values
    showSheet();
    // Filling the lists above wrote into the sheet; the history starts from the sheet as it opens.
    m_history->reset(configValuesOf(m_sheet));
    updateTitle();
    Text2Hex->clear();
    HexLen->setText(QStringLiteral(" "));
    HexBox->clear();
    setTransferIdle();
    Timer1->start(kTimerIntervalMs);
}

// ---------------------------------------------------------------------------------------------------
// Sheet and log

void FrmMain::showSheet() {
    std::vector<std::unique_ptr<QSignalBlocker>> blockers;
    auto block = [&](QObject* object) { blockers.push_back(std::make_unique<QSignalBlocker>(object)); };
    const NetworkSettings& net = m_sheet.network;
    for (int i = 0; i < kOctetCount; ++i) {
        const std::array<std::pair<QLineEdit*, const std::string*>, 4> octets{
            {{txt_Zeze_Address[i], &net.zezeAddress[i]},
             {txt_Zeze_Mask[i], &net.subnetMask[i]},
             {txt_Gateway[i], &net.gateway[i]},
             {txt_Dest_Address[i], &net.destAddress[i]}}};
        for (const auto& [edit, value] : octets) {
            block(edit);
            setTextIfChanged(edit, fromStd(*value));
        }
    }
    block(txt_Zeze_Port);
    setTextIfChanged(txt_Zeze_Port, fromStd(net.zezePort));
    block(txt_Dest_Port);
    setTextIfChanged(txt_Dest_Port, fromStd(net.destPort));
    for (int p = 0; p < kSerialPortCount; ++p) {
        block(cbo_Port_Speed[p]);
        setComboPosition(cbo_Port_Speed[p], m_sheet.ports[p].speed);
        block(cbo_Port_Parity[p]);
        setComboPosition(cbo_Port_Parity[p], m_sheet.ports[p].parity);
    }
    block(chk_Zivido_and_Status);
    chk_Zivido_and_Status->setChecked(m_sheet.suppressHeaderAndStatus);
    block(chk_Auto_Checksum);
    chk_Auto_Checksum->setChecked(m_sheet.autoChecksum);
    block(mnuReadShort);
    mnuReadShort->setChecked(m_sheet.readShort);
    m_conversation.setReadShort(m_sheet.readShort);
    for (int row = 0; row < kPinCount; ++row) {
        const PinRow& pin = m_sheet.pins[row];
        block(cbo_Command[row]);
        setComboText(cbo_Command[row], fromStd(pin.command));
        const std::array<std::pair<QCheckBox*, bool>, 5> flags{{{chk_Invert_Trigger[row], pin.invert},
                                                                {chk_Send_2_Port1[row], pin.sendToPort[0]},
                                                                {chk_Send_2_Port2[row], pin.sendToPort[1]},
                                                                {chk_Send_2_Port3[row], pin.sendToPort[2]},
                                                                {chk_Send_2_Port4[row], pin.sendToPort[3]}}};
        for (const auto& [box, on] : flags) {
            block(box);
            box->setChecked(on);
        }
    }
}

void FrmMain::log(const QString& line) {
    ListBox->append(line);
}

void FrmMain::trimActivityLog() {
    ListBox->trim();
}

void FrmMain::setTransferWaiting() {
    if (cmd_Download->isEnabled() || cmd_Dump_Request->isEnabled())
        keepFocusSafe();
    cmd_Download->setEnabled(false);
    cmd_Dump_Request->setEnabled(false);
    cmd_Download->setText(text::kWait);
    cmd_Dump_Request->setText(text::kWait);
    mnuGet->setEnabled(false);
    mnuSend->setEnabled(false);
}

void FrmMain::keepFocusSafe() {
    QWidget* focus = QApplication::focusWidget();
    m_refocus = focus == cmd_Download || focus == cmd_Dump_Request || focus == Disconnect
                    ? static_cast<QPushButton*>(focus)
                    : nullptr;
    // Disabled, a transfer button would pass the focus along the Tab chain round to Disconnect, where a
    // second Space ends the transfer. The read-only state box does nothing with Space or Enter.
    if (m_refocus != nullptr) {
        Zeze_State->setFocus(Qt::OtherFocusReason);
        m_focusMovedTo = Zeze_State;
    }
}

void FrmMain::setTransferIdle() {
    cmd_Download->setText(text::kSendToZeze);
    cmd_Dump_Request->setText(text::kGetFromZeze);
    cmd_Download->setEnabled(true);
    cmd_Dump_Request->setEnabled(true);
    mnuGet->setEnabled(true);
    mnuSend->setEnabled(true);
    // The focus goes back to the button that started the transfer, unless the operator has moved it since.
    if (m_refocus != nullptr) {
        QWidget* focus = QApplication::focusWidget();
        if (focus == m_focusMovedTo || focus == nullptr)
            m_refocus->setFocus(Qt::OtherFocusReason);
    }
    m_refocus = nullptr;
    m_focusMovedTo = nullptr;
}

void FrmMain::updateTitle() {
    QString title = startTitle();
    if (!m_firmwareText.isEmpty())
        title += QLatin1String(text::kFirmwareTitleInfix) + m_firmwareText;
    if (!m_filePath.isEmpty())
        title.prepend(QString(text::kFileTitle).arg(QFileInfo(m_filePath).fileName()));
    setWindowTitle(title);
    setWindowFilePath(m_filePath);
    // Only a title with a file carries the mark of unsaved changes.
    setWindowModified(!m_filePath.isEmpty() && !m_history->saved());
}

bool FrmMain::getAwaited() const {
    return m_conversation.awaitingDump() && m_pendingRead == PendingRead::None;
}

void FrmMain::recordChange(int field) {
    // A Get empties the commands while it waits: its step is taken once the box's programming is in or
    // the commands are back, so an undo returns to the sheet before the Get.
    if (!getAwaited())
        m_history->record(configValuesOf(m_sheet), field);
}

void FrmMain::restoreValues(const ConfigValues& values) {
    applyConfigValues(m_sheet, values);
    showSheet();
}

bool FrmMain::connected() const {
    return m_socket->state() == kStateConnected;
}

void FrmMain::apply(Effects effects) {
    for (const std::string& line : effects.lines)
        log(fromStd(line));
    // The sheet changes before anything is sent: a refusal's own change (a Get's commands put back)
    // comes after the change of the call that sent.
    if (effects.sheetChanged()) {
        applySheetChange(m_sheet, effects.sheet);
        showSheet();
        recordChange();
    }
    // Nothing after a refused message goes out.
    if (!m_engineLink->send(effects.sends))
        apply(m_conversation.sendRefused(Clock::now()));
    if (effects.firmwareText) {
        m_firmwareText = fromStd(*effects.firmwareText);
        updateTitle();
    }
    if (m_conversation.transferWaiting())
        setTransferWaiting();
    else
        setTransferIdle();
    if (!effects.lines.empty())
        trimActivityLog();
    if (effects.programming || effects.dumpFailed)
        reportProgramming(effects);
    m_engineLink->wakeAt(m_conversation.wakeAt());
}

// ---------------------------------------------------------------------------------------------------
// Connection

void FrmMain::onConnectClicked() {
    Connect->setEnabled(false);
    Zeze_Address->setEnabled(false);
    Zeze_Port->setEnabled(false);
    m_pendingRead = PendingRead::None;
    apply(m_conversation.connecting(Clock::now()));
    m_socket->connectTo(Zeze_Address->currentText(), Zeze_Port->text());
    log(text::kConnectAttempt);
    if (!Wait(kConnectWaitMs))
        return;
    apply(m_conversation.connectWaitOver(connected(), Clock::now()));
    trimActivityLog();
}

void FrmMain::onDisconnectClicked() {
    Zeze_Address->setEnabled(true);
    Zeze_Port->setEnabled(true);
    log(text::kDisconnectLine);
    m_socket->close();
    Connect->setEnabled(true);
    m_firmwareText.clear();
    updateTitle();
    // Nothing more can arrive: an awaited dump has failed, and the buttons are released whatever
    // they were waiting for. FirmwareVersion goes back to 0.
    apply(m_conversation.disconnect(Clock::now()));
    trimActivityLog();
}

void FrmMain::onSocketError(int number, const QString& description) {
    log(description);
    switch (number) {
        case kErrorConnectionAborted:
            log(text::kHintLost);
            break;
        case kErrorTimedOut:
            log(text::kHintNothing);
            break;
        case kErrorRefused:
            log(text::kHintPort);
            break;
        default:
            log(QString::number(number));
    }
    trimActivityLog();
}

void FrmMain::onSocketConnected() {
    apply(m_conversation.connectionUp(Clock::now()));
}

void FrmMain::onConnectionEnded() {
    // A connection lost to the network has said so with its error and hint already.
    const bool said = m_socket->state() == kStateError;
    apply(m_conversation.connectionLost(Clock::now(), said));
}

void FrmMain::onPortLabelClicked() {
    Zeze_Port->setEnabled(!Zeze_Port->isEnabled());
}

void FrmMain::onEnterPressed() {
    // Address and port are locked while a connect is under way, so this cannot start a second one.
    if (Connect->isEnabled())
        onConnectClicked();
}

bool FrmMain::portLabelKey(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
        onEnterPressed();
        return true;
    }
    // Tab from the address stops on the label first: digits typed there are meant for the port.
    if (key.key() >= Qt::Key_0 && key.key() <= Qt::Key_9 && !key.text().isEmpty()) {
        Zeze_Port->setEnabled(true);
        Zeze_Port->setFocus(Qt::TabFocusReason);
        QKeyEvent forwarded(key.type(), key.key(), key.modifiers(), key.text(), key.isAutoRepeat());
        QApplication::sendEvent(Zeze_Port, &forwarded);
        return true;
    }
    return false;
}

void FrmMain::onTimerTick() {
    const int state = m_socket->state();
    const StateLook look = stateLook(state);
    Zeze_State->showState(look.text);
    QPalette palette = Zeze_State->palette();
    palette.setColor(QPalette::Base, look.background);
    palette.setColor(QPalette::Text, Qt::black);
    Zeze_State->setPalette(palette);
    if (stateClearsTooltip(state)) {
        Zeze_State->setToolTip(QString());
        Connect->setEnabled(true);
    }
    if (stateShowsLocalEnd(state)) {
        // The local end is known only once connected; until then the box shows no tooltip.
        const quint16 port = m_socket->localPort();
        Zeze_State->setToolTip(port == 0 ? QString()
                                         : QStringLiteral("%1:%2").arg(m_socket->localAddress()).arg(port));
    }
    // A connection that has ended without telling (closed, failed) ends what was awaited on it.
    if (m_conversation.linkUp() &&
        (state == kStateClosed || state == kStatePeerClosing || state == kStateError))
        apply(m_conversation.connectionLost(Clock::now(), state == kStateError));
}

// ---------------------------------------------------------------------------------------------------
// Requests and the receive path

void FrmMain::onIdRequestClicked() {
    apply(m_conversation.requestId(connected(), Clock::now()));
    trimActivityLog();
}

void FrmMain::onGpiRequestClicked() {
    apply(m_conversation.requestGpi(connected(), Clock::now()));
    trimActivityLog();
}

void FrmMain::onDumpRequestClicked() {
    apply(m_conversation.requestDump(connected(), Clock::now(), m_sheet));
    trimActivityLog();
}

void FrmMain::onDataArrived(const QByteArray& bytes) {
    apply(m_conversation.arrived(EngineLink::bytesOf(bytes), Clock::now()));
}

void FrmMain::onWake() {
    apply(m_conversation.advance(Clock::now()));
}

// ---------------------------------------------------------------------------------------------------
// Download

void FrmMain::onDownloadClicked() {
    apply(m_conversation.download(connected(), Clock::now(), m_sheet));
    // Read back once the pause is over (the request waits for it), against the sheet as it went out.
    if (mnuVerifyAfterSend->isChecked() && m_conversation.transferWaiting() &&
        !m_conversation.awaitingDump()) {
        m_sentValues = configValuesOf(m_sheet);
        requestRead(PendingRead::Verify);
    }
}

// ---------------------------------------------------------------------------------------------------
// Editing

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Zeze_Port_Label && event->type() == QEvent::KeyPress)
        return portLabelKey(*static_cast<QKeyEvent*>(event));
    // Undo and redo in a box of the sheet are the sheet's, not the box's own text undo: left unaccepted,
    // the keys reach the Edit menu.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
            mnuRedo->shortcuts().contains(QKeySequence(key->keyCombination())))
            return true;
    }
    if (event->type() == QEvent::FocusOut) {
        // Only the focus moving to another control counts as leaving; a menu or another window
        // taking it for a moment does not.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == Text2Hex) {
                onText2HexLeft();
            } else {
                for (int row = 0; row < kPinCount; ++row) {
                    if (watched == cbo_Command[row])
                        onCommandLeft(row);
                }
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void FrmMain::onCommandLeft(int row) {
    if (const auto line = CheckCommandLength(m_sheet, row)) {
        QSignalBlocker blocker(cbo_Command[row]);
        cbo_Command[row]->setEditText(fromStd(m_sheet.pins[row].command));
        log(fromStd(*line));
        recordChange();
    }
}

void FrmMain::onText2HexChanged() {
    HexLen->setText(QString::number(Text2Hex->text().toStdU32String().size()));
}

void FrmMain::onText2HexLeft() {
    HexBox->setText(fromStd(TextToHex(Text2Hex->text().toStdU32String())));
}

void FrmMain::onPresetChosen(Preset preset) {
    ApplyPreset(m_sheet, preset);
    showSheet();
    recordChange();
}

void FrmMain::onColumnHeadingPressed(FlagColumn column, Qt::MouseButton button) {
    if (button != Qt::LeftButton && button != Qt::RightButton)
        return;
    SetFlagColumn(m_sheet, column, button == Qt::LeftButton);
    showSheet();
    recordChange();
}

}  // namespace zeze
