// The options of one zeze command as parsed from its arguments, or the line that refuses them.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "cli/box_report.h"
#include "cli/box_runner.h"
#include "cli/cli_io.h"
#include "cli/endpoint.h"

namespace zeze::cli {

struct CommandOptions {
    QStringList positional;
    std::vector<Endpoint> hosts;  // from --hosts FILE
    bool hostsGiven = false;
    int jobs = 0;  // 0: all at once
    QString output;
    bool verify = true;
    bool dryRun = false;
    bool ifChanged = false;
    OutputMode mode;
    BoxSettings settings;
    bool help = false;
    QString error;
};

// `arguments` after the command's name; `timing` the defaults that --timeout replaces.
CommandOptions parseCommandOptions(const QString& command, const QStringList& arguments, CliIo& io,
                                   const BoxTiming& timing);

}  // namespace zeze::cli
