// The download: what it writes back into the sheet, its size, and every value it refuses to send.
#include <gtest/gtest.h>

#include <functional>

#include "protocol/config_record.h"
#include "protocol_test_support.h"

namespace zeze {
namespace {

TEST(Download, NormalisesCommandsIntoTheSheetAndFollowsTheFirmware) {
    Sheet sheet;
    sheet.readShort = true;
    sheet.GPIMsgLength = kLongMsgLength;
    sheet.FirmwareVersion = 521;
    sheet.pins[0].command = " 20  1 21";
    sheet.pins[5].command = "b2,zz";
    std::string longText = "01";
    for (int i = 1; i < 31; ++i)
        longText += " 01";
    sheet.pins[7].command = longText;

    EncodeResult result = BuildDownload(sheet);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.message.size(), 848u);
    EXPECT_FALSE(sheet.readShort);
    EXPECT_EQ(sheet.GPIMsgLength, kShortMsgLength);
    EXPECT_EQ(sheet.pins[0].command, "20 01 21");
    EXPECT_EQ(sheet.pins[5].command, "B2");
    EXPECT_EQ(sheet.pins[7].command, longText);  // the field keeps more bytes than are sent
    EXPECT_EQ(result.message[pinRecordOffset(7, kShortMsgLength)], 30);
    EXPECT_EQ(result.message[pinRecordOffset(0, kShortMsgLength) + 2], 0x20);

    sheet.FirmwareVersion = 522;
    sheet.readShort = true;
    result = BuildDownload(sheet);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.message.size(), 1448u);
    EXPECT_EQ(sheet.GPIMsgLength, kLongMsgLength);
    EXPECT_FALSE(sheet.readShort);
    EXPECT_EQ(result.message[pinRecordOffset(7, kLongMsgLength)], 31);
}

TEST(Download, FreshSheetSendsItsStartValues) {
    Sheet sheet;
    EncodeResult result = BuildDownload(sheet);
    ASSERT_TRUE(result.ok()) << result.error;
    std::vector<Byte> expected(848, 0);
    test::put(expected, 0,
              "FF 01 00  C0 A8 FE FE  FF FF FF 00  C0 A8 FE 66  00 17  C0 A8 FE 67  13 88"
              "  05 05 05 05  00 00 00 00  00 00 00 00  01");
    for (int row = 0; row < kPinCount; ++row)
        expected[pinRecordOffset(row, kShortMsgLength) + 1] = 0x01;
    EXPECT_EQ(result.message, expected);
}

TEST(Download, BlanksAroundNumbersAreTolerated) {
    Sheet sheet;
    sheet.network.gateway[3] = " 10\t";
    sheet.network.destPort = "  8000 ";
    sheet.network.zezePort = "023";
    EncodeResult result = BuildDownload(sheet);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.message[kOffGateway], 10);
    EXPECT_EQ(result.message[kOffDestPort], 0x1F);
    EXPECT_EQ(result.message[kOffDestPort + 1], 0x40);
    EXPECT_EQ(result.message[kOffZezePort + 1], 23);
    EXPECT_EQ(sheet.network.gateway[3], " 10\t");  // the text itself is not rewritten
}

struct Refusal {
    std::function<void(Sheet&)> change;
    std::string line;
};

TEST(Download, RefusesValuesWithoutAnEncodingAndLeavesTheSheetAlone) {
    const std::vector<Refusal> cases = {
        {[](Sheet& s) { s.network.gateway[2] = "300"; },
         "Not sent: Gateway octet 2 is \"300\"; an octet must be a whole number from 0 to 255."},
        {[](Sheet& s) { s.network.subnetMask[0] = "256"; },
         "Not sent: Subnet Mask octet 4 is \"256\"; an octet must be a whole number from 0 to 255."},
        {[](Sheet& s) { s.network.zezeAddress[3] = ""; },
         "Not sent: Zeze IP Address octet 1 is \"\"; an octet must be a whole number from 0 to 255."},
        {[](Sheet& s) { s.network.destAddress[1] = "-1"; },
         "Not sent: Dest. IP Address octet 3 is \"-1\"; an octet must be a whole number from 0 to 255."},
        {[](Sheet& s) { s.network.destAddress[1] = "+1"; },
         "Not sent: Dest. IP Address octet 3 is \"+1\"; an octet must be a whole number from 0 to 255."},
        {[](Sheet& s) { s.network.gateway[0] = "1.5"; },
         "Not sent: Gateway octet 4 is \"1.5\"; an octet must be a whole number from 0 to 255."},
        {[](Sheet& s) { s.network.gateway[0] = "1e2"; },
         "Not sent: Gateway octet 4 is \"1e2\"; an octet must be a whole number from 0 to 255."},
        {[](Sheet& s) { s.network.gateway[0] = "1 2"; },
         "Not sent: Gateway octet 4 is \"1 2\"; an octet must be a whole number from 0 to 255."},
        {[](Sheet& s) { s.network.destPort = "70000"; },
         "Not sent: Dest. TCP Port is \"70000\"; a port must be a whole number from 0 to 65535."},
        {[](Sheet& s) { s.network.destPort = "65536"; },
         "Not sent: Dest. TCP Port is \"65536\"; a port must be a whole number from 0 to 65535."},
        {[](Sheet& s) { s.network.zezePort = "+23"; },
         "Not sent: Zeze TCP Port is \"+23\"; a port must be a whole number from 0 to 65535."},
        {[](Sheet& s) { s.network.zezePort = "99999999999999999999999"; },
         "Not sent: Zeze TCP Port is \"99999999999999999999999\"; a port must be a whole number from 0 to "
         "65535."},
        {[](Sheet& s) { s.network.zezePort = ""; },
         "Not sent: Zeze TCP Port is \"\"; a port must be a whole number from 0 to 65535."},
        {[](Sheet& s) { s.ports[2].speed = kNoSelection; }, "Not sent: Serial Port 3 has no speed chosen."},
        {[](Sheet& s) { s.ports[0].speed = kSpeedCount; }, "Not sent: Serial Port 1 has no speed chosen."},
        {[](Sheet& s) { s.ports[3].parity = kNoSelection; }, "Not sent: Serial Port 4 has no parity chosen."},
        {[](Sheet& s) { s.ports[1].parity = kParityCount; }, "Not sent: Serial Port 2 has no parity chosen."},
        // Two bad values: the first in record order is named.
        {[](Sheet& s) {
             s.network.destPort = "x";
             s.network.subnetMask[1] = "y";
         },
         "Not sent: Subnet Mask octet 3 is \"y\"; an octet must be a whole number from 0 to 255."},
    };
    for (const Refusal& refusal : cases) {
        Sheet sheet;
        sheet.readShort = true;
        sheet.GPIMsgLength = kLongMsgLength;
        sheet.pins[3].command = " 20  1";
        refusal.change(sheet);
        const Sheet before = sheet;
        EncodeResult result = BuildDownload(sheet);
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.error, refusal.line);
        EXPECT_TRUE(result.message.empty()) << refusal.line;
        EXPECT_EQ(sheet, before) << refusal.line;
    }
}

}  // namespace
}  // namespace zeze
