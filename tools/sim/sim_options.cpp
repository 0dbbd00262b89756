// Strict parsing of the simulator's option texts.
#include "tools/sim/sim_options.h"

#include <algorithm>
#include <cctype>

namespace zeze::sim {

std::optional<int> parseCount(std::string_view text, int max) {
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        })) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        value = value * 10 + (c - '0');
    }
    if (value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint16_t> parseFirmware(std::string_view text) {
    const auto dot = text.find('.');
    if (dot == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view majorText = text.substr(0, dot);
    const std::string_view minorText = text.substr(dot + 1);
    if (majorText.size() > 3 || minorText.size() < 2 || minorText.size() > 3) {
        return std::nullopt;
    }
    const auto major = parseCount(majorText, 255);
    const auto minor = parseCount(minorText, 255);
    if (!major || !minor) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*major * 256 + *minor);
}

}  // namespace zeze::sim
