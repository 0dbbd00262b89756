// The framing of the box's byte stream: a small machine over four modes (where a message begins,
// inside a message of known length, inside a payload, out of step), fed byte by byte.
#include "protocol/framer.h"

#include <algorithm>
#include <cstring>

#include "protocol/config_record.h"

namespace zeze {
namespace {

// Whether `bytes` is FF 00 00 or FF 01 00, or a beginning of one of them.
bool beginsKnownHeader(const std::vector<Byte>& bytes) {
    const std::size_t n = bytes.size();
    return n > 0 && bytes[0] == kStartByte && (n < 2 || bytes[1] <= kGroupProgramming) &&
           (n < 3 || bytes[2] == kCodeData);
}

}  // namespace

Framer::Framer(const FramerTiming& timing) : m_timing(timing) {}

void Framer::reset(TimePoint now) {
    m_mode = Mode::Start;
    m_held.clear();
    m_need = 0;
    m_payload = 0;
    m_dropped = 0;
    m_exact = true;
    m_heldExact = true;
    m_afterExactEnd = true;  // nothing has come yet
    m_restMayCome = false;
    m_lastByte = now;
    m_began = now;
}

FramerEvents Framer::feed(std::span<const Byte> bytes, TimePoint now) {
    FramerEvents out;
    quiet(out, now);
    if (bytes.empty())
        return out;
    // What comes after a give-up is read, but not trusted to begin where a message begins.
    m_restMayCome = false;
    m_afterExactEnd = false;
    m_lastByte = now;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (m_mode == Mode::Fixed && m_held.size() + 1 < m_need) {
            // The body of a long message needs no look at each byte.
            const std::size_t n = std::min(m_need - 1 - m_held.size(), bytes.size() - i);
            m_held.insert(m_held.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i),
                          bytes.begin() + static_cast<std::ptrdiff_t>(i + n));
            i += n;
            continue;
        }
        if ((m_mode == Mode::Payload || m_mode == Mode::Hunting) && m_held.empty()) {
            // Only a start byte can begin a header: everything before the next one is skipped at once.
            const void* next = std::memchr(bytes.data() + i, kStartByte, bytes.size() - i);
            const std::size_t skip =
                next ? static_cast<std::size_t>(static_cast<const Byte*>(next) - bytes.data()) - i
                     : bytes.size() - i;
            if (skip > 0) {
                skipped(skip);
                i += skip;
                continue;
            }
        }
        take(out, bytes[i++], now);
    }
    return out;
}

FramerEvents Framer::advance(TimePoint now) {
    FramerEvents out;
    quiet(out, now);
    return out;
}

FramerEvents Framer::giveUp(TimePoint now) {
    FramerEvents out;
    (void)now;
    if (m_mode == Mode::Fixed || (m_mode == Mode::Start && !m_held.empty())) {
        Drop cut{m_held.size(), DropReason::Cut, std::nullopt, m_began};
        if (m_mode == Mode::Fixed)
            cut.kind = m_held[1] == kGroupProgramming ? MessageKind::Dump : MessageKind::Firmware;
        out.push_back(cut);
        m_held.clear();
        m_mode = Mode::Start;
        m_exact = false;
        m_afterExactEnd = false;
        m_restMayCome = true;
    }
    return out;
}

void Framer::quiet(FramerEvents& out, TimePoint now) {
    const auto gap = now - m_lastByte;
    switch (m_mode) {
        case Mode::Payload:
            if (gap >= m_timing.settle) {
                m_held.clear();
                m_mode = Mode::Start;
            }
            break;
        case Mode::Hunting:
            if (gap >= m_timing.settle) {
                m_dropped += m_held.size();
                m_held.clear();
                dropHunted(out);
                m_mode = Mode::Start;
            }
            break;
        case Mode::Fixed:
        case Mode::Start:
            if (!m_held.empty() && gap >= m_timing.silence) {
                FramerEvents cut = giveUp(now);
                out.insert(out.end(), cut.begin(), cut.end());
            }
            break;
    }
    // A payload's end found by a header or a short quiet may be a look-alike's; a long quiet is not.
    if (m_mode == Mode::Start && m_held.empty() && !m_restMayCome && gap >= m_timing.silence)
        m_exact = true;
}

void Framer::take(FramerEvents& out, Byte byte, TimePoint now) {
    switch (m_mode) {
        case Mode::Start:
            if (m_held.empty()) {
                m_began = now;
                m_heldExact = m_exact;
            }
            m_held.push_back(byte);
            atStart(out, now);
            break;
        case Mode::Fixed:
            m_held.push_back(byte);
            if (m_held.size() == m_need) {
                const MessageKind kind =
                    m_held[1] == kGroupProgramming ? MessageKind::Dump : MessageKind::Firmware;
                out.push_back(Message{kind, std::move(m_held), m_heldExact, m_began});
                m_held.clear();
                m_mode = Mode::Start;
                // Before the box's pin size is known a dump may have been longer than it was read.
                m_exact = m_heldExact && (kind != MessageKind::Dump || m_dumpLength != 0);
                m_afterExactEnd = m_exact;
            }
            break;
        case Mode::Payload:
        case Mode::Hunting:
            scan(out, byte, now);
            break;
    }
}

void Framer::atStart(FramerEvents& out, TimePoint now) {
    (void)now;
    const std::size_t n = m_held.size();
    if (m_held[0] != kStartByte) {
        // Every message begins with the start byte: this is the middle of one.
        m_dropped = n;
        m_held.clear();
        m_mode = Mode::Hunting;
        m_exact = false;
        return;
    }
    if (n == 2 && m_held[1] > kGroupProgramming)
        return emitMessage(out, MessageKind::Unknown);
    if (n == 3) {
        if (m_held[2] != kCodeData)
            return emitMessage(out, MessageKind::Unknown);
        if (m_held[1] == kGroupProgramming) {
            m_mode = Mode::Fixed;
            m_need = m_dumpLength != 0 ? m_dumpLength : configMessageSize(kShortMsgLength);
        }
        return;
    }
    if (n == 4) {
        if (m_held[3] == kTypeFirmware) {
            m_mode = Mode::Fixed;
            m_need = kFirmwareReplyLength;
            return;
        }
        emitMessage(out, MessageKind::Status);
    }
}

void Framer::emitMessage(FramerEvents& out, MessageKind kind) {
    out.push_back(Message{kind, m_held, m_heldExact, m_began});
    m_held.clear();
    m_mode = Mode::Payload;
    m_payload = 0;
    m_exact = false;  // the payload's end is found, not told
}

void Framer::scan(FramerEvents& out, Byte byte, TimePoint now) {
    m_held.push_back(byte);
    while (!m_held.empty() && !beginsKnownHeader(m_held)) {
        m_held.erase(m_held.begin());
        skipped(1);
    }
    if (m_held.size() == kConfigHeader.size()) {
        // A known header: a message begins here, or a look-alike does; which, only a reply's
        // confirmation can tell.
        dropHunted(out);
        std::vector<Byte> header;
        header.swap(m_held);
        m_mode = Mode::Start;
        m_exact = false;
        for (const Byte b : header)
            take(out, b, now);
        return;
    }
}

void Framer::skipped(std::size_t count) {
    if (m_mode == Mode::Hunting) {
        m_dropped += count;
        return;
    }
    m_payload += count;
    if (m_payload > kMaxPayload) {
        m_mode = Mode::Hunting;
        m_dropped = m_payload - kMaxPayload;
    }
}

void Framer::dropHunted(FramerEvents& out) {
    if (m_dropped > 0)
        out.push_back(Drop{m_dropped, DropReason::OutOfStep, std::nullopt, m_began});
    m_dropped = 0;
}

std::optional<TimePoint> Framer::wakeAt() const {
    switch (m_mode) {
        case Mode::Payload:
        case Mode::Hunting:
            return m_lastByte + m_timing.settle;
        case Mode::Fixed:
            return m_lastByte + m_timing.silence;
        case Mode::Start:
            if (!m_held.empty())
                return m_lastByte + m_timing.silence;
    }
    return std::nullopt;
}

std::optional<TimePoint> Framer::restsAt() const {
    switch (m_mode) {
        case Mode::Payload:
        case Mode::Hunting:
            return m_lastByte + m_timing.settle;
        case Mode::Fixed:
            return std::nullopt;
        case Mode::Start:
            if (!m_held.empty())
                return std::nullopt;
    }
    return m_afterExactEnd ? m_lastByte : m_lastByte + m_timing.settle;
}

bool Framer::atRest(TimePoint now) const {
    const auto at = restsAt();
    return at && now >= *at;
}

std::optional<TimePoint> Framer::underWay(MessageKind kind) const {
    if (m_mode != Mode::Fixed)
        return std::nullopt;
    const bool dump = m_held.size() > 1 && m_held[1] == kGroupProgramming;
    if ((kind == MessageKind::Dump) != dump)
        return std::nullopt;
    return m_began;
}

}  // namespace zeze
