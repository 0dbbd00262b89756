// The main window on a fake socket: Connect and Disconnect, error hints, the status display, the
// requests, the receive path, the download with its pause, and handlers running inside a Wait.
#include <gtest/gtest.h>

#include <functional>

#include <QElapsedTimer>
#include <QListWidget>
#include <QTimer>

#include "link/wait.h"
#include "protocol/config_record.h"
#include "window_fixture.h"

namespace zeze::apptest {
namespace {

const QByteArray kIdRequestBytes = bytes({0xFF, 0x00, 0x02});
const QByteArray kGpiRequestBytes = bytes({0xFF, 0x00, 0x01});
const QByteArray kDumpRequestBytes = bytes({0xFF, 0x01, 0x01});
const QByteArray kFirmware209 = bytes({0xFF, 0x00, 0x00, 0x05, 0x09, 0x02});
const QByteArray kFirmware210 = bytes({0xFF, 0x00, 0x00, 0x05, 0x0A, 0x02});
const QByteArray kUnknownMessage = bytes({0xFF, 0x02, 0x00, 0x00});
const QString kOutOfStep4 =
    "Dropped 4 bytes from the box that began no message: its messages were out of step.";
const QString kReplyLost =
    "No reply could be told apart from the other bytes that came: asking the box again.";
const QString kConfirm848 =
    "Dump data, 848 bytes, but other bytes came with it, so it may not be the reply: asking the box again to "
    "confirm.";
const QString kFirmware210Unasked = "Firmware v2.10 arrived unasked: ignored.";
const QString kStartTitle = QStringLiteral("Zeze GPI Programmer v1.0.29");

// Values unlike the start values in every field a configuration record carries.
ConfigValues distinctiveValues() {
    ConfigValues values = configValuesOf(Sheet{});
    values.network.gateway = {"1", "2", "3", "10"};
    values.network.subnetMask = {"0", "0", "255", "255"};
    values.network.zezeAddress = {"9", "8", "7", "172"};
    values.network.zezePort = "8000";
    values.network.destAddress = {"4", "0", "0", "10"};
    values.network.destPort = "65535";
    values.ports = {{{0, kParityNone}, {6, kParityEven}, {3, kParityOdd}, {1, kParityEven}}};
    values.suppressHeaderAndStatus = false;
    for (int row = 0; row < kPinCount; ++row) {
        PinRow& pin = values.pins[row];
        pin.command =
            row % 3 == 0 ? "" : QStringLiteral("%1 0A FF").arg(row + 0x20, 2, 16).toUpper().toStdString();
        pin.invert = row % 2 == 1;
        pin.sendToPort = {row % 4 == 0, row % 4 == 1, row % 5 == 2, row % 3 == 0};
    }
    values.pins[23].command = QString("7E ").repeated(30).trimmed().toStdString();  // a full slot
    return values;
}

class LinkTest : public WindowTest {
  protected:
    // Clicks a button whose handler may Wait, and returns how long the click took.
    qint64 timedClick(const char* name) {
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(button(name), Qt::LeftButton);
        return clock.elapsed();
    }
    void at(int ms, std::function<void()> action) { QTimer::singleShot(ms, window.get(), std::move(action)); }
    // Connected, and the box has answered the ID request with `firmware`; the log and the record of
    // sends start empty from here.
    void boxAnswers(const QByteArray& firmware) {
        fake->setState(kStateConnected);
        button("cmd_ID_Request")->click();
        arrive(firmware);
        fake->clearSent();
        get<QListWidget>(QStringLiteral("ListBox"))->clear();
    }
    // Clicks Send to Zeze and returns how long the buttons waited; -1 when still waiting after 10 s.
    qint64 timedDownload() {
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(button("cmd_Download"), Qt::LeftButton);
        return QTest::qWaitFor([&] { return transferIdle(); }, 10000) ? clock.elapsed() : -1;
    }
};

using Connection = LinkTest;

TEST_F(Connection, ConnectWaitsASecondThenSendsTheIdRequestOnce) {
    fake->setStateOnConnect(kStateConnected);
    QStringList logDuringWait;
    bool lockedDuringWait = false;
    QByteArray sentDuringWait("not read");
    at(300, [&] {
        logDuringWait = log();
        sentDuringWait = fake->sent();
        lockedDuringWait = !button("Connect")->isEnabled() &&
                           !get<QComboBox>(QStringLiteral("Zeze_Address"))->isEnabled() &&
                           !get<QLineEdit>(QStringLiteral("Zeze_Port"))->isEnabled();
    });
    EXPECT_GE(timedClick("Connect"), FrmMain::kConnectWaitMs);

    EXPECT_EQ(logDuringWait, QStringList{"Connect attempt"});
    EXPECT_TRUE(sentDuringWait.isEmpty());
    EXPECT_TRUE(lockedDuringWait);
    EXPECT_EQ(log(), (QStringList{"Connect attempt", "Success!"}));
    ASSERT_EQ(fake->sends().size(), 1u);
    EXPECT_EQ(fake->sends()[0], kIdRequestBytes);
    ASSERT_EQ(fake->connectCalls().size(), 1u);
    EXPECT_EQ(fake->connectCalls()[0].host, "192.168.254.102");  // handed to the fake only
    EXPECT_EQ(fake->connectCalls()[0].port, "8000");
    // The controls stay locked while connected.
    ASSERT_TRUE(stateShows("Connected"));
    EXPECT_FALSE(button("Connect")->isEnabled());
    EXPECT_FALSE(get<QComboBox>(QStringLiteral("Zeze_Address"))->isEnabled());
    EXPECT_FALSE(get<QLineEdit>(QStringLiteral("Zeze_Port"))->isEnabled());

    // A typed host name and port go to the socket unchanged.
    QTest::mouseClick(button("Disconnect"), Qt::LeftButton);
    get<QComboBox>(QStringLiteral("Zeze_Address"))->setEditText("zeze-box.example");
    typeInto(get<QLineEdit>(QStringLiteral("Zeze_Port")), " 8001x");
    timedClick("Connect");
    ASSERT_EQ(fake->connectCalls().size(), 2u);
    EXPECT_EQ(fake->connectCalls()[1].host, "zeze-box.example");
    EXPECT_EQ(fake->connectCalls()[1].port, " 8001x");
    EXPECT_EQ(get<QComboBox>(QStringLiteral("Zeze_Address"))->count(), 14);  // the list never grows
}

TEST_F(Connection, WithoutAConnectionAfterTheWaitNothingIsSent) {
    for (const int state : {kStateClosed, kStateConnecting, kStateHostResolved, kStateError}) {
        fake->setState(kStateClosed);
        fake->setStateOnConnect(state);
        QTest::mouseClick(button("Disconnect"), Qt::LeftButton);
        QTest::mouseClick(button("Connect"), Qt::LeftButton);
        const QStringList lines = log();
        ASSERT_GE(lines.size(), 2);
        EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{"Connect attempt", "Couldn't send ID request"}))
            << "state " << state;
        EXPECT_TRUE(fake->sent().isEmpty()) << "state " << state;
    }
    // Only a closed socket gives Connect back, through the status display; address and port stay locked.
    fake->setState(kStateClosed);
    ASSERT_TRUE(QTest::qWaitFor([&] { return button("Connect")->isEnabled(); }, kDeadlineMs));
    EXPECT_FALSE(get<QComboBox>(QStringLiteral("Zeze_Address"))->isEnabled());
    EXPECT_FALSE(get<QLineEdit>(QStringLiteral("Zeze_Port"))->isEnabled());
}

TEST_F(Connection, AnErrorDuringTheWaitIsLoggedAtOnceWithItsHint) {
    fake->setStateOnConnect(kStateConnecting);
    at(100, [&] {
        fake->setState(kStateError);
        fake->fail(kErrorRefused, "Connection refused");
    });
    QTest::mouseClick(button("Connect"), Qt::LeftButton);
    EXPECT_EQ(log(),
              (QStringList{"Connect attempt", "Connection refused",
                           "Hint: Couldn't connect to that Port. Check port.", "Couldn't send ID request"}));
    EXPECT_TRUE(fake->sent().isEmpty());
    ASSERT_TRUE(stateShows("Error"));
    EXPECT_EQ(get<QLineEdit>(QStringLiteral("Zeze_State"))->palette().color(QPalette::Base),
              QColor(255, 0, 0));
    EXPECT_FALSE(button("Connect")->isEnabled());
}

TEST_F(Connection, EachErrorNumberGetsItsHintOrItsNumberAndATrim) {
    fillLog(25);
    const Sheet before = window->sheet();
    const std::tuple<int, const char*, const char*> cases[] = {
        {kErrorConnectionAborted, "Connection reset", "Hint: Connection Lost"},
        {kErrorTimedOut, "Connection timed out", "Hint: Nothing at that address. Check IP address"},
        {kErrorRefused, "Connection refused", "Hint: Couldn't connect to that Port. Check port."},
        {kErrorInvalidPort, "Invalid port", "10049"},
        {20007, "Some other failure", "20007"}};
    for (const auto& [number, description, hint] : cases) {
        fake->fail(number, description);
        const QStringList lines = log();
        ASSERT_EQ(lines.size(), 25) << number;
        EXPECT_EQ(lines[23], description);
        EXPECT_EQ(lines[24], hint);
    }
    EXPECT_EQ(fake->closeCount(), 0);  // errors close nothing
    EXPECT_EQ(window->sheet(), before);
}

TEST_F(Connection, DisconnectResetsTheFirmwareAndFreesTheControls) {
    fake->setStateOnConnect(kStateConnected);
    QTest::mouseClick(button("Connect"), Qt::LeftButton);
    arrive(kFirmware210);
    ASSERT_EQ(window->windowTitle(), kStartTitle + " - Zeze v2.10");
    ASSERT_EQ(window->sheet().FirmwareVersion, 0x020A);

    // The socket has closed already; Disconnect still does all its work.
    fake->setState(kStateClosed);
    QTest::mouseClick(button("Disconnect"), Qt::LeftButton);
    // Checked before any tick could run: Disconnect itself enables the controls.
    EXPECT_TRUE(button("Connect")->isEnabled());
    EXPECT_TRUE(get<QComboBox>(QStringLiteral("Zeze_Address"))->isEnabled());
    EXPECT_TRUE(get<QLineEdit>(QStringLiteral("Zeze_Port"))->isEnabled());
    EXPECT_EQ(fake->closeCount(), 1);
    EXPECT_EQ(window->windowTitle(), kStartTitle);
    EXPECT_EQ(window->sheet().FirmwareVersion, 0);
    EXPECT_EQ(window->sheet().GPIMsgLength, 55);  // kept until the next firmware reply, dump or download
    EXPECT_EQ(log().last(), "Disconnect");

    // Again while closed: one more line, nothing else.
    QTest::mouseClick(button("Disconnect"), Qt::LeftButton);
    EXPECT_EQ(log(),
              (QStringList{"Connect attempt", "Success!", "Firmware v2.10", "Disconnect", "Disconnect"}));
    EXPECT_EQ(window->windowTitle(), kStartTitle);
    EXPECT_TRUE(button("Connect")->isEnabled());
}

TEST_F(Connection, ThePortLabelTogglesThePortBox) {
    auto* port = get<QLineEdit>(QStringLiteral("Zeze_Port"));
    auto* label = get<QLabel>(QStringLiteral("Zeze_Port_Label"));
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_FALSE(port->isEnabled());
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_TRUE(port->isEnabled());

    // During a connection it unlocks the port box and leaves the connection alone.
    fake->setStateOnConnect(kStateConnected);
    QTest::mouseClick(button("Connect"), Qt::LeftButton);
    ASSERT_FALSE(port->isEnabled());
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_TRUE(port->isEnabled());
    EXPECT_EQ(fake->state(), kStateConnected);
    EXPECT_EQ(fake->closeCount(), 0);
    EXPECT_FALSE(get<QComboBox>(QStringLiteral("Zeze_Address"))->isEnabled());
    EXPECT_EQ(log(), (QStringList{"Connect attempt", "Success!"}));
}

TEST_F(Connection, TimerTicksGoOnDuringConnectsWait) {
    fake->setStateOnConnect(kStateConnecting);
    fake->setLocalEnd("127.0.0.1", 50001);
    auto* state = get<QLineEdit>(QStringLiteral("Zeze_State"));
    QString at400, at900, tipAt400;
    at(400, [&] {
        at400 = state->text();
        tipAt400 = state->toolTip();
        fake->setState(kStateConnected);
    });
    at(900, [&] { at900 = state->text(); });
    QTest::mouseClick(button("Connect"), Qt::LeftButton);
    EXPECT_EQ(at400, "Connecting");
    EXPECT_EQ(tipAt400, "127.0.0.1:50001");
    EXPECT_EQ(at900, "Connected");
    EXPECT_EQ(log(), (QStringList{"Connect attempt", "Success!"}));
}

TEST(StatusDisplay, EveryStateShowsItsWordColourAndTooltip) {
    auto socket = std::make_unique<FakeSocket>();
    FakeSocket* fake = socket.get();
    FrmMain window(std::move(socket));
    auto* state = control<QLineEdit>(window, QStringLiteral("Zeze_State"));
    auto* connect = control<QPushButton>(window, QStringLiteral("Connect"));
    const QColor white(255, 255, 255), yellow(255, 255, 0), green(0, 255, 0), red(255, 0, 0);

    fake->setLocalEnd("10.9.8.7", 1234);
    struct Step {
        int state;
        const char* text;
        QColor background;
        const char* tooltip;
    };
    const Step steps[] = {
        {0, "Closed", white, ""},
        {1, "Open", yellow, ""},  // the local end shows only in 6 and 7
        {2, "Listening", yellow, ""},
        {3, "Connection Pending", yellow, ""},
        {4, "Resolving Host", yellow, ""},
        {5, "Host Resolved", yellow, ""},
        {6, "Connecting", yellow, "10.9.8.7:1234"},
        {7, "Connected", green, "127.0.0.1:40000"},  // the local end is read again
        {8, "Peer is closing connection", red, "127.0.0.1:40000"},
        {9, "Error", red, "127.0.0.1:40000"},
        {42, "Unknown State", red, "127.0.0.1:40000"},
        {3, "Connection Pending", yellow, "127.0.0.1:40000"},
        {-1, "Unknown State", red, "127.0.0.1:40000"},
        {0, "Closed", white, ""},
    };
    for (const Step& step : steps) {
        if (step.state == 7)
            fake->setLocalEnd("127.0.0.1", 40000);
        connect->setEnabled(false);  // as a Connect click leaves it
        fake->setState(step.state);
        ASSERT_TRUE(QTest::qWaitFor([&] { return state->text() == step.text; }, kDeadlineMs)) << step.state;
        EXPECT_EQ(state->palette().color(QPalette::Base), step.background) << step.state;
        EXPECT_EQ(state->toolTip(), step.tooltip) << step.state;
        // Only a closed socket gives Connect back.
        EXPECT_EQ(connect->isEnabled(), step.state == 0) << step.state;
    }
    EXPECT_TRUE(logLines(window).isEmpty());
}

using Requests = LinkTest;

TEST_F(Requests, GetFromZezeWhileConnectedBlanksTheCommandsAndWaits) {
    action("mnuFourMach")->trigger();
    boxAnswers(kFirmware209);
    Sheet expected = window->sheet();
    for (PinRow& pin : expected.pins)
        pin.command.clear();

    QTest::mouseClick(button("cmd_Dump_Request"), Qt::LeftButton);
    EXPECT_TRUE(transferWaiting());
    EXPECT_EQ(window->sheet(), expected);  // flags, ports and network settings stay
    expectWidgetsShow(expected);
    ASSERT_EQ(fake->sends().size(), 1u);
    EXPECT_EQ(fake->sends()[0], kDumpRequestBytes);
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(Requests, GetFromZezeWithoutAConnectionLogsAndKeepsTheSheet) {
    action("mnuGang")->trigger();
    const Sheet before = window->sheet();
    for (const int state : {kStateClosed, kStateConnecting, kStatePeerClosing}) {
        fake->setState(state);
        QTest::mouseClick(button("cmd_Dump_Request"), Qt::LeftButton);
        EXPECT_EQ(log().last(), "Couldn't send dump request");
        EXPECT_TRUE(transferIdle());
    }
    EXPECT_EQ(log().size(), 3);
    EXPECT_EQ(window->sheet(), before);
    EXPECT_EQ(command(0)->currentText(), "20 00 20");
    EXPECT_TRUE(fake->sent().isEmpty());
}

TEST_F(Requests, HiddenRequestButtonsSendOnlyWhenConnected) {
    button("cmd_GPI_Request")->click();
    button("cmd_ID_Request")->click();
    EXPECT_EQ(log(), (QStringList{"Couldn't send GPI request", "Couldn't send ID request"}));
    EXPECT_TRUE(fake->sent().isEmpty());

    fake->setState(kStateConnected);
    button("cmd_GPI_Request")->click();
    button("cmd_ID_Request")->click();
    EXPECT_EQ(fake->sends(), (std::vector<QByteArray>{kGpiRequestBytes, kIdRequestBytes}));
    EXPECT_EQ(log().size(), 2);  // nothing logged on success
}

using Receive = LinkTest;

TEST_F(Receive, FirmwareRepliesSetTheTitleAndTheCommandLength) {
    fake->setState(kStateConnected);
    button("cmd_ID_Request")->click();
    arrive(kFirmware209);
    EXPECT_EQ(window->windowTitle(), kStartTitle + " - Zeze v2.09");
    EXPECT_EQ(window->sheet().FirmwareVersion, 521);
    EXPECT_EQ(window->sheet().GPIMsgLength, 30);
    // Only a reply to an ID request of ours counts.
    arrive(kFirmware210);
    EXPECT_EQ(window->windowTitle(), kStartTitle + " - Zeze v2.09");
    EXPECT_EQ(window->sheet().GPIMsgLength, 30);
    button("cmd_ID_Request")->click();
    arrive(kFirmware210);
    EXPECT_EQ(window->windowTitle(), kStartTitle + " - Zeze v2.10");
    EXPECT_EQ(window->sheet().FirmwareVersion, 522);
    EXPECT_EQ(window->sheet().GPIMsgLength, 55);
    EXPECT_EQ(log(),
              (QStringList{"Firmware v2.09", "Firmware v2.10 arrived unasked: ignored.", "Firmware v2.10"}));

    // Status messages are logged by their label only.
    arrive(bytes({0xFF, 0x00, 0x00, 0x04, 0x01, 0x02}));
    arrive(bytes({0xFF, 0x00, 0x00, 0x02}));
    EXPECT_EQ(log().mid(3), (QStringList{"GPI", "Port3"}));
}

TEST_F(Receive, ADumpInThreePiecesFillsTheWidgetsOnce) {
    boxAnswers(kFirmware209);
    QTest::mouseClick(button("cmd_Dump_Request"), Qt::LeftButton);
    const ConfigValues values = distinctiveValues();
    const EncodeResult reply = EncodeConfigMessage(values, 30);
    ASSERT_TRUE(reply.ok()) << reply.error;
    const QByteArray message = toBytes(reply.message);
    ASSERT_EQ(message.size(), 848);
    Sheet expected = window->sheet();
    applyConfigValues(expected, values);

    arrive(message.left(3));
    arrive(message.mid(3, 400));
    EXPECT_TRUE(transferWaiting());
    EXPECT_TRUE(log().isEmpty());
    EXPECT_EQ(command(1)->currentText(), "");
    arrive(message.mid(403));

    EXPECT_EQ(log(), QStringList{"Dump data, 848 bytes"});
    EXPECT_TRUE(transferIdle());
    EXPECT_EQ(window->sheet(), expected);
    expectWidgetsShow(expected);
    EXPECT_EQ(get<QLineEdit>("txt_Gateway", 3)->text(), "10");
    EXPECT_EQ(get<QComboBox>("cbo_Port_Parity", 0)->currentText(), "None");
    EXPECT_EQ(command(1)->currentText(), "21 0A FF");
    EXPECT_EQ(command(23)->currentText().size(), 89);
}

TEST_F(Receive, ReadShortMakesALongBoxDumpCompleteAt848Bytes) {
    boxAnswers(kFirmware210);
    action("mnuReadShort")->trigger();
    const ConfigValues values = distinctiveValues();
    const EncodeResult reply = EncodeConfigMessage(values, 30);
    ASSERT_TRUE(reply.ok()) << reply.error;
    QTest::mouseClick(button("cmd_Dump_Request"), Qt::LeftButton);
    // Read short, a long box's dump may go on behind the 848 bytes: where it ends cannot be seen, so a
    // second reply must agree.
    arrive(toBytes(reply.message));
    EXPECT_EQ(log().last(), kConfirm848);
    arrive(toBytes(reply.message));
    EXPECT_EQ(log().last(), "Dump data, 848 bytes");
    EXPECT_EQ(window->sheet().GPIMsgLength, 55);
    EXPECT_TRUE(action("mnuReadShort")->isChecked());
    EXPECT_EQ(command(23)->currentText().size(), 89);
    EXPECT_TRUE(transferIdle());
}

TEST_F(Receive, OnlyTheAwaitedDumpEndsTheWaitAndOnlyItChangesTheSheet) {
    boxAnswers(kFirmware209);
    QTest::mouseClick(button("cmd_Dump_Request"), Qt::LeftButton);
    ASSERT_TRUE(transferWaiting());
    const Sheet before = window->sheet();
    // Bytes that begin no message may have held the reply: once the line rests it is asked again.
    arrive(kUnknownMessage);
    arrive(bytes({0xFF, 0x00, 0x00, 0x04}));
    EXPECT_EQ(log(), (QStringList{kOutOfStep4, "GPI", kReplyLost}));
    EXPECT_EQ(fake->sends().back(), kDumpRequestBytes);
    EXPECT_TRUE(transferWaiting());
    EXPECT_EQ(window->sheet(), before);
    EXPECT_EQ(window->windowTitle(), kStartTitle + " - Zeze v2.09");

    // The dump glued behind a status message may be a look-alike inside it: asked again, and believed
    // when the second agrees; one nobody asked for is not.
    const QByteArray reply = toBytes(EncodeConfigMessage(distinctiveValues(), 30).message);
    arrive(bytes({0xFF, 0x00, 0x00, 0x01}) + reply);
    EXPECT_EQ(log().mid(3), (QStringList{"Port2", kConfirm848}));
    EXPECT_TRUE(transferWaiting());
    arrive(reply);
    EXPECT_EQ(log().last(), "Dump data, 848 bytes");
    EXPECT_TRUE(transferIdle());
    typeInto(command(0), "11");
    arrive(toBytes(EncodeConfigMessage(configValuesOf(Sheet{}), 30).message));
    EXPECT_EQ(log().last(), "Dump data, 848 bytes arrived unasked: the sheet is unchanged.");
    EXPECT_EQ(command(0)->currentText(), "11");
    EXPECT_EQ(command(1)->currentText(), "21 0A FF");
}

TEST_F(Receive, AMessageIsGivenUpAfterTwoSecondsOfSilenceAndItsRestDiscarded) {
    boxAnswers(kFirmware209);
    typeInto(command(0), "20 01 21");
    QTest::mouseClick(button("cmd_Dump_Request"), Qt::LeftButton);
    QByteArray partial = bytes({0xFF, 0x01, 0x00});
    partial.append(10, '\x07');
    QElapsedTimer clock;
    clock.start();
    arrive(partial);
    // A message that keeps arriving is not given up, however long it takes in all.
    QTest::qWait(1500);
    arrive(QByteArray(10, '\x07'));
    EXPECT_TRUE(log().isEmpty());
    EXPECT_TRUE(transferWaiting());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !log().isEmpty(); }, kDeadlineMs));
    EXPECT_GE(clock.elapsed(), 1500 + 2000 - 10);
    EXPECT_EQ(log(),
              (QStringList{"Dropped 23 bytes from the box: the message was never completed.",
                           "Get from Zeze failed: the box's reply was incomplete. The sheet is unchanged."}));
    EXPECT_TRUE(transferIdle());
    EXPECT_EQ(command(0)->currentText(), "20 01 21");

    // What looks like a message in the late rest of the cut one is never believed, however late it
    // comes: nothing asked for it; the next Get reads the box's answer.
    arrive(kFirmware210);
    QTest::qWait(2100);
    arrive(kFirmware210);
    EXPECT_EQ(log().mid(2), (QStringList{kFirmware210Unasked, kFirmware210Unasked}));
    EXPECT_EQ(window->windowTitle(), kStartTitle + " - Zeze v2.09");
    QTest::mouseClick(button("cmd_Dump_Request"), Qt::LeftButton);
    EXPECT_EQ(fake->sends().back(), kDumpRequestBytes);
    arrive(toBytes(EncodeConfigMessage(distinctiveValues(), 30).message));
    EXPECT_EQ(log().last(), "Dump data, 848 bytes");
    EXPECT_EQ(command(1)->currentText(), "21 0A FF");
}

TEST_F(Receive, ConnectAndDisconnectForgetAHeldPiece) {
    fake->setState(kStateConnected);
    arrive(bytes({0xFF, 0x01, 0x00, 0x01}));
    QTest::mouseClick(button("Disconnect"), Qt::LeftButton);
    fake->setState(kStateConnected);
    arrive(bytes({0xFF, 0x00, 0x00, 0x04}));
    EXPECT_EQ(log(), (QStringList{"Disconnect", "GPI"}));

    arrive(bytes({0xFF, 0x00}));
    fake->setStateOnConnect(kStateConnected);
    QTest::mouseClick(button("Connect"), Qt::LeftButton);
    arrive(kFirmware210);
    EXPECT_EQ(log().last(), "Firmware v2.10");
    EXPECT_FALSE(log().join('\n').contains("Dropped"));
}

using Download = LinkTest;

TEST_F(Download, ConnectedSendsTheSheetOnceAndHoldsTheButtonsForThePause) {
    boxAnswers(kFirmware209);
    typeInto(command(0), " 20  1 21");
    typeInto(command(7), "b2");
    action("mnuReadShort")->trigger();
    Sheet expected = window->sheet();
    const EncodeResult download = BuildDownload(expected);
    ASSERT_TRUE(download.ok()) << download.error;
    ASSERT_EQ(download.message.size(), 848u);

    bool waitingDuringPause = false;
    QString commandDuringPause;
    at(500, [&] {
        waitingDuringPause = transferWaiting();
        commandDuringPause = command(0)->currentText();
    });
    EXPECT_GE(timedDownload(), 3188);
    EXPECT_TRUE(waitingDuringPause);
    EXPECT_EQ(commandDuringPause, "20 01 21");  // canonical before the pause begins
    EXPECT_TRUE(QTest::qWaitFor([&] { return transferIdle(); }, kDeadlineMs));
    ASSERT_EQ(fake->sends().size(), 1u);
    EXPECT_EQ(fake->sends()[0], toBytes(download.message));
    EXPECT_EQ(window->sheet(), expected);
    EXPECT_FALSE(window->sheet().readShort);
    EXPECT_FALSE(action("mnuReadShort")->isChecked());
    EXPECT_EQ(command(0)->currentText(), "20 01 21");
    EXPECT_EQ(command(7)->currentText(), "B2");
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(Download, NotConnectedNormalisesSendsNothingAndSaysSo) {
    typeInto(command(3), " 20  1 21");
    action("mnuReadShort")->trigger();
    EXPECT_LT(timedDownload(), 3188);
    EXPECT_TRUE(transferIdle());
    EXPECT_TRUE(fake->sent().isEmpty());
    EXPECT_EQ(log(), QStringList{"Couldn't send download"});
    EXPECT_EQ(command(3)->currentText(), "20 01 21");
    EXPECT_EQ(window->sheet().pins[3].command, "20 01 21");
    EXPECT_FALSE(action("mnuReadShort")->isChecked());
}

TEST_F(Download, ABadOctetRefusesTheDownloadAndLeavesTheSheet) {
    boxAnswers(kFirmware209);
    typeInto(get<QLineEdit>("txt_Gateway", 1), "300");
    typeInto(command(2), " 20  1 21");
    action("mnuReadShort")->trigger();
    const Sheet before = window->sheet();
    Sheet copy = before;
    const EncodeResult refusal = BuildDownload(copy);
    ASSERT_FALSE(refusal.ok());

    EXPECT_LT(timedDownload(), 3188);
    EXPECT_EQ(log(), QStringList{fromStd(refusal.error)});
    EXPECT_TRUE(log().first().startsWith("Not sent: Gateway"));
    EXPECT_TRUE(fake->sent().isEmpty());
    EXPECT_EQ(window->sheet(), before);
    expectWidgetsShow(before);
    EXPECT_EQ(command(2)->currentText(), " 20  1 21");
    EXPECT_TRUE(transferIdle());
}

TEST_F(Download, NothingGoesToTheBoxDuringThePause) {
    boxAnswers(kFirmware210);
    // A message from the box no longer releases the buttons; requests made meanwhile wait or are refused.
    bool waitingAfterReply = false;
    at(300, [&] { fake->arrive(kUnknownMessage); });
    at(600, [&] {
        waitingAfterReply = transferWaiting();
        button("cmd_Download")->click();
        button("cmd_Dump_Request")->click();
        button("cmd_GPI_Request")->click();
    });
    EXPECT_GE(timedDownload(), 5588);
    EXPECT_TRUE(waitingAfterReply);
    ASSERT_EQ(fake->sends().size(), 1u);
    EXPECT_EQ(fake->sends()[0].size(), 1448);
    EXPECT_EQ(log(),
              (QStringList{kOutOfStep4,
                           "Not sent: the box is still storing the download. Try again when it ends."}));
    EXPECT_TRUE(transferIdle());
}

TEST_F(Download, ClosingTheWindowDuringThePauseIsHarmless) {
    showActive();
    boxAnswers(kFirmware209);
    at(300, [&] { window->close(); });
    timedDownload();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(fake->sends().size(), 1u);
    EXPECT_TRUE(transferIdle());
    EXPECT_TRUE(Wait(10));  // the application goes on
}

using FailedDump = LinkTest;

// Every way a Get from Zeze can end without a dump puts back the commands it emptied (a row typed into
// meanwhile keeps what was typed), says so in one line and releases the buttons.
TEST_F(FailedDump, EveryWayOutPutsTheCommandsBack) {
    struct Way {
        const char* name;
        std::function<void(FakeSocket&)> fail;  // runs while the dump is awaited
        QString line;
    };
    const Way ways[] = {
        {"Disconnect", [&](FakeSocket&) { QTest::mouseClick(button("Disconnect"), Qt::LeftButton); },
         "Get from Zeze cancelled by Disconnect. The sheet is unchanged."},
        {"peer closing", [](FakeSocket& socket) { socket.peerClose(); },
         "Get from Zeze failed: the connection ended. The sheet is unchanged."},
        {"socket error", [](FakeSocket& socket) { socket.setState(kStateError); },
         "Get from Zeze failed: the connection ended. The sheet is unchanged."},
    };
    for (const Way& way : ways) {
        boxAnswers(kFirmware209);
        const qsizetype before = log().size();
        typeInto(command(0), "20 01 21");
        typeInto(command(1), "");
        QTest::mouseClick(button("cmd_Dump_Request"), Qt::LeftButton);
        ASSERT_TRUE(transferWaiting()) << way.name;
        EXPECT_EQ(command(0)->currentText(), "") << way.name;
        typeInto(command(1), "typed");
        arrive(bytes({0xFF, 0x01, 0x00, 0x07}));  // a dump begun
        way.fail(*fake);
        ASSERT_TRUE(QTest::qWaitFor([&] { return log().mid(before).contains(way.line); }, kDeadlineMs))
            << way.name;
        EXPECT_EQ(log().mid(before).filter("The sheet is unchanged").size(), 1) << way.name;
        EXPECT_EQ(command(0)->currentText(), "20 01 21") << way.name;
        EXPECT_EQ(window->sheet().pins[0].command, "20 01 21") << way.name;
        EXPECT_EQ(command(1)->currentText(), "typed") << way.name;
        EXPECT_TRUE(transferIdle()) << way.name;
    }

    // A request the connection does not take fails at once.
    boxAnswers(kFirmware209);
    fake->setRefuseSends(true);
    QTest::mouseClick(button("cmd_Dump_Request"), Qt::LeftButton);
    ASSERT_FALSE(log().isEmpty());
    EXPECT_EQ(log().last(),
              "Couldn't send dump request: the connection did not take it. The sheet is unchanged.");
    EXPECT_EQ(command(0)->currentText(), "20 01 21");
    EXPECT_TRUE(transferIdle());
}

TEST_F(Download, TwoInARowBothSendAndARefusedSendIsReported) {
    boxAnswers(kFirmware209);
    typeInto(command(0), "20 01 21");
    EXPECT_GE(timedDownload(), 3188);
    // Disconnect during the second one's pause releases the buttons at once.
    at(500, [&] { QTest::mouseClick(button("Disconnect"), Qt::LeftButton); });
    const qint64 second = timedDownload();
    EXPECT_GE(second, 500);
    EXPECT_LT(second, 3188);
    ASSERT_EQ(fake->sends().size(), 2u);
    EXPECT_EQ(fake->sends()[0].size(), 848);
    EXPECT_EQ(fake->sends()[1], fake->sends()[0]);
    EXPECT_EQ(log(), QStringList{"Disconnect"});

    boxAnswers(kFirmware209);
    fake->setRefuseSends(true);
    EXPECT_LT(timedDownload(), 3188);  // no pause for what was never sent
    EXPECT_EQ(log().last(),
              "Couldn't send download: the connection did not take it. Nothing was written to "
              "the box.");
    EXPECT_TRUE(transferIdle());
}

TEST_F(Connection, ALateConnectStillAsksForTheFirmwareOnce) {
    fake->setStateOnConnect(kStateConnecting);
    auto* state = get<QLineEdit>(QStringLiteral("Zeze_State"));
    QTest::mouseClick(button("Connect"), Qt::LeftButton);
    EXPECT_EQ(log(), (QStringList{"Connect attempt", "Couldn't send ID request"}));
    EXPECT_TRUE(fake->sent().isEmpty());
    // Connecting, with the local end not known yet: no tooltip rather than ":0".
    ASSERT_TRUE(stateShows("Connecting"));
    EXPECT_EQ(state->toolTip(), "");

    fake->setLocalEnd("127.0.0.1", 50123);
    fake->completeConnect();
    EXPECT_EQ(fake->sent(), kIdRequestBytes);
    EXPECT_EQ(log().last(), "Connected after the wait: ID request sent");
    fake->completeConnect();
    EXPECT_EQ(fake->sends().size(), 1u);  // once
    ASSERT_TRUE(stateShows("Connected"));
    EXPECT_EQ(state->toolTip(), "127.0.0.1:50123");

    // The firmware it asked for sizes the next download.
    arrive(kFirmware210);
    fake->clearSent();
    timedDownload();
    ASSERT_EQ(fake->sends().size(), 1u);
    EXPECT_EQ(fake->sends()[0].size(), 1448);
}

}  // namespace
}  // namespace zeze::apptest
