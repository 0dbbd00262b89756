// The Programming sheet: everything the operator edits and the box stores, plus the two run values
// that bound it. A plain value type; setting a field runs no other logic.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zeze {

inline constexpr int kPinCount = 24;
inline constexpr int kSerialPortCount = 4;
inline constexpr int kOctetCount = 4;

inline constexpr std::uint8_t kShortMsgLength = 30;
inline constexpr std::uint8_t kLongMsgLength = 55;
// Firmware 2.10 (major 2, minor 10) and later hold 55 command bytes per pin.
inline constexpr std::uint16_t kLongMsgFirmware = 0x020A;

// Positions in the speed list ("1200" .. "57600") and the parity list ("None", "Odd", "Even").
inline constexpr int kSpeedCount = 7;
inline constexpr int kParityCount = 3;
// What each position stands for; the window's lists, the programming file and the change lines all
// read these.
inline constexpr std::array<int, kSpeedCount> kSpeedBauds{1200, 2400, 4800, 9600, 19200, 38400, 57600};
inline constexpr std::array<const char*, kParityCount> kParityNames{"None", "Odd", "Even"};
inline constexpr int kNoSelection = -1;
enum Parity : int { kParityNone = 0, kParityOdd = 1, kParityEven = 2 };

// One of the five per-row flags, in the order the grid shows them after the command box.
enum class FlagColumn { Invert, Port1, Port2, Port3, Port4 };

struct PinRow {
    std::string command;  // free text while edited; canonical after a download
    std::array<bool, 4> sendToPort{true, false, false, false};  // serial ports 1..4
    bool invert = false;

    bool& flag(FlagColumn column) {
        return column == FlagColumn::Invert ? invert : sendToPort[static_cast<int>(column) - 1];
    }
    bool flag(FlagColumn column) const { return const_cast<PinRow*>(this)->flag(column); }
    friend bool operator==(const PinRow&, const PinRow&) = default;
};

struct SerialPortSetting {
    int speed = 5;            // list position 0..6, kNoSelection when nothing is chosen
    int parity = kParityOdd;  // list position 0..2, kNoSelection when nothing is chosen
    friend bool operator==(const SerialPortSetting&, const SerialPortSetting&) = default;
};

// An address as four octet texts indexed like the window's octet boxes: element 3 is the leftmost box
// and holds the first octet, element 0 the rightmost (so 10.1.2.3 is {"3", "2", "1", "10"}).
using IpAddressText = std::array<std::string, kOctetCount>;

struct NetworkSettings {
    IpAddressText zezeAddress{"102", "254", "168", "192"};
    IpAddressText subnetMask{"0", "255", "255", "255"};
    IpAddressText gateway{"254", "254", "168", "192"};
    std::string zezePort = "23";  // the port the box is programmed with, not the one the tool dials
    IpAddressText destAddress{"103", "254", "168", "192"};
    std::string destPort = "5000";
    friend bool operator==(const NetworkSettings&, const NetworkSettings&) = default;
};

struct Sheet {
    std::array<PinRow, kPinCount> pins{};
    std::array<SerialPortSetting, kSerialPortCount> ports{};
    NetworkSettings network{};
    bool suppressHeaderAndStatus = true;  // "Suppress Header and Status Request"
    bool readShort = false;               // "Read Short": read the next dump with 30-byte pin slots
    bool autoChecksum = true;             // hidden "Auto Calculate Checksum"; nothing reads it

    std::uint8_t GPIMsgLength = kShortMsgLength;  // command bytes per pin, 30 or 55
    // major * 256 + minor; 0 until the box has reported it. Unsigned so that a major of 128 or more
    // reads as a newer box rather than a negative version.
    std::uint16_t FirmwareVersion = 0;

    friend bool operator==(const Sheet&, const Sheet&) = default;
};

inline constexpr int pinNumber(int row) {
    return row + 2;
}

// Longest command text a row keeps: room for msgLength two-digit bytes with single blanks between.
inline constexpr int commandLengthLimit(std::uint8_t msgLength) {
    return 3 * msgLength - 1;
}

inline constexpr std::uint8_t msgLengthForFirmware(std::uint16_t firmwareVersion) {
    return firmwareVersion >= kLongMsgFirmware ? kLongMsgLength : kShortMsgLength;
}

}  // namespace zeze
