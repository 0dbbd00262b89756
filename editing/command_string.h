// Command strings: the canonical text form of a pin's command bytes, the length check run when the
// operator leaves a command box, and the text-to-hex converter.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/sheet.h"

namespace zeze {

// Turns free command text into the canonical form "20 01 21": keeps hex digits and blanks, trims the
// left end, collapses blank runs, then rewrites the tokens (the first keeps its last two digits, later
// ones their first two characters). Trailing blanks are dropped so that no 00 byte the operator never
// typed is appended.
std::string NormalizeCommand(std::string_view text);

// The leave check of command box `row`: cuts a text longer than 3 * GPIMsgLength - 1 characters
// (counted in characters, so `text` is UTF-8 and never split inside a character) and returns the
// log line "Command for pin N has been truncated."; returns nothing when the text fits.
std::optional<std::string> CheckCommandLength(Sheet& sheet, int row);

// Length in characters (code points) of a UTF-8 text, and its first `count` characters.
std::size_t characterCount(std::string_view utf8);
std::string firstCharacters(std::string_view utf8, std::size_t count);

// The converter: each character as two upper-case hex digits and a blank ("AB*" -> "41 42 0A "),
// "*" standing for a line feed; a code wider than 8 bits keeps its last two digits.
std::string TextToHex(std::u32string_view text);

}  // namespace zeze
