// Zeze GPI Programmer: opening the window is starting the program, closing it ends it.
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/frm_main.h"
#include "version.h"

namespace {

constexpr char kHelp[] =
    "Usage: zeze-gpi-programmer [OPTIONS]\n"
    "\n"
    "Opens the Zeze GPI Programmer window, which connects to one Zeze network\n"
    "trigger box over TCP, reads its whole programming into a sheet, lets you edit\n"
    "it and writes it back.\n"
    "\n"
    "Options:\n"
    "  -h, --help     this help\n"
    "  -v, --version  the program version\n"
    "\n"
    "Qt's own options (-platform NAME, -display DISPLAY, ...) are handed to Qt.\n";

// --help and --version are answered before QApplication exists: it aborts without a display, and
// these must work in any terminal. Every other argument is left to Qt.
bool answeredWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("zeze-gpi-programmer %s\n", zeze::kVersionText);
            return true;
        }
    }
    return false;
}

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

int main(int argc, char** argv) {
    if (answeredWithoutWindow(argc, argv))
        return 0;
    QApplication app(argc, argv);
    // Lets a Wayland compositor match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(ZEZE_APP_ID));
    QApplication::setWindowIcon(appIcon());
    zeze::FrmMain window;
    window.show();
    // The sheet's full width is known only once its widgets, polished on show, have laid themselves
    // out (a chain of posted layout requests): open at the window's preferred size then, within the
    // screen.
    QTimer::singleShot(0, &window, [&window] {
        for (int pass = 0; pass < 3; ++pass)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QSize available = window.screen()->availableGeometry().size();
        window.resize(window.sizeHint().boundedTo(available));
    });
    return app.exec();
}
