#include "app/start_up.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>

#include "app/frm_main.h"

namespace zeze {
namespace {

// Drawn here from the compiled-in SVG rather than left to Qt's SVG icon plugin, which is loaded at
// run time and so would be missing from the package's computed dependencies.
QIcon appIcon() {
    QSvgRenderer svg(QStringLiteral(":/icons/app.svg"));
    QIcon icon;
    if (!svg.isValid()) {
        return icon;
    }
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        svg.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

void openWindow(FrmMain& window, const StartArgs& args) {
    window.show();
    QTimer::singleShot(0, &window,
                       [] { QTimer::singleShot(0, [] { QApplication::setWindowIcon(appIcon()); }); });
    if (args.file) {
        QTimer::singleShot(0, &window, [&window, &args] { window.openFile(*args.file); });
    }
    if (args.host) {
        QTimer::singleShot(0, &window, [&window, &args] { window.connectAtStart(*args.host, args.port); });
    }
    // The sheet's full width is known only once its widgets, polished on show, have laid themselves
    // out (a chain of posted layout requests): open at the window's preferred size then, within the
    // screen.
    QTimer::singleShot(0, &window, [&window] {
        for (int pass = 0; pass < 3; ++pass)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QSize available = window.screen()->availableGeometry().size();
        window.resize(window.sizeHint().boundedTo(available));
    });
}

}  // namespace zeze
