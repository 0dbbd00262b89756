// Understanding one message from the box: classification by its first bytes, the log line, and what
// the window must apply (title, run values, sheet values). A pure function of the message and the
// sheet's run values; it never reads past the end of the message.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "model/sheet.h"
#include "protocol/config_record.h"
#include "protocol/frame.h"

namespace zeze {

enum class ReplyKind { Port1, Port2, Port3, Port4, Gpi, Firmware, Dump, Unknown };

inline constexpr const char* kUnknownMessageLine = "Unknown message.";

struct ParsedReply {
    ReplyKind kind = ReplyKind::Unknown;
    std::string line;  // never empty
    // Firmware reply: the version ("2.10") for the title, FirmwareVersion, and the new GPIMsgLength.
    std::optional<std::string> firmwareText;
    std::optional<std::uint16_t> firmwareVersion;
    // Firmware and dump replies: GPIMsgLength after the message.
    std::optional<std::uint8_t> msgLength;
    // Dump reply: the values read into the sheet.
    std::optional<ConfigValues> config;
};

// The pin-slot size a dump reply is read with: 30 while "Read Short" is on, else GPIMsgLength.
inline std::uint8_t dumpReadLength(const Sheet& sheet) {
    return sheet.readShort ? kShortMsgLength : sheet.GPIMsgLength;
}

// "2.05": major without leading zeros, minor with at least two digits.
std::string formatFirmware(std::uint8_t major, std::uint8_t minor);

// Classifies one whole message. Reads sheet.GPIMsgLength, FirmwareVersion and readShort only. A
// message too short for its kind gives "Unknown message." and nothing to apply.
ParsedReply ParseReply(std::span<const Byte> message, const Sheet& sheet);

// Writes what the reply carries into the sheet (run values, dump values). The window applies the
// title and releases the transfer buttons itself.
void applyReply(Sheet& sheet, const ParsedReply& reply);

}  // namespace zeze
