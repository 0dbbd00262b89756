// ParseReply and applyReply: classification, firmware lines and run values, and dump decoding.
#include <gtest/gtest.h>

#include "protocol/reply_parser.h"
#include "protocol_test_support.h"

namespace zeze {
namespace {

using test::bytes;

// Parses and applies; returns the line.
std::string receive(Sheet& sheet, const std::vector<Byte>& message) {
    ParsedReply reply = ParseReply(message, sheet);
    EXPECT_FALSE(reply.line.empty());
    applyReply(sheet, reply);
    return reply.line;
}

TEST(ReplyParser, FirmwareLinesAndRunValues) {
    struct Case {
        std::string message, line, text;
        std::uint16_t version;
        std::uint8_t msgLength;
    };
    const Case cases[] = {
        {"FF 00 00 05 09 02", "Firmware v2.09", "2.09", 521, 30},
        {"FF 00 00 05 0A 02", "Firmware v2.10", "2.10", 522, 55},
        {"FF 00 00 05 00 03", "Firmware v3.00", "3.00", 768, 55},
        {"FF 00 00 05 05 00", "Firmware v0.05", "0.05", 5, 30},
        {"FF 00 00 05 7B 01 AA BB", "Firmware v1.123", "1.123", 379, 30},
        {"FF 00 00 05 00 80", "Firmware v128.00", "128.00", 0x8000, 55},
        {"FF 00 00 05 FF FF", "Firmware v255.255", "255.255", 0xFFFF, 55},
    };
    for (const Case& c : cases) {
        Sheet sheet;
        sheet.GPIMsgLength = c.msgLength == 30 ? 55 : 30;  // must change
        ParsedReply reply = ParseReply(bytes(c.message), sheet);
        EXPECT_EQ(reply.kind, ReplyKind::Firmware) << c.message;
        EXPECT_EQ(reply.line, c.line);
        EXPECT_EQ(reply.firmwareText, c.text);
        EXPECT_FALSE(reply.config.has_value());
        applyReply(sheet, reply);
        EXPECT_EQ(sheet.FirmwareVersion, c.version) << c.message;
        EXPECT_EQ(sheet.GPIMsgLength, c.msgLength) << c.message;
    }
}

TEST(ReplyParser, StatusAndUnknownMessagesApplyNothing) {
    const std::pair<std::string, std::string> cases[] = {
        {"FF 00 00 00", "Port1"},
        {"FF 00 00 01 12 34", "Port2"},
        {"FF 00 00 02", "Port3"},
        {"FF 00 00 03 00", "Port4"},
        {"FF 00 00 04 FF 01 00 99", "GPI"},
        {"FF 00 00 06", kUnknownMessageLine},
        {"FF 00 00 FF", kUnknownMessageLine},
        {"FF 00 01 05 0A 02", kUnknownMessageLine},
        {"FF 01 01", kUnknownMessageLine},
        {"FF 02 00 00", kUnknownMessageLine},
        {"FE 00 00 05 0A 02", kUnknownMessageLine},
        {"00", kUnknownMessageLine},
        // Too short for the kind their first bytes name: never read past the end.
        {"", kUnknownMessageLine},
        {"FF", kUnknownMessageLine},
        {"FF 00", kUnknownMessageLine},
        {"FF 01", kUnknownMessageLine},
        {"FF 00 00", kUnknownMessageLine},
        {"FF 00 00 05 0A", kUnknownMessageLine},
        {"FF 01 00 C0 A8", kUnknownMessageLine},
    };
    for (const auto& [message, line] : cases) {
        Sheet sheet;
        sheet.FirmwareVersion = 300;
        sheet.GPIMsgLength = 55;  // inconsistent on purpose: nothing may recompute it
        const Sheet before = sheet;
        EXPECT_EQ(receive(sheet, bytes(message)), line) << message;
        EXPECT_EQ(sheet, before) << message;
    }
    EXPECT_EQ(ParseReply(bytes("FF 00 00 04"), Sheet{}).kind, ReplyKind::Gpi);
    EXPECT_EQ(ParseReply(bytes("FF 00 00 03"), Sheet{}).kind, ReplyKind::Port4);
}

TEST(ReplyParser, DumpFieldsByTheReadingRules) {
    std::vector<Byte> dump = test::emptyDump(kShortMsgLength);
    test::put(dump, 3, "0A 01 02 FE  FF FF FF 00  0A 01 02 03  1F 40  0A 01 02 32  00 17");
    test::put(dump, 23, "06 00 03 07  01 00 02 00  00 01 01 00  05");
    test::put(dump, 80, "28 8F");  // count 40 > 30: all 30 command bytes are taken
    for (int i = 0; i < 30; ++i)
        dump[82 + i] = static_cast<Byte>(i + 1);
    test::put(dump, 112, "03 81 20 01 21 77");  // the byte after the count is not used
    test::put(dump, 144, "00 70 55");
    test::put(dump, 816, "05 0F 42 30 40 00 B2");

    Sheet sheet;
    EXPECT_EQ(receive(sheet, dump), "Dump data, 848 bytes");
    EXPECT_EQ(sheet.network.gateway, (IpAddressText{"254", "2", "1", "10"}));
    EXPECT_EQ(sheet.network.subnetMask, (IpAddressText{"0", "255", "255", "255"}));
    EXPECT_EQ(sheet.network.zezeAddress, (IpAddressText{"3", "2", "1", "10"}));
    EXPECT_EQ(sheet.network.zezePort, "8000");
    EXPECT_EQ(sheet.network.destAddress, (IpAddressText{"50", "2", "1", "10"}));
    EXPECT_EQ(sheet.network.destPort, "23");
    EXPECT_EQ(sheet.ports[0], (SerialPortSetting{6, kParityNone}));
    EXPECT_EQ(sheet.ports[1], (SerialPortSetting{0, kParityEven}));
    EXPECT_EQ(sheet.ports[2], (SerialPortSetting{3, kParityNone}));  // no-parity flag 2, even flag 1
    EXPECT_EQ(sheet.ports[3], (SerialPortSetting{kNoSelection, kParityOdd}));  // speed code 7
    EXPECT_TRUE(sheet.suppressHeaderAndStatus);

    EXPECT_EQ(sheet.pins[0].command.size(), 89u);
    EXPECT_EQ(sheet.pins[0].command.substr(0, 11), "01 02 03 04");
    EXPECT_EQ(sheet.pins[0].command.substr(84), "1D 1E");
    EXPECT_EQ(sheet.pins[0].sendToPort, (std::array<bool, 4>{true, true, true, true}));
    EXPECT_TRUE(sheet.pins[0].invert);
    EXPECT_EQ(sheet.pins[1], (PinRow{"20 01 21", {true, false, false, false}, true}));
    EXPECT_EQ(sheet.pins[2], (PinRow{"", {false, false, false, false}, false}));  // 0x70: bits 4..6 ignored
    EXPECT_EQ(sheet.pins[23], (PinRow{"42 30 40 00 B2", {true, true, true, true}, false}));
    for (int row = 3; row < 23; ++row)
        EXPECT_EQ(sheet.pins[row], (PinRow{"", {false, false, false, false}, false}));

    // Port bytes FF FF, suppress flag 0.
    test::put(dump, 21, "FF FF");
    dump[35] = 0;
    receive(sheet, dump);
    EXPECT_EQ(sheet.network.destPort, "65535");
    EXPECT_FALSE(sheet.suppressHeaderAndStatus);
}

TEST(ReplyParser, DumpSizesAndSlotLength) {
    // Long slots: pin row 1 at 137 and row 23 at 1391; a longer arrival is counted whole.
    std::vector<Byte> dump = test::emptyDump(kLongMsgLength, 1500);
    test::put(dump, 137, "01 02 AB");
    test::put(dump, 1391, "02 01 CD EF");
    Sheet sheet;
    sheet.FirmwareVersion = 522;
    sheet.GPIMsgLength = 55;
    EXPECT_EQ(receive(sheet, dump), "Dump data, 1500 bytes");
    EXPECT_EQ(sheet.pins[1], (PinRow{"AB", {false, true, false, false}, false}));
    EXPECT_EQ(sheet.pins[23], (PinRow{"CD EF", {true, false, false, false}, false}));
    EXPECT_EQ(sheet.GPIMsgLength, 55);

    // One byte short of the long record: nothing is read.
    dump.resize(1447);
    const Sheet before = sheet;
    EXPECT_EQ(receive(sheet, dump), kUnknownMessageLine);
    EXPECT_EQ(sheet, before);

    // "Read Short" with firmware 2.10: 32-byte slots for this read, 55 again afterwards, option kept.
    std::vector<Byte> shortDump = test::emptyDump(kShortMsgLength);
    test::put(shortDump, 112, "01 01 5A");
    sheet.readShort = true;
    EXPECT_EQ(receive(sheet, shortDump), "Dump data, 848 bytes");
    EXPECT_EQ(sheet.pins[1].command, "5A");
    EXPECT_EQ(sheet.GPIMsgLength, 55);
    EXPECT_TRUE(sheet.readShort);

    // GPIMsgLength 55 left from a box no longer known (FirmwareVersion 0): 57-byte slots, then 30.
    Sheet stale;
    stale.GPIMsgLength = 55;
    EXPECT_EQ(receive(stale, shortDump), kUnknownMessageLine);
    EXPECT_EQ(stale.GPIMsgLength, 55);
    EXPECT_EQ(receive(stale, test::emptyDump(kLongMsgLength)), "Dump data, 1448 bytes");
    EXPECT_EQ(stale.GPIMsgLength, 30);
    EXPECT_EQ(stale.FirmwareVersion, 0);
}

}  // namespace
}  // namespace zeze
