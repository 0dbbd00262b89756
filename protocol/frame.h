// The frame every message shares (start byte, group byte, code byte) and the tool's requests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zeze {

using Byte = std::uint8_t;

inline constexpr Byte kStartByte = 0xFF;
inline constexpr Byte kGroupStatus = 0x00;
inline constexpr Byte kGroupProgramming = 0x01;
inline constexpr Byte kCodeData = 0x00;

// Type byte (offset 3) of a status-group message from the box.
inline constexpr Byte kTypePort1 = 0, kTypePort2 = 1, kTypePort3 = 2, kTypePort4 = 3;
inline constexpr Byte kTypeGpi = 4;
inline constexpr Byte kTypeFirmware = 5;

inline constexpr std::array<Byte, 3> kGpiRequest{kStartByte, kGroupStatus, 0x01};
inline constexpr std::array<Byte, 3> kIdRequest{kStartByte, kGroupStatus, 0x02};
inline constexpr std::array<Byte, 3> kDumpRequest{kStartByte, kGroupProgramming, 0x01};
// Header of both the configuration download and the dump reply.
inline constexpr std::array<Byte, 3> kConfigHeader{kStartByte, kGroupProgramming, kCodeData};

inline constexpr std::size_t kStatusMessageLength = 4;  // FF 00 00 type
inline constexpr std::size_t kFirmwareReplyLength = 6;  // FF 00 00 05 minor major

}  // namespace zeze
