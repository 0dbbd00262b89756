// The one reading of numbers typed as text, shared by every layer: a hex digit's value, and a whole
// decimal number with a bound. Header-only so that link/ and the tools can use it without more links.
#pragma once

#include <optional>
#include <string_view>

namespace zeze {

// 0..15 for 0-9, a-f, A-F; -1 for anything else.
constexpr int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Digits only, with optional blanks (space, tab) around them; no sign. At most `max`; nothing for an
// empty text, any other character, or a value above `max` (also keeps long digit runs from
// overflowing). Leading zeros are read as decimal ("023" is 23).
constexpr std::optional<unsigned> parseWholeNumber(std::string_view text, unsigned max) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;
    unsigned long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > max)
            return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

}  // namespace zeze
