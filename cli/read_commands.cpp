// info, get and diff: the commands that only read boxes.
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/commands.h"
#include "cli/input_file.h"
#include "protocol/config_diff.h"

namespace zeze::cli {
namespace {

bool isRecordName(const QString& path) {
    return path.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive);
}

// An argument of diff names a file when it looks like a path or names something that exists;
// otherwise it is a box.
bool namesFile(const QString& argument) {
    return argument == QLatin1String("-") || argument.contains(QLatin1Char('/')) ||
           argument.endsWith(QLatin1String(".json"), Qt::CaseInsensitive) || isRecordName(argument) ||
           QFileInfo::exists(argument);
}

QByteArray documentOf(const BoxOutcome& outcome, bool record) {
    if (record) {
        return QByteArray(reinterpret_cast<const char*>(outcome.record.data()),
                          static_cast<qsizetype>(outcome.record.size()));
    }
    return QByteArray::fromStdString(programToJson(programOfOutcome(outcome)));
}

int getOne(const Command& command, const Endpoint& endpoint) {
    const QString& output = command.options.output;
    const BoxOutcome outcome = runBoxes({endpoint}, BoxJob::Read, command.options.settings, 1).front();
    if (!outcome.ok)
        return command.failed(QStringLiteral("%1: %2").arg(endpoint.text(), outcome.error));
    const QByteArray bytes = documentOf(outcome, isRecordName(output));
    // Written whole or not at all: a cut backup would be worse than none.
    const QString error = writeOutputFile(output.isEmpty() ? QStringLiteral("-") : output, bytes, command.io);
    return error.isEmpty() ? kExitOk : command.refuse(error);
}

// Each box through `job`: a box that failed is reported as such, and `answered` makes the line of a
// box that answered.
void reportEach(const Command& command, const std::vector<Endpoint>& hosts, BoxJob job, BoxReport& report,
                const std::function<BoxReportLine(const Endpoint&, const BoxOutcome&)>& answered) {
    runBoxes(
        hosts, job, command.options.settings, command.jobsFor(hosts.size()),
        [&](std::size_t index, const BoxOutcome& outcome) {
            report.box(outcome.ok ? answered(hosts[index], outcome) : failedLine(hosts[index], outcome));
        },
        phasesOf(report));
}

// Every box into its own file in `directory`, each written as soon as the box has answered.
int getMany(const Command& command, const std::vector<Endpoint>& hosts, const QString& directory) {
    if (!QDir().mkpath(directory))
        return command.refuse(QStringLiteral("%1: cannot make the directory").arg(directory));
    const QDir dir(directory);
    BoxReport report(command.io, command.options.mode, command.name, hosts.size());
    bool writeFailed = false;
    reportEach(command, hosts, BoxJob::Read, report,
               [&](const Endpoint& endpoint, const BoxOutcome& outcome) {
                   const QString path = dir.filePath(backupFileName(endpoint, QStringLiteral(".json")));
                   const QString error = writeOutputFile(path, documentOf(outcome, false), command.io);
                   if (!error.isEmpty()) {
                       writeFailed = true;
                       return failedLine(endpoint, outcome, error);
                   }
                   BoxReportLine line = boxLine(endpoint, outcome, QStringLiteral("saved"),
                                                QStringLiteral("saved %1 (%2)").arg(path, boxText(outcome)));
                   line.file = path;
                   return line;
               });
    report.summary(QStringLiteral("%1 of %2 boxes saved, %3 failed")
                       .arg(report.count(QStringLiteral("saved")))
                       .arg(hosts.size())
                       .arg(report.failed()));
    // A file that could not be written is this machine's trouble, not a box's: exit status 2.
    if (writeFailed) {
        return command.refuse(QStringLiteral("%1 of %2 boxes failed; not every file was written")
                                  .arg(report.failed())
                                  .arg(report.total()));
    }
    return command.status(report);
}

// Every box against one plan file.
int diffMany(const Command& command, const std::vector<Endpoint>& hosts, const QString& planPath) {
    const LoadedProgram plan = loadProgram(planPath, command.io);
    if (!plan.file)
        return command.refuse(plan.error);
    BoxReport report(command.io, command.options.mode, command.name, hosts.size());
    reportEach(command, hosts, BoxJob::Read, report,
               [&](const Endpoint& endpoint, const BoxOutcome& outcome) {
                   const std::vector<std::string> fields =
                       describeDifferences(plan.file->values, programOfOutcome(outcome).values);
                   if (fields.empty())
                       return boxLine(endpoint, outcome, QStringLiteral("same"),
                                      QStringLiteral("same as %1").arg(planPath));
                   BoxReportLine line = boxLine(endpoint, outcome, QStringLiteral("differs"),
                                                QStringLiteral("differs in %1 field%2 from ")
                                                        .arg(fields.size())
                                                        .arg(fields.size() == 1 ? "" : "s") +
                                                    planPath);
                   line.differs = true;
                   line.differences = fields;
                   return line;
               });
    report.summary(planPath + QStringLiteral(": %1 of %2 boxes differ, %3 failed")
                                  .arg(report.differing())
                                  .arg(hosts.size())
                                  .arg(report.failed()));
    return command.status(report);
}

}  // namespace

BoxReportLine boxLine(const Endpoint& endpoint, const BoxOutcome& outcome, const QString& result,
                      const QString& text) {
    BoxReportLine line;
    line.endpoint = endpoint;
    line.result = result;
    line.firmwareVersion = outcome.firmwareVersion;
    line.msgLength = outcome.msgLength;
    line.text = text;
    return line;
}

BoxReportLine failedLine(const Endpoint& endpoint, const BoxOutcome& outcome, const QString& reason) {
    BoxReportLine line = boxLine(endpoint, outcome, QStringLiteral("failed"), QString());
    line.failed = true;
    line.error = reason.isEmpty() ? outcome.error : reason;
    line.text = QStringLiteral("failed: ") + line.error;
    return line;
}

BoxQueue::PhaseChange phasesOf(BoxReport& report) {
    return [&report](std::size_t box, BoxPhase phase, std::chrono::steady_clock::time_point pauseEnds) {
        report.phase(box, phase, pauseEnds);
    };
}

int runInfo(const Command& command) {
    std::vector<Endpoint> hosts;
    QString error;
    if (!command.collectHosts(command.options.positional, hosts, error))
        return command.refuse(error);
    BoxReport report(command.io, command.options.mode, command.name, hosts.size());
    reportEach(command, hosts, BoxJob::Info, report, [](const Endpoint& endpoint, const BoxOutcome& outcome) {
        return boxLine(endpoint, outcome, QStringLiteral("answered"), boxText(outcome));
    });
    report.summary(QStringLiteral("%1 of %2 boxes answered, %3 failed")
                       .arg(report.count(QStringLiteral("answered")))
                       .arg(hosts.size())
                       .arg(report.failed()));
    return command.status(report);
}

int runGet(const Command& command) {
    std::vector<Endpoint> hosts;
    QString error;
    if (!command.collectHosts(command.options.positional, hosts, error))
        return command.refuse(error);
    const QString& output = command.options.output;
    const bool toDirectory = output.endsWith(QLatin1Char('/')) || QFileInfo(output).isDir();
    if (toDirectory)
        return getMany(command, hosts, output);
    if (hosts.size() > 1)
        return command.refuse(
            QStringLiteral("%1 boxes want -o DIR/, a file for each; see zeze get --help").arg(hosts.size()));
    return getOne(command, hosts.front());
}

int runDiff(const Command& command) {
    const QStringList& arguments = command.options.positional;
    if (command.options.hostsGiven || arguments.size() > 2) {
        if (arguments.isEmpty())
            return command.refuse(QStringLiteral("no plan file given; see zeze diff --help"));
        std::vector<Endpoint> hosts;
        QString error;
        if (!command.collectHosts(arguments.mid(0, arguments.size() - 1), hosts, error))
            return command.refuse(error);
        return diffMany(command, hosts, arguments.last());
    }
    if (arguments.size() != 2)
        return command.refuse(QStringLiteral("two boxes or files wanted; see zeze diff --help"));
    std::array<std::optional<ProgramFile>, 2> sides;
    std::vector<Endpoint> boxes;
    std::vector<int> boxSide;
    for (int side = 0; side < 2; ++side) {
        const QString& argument = arguments[side];
        if (namesFile(argument)) {
            const LoadedProgram loaded = loadProgram(argument, command.io);
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
    const std::vector<BoxOutcome> outcomes = runBoxes(boxes, BoxJob::Read, command.options.settings, 0);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!outcomes[i].ok)
            return command.failed(QStringLiteral("%1: %2").arg(boxes[i].text(), outcomes[i].error));
        sides[boxSide[i]] = programOfOutcome(outcomes[i]);
    }
    const std::vector<std::string> lines = describeDifferences(sides[0]->values, sides[1]->values);
    if (command.options.mode.json) {
        QJsonArray fields;
        for (const std::string& line : lines)
            fields.append(QString::fromStdString(line));
        const QJsonObject object{
            {QStringLiteral("a"), arguments[0]},
            {QStringLiteral("b"), arguments[1]},
            {QStringLiteral("result"), lines.empty() ? QStringLiteral("same") : QStringLiteral("differs")},
            {QStringLiteral("differences"), fields}};
        command.io.out(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n");
    } else {
        for (const std::string& line : lines)
            command.io.out(line + "\n");
    }
    return lines.empty() ? kExitOk : kExitFailed;
}

}  // namespace zeze::cli
