// The test double other tests drive the window with: it must behave as its comment promises.
#include <gtest/gtest.h>

#include "support/fake_socket.h"

namespace zeze {
namespace {

TEST(FakeSocket, RecordsCallsAndRaisesEventsThroughTheInterface) {
    FakeSocket fake;
    Socket& socket = fake;
    QByteArray arrived;
    std::vector<int> errors;
    QObject::connect(&socket, &Socket::dataArrived, [&](const QByteArray& bytes) { arrived += bytes; });
    QObject::connect(&socket, &Socket::errorOccurred,
                     [&](int number, const QString&) { errors.push_back(number); });

    EXPECT_FALSE(socket.send("no"));
    fake.setStateOnConnect(kStateConnected);
    fake.setLocalEnd("127.0.0.1", 50123);
    socket.connectTo("zeze.local", " 8000 ");
    ASSERT_EQ(fake.connectCalls().size(), 1u);
    EXPECT_EQ(fake.connectCalls()[0].host, "zeze.local");
    EXPECT_EQ(fake.connectCalls()[0].port, " 8000 ");
    EXPECT_EQ(socket.state(), kStateConnected);
    EXPECT_EQ(socket.localAddress() + ":" + QString::number(socket.localPort()), "127.0.0.1:50123");
    EXPECT_TRUE(socket.send(QByteArray("\xFF\x00", 2)));
    EXPECT_TRUE(socket.send(QByteArray("\x02", 1)));
    EXPECT_EQ(fake.sent(), QByteArray("\xFF\x00\x02", 3));
    EXPECT_EQ(fake.sends().size(), 2u);

    fake.arrive(QByteArray("\xFF\x02", 2));
    fake.fail(kErrorConnectionAborted, "lost");
    EXPECT_EQ(arrived, QByteArray("\xFF\x02", 2));
    EXPECT_EQ(errors, std::vector<int>{kErrorConnectionAborted});

    socket.close();
    EXPECT_EQ(socket.state(), kStateClosed);
    EXPECT_EQ(fake.closeCount(), 1);
}

}  // namespace
}  // namespace zeze
