// The differences between two programmings, one line per field in the operator's terms.
#include <gtest/gtest.h>

#include "protocol/config_diff.h"

namespace zeze {
namespace {

TEST(ConfigDiff, SameProgrammingHasNoLines) {
    const ConfigValues values = configValuesOf(Sheet{});
    EXPECT_TRUE(describeDifferences(values, values).empty());
}

TEST(ConfigDiff, OneLinePerFieldInRecordOrder) {
    const ConfigValues from = configValuesOf(Sheet{});
    ConfigValues to = from;
    to.pins[5].command = "20 01 22";
    to.pins[5].invert = true;
    to.pins[0].sendToPort = {true, false, true, true};
    to.pins[1].sendToPort = {false, false, false, false};
    to.ports[1].speed = 3;
    to.ports[3].parity = kParityNone;
    to.ports[2].speed = kNoSelection;
    to.network.destAddress = {"9", "0", "0", "10"};
    to.network.zezePort = "8000";
    to.suppressHeaderAndStatus = false;
    const std::vector<std::string> expected{
        "zeze port: 23 -> 8000",
        "dest address: 192.168.254.103 -> 10.0.0.9",
        "serial port 2 speed: 38400 -> 9600",
        "serial port 3 speed: 38400 -> (none)",
        "serial port 4 parity: odd -> none",
        "suppress header and status: yes -> no",
        "pin 2 ports: 1 -> 1,3,4",
        "pin 3 ports: 1 -> (none)",
        "pin 7 command: (none) -> 20 01 22",
        "pin 7 invert: no -> yes",
    };
    EXPECT_EQ(describeDifferences(from, to), expected);
}

TEST(ConfigDiff, AddressesReadLeftToRightAndTheLastPinIsNamed25) {
    const ConfigValues from = configValuesOf(Sheet{});
    ConfigValues to = from;
    to.network.gateway = {"254", "2", "1", "10"};
    to.network.subnetMask = {"0", "0", "255", "255"};
    to.network.destPort = "8000";
    to.ports[0].parity = kParityEven;
    to.pins[23].invert = true;
    to.pins[23].sendToPort = {false, true, false, false};
    const std::vector<std::string> expected{
        "gateway: 192.168.254.254 -> 10.1.2.254",
        "subnet mask: 255.255.255.0 -> 255.255.0.0",
        "dest port: 5000 -> 8000",
        "serial port 1 parity: odd -> even",
        "pin 25 invert: no -> yes",
        "pin 25 ports: 1 -> 2",
    };
    EXPECT_EQ(describeDifferences(from, to), expected);
}

}  // namespace
}  // namespace zeze
