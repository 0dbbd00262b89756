// Collecting TCP arrivals into whole messages by the lengths their first bytes announce, and giving up
// on a message only after the line has gone silent.
#include "protocol/message_assembler.h"

#include "protocol/config_record.h"

namespace zeze {

std::size_t requiredLength(std::span<const Byte> prefix, std::uint8_t dumpLength) {
    // Each step needs one more byte to tell the kind; a byte that names no known kind ends the wait.
    if (prefix.empty())
        return 0;
    if (prefix[0] != kStartByte)
        return 0;
    if (prefix.size() < 2)
        return 2;
    if (prefix[1] != kGroupStatus && prefix[1] != kGroupProgramming)
        return 0;
    if (prefix.size() < 3)
        return 3;
    if (prefix[2] != kCodeData)
        return 0;
    if (prefix[1] == kGroupProgramming)
        return configMessageSize(dumpLength);
    if (prefix.size() < kStatusMessageLength)
        return kStatusMessageLength;
    return prefix[3] == kTypeFirmware ? kFirmwareReplyLength : kStatusMessageLength;
}

std::optional<std::vector<Byte>> MessageAssembler::feed(std::span<const Byte> arrival,
                                                        std::uint8_t dumpLength, Clock::time_point now) {
    if (arrival.empty())
        return std::nullopt;
    m_lastByte = now;
    if (m_discarding) {
        m_discarded += arrival.size();
        return std::nullopt;
    }
    m_buffer.insert(m_buffer.end(), arrival.begin(), arrival.end());
    if (m_buffer.size() < requiredLength(m_buffer, dumpLength))
        return std::nullopt;
    std::vector<Byte> message;
    message.swap(m_buffer);
    return message;
}

std::optional<MessageAssembler::Clock::time_point> MessageAssembler::deadline() const {
    if (m_buffer.empty() && !m_discarding)
        return std::nullopt;
    return m_lastByte + kSilenceLimit;
}

std::optional<MessageAssembler::Expiry> MessageAssembler::poll(Clock::time_point now) {
    const auto due = deadline();
    if (!due || now < *due)
        return std::nullopt;
    if (m_discarding) {
        const Expiry ended{Expiry::Kind::DiscardEnded, m_discarded};
        m_discarding = false;
        m_discarded = 0;
        return ended;
    }
    const Expiry gaveUp{Expiry::Kind::GaveUp, m_buffer.size()};
    m_buffer.clear();
    m_discarding = true;
    m_discarded = 0;
    // The discarding lasts until the line has been quiet for a whole limit from now.
    m_lastByte = now;
    return gaveUp;
}

void MessageAssembler::clear() {
    m_buffer.clear();
    m_discarding = false;
    m_discarded = 0;
}

}  // namespace zeze
