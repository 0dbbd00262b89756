// Byte helpers shared by the protocol tests.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "protocol/config_record.h"

namespace zeze::test {

// "FF 00 00 05" -> {0xFF, 0x00, 0x00, 0x05}
inline std::vector<Byte> bytes(const std::string& hex) {
    std::vector<Byte> out;
    std::istringstream in(hex);
    std::string token;
    while (in >> token)
        out.push_back(static_cast<Byte>(std::stoul(token, nullptr, 16)));
    return out;
}

// A dump reply of `size` bytes (header, then zeros) for pin slots of msgLength bytes.
inline std::vector<Byte> emptyDump(std::uint8_t msgLength, std::size_t size = 0) {
    std::vector<Byte> message(size ? size : configMessageSize(msgLength), 0);
    std::copy(kConfigHeader.begin(), kConfigHeader.end(), message.begin());
    return message;
}

// {0x20, 0x01} -> "20 01", the canonical command text of those bytes.
inline std::string hexText(const std::vector<Byte>& values) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (Byte b : values) {
        if (!text.empty())
            text += ' ';
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

inline std::vector<Byte> operator+(std::vector<Byte> a, const std::vector<Byte>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline void put(std::vector<Byte>& message, std::size_t offset, const std::string& hex) {
    for (Byte b : bytes(hex))
        message.at(offset++) = b;
}

}  // namespace zeze::test
