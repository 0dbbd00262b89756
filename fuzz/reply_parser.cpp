// Fuzz target: ParseReply on any bytes with any run values. Input: a flags byte (bit 0 "Read Short",
// bit 1 GPIMsgLength 55), FirmwareVersion low and high byte, then the message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz/fuzz_check.h"
#include "protocol/reply_parser.h"

using zeze::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zeze;
    if (size < 3)
        return 0;
    Sheet sheet;
    sheet.readShort = (data[0] & 1) != 0;
    sheet.GPIMsgLength = (data[0] & 2) != 0 ? kLongMsgLength : kShortMsgLength;
    sheet.FirmwareVersion = static_cast<std::uint16_t>(data[1] | data[2] << 8);
    const std::span<const Byte> message(data + 3, size - 3);

    const ParsedReply reply = ParseReply(message, sheet);
    check(!reply.line.empty());
    const bool statusFrame =
        message.size() >= 4 && message[0] == 0xFF && message[1] == 0x00 && message[2] == 0x00;
    const bool dumpFrame =
        message.size() >= 3 && message[0] == 0xFF && message[1] == 0x01 && message[2] == 0x00;
    const std::size_t dumpSize = sheet.readShort || sheet.GPIMsgLength == 30 ? 848 : 1448;
    switch (reply.kind) {
        case ReplyKind::Unknown:
            check(reply.line == "Unknown message.");
            check(!reply.firmwareText && !reply.firmwareVersion && !reply.msgLength && !reply.config);
            check(!dumpFrame || message.size() < dumpSize);
            check(!statusFrame || message[3] > 5 || (message[3] == 5 && message.size() < 6));
            break;
        case ReplyKind::Firmware: {
            check(statusFrame && message[3] == 5 && message.size() >= 6);
            const unsigned version = message[5] * 256u + message[4];
            check(reply.firmwareVersion == version);
            check(reply.msgLength == (version >= 522 ? 55 : 30));
            check(reply.line == "Firmware v" + *reply.firmwareText && !reply.config);
            break;
        }
        case ReplyKind::Dump:
            check(dumpFrame && message.size() >= dumpSize && reply.config);
            check(reply.line == "Dump data, " + std::to_string(message.size()) + " bytes");
            check(reply.msgLength == (sheet.FirmwareVersion >= 522 ? 55 : 30));
            break;
        default:
            check(statusFrame && message[3] <= 4 &&
                  reply.line ==
                      (message[3] == 4 ? std::string("GPI") : "Port" + std::to_string(message[3] + 1)));
            check(!reply.msgLength && !reply.config);
            break;
    }

    Sheet applied = sheet;
    applyReply(applied, reply);
    if (reply.kind != ReplyKind::Firmware && reply.kind != ReplyKind::Dump)
        check(applied == sheet);
    if (reply.config) {
        for (const PinRow& pin : applied.pins)
            check(pin.command.size() <= 3u * (sheet.readShort ? 30 : sheet.GPIMsgLength));
        check(applied.readShort == sheet.readShort && applied.FirmwareVersion == sheet.FirmwareVersion);
    }
    return 0;
}
