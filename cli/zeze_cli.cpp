// The four commands: argument parsing, reading and writing files, and the per-box result lines.
#include "cli/zeze_cli.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "cli/box_runner.h"
#include "model/numbers.h"
#include "progfile/program_file.h"
#include "protocol/config_diff.h"
#include "protocol/reply_parser.h"
#include "version.h"

namespace zeze::cli {
namespace {

constexpr char kUsage[] =
    "Usage: zeze COMMAND [OPTIONS] ...\n"
    "\n"
    "Back up, restore, compare and program Zeze boxes over TCP.\n"
    "\n"
    "Commands:\n"
    "  info HOST[:PORT]...        firmware version and pin size of each box\n"
    "  get HOST[:PORT] [-o FILE]  read a box's programming into FILE (standard output when absent)\n"
    "  send HOST[:PORT]... FILE   program each box with FILE and read it back\n"
    "  diff A B                   the fields in which A and B differ, each a box or a file\n"
    "\n"
    "HOST[:PORT] is a box's address, port 8000 when none is given ([::1]:8000 for IPv6).\n"
    "FILE is a JSON programming document, or the exact record when its name ends in .bin.\n"
    "\n"
    "Options:\n"
    "  -h, --help   this help; 'zeze COMMAND --help' for a command's own\n"
    "  --version    the program version\n"
    "\n"
    "Exit status: 0 success; 1 a box failed, or diff found differences; 2 nothing was done\n"
    "(bad arguments or a bad file).\n";

constexpr char kManyBoxOptions[] =
    "  --hosts FILE  more boxes, one HOST[:PORT] per line ('#' starts a comment line)\n"
    "  --jobs N      talk to at most N boxes at a time (default: all at once)\n"
    "  -h, --help    this help\n";

constexpr char kInfoHelp[] =
    "Usage: zeze info [--jobs N] [--hosts FILE] HOST[:PORT]...\n"
    "\n"
    "Asks each box for its firmware version and prints it with the box's pin size (30 or 55 command\n"
    "bytes per pin), one line per box, then a summary.\n"
    "\n";

constexpr char kGetHelp[] =
    "Usage: zeze get [-o FILE] HOST[:PORT]\n"
    "\n"
    "Reads the box's programming and writes it as a JSON document to FILE, or to standard output.\n"
    "A FILE whose name ends in .bin receives the exact record instead: FF 01 00 and the record as the\n"
    "box sends it, 848 bytes for 30-byte pins, 1448 for 55.\n"
    "\n"
    "  -o, --output FILE  where to write (default: standard output)\n"
    "  -h, --help         this help\n";

constexpr char kSendHelp[] =
    "Usage: zeze send [--no-verify] [--jobs N] [--hosts FILE] HOST[:PORT]... FILE\n"
    "\n"
    "Programs each box with FILE (JSON or .bin). Every box is first asked for its pin size: when FILE\n"
    "does not fit a box, or holds a value no download can carry, nothing is sent to any box. After the\n"
    "download each box gets its transfer pause (3.2 s for 30-byte pins, 5.6 s for 55), is read back and\n"
    "compared with FILE. One line per box, then a summary.\n"
    "\n"
    "  --no-verify   do not read the boxes back\n";

constexpr char kDiffHelp[] =
    "Usage: zeze diff A B\n"
    "\n"
    "A and B are each a programming file or a box's HOST[:PORT] (an existing file is taken as a file).\n"
    "Prints the fields that differ, one per line, A's value first:\n"
    "  pin 7 command: 20 01 21 -> 20 01 22\n"
    "  serial port 2 speed: 38400 -> 9600\n"
    "Exit status 0 when they are the same, 1 when they differ, 2 on trouble.\n"
    "\n"
    "  -h, --help    this help\n";

struct Command {
    CliIo& io;
    QString name;
    BoxTiming timing;

    int refuse(const QString& line) const {
        io.err(QStringLiteral("zeze: %1: %2\n").arg(name, line).toStdString());
        return kExitRefused;
    }
    int failed(const QString& line) const {
        io.err(QStringLiteral("zeze: %1: %2\n").arg(name, line).toStdString());
        return kExitFailed;
    }
};

QString firmwareText(std::uint16_t version) {
    return QString::fromStdString(
        formatFirmware(static_cast<std::uint8_t>(version >> 8), static_cast<std::uint8_t>(version & 0xFF)));
}

QString boxText(const BoxOutcome& outcome) {
    return QStringLiteral("firmware %1, %2 bytes per pin")
        .arg(firmwareText(outcome.firmwareVersion))
        .arg(outcome.msgLength);
}

QString failedLine(const Endpoint& endpoint, const BoxOutcome& outcome) {
    return QStringLiteral("%1: failed: %2").arg(endpoint.text(), outcome.error);
}

struct Loaded {
    std::optional<ProgramFile> file;
    QString error;
};

Loaded loadProgram(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("%1: %2").arg(path, file.errorString())};
    const QByteArray bytes = file.readAll();
    const ProgramReadResult result = readProgram(std::span<const Byte>(
        reinterpret_cast<const Byte*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
    if (!result.file)
        return {std::nullopt, QStringLiteral("%1: %2").arg(path, QString::fromStdString(result.error))};
    return {result.file, {}};
}

ProgramFile programOfOutcome(const BoxOutcome& outcome) {
    ProgramFile file = *programFromRecord(outcome.record).file;  // a whole record, as the session checked
    file.firmwareVersion = outcome.firmwareVersion;
    return file;
}

// The parsed options of one command, or the line that refuses them.
struct Parsed {
    QStringList positional;
    std::vector<Endpoint> hosts;  // --hosts FILE, when the command takes it
    int jobs = 0;
    QString output;
    bool verify = true;
    bool help = false;
    QString error;
};

Parsed parseOptions(const QString& command, const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption hosts(QStringLiteral("hosts"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption jobs(QStringLiteral("jobs"), QString(), QStringLiteral("N"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("FILE"));
    const QCommandLineOption noVerify(QStringLiteral("no-verify"));
    parser.addOption(help);
    if (command == QLatin1String("info") || command == QLatin1String("send")) {
        parser.addOption(hosts);
        parser.addOption(jobs);
    }
    if (command == QLatin1String("get"))
        parser.addOption(output);
    if (command == QLatin1String("send"))
        parser.addOption(noVerify);

    Parsed parsed;
    if (!parser.parse(QStringList{QStringLiteral("zeze")} + arguments)) {
        parsed.error = parser.errorText();
        return parsed;
    }
    parsed.help = parser.isSet(help);
    parsed.positional = parser.positionalArguments();
    if (parser.optionNames().contains(QLatin1String("jobs"))) {
        const auto value = parseWholeNumber(parser.value(jobs).toStdString(), 100000);
        if (!value || *value == 0) {
            parsed.error =
                QStringLiteral("--jobs wants a whole number of at least 1, not '%1'").arg(parser.value(jobs));
            return parsed;
        }
        parsed.jobs = static_cast<int>(*value);
    }
    if (parser.optionNames().contains(QLatin1String("hosts"))) {
        const QString path = parser.value(hosts);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            parsed.error = QStringLiteral("%1: %2").arg(path, file.errorString());
            return parsed;
        }
        const EndpointListResult list = parseHostList(QString::fromUtf8(file.readAll()));
        if (!list.error.isEmpty()) {
            parsed.error = QStringLiteral("%1 %2").arg(path, list.error);
            return parsed;
        }
        parsed.hosts = list.endpoints;
    }
    if (parser.optionNames().contains(QLatin1String("o")))
        parsed.output = parser.value(output);
    if (parser.optionNames().contains(QLatin1String("no-verify")))
        parsed.verify = false;
    return parsed;
}

// The HOST[:PORT] arguments after the --hosts list; the first bad one refuses.
bool addHosts(const QStringList& texts, std::vector<Endpoint>& hosts, QString& error) {
    for (const QString& text : texts) {
        const EndpointResult parsed = parseEndpoint(text);
        if (!parsed.error.isEmpty()) {
            error = parsed.error;
            return false;
        }
        hosts.push_back(parsed.endpoint);
    }
    return true;
}

int finishMany(const Command& command, Progress& progress, std::size_t total, const QString& doneWord) {
    progress.end();
    command.io.out(QStringLiteral("%1 of %2 boxes %3, %4 failed\n")
                       .arg(total - static_cast<std::size_t>(progress.failed()))
                       .arg(total)
                       .arg(doneWord)
                       .arg(progress.failed())
                       .toStdString());
    if (progress.failed() > 0)
        return command.failed(QStringLiteral("%1 of %2 boxes failed").arg(progress.failed()).arg(total));
    return kExitOk;
}

int runInfo(const Command& command, Parsed& parsed) {
    QString error;
    if (!addHosts(parsed.positional, parsed.hosts, error))
        return command.refuse(error);
    if (parsed.hosts.empty())
        return command.refuse(QStringLiteral("no box given; see zeze info --help"));
    Progress progress(command.io, command.name, static_cast<int>(parsed.hosts.size()));
    runBoxes(parsed.hosts, BoxRequest{BoxJob::Info, command.timing, {}, true}, parsed.jobs,
             [&](std::size_t index, const BoxOutcome& outcome) {
                 const Endpoint& endpoint = parsed.hosts[index];
                 progress.result(outcome.ok ? QStringLiteral("%1: %2").arg(endpoint.text(), boxText(outcome))
                                            : failedLine(endpoint, outcome),
                                 outcome.ok);
             });
    return finishMany(command, progress, parsed.hosts.size(), QStringLiteral("answered"));
}

bool isRecordName(const QString& path) {
    return path.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive);
}

int runGet(const Command& command, const Parsed& parsed) {
    if (parsed.positional.size() != 1)
        return command.refuse(QStringLiteral("one box wanted; see zeze get --help"));
    const EndpointResult host = parseEndpoint(parsed.positional.first());
    if (!host.error.isEmpty())
        return command.refuse(host.error);
    const BoxOutcome outcome =
        runBoxes({host.endpoint}, BoxRequest{BoxJob::Read, command.timing, {}, true}, 1).front();
    if (!outcome.ok)
        return command.failed(QStringLiteral("%1: %2").arg(host.endpoint.text(), outcome.error));

    QByteArray bytes;
    if (isRecordName(parsed.output)) {
        bytes = QByteArray(reinterpret_cast<const char*>(outcome.record.data()),
                           static_cast<qsizetype>(outcome.record.size()));
    } else {
        bytes = QByteArray::fromStdString(programToJson(programOfOutcome(outcome)));
    }
    if (parsed.output.isEmpty()) {
        command.io.out(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        return kExitOk;
    }
    // Written whole or not at all: a cut backup would be worse than none.
    QSaveFile file(parsed.output);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return command.failed(QStringLiteral("%1: %2").arg(parsed.output, file.errorString()));
    return kExitOk;
}

int runSend(const Command& command, Parsed& parsed) {
    if (parsed.positional.isEmpty())
        return command.refuse(QStringLiteral("no file given; see zeze send --help"));
    const QString path = parsed.positional.takeLast();
    QString error;
    if (!addHosts(parsed.positional, parsed.hosts, error))
        return command.refuse(error);
    if (parsed.hosts.empty())
        return command.refuse(QStringLiteral("no box given; see zeze send --help"));
    const Loaded loaded = loadProgram(path);
    if (!loaded.file)
        return command.refuse(loaded.error + QStringLiteral("; nothing was sent"));
    // The download's own check, once for all boxes: the values it refuses do not depend on the box.
    Sheet check;
    applyConfigValues(check, loaded.file->values);
    const EncodeResult encoded = BuildDownload(check);
    if (!encoded.ok())
        return command.refuse(QStringLiteral("%1: %2").arg(path, QString::fromStdString(encoded.error)));

    // Every box's pin size first, so that a file too long for one box goes to none.
    const std::size_t total = parsed.hosts.size();
    Progress progress(command.io, command.name, static_cast<int>(total));
    const std::vector<BoxOutcome> probes =
        runBoxes(parsed.hosts, BoxRequest{BoxJob::Info, command.timing, {}, true}, parsed.jobs,
                 [&](std::size_t index, const BoxOutcome& outcome) {
                     if (!outcome.ok)
                         progress.result(failedLine(parsed.hosts[index], outcome), false);
                 });
    std::vector<Endpoint> reachable;
    for (std::size_t i = 0; i < total; ++i) {
        if (!probes[i].ok)
            continue;
        if (const auto refusal = fitRefusal(loaded.file->values, probes[i].msgLength)) {
            progress.end();
            return command.refuse(
                QStringLiteral("%1 does not fit %2 (%3): %4; nothing was sent")
                    .arg(path, parsed.hosts[i].text(), boxText(probes[i]), QString::fromStdString(*refusal)));
        }
        reachable.push_back(parsed.hosts[i]);
    }

    runBoxes(reachable, BoxRequest{BoxJob::Program, command.timing, loaded.file->values, parsed.verify},
             parsed.jobs, [&](std::size_t index, const BoxOutcome& outcome) {
                 const Endpoint& endpoint = reachable[index];
                 if (!outcome.ok) {
                     progress.result(failedLine(endpoint, outcome), false);
                     return;
                 }
                 progress.result(QStringLiteral("%1: programmed%2 (%3)")
                                     .arg(endpoint.text(),
                                          outcome.verified ? QStringLiteral(" and verified")
                                                           : QStringLiteral(", not read back"),
                                          boxText(outcome)),
                                 true);
             });
    return finishMany(command, progress, total, QStringLiteral("programmed"));
}

int runDiff(const Command& command, const Parsed& parsed) {
    if (parsed.positional.size() != 2)
        return command.refuse(QStringLiteral("two boxes or files wanted; see zeze diff --help"));
    std::array<std::optional<ProgramFile>, 2> sides;
    std::vector<Endpoint> boxes;
    std::vector<int> boxSide;
    for (int side = 0; side < 2; ++side) {
        const QString& argument = parsed.positional[side];
        if (QFileInfo(argument).isFile()) {
            const Loaded loaded = loadProgram(argument);
            if (!loaded.file)
                return command.refuse(loaded.error);
            sides[side] = loaded.file;
            continue;
        }
        const EndpointResult host = parseEndpoint(argument);
        if (!host.error.isEmpty())
            return command.refuse(QStringLiteral("%1 is no file, and %2").arg(argument, host.error));
        boxes.push_back(host.endpoint);
        boxSide.push_back(side);
    }
    const std::vector<BoxOutcome> outcomes =
        runBoxes(boxes, BoxRequest{BoxJob::Read, command.timing, {}, true}, 0);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!outcomes[i].ok)
            return command.refuse(QStringLiteral("%1: %2").arg(boxes[i].text(), outcomes[i].error));
        sides[boxSide[i]] = programOfOutcome(outcomes[i]);
    }
    const std::vector<std::string> lines = describeDifferences(sides[0]->values, sides[1]->values);
    for (const std::string& line : lines)
        command.io.out(line + "\n");
    return lines.empty() ? kExitOk : kExitFailed;
}

}  // namespace

int runZeze(const QStringList& arguments, CliIo& io, const BoxTiming& timing) {
    if (arguments.isEmpty()) {
        io.err(kUsage);
        return kExitRefused;
    }
    const QString& first = arguments.first();
    if (first == QLatin1String("-h") || first == QLatin1String("--help") || first == QLatin1String("help")) {
        io.out(kUsage);
        return kExitOk;
    }
    if (first == QLatin1String("--version")) {
        io.out("zeze " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
               std::to_string(kVersionRevision) + "\n");
        return kExitOk;
    }
    struct Entry {
        const char* name;
        const char* help;
    };
    static constexpr Entry kCommands[] = {
        {"info", kInfoHelp}, {"get", kGetHelp}, {"send", kSendHelp}, {"diff", kDiffHelp}};
    const Entry* entry = std::find_if(std::begin(kCommands), std::end(kCommands),
                                      [&](const Entry& e) { return first == QLatin1String(e.name); });
    if (entry == std::end(kCommands)) {
        io.err(
            QStringLiteral("zeze: '%1' is not a zeze command; see zeze --help\n").arg(first).toStdString());
        return kExitRefused;
    }
    const Command command{io, first, timing};
    Parsed parsed = parseOptions(first, arguments.mid(1));
    if (!parsed.error.isEmpty())
        return command.refuse(parsed.error);
    if (parsed.help) {
        const bool manyBoxes = first == QLatin1String("info") || first == QLatin1String("send");
        io.out(std::string(entry->help) + (manyBoxes ? kManyBoxOptions : ""));
        return kExitOk;
    }
    if (first == QLatin1String("info"))
        return runInfo(command, parsed);
    if (first == QLatin1String("get"))
        return runGet(command, parsed);
    if (first == QLatin1String("send"))
        return runSend(command, parsed);
    return runDiff(command, parsed);
}

}  // namespace zeze::cli
