// The sheet in a programming file, read and written as zeze reads and writes them: JSON, or the exact
// record (.bin, chosen by the name). Every refusal is one line naming the path, and the field when a
// field is at fault.
#pragma once

#include <optional>

#include <QString>

#include "model/sheet.h"
#include "progfile/program_file.h"

namespace zeze {

struct SheetFileRead {
    std::optional<ProgramFile> file;
    QString error;  // "plan.json: pins[3].command: byte 'G1' is not hex"; empty on success
};

SheetFileRead readSheetFile(const QString& path);

// Writes the sheet's programming, commands in canonical form, whole or not at all. The pin size is the
// sheet's, or 55 when a command needs it. The refusal line, or empty on success.
QString writeSheetFile(const QString& path, const Sheet& sheet);

// `path` as chosen in a dialog: a name without .json or .bin gets .json.
QString withProgramSuffix(const QString& path);

}  // namespace zeze
