// Framing of the tool's stream: fixed-size requests, downloads ended by a quiet line, resynchronisation
// on FF.
#include "tools/sim/inbound_framer.h"

#include <algorithm>

namespace zeze::sim {

namespace {

// What the held bytes start with.
enum class Head { NeedMore, Garbage, Request, Download };

Head classify(std::span<const Byte> held, InboundKind& requestKind) {
    if (held[0] != kStartByte) {
        return Head::Garbage;
    }
    if (held.size() < 2) {
        return Head::NeedMore;
    }
    if (held[1] != kGroupStatus && held[1] != kGroupProgramming) {
        return Head::Garbage;
    }
    if (held.size() < 3) {
        return Head::NeedMore;
    }
    const auto head = held.first(3);
    if (std::ranges::equal(head, kIdRequest)) {
        requestKind = InboundKind::IdRequest;
        return Head::Request;
    }
    if (std::ranges::equal(head, kGpiRequest)) {
        requestKind = InboundKind::GpiRequest;
        return Head::Request;
    }
    if (std::ranges::equal(head, kDumpRequest)) {
        requestKind = InboundKind::DumpRequest;
        return Head::Request;
    }
    if (std::ranges::equal(head, kConfigHeader)) {
        return Head::Download;
    }
    return Head::Garbage;
}

// Length of the garbage run at the front: up to, not including, the next start byte after the first.
std::size_t garbageLength(std::span<const Byte> held) {
    const auto next = std::find(held.begin() + 1, held.end(), kStartByte);
    return static_cast<std::size_t>(next - held.begin());
}

void take(std::vector<Byte>& buffer, std::size_t count, InboundKind kind, std::vector<Inbound>& out) {
    std::vector<Byte> bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
    // Neighbouring garbage runs are reported as one.
    if (kind == InboundKind::Garbage && !out.empty() && out.back().kind == InboundKind::Garbage) {
        out.back().bytes.insert(out.back().bytes.end(), bytes.begin(), bytes.end());
        return;
    }
    out.push_back({kind, std::move(bytes)});
}

}  // namespace

bool InboundFramer::holdsDownload() const {
    return m_buffer.size() >= kConfigHeader.size() &&
           std::equal(kConfigHeader.begin(), kConfigHeader.end(), m_buffer.begin());
}

std::vector<Inbound> InboundFramer::feed(std::span<const Byte> arrival) {
    const std::size_t limit = m_downloadSize + kDownloadHoldMargin;
    std::vector<Inbound> out;
    if (holdsDownload()) {
        // All of it belongs to the download until the line goes quiet: hold up to the limit, count the rest.
        const std::size_t kept = std::min(arrival.size(), limit - m_buffer.size());
        m_buffer.insert(m_buffer.end(), arrival.begin(), arrival.begin() + static_cast<std::ptrdiff_t>(kept));
        m_dropped += arrival.size() - kept;
        return out;
    }
    m_buffer.insert(m_buffer.end(), arrival.begin(), arrival.end());
    while (!m_buffer.empty()) {
        InboundKind requestKind = InboundKind::Garbage;
        const Head head = classify(m_buffer, requestKind);
        if (head == Head::NeedMore) {
            break;
        }
        if (head == Head::Garbage) {
            take(m_buffer, garbageLength(m_buffer), InboundKind::Garbage, out);
        } else if (head == Head::Request) {
            take(m_buffer, kIdRequest.size(), requestKind, out);
        } else {
            // A download: its end is known only when the line goes quiet. Bytes behind it that look
            // like requests belong to it until then, as a box of another record size would read them.
            if (m_buffer.size() > limit) {
                m_dropped += m_buffer.size() - limit;
                m_buffer.resize(limit);
                m_buffer.shrink_to_fit();  // the arrival it came in may have been large
            }
            break;
        }
    }
    return out;
}

std::vector<Inbound> InboundFramer::flush() {
    std::vector<Inbound> out;
    if (m_buffer.empty()) {
        return out;
    }
    InboundKind kind = InboundKind::Garbage;
    if (holdsDownload()) {
        kind = m_dropped == 0 && m_buffer.size() == m_downloadSize ? InboundKind::Download
                                                                   : InboundKind::WrongSizeDownload;
    }
    out.push_back({kind, std::move(m_buffer), m_dropped});
    clear();
    return out;
}

}  // namespace zeze::sim
