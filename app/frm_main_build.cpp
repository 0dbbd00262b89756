// frmMain's construction: the widgets, their arrangement, the tab order and the names screen readers
// announce, the menu, and the bindings that write each user edit into the sheet.
#include <QApplication>
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

#include <vector>

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

// A screen reader reads an editable combo box by the combo and by its text field; both get the name.
void nameCombo(QComboBox* combo, const QString& name) {
    combo->setAccessibleName(name);
    if (combo->lineEdit() != nullptr)
        combo->lineEdit()->setAccessibleName(name);
}

// The number a screen reader gives the octet box with array `index`: 1 for the leftmost (index 3).
int octetNumber(int index) {
    return kOctetCount - index;
}

}  // namespace

void FrmMain::buildWidgets() {
    installAccessibleInterfaces();
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    const QMargins margins = layout->contentsMargins();
    layout->setContentsMargins(4, margins.top(), 4, margins.bottom());
    // Extra height goes to the Activity log; the frame never grows past its content, and shrinks by
    // scrolling its sheet.
    layout->addWidget(buildConnectionArea(), 1);
    layout->addWidget(buildProgrammingFrame(), 0);
    setCentralWidget(central);

    // Tab follows the screen: Disconnect first, then the connection controls, the network settings
    // column by column, the option, the serial ports, each group of pins under its headings pin by pin
    // across the row, and the transfer buttons.
    std::vector<QWidget*> order{Disconnect, Zeze_Address, Zeze_Port_Label, Zeze_Port,
                                Connect,    Zeze_State,   ListBox};
    auto addOctets = [&](const std::array<QLineEdit*, kOctetCount>& boxes) {
        for (int index = kOctetCount - 1; index >= 0; --index)
            order.push_back(boxes[index]);
    };
    addOctets(txt_Zeze_Address);
    order.push_back(txt_Zeze_Port);
    addOctets(txt_Zeze_Mask);
    addOctets(txt_Gateway);
    addOctets(txt_Dest_Address);
    order.push_back(txt_Dest_Port);
    order.push_back(chk_Zivido_and_Status);
    for (int p = 0; p < kSerialPortCount; ++p) {
        order.push_back(cbo_Port_Speed[p]);
        order.push_back(cbo_Port_Parity[p]);
    }
    for (int g = 0; g < 3; ++g) {
        order.insert(order.end(), {lbl_Port_Steering[g], lbl_Invert[g], lbl_Send_2_Port1[g],
                                   lbl_Send_2_Port2[g], lbl_Send_2_Port3[g], lbl_Send_2_Port4[g]});
        for (int row = g * 8; row < g * 8 + 8; ++row) {
            order.insert(order.end(),
                         {lbl_GPI_Pin[row], cbo_Command[row], chk_Invert_Trigger[row], chk_Send_2_Port1[row],
                          chk_Send_2_Port2[row], chk_Send_2_Port3[row], chk_Send_2_Port4[row]});
        }
    }
    order.insert(order.end(), {cmd_Download, cmd_Dump_Request});
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    // A file dropped anywhere on the window is opened (dropEvent): the boxes take no dropped text.
    setAcceptDrops(true);
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->setAcceptDrops(false);
    // The window opens about a fifth sooner so.
    for (GestureLabel* label : findChildren<GestureLabel*>())
        label->takeFocusOnceShown();
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
    // Inline completion would let Enter dial a preset the operator never typed, and text set by a tool
    // (a screen reader, a test) could fall back to the first preset on Enter: what shows is what is dialled.
    Zeze_Address->setCompleter(nullptr);
    nameCombo(Zeze_Address, text::kAddressLabel);
    Zeze_Address->setAccessibleDescription(QString(text::kAddressTip) + text::kAccEnterConnects);
    Zeze_Address->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("192.168.254.102")) + 40);
    Zeze_Address_Label->setBuddy(Zeze_Address);
    Zeze_Port_Label = named(new GestureLabel(text::kPortLabel), QStringLiteral("Zeze_Port_Label"));
    Zeze_Port_Label->setToolTip(text::kPortLabelTip);
    Zeze_Port_Label->setAccessibleName(text::kAccPortLock);
    Zeze_Port_Label->setAccessibleDescription(text::kAccPortLockKeys);
    Zeze_Port = named(new QLineEdit, QStringLiteral("Zeze_Port"));
    Zeze_Port->setToolTip(text::kPortTip);
    Zeze_Port->setAccessibleName(text::kPortLabel);
    Zeze_Port->setAccessibleDescription(QString(text::kPortTip) + text::kAccEnterConnects);
    Zeze_Port_Label->setBuddy(Zeze_Port);
    Zeze_State_Label = named(new QLabel(text::kStateLabel), QStringLiteral("Zeze_State_Label"));
    Zeze_State = named(new StateBox, QStringLiteral("Zeze_State"));
    // Reachable by Tab so a screen reader can read the state; a click still leaves the focus alone.
    Zeze_State->setFocusPolicy(Qt::TabFocus);
    Zeze_State->setAccessibleName(text::kStateLabel);
    Zeze_State->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("Peer is closing connection")) + 16);
    Zeze_State_Label->setBuddy(Zeze_State);
    Connect = named(new QPushButton(text::kConnect), QStringLiteral("Connect"));
    Connect->setToolTip(text::kConnectTip);
    Disconnect = named(new QPushButton(text::kDisconnect), QStringLiteral("Disconnect"));
    Disconnect->setToolTip(text::kDisconnectTip);
    ListBox = named(new ActivityLog, QStringLiteral("ListBox"));
    ListBox->setToolTip(text::kActivityTip);
    ListBox->setAccessibleName(text::kAccActivityLog);
    ListBox->setAccessibleDescription(text::kAccActivityLogKeys);
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox->setMinimumWidth(fm.horizontalAdvance(QLatin1Char('x')) * 48);
    ListBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Text2Hex = named(new QLineEdit, QStringLiteral("Text2Hex"));
    HexBox = named(new QLineEdit, QStringLiteral("HexBox"));
    HexLen = named(new QLabel, QStringLiteral("HexLen"));
    // The converter stays out of sight, and so out of a screen reader's way: its length label too.
    Text2Hex->hide();
    HexBox->hide();
    HexLen->hide();
    Text2Hex->installEventFilter(this);

    grid->addWidget(Zeze_Address_Label, 0, 0);
    grid->addWidget(Zeze_Address, 0, 1);
    grid->addWidget(Zeze_Port_Label, 1, 0);
    grid->addWidget(Zeze_Port, 1, 1);
    grid->addWidget(Zeze_State_Label, 2, 0);
    grid->addWidget(Zeze_State, 2, 1);
    grid->addWidget(Connect, 0, 2);
    grid->addWidget(Disconnect, 1, 2);
    // The log spans an empty last row that takes the extra height, so the controls stay together.
    grid->addWidget(ListBox, 0, 3, 4, 1);
    grid->setRowStretch(3, 1);
    // The converter's boxes stay hidden: their column has no stretch, so it takes no room.
    grid->addWidget(Text2Hex, 0, 4);
    grid->addWidget(HexBox, 1, 4);
    grid->addWidget(HexLen, 0, 5, Qt::AlignTop);
    grid->setColumnStretch(3, 1);

    connect(Connect, &QPushButton::clicked, this, &FrmMain::onConnectClicked);
    connect(Disconnect, &QPushButton::clicked, this, &FrmMain::onDisconnectClicked);
    connect(Zeze_Port_Label, &GestureLabel::clicked, this, &FrmMain::onPortLabelClicked);
    connect(Text2Hex, &QLineEdit::textChanged, this, &FrmMain::onText2HexChanged);
    connect(Zeze_Address->lineEdit(), &QLineEdit::returnPressed, this, &FrmMain::onEnterPressed);
    connect(Zeze_Port, &QLineEdit::returnPressed, this, &FrmMain::onEnterPressed);
    // Enter and digits on the port's lock label (eventFilter).
    Zeze_Port_Label->installEventFilter(this);
    return area;
}

QGroupBox* FrmMain::buildProgrammingFrame() {
    fraZezeProgramming = named(new QGroupBox(text::kFrame), QStringLiteral("fraZezeProgramming"));
    // The frame's caption is large and bold; its contents keep the window's font.
    QFont frameFont = font();
    frameFont.setPointSizeF(frameFont.pointSizeF() * 12.0 / 8.25);
    frameFont.setBold(true);
    fraZezeProgramming->setFont(frameFont);
    fraZezeProgramming->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* body = new QWidget;
    QFont plain = font();
    plain.setBold(false);
    plain.setPointSizeF(font().pointSizeF());
    body->setFont(plain);
    auto* frameLayout = new QVBoxLayout(fraZezeProgramming);
    // The sheet's width is the window's least width: the frame keeps little beside it.
    const QMargins margins = frameLayout->contentsMargins();
    frameLayout->setContentsMargins(3, margins.top(), 3, margins.bottom());
    frameLayout->addWidget(body);
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);

    // The sheet scrolls when the window is smaller than it; the transfer buttons below stay in view.
    auto* scroll = named(new SheetScrollArea, QStringLiteral("sheetScrollArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    scroll->setAccessibleName(text::kAccSheetScroll);
    scroll->setFocusPolicy(Qt::NoFocus);  // Tab goes to the controls on it, never to the area itself
    auto* inner = new QWidget;
    auto* innerLayout = new QVBoxLayout(inner);
    innerLayout->setContentsMargins(0, 0, 0, 0);
    const QFontMetrics fm(plain);
    // Room for "255" and the box's frame: the network rows then fit an 800-pixel window beside the
    // serial ports (1600x1000 at a scale of 2).
    const int octetWidth = fm.horizontalAdvance(QStringLiteral("000")) + 9;
    // At the smallest the sheet still shows its headings and several pin rows.
    scroll->setMinimumHeight(fm.height() * 13);

    // Network settings, options and serial ports: four rows.
    auto* net = new QGridLayout;
    net->setHorizontalSpacing(3);
    auto addAddressRow = [&](int row, int firstColumn, const char* labelName, const char* caption,
                             const char* spoken, std::array<QLineEdit*, kOctetCount>& boxes,
                             const char* boxName) {
        auto* label = named(new QLabel(caption), QLatin1String(labelName));
        net->addWidget(label, row, firstColumn);
        for (int index = kOctetCount - 1; index >= 0; --index) {
            boxes[index] = named(new QLineEdit, indexed(boxName, index));
            boxes[index]->setMinimumWidth(octetWidth);
            boxes[index]->setMaximumWidth(octetWidth * 2);
            boxes[index]->setAccessibleName(
                QString(text::kAccOctet).arg(QLatin1String(spoken)).arg(octetNumber(index)));
            net->addWidget(boxes[index], row, firstColumn + 1 + (kOctetCount - 1 - index));
        }
        label->setBuddy(boxes[kOctetCount - 1]);
    };
    auto addPortRow = [&](int row, int firstColumn, const char* labelName, const char* caption,
                          const char* spoken, const char* boxName) {
        auto* label = named(new QLabel(caption), QLatin1String(labelName));
        auto* box = named(new QLineEdit, QLatin1String(boxName));
        box->setAccessibleName(spoken);
        label->setBuddy(box);
        net->addWidget(label, row, firstColumn);
        net->addWidget(box, row, firstColumn + 3, 1, 2);
        return box;
    };
    addAddressRow(0, 0, "lbl_Zeze_Address", text::kAddressLabel, text::kAddressLabel, txt_Zeze_Address,
                  "txt_Zeze_Address");
    txt_Zeze_Port =
        addPortRow(1, 0, "lbl_Zeze_Port", text::kPortLabel, text::kAccZezePortSetting, "txt_Zeze_Port");
    addAddressRow(2, 0, "lbl_Zeze_Mask", text::kSubnetMask, text::kSubnetMask, txt_Zeze_Mask,
                  "txt_Zeze_Mask");
    addAddressRow(3, 0, "lbl_Gateway", text::kGateway, text::kGateway, txt_Gateway, "txt_Gateway");

    net->setColumnMinimumWidth(5, fm.horizontalAdvance(QLatin1Char('x')) / 2);
    addAddressRow(0, 6, "lbl_Destination_Address", text::kDestAddress, text::kAccDestAddress,
                  txt_Dest_Address, "txt_Dest_Address");
    txt_Dest_Port =
        addPortRow(1, 6, "lbl_Destination_Port", text::kDestPort, text::kAccDestPort, "txt_Dest_Port");
    chk_Zivido_and_Status = named(new QCheckBox(text::kSuppress), QStringLiteral("chk_Zivido_and_Status"));
    // Its caption is wider than the address row above it: it reaches into the gap before the serial ports.
    net->addWidget(chk_Zivido_and_Status, 2, 6, 1, 6);
    chk_Auto_Checksum = named(new QCheckBox(text::kAutoChecksum), QStringLiteral("chk_Auto_Checksum"));
    chk_Auto_Checksum->setChecked(true);
    chk_Auto_Checksum->hide();
    net->addWidget(chk_Auto_Checksum, 3, 6, 1, 5);

    net->setColumnMinimumWidth(11, fm.horizontalAdvance(QLatin1Char('x')) / 2);
    for (int p = 0; p < kSerialPortCount; ++p) {
        auto* label =
            named(new QLabel(QString(text::kSerialPort) + QString::number(p + 1)), indexed("lbl_Port", p));
        net->addWidget(label, p, 12);
        cbo_Port_Speed[p] = named(new QComboBox, indexed("cbo_Port_Speed", p));
        cbo_Port_Parity[p] = named(new QComboBox, indexed("cbo_Port_Parity", p));
        for (QComboBox* combo : {cbo_Port_Speed[p], cbo_Port_Parity[p]}) {
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
        }
        nameCombo(cbo_Port_Speed[p], QString(text::kAccSerialSpeed).arg(p + 1));
        nameCombo(cbo_Port_Parity[p], QString(text::kAccSerialParity).arg(p + 1));
        label->setBuddy(cbo_Port_Speed[p]);
        cbo_Port_Speed[p]->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("57600")) + 32);
        cbo_Port_Parity[p]->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("Even")) + 32);
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
    // Narrow gaps: the three groups' width beside the commands is what the commands cannot have.
    pins->setHorizontalSpacing(3);
    constexpr int kColumnsPerGroup = 8;
    constexpr int kRowsPerGroup = 8;
    auto heading = [&](std::array<GestureLabel*, 3>& labels, int g, const char* name, const QString& caption,
                       const QString& spoken, const char* tip, const char* keys) {
        labels[g] = named(new GestureLabel(caption), indexed(name, g));
        labels[g]->setAlignment(Qt::AlignCenter);
        if (tip)
            labels[g]->setToolTip(tip);
        const int firstPin = pinNumber(g * kRowsPerGroup);
        labels[g]->setAccessibleName(
            QString(text::kAccHeading).arg(spoken).arg(firstPin).arg(firstPin + kRowsPerGroup - 1));
        labels[g]->setAccessibleDescription(keys);
        return labels[g];
    };
    const auto port = [](int n) { return QString(text::kAccSendToPort).arg(n); };
    for (int g = 0; g < 3; ++g) {
        const int base = g * kColumnsPerGroup;
        pins->addWidget(heading(lbl_Port_Steering, g, "lbl_Port_Steering", text::kSendToPorts,
                                text::kSendToPorts, nullptr, text::kAccPortSteeringKeys),
                        0, base + 3, 1, 4, Qt::AlignCenter);
        pins->addWidget(heading(lbl_Invert, g, "lbl_Invert", text::kInvert, text::kInvert,
                                text::kColumnHeadingTip, text::kAccColumnHeadingKeys),
                        1, base + 2, Qt::AlignCenter);
        const std::array<std::pair<std::array<GestureLabel*, 3>*, const char*>, kSerialPortCount>
            portHeadings{{{&lbl_Send_2_Port1, "lbl_Send_2_Port1"},
                          {&lbl_Send_2_Port2, "lbl_Send_2_Port2"},
                          {&lbl_Send_2_Port3, "lbl_Send_2_Port3"},
                          {&lbl_Send_2_Port4, "lbl_Send_2_Port4"}}};
        for (int p = 1; p <= kSerialPortCount; ++p) {
            const auto& [labels, name] = portHeadings[p - 1];
            pins->addWidget(heading(*labels, g, name, QString::number(p), port(p), text::kColumnHeadingTip,
                                    text::kAccColumnHeadingKeys),
                            1, base + 2 + p, Qt::AlignCenter);
        }
        pins->setColumnStretch(base + 1, 1);
        if (g < 2)
            pins->setColumnMinimumWidth(base + 7, fm.horizontalAdvance(QLatin1Char('x')) * 2);
        for (int k = 0; k < kRowsPerGroup; ++k) {
            const int row = g * kRowsPerGroup + k;
            const int gridRow = 2 + k;
            const int pin = pinNumber(row);
            lbl_GPI_Pin[row] = named(new GestureLabel, indexed("lbl_GPI_Pin", row));
            lbl_GPI_Pin[row]->setAccessibleName(QString(text::kAccPinLabel).arg(pin));
            lbl_GPI_Pin[row]->setAccessibleDescription(QString(text::kAccPinLabelKeys).arg(pin));
            // Its least width lets the three groups fit a 1024-pixel screen without scrolling sideways.
            cbo_Command[row] = named(new CommandBox(text::kCommandTip), indexed("cbo_Command", row));
            nameCombo(cbo_Command[row], QString(text::kAccPinCommand).arg(pin));
            cbo_Command[row]->installEventFilter(this);
            lbl_GPI_Pin[row]->setBuddy(cbo_Command[row]);
            chk_Invert_Trigger[row] = named(new QCheckBox, indexed("chk_Invert_Trigger", row));
            chk_Invert_Trigger[row]->setAccessibleName(QString(text::kAccPinInvert).arg(pin));
            const std::array<std::pair<QCheckBox**, const char*>, 4> ports{
                {{&chk_Send_2_Port1[row], "chk_Send_2_Port1"},
                 {&chk_Send_2_Port2[row], "chk_Send_2_Port2"},
                 {&chk_Send_2_Port3[row], "chk_Send_2_Port3"},
                 {&chk_Send_2_Port4[row], "chk_Send_2_Port4"}}};
            for (int n = 0; n < 4; ++n) {
                QCheckBox*& box = *ports[n].first;
                box = named(new QCheckBox, indexed(ports[n].second, row));
                box->setAccessibleName(QString(text::kAccPinSendToPort).arg(pin).arg(n + 1));
            }
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
    innerLayout->addSpacing(fm.height() / 2);
    // Should the sheet ever get more height than it asks for, it gathers at the top: rows keep their spacing.
    innerLayout->addStretch(1);
    scroll->setWidget(inner);
    bodyLayout->addWidget(scroll);
    // Focus on a control scrolled out of view brings the whole control into view, whoever moved the focus.
    // (ensureWidgetVisible would show only the text cursor of a box.)
    connect(qApp, &QApplication::focusChanged, scroll, [scroll](QWidget*, QWidget* now) {
        if (now == nullptr || !scroll->widget()->isAncestorOf(now))
            return;
        const QRect rect(now->mapTo(scroll->widget(), QPoint(0, 0)), now->size());
        constexpr int kMargin = 4;
        scroll->ensureVisible(rect.center().x(), rect.center().y(), rect.width() / 2 + kMargin,
                              rect.height() / 2 + kMargin);
    });

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
    // While waiting both captions read "Wait..."; the spoken name keeps saying which button it is.
    cmd_Download->setAccessibleName(text::kSendToZeze);
    cmd_Dump_Request->setAccessibleName(text::kGetFromZeze);
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
    bodyLayout->addLayout(buttons);

    connect(cmd_Download, &QPushButton::clicked, this, &FrmMain::onDownloadClicked);
    connect(cmd_Dump_Request, &QPushButton::clicked, this, &FrmMain::onDumpRequestClicked);
    connect(cmd_GPI_Request, &QPushButton::clicked, this, &FrmMain::onGpiRequestClicked);
    connect(cmd_ID_Request, &QPushButton::clicked, this, &FrmMain::onIdRequestClicked);
    for (int row = 0; row < kPinCount; ++row) {
        connect(lbl_GPI_Pin[row], &GestureLabel::clicked, this, [this, row] {
            FillCountPattern(m_sheet, row);
            showSheet();
            recordChange();
        });
    }
    for (int g = 0; g < 3; ++g) {
        connect(lbl_Port_Steering[g], &GestureLabel::clicked, this, [this] {
            ResetPortSteering(m_sheet);
            showSheet();
            recordChange();
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

// User edits write their one field into the sheet at once, and each is a step of the undo history (the
// edits of one field in a row making one step).
void FrmMain::bindEdits() {
    int nextField = 0;
    auto bindText = [&](QLineEdit* edit, std::string* field) {
        connect(edit, &QLineEdit::textChanged, this, [this, field, id = nextField++](const QString& text) {
            *field = toStd(text);
            recordChange(id);
        });
    };
    auto bindFlag = [&](QCheckBox* box, bool* flag) {
        connect(box, &QCheckBox::toggled, this, [this, flag, id = nextField++](bool on) {
            *flag = on;
            recordChange(id);
        });
    };
    // A speed or parity counts as chosen only while the box shows exactly one of its list's texts, so
    // what is sent is always what the operator sees.
    auto bindPosition = [&](QComboBox* combo, int* position) {
        connect(combo, &QComboBox::editTextChanged, this,
                [this, combo, position, id = nextField++](const QString& text) {
                    *position = combo->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
                    recordChange(id);
                });
    };
    for (int i = 0; i < kOctetCount; ++i) {
        bindText(txt_Zeze_Address[i], &m_sheet.network.zezeAddress[i]);
        bindText(txt_Zeze_Mask[i], &m_sheet.network.subnetMask[i]);
        bindText(txt_Gateway[i], &m_sheet.network.gateway[i]);
        bindText(txt_Dest_Address[i], &m_sheet.network.destAddress[i]);
    }
    bindText(txt_Zeze_Port, &m_sheet.network.zezePort);
    bindText(txt_Dest_Port, &m_sheet.network.destPort);
    bindFlag(chk_Zivido_and_Status, &m_sheet.suppressHeaderAndStatus);
    for (int p = 0; p < kSerialPortCount; ++p) {
        bindPosition(cbo_Port_Speed[p], &m_sheet.ports[p].speed);
        bindPosition(cbo_Port_Parity[p], &m_sheet.ports[p].parity);
    }
    for (int row = 0; row < kPinCount; ++row) {
        PinRow& pin = m_sheet.pins[row];
        connect(cbo_Command[row], &QComboBox::editTextChanged, this,
                [this, &pin, id = nextField++](const QString& text) {
                    pin.command = toStd(text);
                    recordChange(id);
                });
        bindFlag(chk_Invert_Trigger[row], &pin.invert);
        for (int p = 0; p < kSerialPortCount; ++p)
            bindFlag(
                std::array{chk_Send_2_Port1, chk_Send_2_Port2, chk_Send_2_Port3, chk_Send_2_Port4}[p][row],
                &pin.sendToPort[p]);
    }
    // Undo and redo in the sheet's boxes are the sheet's (see eventFilter).
    for (QLineEdit* edit : fraZezeProgramming->findChildren<QLineEdit*>())
        edit->installEventFilter(this);
    for (QComboBox* combo : fraZezeProgramming->findChildren<QComboBox*>())
        combo->installEventFilter(this);
}

}  // namespace zeze
