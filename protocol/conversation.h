// The whole conversation with one box as a state machine that owns no socket and no clock: its caller
// feeds it what arrived, the time, and the operator's or program's intents, and it answers with what
// to do (bytes to send, lines to log, whether to show the sheet again, when to wake it next). The
// window and zeze both drive it, so both keep the same promises on a bad link:
// - the sheet changes only by the operator or by a dump that answers a Get still awaited;
// - the pin size comes only from a firmware reply that answered this connection's ID request, and no
//   transfer happens before it has come;
// - nothing goes to the box while it stores a download;
// - every awaited reply ends within its limits, whatever else the box sends meanwhile;
// - the rest of a message given up is never read as a message of its own.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/sheet.h"
#include "protocol/config_record.h"
#include "protocol/frame.h"

namespace zeze {

using TimePoint = std::chrono::steady_clock::time_point;
using Millis = std::chrono::milliseconds;

// How long the box needs to store a download before it takes the next message:
// (24 * msgLength + 77) * 4 ms, 3188 ms for 30-byte pins and 5588 ms for 55.
constexpr Millis transferPause(std::uint8_t msgLength) {
    return Millis((kPinCount * msgLength + 77) * 4);
}

// A limit in seconds as the lines say it: "10", "2.5".
std::string secondsText(Millis limit);

struct ConversationLimits {
    Millis replyStart{10000};  // an awaited reply must have begun this long after its request
    Millis replyTotal{60000};  // and be complete this long after it, however it trickles
    Millis silence{2000};      // a message that stops this long is given up
    Millis (*transferPause)(std::uint8_t msgLength) = &zeze::transferPause;
};

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
};

// What the caller must do after one call, in this order: log the lines, send each message (reporting
// a refusal with sendRefused()), show the sheet again when it changed. The other fields tell a program
// what happened.
struct Effects {
    std::vector<std::string> lines;
    std::vector<std::vector<Byte>> sends;
    bool sheetChanged = false;
    // A firmware reply was applied: the version as the title shows it ("2.10").
    std::optional<std::string> firmwareText;
    std::optional<Failure> firmwareFailed;
    // The awaited dump was read: the message as it came (at least one record long). Read into the
    // sheet, or, for requestProgramming(), handed over here and the sheet left alone.
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
    explicit Conversation(Sheet& sheet, const ConversationLimits& limits = {});

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
    Effects requestDump(bool connected, TimePoint now);
    // Reads the box's programming without touching the sheet (to compare, or to verify a download:
    // asked for during the transfer pause it goes out when the pause ends).
    Effects requestProgramming(bool connected, TimePoint now);
    Effects download(bool connected, TimePoint now);
    // The last message handed out in sends was not taken by the connection.
    Effects sendRefused(TimePoint now);

    Effects arrived(std::span<const Byte> bytes, TimePoint now);
    // Time has passed: limits, silences and pauses that are due take effect.
    Effects advance(TimePoint now);
    // When advance() has something to do next.
    std::optional<TimePoint> wakeAt() const;

    // The transfer buttons wait exactly while a dump is awaited, a download is held or the box stores one.
    bool transferWaiting() const { return m_awaitingDump || m_downloadHeld || m_pausing; }
    bool awaitingDump() const { return m_awaitingDump; }
    bool pausing() const { return m_pausing; }
    bool firmwareKnown() const { return m_firmwareKnown; }
    bool awaitingFirmware() const { return m_firmwareAskedAt.has_value(); }
    bool linkUp() const { return m_linkUp; }
    bool discarding() const { return m_discarding; }
    std::size_t heldBytes() const { return m_held.size(); }

  private:
    enum class Sent { Nothing, Id, Gpi, Dump, Download };

    Effects requestRead(bool connected, bool intoSheet, TimePoint now);
    void sendId(Effects& e, TimePoint now);
    void sendDump(Effects& e, TimePoint now);
    void sendDownload(Effects& e, TimePoint now);
    void beforeRequest();
    void askFirmwareIfNeeded(Effects& e, TimePoint now);
    void releaseHeld(Effects& e, TimePoint now);
    void failDump(Effects& e, Failure why, std::size_t cutBytes = 0);
    std::string readFailure(Failure why) const;
    void failFirmware(Effects& e, Failure why);
    void refuseHeldDownload(Effects& e, Failure why);
    void endConnection(Effects& e, Failure why);

    // `quiet`: the line has been quiet for a silence, so nothing more comes to decide by.
    void frame(Effects& e, TimePoint now, bool quiet = false);
    void handleMessage(Effects& e, std::span<const Byte> message);
    void giveUpHeld(Effects& e, TimePoint now);
    void clearHeld();
    // Drops what is held with `line` (its byte count filled in); an awaited reply among it fails.
    void dropHeld(Effects& e, const char* line);
    void dropOutOfStep(Effects& e, TimePoint now);
    void loseStep(TimePoint now);
    void endDiscarding(Effects& e, const char* line);
    bool beginsAwaitedReply(std::span<const Byte> arrival) const;
    bool beginsAwaitedReplyAt(std::span<const Byte> bytes, std::size_t at) const;
    // Takes what belongs to the rest of a message given up; returns what is left to frame.
    std::span<const Byte> discard(Effects& e, std::span<const Byte> bytes);
    std::uint8_t dumpLength() const;
    std::optional<TimePoint> dumpDeadline() const;
    std::optional<TimePoint> firmwareDeadline() const;

    Sheet& m_sheet;
    ConversationLimits m_limits;

    bool m_linkUp = false;
    bool m_connectWaitRunning = false;
    bool m_idOnLateConnect = false;
    bool m_firmwareKnown = false;
    std::optional<TimePoint> m_firmwareAskedAt;

    bool m_awaitingDump = false;
    bool m_readIntoSheet = true;              // a Get; else a read that leaves the sheet alone
    std::optional<TimePoint> m_dumpAskedAt;   // set once the request has gone out
    bool m_dumpBegun = false;                 // its answer has begun to arrive
    std::optional<TimePoint> m_lineWaitEnds;  // a request waits this long for a message in progress
    std::array<std::string, kPinCount> m_emptiedCommands{};

    bool m_downloadHeld = false;
    bool m_pausing = false;
    TimePoint m_pauseEnd{};
    Sent m_lastSent = Sent::Nothing;

    // Framing of what the box sends
    std::vector<Byte> m_held;
    std::uint8_t m_frameLength = kShortMsgLength;  // dump size of what is held
    std::size_t m_arrivalStart = 0;                // where in what is held the latest arrival begins
    // Where an arrival began with a dump's header inside a held dump: a second reading of what is held.
    std::optional<std::size_t> m_altStart;
    TimePoint m_lastByte{};
    bool m_discarding = false;
    bool m_discardEndsOnSilence = false;
    bool m_discardQuiet = false;  // the possible rest of a dump read short: nothing to say about it
    std::size_t m_discardLeft = 0;
    // A request of ours has gone out since the give-up: the discarding ends where its reply begins.
    bool m_discardUntilReply = false;
    // What may be the answer, kept beside the discarding, and how much rest was left when it began.
    std::optional<std::vector<Byte>> m_candidate;
    std::size_t m_candidateRestLeft = 0;
    std::vector<std::size_t> m_candidateArrivals;  // where in the candidate each arrival began
    std::size_t m_discarded = 0;
    // Bytes of no known kind came: everything is discarded until the line is quiet.
    bool m_outOfStep = false;
};

}  // namespace zeze
