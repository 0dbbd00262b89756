// Zeze GPI Programmer: opening the window is starting the program, closing it ends it.
#include <QApplication>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/frm_main.h"
#include "app/start_args.h"
#include "app/start_up.h"
#include "version.h"

namespace {

constexpr char kUsage[] = "Usage: zeze-gpi-programmer [OPTIONS] [FILE] [HOST[:PORT]]\n";
constexpr char kHelp[] =
    "\n"
    "Opens the Zeze GPI Programmer window, which connects to one Zeze network\n"
    "trigger box over TCP, reads its whole programming into a sheet, lets you edit\n"
    "it and writes it back.\n"
    "\n"
    "Arguments:\n"
    "  FILE           open this programming file (JSON or .bin) at start; an\n"
    "                 argument is a file when it contains '/', ends in .json or\n"
    "                 .bin, or names an existing file\n"
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

}  // namespace

int main(int argc, char** argv) {
    const zeze::StartArgs args = zeze::readStartArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto status = answeredWithoutWindow(args))
        return *status;
    QApplication app(argc, argv);
    // Lets a Wayland compositor match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(ZEZE_APP_ID));
    zeze::FrmMain window;
    zeze::openWindow(window, args);
    return app.exec();
}
