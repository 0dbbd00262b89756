// The zeze command line: info, get, send and diff over many boxes, --help and --version. main() only
// hands the arguments and the standard streams to runZeze().
#pragma once

#include <QStringList>

#include "cli/box_session.h"
#include "cli/cli_io.h"

namespace zeze::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // a box failed, or diff found differences
inline constexpr int kExitRefused = 2;  // bad arguments, a bad or unfitting file: nothing was sent

// `arguments` without the program name, e.g. {"send", "127.0.0.1:8000", "plan.json"}.
int runZeze(const QStringList& arguments, CliIo& io, const BoxTiming& timing = {});

}  // namespace zeze::cli
