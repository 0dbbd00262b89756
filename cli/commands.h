// The four commands of zeze, each given its parsed options; the status to exit with.
#pragma once

#include "cli/command.h"

namespace zeze::cli {

int runInfo(const Command& command);
int runGet(const Command& command);
int runSend(const Command& command);
int runDiff(const Command& command);

// What to tell the report of a box that answered: its firmware and pin size, `result` and `text`.
BoxReportLine boxLine(const Endpoint& endpoint, const BoxOutcome& outcome, const QString& result,
                      const QString& text);
// What to tell the report of a box that failed: `reason`, or the outcome's error when it is empty.
BoxReportLine failedLine(const Endpoint& endpoint, const BoxOutcome& outcome, const QString& reason = {});
// Passes the sessions' phases on to the progress line.
BoxQueue::PhaseChange phasesOf(BoxReport& report);

}  // namespace zeze::cli
