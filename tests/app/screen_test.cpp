// The window as the program opens it on a screen of the operator's size: the offscreen platform's screen is
// set for each run (CMakeLists.txt: 1600x1000 at scales 1 and 2, 1024x600), less a title bar. It fits, the
// sheet scrolls down only, the commands are readable, and maximised the sheet takes the room first.
#include <gtest/gtest.h>

#include <algorithm>

#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "app/start_up.h"
#include "window_fixture.h"

namespace zeze::apptest {
namespace {

constexpr int kTitleBar = 40;

int bytesShown(QComboBox* box) {
    const QFontMetrics fm = box->fontMetrics();
    int bytes = 0;
    while (fm.horizontalAdvance(QStringLiteral("00 ").repeated(bytes + 1).chopped(1)) + 4 <= box->lineEdit()->width())
        ++bytes;
    return bytes;
}

int fewestBytesShown(const FrmMain& window) {
    int fewest = 1000;
    for (int row = 0; row < kPinCount; ++row)
        fewest = std::min(fewest, bytesShown(control<QComboBox>(window, indexedName("cbo_Command", row))));
    return fewest;
}

// Pin rows whose label and command box both lie wholly inside the sheet's view.
int rowsShown(const FrmMain& window) {
    auto* scroll = control<QScrollArea>(window, QStringLiteral("sheetScrollArea"));
    int shown = 0;
    for (int row = 0; row < kPinCount; ++row) {
        bool whole = true;
        for (const char* name : {"lbl_GPI_Pin", "cbo_Command", "chk_Send_2_Port4"}) {
            QWidget* widget = control<QWidget>(window, indexedName(name, row));
            whole = whole && scroll->viewport()->rect().contains(
                                 QRect(widget->mapTo(scroll->viewport(), QPoint(0, 0)), widget->size()));
        }
        shown += whole ? 1 : 0;
    }
    return shown;
}

TEST(Screen, OpensReadableWithinTheScreenAndMaximisedGivesTheSheetTheRoom) {
    FrmMain window(std::make_unique<FakeSocket>());
    const QSize screen = window.screen()->availableGeometry().size() - QSize(0, kTitleBar);
    const bool large = screen.width() >= 1600;
    auto* scroll = control<QScrollArea>(window, QStringLiteral("sheetScrollArea"));
    const StartArgs args;
    openWindow(window, args);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(0);
    window.resize(window.size().boundedTo(screen));  // the window manager keeps it below the title bar
    QTest::qWait(0);
    EXPECT_LE(window.minimumSizeHint().width(), screen.width());
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    if (large) {
        EXPECT_GE(fewestBytesShown(window), 16);
    }

    window.resize(screen);
    QTest::qWait(0);
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    // Scrolled down to the pins.
    QWidget* firstPin = control<QWidget>(window, indexedName("lbl_Invert", 0));
    scroll->verticalScrollBar()->setValue(firstPin->mapTo(scroll->widget(), QPoint(0, 0)).y());
    if (large) {
        EXPECT_EQ(rowsShown(window), kPinCount);
    } else {
        EXPECT_GE(rowsShown(window), 12);
    }
}

}  // namespace
}  // namespace zeze::apptest
