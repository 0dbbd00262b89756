// The conversation with a box: requests and the replies they await, the confirmation of replies the
// framing cannot vouch for, and the transfer pause.
//
// The states and what moves them, in one place:
//
//   link        Down --connecting--> Connecting --connectionUp--> UpInWait --wait over--> Up (ID asked)
//               Connecting --wait over, no connection--> Late --connectionUp--> Up (ID asked)
//               any --disconnect, connection lost--> Down (what was awaited fails; firmware Unknown)
//   firmware    Unknown --firmware reply believed--> Known (sizes dumps and downloads)
//               the ID ask: held --line at rest--> sent --a reply framed, or one dropped--> window
//               open --line at rest: one reply, certain, or one agreeing with the window before-->
//               believed; in doubt --> held again (at most kMaxAsks requests); limits, an exact reply
//               cut, or the connection lost --> fails (a transfer held for it fails too)
//   transfer    Idle --Get, Compare--> Reading (request held until the firmware is known and the line
//               rests, then sent; its reply settles like the ID's) --believed--> Idle (values applied)
//               Idle --Send--> DownloadHeld (until the firmware is known) --sent--> Pausing --pause
//               over--> Idle, or Reading when a read (verify) was asked for meanwhile
//               Reading --limit, cut, unconfirmed, lost--> Idle (the sheet put back)
//
// A reply is believed on its own when it was the only one, began where a message certainly begins,
// after its request, and the line then came to rest behind it with nothing dropped (a reply misread
// from a look-alike leaves the real message's rest behind it, which never comes to rest cleanly). A
// reply with bytes of no message right behind it is no reply. Anything else asks again, and a reply is
// believed when it is the one reply, byte for byte, that two requests' windows have in common.
#include "protocol/conversation.h"

#include <algorithm>

#include "protocol/config_record.h"
#include "protocol/conversation_text.h"
#include "protocol/reply_parser.h"

namespace zeze {
namespace {

// The first place past its start where a reply's own header begins again (its first bytes only, at
// the reply's very end); 0 when there is none.
std::size_t headerAgainAt(const std::vector<Byte>& bytes, MessageKind kind) {
    const std::size_t header = kind == MessageKind::Firmware ? kStatusMessageLength : kConfigHeader.size();
    for (std::size_t at = 1; at < bytes.size(); ++at) {
        const std::size_t n = std::min(header, bytes.size() - at);
        if (std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at)))
            return at;
    }
    return 0;
}

std::string fill(const char* pattern, const std::string& value) {
    std::string line = pattern;
    if (const auto at = line.find("%1"); at != std::string::npos)
        line.replace(at, 2, value);
    return line;
}

std::string fill(const char* pattern, std::size_t number) {
    return fill(pattern, std::to_string(number));
}

// "Dump data, 1448 bytes": the line of a dump reply of any size.
std::string dumpLine(const std::vector<Byte>& message) {
    Sheet sized;
    sized.GPIMsgLength =
        message.size() >= configMessageSize(kLongMsgLength) ? kLongMsgLength : kShortMsgLength;
    return ParseReply(message, sized).line;
}

FramerTiming framerTiming(const ConversationLimits& limits) {
    FramerTiming timing;
    timing.settle = limits.settle;
    timing.silence = limits.silence;
    return timing;
}

void earliest(std::optional<TimePoint>& due, std::optional<TimePoint> t) {
    if (t && (!due || *t < *due))
        due = t;
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

void SheetChange::append(SheetChange&& later) {
    emptyCommands = emptyCommands || later.emptyCommands;
    if (later.putBack)
        putBack = std::move(later.putBack);
    if (later.values)
        values = std::move(later.values);
    if (later.sentCommands)
        sentCommands = std::move(later.sentCommands);
    if (later.firmwareVersion)
        firmwareVersion = later.firmwareVersion;
    if (later.msgLength)
        msgLength = later.msgLength;
}

void applySheetChange(Sheet& sheet, const SheetChange& change) {
    if (change.emptyCommands) {
        for (PinRow& pin : sheet.pins)
            pin.command.clear();
    }
    if (change.putBack) {
        for (int row = 0; row < kPinCount; ++row) {
            if (sheet.pins[row].command.empty())
                sheet.pins[row].command = (*change.putBack)[row];
        }
    }
    if (change.values)
        applyConfigValues(sheet, *change.values);
    if (change.sentCommands) {
        for (int row = 0; row < kPinCount; ++row)
            sheet.pins[row].command = (*change.sentCommands)[row];
        sheet.readShort = false;
    }
    if (change.firmwareVersion)
        sheet.FirmwareVersion = *change.firmwareVersion;
    if (change.msgLength)
        sheet.GPIMsgLength = *change.msgLength;
}

void Effects::append(Effects&& more) {
    lines.insert(lines.end(), std::make_move_iterator(more.lines.begin()),
                 std::make_move_iterator(more.lines.end()));
    sends.insert(sends.end(), std::make_move_iterator(more.sends.begin()),
                 std::make_move_iterator(more.sends.end()));
    sheet.append(std::move(more.sheet));
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

Conversation::Conversation(const ConversationLimits& limits)
    : m_limits(limits), m_framer(framerTiming(limits)) {}

void Conversation::syncFramer() {
    // Dumps are framed at the size they are read at; a long box read short may send more.
    const std::size_t boxSize = configMessageSize(msgLengthForFirmware(m_firmwareVersion));
    const std::size_t readSize = m_readShort ? configMessageSize(kShortMsgLength) : boxSize;
    if (firmwareKnown())
        m_framer.setDumpLength(readSize, readSize < boxSize);
    else
        m_framer.setDumpLength(0);
    m_framer.setDumpAwaited(dumpAsked());
}

Sheet Conversation::readingSheet() const {
    Sheet sheet;
    sheet.FirmwareVersion = m_firmwareVersion;
    sheet.GPIMsgLength = msgLengthForFirmware(m_firmwareVersion);
    sheet.readShort = m_readShort;
    return sheet;
}

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
        case Failure::Unconfirmed:
            return "no two of the box's replies agreed, so none could be trusted";
        default:
            return "the connection ended";
    }
}

// ---------------------------------------------------------------------------------------------------
// The transfer's read, wherever it waits

Conversation::Read* Conversation::activeRead() {
    if (auto* reading = std::get_if<Reading>(&m_transfer))
        return &reading->read;
    return nullptr;
}

const Conversation::Read* Conversation::activeRead() const {
    if (const auto* reading = std::get_if<Reading>(&m_transfer))
        return &reading->read;
    return nullptr;
}

const Conversation::Read* Conversation::queuedRead() const {
    if (const auto* held = std::get_if<DownloadHeld>(&m_transfer); held && held->then)
        return &*held->then;
    if (const auto* pausing = std::get_if<Pausing>(&m_transfer); pausing && pausing->then)
        return &*pausing->then;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------------
// The connection

void Conversation::markUp() {
    if (m_link != LinkState::UpInWait)
        m_link = LinkState::Up;
}

Effects Conversation::connecting(TimePoint now) {
    Effects e;
    endConnection(e, Failure::ConnectionLost);
    m_link = LinkState::Connecting;
    m_framer.reset(now);
    return e;
}

Effects Conversation::connectWaitOver(bool connected, TimePoint now) {
    Effects e;
    if (connected) {
        m_link = LinkState::Up;
        e.lines.push_back(text::kSuccess);
        // Unless the box is storing a download (after a Request ID during the wait): then nothing may
        // go to it now, and nothing needs to.
        if (!pausing())
            startIdAsk(e, now);
    } else {
        e.lines.push_back(text::kCouldntSendId);
        // The attempt goes on; a connection that completes later still asks for the firmware.
        m_link = LinkState::Late;
        // A transfer clicked during the wait found a connection that is gone now.
        if (activeRead() || queuedRead())
            failRead(e, Failure::ConnectionLost);
        if (std::holds_alternative<DownloadHeld>(m_transfer))
            refuseHeldDownload(e, Failure::ConnectionLost);
    }
    release(e, now);
    return e;
}

Effects Conversation::connectionUp(TimePoint now) {
    Effects e;
    if (m_link == LinkState::Connecting) {
        m_link = LinkState::UpInWait;
    } else if (m_link == LinkState::Late) {
        m_link = LinkState::Up;
        e.lines.push_back(text::kIdOnLateConnect);
        startIdAsk(e, now);
        release(e, now);
    } else {
        markUp();
    }
    return e;
}

Effects Conversation::connectionLost(TimePoint now, bool alreadySaid) {
    Effects e;
    if ((m_link == LinkState::Down || m_link == LinkState::Late) && !transferWaiting())
        return e;
    if (!alreadySaid && linkUp())
        e.lines.push_back(text::kConnectionLost);
    endConnection(e, Failure::ConnectionLost);
    m_framer.reset(now);
    return e;
}

Effects Conversation::disconnect(TimePoint now) {
    Effects e;
    endConnection(e, Failure::Disconnected);
    m_framer.reset(now);
    m_firmwareVersion = 0;
    e.sheet.firmwareVersion = 0;
    return e;
}

void Conversation::endConnection(Effects& e, Failure why) {
    if (activeRead() || queuedRead())
        failRead(e, why);
    if (std::holds_alternative<DownloadHeld>(m_transfer))
        refuseHeldDownload(e, why);
    if (pausing()) {
        e.pauseEnded = false;
        if (why == Failure::ConnectionLost)
            e.lines.push_back(text::kDownloadConnectionLost);
    }
    m_transfer = Idle{};
    m_idAsk.reset();
    m_firmware = FirmwareState::Unknown;
    m_framer.setDumpLength(0);
    m_link = LinkState::Down;
    m_lastSent = Sent::Nothing;
}

// ---------------------------------------------------------------------------------------------------
// Requests

Effects Conversation::requestId(bool connected, TimePoint now) {
    Effects e;
    if (!connected) {
        e.lines.push_back(text::kCouldntSendId);
    } else if (pausing()) {
        e.lines.push_back(text::kRequestDuringPause);
    } else {
        markUp();
        startIdAsk(e, now);  // one ID exchange at a time: a second click while one runs adds nothing
        release(e, now);
    }
    return e;
}

Effects Conversation::requestGpi(bool connected, TimePoint now) {
    Effects e;
    (void)now;
    if (!connected) {
        e.lines.push_back(text::kCouldntSendGpi);
    } else if (pausing()) {
        e.lines.push_back(text::kRequestDuringPause);
    } else {
        markUp();
        e.sends.emplace_back(kGpiRequest.begin(), kGpiRequest.end());
        m_lastSent = Sent::Gpi;
    }
    return e;
}

Effects Conversation::requestDump(bool connected, TimePoint now, const Sheet& sheet, Confirm confirm) {
    return requestRead(connected, &sheet, confirm, now);
}

Effects Conversation::requestProgramming(bool connected, TimePoint now, Confirm confirm) {
    return requestRead(connected, nullptr, confirm, now);
}

Effects Conversation::requestRead(bool connected, const Sheet* intoSheet, Confirm confirm, TimePoint now) {
    Effects e;
    if (!connected) {
        e.lines.push_back(text::kCouldntSendDump);
        if (!intoSheet)
            e.dumpFailed = Failure::NotConnected;
        return e;
    }
    if (activeRead() || queuedRead()) {
        // One read at a time; a Get keeps the first request's copy of the commands.
        if (!intoSheet)
            e.dumpFailed = Failure::Busy;
        return e;
    }
    markUp();
    Read read;
    read.intoSheet = intoSheet != nullptr;
    read.ask.confirm = confirm;
    read.ask.holdSince = now;
    if (intoSheet) {
        for (int row = 0; row < kPinCount; ++row)
            read.emptied[row] = intoSheet->pins[row].command;
        e.sheet.emptyCommands = true;
    }
    if (auto* held = std::get_if<DownloadHeld>(&m_transfer))
        held->then = std::move(read);
    else if (auto* pause = std::get_if<Pausing>(&m_transfer))
        pause->then = std::move(read);
    else
        m_transfer = Reading{std::move(read)};
    askFirmwareIfNeeded(e, now);
    release(e, now);
    return e;
}

Effects Conversation::download(bool connected, TimePoint now, const Sheet& sheet) {
    Effects e;
    if (pausing() || std::holds_alternative<DownloadHeld>(m_transfer)) {
        e.lines.push_back(text::kDownloadBusy);
        e.downloadRefused = Failure::Busy;
        return e;
    }
    if (activeRead()) {
        e.lines.push_back(text::kDownloadWhileAwaitingDump);
        e.downloadRefused = Failure::Busy;
        return e;
    }
    // The commands are made canonical in the sheet whether or not anything is sent.
    ConfigValues values = canonicalValuesOf(sheet);
    const std::uint8_t msgLength = msgLengthForFirmware(m_firmwareVersion);
    if (const EncodeResult built = EncodeConfigMessage(values, msgLength); !built.ok()) {
        e.lines.push_back(built.error);
        e.downloadRefused = Failure::BadSheet;
        return e;
    }
    m_readShort = false;
    e.sheet.msgLength = msgLength;
    e.sheet.sentCommands.emplace();
    for (int row = 0; row < kPinCount; ++row)
        (*e.sheet.sentCommands)[row] = values.pins[row].command;
    if (!connected) {
        e.lines.push_back(text::kCouldntSendDownload);
        e.downloadRefused = Failure::NotConnected;
        return e;
    }
    markUp();
    m_transfer = DownloadHeld{std::move(values), std::nullopt};
    askFirmwareIfNeeded(e, now);
    release(e, now);
    return e;
}

Effects Conversation::sendRefused(TimePoint now) {
    Effects e;
    const Sent refused = m_lastSent;
    m_lastSent = Sent::Nothing;
    switch (refused) {
        case Sent::Id:
            m_idAsk.reset();
            e.lines.push_back(text::kCouldntSendId);
            if (!firmwareKnown()) {
                if (const Read* read = activeRead(); read && !read->ask.askedAt)
                    failRead(e, Failure::NoFirmware);
                if (std::holds_alternative<DownloadHeld>(m_transfer))
                    refuseHeldDownload(e, Failure::NoFirmware);
            }
            break;
        case Sent::Gpi:
            e.lines.push_back(text::kCouldntSendGpi);
            break;
        case Sent::Dump:
            failRead(e, Failure::SendFailed);
            break;
        case Sent::Download:
            if (auto* pause = std::get_if<Pausing>(&m_transfer)) {
                std::optional<Read> then = std::move(pause->then);
                m_transfer = then ? Transfer{Reading{std::move(*then)}} : Transfer{Idle{}};
            }
            e.lines.push_back(text::kDownloadNotTaken);
            e.downloadRefused = Failure::SendFailed;
            release(e, now);  // a read held behind the download may go now
            break;
        case Sent::Nothing:
            break;
    }
    return e;
}

void Conversation::askFirmwareIfNeeded(Effects& e, TimePoint now) {
    // A transfer needs the pin size of this connection's box. Connect asks for it (at the end of its
    // wait); when that has not happened or found no answer, the transfer asks itself.
    if (firmwareKnown() || m_link == LinkState::Connecting || m_link == LinkState::UpInWait)
        return;
    startIdAsk(e, now);
}

void Conversation::startIdAsk(Effects& e, TimePoint now) {
    (void)e;
    if (m_idAsk)
        return;
    m_idAsk.emplace();
    m_idAsk->holdSince = now;
}

bool Conversation::mayAsk(const Ask& ask, TimePoint now) const {
    // A request goes out when the line is at rest, so that its reply begins where a message certainly
    // begins; on a line that never rests, after a silence regardless (its reply is then confirmed).
    return !ask.askedAt && !ask.windowOpen &&
           (m_framer.atRest(now) || now >= ask.holdSince + m_limits.silence);
}

void Conversation::sendRequest(Effects& e, Ask& ask, const std::array<Byte, 3>& request, Sent sent,
                               TimePoint now) {
    e.sends.emplace_back(request.begin(), request.end());
    m_lastSent = sent;
    if (ask.asks == 0)
        ask.firstAsked = now;
    ++ask.asks;
    ask.askedAt = now;
}

void Conversation::release(Effects& e, TimePoint now) {
    if (pausing() || !linkUp() || m_link == LinkState::UpInWait)
        return;
    if (m_idAsk && mayAsk(*m_idAsk, now))
        sendRequest(e, *m_idAsk, kIdRequest, Sent::Id, now);
    if (!firmwareKnown())
        return;
    if (std::holds_alternative<DownloadHeld>(m_transfer)) {
        sendDownload(e, now);
        return;
    }
    if (Read* read = activeRead(); read && mayAsk(read->ask, now))
        sendRequest(e, read->ask, kDumpRequest, Sent::Dump, now);
}

void Conversation::sendDownload(Effects& e, TimePoint now) {
    DownloadHeld& held = std::get<DownloadHeld>(m_transfer);
    std::optional<Read> then = std::move(held.then);
    // Sized by this connection's firmware reply.
    const std::uint8_t msgLength = msgLengthForFirmware(m_firmwareVersion);
    EncodeResult built = EncodeConfigMessage(held.values, msgLength);
    e.sheet.msgLength = msgLength;
    if (!built.ok()) {
        e.lines.push_back(built.error);
        e.downloadRefused = Failure::BadSheet;
        m_transfer = then ? Transfer{Reading{std::move(*then)}} : Transfer{Idle{}};
        return;
    }
    e.sends.push_back(std::move(built.message));
    m_lastSent = Sent::Download;
    m_transfer = Pausing{now + m_limits.transferPause(msgLength), std::move(then)};
}

// ---------------------------------------------------------------------------------------------------
// Failures

void Conversation::failRead(Effects& e, Failure why, std::size_t cutBytes) {
    std::optional<Read> taken;
    if (auto* reading = std::get_if<Reading>(&m_transfer)) {
        taken = std::move(reading->read);
        m_transfer = Idle{};
    } else if (auto* held = std::get_if<DownloadHeld>(&m_transfer)) {
        taken = std::move(held->then);
        held->then.reset();
    } else if (auto* pause = std::get_if<Pausing>(&m_transfer)) {
        taken = std::move(pause->then);
        pause->then.reset();
    }
    if (!taken)
        return;
    e.dumpFailed = why;
    e.cutBytes = cutBytes;
    if (!taken->intoSheet) {
        e.lines.push_back(fill(text::kReadFailed, readFailure(why)));
        return;
    }
    e.sheet.putBack = taken->emptied;
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
        case Failure::Unconfirmed:
            e.lines.push_back(text::kDumpUnconfirmed);
            break;
        default:
            e.lines.push_back(text::kDumpConnectionLost);
    }
}

void Conversation::failFirmware(Effects& e, Failure why) {
    m_idAsk.reset();
    e.firmwareFailed = why;
    if (why == Failure::TooSlow || why == Failure::TimedOut)
        e.lines.push_back(fill(text::kFirmwareTimedOut, secondsText(m_limits.replyStart)));
    else if (why == Failure::Unconfirmed)
        e.lines.push_back(text::kFirmwareUnconfirmed);
    else
        e.lines.push_back(text::kFirmwareIncomplete);
    if (!firmwareKnown()) {
        if (const Read* read = activeRead(); read && !read->ask.askedAt)
            failRead(e, Failure::NoFirmware);
        if (std::holds_alternative<DownloadHeld>(m_transfer))
            refuseHeldDownload(e, Failure::NoFirmware);
    }
}

void Conversation::refuseHeldDownload(Effects& e, Failure why) {
    std::optional<Read> then = std::move(std::get<DownloadHeld>(m_transfer).then);
    m_transfer = then ? Transfer{Reading{std::move(*then)}} : Transfer{Idle{}};
    e.downloadRefused = why;
    if (why == Failure::Disconnected)
        e.lines.push_back(text::kDownloadCancelled);
    else if (why == Failure::NoFirmware)
        e.lines.push_back(text::kDownloadNoFirmware);
    else
        e.lines.push_back(text::kCouldntSendDownload);
}

// ---------------------------------------------------------------------------------------------------
// What the box sends

Effects Conversation::arrived(std::span<const Byte> bytes, TimePoint now) {
    Effects e;
    if (bytes.empty())
        return e;
    syncFramer();
    const std::uint64_t from = m_framer.position();
    take(e, m_framer.feed(bytes, now), now);
    noteBytesBehind(bytes, from);
    step(e, now);
    return e;
}

Effects Conversation::advance(TimePoint now) {
    Effects e;
    syncFramer();
    take(e, m_framer.advance(now), now);
    step(e, now);
    return e;
}

void Conversation::take(Effects& e, FramerEvents events, TimePoint now) {
    for (const FramerEvent& event : events) {
        if (const auto* message = std::get_if<Message>(&event))
            onMessage(e, *message, now);
        else
            onDrop(e, std::get<Drop>(event), now);
    }
}

void Conversation::noteReply(Ask& ask, const Message& message, TimePoint now) {
    if (!ask.windowOpen) {
        ask.windowOpen = true;
        ask.openedAt = now;
    }
    // Read short when framed short (Read Short was on when its header came), or when it is on now.
    const bool framedShort =
        message.bytes.size() < configMessageSize(msgLengthForFirmware(m_firmwareVersion));
    ask.window.push_back(Reply{message.bytes, message.footing, m_readShort || framedShort, message.end,
                               headerAgainAt(message.bytes, message.kind), {}});
    ask.lastIsReply = true;
}

void Conversation::noteBytesBehind(std::span<const Byte> bytes, std::uint64_t from) {
    for (Ask* ask : {m_idAsk ? &*m_idAsk : nullptr, activeRead() ? &activeRead()->ask : nullptr}) {
        if (!ask)
            continue;
        for (Reply& r : ask->window) {
            const std::uint64_t next = r.end + r.behind.size();
            if (r.headerAgainAt == 0 || r.behind.size() > r.headerAgainAt || next < from ||
                next >= from + bytes.size())
                continue;
            const std::size_t at = static_cast<std::size_t>(next - from);
            const std::size_t n = std::min(r.headerAgainAt + 1 - r.behind.size(), bytes.size() - at);
            r.behind.insert(r.behind.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
    }
}

void Conversation::noteDrop(Ask& ask, TimePoint now) {
    if (!ask.askedAt)
        return;
    ask.disturbed = true;
    if (ask.lastIsReply) {
        // Bytes that begin no message right behind it: it was a look-alike inside some other message.
        ask.window.pop_back();
        ask.lastIsReply = false;
    }
    // The reply may have been among what was dropped: when the line rests, it is asked for again.
    if (!ask.windowOpen) {
        ask.windowOpen = true;
        ask.openedAt = now;
    }
}

void Conversation::onMessage(Effects& e, const Message& message, TimePoint now) {
    const auto answers = [&](const Ask& ask) { return ask.askedAt && message.began >= *ask.askedAt; };
    Ask* idAsk = m_idAsk ? &*m_idAsk : nullptr;
    Ask* readAsk = activeRead() ? &activeRead()->ask : nullptr;
    for (Ask* ask : {idAsk, readAsk}) {
        if (ask)
            ask->lastIsReply = false;
    }
    switch (message.kind) {
        case MessageKind::Firmware:
            if (idAsk && answers(*idAsk))
                return noteReply(*idAsk, message, now);
            e.lines.push_back(fill(text::kFirmwareUnasked, ParseReply(message.bytes, readingSheet()).line));
            return;
        case MessageKind::Dump:
            if (readAsk && answers(*readAsk))
                return noteReply(*readAsk, message, now);
            e.lines.push_back(fill(text::kDumpUnasked, dumpLine(message.bytes)));
            return;
        case MessageKind::Status:
        case MessageKind::Unknown:
            e.lines.push_back(ParseReply(message.bytes, readingSheet()).line);
            return;
    }
}

void Conversation::onDrop(Effects& e, const Drop& drop, TimePoint now) {
    e.lines.push_back(
        fill(drop.reason == DropReason::Cut ? text::kPartialDropped : text::kOutOfStepDropped, drop.count));
    if (m_idAsk)
        noteDrop(*m_idAsk, now);
    if (Read* read = activeRead())
        noteDrop(read->ask, now);
    // The awaited reply itself stopped half-way. Begun where a message certainly begins it was the
    // box's, and the read fails; otherwise it may have been a look-alike, and the line's rest decides.
    const auto cutReply = [&](const Ask& ask, MessageKind kind) {
        return drop.kind == kind && ask.askedAt && drop.began >= *ask.askedAt;
    };
    if (m_idAsk && cutReply(*m_idAsk, MessageKind::Firmware)) {
        if (drop.footing == Footing::Exact)
            failFirmware(e, Failure::GaveUp);
        else if (!m_idAsk->windowOpen)
            m_idAsk->windowOpen = true, m_idAsk->openedAt = now;
    }
    if (Read* read = activeRead(); read && cutReply(read->ask, MessageKind::Dump)) {
        if (drop.footing == Footing::Exact)
            failRead(e, Failure::GaveUp, drop.count);
        else if (!read->ask.windowOpen)
            read->ask.windowOpen = true, read->ask.openedAt = now;
    }
}

std::optional<TimePoint> Conversation::settleAt(const Ask& ask) const {
    if (!ask.windowOpen)
        return std::nullopt;
    // When the line rests: nothing under way and quiet for a settle since the last byte. A line that
    // never rests closes the window after a silence, and no reply outlives its limit.
    std::optional<TimePoint> due =
        std::min(ask.openedAt + m_limits.silence, ask.firstAsked + m_limits.replyTotal);
    if (const auto rest = m_framer.restsAt())
        earliest(due, std::max(*rest, m_framer.lastByte() + m_limits.settle));
    return due;
}

Conversation::Settled Conversation::settle(Effects& e, Ask& ask, Reply& reply, TimePoint now) {
    const auto due = settleAt(ask);
    if (!due || now < *due)
        return Settled::NotYet;
    const auto rest = m_framer.restsAt();
    const bool rested = rest && now >= std::max(*rest, m_framer.lastByte() + m_limits.settle);
    std::vector<Reply> window = std::move(ask.window);
    ask.window.clear();
    ask.windowOpen = false;
    ask.lastIsReply = false;
    // A box that cuts its reply and writes it again whole leaves the head of the first in front of the
    // second: read from the head, the reply is the head and most of the second, and the second's last
    // bytes are left behind it, where they may well frame as messages. A reply with its own header
    // inside, after `at` bytes, may be such a misreading when the stream behind it could end the reply
    // read from there: `at` more bytes, then the line at rest or a start byte. It counts for nothing,
    // and the box is asked again.
    for (Reply& r : window) {
        const std::uint64_t behind = m_framer.position() - r.end;
        const std::size_t at = r.headerAgainAt;
        if (at != 0 && behind >= at && (behind == at || r.behind[at] == kStartByte))
            r.footing = Footing::Resync;
    }
    // Certain on its own: the one reply, begun exactly, and the line at rest behind it with nothing
    // dropped since the request.
    if (rested && !ask.disturbed && window.size() == 1 && window[0].footing == Footing::Exact &&
        ask.confirm == Confirm::WhenInDoubt) {
        reply = std::move(window[0]);
        return Settled::Believed;
    }
    // Else believed when exactly one reply of this window was also in the window before. Only a window
    // the line came to rest behind counts (a message still under way may yet show its replies to be
    // look-alikes), and only replies that began where a message begins or behind a payload: one found
    // again after bytes out of step is as likely the inside of a message sent twice.
    std::vector<Reply> seen;
    for (Reply& r : window) {
        const auto same = [&](const Reply& other) { return other.bytes == r.bytes; };
        if (rested && r.footing != Footing::Resync && std::none_of(seen.begin(), seen.end(), same))
            seen.push_back(std::move(r));
    }
    Reply* agreed = nullptr;
    int agreeing = 0;
    for (Reply& r : seen) {
        if (std::find(ask.previous.begin(), ask.previous.end(), r.bytes) != ask.previous.end()) {
            agreed = &r;
            ++agreeing;
        }
    }
    if (agreeing == 1) {
        reply = std::move(*agreed);
        return Settled::Believed;
    }
    if (now >= ask.firstAsked + m_limits.replyTotal)
        return Settled::TooSlow;
    if (ask.asks >= kMaxAsks)
        return Settled::Unconfirmed;
    if (!seen.empty()) {
        const std::vector<Byte>& first = seen.front().bytes;
        e.lines.push_back(fill(text::kReplyInDoubt, first.size() > kFirmwareReplyLength
                                                        ? dumpLine(first)
                                                        : ParseReply(first, readingSheet()).line));
        ask.previous.clear();
        for (Reply& r : seen)
            ask.previous.push_back(std::move(r.bytes));
    } else {
        e.lines.push_back(text::kReplyLost);
    }
    ask.askedAt.reset();
    ask.holdSince = now;
    ask.disturbed = false;
    return Settled::AskAgain;
}

void Conversation::applyFirmware(Effects& e, const std::vector<Byte>& reply, TimePoint now) {
    (void)now;
    const ParsedReply parsed = ParseReply(reply, readingSheet());
    m_idAsk.reset();
    m_firmware = FirmwareState::Known;
    m_firmwareVersion = *parsed.firmwareVersion;
    e.sheet.firmwareVersion = parsed.firmwareVersion;
    e.sheet.msgLength = parsed.msgLength;
    syncFramer();
    e.firmwareText = parsed.firmwareText;
    e.lines.push_back(parsed.line);
}

void Conversation::applyDump(Effects& e, Reply reply) {
    Read read = std::move(std::get<Reading>(m_transfer).read);
    m_transfer = Idle{};
    // Read at the size it was framed at, even if "Read Short" changed since.
    Sheet reading = readingSheet();
    reading.readShort = reply.readShort;
    ParsedReply parsed = ParseReply(reply.bytes, reading);
    e.lines.push_back(parsed.line);
    if (read.intoSheet) {
        e.sheet.values = std::move(parsed.config);
        e.sheet.msgLength = parsed.msgLength;
    } else {
        e.programming = std::move(parsed.config);
    }
    e.dump = std::move(reply.bytes);
}

std::optional<TimePoint> Conversation::deadline(const Ask& ask, MessageKind kind) const {
    if (!ask.askedAt || ask.windowOpen)
        return std::nullopt;
    const TimePoint whole = ask.firstAsked + m_limits.replyTotal;
    if (const auto began = m_framer.underWay(kind); began && *began >= *ask.askedAt)
        return whole;
    return std::min(*ask.askedAt + m_limits.replyStart, whole);
}

void Conversation::checkDeadlines(Effects& e, TimePoint now) {
    // Each limit gives up only a reply of its own kind: a firmware reply under way is not cut by the
    // dump's limit, nor a dump under way by the firmware's.
    if (m_idAsk) {
        if (const auto due = deadline(*m_idAsk, MessageKind::Firmware); due && now >= *due) {
            const auto began = m_framer.underWay(MessageKind::Firmware);
            const bool begun = began && *began >= *m_idAsk->askedAt;
            if (begun) {
                m_idAsk->askedAt.reset();  // fails as too slow, below; the drop is only logged
                take(e, m_framer.giveUp(now), now);
            }
            if (m_idAsk)
                failFirmware(e, begun ? Failure::TooSlow : Failure::TimedOut);
        }
    }
    if (Read* read = activeRead()) {
        if (const auto due = deadline(read->ask, MessageKind::Dump); due && now >= *due) {
            const auto began = m_framer.underWay(MessageKind::Dump);
            const bool begun = began && *began >= *read->ask.askedAt;
            const std::size_t cut = begun ? m_framer.heldBytes() : 0;
            if (begun) {
                read->ask.askedAt.reset();  // fails as too slow, below; the drop is only logged
                take(e, m_framer.giveUp(now), now);
            }
            failRead(e, begun ? Failure::TooSlow : Failure::TimedOut, cut);
        }
    }
}

void Conversation::step(Effects& e, TimePoint now) {
    Reply reply;
    if (m_idAsk) {
        switch (settle(e, *m_idAsk, reply, now)) {
            case Settled::Believed:
                applyFirmware(e, reply.bytes, now);
                break;
            case Settled::Unconfirmed:
                failFirmware(e, Failure::Unconfirmed);
                break;
            case Settled::TooSlow:
                failFirmware(e, Failure::TooSlow);
                break;
            default:
                break;
        }
    }
    if (Read* read = activeRead()) {
        switch (settle(e, read->ask, reply, now)) {
            case Settled::Believed:
                applyDump(e, std::move(reply));
                break;
            case Settled::Unconfirmed:
                failRead(e, Failure::Unconfirmed);
                break;
            case Settled::TooSlow:
                failRead(e, Failure::TooSlow);
                break;
            default:
                break;
        }
    }
    checkDeadlines(e, now);
    if (auto* pause = std::get_if<Pausing>(&m_transfer); pause && now >= pause->until) {
        std::optional<Read> then = std::move(pause->then);
        m_transfer = then ? Transfer{Reading{std::move(*then)}} : Transfer{Idle{}};
        e.pauseEnded = linkUp();
    }
    release(e, now);
}

std::optional<TimePoint> Conversation::wakeAt() const {
    std::optional<TimePoint> due = m_framer.wakeAt();
    const auto consider = [&](const Ask& ask, MessageKind kind, bool sendable) {
        earliest(due, settleAt(ask));
        earliest(due, deadline(ask, kind));
        if (sendable && !ask.askedAt && !ask.windowOpen) {
            TimePoint at = ask.holdSince + m_limits.silence;
            if (const auto rest = m_framer.restsAt())
                at = std::min(at, *rest);
            earliest(due, at);
        }
    };
    const bool mayRelease = !pausing() && linkUp() && m_link != LinkState::UpInWait;
    if (m_idAsk)
        consider(*m_idAsk, MessageKind::Firmware, mayRelease);
    if (const Read* read = activeRead())
        consider(read->ask, MessageKind::Dump, mayRelease && firmwareKnown());
    if (const auto* pause = std::get_if<Pausing>(&m_transfer))
        earliest(due, pause->until);
    return due;
}

}  // namespace zeze
