// What every zeze command shares: its name and options, the refusal and failure lines with their exit
// statuses, the boxes it was given, and reading a programming file.
#pragma once

#include <QString>
#include <optional>

#include "cli/command_options.h"
#include "progfile/program_file.h"

namespace zeze::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // a box failed, or differs from the file or plan
inline constexpr int kExitRefused = 2;  // bad arguments, a bad or unfitting file, a local write failure

// Descriptors kept free for the standard streams, the event loop and the files being written.
inline constexpr long kReservedDescriptors = 32;

struct Command {
    CliIo& io;
    QString name;
    CommandOptions options;

    // "zeze: send: LINE" on standard error, and the status to exit with.
    int refuse(const QString& line) const;
    int failed(const QString& line) const;
    // The --hosts list and then `texts`, each box once; false with `error` for the first bad text or
    // when there is no box.
    bool collectHosts(const QStringList& texts, std::vector<Endpoint>& hosts, QString& error) const;
    // --jobs for `boxes` boxes, lowered to what the open-file limit allows, which is then said in one
    // line on standard error.
    int jobsFor(std::size_t boxes) const;
    // The status of a many-box command after its summary: 1 when a box failed or differs.
    int status(const BoxReport& report) const;
};

struct LoadedProgram {
    std::optional<ProgramFile> file;
    QString error;  // "plan.json: pin 7 command: byte 'G1' is not hex"
};

// A programming file (JSON or record), "-" for standard input, read safely and strictly.
LoadedProgram loadProgram(const QString& path, CliIo& io);

// The programming a box sent, as a file records it.
ProgramFile programOfOutcome(const BoxOutcome& outcome);

// "firmware 2.10, 55 bytes per pin"
QString boxText(const BoxOutcome& outcome);

// What the box holds after a download of `values`, as it is read back: the download puts commands in
// canonical form for the box's pin size.
ConfigValues valuesOnBox(const ConfigValues& values, const BoxOutcome& box);

}  // namespace zeze::cli
