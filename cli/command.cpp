// The shared parts of the commands.
#include "cli/command.h"

#include "cli/input_file.h"

namespace zeze::cli {

int Command::refuse(const QString& line) const {
    io.err(QStringLiteral("zeze: %1: %2\n").arg(name, line).toStdString());
    return kExitRefused;
}

int Command::failed(const QString& line) const {
    io.err(QStringLiteral("zeze: %1: %2\n").arg(name, line).toStdString());
    return kExitFailed;
}

bool Command::collectHosts(const QStringList& texts, std::vector<Endpoint>& hosts, QString& error) const {
    hosts = options.hosts;
    for (const QString& text : texts) {
        const EndpointResult parsed = parseEndpoint(text);
        if (!parsed.error.isEmpty()) {
            error = parsed.error;
            return false;
        }
        hosts.push_back(parsed.endpoint);
    }
    hosts = distinctEndpoints(hosts);
    if (hosts.empty()) {
        error = QStringLiteral("no box given; see zeze %1 --help").arg(name);
        return false;
    }
    return true;
}

int Command::jobsFor(std::size_t boxes) const {
    const std::size_t wanted =
        options.jobs > 0 ? std::min(boxes, static_cast<std::size_t>(options.jobs)) : boxes;
    if (io.openFileLimit <= 0)
        return options.jobs;
    const auto allowed = static_cast<std::size_t>(std::max(1L, io.openFileLimit - kReservedDescriptors));
    if (wanted <= allowed)
        return options.jobs;
    io.err(QStringLiteral("zeze: %1: the open-file limit (%2) allows %3 boxes at a time, not %4; the others "
                          "wait their turn (--jobs N sets how many)\n")
               .arg(name)
               .arg(io.openFileLimit)
               .arg(allowed)
               .arg(wanted)
               .toStdString());
    return static_cast<int>(allowed);
}

int Command::status(const BoxReport& report) const {
    if (report.failed() > 0)
        return failed(QStringLiteral("%1 of %2 boxes failed").arg(report.failed()).arg(report.total()));
    return report.differing() > 0 ? kExitFailed : kExitOk;
}

LoadedProgram loadProgram(const QString& path, CliIo& io) {
    const InputFile input = readInputFile(path, io);
    if (!input.ok())
        return {std::nullopt, input.error};
    const ProgramReadResult result =
        readProgram(std::span<const Byte>(reinterpret_cast<const Byte*>(input.bytes.constData()),
                                          static_cast<std::size_t>(input.bytes.size())));
    if (!result.file)
        return {std::nullopt, QStringLiteral("%1: %2").arg(path, QString::fromStdString(result.error))};
    return {result.file, {}};
}

ProgramFile programOfOutcome(const BoxOutcome& outcome) {
    ProgramFile file = *programFromRecord(outcome.record).file;  // a whole record, as the session checked
    file.firmwareVersion = outcome.firmwareVersion;
    return file;
}

QString boxText(const BoxOutcome& outcome) {
    return QStringLiteral("firmware %1, %2 bytes per pin")
        .arg(firmwareText(outcome.firmwareVersion))
        .arg(outcome.msgLength);
}

ConfigValues valuesOnBox(const ConfigValues& values, const BoxOutcome& box) {
    Sheet sheet;
    sheet.FirmwareVersion = box.firmwareVersion;
    sheet.GPIMsgLength = box.msgLength;
    applyConfigValues(sheet, values);
    BuildDownload(sheet);  // refused downloads were turned away before any box was asked
    return configValuesOf(sheet);
}

}  // namespace zeze::cli
