// Settings of one simulator run and the parsing of their command-line texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zeze::sim {

inline constexpr std::uint16_t kDefaultPort = 8000;
inline constexpr std::uint16_t kDefaultFirmware = 0x020A;  // 2.10
inline constexpr int kDefaultChunkDelayMs = 20;
inline constexpr int kDefaultStallMs = 500;
inline constexpr int kMaxBoxes = 10000;       // boxes one simulator process serves
inline constexpr int kSpareDescriptors = 16;  // open files beside the boxes' sockets

struct SimOptions {
    std::uint16_t port = kDefaultPort;          // 0: let the system pick a free port
    std::uint16_t firmware = kDefaultFirmware;  // major * 256 + minor, as the firmware reply carries it
    int chunkSize = 0;  // cut every reply into pieces of this many bytes; 0 sends each reply whole
    int chunkDelayMs = kDefaultChunkDelayMs;  // pause between two pieces of one reply
    // The quiet gap: with no new byte for this long, an unfinished request is given up and a download
    // is over. It must stay below the tool's pause after a download (over 3 s), or the next request
    // would be taken as part of the download.
    int stallMs = kDefaultStallMs;
    // A box whose store has failed: downloads are taken and logged, and the programming stays as it was.
    bool keepProgramming = false;
};

// "M.mm": the major number, a dot and the minor number written with two or three digits, each 0..255.
// "2.09" is major 2 minor 9; "2.9" is refused, as it could mean either 2.09 or 2.90.
std::optional<std::uint16_t> parseFirmware(std::string_view text);

// A whole number as parseWholeNumber reads it (digits, blanks around allowed, no sign), at most `max`.
std::optional<int> parseCount(std::string_view text, int max);

}  // namespace zeze::sim
