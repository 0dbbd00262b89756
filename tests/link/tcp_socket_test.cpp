// TcpSocket against a real QTcpServer on 127.0.0.1: state numbers, bytes both ways, refusal, the peer's
// close, port text checks and the connect time-out.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "link/tcp_socket.h"

namespace zeze {
namespace {

constexpr int kDeadlineMs = 5000;

// Everything the socket reports, in order.
struct Recorder {
    explicit Recorder(Socket& socket) {
        QObject::connect(&socket, &Socket::dataArrived, &socket,
                         [this](const QByteArray& bytes) { received += bytes; });
        QObject::connect(&socket, &Socket::errorOccurred, &socket, [this](int number, const QString& text) {
            errors.push_back(number);
            descriptions.push_back(text);
        });
    }
    QByteArray received;
    std::vector<int> errors;
    QStringList descriptions;
};

quint16 freePort() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    return probe.serverPort();
}

QString portText(const QTcpServer& server) {
    return QString::number(server.serverPort());
}

// Connects `socket` to `server` and returns the server's end of the connection.
QTcpSocket* connectToServer(TcpSocket& socket, QTcpServer& server) {
    socket.connectTo("127.0.0.1", portText(server));
    const bool accepted = QTest::qWaitFor([&] { return server.hasPendingConnections(); }, kDeadlineMs);
    const bool connected = QTest::qWaitFor([&] { return socket.state() == kStateConnected; }, kDeadlineMs);
    EXPECT_TRUE(accepted && connected);
    return accepted ? server.nextPendingConnection() : nullptr;
}

QByteArray allByteValues(int repeat) {
    QByteArray bytes;
    for (int r = 0; r < repeat; ++r) {
        for (int value = 0; value < 256; ++value) {
            bytes.append(static_cast<char>(value));
        }
    }
    return bytes;
}

TEST(TcpSocket, NumbersQtErrorsAsTheWindowTellsThemApart) {
    using E = QAbstractSocket;
    for (const bool wasConnected : {false, true}) {
        EXPECT_EQ(TcpSocket::errorNumber(E::ConnectionRefusedError, wasConnected), kErrorRefused);
        EXPECT_EQ(TcpSocket::errorNumber(E::HostNotFoundError, wasConnected), kErrorHostNotFound);
    }
    EXPECT_EQ(TcpSocket::errorNumber(E::SocketTimeoutError, false), kErrorTimedOut);
    EXPECT_EQ(TcpSocket::errorNumber(E::SocketTimeoutError, true), kErrorConnectionAborted);
    EXPECT_EQ(TcpSocket::errorNumber(E::NetworkError, true), kErrorConnectionAborted);
    // Everything else keeps a number of its own that no other error shares.
    EXPECT_EQ(TcpSocket::errorNumber(E::NetworkError, false), TcpSocket::kQtErrorBase + E::NetworkError);
    EXPECT_EQ(TcpSocket::errorNumber(E::SocketAccessError, false),
              TcpSocket::kQtErrorBase + E::SocketAccessError);
    EXPECT_EQ(TcpSocket::errorNumber(E::UnknownSocketError, true), TcpSocket::kQtErrorBase - 1);
}

TEST(TcpSocket, ConnectsAndCarriesBytesExactlyBothWays) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TcpSocket socket;
    Recorder record(socket);
    QSignalSpy connected(&socket, &Socket::connected);
    EXPECT_EQ(socket.state(), kStateClosed);
    EXPECT_FALSE(socket.send("x"));
    EXPECT_EQ(socket.connectTimeout(), 20000);  // a connect nobody answers is given up after 20 s

    socket.connectTo("127.0.0.1", portText(server));
    EXPECT_EQ(socket.state(), kStateConnecting);
    EXPECT_EQ(connected.count(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, kDeadlineMs));
    QTcpSocket* peer = server.nextPendingConnection();
    ASSERT_TRUE(QTest::qWaitFor([&] { return socket.state() == kStateConnected; }, kDeadlineMs));
    EXPECT_EQ(socket.localAddress(), "127.0.0.1");
    EXPECT_NE(socket.localPort(), 0);
    EXPECT_EQ(socket.localPort(), peer->peerPort());
    EXPECT_EQ(connected.count(), 1);

    const QByteArray request("\xFF\x00\x02", 3);
    const QByteArray upload = request + allByteValues(4);
    EXPECT_TRUE(socket.send(request));
    EXPECT_TRUE(socket.send(allByteValues(4)));
    QByteArray atServer;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            atServer += peer->readAll();
            return atServer.size() >= upload.size();
        },
        kDeadlineMs));
    EXPECT_EQ(atServer, upload);

    const QByteArray download = QByteArray("\xFF\x01\x00", 3) + allByteValues(2) + QByteArray("\xFF", 1);
    peer->write(download);
    EXPECT_TRUE(QTest::qWaitFor([&] { return record.received.size() >= download.size(); }, kDeadlineMs));
    EXPECT_EQ(record.received, download);
    EXPECT_TRUE(record.errors.empty());

    socket.close();
    EXPECT_EQ(socket.state(), kStateClosed);
    EXPECT_FALSE(socket.send("x"));
    socket.close();  // harmless twice
    EXPECT_EQ(socket.state(), kStateClosed);
}

TEST(TcpSocket, RefusedConnectIsOneErrorAndStateNineUntilClosed) {
    const quint16 port = freePort();
    TcpSocket socket;
    Recorder record(socket);
    socket.connectTo("127.0.0.1", QString::number(port));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !record.errors.empty(); }, kDeadlineMs));
    QCoreApplication::processEvents();
    ASSERT_EQ(record.errors.size(), 1u);
    EXPECT_EQ(record.errors[0], kErrorRefused);
    EXPECT_FALSE(record.descriptions[0].isEmpty());
    EXPECT_EQ(socket.state(), kStateError);
    EXPECT_FALSE(socket.send("x"));

    socket.close();
    EXPECT_EQ(socket.state(), kStateClosed);

    // A new attempt starts clean after a failure.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    socket.connectTo("127.0.0.1", QString::number(port));
    ASSERT_TRUE(QTest::qWaitFor([&] { return record.errors.size() == 2; }, kDeadlineMs));
    socket.connectTo("127.0.0.1", portText(server));  // replaces the failed attempt without a close
    EXPECT_NE(socket.state(), kStateError);
    EXPECT_TRUE(QTest::qWaitFor([&] { return socket.state() == kStateConnected; }, kDeadlineMs));
    EXPECT_EQ(record.errors.size(), 2u);
}

TEST(TcpSocket, PeerCloseIsNoErrorButStateEightWithLastBytesDelivered) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TcpSocket socket;
    Recorder record(socket);
    QTcpSocket* peer = connectToServer(socket, server);
    ASSERT_NE(peer, nullptr);

    // Enough bytes to need several reads, sent together with the close.
    const QByteArray farewell = allByteValues(1024) + QByteArray("\xFF", 1);
    peer->write(farewell);
    peer->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return socket.state() == kStatePeerClosing; }, kDeadlineMs));
    // Qt has dropped the connection once the local port reads 0; the state must still say 8.
    ASSERT_TRUE(QTest::qWaitFor([&] { return socket.localPort() == 0; }, kDeadlineMs));
    EXPECT_EQ(socket.state(), kStatePeerClosing);
    EXPECT_TRUE(QTest::qWaitFor([&] { return record.received.size() >= farewell.size(); }, kDeadlineMs));
    EXPECT_EQ(record.received, farewell);
    EXPECT_TRUE(record.errors.empty());
    EXPECT_FALSE(socket.send("x"));

    socket.close();
    EXPECT_EQ(socket.state(), kStateClosed);
}

TEST(TcpSocket, HandlerThatWaitsGetsLaterBytesAfterItReturnsNotInsideIt) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TcpSocket socket;
    QTcpSocket* peer = connectToServer(socket, server);
    ASSERT_NE(peer, nullptr);

    QByteArray received;
    int depth = 0;
    int maxDepth = 0;
    bool peerClosedDuringHandler = false;
    QObject::connect(&socket, &Socket::dataArrived, &socket, [&](const QByteArray& bytes) {
        maxDepth = std::max(maxDepth, ++depth);
        received += bytes;
        if (received == "first") {
            // The rest and the close arrive while this handler pauses with the event loop running.
            peer->write("second");
            peer->disconnectFromHost();
            peerClosedDuringHandler = QTest::qWaitFor([&] { return socket.localPort() == 0; }, kDeadlineMs);
        }
        --depth;
    });
    peer->write("first");
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() >= 11; }, kDeadlineMs));
    EXPECT_TRUE(peerClosedDuringHandler);
    EXPECT_EQ(received, "firstsecond");
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(socket.state(), kStatePeerClosing);
}

TEST(TcpSocket, LocalCloseDropsTheConnectionAndLateBytes) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TcpSocket socket;
    Recorder record(socket);
    QTcpSocket* peer = connectToServer(socket, server);
    ASSERT_NE(peer, nullptr);
    socket.close();
    EXPECT_EQ(socket.state(), kStateClosed);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }, kDeadlineMs));
    EXPECT_TRUE(record.received.isEmpty());
    EXPECT_TRUE(record.errors.empty());
    EXPECT_EQ(socket.state(), kStateClosed);
}

TEST(TcpSocket, InvalidPortTextIsAQueuedErrorAndNothingIsDialled) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const QString good = portText(server);
    for (const QString& text :
         {QString(), QString("abc"), "+" + good, QString("0"), QString("70000"), good + "x"}) {
        SCOPED_TRACE(text.toStdString());
        TcpSocket socket;
        QStringList log;
        QObject::connect(
            &socket, &Socket::errorOccurred, &socket,
            [&](int number, const QString& description) { log << QString::number(number) << description; });
        socket.connectTo("127.0.0.1", text);
        log << "Connect attempt";
        EXPECT_EQ(socket.state(), kStateError);
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.size() == 3; }, kDeadlineMs));
        EXPECT_EQ(log[0], "Connect attempt");
        EXPECT_EQ(log[1], QString::number(kErrorInvalidPort));
        EXPECT_EQ(log[2], "Invalid port \"" + text +
                              "\": the connection port must be a whole number from 1 to 65535.");
        EXPECT_EQ(socket.state(), kStateError);
        socket.close();
        EXPECT_EQ(socket.state(), kStateClosed);
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(server.hasPendingConnections());

    // The same port with blanks around it is a valid port.
    TcpSocket socket;
    socket.connectTo("127.0.0.1", " " + good + " ");
    EXPECT_TRUE(QTest::qWaitFor([&] { return socket.state() == kStateConnected; }, kDeadlineMs));
}

TEST(TcpSocket, ErrorOfAClosedOrReplacedAttemptIsDropped) {
    TcpSocket socket;
    Recorder record(socket);
    socket.connectTo("127.0.0.1", "abc");
    socket.close();
    socket.connectTo("127.0.0.1", "xyz");
    socket.connectTo("127.0.0.1", "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !record.errors.empty(); }, kDeadlineMs));
    QCoreApplication::processEvents();
    ASSERT_EQ(record.errors.size(), 1u);
    EXPECT_TRUE(record.descriptions[0].startsWith("Invalid port \"\""));
}

TEST(TcpSocket, EmptyHostIsHostNotFound) {
    TcpSocket socket;
    Recorder record(socket);
    socket.connectTo("", "8000");
    EXPECT_TRUE(record.errors.empty());  // reported after connectTo() returns
    ASSERT_TRUE(QTest::qWaitFor([&] { return !record.errors.empty(); }, kDeadlineMs));
    EXPECT_EQ(record.errors[0], kErrorHostNotFound);
    EXPECT_EQ(socket.state(), kStateError);
}

}  // namespace
}  // namespace zeze
