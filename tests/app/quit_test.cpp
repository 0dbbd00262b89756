// Closing the window while a download pauses ends the program at once: the pause gives way and the
// click handler returns. Quitting ends every event loop of the process for good, so it runs on its own.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "window_fixture.h"

namespace zeze::apptest {
namespace {

TEST(Quit, ClosingTheWindowDuringTheTransferPauseEndsTheProgram) {
    auto socket = std::make_unique<FakeSocket>();
    FakeSocket* fake = socket.get();
    fake->setState(kStateConnected);
    FrmMain window(std::move(socket));
    window.show();
    bool clickReturned = false;
    QTimer::singleShot(0, &window, [&] {
        QTest::mouseClick(control<QPushButton>(window, QStringLiteral("cmd_Download")), Qt::LeftButton);
        clickReturned = true;
    });
    QTimer::singleShot(300, &window, [&] { window.close(); });
    QTimer::singleShot(20000, [] { QCoreApplication::exit(1); });  // in case closing does not quit

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(clickReturned);
    EXPECT_LT(clock.elapsed(), 3188);
    EXPECT_EQ(fake->sends().size(), 1u);
}

}  // namespace
}  // namespace zeze::apptest
