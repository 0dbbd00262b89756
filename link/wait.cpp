// Wait: a pause on a local event loop, so timer ticks, socket events and clicks go on being handled.
#include "link/wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace zeze {
namespace {

// Set once the application has announced it is quitting; a pause then returns false at once.
bool applicationQuitting() {
    static QPointer<QCoreApplication> watched;
    static bool quitting = false;
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QCoreApplication::closingDown()) {
        return true;
    }
    if (watched != app) {
        watched = app;
        quitting = false;
        QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] { quitting = true; });
    }
    return quitting;
}

}  // namespace

bool Wait(int ms) {
    if (applicationQuitting()) {
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    bool timePassed = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        // Timers round to whole milliseconds; never return before the full time has passed.
        const qint64 left = ms - clock.elapsed();
        if (left > 0) {
            timer.start(static_cast<int>(left));
            return;
        }
        timePassed = true;
        loop.quit();
    });
    timer.start(ms > 0 ? ms : 0);
    // QCoreApplication::exit() ends every running loop, this one included, and makes new ones return
    // at once: the pause then ends early and reports it.
    loop.exec();
    return timePassed;
}

}  // namespace zeze
