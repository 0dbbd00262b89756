// Where the box's messages begin and end in the byte stream of one connection: bytes and time in,
// messages and drops out. Where one read of the socket ended is never used: TCP splits and joins as
// it likes, so only the bytes and the time they came decide.
//
// The stream on a live connection is the box's messages, whole, one after another:
// - a dump reply, FF 01 00 and the record: its length is the box's (848 or 1448 bytes); until the
//   box's pin size is known, or while a long box is read short, it is framed at 848, and up to 600
//   bytes that follow without a pause are taken for its rest;
// - a firmware reply, FF 00 00 05 minor major: six bytes;
// - any other message, FF, a group byte and a code byte (status-group messages add a type byte), then
//   a payload whose length the box does not send. The payload ends where the next header of a known
//   kind begins (FF 00 00, or FF 01 00 while a dump is awaited), where the line has been quiet for
//   `settle`, or after kMaxPayload bytes (what follows then began no message).
// A byte that cannot begin a message where one must begin puts the stream out of step: bytes are
// dropped until a known header (from there messages are read again at once) or until `settle` of quiet.
// A message of known length that stops for `silence` is given up.
//
// Each message says where it began (its footing): exactly where a message certainly begins (at the
// start of the connection, right behind an exact message of known length, or after `silence` of
// quiet); behind a payload whose end was found, not told (it may be a look-alike inside that payload);
// or where the stream was found again (after bytes out of step, a give-up whose rest may still come,
// or a dump of unknown size). The conversation believes a reply on its own only when it is exact.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "protocol/frame.h"

namespace zeze {

using TimePoint = std::chrono::steady_clock::time_point;
using Millis = std::chrono::milliseconds;

struct FramerTiming {
    Millis settle{100};    // a payload ends when the line is quiet this long
    Millis stall{500};     // a message of known length that pauses this long may be made whole by others
    Millis silence{2000};  // a message of known length that stops this long is given up
};

// Payload bytes that a status message may carry before what follows is taken as out of step.
inline constexpr std::size_t kMaxPayload = 255;

enum class MessageKind { Dump, Firmware, Status, Unknown };

// Where a message began, from the most trusted to the least.
enum class Footing {
    Exact,          // where a message certainly begins
    BehindPayload,  // where a payload of untold length was taken to end: may be a look-alike inside it
    Resync,         // found again after bytes out of step, a give-up, or a dump of unknown size
};

struct Message {
    MessageKind kind = MessageKind::Unknown;
    // A dump or firmware reply: the whole message. Any other kind: its header (the payload is never
    // read).
    std::vector<Byte> bytes;
    Footing footing = Footing::Resync;
    TimePoint began{};  // when its first byte arrived
    std::uint64_t end = 0;  // where it ended in the connection's stream: the count of bytes before it and in it

    bool exact() const { return footing == Footing::Exact; }
};

enum class DropReason {
    Cut,        // a message of known length that stopped, or whose reply's limit ran out
    OutOfStep,  // bytes that began no message
};

struct Drop {
    std::size_t count = 0;
    DropReason reason = DropReason::Cut;
    // A cut message of known length: its kind, when its first byte came, and where it began.
    std::optional<MessageKind> kind;
    TimePoint began{};
    Footing footing = Footing::Resync;
};

using FramerEvent = std::variant<Message, Drop>;
using FramerEvents = std::vector<FramerEvent>;

class Framer {
  public:
    explicit Framer(const FramerTiming& timing = {});

    // A new connection: its first byte begins a message.
    void reset(TimePoint now);
    // The length dump replies are read at, once the box's pin size is known (0 while it is not), and
    // whether the box may send them longer (a long box read short): what follows a dump without a
    // pause, up to a long box's length, is then taken for its rest.
    void setDumpLength(std::size_t length, bool mayBeLonger = false) {
        m_dumpLength = length;
        m_dumpMayBeLonger = mayBeLonger || length == 0;
    }
    // Whether a dump reply is awaited: only then does FF 01 00 end a payload. Otherwise it is payload
    // (a pin state, a relayed serial byte): a look-alike there would hold every byte after it as a dump.
    void setDumpAwaited(bool awaited) { m_dumpAwaited = awaited; }

    [[nodiscard]] FramerEvents feed(std::span<const Byte> bytes, TimePoint now);
    // Time has passed: payloads end, bytes out of step are dropped, stopped messages are given up.
    [[nodiscard]] FramerEvents advance(TimePoint now);
    // Gives up the message under way (its reply's limit ran out).
    [[nodiscard]] FramerEvents giveUp(TimePoint now);

    // When advance() has something to do; nothing while the line is at rest.
    std::optional<TimePoint> wakeAt() const;
    // Nothing is held and the line is at rest: right behind an exact message of known length, or
    // after `settle` of quiet. A request sent now has its reply begin where a message begins.
    bool atRest(TimePoint now) const;
    // When the line will be at rest if nothing more comes; nothing while a message is under way.
    std::optional<TimePoint> restsAt() const;
    // Nothing is held: no message, payload or bytes out of step under way.
    bool idle() const { return m_mode == Mode::Start && m_held.empty(); }
    // A message of known length of this kind is under way; when it began.
    std::optional<TimePoint> underWay(MessageKind kind) const;
    std::size_t heldBytes() const { return m_held.size(); }
    TimePoint lastByte() const { return m_lastByte; }
    // How many bytes this connection has brought so far.
    std::uint64_t position() const { return m_position; }
    const FramerTiming& timing() const { return m_timing; }

  private:
    enum class Mode {
        Start,    // where a message begins; m_held holds its header so far
        Fixed,    // m_held holds a message of known length, m_need bytes when whole
        Payload,  // inside a payload; m_held holds what may be the next header's beginning
        Hunting,  // out of step; m_held as in Payload, m_dropped counts what was dropped
        Rest,     // behind a dump of unknown size: m_restLeft more bytes may be its rest
    };

    bool beginsKnownHeader(const std::vector<Byte>& bytes) const;

    void quiet(FramerEvents& out, TimePoint now);
    void take(FramerEvents& out, Byte byte, TimePoint now);
    void atStart(FramerEvents& out, TimePoint now);
    void emitMessage(FramerEvents& out, MessageKind kind);
    void restartAtLastByte(FramerEvents& out, TimePoint now);
    void scan(FramerEvents& out, Byte byte, TimePoint now);
    void dropHunted(FramerEvents& out);
    // Bytes that begin no header: payload, or dropped.
    void skipped(std::size_t count);

    FramerTiming m_timing;
    std::size_t m_dumpLength = 0;
    Mode m_mode = Mode::Start;
    std::vector<Byte> m_held;
    std::size_t m_need = 0;
    std::size_t m_payload = 0;  // payload bytes of the message under way
    std::size_t m_dropped = 0;
    std::size_t m_restLeft = 0;
    bool m_dumpMayBeLonger = true;
    bool m_dumpAwaited = false;
    Footing m_footing = Footing::Exact;      // of the next message
    Footing m_heldFooting = Footing::Exact;  // of the message under way
    bool m_heldPaused = false;               // the message under way paused for a settle or more
    bool m_afterExactEnd =
        true;  // the line rests right behind an exact message of known length (or nothing came)
    bool m_restMayCome = false;  // a message was given up and its rest may still come
    TimePoint m_lastByte{};
    TimePoint m_began{};
    std::uint64_t m_position = 0;
};

}  // namespace zeze
