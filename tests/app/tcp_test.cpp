// The main window on its real TCP socket against a QTcpServer on 127.0.0.1: connect and ID request,
// replies read from the wire, the peer's close, and a refused connect.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include "protocol/config_record.h"
#include "window_fixture.h"

namespace zeze::apptest {
namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");

class RealSocket : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.listen(QHostAddress(kLoopback), 0)); }

    QComboBox* address() { return control<QComboBox>(window, QStringLiteral("Zeze_Address")); }
    QLineEdit* port() { return control<QLineEdit>(window, QStringLiteral("Zeze_Port")); }
    QLineEdit* state() { return control<QLineEdit>(window, QStringLiteral("Zeze_State")); }
    QPushButton* button(const char* name) { return control<QPushButton>(window, QLatin1String(name)); }
    QStringList log() { return logLines(window); }

    // Points the window at the loopback port and clicks Connect; never dials anything else.
    void connectTo(quint16 portNumber) {
        address()->setEditText(kLoopback);
        port()->setText(QString::number(portNumber));
        ASSERT_EQ(address()->currentText(), kLoopback);
        QTest::mouseClick(button("Connect"), Qt::LeftButton);
    }
    bool stateShows(const QString& text) {
        return QTest::qWaitFor([&] { return state()->text() == text; }, kDeadlineMs);
    }
    // Reads from the server's end until `count` bytes have come.
    QByteArray receive(QTcpSocket* peer, qsizetype count) {
        QByteArray data;
        const bool complete = QTest::qWaitFor(
            [&] {
                data += peer->readAll();
                return data.size() >= count;
            },
            kDeadlineMs);
        EXPECT_TRUE(complete) << "only " << data.size() << " of " << count << " bytes";
        return data;
    }

    QTcpServer server;
    FrmMain window;  // with its own TcpSocket
};

TEST_F(RealSocket, ConnectsSendsTheIdRequestAndReadsTheBoxsReplies) {
    connectTo(server.serverPort());
    EXPECT_EQ(log(), (QStringList{"Connect attempt", "Success!"}));
    ASSERT_TRUE(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();
    EXPECT_EQ(receive(peer, 3), bytes({0xFF, 0x00, 0x02}));
    ASSERT_TRUE(stateShows("Connected"));
    EXPECT_EQ(state()->palette().color(QPalette::Base), QColor(0, 255, 0));
    EXPECT_EQ(state()->toolTip(), QStringLiteral("127.0.0.1:%1").arg(peer->peerPort()));

    peer->write(bytes({0xFF, 0x00, 0x00, 0x05, 0x0A, 0x02}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log().size() == 3; }, kDeadlineMs));
    EXPECT_EQ(log().last(), "Firmware v2.10");
    EXPECT_EQ(window.windowTitle(), "Zeze GPI Programmer v1.0.29 - Zeze v2.10");

    // A long dump written in two parts reaches the sheet as one message.
    QTest::mouseClick(button("cmd_Dump_Request"), Qt::LeftButton);
    EXPECT_EQ(receive(peer, 3), bytes({0xFF, 0x01, 0x01}));
    ConfigValues values = configValuesOf(Sheet{});
    values.network.destPort = "4242";
    values.pins[22].command = "20 01 21";
    values.pins[22].sendToPort = {false, false, true, true};
    const EncodeResult reply = EncodeConfigMessage(values, 55);
    ASSERT_TRUE(reply.ok());
    const QByteArray message = toBytes(reply.message);
    peer->write(message.left(700));
    peer->flush();
    QTest::qWait(50);
    peer->write(message.mid(700));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log().size() == 4; }, kDeadlineMs));
    EXPECT_EQ(log().last(), "Dump data, 1448 bytes");
    EXPECT_EQ(control<QComboBox>(window, QStringLiteral("cbo_Command_22"))->currentText(), "20 01 21");
    EXPECT_TRUE(control<QCheckBox>(window, QStringLiteral("chk_Send_2_Port4_22"))->isChecked());
    EXPECT_EQ(control<QLineEdit>(window, QStringLiteral("txt_Dest_Port"))->text(), "4242");
    EXPECT_TRUE(button("cmd_Download")->isEnabled());
}

TEST_F(RealSocket, ThePeersCloseShowsUntilDisconnect) {
    connectTo(server.serverPort());
    ASSERT_TRUE(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();
    ASSERT_TRUE(stateShows("Connected"));
    const QString tooltip = state()->toolTip();

    peer->disconnectFromHost();
    ASSERT_TRUE(stateShows("Peer is closing connection"));
    EXPECT_EQ(state()->palette().color(QPalette::Base), QColor(255, 0, 0));
    QTest::qWait(5 * FrmMain::kTimerIntervalMs);  // several ticks later it still shows
    EXPECT_EQ(state()->text(), "Peer is closing connection");
    EXPECT_EQ(state()->toolTip(), tooltip);
    EXPECT_FALSE(button("Connect")->isEnabled());
    // No error line for the close, but one line that says the connection is gone.
    EXPECT_EQ(log(), (QStringList{"Connect attempt", "Success!", "The connection to the box was lost."}));

    QTest::mouseClick(button("Disconnect"), Qt::LeftButton);
    ASSERT_TRUE(stateShows("Closed"));
    EXPECT_EQ(state()->palette().color(QPalette::Base), QColor(255, 255, 255));
    EXPECT_EQ(state()->toolTip(), "");
    EXPECT_TRUE(button("Connect")->isEnabled());
    EXPECT_EQ(log().last(), "Disconnect");
}

TEST_F(RealSocket, ARefusedConnectLogsItsHintBeforeTheMissingIdRequest) {
    const quint16 refusedPort = server.serverPort();
    server.close();  // nothing listens on that port now

    connectTo(refusedPort);
    const QStringList lines = log();
    ASSERT_EQ(lines.size(), 4) << lines.join(" | ").toStdString();
    EXPECT_EQ(lines[0], "Connect attempt");
    EXPECT_FALSE(lines[1].isEmpty());
    EXPECT_EQ(lines[2], "Hint: Couldn't connect to that Port. Check port.");
    EXPECT_EQ(lines[3], "Couldn't send ID request");
    ASSERT_TRUE(stateShows("Error"));
    EXPECT_EQ(state()->palette().color(QPalette::Base), QColor(255, 0, 0));

    QTest::mouseClick(button("Disconnect"), Qt::LeftButton);
    ASSERT_TRUE(stateShows("Closed"));
    EXPECT_TRUE(button("Connect")->isEnabled());
}

// A box that has answered the ID request (2.09: 848-byte dumps), with a command in the sheet that a
// failed Get from Zeze must leave there.
class FailingBox : public RealSocket {
  protected:
    void SetUp() override {
        RealSocket::SetUp();
        connectTo(server.serverPort());
        ASSERT_TRUE(server.hasPendingConnections());
        peer = server.nextPendingConnection();
        ASSERT_EQ(receive(peer, 3), bytes({0xFF, 0x00, 0x02}));
        peer->write(bytes({0xFF, 0x00, 0x00, 0x05, 0x09, 0x02}));
        ASSERT_TRUE(logShows("Firmware v2.09"));
        control<QComboBox>(window, QStringLiteral("cbo_Command_0"))->setEditText("20 01 21");
        QTest::mouseClick(button("cmd_Dump_Request"), Qt::LeftButton);
        ASSERT_EQ(receive(peer, 3), bytes({0xFF, 0x01, 0x01}));
        ASSERT_EQ(command0(), "");
        dump = toBytes(EncodeConfigMessage(configValuesOf(Sheet{}), 30).message);
        ASSERT_EQ(dump.size(), 848);
    }
    QString command0() { return control<QComboBox>(window, QStringLiteral("cbo_Command_0"))->currentText(); }
    bool logShows(const QString& line) {
        return QTest::qWaitFor([&] { return log().contains(line); }, kDeadlineMs);
    }

    QTcpSocket* peer = nullptr;
    QByteArray dump;
};

TEST_F(FailingBox, SilentAfterTheRequestTheSheetComesBackAfterTenSeconds) {
    QElapsedTimer clock;
    clock.start();
    // Status messages neither release the buttons nor extend the limit.
    for (int second = 0; second < 9; ++second) {
        QTimer::singleShot(second * 1000, peer, [this] {
            peer->write(bytes({0xFF, 0x00, 0x00, 0x04, 0x00}));
        });
    }
    ASSERT_TRUE(logShows("GPI"));
    EXPECT_FALSE(button("cmd_Download")->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return log().last().startsWith("Get from Zeze"); }, 15000));
    EXPECT_GE(clock.elapsed(), 10000 - 50);
    EXPECT_LT(clock.elapsed(), 10000 + 1000);
    EXPECT_EQ(log().last(), "Get from Zeze failed: no reply within 10 s. The sheet is unchanged.");
    EXPECT_EQ(command0(), "20 01 21");
    EXPECT_TRUE(button("cmd_Download")->isEnabled());
    EXPECT_EQ(peer->bytesAvailable(), 0);  // nothing was written to the box

    // A dump that comes after all is not read over what the operator has since.
    peer->write(dump);
    ASSERT_TRUE(logShows("Dump data, 848 bytes arrived unasked: the sheet is unchanged."));
    EXPECT_EQ(command0(), "20 01 21");
}

TEST_F(FailingBox, AStallMidDumpGivesItUpAndItsRestIsNeverReadAsMessages) {
    peer->write(dump.left(400));
    ASSERT_TRUE(logShows("Dropped 400 bytes from the box: the message was never completed."));
    EXPECT_EQ(log().last(), "Get from Zeze failed: the box's reply was incomplete. The sheet is unchanged.");
    EXPECT_EQ(command0(), "20 01 21");

    // The rest arrives late; where it starts like a firmware reply it is never believed as one (nothing
    // asked for it), and what follows it began no message.
    QByteArray rest = dump.mid(400);
    rest.replace(0, 6, bytes({0xFF, 0x00, 0x00, 0x05, 0x63, 0x09}));
    peer->write(rest);
    ASSERT_TRUE(
        logShows("Dropped 442 bytes from the box that began no message: its messages were out of step."));
    EXPECT_EQ(log().filter("Firmware v9.99 arrived unasked: ignored.").size(), 1);
    EXPECT_TRUE(log().filter("Dump data").isEmpty());
    EXPECT_EQ(window.windowTitle(), "Zeze GPI Programmer v1.0.29 - Zeze v2.09");
}

TEST_F(FailingBox, AResetMidDumpLeavesTheSheetAsItWas) {
    peer->write(dump.left(500));
    peer->flush();
    peer->abort();
    ASSERT_TRUE(logShows("Get from Zeze failed: the connection ended. The sheet is unchanged."));
    EXPECT_EQ(command0(), "20 01 21");
    EXPECT_TRUE(button("cmd_Dump_Request")->isEnabled());
    EXPECT_TRUE(log().filter("Dump data").isEmpty());
}

}  // namespace
}  // namespace zeze::apptest
