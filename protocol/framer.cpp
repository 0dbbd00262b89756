// The framing of the box's byte stream: a small machine over four modes (where a message begins,
// inside a message of known length, inside a payload, out of step), fed byte by byte.
#include "protocol/framer.h"

#include <algorithm>
#include <cstring>

#include "protocol/config_record.h"

namespace zeze {

bool Framer::beginsKnownHeader(const std::vector<Byte>& bytes) const {
    const std::size_t n = bytes.size();
    const Byte highestGroup = m_dumpAwaited ? kGroupProgramming : kGroupStatus;
    return n > 0 && bytes[0] == kStartByte && (n < 2 || bytes[1] <= highestGroup) &&
           (n < 3 || bytes[2] == kCodeData);
}

Framer::Framer(const FramerTiming& timing) : m_timing(timing) {}

void Framer::reset(TimePoint now) {
    m_mode = Mode::Start;
    m_held.clear();
    m_need = 0;
    m_payload = 0;
    m_dropped = 0;
    m_footing = Footing::Exact;
    m_heldFooting = Footing::Exact;
    m_afterExactEnd = true;  // nothing has come yet
    m_restMayCome = false;
    m_lastByte = now;
    m_began = now;
    m_position = 0;
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
        if (m_mode == Mode::Rest) {
            const std::size_t n = std::min(m_restLeft, bytes.size() - i);
            m_restLeft -= n;
            m_position += n;
            i += n;
            if (m_restLeft == 0)
                m_mode = Mode::Start;
            continue;
        }
        if (m_mode == Mode::Fixed && m_need > kFirmwareReplyLength && m_held.size() + 1 < m_need) {
            // The body of a long message needs no look at each byte.
            const std::size_t n = std::min(m_need - 1 - m_held.size(), bytes.size() - i);
            m_held.insert(m_held.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i),
                          bytes.begin() + static_cast<std::ptrdiff_t>(i + n));
            m_position += n;
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
                m_position += skip;
                i += skip;
                continue;
            }
        }
        ++m_position;
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
        Drop cut{m_held.size(), DropReason::Cut, std::nullopt, m_began, m_heldFooting};
        if (m_mode == Mode::Fixed)
            cut.kind = m_held[1] == kGroupProgramming ? MessageKind::Dump : MessageKind::Firmware;
        out.push_back(cut);
        m_held.clear();
        m_mode = Mode::Start;
        m_footing = Footing::Resync;
        m_afterExactEnd = false;
        m_restMayCome = true;
    }
    return out;
}

void Framer::quiet(FramerEvents& out, TimePoint now) {
    const auto gap = now - m_lastByte;
    // A message begun behind a payload or where the stream was found again, that pauses before it is
    // whole: a box writes its messages in one go, so its header was a look-alike inside other bytes.
    // Those are read again from the byte after it, as bytes out of step: whatever is found in them may
    // be the inside of a message. (One begun exactly is the box's: it waits for a silence.)
    while ((m_mode == Mode::Fixed || (m_mode == Mode::Start && !m_held.empty())) &&
           m_heldFooting != Footing::Exact && gap >= m_timing.settle) {
        std::vector<Byte> after(m_held.begin() + 1, m_held.end());
        m_held.clear();
        m_footing = Footing::Resync;
        m_mode = Mode::Hunting;
        m_dropped = 1;
        for (const Byte b : after)
            take(out, b, now);
    }
    // One begun exactly that pauses is still the box's, but what makes it whole may be other bytes (the
    // rest of a reply sent short, filled with the messages after it): it is believed only when confirmed.
    if ((m_mode == Mode::Fixed || (m_mode == Mode::Start && !m_held.empty())) && gap >= m_timing.stall)
        m_heldPaused = true;
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
        case Mode::Rest:
            if (gap >= m_timing.settle)
                m_mode = Mode::Start;
            break;
        case Mode::Fixed:
        case Mode::Start:
            if (!m_held.empty() && gap >= m_timing.silence) {
                FramerEvents cut = giveUp(now);
                out.insert(out.end(), cut.begin(), cut.end());
            }
            break;
    }
    // A short quiet ends what was out of step as it ends a payload: what comes next begins a message,
    // unless a message paused inside; a long quiet leaves no doubt.
    if (m_mode == Mode::Start && m_held.empty() && !m_restMayCome) {
        if (gap >= m_timing.silence)
            m_footing = Footing::Exact;
        else if (gap >= m_timing.settle)
            m_footing = std::min(m_footing, Footing::BehindPayload);
    }
}

void Framer::take(FramerEvents& out, Byte byte, TimePoint now) {
    switch (m_mode) {
        case Mode::Start:
            if (m_held.empty()) {
                m_began = now;
                m_heldFooting = m_footing;
                m_heldPaused = false;
            }
            m_held.push_back(byte);
            atStart(out, now);
            break;
        case Mode::Fixed:
            m_held.push_back(byte);
            // No firmware is numbered 255: a start byte among the version bytes begins the next message.
            if (m_need == kFirmwareReplyLength && byte == kStartByte)
                return restartAtLastByte(out, now);
            if (m_held.size() == m_need) {
                const MessageKind kind =
                    m_held[1] == kGroupProgramming ? MessageKind::Dump : MessageKind::Firmware;
                // A paused message, or a dump read short that may go on, cannot show where it ends.
                if (m_heldPaused || (kind == MessageKind::Dump && m_dumpMayBeLonger))
                    m_heldFooting = std::max(m_heldFooting, Footing::BehindPayload);
                out.push_back(Message{kind, std::move(m_held), m_heldFooting, m_began, m_position});
                m_held.clear();
                m_mode = Mode::Start;
                m_footing = m_heldFooting;
                if (kind == MessageKind::Dump && m_dumpMayBeLonger) {
                    // A dump read at 848 may be a long box's: what follows it without a pause, up to
                    // that length, is taken for its rest (look-alikes in its commands included), and
                    // what comes after is found again.
                    m_mode = Mode::Rest;
                    m_restLeft = configMessageSize(kLongMsgLength) - configMessageSize(kShortMsgLength);
                    m_footing = Footing::Resync;
                }
                m_afterExactEnd = m_footing == Footing::Exact;
            }
            break;
        case Mode::Payload:
        case Mode::Hunting:
            scan(out, byte, now);
            break;
        case Mode::Rest:
            break;  // taken in bulk by feed()
    }
}

void Framer::atStart(FramerEvents& out, TimePoint now) {
    const std::size_t n = m_held.size();
    if (m_held[0] != kStartByte) {
        // Every message begins with the start byte: this is the middle of one.
        m_dropped = n;
        m_held.clear();
        m_mode = Mode::Hunting;
        m_footing = Footing::Resync;
        return;
    }
    if (n > 1 && m_held.back() == kStartByte)
        return restartAtLastByte(out, now);
    if ((n == 2 && m_held[1] > kGroupProgramming) || (n == 3 && m_held[2] != kCodeData)) {
        // The box sends only status-group and programming-group messages with a code byte of 0: a
        // start byte with anything else behind it is not where a message begins.
        m_dropped = n;
        m_held.clear();
        m_mode = Mode::Hunting;
        m_footing = Footing::Resync;
        return;
    }
    if (n == 3) {
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

void Framer::restartAtLastByte(FramerEvents& out, TimePoint now) {
    // A start byte where a header's or a firmware reply's own byte must stand: what came before it
    // began no message, and it begins the next (the real one, behind a look-alike's head).
    m_held.pop_back();
    out.push_back(Drop{m_held.size(), DropReason::OutOfStep, std::nullopt, m_began, Footing::Resync});
    m_held.clear();
    m_mode = Mode::Start;
    m_footing = Footing::Resync;
    take(out, kStartByte, now);
}

void Framer::emitMessage(FramerEvents& out, MessageKind kind) {
    out.push_back(Message{kind, m_held, m_heldFooting, m_began, m_position});
    m_held.clear();
    m_mode = Mode::Payload;
    m_payload = 0;
    // The payload's end is found, not told.
    m_footing = std::max(m_heldFooting, Footing::BehindPayload);
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
        m_footing = Footing::Resync;
        m_dropped = m_payload - kMaxPayload;
    }
}

void Framer::dropHunted(FramerEvents& out) {
    if (m_dropped > 0)
        out.push_back(Drop{m_dropped, DropReason::OutOfStep, std::nullopt, m_began, Footing::Resync});
    m_dropped = 0;
}

std::optional<TimePoint> Framer::wakeAt() const {
    switch (m_mode) {
        case Mode::Payload:
        case Mode::Hunting:
        case Mode::Rest:
            return m_lastByte + m_timing.settle;
        case Mode::Fixed:
        case Mode::Start:
            if (!m_held.empty())
                return m_lastByte + (m_heldFooting == Footing::Exact ? m_timing.silence : m_timing.settle);
    }
    return std::nullopt;
}

std::optional<TimePoint> Framer::restsAt() const {
    switch (m_mode) {
        case Mode::Payload:
        case Mode::Hunting:
        case Mode::Rest:
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
