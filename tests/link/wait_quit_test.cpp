// Wait when the application quits: every running pause ends early with false, and later pauses do not
// wait at all. Quitting is for good, so this process runs nothing else.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "link/wait.h"

namespace zeze {
namespace {

TEST(WaitWhileQuitting, ExitEndsNestedPausesAndLaterOnesReturnAtOnce) {
    constexpr int kLongMs = 10000;
    bool innerResult = true;
    bool innerReturned = false;
    QTimer::singleShot(10, [&] {
        innerResult = Wait(kLongMs);
        innerReturned = true;
    });
    QTimer::singleShot(50, [] { QCoreApplication::exit(0); });
    QElapsedTimer clock;
    clock.start();
    const bool outerResult = Wait(kLongMs);

    EXPECT_TRUE(innerReturned);
    EXPECT_FALSE(innerResult);
    EXPECT_FALSE(outerResult);
    EXPECT_LT(clock.elapsed(), kLongMs);

    clock.restart();
    EXPECT_FALSE(Wait(kLongMs));
    EXPECT_LT(clock.elapsed(), kLongMs);

    // A handler of aboutToQuit runs after the main loop has ended; a pause there does not wait either.
    bool resultWhileQuitting = true;
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&] { resultWhileQuitting = Wait(kLongMs); });
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    clock.restart();
    QCoreApplication::exec();
    EXPECT_FALSE(resultWhileQuitting);
    EXPECT_FALSE(Wait(kLongMs));
    EXPECT_LT(clock.elapsed(), kLongMs);
}

}  // namespace
}  // namespace zeze
