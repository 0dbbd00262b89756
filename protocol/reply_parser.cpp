// Classification and decoding of one message from the box into a log line and the values to apply.
#include "protocol/reply_parser.h"

namespace zeze {
namespace {

constexpr const char* kFirmwareLinePrefix = "Firmware v";
constexpr const char* kDumpLinePrefix = "Dump data, ";
constexpr const char* kDumpLineSuffix = " bytes";
constexpr const char* kStatusLines[] = {"Port1", "Port2", "Port3", "Port4", "GPI"};
constexpr ReplyKind kStatusKinds[] = {ReplyKind::Port1, ReplyKind::Port2, ReplyKind::Port3, ReplyKind::Port4,
                                      ReplyKind::Gpi};

ParsedReply unknown() {
    return ParsedReply{ReplyKind::Unknown, kUnknownMessageLine, {}, {}, {}, {}};
}

bool startsWith(std::span<const Byte> message, std::initializer_list<Byte> prefix) {
    if (message.size() < prefix.size())
        return false;
    std::size_t i = 0;
    for (Byte b : prefix) {
        if (message[i++] != b)
            return false;
    }
    return true;
}

ParsedReply parseFirmware(std::span<const Byte> message) {
    if (message.size() < kFirmwareReplyLength)
        return unknown();
    const Byte minor = message[4];
    const Byte major = message[5];
    const std::string text = formatFirmware(major, minor);
    const auto version = static_cast<std::uint16_t>(major * 256u + minor);
    return ParsedReply{
        ReplyKind::Firmware, kFirmwareLinePrefix + text, text, version, msgLengthForFirmware(version), {}};
}

ParsedReply parseDump(std::span<const Byte> message, const Sheet& sheet) {
    std::optional<ConfigValues> config = ReadConfigRecord(message, dumpReadLength(sheet));
    if (!config)
        return unknown();
    return ParsedReply{ReplyKind::Dump,
                       kDumpLinePrefix + std::to_string(message.size()) + kDumpLineSuffix,
                       {},
                       {},
                       msgLengthForFirmware(sheet.FirmwareVersion),
                       std::move(config)};
}

}  // namespace

std::string formatFirmware(std::uint8_t major, std::uint8_t minor) {
    return std::to_string(major) + "." + (minor < 10 ? "0" : "") + std::to_string(minor);
}

ParsedReply ParseReply(std::span<const Byte> message, const Sheet& sheet) {
    if (startsWith(message, {kStartByte, kGroupProgramming, kCodeData}))
        return parseDump(message, sheet);
    if (!startsWith(message, {kStartByte, kGroupStatus, kCodeData}) ||
        message.size() < kStatusMessageLength) {
        return unknown();
    }
    const Byte type = message[3];
    if (type == kTypeFirmware)
        return parseFirmware(message);
    if (type <= kTypeGpi)
        return ParsedReply{kStatusKinds[type], kStatusLines[type], {}, {}, {}, {}};
    return unknown();
}

void applyReply(Sheet& sheet, const ParsedReply& reply) {
    if (reply.firmwareVersion)
        sheet.FirmwareVersion = *reply.firmwareVersion;
    if (reply.config)
        applyConfigValues(sheet, *reply.config);
    if (reply.msgLength)
        sheet.GPIMsgLength = *reply.msgLength;
}

}  // namespace zeze
