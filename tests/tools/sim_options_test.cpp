// The simulator's option texts.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zeze::sim
