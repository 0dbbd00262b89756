// The configuration record: the byte layout of a whole download, pin records, and encode/read round trips.
#include <gtest/gtest.h>

#include <random>

#include "protocol/config_record.h"
#include "protocol_test_support.h"

namespace zeze {
namespace {

using test::bytes;

Sheet workedExampleSheet() {
    Sheet sheet;
    sheet.network.gateway = {"254", "2", "1", "10"};
    sheet.network.subnetMask = {"0", "255", "255", "255"};
    sheet.network.zezeAddress = {"3", "2", "1", "10"};
    sheet.network.zezePort = "8000";
    sheet.network.destAddress = {"50", "2", "1", "10"};
    sheet.network.destPort = "8000";
    sheet.ports = {SerialPortSetting{5, kParityOdd}, SerialPortSetting{5, kParityNone},
                   SerialPortSetting{3, kParityEven}, SerialPortSetting{0, kParityOdd}};
    sheet.suppressHeaderAndStatus = true;
    for (PinRow& pin : sheet.pins)
        pin = PinRow{"", {false, false, false, false}, false};
    sheet.pins[0] = PinRow{"20 01 21", {true, false, false, false}, false};
    sheet.pins[23] = PinRow{"42 30 40 00 B2", {true, true, true, true}, true};
    return sheet;
}

TEST(ConfigRecord, WorkedExampleEncodesByteForByte) {
    Sheet sheet = workedExampleSheet();
    EncodeResult result = BuildDownload(sheet);
    ASSERT_TRUE(result.ok()) << result.error;

    std::vector<Byte> expected(848, 0);
    test::put(expected, 0,
              "FF 01 00  0A 01 02 FE  FF FF FF 00  0A 01 02 03  1F 40  0A 01 02 32  1F 40"
              "  05 05 03 00  00 01 00 00  00 00 01 00  01");
    test::put(expected, 80, "03 01 20 01 21");
    test::put(expected, 816, "05 8F 42 30 40 00 B2");
    EXPECT_EQ(result.message, expected);
}

TEST(ConfigRecord, LongSizePlacesPinRecordsAt57ByteSteps) {
    Sheet sheet = workedExampleSheet();
    sheet.FirmwareVersion = kLongMsgFirmware;
    sheet.pins[1].command = "01 02";
    EncodeResult result = BuildDownload(sheet);
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(result.message.size(), 1448u);
    EXPECT_EQ(pinRecordOffset(23, kLongMsgLength), 1391u);
    const std::vector<Byte> pin1(result.message.begin() + 137, result.message.begin() + 141);
    EXPECT_EQ(pin1, bytes("02 00 01 02"));
    const std::vector<Byte> pin23(result.message.begin() + 1391, result.message.end());
    std::vector<Byte> expected(57, 0);
    test::put(expected, 0, "05 8F 42 30 40 00 B2");
    EXPECT_EQ(pin23, expected);
}

TEST(ConfigRecord, PinRecordSteeringCountAndCut) {
    EXPECT_EQ(BuildPinRecord(2, "", false, false, false, false, false, 30), std::vector<Byte>(32, 0));
    EXPECT_EQ(BuildPinRecord(2, "", true, true, true, true, true, 30)[1], 0x8F);
    EXPECT_EQ(BuildPinRecord(2, "", false, true, false, false, false, 30)[1], 0x01);
    EXPECT_EQ(BuildPinRecord(2, "", false, false, true, false, false, 30)[1], 0x02);
    EXPECT_EQ(BuildPinRecord(2, "", false, false, false, true, false, 30)[1], 0x04);
    EXPECT_EQ(BuildPinRecord(2, "", false, false, false, false, true, 30)[1], 0x08);

    // 31 bytes into a 30-byte slot: the first 30 are kept and the slot has no zero fill.
    std::vector<Byte> longCommand;
    for (int i = 1; i <= 31; ++i)
        longCommand.push_back(static_cast<Byte>(0xE0 + i % 16));
    const std::string command = test::hexText(longCommand);
    std::vector<Byte> record = BuildPinRecord(25, command, false, true, false, false, false, 30);
    ASSERT_EQ(record.size(), 32u);
    EXPECT_EQ(record[0], 30);
    for (int i = 1; i <= 30; ++i)
        EXPECT_EQ(record[1 + i], 0xE0 + i % 16) << "byte " << i;

    // A lone final digit is read alone, never past the end of the text.
    record = BuildPinRecord(2, "20 7", false, false, false, false, false, 30);
    EXPECT_EQ(std::vector<Byte>(record.begin(), record.begin() + 5), bytes("02 00 20 07 00"));
}

std::string randomCommand(std::mt19937& rng, std::uint8_t msgLength) {
    std::uniform_int_distribution<int> count(0, msgLength), byte(0, 255);
    std::vector<Byte> values(count(rng));
    for (Byte& b : values)
        b = static_cast<Byte>(byte(rng));
    return test::hexText(values);
}

ConfigValues randomValues(std::mt19937& rng, std::uint8_t msgLength) {
    std::uniform_int_distribution<int> octet(0, 255), port(0, 65535), speed(0, kSpeedCount - 1),
        parity(0, kParityCount - 1), coin(0, 1);
    ConfigValues values;
    for (IpAddressText* address : {&values.network.gateway, &values.network.subnetMask,
                                   &values.network.zezeAddress, &values.network.destAddress}) {
        for (std::string& text : *address)
            text = std::to_string(octet(rng));
    }
    values.network.zezePort = std::to_string(port(rng));
    values.network.destPort = std::to_string(port(rng));
    for (SerialPortSetting& setting : values.ports)
        setting = {speed(rng), parity(rng)};
    values.suppressHeaderAndStatus = coin(rng) == 1;
    for (PinRow& pin : values.pins) {
        pin.command = randomCommand(rng, msgLength);
        for (bool& flag : pin.sendToPort)
            flag = coin(rng) == 1;
        pin.invert = coin(rng) == 1;
    }
    return values;
}

TEST(ConfigRecord, EncodedValuesReadBackUnchangedInBothSizes) {
    std::mt19937 rng(20240611);
    for (std::uint8_t msgLength : {kShortMsgLength, kLongMsgLength}) {
        for (int round = 0; round < 200; ++round) {
            const ConfigValues values = randomValues(rng, msgLength);
            EncodeResult encoded = EncodeConfigMessage(values, msgLength);
            ASSERT_TRUE(encoded.ok()) << encoded.error;
            ASSERT_EQ(encoded.message.size(), configMessageSize(msgLength));
            std::optional<ConfigValues> read = ReadConfigRecord(encoded.message, msgLength);
            ASSERT_TRUE(read.has_value());
            ASSERT_EQ(*read, values) << "size " << int(msgLength) << ", round " << round;
        }
    }
}

}  // namespace
}  // namespace zeze
