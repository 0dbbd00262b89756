// Parsing of the simulator's option texts: counts with the one whole-number reader, the firmware text
// strictly.
#include "tools/sim/sim_options.h"

#include "model/numbers.h"

namespace zeze::sim {

std::optional<int> parseCount(std::string_view text, int max) {
    if (max < 0) {
        return std::nullopt;
    }
    const auto value = parseWholeNumber(text, static_cast<unsigned>(max));
    if (!value) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

std::optional<std::uint16_t> parseFirmware(std::string_view text) {
    // Blanks would let "2. 9" pass the two-digit rule below.
    if (text.find_first_of(" \t") != std::string_view::npos) {
        return std::nullopt;
    }
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
