// Reading the files zeze is given (programming files, hosts files) without trusting them: only
// regular files of at most 1 MB are opened, '-' is standard input, and every refusal is one line.
#pragma once

#include <QByteArray>
#include <QString>

#include "cli/cli_io.h"

namespace zeze::cli {

// A programming file is under 10 KB and a hosts file of a thousand boxes about 20 KB.
inline constexpr qint64 kMaxInputBytes = 1 << 20;

struct InputFile {
    QByteArray bytes;
    QString error;  // "plan.json: no such file"; empty on success
    bool ok() const { return error.isEmpty(); }
};

// `path` "-" reads standard input through `io`, once in a run. Anything but a regular file (a directory, a
// FIFO, a device) is refused after a stat(), before it is opened, so nothing blocks on it or streams without
// end.
InputFile readInputFile(const QString& path, CliIo& io);

// Writes `bytes` to `path` whole or not at all (through a temporary file renamed into place);
// "-" writes to standard output. The refusal line, or empty on success.
QString writeOutputFile(const QString& path, const QByteArray& bytes, const CliIo& io);

}  // namespace zeze::cli
