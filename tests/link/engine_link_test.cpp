// The engine's adapter to a socket and a timer: messages go out in order and stop at a refusal; a
// wake-up that is due fires at once, one asked for later fires then, and none is ever left armed.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "link/engine_link.h"
#include "support/fake_socket.h"

namespace zeze {
namespace {

using namespace std::chrono_literals;

TEST(EngineLink, SendsInOrderUntilARefusalAndWakesWhenAsked) {
    FakeSocket socket;
    EngineLink link(socket);
    const std::vector<std::vector<std::uint8_t>> messages{{0xFF, 0x00, 0x02}, {0xFF, 0x01, 0x01}};
    EXPECT_FALSE(link.send(messages));  // not connected: nothing goes
    EXPECT_TRUE(socket.sends().empty());
    socket.setState(kStateConnected);
    EXPECT_TRUE(link.send(messages));
    ASSERT_EQ(socket.sends().size(), 2u);
    EXPECT_EQ(socket.sends()[1], QByteArray("\xFF\x01\x01", 3));
    EXPECT_TRUE(link.send({}));

    QSignalSpy woken(&link, &EngineLink::woken);
    link.wakeAt(EngineLink::Clock::now() - 1h);
    EXPECT_TRUE(woken.wait(1000));
    link.wakeAt(EngineLink::Clock::now() + 30ms);
    link.wakeAt(std::nullopt);  // nothing due any more: the wake-up asked for before is off
    EXPECT_FALSE(woken.wait(200));
    const auto asked = EngineLink::Clock::now();
    link.wakeAt(asked + 50ms);
    EXPECT_TRUE(woken.wait(1000));
    EXPECT_GE(EngineLink::Clock::now() - asked, 50ms);
    EXPECT_EQ(woken.count(), 2);
}

}  // namespace
}  // namespace zeze
