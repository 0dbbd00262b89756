// The connect time-out of TcpSocket. A loopback listener answers at once, so this process runs Qt's
// plain Unix event loop, whose ExcludeSocketNotifiers really keeps the answer from being seen: the
// attempt then stays pending in Qt's eyes, as one to an address where nothing answers would.
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>

#include "link/tcp_socket.h"
#include "link/wait.h"

namespace zeze {
namespace {

TEST(TcpSocketConnectTimeout, PendingConnectIsAbortedWithTen060AndStaysGivenUp) {
    qputenv("QT_NO_GLIB", "1");
    int argc = 1;
    char name[] = "link_connect_timeout_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    ASSERT_STREQ(QAbstractEventDispatcher::instance()->metaObject()->className(), "QEventDispatcherUNIX");

    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TcpSocket socket;
    std::vector<int> errors;
    QStringList descriptions;
    QObject::connect(&socket, &Socket::errorOccurred, [&](int number, const QString& description) {
        errors.push_back(number);
        descriptions << description;
    });
    socket.setConnectTimeout(0);
    socket.connectTo("127.0.0.1", QString::number(server.serverPort()));
    ASSERT_EQ(socket.state(), kStateConnecting);

    QElapsedTimer clock;
    clock.start();
    while (errors.empty() && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], kErrorTimedOut);
    EXPECT_EQ(descriptions[0], "Connection timed out");
    EXPECT_EQ(socket.state(), kStateError);

    // With socket events flowing again nothing of the abandoned attempt comes back.
    EXPECT_TRUE(Wait(50));
    EXPECT_EQ(socket.state(), kStateError);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(socket.localPort(), 0);
    socket.close();
    EXPECT_EQ(socket.state(), kStateClosed);

    // A connect that is answered before the time-out is untouched by it.
    socket.setConnectTimeout(500);
    socket.connectTo("127.0.0.1", QString::number(server.serverPort()));
    clock.restart();
    while (socket.state() != kStateConnected && clock.elapsed() < 5000) {
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(socket.state(), kStateConnected);
    EXPECT_TRUE(Wait(600));
    EXPECT_EQ(socket.state(), kStateConnected);
    EXPECT_EQ(errors.size(), 1u);
}

}  // namespace
}  // namespace zeze
