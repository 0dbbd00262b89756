// zeze: the command-line programmer for many boxes. Everything but the standard streams lives in
// zeze_cli, which the tests drive directly.
#include <unistd.h>
#include <QCoreApplication>
#include <cstdio>

#include "cli/zeze_cli.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zeze"));
    zeze::cli::CliIo io{
        [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); },
        [](std::string_view text) {
            std::fwrite(text.data(), 1, text.size(), stderr);
            std::fflush(stderr);
        },
        isatty(fileno(stderr)) != 0,
    };
    const int status = zeze::cli::runZeze(app.arguments().mid(1), io);
    std::fflush(stdout);
    return status;
}
