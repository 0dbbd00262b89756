// The window without a mouse and on any screen: the Tab order, Enter connecting to a loopback server,
// gestures by key; the names a screen reader reads for every control; and the sheet in its scroll area at
// the smallest and at a large window size.
#include <gtest/gtest.h>

#include <functional>

#include <QAccessible>
#include <QGroupBox>
#include <QLayoutItem>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QTcpServer>

#include "window_fixture.h"

namespace zeze::apptest {
namespace {

// The Tab order, written out: connection controls, network settings, option, serial ports, then each
// group's headings and its pins across the row, then the transfer buttons.
QStringList expectedTabOrder() {
    QStringList order{"Disconnect", "Zeze_Address", "Zeze_Port_Label", "Zeze_Port",
                      "Connect",    "Zeze_State",   "ListBox"};
    for (const char* address : {"txt_Zeze_Address", "txt_Zeze_Mask", "txt_Gateway", "txt_Dest_Address"}) {
        for (const int index : {3, 2, 1, 0})
            order << indexedName(address, index);
        if (QLatin1String(address) == QLatin1String("txt_Zeze_Address"))
            order << "txt_Zeze_Port";
    }
    order << "txt_Dest_Port"
          << "chk_Zivido_and_Status";
    for (int p = 0; p < 4; ++p)
        order << indexedName("cbo_Port_Speed", p) << indexedName("cbo_Port_Parity", p);
    for (int g = 0; g < 3; ++g) {
        for (const char* heading : {"lbl_Port_Steering", "lbl_Invert", "lbl_Send_2_Port1", "lbl_Send_2_Port2",
                                    "lbl_Send_2_Port3", "lbl_Send_2_Port4"})
            order << indexedName(heading, g);
        for (int row = 8 * g; row < 8 * g + 8; ++row) {
            for (const char* control :
                 {"lbl_GPI_Pin", "cbo_Command", "chk_Invert_Trigger", "chk_Send_2_Port1", "chk_Send_2_Port2",
                  "chk_Send_2_Port3", "chk_Send_2_Port4"})
                order << indexedName(control, row);
        }
    }
    order << "cmd_Download"
          << "cmd_Dump_Request";
    return order;
}

QScrollArea* sheetScroll(const QWidget& window) {
    return control<QScrollArea>(window, QStringLiteral("sheetScrollArea"));
}

// The part of `widget` the operator sees inside the window, or of the scroll area's viewport when the
// widget lies on the sheet.
bool inView(const QWidget& window, QWidget* widget) {
    QScrollArea* scroll = sheetScroll(window);
    QWidget* area = scroll->widget()->isAncestorOf(widget) ? scroll->viewport() : window.window();
    const QRect rect(widget->mapTo(area, QPoint(0, 0)), widget->size());
    return area->rect().contains(rect);
}

class KeyboardWalk : public ::testing::Test {
  protected:
    void SetUp() override {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ASSERT_TRUE(server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    }
    template <typename T>
    T* get(const QString& name) {
        return control<T>(window, name);
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    FrmMain window;  // its own TcpSocket; it dials only the loopback server below
    QTcpServer server;
};

TEST_F(KeyboardWalk, TabFollowsTheScreenEnterConnectsAndSpaceDoesTheGestures) {
    // At the smallest size every stop Tab reaches is scrolled into view.
    window.resize(window.minimumSizeHint());
    const QStringList expected = expectedTabOrder();
    QStringList walked;
    QStringList outOfView;
    for (int step = 0; step <= expected.size(); ++step) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        walked << focus->objectName();
        if (!inView(window, focus))
            outOfView << focus->objectName();
        press(Qt::Key_Tab);
    }
    EXPECT_EQ(walked, expected + QStringList{"Disconnect"});  // and round again
    EXPECT_EQ(outOfView, QStringList());

    // Enter in the address box connects to what it shows; Enter in the port box does the same.
    auto* address = get<QComboBox>(QStringLiteral("Zeze_Address"));
    auto* port = get<QLineEdit>(QStringLiteral("Zeze_Port"));
    const QString loopback = QStringLiteral("127.0.0.1");
    port->setText(QString::number(server.serverPort()));
    address->setFocus(Qt::TabFocusReason);
    typeInto(address, loopback);
    // Loopback only: should the typed address ever change, the port becomes one that
    // cannot be dialled, so nothing leaves this machine.
    QObject::connect(address->lineEdit(), &QLineEdit::textChanged, port, [&](const QString& text) {
        if (text != loopback)
            port->setText(QStringLiteral("no port"));
    });
    press(Qt::Key_Tab);
    address->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Return);
    EXPECT_EQ(address->currentText(), loopback);
    EXPECT_EQ(logLines(window), (QStringList{"Connect attempt", "Success!"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, kDeadlineMs));
    server.nextPendingConnection();
    get<QPushButton>(QStringLiteral("Disconnect"))->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Space);
    EXPECT_EQ(logLines(window).last(), "Disconnect");
    port->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Enter);
    EXPECT_EQ(logLines(window).mid(3), (QStringList{"Connect attempt", "Success!"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, kDeadlineMs));
    // Tab from the address stops on the port's lock label: digits typed there go into the port, unlocked,
    // and Enter there connects.
    get<QPushButton>(QStringLiteral("Disconnect"))->click();
    port->setEnabled(false);
    address->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), get<QWidget>(QStringLiteral("Zeze_Port_Label")));
    QTest::keyClicks(QApplication::focusWidget(), QString::number(server.serverPort()));
    EXPECT_TRUE(port->isEnabled());
    EXPECT_EQ(port->text(), QString::number(server.serverPort()));
    get<QWidget>(QStringLiteral("Zeze_Port_Label"))->setFocus(Qt::TabFocusReason);
    get<QListWidget>(QStringLiteral("ListBox"))->clear();
    press(Qt::Key_Return);
    EXPECT_EQ(logLines(window), (QStringList{"Connect attempt", "Success!"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, kDeadlineMs));
    // Delete in the log clears it, as a click does.
    get<QListWidget>(QStringLiteral("ListBox"))->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Delete);
    EXPECT_TRUE(logLines(window).isEmpty());

    // A column heading: Space as the left button sets the column in all 24 pins, Shift+Space clears it.
    get<QLabel>(indexedName("lbl_Send_2_Port3", 2))->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Space);
    for (int row = 0; row < kPinCount; ++row)
        EXPECT_TRUE(window.sheet().pins[row].sendToPort[2]) << "row " << row;
    EXPECT_TRUE(get<QCheckBox>(indexedName("chk_Send_2_Port3", 0))->isChecked());
    press(Qt::Key_Space, Qt::ShiftModifier);
    for (int row = 0; row < kPinCount; ++row)
        EXPECT_FALSE(window.sheet().pins[row].sendToPort[2]) << "row " << row;
    // A pin label: Space as a left click fills that pin's command with the count pattern.
    get<QLabel>(indexedName("lbl_GPI_Pin", 5))->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Space);
    EXPECT_EQ(get<QComboBox>(indexedName("cbo_Command", 5))->currentText(),
              "01 02 03 04 05 06 07 08 09 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30");
    EXPECT_EQ(window.sheet().pins[4].command, "");
}

// Interactive roles: a control of one of these kinds that a screen reader cannot name is a defect.
bool interactive(QAccessible::Role role) {
    switch (role) {
        case QAccessible::Button:
        case QAccessible::CheckBox:
        case QAccessible::ComboBox:
        case QAccessible::EditableText:
        case QAccessible::List:
        case QAccessible::MenuItem:
        case QAccessible::RadioButton:
        case QAccessible::SpinBox:
            return true;
        default:
            return false;
    }
}

QString objectNameOf(QAccessibleInterface* iface) {
    return iface->object() ? iface->object()->objectName() : QString();
}

using Accessibility = WindowTest;

TEST_F(Accessibility, EveryControlIsNamedAndEveryFieldLabelled) {
    showActive();
    ASSERT_TRUE(stateShows("Closed"));
    QStringList unnamed;
    QMap<QString, QString> nameToControl;
    QStringList duplicates;
    int controls = 0;
    // The text field of a combo box carries the combo's own name.
    std::function<void(QAccessibleInterface*, bool)> visit = [&](QAccessibleInterface* iface,
                                                                 bool partOfCombo) {
        if (iface == nullptr || iface->state().invisible)
            return;
        if (interactive(iface->role())) {
            ++controls;
            const QString name = iface->text(QAccessible::Name);
            const QString who = objectNameOf(iface) + "/" + QString::number(iface->role(), 16);
            if (name.trimmed().isEmpty())
                unnamed << who;
            else if (partOfCombo)
                return;
            else if (nameToControl.contains(name))
                duplicates << name;
            else
                nameToControl.insert(name, who);
        }
        for (int i = 0; i < iface->childCount(); ++i)
            visit(iface->child(i), iface->role() == QAccessible::ComboBox);
    };
    visit(QAccessible::queryAccessibleInterface(window.get()), false);
    EXPECT_EQ(unnamed, QStringList());
    EXPECT_EQ(duplicates, QStringList());
    EXPECT_GE(controls, 6 + 18 + 1 + 8 + 18 + 24 * 7 + 2);

    const std::pair<const char*, const char*> names[] = {
        {"cbo_Command_5", "Pin 7 command"},
        {"chk_Invert_Trigger_5", "Pin 7 invert"},
        {"chk_Send_2_Port3_5", "Pin 7 send to port 3"},
        {"chk_Send_2_Port1_23", "Pin 25 send to port 1"},
        {"lbl_GPI_Pin_23", "Pin 25"},
        {"cbo_Port_Speed_1", "Serial port 2 speed"},
        {"cbo_Port_Parity_3", "Serial port 4 parity"},
        {"txt_Gateway_3", "Gateway octet 1"},
        {"txt_Gateway_0", "Gateway octet 4"},
        {"txt_Dest_Address_2", "Destination IP Address octet 2"},
        {"txt_Zeze_Port", "Zeze TCP Port setting"},
        {"Zeze_Address", "Zeze IP Address"},
        {"Zeze_Port", "Zeze TCP Port"},
        {"Zeze_Port_Label", "Lock Zeze TCP Port"},
        {"ListBox", "Activity log"},
        {"lbl_Invert_2", "Invert heading over pins 18 to 25"},
        {"lbl_Send_2_Port4_0", "Send to port 4 heading over pins 2 to 9"},
        {"cmd_Download", "Send to Zeze"}};
    for (const auto& [objectName, name] : names) {
        QAccessibleInterface* iface =
            QAccessible::queryAccessibleInterface(get<QWidget>(QLatin1String(objectName)));
        ASSERT_NE(iface, nullptr) << objectName;
        EXPECT_EQ(iface->text(QAccessible::Name), name) << objectName;
    }

    // The state box announces its text; a gesture label is a button whose press is the left click.
    QAccessibleInterface* state =
        QAccessible::queryAccessibleInterface(get<QWidget>(QStringLiteral("Zeze_State")));
    EXPECT_EQ(state->text(QAccessible::Name), "Connection State");
    EXPECT_EQ(state->text(QAccessible::Value), "Closed");
    QAccessibleInterface* heading =
        QAccessible::queryAccessibleInterface(get<QWidget>(indexedName("lbl_Send_2_Port2", 1)));
    EXPECT_EQ(heading->role(), QAccessible::Button);
    EXPECT_TRUE(heading->state().focusable);
    heading->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(window->sheet().pins[0].sendToPort[1]);
    EXPECT_TRUE(window->sheet().pins[23].sendToPort[1]);

    // Each field is labelled by the label beside it.
    const std::pair<const char*, const char*> labelled[] = {
        {"Zeze_Address", "Zeze_Address_Label"},    {"Zeze_Port", "Zeze_Port_Label"},
        {"Zeze_State", "Zeze_State_Label"},        {"txt_Zeze_Address_3", "lbl_Zeze_Address"},
        {"txt_Zeze_Port", "lbl_Zeze_Port"},        {"txt_Zeze_Mask_3", "lbl_Zeze_Mask"},
        {"txt_Gateway_3", "lbl_Gateway"},          {"txt_Dest_Address_3", "lbl_Destination_Address"},
        {"txt_Dest_Port", "lbl_Destination_Port"}, {"cbo_Port_Speed_2", "lbl_Port_2"},
        {"cbo_Command_17", "lbl_GPI_Pin_17"}};
    for (const auto& [field, label] : labelled) {
        QAccessibleInterface* iface =
            QAccessible::queryAccessibleInterface(get<QWidget>(QLatin1String(field)));
        QStringList labels;
        for (const auto& [other, relation] : iface->relations(QAccessible::Label))
            labels << objectNameOf(other);
        EXPECT_EQ(labels, QStringList{label}) << field;
    }
}

// The state box is a status a screen reader can find and read. (Its announcement of each change, a
// ValueChanged event, reaches only an active screen reader, which the offscreen platform has not.)
TEST_F(Accessibility, TheStateIsAStatusAndNothingHiddenIsInTheTree) {
    showActive();
    fake->setState(kStateConnected);
    ASSERT_TRUE(stateShows("Connected"));
    QAccessibleInterface* state =
        QAccessible::queryAccessibleInterface(get<QWidget>(QStringLiteral("Zeze_State")));
    EXPECT_EQ(state->role(), QAccessible::StatusBar);
    EXPECT_EQ(state->text(QAccessible::Value), "Connected");
    EXPECT_TRUE(state->state().readOnly);

    // Hidden controls, and text that shows nothing, are nothing a screen reader should stop at.
    QStringList reached;
    QStringList blank;
    std::function<void(QAccessibleInterface*)> visit = [&](QAccessibleInterface* iface) {
        if (iface == nullptr || iface->state().invisible)
            return;
        reached << objectNameOf(iface);
        if (iface->role() == QAccessible::StaticText && iface->text(QAccessible::Name).trimmed().isEmpty())
            blank << objectNameOf(iface);
        for (int i = 0; i < iface->childCount(); ++i)
            visit(iface->child(i));
    };
    visit(QAccessible::queryAccessibleInterface(window.get()));
    for (const char* hidden :
         {"Text2Hex", "HexBox", "HexLen", "cmd_GPI_Request", "cmd_ID_Request", "chk_Auto_Checksum"})
        EXPECT_FALSE(reached.contains(QLatin1String(hidden))) << hidden;
    EXPECT_EQ(blank, QStringList());
}

using Layout = WindowTest;

// A command box shows a long command from its first byte, also after the window wrote it, and holds it
// all in its tooltip; it has no drop-down. (Its width on real screen sizes: screen_test.cpp.)
TEST_F(Layout, CommandsShowFromTheirStartWithoutADropDown) {
    showActive();
    get<QLabel>(indexedName("lbl_GPI_Pin", 2))->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    const QString pattern = fromStd(window->sheet().pins[2].command);
    EXPECT_EQ(command(2)->lineEdit()->cursorPosition(), 0);
    EXPECT_EQ(command(2)->toolTip(), pattern);
    command(2)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(command(2), Qt::Key_End);
    QTest::keyClick(command(2), Qt::Key_Tab);
    EXPECT_EQ(command(2)->lineEdit()->cursorPosition(), 0);
    EXPECT_NE(command(3)->toolTip(), QString());  // empty, it says what to type

    QStyleOptionComboBox option;
    option.initFrom(command(2));
    option.editable = true;
    EXPECT_EQ(command(2)
                  ->style()
                  ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, command(2))
                  .width(),
              0);
    command(2)->showPopup();
    EXPECT_FALSE(command(2)->view()->isVisible());
}

TEST_F(Layout, SmallestWindowReachesEverythingAndALargeOneGrowsOnlyTheLog) {
    showActive();
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    // Fits a 1024x600 screen at 1x and 1600x1000 at a 2x scale (800x500), with room for a title bar.
    const QSize smallest = window->minimumSizeHint();
    EXPECT_LE(smallest.width(), 800);
    EXPECT_LE(smallest.height(), 430);

    window->resize(smallest);
    QTest::qWait(0);
    EXPECT_EQ(window->size(), smallest);
    QScrollArea* scroll = sheetScroll(*window);
    QStringList unreachable;
    QStringList squashed;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const QString name = widget->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || !widget->isVisible() ||
            widget == scroll)
            continue;
        if (scroll->widget()->isAncestorOf(widget)) {
            const QRect rect(widget->mapTo(scroll->widget(), QPoint(0, 0)), widget->size());
            scroll->ensureVisible(rect.center().x(), rect.center().y(), rect.width() / 2 + 1,
                                  rect.height() / 2 + 1);
        }
        if (!inView(*window, widget))
            unreachable << name;
        // Smaller than its layout promises (its own minimum, or what it needs to show itself) is squashed.
        const QSize least = QWidgetItem(widget).minimumSize();
        if (widget->width() < least.width() || widget->height() < least.height())
            squashed << name;
    }
    EXPECT_EQ(unreachable, QStringList());
    EXPECT_EQ(squashed, QStringList());

    // At its preferred size the whole sheet shows; larger, only the log grows and the rows keep their
    // places: nothing stretches between the headings and the pins.
    window->resize(window->sizeHint());
    QTest::qWait(0);
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
    auto* log = get<QListWidget>(QStringLiteral("ListBox"));
    auto* frame = get<QGroupBox>(QStringLiteral("fraZezeProgramming"));
    auto* heading = get<QLabel>(indexedName("lbl_Invert", 0));
    auto* lastPin = get<QLabel>(indexedName("lbl_GPI_Pin", 7));
    const int logHeight = log->height();
    const int frameHeight = frame->height();
    const int headingToLastPin = lastPin->y() - heading->y();
    window->resize(window->sizeHint() + QSize(300, 300));
    QTest::qWait(0);
    EXPECT_EQ(log->height(), logHeight + 300);
    EXPECT_EQ(frame->height(), frameHeight);
    EXPECT_EQ(lastPin->y() - heading->y(), headingToLastPin);
    // The hidden converter boxes keep no room: the log reaches to the window's right margin.
    EXPECT_GE(log->mapTo(window.get(), QPoint(log->width(), 0)).x(), window->width() - 24);
}

// On a 1024x600 screen every column of the sheet is reached by scrolling down alone; on a 1600x1000
// screen at a scale of 2 (800x500 to the window, less its title bar) the log keeps its least height and
// the sheet, scrolled to its pins, shows at least 12 of them.
TEST_F(Layout, SmallScreensScrollOnlyDownAndGiveTheSheetTheRoomFirst) {
    showActive();
    QScrollArea* scroll = sheetScroll(*window);
    window->resize(1024, 570);
    QTest::qWait(0);
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    QStringList cut;
    for (QWidget* widget : scroll->widget()->findChildren<QWidget*>()) {
        const int left = widget->mapTo(scroll->viewport(), QPoint(0, 0)).x();
        if (widget->isVisible() && (left < 0 || left + widget->width() > scroll->viewport()->width()))
            cut << widget->objectName();
    }
    EXPECT_EQ(cut, QStringList());

    window->resize(800, 470);
    QTest::qWait(0);
    auto* log = get<QListWidget>(QStringLiteral("ListBox"));
    EXPECT_EQ(log->height(), log->minimumSizeHint().height());
    QWidget* firstPin = get<QWidget>(indexedName("lbl_GPI_Pin", 0));
    scroll->verticalScrollBar()->setValue(firstPin->mapTo(scroll->widget(), QPoint(0, 0)).y());
    int shown = 0;
    for (int row = 0; row < kPinCount; ++row) {
        if (inView(*window, command(row)) && inView(*window, get<QWidget>(indexedName("lbl_GPI_Pin", row))))
            ++shown;
    }
    EXPECT_GE(shown, 12);
}

}  // namespace
}  // namespace zeze::apptest
