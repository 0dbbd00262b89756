// Zeze GPI Programmer: opening the window is starting the program, closing it ends it.
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/frm_main.h"
#include "app/start_args.h"
#include "version.h"

namespace {

constexpr char kUsage[] = "Usage: zeze-gpi-programmer [OPTIONS] [HOST[:PORT]]\n";
constexpr char kHelp[] =
    "\n"
    "Opens the Zeze GPI Programmer window, which connects to one Zeze network\n"
    "trigger box over TCP, reads its whole programming into a sheet, lets you edit\n"
    "it and writes it back.\n"
    "\n"
    "Arguments:\n"
    "  HOST[:PORT]    connect to this box at start (port 8000 when none is given;\n"
    "                 [::1]:8000 for an IPv6 address)\n"
    "\n"
    "Options:\n"
    "  -h, --help     this help\n"
    "  -v, --version  the program version\n"
    "\n"
    "Qt's own options (-platform NAME, -display DISPLAY, ...) are handed to Qt.\n";

// The command line is read before QApplication exists: it aborts without a display, and --help,
// --version and a refusal must work in any terminal. Qt's own options are left in argv for Qt.
std::optional<int> answeredWithoutWindow(const zeze::StartArgs& args) {
    switch (args.action) {
        case zeze::StartArgs::Action::Help:
            std::fputs(kUsage, stdout);
            std::fputs(kHelp, stdout);
            return 0;
        case zeze::StartArgs::Action::Version:
            std::printf("zeze-gpi-programmer %s\n", zeze::kVersionText);
            return 0;
        case zeze::StartArgs::Action::Refuse:
            std::fputs(kUsage, stderr);
            std::fprintf(stderr, "zeze-gpi-programmer: %s\n", args.error.c_str());
            return 2;
        case zeze::StartArgs::Action::Run:
            break;
    }
    return std::nullopt;
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
    const zeze::StartArgs args = zeze::readStartArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto status = answeredWithoutWindow(args))
        return *status;
    QApplication app(argc, argv);
    // Lets a Wayland compositor match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(ZEZE_APP_ID));
    zeze::FrmMain window;
    window.show();
    // The icon is drawn after the window's first turn of the event loop, so it costs the opening nothing.
    QTimer::singleShot(0, &window,
                       [] { QTimer::singleShot(0, [] { QApplication::setWindowIcon(appIcon()); }); });
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
    return app.exec();
}
