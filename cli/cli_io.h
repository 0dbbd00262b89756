// Where zeze reads and writes: standard input for a file named '-', standard output for results and
// documents, standard error for the failure line and, on a terminal, a progress line. Tests supply
// their own.
#pragma once

#include <QByteArray>
#include <functional>
#include <optional>
#include <string_view>

namespace zeze::cli {

struct CliIo {
    std::function<void(std::string_view)> out;  // each call a whole line or document, passed on at once
    std::function<void(std::string_view)> err;
    bool progress = false;  // standard error is a terminal: keep a progress line there
    // Standard input, read to its end but at most `limit` bytes; nothing when it cannot be read.
    std::function<std::optional<QByteArray>(qint64 limit)> in;
    bool inRead = false;     // standard input has been read for one argument, and is at its end
    long openFileLimit = 0;  // descriptors the process may hold; 0 when unknown or unlimited
};

}  // namespace zeze::cli
