// The whole conversation with one box as a state machine that owns no socket and no clock: its caller
// feeds it what arrived, the time, and the operator's or program's intents, and it answers with what
// to do (bytes to send, lines to log, whether to show the sheet again, when to wake it next). The
// window and zeze both drive it, so both keep the same promises on a bad link:
// - the sheet changes only by the operator or by a dump that answers a Get still awaited;
// - the pin size comes only from a firmware reply that answered this connection's ID request, and no
//   transfer happens before it has come;
// - a reply is believed on its own only where the framing is certain (it began where a message
//   certainly begins, after its request, and the line came to rest behind it with nothing dropped);
//   anywhere else the request is asked again and a reply believed only when two agree byte for byte;
// - nothing goes to the box while it stores a download;
// - every awaited reply ends within its limits, whatever else the box sends meanwhile.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "model/sheet.h"
#include "protocol/config_record.h"
#include "protocol/frame.h"
#include "protocol/framer.h"

namespace zeze {

// How long the box needs to store a download before it takes the next message:
// (24 * msgLength + 77) * 4 ms, 3188 ms for 30-byte pins and 5588 ms for 55.
constexpr Millis transferPause(std::uint8_t msgLength) {
    return Millis((kPinCount * msgLength + 77) * 4);
}

// A limit in seconds as the lines say it: "10", "2.5".
std::string secondsText(Millis limit);

struct ConversationLimits {
    Millis replyStart{10000};  // an awaited reply must have begun this long after its request
    Millis replyTotal{60000};  // and be complete this long after the first request, however it trickles
    Millis silence{2000};      // a message that stops this long is given up
    Millis settle{100};        // a payload ends, and the line is at rest, after this much quiet
    Millis (*transferPause)(std::uint8_t msgLength) = &zeze::transferPause;
};

// How many requests one read or one ID exchange makes before it gives up finding two replies that agree.
inline constexpr int kMaxAsks = 6;

// Why an awaited reply, or a transfer, did not happen.
enum class Failure {
    GaveUp,          // the reply stopped half-way and was given up
    Disconnected,    // the operator pressed Disconnect
    ConnectionLost,  // the box closed the connection or it failed
    TimedOut,        // the reply did not begin within its limit
    TooSlow,         // the reply began but was not complete within its limit
    SendFailed,      // the connection did not take the request
    NoFirmware,      // the box has not told its firmware version on this connection
    NotConnected,    // there was no connection to send on
    Busy,            // another transfer is under way
    BadSheet,        // the sheet holds a value no download can carry
    Unconfirmed,     // no reply came where the framing is certain, and no two replies agreed
};

// When a reply is believed.
enum class Confirm {
    WhenInDoubt,  // on its own where the framing is certain, else when a second reply agrees
    Always,       // only when two replies agree byte for byte (a backup)
};

// What one call changes in the sheet its caller keeps (the engine holds none); applySheetChange()
// carries it out.
struct SheetChange {
    bool emptyCommands = false;  // a Get began: the 24 commands are empty until its reply fills them
    // A Get ended without the box's programming: every command still empty gets its text back (a row
    // typed into meanwhile keeps what was typed).
    std::optional<std::array<std::string, kPinCount>> putBack;
    std::optional<ConfigValues> values;  // a Get's reply: the box's programming
    // Send: every command as it was sent (canonical), and "Read Short" cleared.
    std::optional<std::array<std::string, kPinCount>> sentCommands;
    std::optional<std::uint16_t> firmwareVersion;  // FirmwareVersion, when it changed
    std::optional<std::uint8_t> msgLength;         // GPIMsgLength, when it was set

    bool any() const {
        return emptyCommands || putBack || values || sentCommands || firmwareVersion || msgLength;
    }
    void append(SheetChange&& later);
};

void applySheetChange(Sheet& sheet, const SheetChange& change);

// What the caller must do after one call, in this order: log the lines, apply the sheet's change and
// show it, send each message (reporting a refusal with sendRefused()). The other fields tell a program
// what happened.
struct [[nodiscard]] Effects {
    std::vector<std::string> lines;
    std::vector<std::vector<Byte>> sends;
    SheetChange sheet;
    bool sheetChanged() const { return sheet.any(); }
    // A firmware reply was applied: the version as the title shows it ("2.10").
    std::optional<std::string> firmwareText;
    std::optional<Failure> firmwareFailed;
    // The awaited dump was read: the message, one whole record at the box's size. For a Get its
    // values are also in `sheet`; for requestProgramming() only here.
    std::optional<std::vector<Byte>> dump;
    std::optional<ConfigValues> programming;
    std::optional<Failure> dumpFailed;
    std::size_t cutBytes = 0;  // with GaveUp or TooSlow: how much of the reply had come
    std::optional<Failure> downloadRefused;
    // A transfer pause is over: true when the connection stood until its end, so the box had the
    // whole time to store the download; false when the connection ended during it.
    std::optional<bool> pauseEnded;

    void append(Effects&& more);
};

class Conversation {
  public:
    explicit Conversation(const ConversationLimits& limits = {});

    const ConversationLimits& limits() const { return m_limits; }

    // The window's Connect: a new attempt begins (everything of the previous connection is forgotten);
    // after its wait, connectWaitOver() says whether the connection stands. A connection that comes up
    // later is reported with connectionUp() and then gets its ID request.
    Effects connecting(TimePoint now);
    Effects connectWaitOver(bool connected, TimePoint now);
    Effects connectionUp(TimePoint now);
    // The box closed the connection, or it failed. `alreadySaid`: the caller has logged it itself.
    Effects connectionLost(TimePoint now, bool alreadySaid = false);
    Effects disconnect(TimePoint now);

    // Requests; `connected` is the socket's state at the click.
    Effects requestId(bool connected, TimePoint now);
    Effects requestGpi(bool connected, TimePoint now);
    // Get from Zeze: the sheet's commands are emptied while it waits, and put back if it fails.
    Effects requestDump(bool connected, TimePoint now, const Sheet& sheet,
                        Confirm confirm = Confirm::WhenInDoubt);
    // Reads the box's programming without touching the sheet (to compare, or to verify a download:
    // asked for during the transfer pause it goes out when the pause ends).
    Effects requestProgramming(bool connected, TimePoint now, Confirm confirm = Confirm::WhenInDoubt);
    // Send to Zeze: the sheet's values, commands made canonical, sized by this connection's firmware.
    Effects download(bool connected, TimePoint now, const Sheet& sheet);
    // "Read Short": dumps are read with 30-byte pin slots, whatever the box's size. Cleared by a download.
    void setReadShort(bool on) { m_readShort = on; }
    // The last message handed out in sends was not taken by the connection.
    Effects sendRefused(TimePoint now);

    Effects arrived(std::span<const Byte> bytes, TimePoint now);
    // Time has passed: limits, quiet lines and pauses that are due take effect.
    Effects advance(TimePoint now);
    // When advance() has something to do next.
    std::optional<TimePoint> wakeAt() const;

    // The transfer buttons wait exactly while a dump is awaited, a download is held or the box stores one.
    bool transferWaiting() const { return !std::holds_alternative<Idle>(m_transfer); }
    bool awaitingDump() const { return activeRead() != nullptr || queuedRead() != nullptr; }
    bool pausing() const { return std::holds_alternative<Pausing>(m_transfer); }
    bool firmwareKnown() const { return m_firmware == FirmwareState::Known; }
    bool awaitingFirmware() const { return m_idAsk.has_value(); }
    bool linkUp() const { return m_link == LinkState::Up || m_link == LinkState::UpInWait; }
    std::size_t heldBytes() const { return m_framer.heldBytes(); }
    // A reply has come (or bytes were dropped) and the engine waits for the line to rest to judge it.
    bool settling() const {
        return (m_idAsk && m_idAsk->windowOpen) || (activeRead() && activeRead()->ask.windowOpen);
    }

  private:
    enum class LinkState {
        Down,        // no connection (before Connect, after Disconnect or a loss)
        Connecting,  // Connect's wait runs
        UpInWait,    // Connect's wait runs and the connection stands; the wait's end asks the ID
        Late,        // Connect's wait ended without a connection; one that comes later is asked its ID
        Up,          // connected
    };
    enum class FirmwareState { Unknown, Known };

    // One reply the box owes: asked again where in doubt, until two agree.
    struct Reply {
        std::vector<Byte> bytes;
        Footing footing = Footing::Resync;
        bool readShort = false;  // "Read Short" when it was framed: the size it is read at
        std::uint64_t end = 0;   // where it ended in the stream
        // Where its own header (or the start of one, at its end) stands again inside it, 0 if nowhere:
        // a reply cut there by the box and sent again whole would be read from here.
        std::size_t headerAgainAt = 0;
        std::vector<Byte> behind;  // the bytes that came behind it, up to one past headerAgainAt
    };
    struct Ask {
        Confirm confirm = Confirm::WhenInDoubt;
        TimePoint firstAsked{};
        std::optional<TimePoint> askedAt;  // the latest request went out (none: held until the line rests)
        int asks = 0;
        TimePoint holdSince{};  // held since then for the line to rest; sent after a silence regardless
        // The replies of the awaited kind framed since the latest request. The window opens with the
        // first (or with one dropped) and closes when the line comes to rest.
        std::vector<Reply> window;
        bool windowOpen = false;
        TimePoint openedAt{};
        bool disturbed = false;    // bytes were dropped since the request
        bool lastIsReply = false;  // the latest message framed is the window's last reply
        // The replies of the window before, none of which could be believed alone.
        std::vector<std::vector<Byte>> previous;
    };
    struct Read {
        bool intoSheet = true;  // a Get; else a read that leaves the sheet alone
        Ask ask;
        std::array<std::string, kPinCount> emptied{};
    };
    struct Idle {};
    struct DownloadHeld {     // until the firmware is known
        ConfigValues values;  // canonical
        std::optional<Read> then;
    };
    struct Pausing {  // the box stores a download
        TimePoint until{};
        std::optional<Read> then;
    };
    struct Reading {
        Read read;
    };
    using Transfer = std::variant<Idle, DownloadHeld, Pausing, Reading>;

    enum class Sent { Nothing, Id, Gpi, Dump, Download };

    Read* activeRead();
    const Read* activeRead() const;
    const Read* queuedRead() const;
    // A dump request has gone out and its reply is still awaited.
    bool dumpAsked() const { return activeRead() && activeRead()->ask.asks > 0; }
    Effects requestRead(bool connected, const Sheet* intoSheet, Confirm confirm, TimePoint now);
    void startIdAsk(Effects& e, TimePoint now);
    void sendId(Effects& e, TimePoint now);
    void sendDownload(Effects& e, TimePoint now);
    void askFirmwareIfNeeded(Effects& e, TimePoint now);
    // Sends what is held (a download, a read's request) once its conditions are met.
    void release(Effects& e, TimePoint now);
    void failRead(Effects& e, Failure why, std::size_t cutBytes = 0);
    std::string readFailure(Failure why) const;
    void failFirmware(Effects& e, Failure why);
    void refuseHeldDownload(Effects& e, Failure why);
    void endConnection(Effects& e, Failure why);

    void take(Effects& e, FramerEvents events, TimePoint now);
    void onMessage(Effects& e, const Message& message, TimePoint now);
    void onDrop(Effects& e, const Drop& drop, TimePoint now);
    // What the framer said bears on an awaited reply: a reply of its kind, or bytes dropped.
    void noteReply(Ask& ask, const Message& message, TimePoint now);
    void noteDrop(Ask& ask, TimePoint now);
    // Keeps the bytes behind each reply of an open window that its header-again check looks at.
    void noteBytesBehind(std::span<const Byte> bytes, std::uint64_t from);
    // Settles a reply that is due: believed, asked for again, or given up for want of two that agree.
    enum class Settled { NotYet, Believed, AskAgain, Unconfirmed, TooSlow };
    Settled settle(Effects& e, Ask& ask, Reply& reply, TimePoint now);
    bool mayAsk(const Ask& ask, TimePoint now) const;
    void markUp();
    void sendRequest(Effects& e, Ask& ask, const std::array<Byte, 3>& request, Sent sent, TimePoint now);
    void step(Effects& e, TimePoint now);
    // The run values a reply is read with.
    Sheet readingSheet() const;
    // Tells the framer the dump length and whether a dump is awaited.
    void syncFramer();
    void applyFirmware(Effects& e, const std::vector<Byte>& reply, TimePoint now);
    void applyDump(Effects& e, Reply reply);
    std::optional<TimePoint> settleAt(const Ask& ask) const;
    std::optional<TimePoint> deadline(const Ask& ask, MessageKind kind) const;
    void checkDeadlines(Effects& e, TimePoint now);

    ConversationLimits m_limits;
    Framer m_framer;

    LinkState m_link = LinkState::Down;
    FirmwareState m_firmware = FirmwareState::Unknown;
    std::uint16_t m_firmwareVersion = 0;  // of this connection's box, once known; 0 after Disconnect
    bool m_readShort = false;
    std::optional<Ask> m_idAsk;  // the ID request's reply is awaited
    Transfer m_transfer = Idle{};
    Sent m_lastSent = Sent::Nothing;
};

}  // namespace zeze
