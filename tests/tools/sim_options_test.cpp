// The simulator's option texts and its account of a download's changes.
#include <gtest/gtest.h>

#include "tools/sim/config_diff.h"
#include "tools/sim/sim_options.h"

namespace zeze::sim {
namespace {

TEST(SimOptions, FirmwareTextIsMajorDotTwoDigitMinor) {
    EXPECT_EQ(parseFirmware("2.10"), 0x020A);
    EXPECT_EQ(parseFirmware("2.09"), 0x0209);
    EXPECT_EQ(parseFirmware("0.05"), 0x0005);
    EXPECT_EQ(parseFirmware("3.123"), 3 * 256 + 123);
    for (const char* bad :
         {"", "2", "2.9", "2. 9", "2.", ".10", "+2.10", " 2.10", "2.1x", "256.00", "2.256", "2.10.1"}) {
        EXPECT_FALSE(parseFirmware(bad)) << bad;
    }
    EXPECT_EQ(parseCount("0", 65535), 0);
    EXPECT_EQ(parseCount("65535", 65535), 65535);
    EXPECT_FALSE(parseCount("65536", 65535));
    EXPECT_EQ(parseCount(" 8000 ", 65535), 8000);
    for (const char* bad : {"", " ", "-1", "+1", "80 00", "8k", "0x10"}) {
        EXPECT_FALSE(parseCount(bad, 65535)) << bad;
    }
}

TEST(ConfigDiff, NamesEachChangedFieldWithOldAndNewValue) {
    const ConfigValues before = configValuesOf(Sheet{});
    EXPECT_EQ(describeChanges(before, before), "");

    ConfigValues after = before;
    after.network.gateway = {"254", "2", "1", "10"};
    after.network.destPort = "8000";
    after.ports[2] = {3, kParityNone};
    after.suppressHeaderAndStatus = false;
    after.pins[0].command = "20 01 21";
    after.pins[3].sendToPort = {true, false, true, false};
    after.pins[23].invert = true;
    after.pins[23].sendToPort = {false, false, false, false};
    EXPECT_EQ(
        describeChanges(before, after),
        "gateway 192.168.254.254 -> 10.1.2.254; destination port 5000 -> 8000; serial 3 speed 38400 -> "
        "9600; serial 3 parity Odd -> None; suppress on -> off; pin 2 command \"\" -> \"20 01 21\"; pin 5 "
        "ports 1 -> 1,3; pin 25 ports 1 -> none; pin 25 invert off -> on");
}

}  // namespace
}  // namespace zeze::sim
