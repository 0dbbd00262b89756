// The zeze command line: info, get, send and diff over many boxes, help and --version. main() only
// hands the arguments and the standard streams to runZeze().
#pragma once

#include <QStringList>

#include "cli/box_session.h"
#include "cli/cli_io.h"
#include "cli/command.h"

namespace zeze::cli {

// `arguments` without the program name, e.g. {"send", "127.0.0.1:8000", "plan.json"}.
int runZeze(const QStringList& arguments, CliIo& io, const BoxTiming& timing = {});

}  // namespace zeze::cli
