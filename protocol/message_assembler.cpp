// Collecting TCP arrivals into whole messages by the lengths their first bytes announce.
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
    if (m_buffer.empty())
        m_since = now;
    m_buffer.insert(m_buffer.end(), arrival.begin(), arrival.end());
    if (m_buffer.size() < requiredLength(m_buffer, dumpLength))
        return std::nullopt;
    std::vector<Byte> message;
    message.swap(m_buffer);
    return message;
}

void MessageAssembler::clear() {
    m_buffer.clear();
}

std::optional<MessageAssembler::Clock::duration> MessageAssembler::heldFor(Clock::time_point now) const {
    if (m_buffer.empty())
        return std::nullopt;
    return now - m_since;
}

}  // namespace zeze
