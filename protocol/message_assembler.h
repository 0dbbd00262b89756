// Turns TCP arrivals into whole messages. The box's messages carry no length field, so a buffer that
// is the start of a known kind (FF, FF 00, FF 01, FF 00 00, a firmware reply under 6 bytes, a dump reply
// under its full size) is held until enough bytes arrive; then everything held goes out as one message.
// A held message is given up only after a silence (no new byte) of kSilenceLimit: a slow link is not a
// broken one. Bytes that still arrive after a give-up belong to the cut message, so they are discarded
// until the line has been quiet for kSilenceLimit again; no piece of a cut message is ever read as a
// message of its own.
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
    static constexpr std::chrono::milliseconds kSilenceLimit{2000};

    // What a silence ended: a held message given up, or the discarding of its continuation.
    struct Expiry {
        enum class Kind { GaveUp, DiscardEnded };
        Kind kind;
        std::size_t bytes;  // the bytes given up, or those discarded after the give-up
    };

    // Appends one arrival. Returns everything held as one message once it is complete, else nothing.
    // While discarding, the arrival is counted and dropped.
    std::optional<std::vector<Byte>> feed(std::span<const Byte> arrival, std::uint8_t dumpLength,
                                          Clock::time_point now = Clock::now());
    // When poll() has something to do: kSilenceLimit after the last byte while a message is held or
    // its continuation is being discarded; nothing otherwise.
    std::optional<Clock::time_point> deadline() const;
    // At or after deadline(): gives up the held message (and starts discarding), or ends the
    // discarding. Before it, or with nothing to do, nothing.
    std::optional<Expiry> poll(Clock::time_point now = Clock::now());
    // Drops what is held and ends any discarding, silently (on connect and disconnect).
    void clear();
    std::size_t heldBytes() const { return m_buffer.size(); }
    bool discarding() const { return m_discarding; }

  private:
    std::vector<Byte> m_buffer;
    bool m_discarding = false;
    std::size_t m_discarded = 0;
    Clock::time_point m_lastByte{};
};

}  // namespace zeze
