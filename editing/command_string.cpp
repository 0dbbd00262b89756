#include "editing/command_string.h"

#include <algorithm>
#include <cstdint>

#include "model/numbers.h"

namespace zeze {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isHexDigit(char c) {
    return hexDigitValue(c) >= 0;
}

unsigned hexValue(char c) {
    return static_cast<unsigned>(hexDigitValue(c));
}

void appendHexByte(std::string& out, unsigned value) {
    out += kHexDigits[(value >> 4) & 0xF];
    out += kHexDigits[value & 0xF];
}

bool isContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

std::string NormalizeCommand(std::string_view text) {
    // Filter and collapse in one pass: hex digits and single blanks survive, everything else goes.
    // Leading and trailing blanks are dropped (a trailing blank would otherwise read as a 00 byte).
    std::string filtered;
    filtered.reserve(text.size());
    for (char c : text) {
        if (isHexDigit(c)) {
            filtered += c;
        } else if (c == ' ' && !filtered.empty() && filtered.back() != ' ') {
            filtered += ' ';
        }
    }
    while (!filtered.empty() && filtered.back() == ' ')
        filtered.pop_back();
    if (filtered.empty())
        return {};

    std::string out;
    out.reserve(filtered.size());
    // The first token counts with all its digits; only its last two matter for the byte.
    std::size_t pos = filtered.find(' ');
    std::string_view first = std::string_view(filtered).substr(0, pos);
    unsigned value = 0;
    for (char c : first.substr(first.size() > 2 ? first.size() - 2 : 0))
        value = value * 16 + hexValue(c);
    appendHexByte(out, value);
    // Each later token is the (at most) two characters right after its blank; the rest up to the next
    // blank is dropped ("20 0121" gives "20 01").
    while (pos != std::string::npos) {
        std::size_t end = filtered.find(' ', pos + 1);
        std::string_view token =
            std::string_view(filtered).substr(pos + 1, std::min<std::size_t>(2, end - pos - 1));
        value = 0;
        for (char c : token)
            value = value * 16 + hexValue(c);
        out += ' ';
        appendHexByte(out, value);
        pos = end;
    }
    return out;
}

std::size_t characterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (char c : utf8) {
        if (!isContinuationByte(static_cast<unsigned char>(c)))
            ++count;
    }
    return count;
}

std::string firstCharacters(std::string_view utf8, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (!isContinuationByte(static_cast<unsigned char>(utf8[i]))) {
            if (seen == count)
                return std::string(utf8.substr(0, i));
            ++seen;
        }
    }
    return std::string(utf8);
}

std::optional<std::string> CheckCommandLength(Sheet& sheet, int row) {
    if (row < 0 || row >= kPinCount)
        return std::nullopt;
    const auto limit = static_cast<std::size_t>(commandLengthLimit(sheet.GPIMsgLength));
    std::string& command = sheet.pins[row].command;
    if (characterCount(command) <= limit)
        return std::nullopt;
    command = firstCharacters(command, limit);
    return "Command for pin " + std::to_string(pinNumber(row)) + " has been truncated.";
}

std::string TextToHex(std::u32string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (char32_t c : text) {
        appendHexByte(out, c == U'*' ? 0x0Au : static_cast<unsigned>(c & 0xFF));
        out += ' ';
    }
    return out;
}

}  // namespace zeze
