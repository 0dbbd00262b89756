// The start values of a fresh sheet and the small helpers beside it.
#include "model/sheet.h"

#include <gtest/gtest.h>

namespace zeze {
namespace {

TEST(Sheet, FreshSheetHoldsTheStartValues) {
    const Sheet sheet;
    for (int row = 0; row < kPinCount; ++row) {
        const PinRow& pin = sheet.pins[row];
        EXPECT_EQ(pin.command, "") << "row " << row;
        EXPECT_FALSE(pin.invert) << "row " << row;
        EXPECT_EQ(pin.sendToPort, (std::array<bool, 4>{true, false, false, false})) << "row " << row;
    }
    for (const SerialPortSetting& port : sheet.ports) {
        EXPECT_EQ(port.speed, 5);   // "38400"
        EXPECT_EQ(port.parity, 1);  // "Odd"
    }
    // Element 3 is the leftmost octet box, so the addresses read backwards here.
    EXPECT_EQ(sheet.network.zezeAddress, (IpAddressText{"102", "254", "168", "192"}));
    EXPECT_EQ(sheet.network.subnetMask, (IpAddressText{"0", "255", "255", "255"}));
    EXPECT_EQ(sheet.network.gateway, (IpAddressText{"254", "254", "168", "192"}));
    EXPECT_EQ(sheet.network.destAddress, (IpAddressText{"103", "254", "168", "192"}));
    EXPECT_EQ(sheet.network.zezePort, "23");
    EXPECT_EQ(sheet.network.destPort, "5000");
    EXPECT_TRUE(sheet.suppressHeaderAndStatus);
    EXPECT_FALSE(sheet.readShort);
    EXPECT_EQ(sheet.GPIMsgLength, 30);
    EXPECT_EQ(sheet.FirmwareVersion, 0);
}

TEST(Sheet, FlagSelectsTheNamedColumn) {
    PinRow pin;
    pin.sendToPort = {false, false, false, false};
    pin.flag(FlagColumn::Invert) = true;
    pin.flag(FlagColumn::Port3) = true;
    EXPECT_TRUE(pin.invert);
    EXPECT_EQ(pin.sendToPort, (std::array<bool, 4>{false, false, true, false}));
    pin.flag(FlagColumn::Port1) = true;
    pin.flag(FlagColumn::Port4) = true;
    EXPECT_EQ(pin.sendToPort, (std::array<bool, 4>{true, false, true, true}));
    EXPECT_FALSE(pin.flag(FlagColumn::Port2));
}

TEST(Sheet, Helpers) {
    EXPECT_EQ(pinNumber(0), 2);
    EXPECT_EQ(pinNumber(23), 25);
    EXPECT_EQ(commandLengthLimit(30), 89);
    EXPECT_EQ(commandLengthLimit(55), 164);
    EXPECT_EQ(msgLengthForFirmware(0), 30);
    EXPECT_EQ(msgLengthForFirmware(521), 30);  // 2.09
    EXPECT_EQ(msgLengthForFirmware(522), 55);  // 2.10
    EXPECT_EQ(msgLengthForFirmware(0xFFFF), 55);
}

}  // namespace
}  // namespace zeze
