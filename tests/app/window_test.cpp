// The main window without a connection: what start-up shows, the Activity log, edits reaching the
// sheet, the command leave check, the converter, and the presets and gestures of menu and labels.
#include <gtest/gtest.h>

#include <QFocusEvent>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>

#include "editing/gestures.h"
#include "editing/presets.h"
#include "window_fixture.h"

namespace zeze::apptest {
namespace {

using StartUp = WindowTest;

TEST_F(StartUp, ShowsTheStartValuesAndTouchesNothing) {
    auto* state = get<QLineEdit>(QStringLiteral("Zeze_State"));
    EXPECT_EQ(state->text(), "");  // before the first tick
    EXPECT_TRUE(state->isReadOnly());

    EXPECT_EQ(window->objectName(), "frmMain");
    EXPECT_EQ(window->windowTitle(), "Zeze GPI Programmer v1.0.29");

    auto* address = get<QComboBox>(QStringLiteral("Zeze_Address"));
    const QStringList presets{"192.168.254.102", "192.168.254.103", "192.168.254.104", "192.168.254.105",
                              "192.168.254.106", "192.168.254.107", "10.0.0.128",      "10.0.0.129",
                              "10.0.0.130",      "10.0.0.131",      "10.0.0.132",      "10.0.0.133",
                              "172.16.0.128",    "172.16.0.129"};
    ASSERT_EQ(address->count(), presets.size());
    for (int i = 0; i < address->count(); ++i)
        EXPECT_EQ(address->itemText(i), presets[i]);
    EXPECT_EQ(address->currentText(), "192.168.254.102");
    EXPECT_TRUE(address->isEditable());
    EXPECT_TRUE(address->isEnabled());
    auto* port = get<QLineEdit>(QStringLiteral("Zeze_Port"));
    EXPECT_EQ(port->text(), "8000");
    EXPECT_TRUE(port->isEnabled());
    EXPECT_TRUE(button("Connect")->isEnabled());
    EXPECT_TRUE(button("Disconnect")->isEnabled());
    EXPECT_TRUE(log().isEmpty());

    // Captions of the labels outside and inside the frame.
    const std::pair<const char*, const char*> captions[] = {
        {"Zeze_Address_Label", "Zeze IP Address"}, {"Zeze_Port_Label", "Zeze TCP Port"},
        {"Zeze_State_Label", "Connection State"},  {"lbl_Zeze_Address", "Zeze IP Address"},
        {"lbl_Zeze_Mask", "Subnet Mask"},          {"lbl_Gateway", "Gateway"},
        {"lbl_Zeze_Port", "Zeze TCP Port"},        {"lbl_Destination_Address", "Dest. IP Address"},
        {"lbl_Destination_Port", "Dest. TCP Port"}};
    for (const auto& [name, caption] : captions)
        EXPECT_EQ(get<QLabel>(QLatin1String(name))->text(), caption);
    EXPECT_EQ(button("Connect")->text(), "Connect");
    EXPECT_EQ(button("Disconnect")->text(), "Disconnect");
    auto* frame = get<QGroupBox>(QStringLiteral("fraZezeProgramming"));
    EXPECT_EQ(frame->title(), "Zeze Programming");
    EXPECT_TRUE(frame->font().bold());

    // Every control array is complete.
    for (int row = 0; row < kPinCount; ++row) {
        EXPECT_EQ(get<QLabel>("lbl_GPI_Pin", row)->text(), QStringLiteral("Pin %1").arg(row + 2));
        for (const char* name : {"chk_Invert_Trigger", "chk_Send_2_Port1", "chk_Send_2_Port2",
                                 "chk_Send_2_Port3", "chk_Send_2_Port4"}) {
            get<QCheckBox>(name, row);
        }
        EXPECT_TRUE(command(row)->isEditable());
        EXPECT_EQ(command(row)->count(), 0);
    }
    for (int g = 0; g < 3; ++g) {
        EXPECT_EQ(get<QLabel>("lbl_Port_Steering", g)->text(), "Send to Ports");
        EXPECT_EQ(get<QLabel>("lbl_Invert", g)->text(), "Invert");
        EXPECT_EQ(get<QLabel>("lbl_Invert", g)->toolTip(), "Left click to set all, right click to clear all");
        for (int p = 1; p <= 4; ++p) {
            auto* heading = control<QLabel>(*window, QStringLiteral("lbl_Send_2_Port%1_%2").arg(p).arg(g));
            EXPECT_EQ(heading->text(), QString::number(p));
            EXPECT_EQ(heading->toolTip(), "Left click to set all, right click to clear all");
        }
    }
    const QStringList speeds{"1200", "2400", "4800", "9600", "19200", "38400", "57600"};
    const QStringList parities{"None", "Odd", "Even"};
    for (int p = 0; p < kSerialPortCount; ++p) {
        EXPECT_EQ(get<QLabel>("lbl_Port", p)->text(), QStringLiteral("Serial Port %1").arg(p + 1));
        auto* speed = get<QComboBox>("cbo_Port_Speed", p);
        auto* parity = get<QComboBox>("cbo_Port_Parity", p);
        ASSERT_EQ(speed->count(), speeds.size());
        for (int i = 0; i < speeds.size(); ++i)
            EXPECT_EQ(speed->itemText(i), speeds[i]);
        ASSERT_EQ(parity->count(), parities.size());
        for (int i = 0; i < parities.size(); ++i)
            EXPECT_EQ(parity->itemText(i), parities[i]);
        EXPECT_EQ(speed->currentText(), "38400");
        EXPECT_EQ(parity->currentText(), "Odd");
    }
    // Network boxes: index 3 holds the first octet.
    EXPECT_EQ(get<QLineEdit>("txt_Zeze_Address", 3)->text(), "192");
    EXPECT_EQ(get<QLineEdit>("txt_Zeze_Address", 0)->text(), "102");
    EXPECT_EQ(get<QLineEdit>("txt_Zeze_Mask", 0)->text(), "0");
    EXPECT_EQ(get<QLineEdit>("txt_Gateway", 0)->text(), "254");
    EXPECT_EQ(get<QLineEdit>("txt_Dest_Address", 0)->text(), "103");
    EXPECT_EQ(get<QLineEdit>(QStringLiteral("txt_Zeze_Port"))->text(), "23");
    EXPECT_EQ(get<QLineEdit>(QStringLiteral("txt_Dest_Port"))->text(), "5000");
    EXPECT_EQ(window->sheet(), Sheet{});
    expectWidgetsShow(Sheet{});

    // Menu "Options" with its four items in order; "Read Short" checkable and off.
    auto* options = control<QMenu>(*window, QStringLiteral("mnuOptions"));
    EXPECT_EQ(options->title(), "Options");
    ASSERT_FALSE(window->menuBar()->actions().isEmpty());
    EXPECT_EQ(window->menuBar()->actions().first(), options->menuAction());
    const QList<QAction*> items = options->actions();
    ASSERT_EQ(items.size(), 4);
    const std::pair<const char*, const char*> menu[] = {{"mnuDefaults", "1 Machine"},
                                                        {"mnuFourMach", "4 Machines"},
                                                        {"mnuGang", "Gang"},
                                                        {"mnuReadShort", "Read Short"}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(items[i]->objectName(), menu[i].first);
        EXPECT_EQ(items[i]->text(), menu[i].second);
    }
    EXPECT_TRUE(action("mnuReadShort")->isCheckable());
    EXPECT_FALSE(action("mnuReadShort")->isChecked());

    // Hidden controls and the converter.
    for (const char* name : {"Text2Hex", "HexBox"}) {
        EXPECT_TRUE(get<QLineEdit>(QLatin1String(name))->isHidden()) << name;
        EXPECT_EQ(get<QLineEdit>(QLatin1String(name))->text(), "") << name;
    }
    EXPECT_EQ(get<QLabel>(QStringLiteral("HexLen"))->text(), " ");
    EXPECT_TRUE(button("cmd_GPI_Request")->isHidden());
    EXPECT_TRUE(button("cmd_ID_Request")->isHidden());
    EXPECT_EQ(button("cmd_GPI_Request")->text(), "Request GPI");
    EXPECT_EQ(button("cmd_ID_Request")->text(), "Request ID");
    auto* checksum = get<QCheckBox>(QStringLiteral("chk_Auto_Checksum"));
    EXPECT_TRUE(checksum->isHidden());
    EXPECT_TRUE(checksum->isChecked());
    EXPECT_EQ(checksum->text(), "Auto Calculate Checksum");
    EXPECT_EQ(get<QCheckBox>(QStringLiteral("chk_Zivido_and_Status"))->text(),
              "Suppress Header and Status Request");
    EXPECT_TRUE(transferIdle());

    // The first tick shows "Closed" on white; still nothing was dialled, sent or logged.
    ASSERT_TRUE(stateShows("Closed"));
    EXPECT_EQ(state->palette().color(QPalette::Base), QColor(255, 255, 255));
    QTest::qWait(3 * FrmMain::kTimerIntervalMs);
    EXPECT_TRUE(fake->connectCalls().empty());
    EXPECT_TRUE(fake->sent().isEmpty());
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(StartUp, DisconnectHasTheFocusOnceShown) {
    showActive();
    EXPECT_EQ(QApplication::focusWidget(), button("Disconnect"));
    EXPECT_EQ(button("Disconnect")->nextInFocusChain(), get<QComboBox>(QStringLiteral("Zeze_Address")));
}

using Log = WindowTest;

TEST_F(Log, KeepsTheNewestTwentyFiveLinesInViewWithNothingSelected) {
    showActive();
    auto* list = get<QListWidget>(QStringLiteral("ListBox"));
    fillLog(25);
    EXPECT_EQ(log().size(), 25);
    // A 26th line from a different handler: the oldest goes, the newest is last.
    button("cmd_GPI_Request")->click();
    const QStringList lines = log();
    ASSERT_EQ(lines.size(), 25);
    EXPECT_EQ(lines.count("Couldn't send ID request"), 24);
    EXPECT_EQ(lines.last(), "Couldn't send GPI request");

    EXPECT_TRUE(list->selectedItems().isEmpty());
    const QRect last = list->visualItemRect(list->item(list->count() - 1));
    EXPECT_TRUE(list->viewport()->rect().contains(last)) << "last line not scrolled into view";
    EXPECT_FALSE(list->viewport()->rect().intersects(list->visualItemRect(list->item(0))));
}

TEST_F(Log, AnyMouseButtonReleasedOverTheLinesClearsIt) {
    showActive();
    auto* list = get<QListWidget>(QStringLiteral("ListBox"));
    // The lines are the list's viewport, where the operator's clicks land.
    for (const Qt::MouseButton mouse : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        for (const Qt::KeyboardModifier modifier : {Qt::NoModifier, Qt::ShiftModifier}) {
            fillLog(3);
            ASSERT_EQ(log().size(), 3);
            QTest::mouseRelease(list->viewport(), mouse, modifier, QPoint(5, 5));
            EXPECT_TRUE(log().isEmpty()) << "button " << mouse << ", modifier " << modifier;
        }
    }
    // A full click clears on the release, not on the press, and below the last line too.
    fillLog(2);
    const QPoint belowTheLines(5, list->viewport()->height() - 3);
    QTest::mousePress(list->viewport(), Qt::RightButton, Qt::NoModifier, belowTheLines);
    EXPECT_EQ(log().size(), 2);
    QTest::mouseRelease(list->viewport(), Qt::RightButton, Qt::NoModifier, belowTheLines);
    EXPECT_TRUE(log().isEmpty());
}

using Editing = WindowTest;

TEST_F(Editing, UserEditsReachTheSheetAtOnce) {
    showActive();
    typeInto(command(5), "20 01 21");
    EXPECT_EQ(window->sheet().pins[5].command, "20 01 21");
    QTest::keyClick(command(5), Qt::Key_Backspace);
    EXPECT_EQ(window->sheet().pins[5].command, "20 01 2");

    QTest::mouseClick(get<QCheckBox>("chk_Invert_Trigger", 7), Qt::LeftButton);
    QTest::mouseClick(get<QCheckBox>("chk_Send_2_Port3", 7), Qt::LeftButton);
    QTest::mouseClick(get<QCheckBox>("chk_Send_2_Port1", 23), Qt::LeftButton);
    QTest::mouseClick(get<QCheckBox>(QStringLiteral("chk_Zivido_and_Status")), Qt::LeftButton);
    EXPECT_TRUE(window->sheet().pins[7].invert);
    EXPECT_TRUE(window->sheet().pins[7].sendToPort[2]);
    EXPECT_FALSE(window->sheet().pins[23].sendToPort[0]);
    EXPECT_FALSE(window->sheet().suppressHeaderAndStatus);

    typeInto(get<QLineEdit>("txt_Gateway", 3), "10");
    typeInto(get<QLineEdit>("txt_Zeze_Mask", 0), "128");
    typeInto(get<QLineEdit>("txt_Dest_Address", 1), "7");
    typeInto(get<QLineEdit>("txt_Zeze_Address", 2), "abc");  // any text, checked only by the download
    typeInto(get<QLineEdit>(QStringLiteral("txt_Zeze_Port")), "24");
    typeInto(get<QLineEdit>(QStringLiteral("txt_Dest_Port")), "6000");
    const NetworkSettings& net = window->sheet().network;
    EXPECT_EQ(net.gateway[3], "10");
    EXPECT_EQ(net.subnetMask[0], "128");
    EXPECT_EQ(net.destAddress[1], "7");
    EXPECT_EQ(net.zezeAddress[2], "abc");
    EXPECT_EQ(net.zezePort, "24");
    EXPECT_EQ(net.destPort, "6000");
    // The box's programmed port and the connection port stay apart.
    EXPECT_EQ(get<QLineEdit>(QStringLiteral("Zeze_Port"))->text(), "8000");

    // Choosing from the lists with the keyboard, and typing a list text, both choose the position.
    auto* speed = get<QComboBox>("cbo_Port_Speed", 1);
    QTest::keyClick(speed, Qt::Key_Down);
    EXPECT_EQ(window->sheet().ports[1].speed, 6);
    QTest::keyClick(get<QComboBox>("cbo_Port_Parity", 2), Qt::Key_Up);
    EXPECT_EQ(window->sheet().ports[2].parity, kParityNone);
    typeInto(get<QComboBox>("cbo_Port_Parity", 3), "Even");
    EXPECT_EQ(window->sheet().ports[3].parity, kParityEven);
    typeInto(get<QComboBox>("cbo_Port_Speed", 0), "9600");
    EXPECT_EQ(window->sheet().ports[0].speed, 3);
    // A text that is not in the list chooses nothing.
    typeInto(get<QComboBox>("cbo_Port_Speed", 0), "12345");
    EXPECT_EQ(window->sheet().ports[0].speed, kNoSelection);
    typeInto(get<QComboBox>("cbo_Port_Parity", 0), "odd");
    EXPECT_EQ(window->sheet().ports[0].parity, kNoSelection);

    // "Read Short" flips with each click and is stored in the sheet.
    action("mnuReadShort")->trigger();
    EXPECT_TRUE(action("mnuReadShort")->isChecked());
    EXPECT_TRUE(window->sheet().readShort);
    action("mnuReadShort")->trigger();
    EXPECT_FALSE(window->sheet().readShort);
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(Editing, LeavingACommandBoxCutsAnOverlongTextWithoutATrim) {
    showActive();
    fillLog(25);
    const QString ninety = QString("0A ").repeated(30);  // 90 characters
    const QString eightyNine = ninety.left(89);
    typeInto(command(0), ninety);
    typeInto(command(1), eightyNine);
    typeInto(command(23), ninety);
    typeInto(command(12), ninety + "1");
    EXPECT_EQ(window->sheet().pins[0].command.size(), 90u);  // nothing is cut while typing

    // Focus walks 0 -> 1 -> 23 -> 12 -> Connect: each box is checked when the focus leaves it.
    for (const int row : {0, 1, 23, 12})
        command(row)->setFocus(Qt::MouseFocusReason);
    button("Connect")->setFocus(Qt::TabFocusReason);

    EXPECT_EQ(command(0)->currentText(), eightyNine);
    EXPECT_EQ(window->sheet().pins[0].command, eightyNine.toStdString());
    EXPECT_EQ(command(1)->currentText(), eightyNine);
    EXPECT_EQ(command(23)->currentText(), eightyNine);
    EXPECT_EQ(command(12)->currentText(), eightyNine);
    EXPECT_EQ(window->sheet().pins[12].command, eightyNine.toStdString());
    const QStringList lines = log();
    ASSERT_EQ(lines.size(), 28);  // appended without a trim
    EXPECT_EQ(lines[25], "Command for pin 2 has been truncated.");
    EXPECT_EQ(lines[26], "Command for pin 25 has been truncated.");
    EXPECT_EQ(lines[27], "Command for pin 14 has been truncated.");

    // The next operation that trims brings the log back to 25.
    fillLog(1);
    EXPECT_EQ(log().size(), 25);
}

TEST_F(Editing, TheLeaveLimitFollowsTheFirmwareAndAFocusOutEventAloneTriggersIt) {
    showActive();
    fake->setState(kStateConnected);
    button("cmd_ID_Request")->click();
    arrive(bytes({0xFF, 0x00, 0x00, 0x05, 0x0A, 0x02}));  // firmware 2.10: 55 bytes a pin
    ASSERT_EQ(window->sheet().GPIMsgLength, 55);
    const QString hundred = QString("1").repeated(100);
    typeInto(command(4), hundred);
    command(4)->setFocus(Qt::MouseFocusReason);
    button("Disconnect")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(command(4)->currentText(), hundred);
    EXPECT_EQ(log(), QStringList{"Firmware v2.10"});

    typeInto(command(4), QString("2").repeated(165));
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(command(4), &leave);
    EXPECT_EQ(command(4)->currentText(), QString("2").repeated(164));
    EXPECT_EQ(window->sheet().pins[4].command, std::string(164, '2'));
    EXPECT_EQ(log().last(), "Command for pin 6 has been truncated.");

    // The window losing the focus for a moment is not leaving the box.
    typeInto(command(4), QString("3").repeated(170));
    QFocusEvent deactivate(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(command(4), &deactivate);
    EXPECT_EQ(command(4)->currentText().size(), 170);

    // Nor is a popup, such as a context menu, taking it while it is open.
    command(4)->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(command(4)->hasFocus());
    QMenu popup(window.get());
    popup.addAction(QStringLiteral("Copy"));
    popup.popup(command(4)->mapToGlobal(QPoint(4, 4)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup.isVisible(); }, kDeadlineMs));
    EXPECT_EQ(command(4)->currentText().size(), 170);
    popup.close();
    EXPECT_EQ(command(4)->currentText().size(), 170);
    EXPECT_EQ(log().last(), "Command for pin 6 has been truncated.");
}

TEST_F(Editing, ConverterCountsCharactersAndShowsHexWhenLeft) {
    auto* text = get<QLineEdit>(QStringLiteral("Text2Hex"));
    auto* hex = get<QLineEdit>(QStringLiteral("HexBox"));
    auto* length = get<QLabel>(QStringLiteral("HexLen"));
    QTest::keyClicks(text, "AB*");
    EXPECT_EQ(length->text(), "3");
    EXPECT_EQ(hex->text(), "");  // only leaving the box fills it
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(text, &leave);
    EXPECT_EQ(hex->text(), "41 42 0A ");

    text->setText("");
    EXPECT_EQ(length->text(), "0");
    QApplication::sendEvent(text, &leave);
    EXPECT_EQ(hex->text(), "");
    EXPECT_TRUE(text->isHidden());
    EXPECT_TRUE(hex->isHidden());
    EXPECT_TRUE(log().isEmpty());
}

using MenuAndLabels = WindowTest;

TEST_F(MenuAndLabels, PresetsReplaceTheSheetAndShowIt) {
    showActive();
    typeInto(command(10), "11 22");
    typeInto(get<QComboBox>("cbo_Port_Speed", 2), "9600");
    typeInto(get<QLineEdit>("txt_Gateway", 0), "1");
    action("mnuReadShort")->trigger();
    const std::pair<const char*, Preset> presets[] = {{"mnuGang", Preset::Gang},
                                                      {"mnuDefaults", Preset::OneMachine},
                                                      {"mnuFourMach", Preset::FourMachines}};
    for (const auto& [name, preset] : presets) {
        Sheet expected = window->sheet();
        ApplyPreset(expected, preset);
        action(name)->trigger();
        EXPECT_EQ(window->sheet(), expected) << name;
        expectWidgetsShow(expected);
    }
    // Spot checks against the tables, through the widgets.
    action("mnuGang")->trigger();
    EXPECT_EQ(command(0)->currentText(), "20 00 20");
    EXPECT_EQ(command(5)->currentText(), "24 31 00 00 00 00 55");
    EXPECT_EQ(command(10)->currentText(), "");
    EXPECT_TRUE(get<QCheckBox>("chk_Send_2_Port4", 20)->isChecked());
    EXPECT_EQ(get<QComboBox>("cbo_Port_Speed", 2)->currentText(), "38400");
    EXPECT_EQ(get<QLineEdit>("txt_Gateway", 0)->text(), "1");  // network settings stay
    EXPECT_TRUE(action("mnuReadShort")->isChecked());
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(MenuAndLabels, ColumnHeadingsSetOnLeftAndClearOnRightForAllRows) {
    auto column = [&](const char* name) {
        std::vector<bool> states;
        for (int row = 0; row < kPinCount; ++row)
            states.push_back(get<QCheckBox>(name, row)->isChecked());
        return states;
    };
    const std::vector<bool> all(kPinCount, true), none(kPinCount, false);
    showActive();
    QTest::mouseClick(get<QCheckBox>("chk_Send_2_Port3", 2), Qt::LeftButton);
    ASSERT_TRUE(window->sheet().pins[2].sendToPort[2]);

    auto* port3 = get<QLabel>("lbl_Send_2_Port3", 2);
    QTest::mousePress(port3, Qt::LeftButton);  // acts on the press, before any release
    EXPECT_EQ(column("chk_Send_2_Port3"), all);
    QTest::mouseRelease(port3, Qt::LeftButton);
    for (int row = 0; row < kPinCount; ++row)
        EXPECT_TRUE(window->sheet().pins[row].sendToPort[2]);
    EXPECT_EQ(column("chk_Send_2_Port1"), all);  // other columns untouched
    EXPECT_EQ(column("chk_Invert_Trigger"), none);

    QTest::mousePress(port3, Qt::RightButton, Qt::ControlModifier);
    QTest::mouseRelease(port3, Qt::RightButton);
    EXPECT_EQ(column("chk_Send_2_Port3"), none);

    auto* invert = get<QLabel>("lbl_Invert", 0);
    QTest::mouseClick(get<QCheckBox>("chk_Invert_Trigger", 17), Qt::LeftButton);
    ASSERT_TRUE(window->sheet().pins[17].invert);
    QTest::mousePress(invert, Qt::LeftButton);
    QTest::mouseRelease(invert, Qt::LeftButton);
    EXPECT_EQ(column("chk_Invert_Trigger"), all);
    for (int row = 0; row < kPinCount; ++row)
        EXPECT_TRUE(window->sheet().pins[row].invert);

    const Sheet before = window->sheet();
    QTest::mousePress(invert, Qt::MiddleButton);
    QTest::mouseRelease(invert, Qt::MiddleButton);
    QTest::mousePress(get<QLabel>("lbl_Send_2_Port1", 1), Qt::MiddleButton);
    QTest::mouseRelease(get<QLabel>("lbl_Send_2_Port1", 1), Qt::MiddleButton);
    EXPECT_EQ(window->sheet(), before);
    EXPECT_EQ(column("chk_Invert_Trigger"), all);

    QTest::mousePress(invert, Qt::RightButton);
    QTest::mouseRelease(invert, Qt::RightButton);
    EXPECT_EQ(column("chk_Invert_Trigger"), none);
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(MenuAndLabels, PinAndSendToPortsLabelsFillTheirPatternsOnAClick) {
    showActive();
    QTest::mouseClick(get<QCheckBox>("chk_Send_2_Port2", 4), Qt::LeftButton);
    ASSERT_TRUE(window->sheet().pins[4].sendToPort[1]);
    typeInto(command(9), "55");
    Sheet expected = window->sheet();
    FillCountPattern(expected, 4);

    auto* pin6 = get<QLabel>("lbl_GPI_Pin", 4);
    QTest::mousePress(pin6, Qt::LeftButton);
    EXPECT_EQ(command(4)->currentText(), "");  // a click, not a press
    QTest::mouseRelease(pin6, Qt::LeftButton);
    EXPECT_EQ(window->sheet(), expected);
    EXPECT_EQ(command(4)->currentText(), fromStd(countPattern(30)));
    EXPECT_EQ(command(4)->currentText().size(), 89);
    EXPECT_TRUE(get<QCheckBox>("chk_Send_2_Port2", 4)->isChecked());
    QTest::mouseClick(pin6, Qt::LeftButton);
    EXPECT_EQ(window->sheet(), expected);  // the same text again, not a longer one
    QTest::mouseClick(pin6, Qt::RightButton);
    EXPECT_EQ(window->sheet(), expected);

    ResetPortSteering(expected);
    QTest::mouseClick(get<QLabel>("lbl_Port_Steering", 1), Qt::LeftButton);
    EXPECT_EQ(window->sheet(), expected);
    expectWidgetsShow(expected);
    EXPECT_EQ(command(9)->currentText(), fromStd(rowNumberPattern(9, 30)));
    EXPECT_FALSE(get<QCheckBox>("chk_Send_2_Port2", 4)->isChecked());
    EXPECT_TRUE(log().isEmpty());
}

}  // namespace
}  // namespace zeze::apptest
