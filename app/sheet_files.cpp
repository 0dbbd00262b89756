#include "app/sheet_files.h"

#include <algorithm>

#include "app/captions.h"
#include "cli/input_file.h"
#include "protocol/config_record.h"

namespace zeze {
namespace {

std::span<const Byte> byteSpan(const QByteArray& bytes) {
    return {reinterpret_cast<const Byte*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

bool namesRecord(const QString& path) {
    return path.endsWith(QLatin1String(text::kRecordSuffix), Qt::CaseInsensitive);
}

// The programming as the file holds it: commands canonical, pins as long as the box's or the longest
// command needs.
ProgramFile programOf(const Sheet& sheet) {
    ProgramFile file;
    file.firmwareVersion = sheet.FirmwareVersion;
    file.values = canonicalValuesOf(sheet);
    const bool needsLong =
        std::any_of(file.values.pins.begin(), file.values.pins.end(),
                    [](const PinRow& pin) { return commandByteCount(pin.command) > kShortMsgLength; });
    file.msgLength = needsLong ? kLongMsgLength : sheet.GPIMsgLength;
    return file;
}

}  // namespace

SheetFileRead readSheetFile(const QString& path) {
    cli::CliIo io;  // no standard input: a dialog never names "-"
    const cli::InputFile input = cli::readInputFile(path, io);
    if (!input.ok())
        return {std::nullopt, input.error};
    ProgramReadResult read = readProgram(byteSpan(input.bytes));
    if (!read.file)
        return {std::nullopt, QStringLiteral("%1: %2").arg(path, QString::fromStdString(read.error))};
    return {std::move(read.file), {}};
}

QString writeSheetFile(const QString& path, const Sheet& sheet) {
    const ProgramFile file = programOf(sheet);
    QByteArray bytes;
    if (namesRecord(path)) {
        const EncodeResult encoded = EncodeConfigMessage(file.values, file.msgLength);
        if (!encoded.ok()) {
            std::string reason = encoded.error;
            if (reason.starts_with(kNotSentPrefix))
                reason.erase(0, std::string_view(kNotSentPrefix).size());
            return QStringLiteral("%1: %2").arg(path, QString::fromStdString(reason));
        }
        bytes = QByteArray(reinterpret_cast<const char*>(encoded.message.data()),
                           static_cast<qsizetype>(encoded.message.size()));
    } else {
        const std::string json = programToJson(file);
        // What cannot be read back (an octet that is no number) is refused here, named as the reader names
        // it.
        const ProgramReadResult check = programFromJson(json);
        if (!check.file)
            return QStringLiteral("%1: %2").arg(path, QString::fromStdString(check.error));
        bytes = QByteArray::fromStdString(json);
    }
    return cli::writeOutputFile(path, bytes, cli::CliIo{});
}

QString withProgramSuffix(const QString& path) {
    if (path.endsWith(QLatin1String(text::kJsonSuffix), Qt::CaseInsensitive) || namesRecord(path))
        return path;
    return path + QLatin1String(text::kJsonSuffix);
}

}  // namespace zeze
