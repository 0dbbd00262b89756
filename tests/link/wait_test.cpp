// Wait keeps the event loop turning: it lasts at least its time, timers tick inside it, and pauses nest.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "link/wait.h"

namespace zeze {
namespace {

TEST(Wait, LastsAtLeastItsTimeWhileTimersKeepTicking) {
    QTimer ticker;
    ticker.setInterval(10);
    int ticks = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start();

    for (const int ms : {0, 1, 7, 120}) {
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(Wait(ms));
        EXPECT_GE(clock.elapsed(), ms);
    }
    // 120 ms of 10 ms ticks: a pause that blocked the loop would have let at most one through.
    EXPECT_GE(ticks, 5);
}

TEST(Wait, NestedPausesStackAndBothReturnTrue) {
    QElapsedTimer clock;
    std::vector<std::pair<const char*, qint64>> order;
    bool innerResult = false;
    QTimer::singleShot(10, [&] {
        innerResult = Wait(150);
        order.emplace_back("inner", clock.elapsed());
    });
    clock.start();
    const bool outerResult = Wait(50);
    order.emplace_back("outer", clock.elapsed());

    EXPECT_TRUE(innerResult);
    EXPECT_TRUE(outerResult);
    ASSERT_EQ(order.size(), 2u);
    // The outer pause ended during the inner one but could only return after it.
    EXPECT_STREQ(order[0].first, "inner");
    EXPECT_STREQ(order[1].first, "outer");
    EXPECT_GE(order[0].second, 160);
    EXPECT_GE(order[1].second, 160);
}

}  // namespace
}  // namespace zeze
