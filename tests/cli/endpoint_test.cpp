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
    const EndpointListResult list = parseHostList("# bench boxes\n127.0.0.1:8001\n\n  127.0.0.1 \n");
    EXPECT_EQ(list.error, "");
    EXPECT_EQ(list.endpoints, (std::vector<Endpoint>{{"127.0.0.1", 8001}, {"127.0.0.1", 8000}}));
    EXPECT_EQ(parseHostList("127.0.0.1\n#\n127.0.0.1:x\n").error,
              "line 3: '127.0.0.1:x': the port must be a whole number from 1 to 65535");
}

}  // namespace
}  // namespace zeze::cli
