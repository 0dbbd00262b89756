// Fuzz target: the configuration record reader at both pin sizes. Input: a size byte (bit 0: 55-byte pin
// slots, else 30), then the message. Property: read, encode, read gives the same values, and the
// encoding holds every field at its fixed offset (a field moved in reading and writing alike would
// still pass the round trip, not this).
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "fuzz/fuzz_check.h"
#include "protocol/config_record.h"

using zeze::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zeze;
    if (size < 1)
        return 0;
    const std::uint8_t slot = (data[0] & 1) != 0 ? 55 : 30;
    const std::size_t recordSize = slot == 55 ? 1448 : 848;
    const std::span<const Byte> in(data + 1, size - 1);

    const auto values = ReadConfigRecord(in, slot);
    check(values.has_value() == (in.size() >= recordSize));
    if (!values)
        return 0;

    // The values read, at the record's fixed offsets.
    check(values->network.gateway[3] == std::to_string(in[3]) &&
          values->network.gateway[0] == std::to_string(in[6]));
    check(values->network.zezeAddress[3] == std::to_string(in[11]));
    check(values->network.zezePort == std::to_string(in[15] * 256 + in[16]));
    check(values->network.destPort == std::to_string(in[21] * 256 + in[22]));
    check(values->suppressHeaderAndStatus == (in[35] != 0));

    const EncodeResult encoded = EncodeConfigMessage(*values, slot);
    int firstUnsetSpeed = -1;
    for (int port = 3; port >= 0; --port) {
        if (in[23 + port] > 6)
            firstUnsetSpeed = port;
    }
    if (firstUnsetSpeed >= 0) {
        check(encoded.message.empty() && encoded.error == "Not sent: Serial Port " +
                                                              std::to_string(firstUnsetSpeed + 1) +
                                                              " has no speed chosen.");
        return 0;
    }
    check(encoded.ok());
    const std::vector<Byte>& out = encoded.message;
    check(out.size() == recordSize);

    // Header, addresses, ports and speeds are written back as read; flags as 0 or 1, one parity flag at most.
    for (std::size_t i = 0; i < 27; ++i)
        check(out[i] == (i < 3 ? std::array<Byte, 3>{0xFF, 0x01, 0x00}[i] : in[i]));
    for (std::size_t port = 0; port < 4; ++port) {
        const bool none = in[27 + port] != 0;
        check(out[27 + port] == (none ? 1 : 0));
        check(out[31 + port] == (!none && in[31 + port] != 0 ? 1 : 0));
    }
    check(out[35] == (in[35] != 0 ? 1 : 0));
    for (std::size_t i = 36; i < 80; ++i)
        check(out[i] == 0);
    for (std::size_t row = 0; row < 24; ++row) {
        const std::size_t at = 80 + row * (slot + 2u);
        const std::size_t count = std::min<std::size_t>(in[at], slot);
        check(out[at] == count && out[at + 1] == (in[at + 1] & 0x8F));
        for (std::size_t i = 0; i < slot; ++i)
            check(out[at + 2 + i] == (i < count ? in[at + 2 + i] : 0));
    }

    const auto again = ReadConfigRecord(out, slot);
    check(again.has_value() && *again == *values);
    return 0;
}
