// The configuration record codec: sheet values to bytes (with the refusal of values that have no
// encoding) and bytes back to sheet values, plus the download as the "Send to Zeze" click builds it.
#include "protocol/config_record.h"

#include <algorithm>

#include "editing/command_string.h"
#include "model/numbers.h"

namespace zeze {
namespace {

constexpr Byte kSteerPort1 = 0x01, kSteerPort2 = 0x02, kSteerPort3 = 0x04, kSteerPort4 = 0x08;
constexpr Byte kSteerInvert = 0x80;
constexpr std::size_t kCommandCharsPerByte = 3;  // two hex digits and a blank

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The address fields in record order with their window labels.
struct AddressField {
    IpAddressText NetworkSettings::*member;
    const char* label;
    std::size_t offset;
};
constexpr AddressField kAddressFields[] = {
    {&NetworkSettings::gateway, kLabelGateway, kOffGateway},
    {&NetworkSettings::subnetMask, kLabelSubnetMask, kOffSubnetMask},
    {&NetworkSettings::zezeAddress, kLabelZezeAddress, kOffZezeAddress},
    {&NetworkSettings::destAddress, kLabelDestAddress, kOffDestAddress},
};

struct PortField {
    std::string NetworkSettings::*member;
    const char* label;
    std::size_t offset;
};
constexpr PortField kPortFields[] = {
    {&NetworkSettings::zezePort, kLabelZezePort, kOffZezePort},
    {&NetworkSettings::destPort, kLabelDestPort, kOffDestPort},
};

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string octetError(const char* label, int octetNumber, std::string_view text) {
    return std::string(kNotSentPrefix) + label + " octet " + std::to_string(octetNumber) + " is " +
           quoted(text) + kOctetRule;
}

std::string portError(const char* label, std::string_view text) {
    return std::string(kNotSentPrefix) + label + " is " + quoted(text) + kPortRule;
}

std::string serialPortError(int port, const char* suffix) {
    return std::string(kNotSentPrefix) + kLabelSerialPort + std::to_string(port + 1) + suffix;
}

// The octet shown in box `element` is octet number 4 - element when the address is read left to right.
int octetNumberOf(int element) {
    return kOctetCount - element;
}

std::string addressRefusal(const IpAddressText& address, const char* label) {
    for (int element = kOctetCount - 1; element >= 0; --element) {
        if (!parseWholeNumber(address[element], 255))
            return octetError(label, octetNumberOf(element), address[element]);
    }
    return {};
}

std::string portRefusal(const std::string& text, const char* label) {
    return parseWholeNumber(text, 65535) ? std::string() : portError(label, text);
}

// The first refusal line, in record order, for a value that has no encoding; empty when all have one.
std::string firstRefusal(const ConfigValues& values) {
    const NetworkSettings& network = values.network;
    std::string line = addressRefusal(network.gateway, kLabelGateway);
    if (line.empty())
        line = addressRefusal(network.subnetMask, kLabelSubnetMask);
    if (line.empty())
        line = addressRefusal(network.zezeAddress, kLabelZezeAddress);
    if (line.empty())
        line = portRefusal(network.zezePort, kLabelZezePort);
    if (line.empty())
        line = addressRefusal(network.destAddress, kLabelDestAddress);
    if (line.empty())
        line = portRefusal(network.destPort, kLabelDestPort);
    for (int port = 0; port < kSerialPortCount && line.empty(); ++port) {
        if (values.ports[port].speed < 0 || values.ports[port].speed >= kSpeedCount) {
            line = serialPortError(port, kNoSpeedSuffix);
        } else if (values.ports[port].parity < 0 || values.ports[port].parity >= kParityCount) {
            line = serialPortError(port, kNoParitySuffix);
        }
    }
    return line;
}

std::string commandTextOf(std::span<const Byte> bytes) {
    std::string text;
    text.reserve(bytes.size() * kCommandCharsPerByte);
    for (Byte b : bytes) {
        if (!text.empty())
            text += ' ';
        text += kHexDigits[b >> 4];
        text += kHexDigits[b & 0xF];
    }
    return text;
}

}  // namespace

std::vector<Byte> BuildPinRecord(int /*pin*/, std::string_view command, bool invert, bool port1, bool port2,
                                 bool port3, bool port4, std::uint8_t msgLength) {
    std::vector<Byte> record(pinRecordSize(msgLength), 0);
    Byte steering = 0;
    if (invert)
        steering |= kSteerInvert;
    if (port4)
        steering |= kSteerPort4;
    if (port3)
        steering |= kSteerPort3;
    if (port2)
        steering |= kSteerPort2;
    if (port1)
        steering |= kSteerPort1;
    record[1] = steering;

    // Each byte is the hex number at positions 0, 3, 6, ...; like a numeric read it takes the hex
    // digits there (one at the very end of the text) and gives 0 when there are none.
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < command.size() && count < msgLength; pos += kCommandCharsPerByte) {
        unsigned value = 0;
        for (std::size_t i = pos; i < std::min(pos + 2, command.size()); ++i) {
            int digit = hexDigitValue(command[i]);
            if (digit < 0)
                break;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        record[2 + count++] = static_cast<Byte>(value);
    }
    record[0] = static_cast<Byte>(count);
    return record;
}

ConfigValues configValuesOf(const Sheet& sheet) {
    return ConfigValues{sheet.network, sheet.ports, sheet.suppressHeaderAndStatus, sheet.pins};
}

void applyConfigValues(Sheet& sheet, const ConfigValues& values) {
    sheet.network = values.network;
    sheet.ports = values.ports;
    sheet.suppressHeaderAndStatus = values.suppressHeaderAndStatus;
    sheet.pins = values.pins;
}

std::optional<ConfigValues> ReadConfigRecord(std::span<const Byte> message, std::uint8_t msgLength) {
    if (message.size() < configMessageSize(msgLength))
        return std::nullopt;
    ConfigValues values;
    for (const AddressField& field : kAddressFields) {
        IpAddressText& address = values.network.*field.member;
        for (int i = 0; i < kOctetCount; ++i) {
            address[kOctetCount - 1 - i] = std::to_string(message[field.offset + i]);
        }
    }
    for (const PortField& field : kPortFields) {
        values.network.*field.member =
            std::to_string(message[field.offset] * 256u + message[field.offset + 1]);
    }
    for (int port = 0; port < kSerialPortCount; ++port) {
        Byte speed = message[kOffSpeed + port];
        values.ports[port].speed = speed < kSpeedCount ? speed : kNoSelection;
        if (message[kOffNoParity + port] != 0) {
            values.ports[port].parity = kParityNone;
        } else if (message[kOffEvenParity + port] != 0) {
            values.ports[port].parity = kParityEven;
        } else {
            values.ports[port].parity = kParityOdd;
        }
    }
    values.suppressHeaderAndStatus = message[kOffSuppress] != 0;
    for (int row = 0; row < kPinCount; ++row) {
        const std::size_t at = pinRecordOffset(row, msgLength);
        const std::size_t count = std::min<std::size_t>(message[at], msgLength);
        const Byte steering = message[at + 1];
        PinRow& pin = values.pins[row];
        pin.invert = (steering & kSteerInvert) != 0;
        pin.sendToPort = {(steering & kSteerPort1) != 0, (steering & kSteerPort2) != 0,
                          (steering & kSteerPort3) != 0, (steering & kSteerPort4) != 0};
        pin.command = commandTextOf(message.subspan(at + 2, count));
    }
    return values;
}

EncodeResult EncodeConfigMessage(const ConfigValues& values, std::uint8_t msgLength) {
    EncodeResult result;
    result.error = firstRefusal(values);
    if (!result.ok())
        return result;

    std::vector<Byte>& message = result.message;
    message.assign(configMessageSize(msgLength), 0);
    std::copy(kConfigHeader.begin(), kConfigHeader.end(), message.begin());
    for (const AddressField& field : kAddressFields) {
        const IpAddressText& address = values.network.*field.member;
        for (int i = 0; i < kOctetCount; ++i) {
            message[field.offset + i] =
                static_cast<Byte>(*parseWholeNumber(address[kOctetCount - 1 - i], 255));
        }
    }
    for (const PortField& field : kPortFields) {
        const unsigned port = *parseWholeNumber(values.network.*field.member, 65535);
        message[field.offset] = static_cast<Byte>(port / 256);
        message[field.offset + 1] = static_cast<Byte>(port % 256);
    }
    for (int port = 0; port < kSerialPortCount; ++port) {
        message[kOffSpeed + port] = static_cast<Byte>(values.ports[port].speed);
        message[kOffNoParity + port] = values.ports[port].parity == kParityNone ? 1 : 0;
        message[kOffEvenParity + port] = values.ports[port].parity == kParityEven ? 1 : 0;
    }
    message[kOffSuppress] = values.suppressHeaderAndStatus ? 1 : 0;
    // The reserved block stays zero.
    for (int row = 0; row < kPinCount; ++row) {
        const PinRow& pin = values.pins[row];
        const std::vector<Byte> record =
            BuildPinRecord(pinNumber(row), pin.command, pin.invert, pin.sendToPort[0], pin.sendToPort[1],
                           pin.sendToPort[2], pin.sendToPort[3], msgLength);
        std::copy(record.begin(), record.end(), message.begin() + pinRecordOffset(row, msgLength));
    }
    return result;
}

ConfigValues canonicalValuesOf(const Sheet& sheet) {
    ConfigValues values = configValuesOf(sheet);
    for (PinRow& pin : values.pins)
        pin.command = NormalizeCommand(pin.command);
    return values;
}

EncodeResult BuildDownload(Sheet& sheet) {
    const std::uint8_t msgLength = msgLengthForFirmware(sheet.FirmwareVersion);
    ConfigValues values = canonicalValuesOf(sheet);
    EncodeResult result = EncodeConfigMessage(values, msgLength);
    if (!result.ok())
        return result;  // validated before the sheet is touched

    sheet.readShort = false;
    sheet.GPIMsgLength = msgLength;
    for (int row = 0; row < kPinCount; ++row)
        sheet.pins[row].command = std::move(values.pins[row].command);
    return result;
}

}  // namespace zeze
