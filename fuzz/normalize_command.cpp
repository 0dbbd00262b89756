// Fuzz target: NormalizeCommand and the command box's leave check on any text. Input: a byte whose
// bit 0 picks GPIMsgLength 55 (else 30), then the text. Properties: the result is canonical (two
// upper-case hex digits per byte, single blanks between), normalising it again changes nothing, and
// it has one byte per group of hex digits the operator typed; the leave check keeps at most
// 3 * GPIMsgLength - 1 characters, cuts only at a character boundary and logs exactly when it cuts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "editing/command_string.h"
#include "fuzz/fuzz_check.h"

namespace {

using zeze::fuzz::check;

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool canonical(const std::string& command) {
    if (!command.empty() && command.size() % 3 != 2)
        return false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (i % 3 == 2 ? c != ' ' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

// Runs of hex digits once everything but hex digits and blanks is dropped: each is one byte.
std::size_t hexGroups(std::string_view text) {
    std::size_t groups = 0;
    bool inGroup = false;
    for (char c : text) {
        if (isHex(c)) {
            groups += inGroup ? 0 : 1;
            inGroup = true;
        } else if (c == ' ') {
            inGroup = false;
        }
    }
    return groups;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zeze;
    if (size < 1)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const std::string normal = NormalizeCommand(text);
    check(canonical(normal));
    check(NormalizeCommand(normal) == normal);
    check((normal.size() + 1) / 3 == hexGroups(text));

    Sheet sheet;
    sheet.GPIMsgLength = (data[0] & 1) != 0 ? kLongMsgLength : kShortMsgLength;
    const int row = data[0] >> 1 & 31;
    if (row >= kPinCount)
        return 0;
    sheet.pins[row].command = text;
    const std::size_t limit = 3u * sheet.GPIMsgLength - 1;
    const auto line = CheckCommandLength(sheet, row);
    const std::string& kept = sheet.pins[row].command;
    check(characterCount(kept) <= limit && text.compare(0, kept.size(), kept) == 0);
    check(line.has_value() == (kept != text));
    if (line) {
        check(characterCount(kept) == limit);
        check((static_cast<unsigned char>(text[kept.size()]) & 0xC0) != 0x80);
        check(*line == "Command for pin " + std::to_string(row + 2) + " has been truncated.");
    }
    return 0;
}
