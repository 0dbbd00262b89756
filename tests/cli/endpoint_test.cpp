// HOST[:PORT] as typed on the command line and in a hosts file.
#include <gtest/gtest.h>

#include "cli/endpoint.h"

namespace zeze::cli {
namespace {

TEST(Endpoint, ReadsHostAndPortForms) {
    EXPECT_EQ(parseEndpoint("127.0.0.1").endpoint, (Endpoint{"127.0.0.1", 8000}));
    EXPECT_EQ(parseEndpoint(" 127.0.0.1:23 ").endpoint, (Endpoint{"127.0.0.1", 23}));
    EXPECT_EQ(parseEndpoint("[::1]:9000").endpoint, (Endpoint{"::1", 9000}));
    EXPECT_EQ(parseEndpoint("::1").endpoint, (Endpoint{"::1", 8000}));
    EXPECT_EQ((Endpoint{"::1", 9000}).text(), "[::1]:9000");
    EXPECT_EQ((Endpoint{"127.0.0.1", 23}).text(), "127.0.0.1:23");
}

TEST(Endpoint, RefusesBadPortsAndEmptyHosts) {
    EXPECT_EQ(parseEndpoint("127.0.0.1:0").error,
              "'127.0.0.1:0': the port must be a whole number from 1 to 65535");
    EXPECT_EQ(parseEndpoint("127.0.0.1:+80").error,
              "'127.0.0.1:+80': the port must be a whole number from 1 to 65535");
    EXPECT_EQ(parseEndpoint("127.0.0.1:70000").error,
              "'127.0.0.1:70000': the port must be a whole number from 1 to 65535");
    EXPECT_EQ(parseEndpoint(":80").error, "':80' names no host");
    EXPECT_EQ(parseEndpoint("[::1:80").error, "'[::1:80' has no closing ']'");
}

TEST(Endpoint, HostListSkipsCommentsAndNamesTheBadLine) {
    const EndpointListResult list =
        parseHostList("# bench boxes\n127.0.0.1:8001  # rack 3\n\n  127.0.0.1 \n[::1]:9#x\n");
    EXPECT_EQ(list.error, "");
    EXPECT_EQ(list.endpoints, (std::vector<Endpoint>{{"127.0.0.1", 8001}, {"127.0.0.1", 8000}, {"::1", 9}}));
    EXPECT_EQ(parseHostList(QChar(0xFEFF) + QStringLiteral("box-a\r\n")).endpoints,
              (std::vector<Endpoint>{{"box-a", 8000}}));
    EXPECT_EQ(parseHostList("127.0.0.1\n#\n127.0.0.1:x\n").error,
              "line 3: '127.0.0.1:x': the port must be a whole number from 1 to 65535");
}

TEST(Endpoint, EachBoxOnceAndItsBackupName) {
    EXPECT_EQ(
        distinctEndpoints(
            {{"box-a", 8000}, {"127.0.0.1", 8001}, {"BOX-A", 8000}, {"box-a", 8001}, {"127.0.0.1", 8001}}),
        (std::vector<Endpoint>{{"box-a", 8000}, {"127.0.0.1", 8001}, {"box-a", 8001}}));
    EXPECT_EQ(backupFileName({"10.0.0.5", 8000}, ".json"), "10.0.0.5_8000.json");
    EXPECT_EQ(backupFileName({"::1", 9000}, ".json"), "%3A%3A1_9000.json");
    // The last '_' always parts host and port: one in the host is encoded.
    EXPECT_EQ(backupFileName({"rack_3", 23}, ".bin"), "rack%5F3_23.bin");
    EXPECT_EQ(backupFileName({"../etc/x", 1}, ".json"), "..%2Fetc%2Fx_1.json");
}

}  // namespace
}  // namespace zeze::cli
