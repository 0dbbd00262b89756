// The configuration record: the box's whole programming behind the header FF 01 00, the same in the
// dump reply and the download. Encoding of a sheet into it and the reading rules back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/sheet.h"
#include "protocol/frame.h"

namespace zeze {

// Offsets from the first byte of the message (the header included).
inline constexpr std::size_t kOffGateway = 3;
inline constexpr std::size_t kOffSubnetMask = 7;
inline constexpr std::size_t kOffZezeAddress = 11;
inline constexpr std::size_t kOffZezePort = 15;
inline constexpr std::size_t kOffDestAddress = 17;
inline constexpr std::size_t kOffDestPort = 21;
inline constexpr std::size_t kOffSpeed = 23;
inline constexpr std::size_t kOffNoParity = 27;
inline constexpr std::size_t kOffEvenParity = 31;
inline constexpr std::size_t kOffSuppress = 35;
inline constexpr std::size_t kOffReserved = 36;
inline constexpr std::size_t kReservedLength = 44;
inline constexpr std::size_t kOffPins = 80;

inline constexpr std::size_t pinRecordSize(std::uint8_t msgLength) {
    return msgLength + 2u;
}
// Whole message, header included: 848 for 30, 1448 for 55.
inline constexpr std::size_t configMessageSize(std::uint8_t msgLength) {
    return kOffPins + kPinCount * pinRecordSize(msgLength);
}
inline constexpr std::size_t pinRecordOffset(int row, std::uint8_t msgLength) {
    return kOffPins + static_cast<std::size_t>(row) * pinRecordSize(msgLength);
}

// One pin record: byte count, steering byte, msgLength command bytes zero-padded. `command` is
// canonical; bytes beyond msgLength are cut silently. `pin` only names the row.
std::vector<Byte> BuildPinRecord(int pin, std::string_view command, bool invert, bool port1, bool port2,
                                 bool port3, bool port4, std::uint8_t msgLength);

// The sheet values a configuration record carries.
struct ConfigValues {
    NetworkSettings network;
    std::array<SerialPortSetting, kSerialPortCount> ports;
    bool suppressHeaderAndStatus = true;
    std::array<PinRow, kPinCount> pins;
    friend bool operator==(const ConfigValues&, const ConfigValues&) = default;
};

ConfigValues configValuesOf(const Sheet& sheet);
void applyConfigValues(Sheet& sheet, const ConfigValues& values);
// The values as a download carries them: every command in its canonical form.
ConfigValues canonicalValuesOf(const Sheet& sheet);

// Reads a configuration message (header included) with pin slots of msgLength bytes by the reading
// rules: any non-zero flag is set, byte counts above msgLength are capped, a speed code above 6 gives
// kNoSelection. Nothing when the message is shorter than configMessageSize(msgLength).
std::optional<ConfigValues> ReadConfigRecord(std::span<const Byte> message, std::uint8_t msgLength);

// The refusal lines name a field by its label in the window and quote its text as typed, e.g.
// Not sent: Gateway octet 2 is "300"; an octet must be a whole number from 0 to 255.
// Not sent: Dest. TCP Port is "70000"; a port must be a whole number from 0 to 65535.
// Not sent: Serial Port 3 has no speed chosen.
// Octets are numbered 1..4 from the left, as the address is read.
inline constexpr const char* kNotSentPrefix = "Not sent: ";
inline constexpr const char* kOctetRule = "; an octet must be a whole number from 0 to 255.";
inline constexpr const char* kPortRule = "; a port must be a whole number from 0 to 65535.";
inline constexpr const char* kNoSpeedSuffix = " has no speed chosen.";
inline constexpr const char* kNoParitySuffix = " has no parity chosen.";
inline constexpr const char* kLabelZezeAddress = "Zeze IP Address";
inline constexpr const char* kLabelSubnetMask = "Subnet Mask";
inline constexpr const char* kLabelGateway = "Gateway";
inline constexpr const char* kLabelZezePort = "Zeze TCP Port";
inline constexpr const char* kLabelDestAddress = "Dest. IP Address";
inline constexpr const char* kLabelDestPort = "Dest. TCP Port";
inline constexpr const char* kLabelSerialPort = "Serial Port ";  // followed by the port number 1..4

// Encodes values into a configuration message of configMessageSize(msgLength) bytes, commands taken as
// they stand (they must already be canonical). Fails, with one line naming the field and its text,
// when an octet is not a whole number 0..255, a port not 0..65535, a speed position not 0..6 or a
// parity position not 0..2; blanks around a number are tolerated, signs and fractions are not.
struct EncodeResult {
    std::vector<Byte> message;  // empty when refused
    std::string error;          // the refusal line; empty on success
    bool ok() const { return error.empty(); }
};
EncodeResult EncodeConfigMessage(const ConfigValues& values, std::uint8_t msgLength);

// The download as the "Send to Zeze" click builds it. When the sheet can be encoded: clears "Read
// Short", sets GPIMsgLength from FirmwareVersion, writes each command back in canonical form and
// returns the message. When it is refused the sheet is left exactly as it was.
EncodeResult BuildDownload(Sheet& sheet);

}  // namespace zeze
