// The strict port text check that runs before any connect is dialled.
#include <gtest/gtest.h>

#include "link/tcp_socket.h"

namespace zeze {
namespace {

TEST(ParsePort, AcceptsWholeNumbersFrom1To65535WithBlanksAround) {
    EXPECT_EQ(TcpSocket::parsePort("8000"), 8000);
    EXPECT_EQ(TcpSocket::parsePort(" 8000 "), 8000);
    EXPECT_EQ(TcpSocket::parsePort("\t23\n"), 23);
    EXPECT_EQ(TcpSocket::parsePort("1"), 1);
    EXPECT_EQ(TcpSocket::parsePort("65535"), 65535);
    EXPECT_EQ(TcpSocket::parsePort("023"), 23);  // plain decimal, never octal
}

TEST(ParsePort, RejectsEverythingElse) {
    for (const char* text : {"", "   ", "abc", "+23", "-23", "0", "000", "65536", "70000", "8000x", "x8000",
                             "80 00", "8.0", "0x1F", "99999999999999999999"}) {
        EXPECT_FALSE(TcpSocket::parsePort(QString::fromLatin1(text)).has_value()) << '"' << text << '"';
    }
    // Digits of other scripts are digits to QChar, not to a port number.
    EXPECT_FALSE(TcpSocket::parsePort(QString::fromUtf8("\u0668\u0660")).has_value());
}

}  // namespace
}  // namespace zeze
