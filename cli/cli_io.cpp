// The progress line: carriage return and erase-line, so it never scrolls the results away.
#include "cli/cli_io.h"

namespace zeze::cli {
namespace {

constexpr std::string_view kEraseLine = "\r\x1b[K";

}  // namespace

Progress::Progress(CliIo& io, QString command, int total)
    : m_io(io), m_command(std::move(command)), m_total(total) {
    draw();
}

void Progress::result(const QString& line, bool ok) {
    ++m_done;
    if (!ok)
        ++m_failed;
    if (m_io.progress)
        m_io.err(kEraseLine);
    m_io.out((line + QLatin1Char('\n')).toStdString());
    draw();
}

void Progress::end() {
    if (m_io.progress)
        m_io.err(kEraseLine);
}

void Progress::draw() {
    if (!m_io.progress || m_done == m_total)
        return;
    m_io.err(std::string(kEraseLine) + QStringLiteral("zeze %1: %2 of %3 boxes done, %4 failed")
                                           .arg(m_command)
                                           .arg(m_done)
                                           .arg(m_total)
                                           .arg(m_failed)
                                           .toStdString());
}

}  // namespace zeze::cli
