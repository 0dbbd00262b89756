// The conversation with a box: requests and what they await, the transfer pause, and the framing of
// what the box sends (its messages carry no length field, so their kinds and sizes do the framing).
#include "protocol/conversation.h"

#include <algorithm>
#include <limits>

#include "protocol/config_record.h"
#include "protocol/conversation_text.h"
#include "protocol/reply_parser.h"

namespace zeze {
namespace {

constexpr std::array<Byte, 4> kFirmwareHeader{kStartByte, kGroupStatus, kCodeData, kTypeFirmware};

std::string fill(const char* pattern, const std::string& value) {
    std::string line = pattern;
    if (const auto at = line.find("%1"); at != std::string::npos)
        line.replace(at, 2, value);
    return line;
}

std::string fill(const char* pattern, std::size_t number) {
    return fill(pattern, std::to_string(number));
}

}  // namespace

std::string secondsText(Millis limit) {
    const auto ms = limit.count();
    if (ms % 1000 == 0)
        return std::to_string(ms / 1000);
    std::string text = std::to_string(ms / 1000) + "." + std::to_string(1000 + ms % 1000).substr(1);
    while (text.back() == '0')
        text.pop_back();
    return text;
}

namespace {

// Whether `bytes` begins with `header`, or is a beginning of it.
bool startsLike(std::span<const Byte> bytes, std::span<const Byte> header) {
    const std::size_t n = std::min(bytes.size(), header.size());
    return std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), header.begin());
}

// A whole status message other than a firmware reply (port and GPI messages, unknown types): four bytes.
bool isStatusMessage(std::span<const Byte> bytes) {
    return bytes.size() >= kStatusMessageLength && bytes[0] == kStartByte && bytes[1] == kGroupStatus &&
           bytes[2] == kCodeData && bytes[3] != kTypeFirmware;
}

// The first bytes of some message of a known kind.
bool startsLikeMessage(std::span<const Byte> bytes) {
    return bytes.size() >= 3 && bytes[0] == kStartByte && bytes[1] <= kGroupProgramming &&
           bytes[2] == kCodeData;
}

// Bytes that are, or may grow into, the first bytes of some message of a known kind.
bool mayStartMessage(std::span<const Byte> bytes) {
    return (bytes.empty() || bytes[0] == kStartByte) && (bytes.size() < 2 || bytes[1] <= kGroupProgramming) &&
           (bytes.size() < 3 || bytes[2] == kCodeData);
}

bool startsWithWhole(std::span<const Byte> bytes, std::span<const Byte> header) {
    return bytes.size() >= header.size() && startsLike(bytes, header);
}

// An arrival that is exactly one status message or firmware reply, as the box writes them.
bool isWholeStatusArrival(std::span<const Byte> bytes) {
    return (bytes.size() == kStatusMessageLength && isStatusMessage(bytes)) ||
           (bytes.size() == kFirmwareReplyLength && startsWithWhole(bytes, kFirmwareHeader));
}

// Where, in what followed a status message in its arrival, an awaited reply of `length` bytes
// starting with `header` begins: right there (whole, or begun and continued by later arrivals), or
// with its last byte the last of the arrival (behind a status message with a payload). Nowhere else:
// a header inside another message's bytes is not a message. bytes.size() when it is not there.
std::size_t awaitedStart(std::span<const Byte> bytes, std::span<const Byte> header, std::size_t length) {
    if (!bytes.empty() && startsLike(bytes, header))
        return 0;
    if (bytes.size() > length && startsWithWhole(bytes.subspan(bytes.size() - length), header))
        return bytes.size() - length;
    return bytes.size();
}

// How many bytes a message starting with `prefix` needs before it can be read, dump replies having pin
// slots of dumpLength bytes; 0 when the prefix starts no known kind (it is read as it is).
std::size_t requiredLength(std::span<const Byte> prefix, std::uint8_t dumpLength) {
    if (prefix.empty() || prefix[0] != kStartByte)
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

// The longest message a held beginning can still become, and whether its kind is settled (then only
// its length, not silence, tells where its rest ends).
struct Remaining {
    std::size_t total;
    bool settled;
};

Remaining remainingOf(std::span<const Byte> held, std::uint8_t dumpLength) {
    const std::size_t dump = configMessageSize(dumpLength);
    if (startsWithWhole(held, kConfigHeader))
        return {dump, true};
    if (startsWithWhole(held, kFirmwareHeader))
        return {kFirmwareReplyLength, true};
    if (held.size() >= 2 && held[1] == kGroupProgramming)
        return {dump, false};
    if (held.size() >= 2)
        return {kFirmwareReplyLength, false};
    return {std::max(dump, kFirmwareReplyLength), false};
}

}  // namespace

std::string Conversation::readFailure(Failure why) const {
    switch (why) {
        case Failure::GaveUp:
            return "the box's reply was incomplete";
        case Failure::Disconnected:
            return "cancelled by Disconnect";
        case Failure::TimedOut:
            return "no reply within " + secondsText(m_limits.replyStart) + " s";
        case Failure::TooSlow:
            return "the box's reply was not complete within " + secondsText(m_limits.replyTotal) + " s";
        case Failure::SendFailed:
            return "the connection did not take the request";
        case Failure::NoFirmware:
            return "the box has not told its firmware version on this connection";
        default:
            return "the connection ended";
    }
}

void Effects::append(Effects&& more) {
    lines.insert(lines.end(), std::make_move_iterator(more.lines.begin()),
                 std::make_move_iterator(more.lines.end()));
    sends.insert(sends.end(), std::make_move_iterator(more.sends.begin()),
                 std::make_move_iterator(more.sends.end()));
    sheetChanged = sheetChanged || more.sheetChanged;
    if (more.firmwareText)
        firmwareText = std::move(more.firmwareText);
    if (more.firmwareFailed)
        firmwareFailed = more.firmwareFailed;
    if (more.dump)
        dump = std::move(more.dump);
    if (more.programming)
        programming = std::move(more.programming);
    if (more.dumpFailed) {
        dumpFailed = more.dumpFailed;
        cutBytes = more.cutBytes;
    }
    if (more.downloadRefused)
        downloadRefused = more.downloadRefused;
    if (more.pauseEnded)
        pauseEnded = more.pauseEnded;
}

Conversation::Conversation(Sheet& sheet, const ConversationLimits& limits)
    : m_sheet(sheet), m_limits(limits) {}

// ---------------------------------------------------------------------------------------------------
// The connection

Effects Conversation::connecting(TimePoint now) {
    Effects e;
    endConnection(e, Failure::ConnectionLost);
    m_connectWaitRunning = true;
    (void)now;
    return e;
}

Effects Conversation::connectWaitOver(bool connected, TimePoint now) {
    Effects e;
    m_connectWaitRunning = false;
    if (connected) {
        m_linkUp = true;
        e.lines.push_back(text::kSuccess);
        // Unless the box has told its firmware already and is storing a download (after a Request ID
        // during the wait): then nothing may go to it now, and nothing needs to.
        if (!m_pausing)
            sendId(e, now);
    } else {
        e.lines.push_back(text::kCouldntSendId);
        // The attempt goes on; a connection that completes later still asks for the firmware.
        m_idOnLateConnect = true;
        // A transfer clicked during the wait found a connection that is gone now.
        if (m_awaitingDump)
            failDump(e, Failure::ConnectionLost);
        if (m_downloadHeld)
            refuseHeldDownload(e, Failure::ConnectionLost);
    }
    return e;
}

Effects Conversation::connectionUp(TimePoint now) {
    Effects e;
    m_linkUp = true;
    if (m_idOnLateConnect) {
        m_idOnLateConnect = false;
        e.lines.push_back(text::kIdOnLateConnect);
        sendId(e, now);
    }
    return e;
}

Effects Conversation::connectionLost(TimePoint now, bool alreadySaid) {
    Effects e;
    if (!m_linkUp && !m_connectWaitRunning && !transferWaiting())
        return e;
    if (!alreadySaid && m_linkUp)
        e.lines.push_back(text::kConnectionLost);
    endConnection(e, Failure::ConnectionLost);
    (void)now;
    return e;
}

Effects Conversation::disconnect(TimePoint now) {
    Effects e;
    endConnection(e, Failure::Disconnected);
    m_sheet.FirmwareVersion = 0;
    (void)now;
    return e;
}

void Conversation::endConnection(Effects& e, Failure why) {
    if (m_awaitingDump)
        failDump(e, why);
    if (m_downloadHeld)
        refuseHeldDownload(e, why);
    if (m_pausing) {
        m_pausing = false;
        e.pauseEnded = false;
        if (why == Failure::ConnectionLost)
            e.lines.push_back(text::kDownloadConnectionLost);
    }
    m_firmwareAskedAt.reset();
    m_firmwareKnown = false;
    m_linkUp = false;
    m_connectWaitRunning = false;
    m_idOnLateConnect = false;
    m_lastSent = Sent::Nothing;
    // Nothing more comes on this connection: a message begun on it can never be completed.
    clearHeld();
    m_candidate.reset();
    m_discarding = false;
    m_discardUntilReply = false;
    m_outOfStep = false;
}

// ---------------------------------------------------------------------------------------------------
// Requests

Effects Conversation::requestId(bool connected, TimePoint now) {
    Effects e;
    if (!connected) {
        e.lines.push_back(text::kCouldntSendId);
    } else if (m_pausing) {
        e.lines.push_back(text::kRequestDuringPause);
    } else {
        m_linkUp = true;
        sendId(e, now);
    }
    return e;
}

Effects Conversation::requestGpi(bool connected, TimePoint now) {
    Effects e;
    if (!connected) {
        e.lines.push_back(text::kCouldntSendGpi);
    } else if (m_pausing) {
        e.lines.push_back(text::kRequestDuringPause);
    } else {
        m_linkUp = true;
        beforeRequest();
        e.sends.emplace_back(kGpiRequest.begin(), kGpiRequest.end());
        m_lastSent = Sent::Gpi;
    }
    (void)now;
    return e;
}

Effects Conversation::requestDump(bool connected, TimePoint now) {
    return requestRead(connected, true, now);
}

Effects Conversation::requestProgramming(bool connected, TimePoint now) {
    return requestRead(connected, false, now);
}

Effects Conversation::requestRead(bool connected, bool intoSheet, TimePoint now) {
    Effects e;
    if (!connected) {
        e.lines.push_back(text::kCouldntSendDump);
        if (!intoSheet)
            e.dumpFailed = Failure::NotConnected;
        return e;
    }
    if (m_awaitingDump) {
        // A Get keeps the first request's copy of the commands.
        if (!intoSheet)
            e.dumpFailed = Failure::Busy;
        return e;
    }
    m_linkUp = true;
    if (intoSheet) {
        for (int row = 0; row < kPinCount; ++row) {
            m_emptiedCommands[row] = m_sheet.pins[row].command;
            m_sheet.pins[row].command.clear();
        }
        e.sheetChanged = true;
    }
    m_readIntoSheet = intoSheet;
    m_awaitingDump = true;
    m_dumpAskedAt.reset();
    // Held until the firmware is known and the box is free; released by releaseHeld().
    askFirmwareIfNeeded(e, now);
    releaseHeld(e, now);
    return e;
}

Effects Conversation::download(bool connected, TimePoint now) {
    Effects e;
    if (m_pausing || m_downloadHeld) {
        e.lines.push_back(text::kDownloadBusy);
        e.downloadRefused = Failure::Busy;
        return e;
    }
    if (m_awaitingDump) {
        e.lines.push_back(text::kDownloadWhileAwaitingDump);
        e.downloadRefused = Failure::Busy;
        return e;
    }
    // Normalises the commands in the sheet whether or not anything is sent.
    const EncodeResult built = BuildDownload(m_sheet);
    e.sheetChanged = built.ok();
    if (!built.ok()) {
        e.lines.push_back(built.error);
        e.downloadRefused = Failure::BadSheet;
        return e;
    }
    if (!connected) {
        e.lines.push_back(text::kCouldntSendDownload);
        e.downloadRefused = Failure::NotConnected;
        return e;
    }
    m_linkUp = true;
    m_downloadHeld = true;
    askFirmwareIfNeeded(e, now);
    releaseHeld(e, now);
    return e;
}

Effects Conversation::sendRefused(TimePoint now) {
    Effects e;
    const Sent refused = m_lastSent;
    m_lastSent = Sent::Nothing;
    switch (refused) {
        case Sent::Id:
            m_firmwareAskedAt.reset();
            e.lines.push_back(text::kCouldntSendId);
            if (!m_firmwareKnown) {
                if (m_awaitingDump && !m_dumpAskedAt)
                    failDump(e, Failure::NoFirmware);
                if (m_downloadHeld)
                    refuseHeldDownload(e, Failure::NoFirmware);
            }
            break;
        case Sent::Gpi:
            e.lines.push_back(text::kCouldntSendGpi);
            break;
        case Sent::Dump:
            failDump(e, Failure::SendFailed);
            break;
        case Sent::Download:
            m_pausing = false;
            e.lines.push_back(text::kDownloadNotTaken);
            e.downloadRefused = Failure::SendFailed;
            // A Get held behind the download may go now.
            releaseHeld(e, now);
            break;
        case Sent::Nothing:
            break;
    }
    return e;
}

void Conversation::askFirmwareIfNeeded(Effects& e, TimePoint now) {
    // A transfer needs the pin size of this connection's box. Connect asks for it (at the end of its
    // wait); when that has not happened or found no answer, the transfer asks itself.
    if (m_firmwareKnown || m_firmwareAskedAt || m_connectWaitRunning)
        return;
    m_idOnLateConnect = false;
    sendId(e, now);
}

void Conversation::beforeRequest() {
    // The box answers requests in order. The rest of a message given up may still be on its way, ahead
    // of the answer to this request, or may never come: see arrived().
    if (m_discarding && !m_outOfStep)
        m_discardUntilReply = true;
}

void Conversation::sendId(Effects& e, TimePoint now) {
    beforeRequest();
    e.sends.emplace_back(kIdRequest.begin(), kIdRequest.end());
    m_lastSent = Sent::Id;
    if (!m_firmwareAskedAt)
        m_firmwareAskedAt = now;
}

void Conversation::sendDump(Effects& e, TimePoint now) {
    beforeRequest();
    e.sends.emplace_back(kDumpRequest.begin(), kDumpRequest.end());
    m_lastSent = Sent::Dump;
    m_dumpAskedAt = now;
    m_dumpBegun = false;
}

void Conversation::sendDownload(Effects& e, TimePoint now) {
    m_downloadHeld = false;
    EncodeResult built = BuildDownload(m_sheet);  // sized by this connection's firmware reply
    e.sheetChanged = true;
    if (!built.ok()) {
        e.lines.push_back(built.error);
        e.downloadRefused = Failure::BadSheet;
        return;
    }
    beforeRequest();
    e.sends.push_back(std::move(built.message));
    m_lastSent = Sent::Download;
    m_pausing = true;
    m_pauseEnd = now + m_limits.transferPause(m_sheet.GPIMsgLength);
}

void Conversation::releaseHeld(Effects& e, TimePoint now) {
    if (m_pausing || !m_firmwareKnown || !m_linkUp)
        return;
    if (m_downloadHeld) {
        sendDownload(e, now);
    } else if (m_awaitingDump && !m_dumpAskedAt) {
        // Not while a message is still arriving, or the line is out of step, for a while: what is still
        // coming would run into the answer.
        if (!m_held.empty() || m_outOfStep) {
            if (!m_lineWaitEnds)
                m_lineWaitEnds = now + m_limits.silence;
            if (now < *m_lineWaitEnds)
                return;
            if (!m_held.empty()) {
                giveUpHeld(e, now);  // and its rest is discarded
                if (!m_awaitingDump || m_dumpAskedAt)
                    return;
            }
        }
        m_lineWaitEnds.reset();
        sendDump(e, now);
    }
}

void Conversation::failDump(Effects& e, Failure why, std::size_t cutBytes) {
    m_awaitingDump = false;
    m_dumpAskedAt.reset();
    m_lineWaitEnds.reset();
    e.dumpFailed = why;
    e.cutBytes = cutBytes;
    if (!m_readIntoSheet) {
        e.lines.push_back(fill(text::kReadFailed, readFailure(why)));
        return;
    }
    // Every command string still empty gets back what it held before the request; a row typed into
    // since keeps what was typed.
    for (int row = 0; row < kPinCount; ++row) {
        if (m_sheet.pins[row].command.empty())
            m_sheet.pins[row].command = m_emptiedCommands[row];
    }
    e.sheetChanged = true;
    switch (why) {
        case Failure::GaveUp:
            e.lines.push_back(text::kDumpGaveUp);
            break;
        case Failure::Disconnected:
            e.lines.push_back(text::kDumpDisconnected);
            break;
        case Failure::TimedOut:
            e.lines.push_back(fill(text::kDumpTimedOut, secondsText(m_limits.replyStart)));
            break;
        case Failure::TooSlow:
            e.lines.push_back(fill(text::kDumpTooSlow, secondsText(m_limits.replyTotal)));
            break;
        case Failure::SendFailed:
            e.lines.push_back(text::kDumpNotTaken);
            break;
        case Failure::NoFirmware:
            e.lines.push_back(text::kDumpNoFirmware);
            break;
        default:
            e.lines.push_back(text::kDumpConnectionLost);
    }
}

void Conversation::failFirmware(Effects& e, Failure why) {
    m_firmwareAskedAt.reset();
    e.firmwareFailed = why;
    if (why == Failure::TooSlow || why == Failure::TimedOut)
        e.lines.push_back(fill(text::kFirmwareTimedOut, secondsText(m_limits.replyStart)));
    else
        e.lines.push_back(text::kFirmwareIncomplete);
    if (!m_firmwareKnown) {
        if (m_awaitingDump && !m_dumpAskedAt)
            failDump(e, Failure::NoFirmware);
        if (m_downloadHeld)
            refuseHeldDownload(e, Failure::NoFirmware);
    }
}

void Conversation::refuseHeldDownload(Effects& e, Failure why) {
    m_downloadHeld = false;
    e.downloadRefused = why;
    if (why == Failure::Disconnected)
        e.lines.push_back(text::kDownloadCancelled);
    else if (why == Failure::NoFirmware)
        e.lines.push_back(text::kDownloadNoFirmware);
    else
        e.lines.push_back(text::kCouldntSendDownload);
}

// ---------------------------------------------------------------------------------------------------
// Time

std::optional<TimePoint> Conversation::dumpDeadline() const {
    if (!m_awaitingDump || !m_dumpAskedAt)
        return std::nullopt;
    const bool begun = m_dumpBegun || (!m_held.empty() && startsWithWhole(m_held, kConfigHeader));
    return *m_dumpAskedAt + (begun ? m_limits.replyTotal : m_limits.replyStart);
}

std::optional<TimePoint> Conversation::firmwareDeadline() const {
    if (!m_firmwareAskedAt)
        return std::nullopt;
    const bool begun = !m_held.empty() && startsWithWhole(m_held, kFirmwareHeader);
    return *m_firmwareAskedAt + (begun ? m_limits.replyTotal : m_limits.replyStart);
}

std::optional<TimePoint> Conversation::wakeAt() const {
    std::optional<TimePoint> due;
    auto consider = [&](std::optional<TimePoint> t) {
        if (t && (!due || *t < *due))
            due = t;
    };
    if (!m_held.empty() || m_candidate || (m_discarding && m_discardEndsOnSilence))
        consider(m_lastByte + m_limits.silence);
    consider(dumpDeadline());
    consider(firmwareDeadline());
    if (m_pausing)
        consider(m_pauseEnd);
    if (m_awaitingDump && !m_dumpAskedAt && m_lineWaitEnds)
        consider(m_lineWaitEnds);
    return due;
}

Effects Conversation::advance(TimePoint now) {
    Effects e;
    if (m_candidate && now >= m_lastByte + m_limits.silence) {
        // The line is quiet: what began like the answer is read as the answer, whole or given up.
        m_held.swap(*m_candidate);
        m_altStart.reset();
        endDiscarding(e, m_discarded > 0 ? text::kTailDiscardedRequest : nullptr);
        frame(e, now);
    }
    if (!m_held.empty() && now >= m_lastByte + m_limits.silence) {
        if (m_altStart)
            frame(e, now, true);  // the second reading can no longer end where an arrival does
        if (!m_held.empty())
            giveUpHeld(e, now);
    }
    if (m_discarding && m_discardEndsOnSilence && now >= m_lastByte + m_limits.silence) {
        const char* line = m_outOfStep ? text::kOutOfStepDiscarded : text::kTailDiscardedQuiet;
        endDiscarding(e, m_discarded > 0 ? line : nullptr);
    }
    // Each limit gives up only a reply of its own kind: a firmware reply under way is not cut by the
    // dump's limit, nor a dump under way by the firmware's.
    if (const auto due = firmwareDeadline(); due && now >= *due) {
        const bool begun = !m_held.empty() && startsLike(m_held, kFirmwareHeader);
        if (begun)
            giveUpHeld(e, now);
        if (m_firmwareAskedAt)
            failFirmware(e, begun ? Failure::TooSlow : Failure::TimedOut);
    }
    if (const auto due = dumpDeadline(); due && now >= *due) {
        const bool begun = m_awaitingDump && !m_held.empty() && startsLike(m_held, kConfigHeader);
        const std::size_t cut = begun ? m_held.size() : 0;
        if (begun) {
            e.lines.push_back(fill(text::kPartialDropped, m_held.size()));
            clearHeld();
            // The rest is discarded as that of any message given up.
            m_discarding = true;
            m_discardQuiet = false;
            m_discardUntilReply = false;
            m_discardEndsOnSilence = false;
            m_discardLeft = configMessageSize(dumpLength()) - cut;
            m_discarded = 0;
            m_lastByte = now;
        }
        if (m_awaitingDump)
            failDump(e, begun ? Failure::TooSlow : Failure::TimedOut, cut);
    }
    if (m_pausing && now >= m_pauseEnd) {
        m_pausing = false;
        e.pauseEnded = m_linkUp;
    }
    releaseHeld(e, now);
    return e;
}

// ---------------------------------------------------------------------------------------------------
// Framing

std::uint8_t Conversation::dumpLength() const {
    return m_frameLength;
}

bool Conversation::beginsAwaitedReplyAt(std::span<const Byte> bytes, std::size_t at) const {
    if (bytes.size() <= at)
        return false;
    const std::span<const Byte> rest = bytes.subspan(at);
    if (m_awaitingDump && m_dumpAskedAt && startsLike(rest, kConfigHeader))
        return true;
    return m_firmwareAskedAt && startsLike(rest, kFirmwareHeader) &&
           (rest.size() < 2 || rest[1] == kGroupStatus) && (rest.size() < 4 || rest[3] == kTypeFirmware);
}

bool Conversation::beginsAwaitedReply(std::span<const Byte> arrival) const {
    // At the start of the arrival, or behind one status message.
    if (beginsAwaitedReplyAt(arrival, 0) && arrival.size() >= 3)
        return true;
    return isStatusMessage(arrival) && arrival.size() >= kStatusMessageLength + 3 &&
           beginsAwaitedReplyAt(arrival, kStatusMessageLength);
}

Effects Conversation::arrived(std::span<const Byte> bytes, TimePoint now) {
    Effects e;
    if (bytes.empty())
        return e;
    m_lastByte = now;
    // A message is framed at the size in force when its first byte came ("Read Short" may change).
    // Before this connection's box has told its firmware, a dump (never awaited then) may have either
    // size: it is held for the longer one and given up on silence, rather than cut at the shorter.
    if (m_held.empty() && !m_candidate)
        m_frameLength = m_firmwareKnown ? dumpReadLength(m_sheet) : kLongMsgLength;
    if (m_discarding)
        bytes = discard(e, bytes);
    if (startsWithWhole(m_held, kConfigHeader) && isWholeStatusArrival(bytes)) {
        // The box writes each message whole: it has moved on to another message, and the dump it
        // began was cut. Read on, its bytes would become the dump's.
        dropHeld(e, text::kPartialDropped);
    }
    if (!m_altStart && startsWithWhole(m_held, kConfigHeader) && startsWithWhole(bytes, kConfigHeader))
        m_altStart = m_held.size();
    m_arrivalStart = m_held.size();
    m_held.insert(m_held.end(), bytes.begin(), bytes.end());
    // Once the awaited dump has begun, its whole-reply limit applies, however it is framed after.
    m_dumpBegun = m_dumpBegun || (m_awaitingDump && m_dumpAskedAt && startsWithWhole(m_held, kConfigHeader));
    if (!m_held.empty())
        frame(e, now);
    releaseHeld(e, now);
    return e;
}

std::span<const Byte> Conversation::discard(Effects& e, std::span<const Byte> bytes) {
    // After a request of ours, what begins like its answer may be that answer (the rest never came)
    // or the rest of the dropped message, which the box sent first. Both readings are kept until the
    // bytes where the rest would end show which: the answer's header there means the rest came first.
    if (m_discardUntilReply && !m_candidate && beginsAwaitedReply(bytes)) {
        m_candidate.emplace();
        m_candidateRestLeft = m_discardLeft;
        m_candidateArrivals.clear();
    }
    if (!m_candidate) {
        const std::size_t take = std::min(bytes.size(), m_discardLeft);
        m_discarded += take;
        m_discardLeft -= take;
        if (m_discardLeft == 0)
            endDiscarding(e, m_discardQuiet ? nullptr : text::kTailDiscardedWhole);
        return bytes.subspan(take);
    }
    m_candidateArrivals.push_back(m_candidate->size());
    m_candidate->insert(m_candidate->end(), bytes.begin(), bytes.end());
    const std::span<const Byte> candidate(*m_candidate);
    const std::size_t rest = m_candidateRestLeft;
    // The answer is whole when it ends with this arrival; else the rest came first when the answer's
    // header stands where the rest ends; else the answer is whole when another message follows it.
    const std::size_t skip = beginsAwaitedReplyAt(candidate, 0) ? 0 : kStatusMessageLength;
    const std::size_t whole = skip + requiredLength(candidate.subspan(skip), dumpLength());
    // Where the answer begins if the rest came first: behind it and any status messages after it.
    std::size_t after = rest;
    while (!beginsAwaitedReplyAt(candidate, after) && candidate.size() >= after + kStatusMessageLength &&
           startsLikeMessage(candidate.subspan(after)) && candidate[after + 1] == kGroupStatus) {
        after += candidate[after + 3] == kTypeFirmware ? kFirmwareReplyLength : kStatusMessageLength;
    }
    const bool seen = candidate.size() >= after + kConfigHeader.size();
    // A later arrival that begins like the answer and ends exactly here is the answer: the box writes
    // each message whole, and what came before it was the rest and a message cut short.
    for (const std::size_t k : m_candidateArrivals) {
        if (k > 0 && beginsAwaitedReplyAt(candidate, k) &&
            k + requiredLength(candidate.subspan(k), dumpLength()) == candidate.size()) {
            m_discarded += k;
            std::vector<Byte> answer(candidate.begin() + static_cast<std::ptrdiff_t>(k), candidate.end());
            endDiscarding(e, text::kTailDiscardedWhole);
            m_held = std::move(answer);
            m_altStart.reset();
            return {};
        }
    }
    if (candidate.size() < whole)
        return {};
    // Where the rest would end an arrival begins, and only whole status messages follow to the end:
    // the box wrote those messages one by one, and the answer is still to come. (Read as the answer,
    // they would have cut it at every one of their own boundaries.)
    const bool restEndsAnArrival =
        rest > 0 &&
        std::find(m_candidateArrivals.begin(), m_candidateArrivals.end(), rest) != m_candidateArrivals.end();
    const bool onlyStatusAfterRest = restEndsAnArrival && after == candidate.size() && after > rest;
    const bool endsHere = candidate.size() == whole && !onlyStatusAfterRest;
    const bool restFirst =
        onlyStatusAfterRest || (!endsHere && seen && beginsAwaitedReplyAt(candidate, after));
    if (!endsHere && !restFirst && !startsLikeMessage(candidate.subspan(whole))) {
        if (!seen)
            return {};  // not yet decided
        // Neither reading holds: no header where the rest would end, no message behind the answer.
        m_discarded += candidate.size();
        loseStep(m_lastByte);
        return {};
    }
    std::vector<Byte> answer;
    answer.swap(*m_candidate);
    m_candidate.reset();
    if (restFirst) {
        after = std::min(after, answer.size());
        m_discarded += after;  // the status messages between the rest and the answer go with the rest
        answer.erase(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(after));
        endDiscarding(e, text::kTailDiscardedWhole);
    } else {
        endDiscarding(e, m_discarded > 0 ? text::kTailDiscardedRequest : nullptr);
    }
    m_held = std::move(answer);
    m_altStart.reset();
    return {};
}

void Conversation::frame(Effects& e, TimePoint now, bool quiet) {
    for (;;) {
        const std::size_t need = requiredLength(m_held, dumpLength());
        if (need != 0 && m_held.size() < need)
            return;  // a known kind, not complete yet
        if (!isStatusMessage(m_held)) {
            // Everything held is one message: a dump or firmware reply with whatever followed it in
            // its arrival, or bytes of no known kind. Only another dump or firmware reply behind it is
            // read on its own: cut off, its rest would be taken for messages.
            // A dump read short from a box that told a longer size may have a rest of its own.
            std::size_t whole = need;
            if (need != 0 && startsWithWhole(m_held, kConfigHeader) && m_firmwareKnown)
                whole = std::max(whole, configMessageSize(msgLengthForFirmware(m_sheet.FirmwareVersion)));
            if (m_altStart && m_held.size() != whole && startsWithWhole(m_held, kConfigHeader)) {
                // An arrival began with a dump's header inside this dump: that header is a look-alike
                // in its command bytes (the split fell just before it), or this dump's head was cut
                // and the box began another. A box writes each message whole, so the reading that
                // ends where an arrival ends is the box's; while the second may still, it waits.
                const std::size_t alt = *m_altStart;
                if (m_held.size() == alt + whole) {
                    e.lines.push_back(fill(text::kPartialDropped, alt));
                    m_held.erase(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(alt));
                    m_arrivalStart = m_arrivalStart > alt ? m_arrivalStart - alt : 0;
                    m_altStart.reset();
                    continue;
                }
                if (m_held.size() < alt + whole && !quiet)
                    return;
                if (m_arrivalStart != whole) {
                    // Neither reading ends where an arrival does.
                    dropOutOfStep(e, now);
                    return;
                }
            }
            m_altStart.reset();
            std::size_t end = m_held.size();
            if (need != 0 && end > whole && m_arrivalStart > 0 &&
                !mayStartMessage(std::span<const Byte>(m_held).subspan(whole))) {
                // Put together from several arrivals, it ends inside the last one with bytes of no
                // known kind behind it: its header was a look-alike inside some other message's bytes,
                // or its beginning the head of a message whose rest never came. (One arrival longer
                // than its message is read as that message.)
                dropOutOfStep(e, now);
                return;
            }
            if (need != 0 && end > whole &&
                (startsLike(std::span<const Byte>(m_held).subspan(whole), kConfigHeader) ||
                 startsLike(std::span<const Byte>(m_held).subspan(whole), kFirmwareHeader)) &&
                end - whole >= kConfigHeader.size())
                end = whole;
            std::vector<Byte> message(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(end));
            m_held.erase(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(end));
            if (end < whole) {
                // Whether that rest comes is the box's secret ("Read Short" is for boxes that send
                // the short size): what follows within a silence, up to its length, is taken for it.
                m_discarding = true;
                m_discardEndsOnSilence = true;
                m_discardQuiet = true;
                m_discardUntilReply = false;
                m_discardLeft = whole - end;
                m_discarded = 0;
                m_lastByte = now;
            }
            handleMessage(e, message);
            m_arrivalStart = 0;
            if (need == 0 && message.front() != kStartByte) {
                // Every message begins with the start byte: these bytes are the middle of one, and the
                // box's messages are out of step with the framing. (A message of a kind unknown here,
                // start byte first, leaves the framing as it is.)
                clearHeld();
                m_discarded = 0;
                loseStep(now);
                return;
            }
            if (m_held.empty())
                return;
            continue;
        }
        // A status message. What followed it in the same arrival is its payload or another message,
        // ignored, unless an awaited reply starts there.
        const std::vector<Byte> rest(m_held.begin() + kStatusMessageLength, m_held.end());
        m_held.resize(kStatusMessageLength);
        handleMessage(e, m_held);
        clearHeld();
        std::size_t at = rest.size();
        // Another dump or firmware reply right behind it is read too: dropped, its rest would be taken
        // for messages of their own.
        const std::span<const Byte> next(rest);
        if (next.size() >= kConfigHeader.size() &&
            (startsLike(next, kConfigHeader) || startsLike(next, kFirmwareHeader)))
            at = 0;
        else if (m_awaitingDump && m_dumpAskedAt)
            at = awaitedStart(rest, kConfigHeader, configMessageSize(dumpLength()));
        if (at == rest.size() && m_firmwareAskedAt)
            at = awaitedStart(rest, kFirmwareHeader, kFirmwareReplyLength);
        if (at == rest.size())
            return;
        m_held.assign(rest.begin() + static_cast<std::ptrdiff_t>(at), rest.end());
    }
}

void Conversation::handleMessage(Effects& e, std::span<const Byte> message) {
    // A dump is read at the size it was framed at, even if "Read Short" changed while it came.
    ParsedReply reply;
    if (startsWithWhole(message, kConfigHeader) && m_frameLength != dumpReadLength(m_sheet)) {
        Sheet framed = m_sheet;
        framed.readShort = m_frameLength == kShortMsgLength;
        if (!framed.readShort)
            framed.GPIMsgLength = m_frameLength;
        reply = ParseReply(message, framed);
        reply.msgLength = msgLengthForFirmware(m_sheet.FirmwareVersion);
    } else {
        reply = ParseReply(message, m_sheet);
    }
    switch (reply.kind) {
        case ReplyKind::Firmware:
            if (!m_firmwareAskedAt) {
                e.lines.push_back(fill(text::kFirmwareUnasked, reply.line));
                return;
            }
            m_firmwareAskedAt.reset();
            m_firmwareKnown = true;
            applyReply(m_sheet, reply);
            e.firmwareText = reply.firmwareText;
            e.lines.push_back(reply.line);
            releaseHeld(e, m_lastByte);
            return;
        case ReplyKind::Dump:
            if (!m_awaitingDump || !m_dumpAskedAt) {
                e.lines.push_back(fill(text::kDumpUnasked, reply.line));
                return;
            }
            m_awaitingDump = false;
            m_dumpAskedAt.reset();
            e.dump.emplace(message.begin(), message.end());
            e.lines.push_back(reply.line);
            if (m_readIntoSheet) {
                applyReply(m_sheet, reply);
                e.sheetChanged = true;
            } else {
                e.programming = std::move(reply.config);
            }
            return;
        default:
            e.lines.push_back(reply.line);
    }
}

void Conversation::giveUpHeld(Effects& e, TimePoint now) {
    const std::size_t cut = m_held.size();
    const bool awaitedDump = m_awaitingDump && m_dumpAskedAt && startsLike(m_held, kConfigHeader);
    const bool awaitedFirmware =
        m_firmwareAskedAt && startsLike(m_held, kFirmwareHeader) && cut >= 2 && m_held[1] == kGroupStatus;
    const Remaining remaining = remainingOf(m_held, dumpLength());
    e.lines.push_back(fill(text::kPartialDropped, cut));
    clearHeld();
    m_discarding = true;
    m_discardQuiet = false;
    m_discardUntilReply = false;
    m_discardEndsOnSilence = !remaining.settled;
    m_discardLeft = remaining.total > cut ? remaining.total - cut : 0;
    m_discarded = 0;
    // The discarding lasts at least until the line has been quiet for a whole silence from now.
    m_lastByte = now;
    if (m_discardLeft == 0)
        m_discarding = false;
    if (awaitedDump)
        failDump(e, Failure::GaveUp, cut);
    if (awaitedFirmware)
        failFirmware(e, Failure::GaveUp);
    releaseHeld(e, now);
}

void Conversation::clearHeld() {
    m_held.clear();
    m_altStart.reset();
    m_arrivalStart = 0;
}

void Conversation::dropHeld(Effects& e, const char* line) {
    const std::size_t dropped = m_held.size();
    const bool awaitedDump = m_awaitingDump && m_dumpAskedAt && startsLike(m_held, kConfigHeader);
    const bool awaitedFirmware = m_firmwareAskedAt && startsLike(m_held, kFirmwareHeader);
    e.lines.push_back(fill(line, dropped));
    clearHeld();
    if (awaitedDump)
        failDump(e, Failure::GaveUp, dropped);
    if (awaitedFirmware)
        failFirmware(e, Failure::GaveUp);
}

void Conversation::dropOutOfStep(Effects& e, TimePoint now) {
    m_discarded = 0;
    loseStep(now);
    dropHeld(e, text::kNotFramed);
}

void Conversation::loseStep(TimePoint now) {
    // A header inside what follows may be the middle of a message (a look-alike in its command bytes):
    // nothing is believed until the line has been quiet, and no request's answer is looked for in it.
    m_discarding = true;
    m_discardEndsOnSilence = true;
    m_discardQuiet = false;
    m_discardUntilReply = false;
    m_candidate.reset();
    m_outOfStep = true;
    m_discardLeft = std::numeric_limits<std::size_t>::max();
    m_lastByte = now;
}

void Conversation::endDiscarding(Effects& e, const char* line) {
    if (line && !m_discardQuiet)
        e.lines.push_back(fill(line, m_discarded));
    m_discarding = false;
    m_discardQuiet = false;
    m_discardUntilReply = false;
    m_outOfStep = false;
    m_candidate.reset();
    m_discardLeft = 0;
    m_discarded = 0;
}

}  // namespace zeze
