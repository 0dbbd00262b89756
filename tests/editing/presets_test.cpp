// The three presets: their end state, that it depends on nothing the sheet held, and the tables.
#include "editing/presets.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <vector>

namespace zeze {
namespace {

using Ports = std::array<bool, 4>;

// The documented command tables, typed here apart from the code so that a slip in either shows.
const std::vector<std::string> kOneMachineExpected{
    "20 00 20",       "20 01 21",       "20 20 40",       "20 10 30",       "20 02 22",
    "42 30 40 00 B2", "42 30 00 00 72", "42 30 10 00 82", "42 30 11 00 83", "42 30 13 00 85",
    "42 30 13 01 86", "42 30 13 03 88", "42 30 13 07 8C", "42 30 13 0F 94", "20 65 85",
    "20 64 84",       "20 61 81",       "20 60 80",       "20 00 20",       "20 00 20"};
const std::vector<std::string> kBlockExpected{"20 00 20", "20 01 21", "20 20 40",
                                              "20 10 30", "20 02 22", "24 31 00 00 00 00 55"};

void expectPortsAt38400Odd(const Sheet& sheet) {
    for (const SerialPortSetting& port : sheet.ports) {
        EXPECT_EQ(port.speed, 5);
        EXPECT_EQ(port.parity, kParityOdd);
    }
}

// A sheet with every field scrambled, as if the operator and a dump had been at it.
Sheet randomSheet(std::mt19937& rng) {
    std::uniform_int_distribution<int> coin(0, 1);
    std::uniform_int_distribution<int> small(0, 999);
    Sheet sheet;
    for (PinRow& pin : sheet.pins) {
        pin.invert = coin(rng);
        for (bool& port : pin.sendToPort)
            port = coin(rng);
        pin.command = coin(rng) ? "free text " + std::to_string(small(rng)) : "";
    }
    for (SerialPortSetting& port : sheet.ports) {
        port.speed = small(rng) % 8 - 1;
        port.parity = small(rng) % 4 - 1;
    }
    for (std::string& octet : sheet.network.zezeAddress)
        octet = std::to_string(small(rng));
    sheet.network.destPort = std::to_string(small(rng));
    sheet.suppressHeaderAndStatus = coin(rng);
    sheet.readShort = coin(rng);
    sheet.autoChecksum = coin(rng);
    sheet.GPIMsgLength = coin(rng) ? kLongMsgLength : kShortMsgLength;
    sheet.FirmwareVersion = static_cast<std::uint16_t>(small(rng));
    return sheet;
}

// Fields no preset may touch.
void copyUntouchedFields(const Sheet& from, Sheet& to) {
    to.network = from.network;
    to.readShort = from.readShort;
    to.autoChecksum = from.autoChecksum;
    to.GPIMsgLength = from.GPIMsgLength;
    to.FirmwareVersion = from.FirmwareVersion;
}

TEST(Presets, OneMachine) {
    Sheet sheet;
    sheet.pins[21].command = "typed";
    sheet.pins[22].sendToPort = {false, true, true, false};
    sheet.ports[2] = {3, kParityEven};  // "9600", "Even"
    ApplyPreset(sheet, Preset::OneMachine);

    EXPECT_FALSE(sheet.suppressHeaderAndStatus);
    expectPortsAt38400Odd(sheet);
    for (int row = 0; row < kPinCount; ++row) {
        const PinRow& pin = sheet.pins[row];
        EXPECT_FALSE(pin.invert) << row;
        EXPECT_EQ(pin.sendToPort, (Ports{true, false, false, false})) << row;
        EXPECT_EQ(pin.command, row < 20 ? kOneMachineExpected[row] : "") << row;
    }
}

TEST(Presets, FourMachines) {
    Sheet sheet;
    sheet.suppressHeaderAndStatus = false;
    sheet.pins[0].invert = true;
    ApplyPreset(sheet, Preset::FourMachines);

    EXPECT_TRUE(sheet.suppressHeaderAndStatus);
    expectPortsAt38400Odd(sheet);
    for (int row = 0; row < kPinCount; ++row) {
        const PinRow& pin = sheet.pins[row];
        Ports only{};
        only[row / 6] = true;
        EXPECT_FALSE(pin.invert) << row;
        EXPECT_EQ(pin.sendToPort, only) << row;
        EXPECT_EQ(pin.command, kBlockExpected[row % 6]) << row;
    }
    EXPECT_EQ(sheet.pins[6].command, "20 00 20");
    EXPECT_EQ(sheet.pins[6].sendToPort, (Ports{false, true, false, false}));
    EXPECT_EQ(sheet.pins[23].command, "24 31 00 00 00 00 55");
    EXPECT_EQ(sheet.pins[23].sendToPort, (Ports{false, false, false, true}));
}

TEST(Presets, Gang) {
    Sheet sheet;
    sheet.pins[10].command = "20 01 21";
    sheet.pins[20].command = "anything";
    ApplyPreset(sheet, Preset::Gang);

    EXPECT_TRUE(sheet.suppressHeaderAndStatus);
    expectPortsAt38400Odd(sheet);
    for (int row = 0; row < kPinCount; ++row) {
        const PinRow& pin = sheet.pins[row];
        EXPECT_FALSE(pin.invert) << row;
        EXPECT_EQ(pin.sendToPort, (Ports{true, true, true, true})) << row;
        EXPECT_EQ(pin.command, row < 6 ? kBlockExpected[row] : "") << row;
    }
}

TEST(Presets, EndStateDependsOnlyOnThePreset) {
    std::mt19937 rng(4242);
    for (Preset preset : {Preset::OneMachine, Preset::FourMachines, Preset::Gang}) {
        for (int trial = 0; trial < 20; ++trial) {
            const Sheet before = randomSheet(rng);
            Sheet scrambled = before;
            ApplyPreset(scrambled, preset);

            // Untouched fields are as they were...
            EXPECT_EQ(scrambled.network, before.network);
            EXPECT_EQ(scrambled.readShort, before.readShort);
            EXPECT_EQ(scrambled.autoChecksum, before.autoChecksum);
            EXPECT_EQ(scrambled.GPIMsgLength, before.GPIMsgLength);
            EXPECT_EQ(scrambled.FirmwareVersion, before.FirmwareVersion);

            // ...and everything else equals the preset applied to a fresh sheet.
            Sheet fresh;
            copyUntouchedFields(before, fresh);
            ApplyPreset(fresh, preset);
            EXPECT_EQ(scrambled, fresh) << "preset " << static_cast<int>(preset) << ", trial " << trial;

            // Applying it again changes nothing.
            Sheet twice = scrambled;
            ApplyPreset(twice, preset);
            EXPECT_EQ(twice, scrambled);
        }
    }
}

// Every stored command ends in the low byte of the sum of the bytes before it; a mistyped table
// entry breaks this.
TEST(Presets, EveryTableCommandEndsInItsSumChecksum) {
    std::vector<std::string_view> all(kOneMachineCommands.begin(), kOneMachineCommands.end());
    all.insert(all.end(), kSixCommandBlock.begin(), kSixCommandBlock.end());
    for (std::string_view command : all) {
        std::istringstream in{std::string(command)};
        std::vector<unsigned> bytes;
        std::string token;
        while (in >> token) {
            ASSERT_EQ(token.size(), 2u) << command;
            bytes.push_back(static_cast<unsigned>(std::stoul(token, nullptr, 16)));
        }
        ASSERT_GE(bytes.size(), 2u) << command;
        unsigned sum = 0;
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
            sum += bytes[i];
        EXPECT_EQ(sum & 0xFF, bytes.back()) << command;
        EXPECT_EQ(command.size(), 3 * bytes.size() - 1) << command;  // single blanks, nothing else
    }
    // The two tables share their first five commands.
    for (std::size_t k = 0; k < 5; ++k)
        EXPECT_EQ(kOneMachineCommands[k], kSixCommandBlock[k]);
}

}  // namespace
}  // namespace zeze
