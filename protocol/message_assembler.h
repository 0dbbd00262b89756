// Turns TCP arrivals into whole messages. The box's messages carry no length field, so a buffer that
// is the start of a known kind (FF, FF 00, FF 01, FF 00 00, a firmware reply under 6 bytes, a dump reply
// under its full size) is held until enough bytes arrive; then everything held goes out as one message.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "protocol/frame.h"

namespace zeze {

// How many bytes a message starting with `prefix` needs before it can be parsed, reading dump replies
// with pin slots of dumpLength bytes; 0 when the prefix is not the start of a known kind (parse as is).
std::size_t requiredLength(std::span<const Byte> prefix, std::uint8_t dumpLength);

class MessageAssembler {
  public:
    using Clock = std::chrono::steady_clock;

    // Appends one arrival. Returns everything held as one message once it is complete, else nothing.
    std::optional<std::vector<Byte>> feed(std::span<const Byte> arrival, std::uint8_t dumpLength,
                                          Clock::time_point now = Clock::now());
    // Drops what is held (on connect, disconnect, and a partial message that never completes).
    void clear();
    std::size_t heldBytes() const { return m_buffer.size(); }
    // How long the oldest held byte has waited; nothing when no byte is held.
    std::optional<Clock::duration> heldFor(Clock::time_point now = Clock::now()) const;

  private:
    std::vector<Byte> m_buffer;
    Clock::time_point m_since{};
};

}  // namespace zeze
