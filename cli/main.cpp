// zeze: the command-line programmer for many boxes. Everything but the standard streams and the
// process's open-file limit lives in zeze_cli, which the tests drive directly.
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>

#include "cli/zeze_cli.h"
#include "link/open_files.h"

namespace {

// Each result line is passed on as it is written: a pipe or a file sees every finished box at once,
// and a run stopped half-way leaves the lines of the boxes it finished.
void writeAll(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

std::optional<QByteArray> readStandardInput(qint64 limit) {
    QByteArray bytes;
    char buffer[65536];
    while (bytes.size() < limit) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const long openFileLimit = zeze::raiseOpenFileLimit();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zeze"));
    zeze::cli::CliIo io;
    io.out = [](std::string_view text) { writeAll(stdout, text); };
    io.err = [](std::string_view text) { writeAll(stderr, text); };
    io.progress = isatty(fileno(stderr)) != 0;
    io.in = &readStandardInput;
    io.openFileLimit = openFileLimit;
    return zeze::cli::runZeze(app.arguments().mid(1), io);
}
