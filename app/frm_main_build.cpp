// frmMain's construction: the widgets, their arrangement, the menu, and the bindings that write each
// user edit into the sheet.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/captions.h"
#include "app/frm_main.h"
#include "app/widgets.h"
#include "editing/gestures.h"
#include "editing/presets.h"

namespace zeze {
namespace {

QString indexed(const char* name, int index) {
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

template <typename W>
W* named(W* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

std::string toStd(const QString& text) {
    return text.toStdString();
}

}  // namespace

void FrmMain::buildWidgets() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(buildConnectionArea());
    layout->addWidget(buildProgrammingFrame(), 1);
    setCentralWidget(central);
}

QWidget* FrmMain::buildConnectionArea() {
    auto* area = new QWidget;
    auto* grid = new QGridLayout(area);
    grid->setContentsMargins(0, 0, 0, 0);
    const QFontMetrics fm(font());

    Zeze_Address_Label = named(new QLabel(text::kAddressLabel), QStringLiteral("Zeze_Address_Label"));
    Zeze_Address = named(new QComboBox, QStringLiteral("Zeze_Address"));
    Zeze_Address->setEditable(true);
    Zeze_Address->setInsertPolicy(QComboBox::NoInsert);
    Zeze_Address->setToolTip(text::kAddressTip);
    Zeze_Address->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("192.168.254.102")) + 40);
    Zeze_Port_Label = named(new GestureLabel(text::kPortLabel), QStringLiteral("Zeze_Port_Label"));
    Zeze_Port_Label->setToolTip(text::kPortLabelTip);
    Zeze_Port = named(new QLineEdit, QStringLiteral("Zeze_Port"));
    Zeze_Port->setToolTip(text::kPortTip);
    Zeze_State_Label = named(new QLabel(text::kStateLabel), QStringLiteral("Zeze_State_Label"));
    Zeze_State = named(new QLineEdit, QStringLiteral("Zeze_State"));
    Zeze_State->setFocusPolicy(Qt::NoFocus);
    Zeze_State->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("Peer is closing connection")) + 16);
    Connect = named(new QPushButton(text::kConnect), QStringLiteral("Connect"));
    Connect->setToolTip(text::kConnectTip);
    Disconnect = named(new QPushButton(text::kDisconnect), QStringLiteral("Disconnect"));
    Disconnect->setToolTip(text::kDisconnectTip);
    ListBox = named(new ActivityLog, QStringLiteral("ListBox"));
    ListBox->setToolTip(text::kActivityTip);
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox->setMinimumWidth(fm.horizontalAdvance(QLatin1Char('x')) * 48);
    ListBox->setFixedHeight(fm.height() * 6 + 8);
    Text2Hex = named(new QLineEdit, QStringLiteral("Text2Hex"));
    HexBox = named(new QLineEdit, QStringLiteral("HexBox"));
    HexLen = named(new QLabel, QStringLiteral("HexLen"));
    Text2Hex->hide();
    HexBox->hide();
    Text2Hex->installEventFilter(this);

    grid->addWidget(Zeze_Address_Label, 0, 0);
    grid->addWidget(Zeze_Address, 0, 1);
    grid->addWidget(Zeze_Port_Label, 1, 0);
    grid->addWidget(Zeze_Port, 1, 1);
    grid->addWidget(Zeze_State_Label, 2, 0);
    grid->addWidget(Zeze_State, 2, 1);
    grid->addWidget(Connect, 0, 2);
    grid->addWidget(Disconnect, 1, 2);
    grid->addWidget(ListBox, 0, 3, 3, 1);
    grid->addWidget(Text2Hex, 0, 4);
    grid->addWidget(HexBox, 1, 4);
    grid->addWidget(HexLen, 0, 5, Qt::AlignTop);
    grid->setColumnStretch(3, 2);
    grid->setColumnStretch(4, 1);

    connect(Connect, &QPushButton::clicked, this, &FrmMain::onConnectClicked);
    connect(Disconnect, &QPushButton::clicked, this, &FrmMain::onDisconnectClicked);
    connect(Zeze_Port_Label, &GestureLabel::clicked, this, &FrmMain::onPortLabelClicked);
    connect(Text2Hex, &QLineEdit::textChanged, this, &FrmMain::onText2HexChanged);
    return area;
}

QGroupBox* FrmMain::buildProgrammingFrame() {
    fraZezeProgramming = named(new QGroupBox(text::kFrame), QStringLiteral("fraZezeProgramming"));
    // The frame's caption is large and bold; its contents keep the window's font.
    QFont frameFont = font();
    frameFont.setPointSizeF(frameFont.pointSizeF() * 12.0 / 8.25);
    frameFont.setBold(true);
    fraZezeProgramming->setFont(frameFont);
    auto* inner = new QWidget;
    QFont plain = font();
    plain.setBold(false);
    plain.setPointSizeF(font().pointSizeF());
    inner->setFont(plain);
    auto* frameLayout = new QVBoxLayout(fraZezeProgramming);
    frameLayout->addWidget(inner);
    auto* innerLayout = new QVBoxLayout(inner);
    innerLayout->setContentsMargins(0, 0, 0, 0);
    const QFontMetrics fm(plain);
    const int octetWidth = fm.horizontalAdvance(QStringLiteral("0000")) + 10;

    // Network settings, options and serial ports: four rows.
    auto* net = new QGridLayout;
    auto addAddressRow = [&](int row, int firstColumn, const char* labelName, const char* caption,
                             std::array<QLineEdit*, kOctetCount>& boxes, const char* boxName) {
        net->addWidget(named(new QLabel(caption), QLatin1String(labelName)), row, firstColumn);
        for (int index = kOctetCount - 1; index >= 0; --index) {
            boxes[index] = named(new QLineEdit, indexed(boxName, index));
            boxes[index]->setMinimumWidth(octetWidth);
            boxes[index]->setMaximumWidth(octetWidth * 2);
            net->addWidget(boxes[index], row, firstColumn + 1 + (kOctetCount - 1 - index));
        }
    };
    addAddressRow(0, 0, "lbl_Zeze_Address", text::kAddressLabel, txt_Zeze_Address, "txt_Zeze_Address");
    net->addWidget(named(new QLabel(text::kPortLabel), QStringLiteral("lbl_Zeze_Port")), 1, 0);
    txt_Zeze_Port = named(new QLineEdit, QStringLiteral("txt_Zeze_Port"));
    net->addWidget(txt_Zeze_Port, 1, 3, 1, 2);
    addAddressRow(2, 0, "lbl_Zeze_Mask", text::kSubnetMask, txt_Zeze_Mask, "txt_Zeze_Mask");
    addAddressRow(3, 0, "lbl_Gateway", text::kGateway, txt_Gateway, "txt_Gateway");

    net->setColumnMinimumWidth(5, fm.horizontalAdvance(QLatin1Char('x')) * 3);
    addAddressRow(0, 6, "lbl_Destination_Address", text::kDestAddress, txt_Dest_Address, "txt_Dest_Address");
    net->addWidget(named(new QLabel(text::kDestPort), QStringLiteral("lbl_Destination_Port")), 1, 6);
    txt_Dest_Port = named(new QLineEdit, QStringLiteral("txt_Dest_Port"));
    net->addWidget(txt_Dest_Port, 1, 9, 1, 2);
    chk_Zivido_and_Status = named(new QCheckBox(text::kSuppress), QStringLiteral("chk_Zivido_and_Status"));
    net->addWidget(chk_Zivido_and_Status, 2, 6, 1, 5);
    chk_Auto_Checksum = named(new QCheckBox(text::kAutoChecksum), QStringLiteral("chk_Auto_Checksum"));
    chk_Auto_Checksum->setChecked(true);
    chk_Auto_Checksum->hide();
    net->addWidget(chk_Auto_Checksum, 3, 6, 1, 5);

    net->setColumnMinimumWidth(11, fm.horizontalAdvance(QLatin1Char('x')) * 3);
    for (int p = 0; p < kSerialPortCount; ++p) {
        net->addWidget(
            named(new QLabel(QString(text::kSerialPort) + QString::number(p + 1)), indexed("lbl_Port", p)), p,
            12);
        cbo_Port_Speed[p] = named(new QComboBox, indexed("cbo_Port_Speed", p));
        cbo_Port_Parity[p] = named(new QComboBox, indexed("cbo_Port_Parity", p));
        for (QComboBox* combo : {cbo_Port_Speed[p], cbo_Port_Parity[p]}) {
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
        }
        cbo_Port_Speed[p]->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("57600")) + 40);
        cbo_Port_Parity[p]->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("Even")) + 40);
        net->addWidget(cbo_Port_Speed[p], p, 13);
        net->addWidget(cbo_Port_Parity[p], p, 14);
    }
    net->setColumnStretch(5, 1);
    net->setColumnStretch(11, 1);
    innerLayout->addLayout(net);
    innerLayout->addSpacing(fm.height());

    // The pin grid: three groups of eight rows, each with its own headings.
    auto* pins = new QGridLayout;
    pins->setVerticalSpacing(2);
    constexpr int kColumnsPerGroup = 8;
    constexpr int kRowsPerGroup = 8;
    auto heading = [&](std::array<GestureLabel*, 3>& labels, int g, const char* name, const QString& caption,
                       const char* tip) {
        labels[g] = named(new GestureLabel(caption), indexed(name, g));
        labels[g]->setAlignment(Qt::AlignCenter);
        if (tip)
            labels[g]->setToolTip(tip);
        return labels[g];
    };
    for (int g = 0; g < 3; ++g) {
        const int base = g * kColumnsPerGroup;
        pins->addWidget(heading(lbl_Port_Steering, g, "lbl_Port_Steering", text::kSendToPorts, nullptr), 0,
                        base + 3, 1, 4, Qt::AlignCenter);
        pins->addWidget(heading(lbl_Invert, g, "lbl_Invert", text::kInvert, text::kColumnHeadingTip), 1,
                        base + 2, Qt::AlignCenter);
        pins->addWidget(heading(lbl_Send_2_Port1, g, "lbl_Send_2_Port1", "1", text::kColumnHeadingTip), 1,
                        base + 3, Qt::AlignCenter);
        pins->addWidget(heading(lbl_Send_2_Port2, g, "lbl_Send_2_Port2", "2", text::kColumnHeadingTip), 1,
                        base + 4, Qt::AlignCenter);
        pins->addWidget(heading(lbl_Send_2_Port3, g, "lbl_Send_2_Port3", "3", text::kColumnHeadingTip), 1,
                        base + 5, Qt::AlignCenter);
        pins->addWidget(heading(lbl_Send_2_Port4, g, "lbl_Send_2_Port4", "4", text::kColumnHeadingTip), 1,
                        base + 6, Qt::AlignCenter);
        pins->setColumnStretch(base + 1, 1);
        if (g < 2)
            pins->setColumnMinimumWidth(base + 7, fm.horizontalAdvance(QLatin1Char('x')) * 2);
        for (int k = 0; k < kRowsPerGroup; ++k) {
            const int row = g * kRowsPerGroup + k;
            const int gridRow = 2 + k;
            lbl_GPI_Pin[row] = named(new GestureLabel, indexed("lbl_GPI_Pin", row));
            cbo_Command[row] = named(new QComboBox, indexed("cbo_Command", row));
            cbo_Command[row]->setEditable(true);
            cbo_Command[row]->setInsertPolicy(QComboBox::NoInsert);
            cbo_Command[row]->setToolTip(text::kCommandTip);
            cbo_Command[row]->setMinimumWidth(octetWidth * 4);
            cbo_Command[row]->installEventFilter(this);
            chk_Invert_Trigger[row] = named(new QCheckBox, indexed("chk_Invert_Trigger", row));
            chk_Send_2_Port1[row] = named(new QCheckBox, indexed("chk_Send_2_Port1", row));
            chk_Send_2_Port2[row] = named(new QCheckBox, indexed("chk_Send_2_Port2", row));
            chk_Send_2_Port3[row] = named(new QCheckBox, indexed("chk_Send_2_Port3", row));
            chk_Send_2_Port4[row] = named(new QCheckBox, indexed("chk_Send_2_Port4", row));
            pins->addWidget(lbl_GPI_Pin[row], gridRow, base);
            pins->addWidget(cbo_Command[row], gridRow, base + 1);
            pins->addWidget(chk_Invert_Trigger[row], gridRow, base + 2, Qt::AlignCenter);
            pins->addWidget(chk_Send_2_Port1[row], gridRow, base + 3, Qt::AlignCenter);
            pins->addWidget(chk_Send_2_Port2[row], gridRow, base + 4, Qt::AlignCenter);
            pins->addWidget(chk_Send_2_Port3[row], gridRow, base + 5, Qt::AlignCenter);
            pins->addWidget(chk_Send_2_Port4[row], gridRow, base + 6, Qt::AlignCenter);
        }
    }
    innerLayout->addLayout(pins);
    innerLayout->addSpacing(fm.height());

    // Transfer buttons, with the two hidden request buttons to their left.
    QFont buttonFont = plain;
    buttonFont.setPointSizeF(plain.pointSizeF() * 9.75 / 8.25);
    cmd_GPI_Request = named(new QPushButton(text::kRequestGpi), QStringLiteral("cmd_GPI_Request"));
    cmd_ID_Request = named(new QPushButton(text::kRequestId), QStringLiteral("cmd_ID_Request"));
    cmd_Download = named(new QPushButton(text::kSendToZeze), QStringLiteral("cmd_Download"));
    cmd_Dump_Request = named(new QPushButton(text::kGetFromZeze), QStringLiteral("cmd_Dump_Request"));
    cmd_GPI_Request->hide();
    cmd_ID_Request->hide();
    cmd_Download->setToolTip(text::kSendToZezeTip);
    cmd_Dump_Request->setToolTip(text::kGetFromZezeTip);
    for (QPushButton* button : {cmd_Download, cmd_Dump_Request}) {
        button->setFont(buttonFont);
        button->setMinimumWidth(QFontMetrics(buttonFont).horizontalAdvance(QStringLiteral("Get from Zeze")) *
                                2);
        button->setMinimumHeight(QFontMetrics(buttonFont).height() * 2);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmd_GPI_Request);
    buttons->addWidget(cmd_ID_Request);
    buttons->addStretch(4);
    buttons->addWidget(cmd_Download, 3);
    buttons->addStretch(1);
    buttons->addWidget(cmd_Dump_Request, 3);
    innerLayout->addLayout(buttons);

    connect(cmd_Download, &QPushButton::clicked, this, &FrmMain::onDownloadClicked);
    connect(cmd_Dump_Request, &QPushButton::clicked, this, &FrmMain::onDumpRequestClicked);
    connect(cmd_GPI_Request, &QPushButton::clicked, this, &FrmMain::onGpiRequestClicked);
    connect(cmd_ID_Request, &QPushButton::clicked, this, &FrmMain::onIdRequestClicked);
    for (int row = 0; row < kPinCount; ++row) {
        connect(lbl_GPI_Pin[row], &GestureLabel::clicked, this, [this, row] {
            FillCountPattern(m_sheet, row);
            showSheet();
        });
    }
    for (int g = 0; g < 3; ++g) {
        connect(lbl_Port_Steering[g], &GestureLabel::clicked, this, [this] {
            ResetPortSteering(m_sheet);
            showSheet();
        });
        const std::array<std::pair<GestureLabel*, FlagColumn>, 5> headings{
            {{lbl_Invert[g], FlagColumn::Invert},
             {lbl_Send_2_Port1[g], FlagColumn::Port1},
             {lbl_Send_2_Port2[g], FlagColumn::Port2},
             {lbl_Send_2_Port3[g], FlagColumn::Port3},
             {lbl_Send_2_Port4[g], FlagColumn::Port4}}};
        for (const auto& [label, column] : headings) {
            connect(label, &GestureLabel::pressed, this,
                    [this, column](Qt::MouseButton button) { onColumnHeadingPressed(column, button); });
        }
    }
    return fraZezeProgramming;
}

void FrmMain::buildMenu() {
    QMenu* options = menuBar()->addMenu(text::kOptions);
    options->setObjectName(QStringLiteral("mnuOptions"));
    options->setToolTipsVisible(true);
    auto addItem = [&](const char* caption, const char* name) {
        QAction* action = options->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    mnuDefaults = addItem(text::kOneMachine, "mnuDefaults");
    mnuFourMach = addItem(text::kFourMachines, "mnuFourMach");
    mnuGang = addItem(text::kGang, "mnuGang");
    mnuReadShort = addItem(text::kReadShort, "mnuReadShort");
    mnuReadShort->setCheckable(true);
    mnuReadShort->setToolTip(text::kReadShortTip);
    connect(mnuDefaults, &QAction::triggered, this, [this] { onPresetChosen(Preset::OneMachine); });
    connect(mnuFourMach, &QAction::triggered, this, [this] { onPresetChosen(Preset::FourMachines); });
    connect(mnuGang, &QAction::triggered, this, [this] { onPresetChosen(Preset::Gang); });
    connect(mnuReadShort, &QAction::toggled, this, [this](bool on) { m_sheet.readShort = on; });
}

// User edits write their one field into the sheet at once.
void FrmMain::bindEdits() {
    auto bindText = [this](QLineEdit* edit, std::string* field) {
        connect(edit, &QLineEdit::textChanged, this, [field](const QString& text) { *field = toStd(text); });
    };
    for (int i = 0; i < kOctetCount; ++i) {
        bindText(txt_Zeze_Address[i], &m_sheet.network.zezeAddress[i]);
        bindText(txt_Zeze_Mask[i], &m_sheet.network.subnetMask[i]);
        bindText(txt_Gateway[i], &m_sheet.network.gateway[i]);
        bindText(txt_Dest_Address[i], &m_sheet.network.destAddress[i]);
    }
    bindText(txt_Zeze_Port, &m_sheet.network.zezePort);
    bindText(txt_Dest_Port, &m_sheet.network.destPort);
    connect(chk_Zivido_and_Status, &QCheckBox::toggled, this,
            [this](bool on) { m_sheet.suppressHeaderAndStatus = on; });

    // A speed or parity counts as chosen only while the box shows exactly one of its list's texts, so
    // what is sent is always what the operator sees.
    for (int p = 0; p < kSerialPortCount; ++p) {
        connect(cbo_Port_Speed[p], &QComboBox::editTextChanged, this, [this, p](const QString& text) {
            m_sheet.ports[p].speed =
                cbo_Port_Speed[p]->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        });
        connect(cbo_Port_Parity[p], &QComboBox::editTextChanged, this, [this, p](const QString& text) {
            m_sheet.ports[p].parity =
                cbo_Port_Parity[p]->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        });
    }
    for (int row = 0; row < kPinCount; ++row) {
        PinRow& pin = m_sheet.pins[row];
        connect(cbo_Command[row], &QComboBox::editTextChanged, this,
                [&pin](const QString& text) { pin.command = toStd(text); });
        connect(chk_Invert_Trigger[row], &QCheckBox::toggled, this, [&pin](bool on) { pin.invert = on; });
        connect(chk_Send_2_Port1[row], &QCheckBox::toggled, this,
                [&pin](bool on) { pin.sendToPort[0] = on; });
        connect(chk_Send_2_Port2[row], &QCheckBox::toggled, this,
                [&pin](bool on) { pin.sendToPort[1] = on; });
        connect(chk_Send_2_Port3[row], &QCheckBox::toggled, this,
                [&pin](bool on) { pin.sendToPort[2] = on; });
        connect(chk_Send_2_Port4[row], &QCheckBox::toggled, this,
                [&pin](bool on) { pin.sendToPort[3] = on; });
    }
}

}  // namespace zeze
