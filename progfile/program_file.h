// The programming file: a box's whole programming as a JSON document a person can read, edit and diff,
// or as the exact record the box sends (.bin). Reading never throws: a bad file gives a path and reason.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/config_record.h"

namespace zeze {

inline constexpr char kProgramFormatName[] = "zeze-programming";
inline constexpr int kProgramFormatVersion = 1;

struct ProgramFile {
    std::uint16_t firmwareVersion = 0;        // major * 256 + minor of the box it came from; 0 unknown
    std::uint8_t msgLength = kLongMsgLength;  // the pin size it was read with, 30 or 55
    ConfigValues values;                      // commands in canonical form ("20 01 21")
    friend bool operator==(const ProgramFile&, const ProgramFile&) = default;
};

struct ProgramReadResult {
    std::optional<ProgramFile> file;
    std::string error;  // "pins[3].command: byte 'G1' is not hex"; empty on success
};

// The JSON document, laid out for diffs: one pin and one serial port per line, newline at the end.
std::string programToJson(const ProgramFile& file);

// Reads a JSON document strictly: every field present, no unknown field, values in range.
ProgramReadResult programFromJson(std::string_view text);

// Reads a configuration record (FF 01 00 and the record): 848 bytes for 30-byte pins, 1448 for 55.
ProgramReadResult programFromRecord(std::span<const Byte> bytes);

// Either form, told apart by the first byte (a record starts with FF, which no JSON text does).
ProgramReadResult readProgram(std::span<const Byte> bytes);

// Number of command bytes in a canonical command text.
std::size_t commandByteCount(std::string_view canonicalCommand);

// The first pin whose command holds more bytes than a box with msgLength-byte pins keeps, as
// "pins[5].command: 31 bytes, more than the 30 a pin of this box holds"; nothing when all fit.
std::optional<std::string> fitRefusal(const ConfigValues& values, std::uint8_t msgLength);

}  // namespace zeze
