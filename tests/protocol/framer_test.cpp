// The framing of the box's byte stream, as tables of byte streams: what each stream frames to, and
// that no way of cutting a stream into arrivals changes it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/framer.h"
#include "protocol_test_support.h"

namespace zeze {
namespace {

using namespace std::chrono_literals;
using test::bytes;
using test::operator+;

// One event as text: "Status FF 00 00 04 exact", "Dump 848 behind-payload", "Drop 5 cut", "Drop 3 out".
std::string describe(const FramerEvent& event) {
    if (const auto* drop = std::get_if<Drop>(&event))
        return "Drop " + std::to_string(drop->count) + (drop->reason == DropReason::Cut ? " cut" : " out");
    const Message& m = std::get<Message>(event);
    static const char* const kKinds[] = {"Dump", "Firmware", "Status", "Unknown"};
    std::string text = kKinds[static_cast<int>(m.kind)];
    if (m.kind == MessageKind::Dump)
        text += " " + std::to_string(m.bytes.size());
    else
        text += " " + test::hexText(m.bytes);
    static const char* const kFootings[] = {" exact", " behind-payload", " resync"};
    return text + kFootings[static_cast<int>(m.footing)];
}

// What came, in pieces: each piece at `at` milliseconds after the connection began.
struct Piece {
    int at;
    std::vector<Byte> bytes;
};

std::vector<std::string> frame(const std::vector<Piece>& pieces, std::size_t dumpLength, int endAt,
                               bool dumpAwaited = true) {
    Framer framer;
    const TimePoint t0{};
    framer.reset(t0);
    framer.setDumpLength(dumpLength);
    framer.setDumpAwaited(dumpAwaited);
    std::vector<std::string> out;
    auto note = [&](const FramerEvents& events) {
        for (const FramerEvent& e : events)
            out.push_back(describe(e));
    };
    for (const Piece& piece : pieces) {
        // Time passes as it would in the caller: the framer is woken when it asks to be.
        while (const auto due = framer.wakeAt()) {
            if (*due > t0 + Millis(piece.at))
                break;
            note(framer.advance(*due));
        }
        note(framer.feed(piece.bytes, t0 + Millis(piece.at)));
    }
    note(framer.advance(t0 + Millis(endAt)));
    return out;
}

// A short box's dump reply (848 bytes) with look-alike headers in its fields and commands.
std::vector<Byte> lookAlikeDump() {
    std::vector<Byte> dump = test::emptyDump(kShortMsgLength);
    test::put(dump, 3, "FF 01 00 FF");               // gateway 255.1.0.255
    test::put(dump, 11, "C0 A8 FF 01");              // address 192.168.255.1
    test::put(dump, 15, "FF 00");                    // port 65280
    test::put(dump, 80, "06 01 FF 00 00 05 00 04");  // pin 2: a firmware look-alike
    test::put(dump, 112, "04 02 FF 01 00 01");       // pin 3: a dump header
    test::put(dump, 816, "1E 00");                   // pin 25: 30 bytes
    test::put(dump, 844, "FF 00 00 01");             // ending like a status message
    return dump;
}

const std::vector<Byte> kGpi = bytes("FF 00 00 04");
const std::vector<Byte> kFirmware209 = bytes("FF 00 00 05 09 02");

struct Case {
    const char* name;
    std::vector<Piece> pieces;
    std::vector<std::string> expected;
    int endAt = 10000;
};

TEST(Framer, StreamsFrameByTheirBytesAndTime) {
    const std::vector<Byte> dump = lookAlikeDump();
    const std::vector<Case> cases = {
        {"a prompt box: firmware, dump, each exact",
         {{0, kFirmware209}, {500, dump}},
         {"Firmware FF 00 00 05 09 02 exact", "Dump 848 exact"}},
        {"a status message's payload ends where a known header begins: what follows is a guess",
         {{0, kGpi + bytes("01 02 03") + kFirmware209}},
         {"Status FF 00 00 04 exact", "Firmware FF 00 00 05 09 02 behind-payload"}},
        {"a look-alike inside a payload is read as a message (only confirmation can tell)",
         {{0, kGpi + bytes("AB FF 00 00 05 00 04")}},
         {"Status FF 00 00 04 exact", "Firmware FF 00 00 05 00 04 behind-payload"}},
        {"a payload ends at a short quiet; the next message is a guess until a silence has passed",
         {{0, kGpi + bytes("AB")}, {150, kFirmware209}, {5000, kFirmware209}},
         {"Status FF 00 00 04 exact", "Firmware FF 00 00 05 09 02 behind-payload",
          "Firmware FF 00 00 05 09 02 exact"}},
        {"a status header split anywhere, then its payload",
         {{0, bytes("FF 00")}, {1, bytes("00")}, {2, bytes("04 FF")}, {3, bytes("01 02")}},
         {"Status FF 00 00 04 exact"}},
        {"case 1: a dump cut after 698 bytes, then GPI messages with one byte of payload",
         {{0, std::vector<Byte>(dump.begin(), dump.begin() + 698)},
          {3000, kGpi + bytes("AB") + kGpi + bytes("AB")}},
         {"Drop 698 cut", "Status FF 00 00 04 resync", "Status FF 00 00 04 resync"}},
        {"case 2: a stalled rest arrives with the next answer: read from its look-alike, never exact",
         {{0, std::vector<Byte>(dump.begin(), dump.begin() + 112)},
          {3000, std::vector<Byte>(dump.begin() + 112, dump.end()) + dump}},
         {"Drop 112 cut", "Drop 2 out", "Dump 848 resync", "Drop 730 out", "Status FF 00 00 01 resync"}},
        {"case 3: look-alikes inside a dump (a firmware reply in pin 2's command) stay inside it",
         {{0, dump}},
         {"Dump 848 exact"}},
        {"case 4: a mask 255.0.0.0 split after four bytes does not end the dump",
         {{0, std::vector<Byte>(dump.begin(), dump.begin() + 7)},
          {1, bytes("FF 00 00 00")},
          {2, std::vector<Byte>(dump.begin() + 11, dump.end())}},
         {"Dump 848 exact"}},
        {"case 4: two status messages then the dump in one arrival",
         {{0, kGpi + bytes("FF 00 00 01 7F") + dump}},
         {"Status FF 00 00 04 exact", "Status FF 00 00 01 behind-payload", "Dump 848 behind-payload"}},
        {"bytes with no start byte are dropped until a known header: read again at once",
         {{0, bytes("00 01 FF 02 FF FF 00 00 04")}},
         {"Drop 5 out", "Status FF 00 00 04 resync"}},
        {"bytes out of step ending in a header's beginning are all dropped when the line goes quiet",
         {{0, bytes("12 34 FF 00")}},
         {"Drop 4 out"}},
        {"bytes with no start byte are dropped until the line is quiet",
         {{0, bytes("12 34 56")}, {2500, kGpi}},
         {"Drop 3 out", "Status FF 00 00 04 exact"}},
        {"a start byte with a group byte above 1 or a code byte other than 0 begins no message",
         {{0, bytes("FF 02 00 33")}, {2500, bytes("FF 00 01 05")}, {5000, bytes("FF 01 07")}},
         {"Drop 4 out", "Drop 4 out", "Drop 3 out"}},
        {"seed 1478: a start byte where a header's type byte stands begins the real reply",
         {{0, kGpi + bytes("1B 56 00 02 FF 69 FF 00 00 FF 00 00 05 00 03")}},
         {"Status FF 00 00 04 exact", "Drop 3 out", "Firmware FF 00 00 05 00 03 resync"}},
        {"seeds 50077, 537366: no firmware is numbered 255: a start byte among its version bytes begins the "
         "next",
         {{0, kGpi + bytes("FF 00 00 05 FF 00")}},
         {"Status FF 00 00 04 exact", "Drop 4 out", "Drop 2 out"}},
        {"seed 50077: no firmware reply has a major version of 255: its head was a look-alike's",
         {{0, kGpi + bytes("FF 00 00 05 04 FF 00 00 05 0A 02")}},
         {"Status FF 00 00 04 exact", "Drop 5 out", "Firmware FF 00 00 05 0A 02 resync"}},
        {"seeds 2260, 8319: a dump header in chatter that pauses was a look-alike: given up at once",
         {{0, kGpi + bytes("AA FF 01 00 11 22")}, {150, kFirmware209}},
         {"Status FF 00 00 04 exact", "Drop 5 out", "Firmware FF 00 00 05 09 02 behind-payload"}},
        {"a payload longer than any status message carries: the rest is out of step",
         {{0, kGpi + std::vector<Byte>(kMaxPayload + 10, 0x11)}},
         {"Status FF 00 00 04 exact", "Drop 10 out"}},
        {"a payload of the most a status message carries ends where the next header begins",
         {{0, kGpi + std::vector<Byte>(kMaxPayload, 0x11) + kGpi}},
         {"Status FF 00 00 04 exact", "Status FF 00 00 04 behind-payload"}},
        {"a firmware reply that stops is given up after a silence; what comes later is a guess",
         {{0, bytes("FF 00 00 05 09")}, {5000, kFirmware209}},
         {"Drop 5 cut", "Firmware FF 00 00 05 09 02 resync"}},
        {"a header begun and never finished is given up", {{0, bytes("FF 00")}}, {"Drop 2 cut"}},
        {"a reply that pauses half-way is not exact (other bytes may have made it whole); the next one is",
         {{0, bytes("FF 00 00 05")}, {600, bytes("09 02")}, {5000, kFirmware209}},
         {"Firmware FF 00 00 05 09 02 behind-payload", "Firmware FF 00 00 05 09 02 exact"}},
        {"a dump whose last byte is a start byte ends there",
         {{0, std::vector<Byte>(dump.begin(), dump.end() - 1) + bytes("FF")}},
         {"Dump 848 exact"}},
        {"a start byte behind a start byte begins the message",
         {{0, bytes("FF FF 00 00 04")}},
         {"Drop 1 out", "Status FF 00 00 04 resync"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(frame(c.pieces, configMessageSize(kShortMsgLength), c.endAt), c.expected) << c.name;
}

TEST(Framer, DumpHeadersInPayloadsAndDumpsOfUnknownSize) {
    // No dump awaited: FF 01 00 in a payload is payload, and cannot hold what follows as a dump.
    EXPECT_EQ(
        frame({{0, kGpi + bytes("AA FF 01 00 11 22") + kFirmware209}}, 848, 10000, false),
        (std::vector<std::string>{"Status FF 00 00 04 exact", "Firmware FF 00 00 05 09 02 behind-payload"}));
    // Before the pin size is known a dump is framed at 848; what follows without a pause, up to a long
    // box's size, is its rest (a status look-alike in pin 15's slot included).
    std::vector<Byte> longDump = test::emptyDump(kLongMsgLength);
    test::put(longDump, 848, "FF 00 00 04");
    // It cannot show where it ends, so it is not exact.
    EXPECT_EQ(frame({{0, longDump}}, 0, 10000), std::vector<std::string>{"Dump 848 behind-payload"});
    EXPECT_EQ(frame({{0, longDump}}, longDump.size(), 10000), std::vector<std::string>{"Dump 1448 exact"});
    // What follows a long box's rest without a pause is found again, from its first byte.
    EXPECT_EQ(frame({{0, longDump + kGpi}}, 0, 10000),
              (std::vector<std::string>{"Dump 848 behind-payload", "Status FF 00 00 04 resync"}));
    const std::vector<Byte> shortDump = test::emptyDump(kShortMsgLength);
    EXPECT_EQ(frame({{0, shortDump}, {500, kGpi}}, 0, 10000),
              (std::vector<std::string>{"Dump 848 behind-payload", "Status FF 00 00 04 behind-payload"}));
}

TEST(Framer, RestAndWakeUps) {
    Framer framer;
    const TimePoint t0{};
    framer.reset(t0);
    framer.setDumpLength(configMessageSize(kShortMsgLength));
    EXPECT_TRUE(framer.atRest(t0));
    EXPECT_EQ(framer.wakeAt(), std::nullopt);
    (void)framer.feed(kGpi, t0);
    // Inside a payload: not at rest until a settle of quiet, and woken then.
    EXPECT_FALSE(framer.atRest(t0 + 99ms));
    EXPECT_TRUE(framer.atRest(t0 + 100ms));
    EXPECT_EQ(framer.wakeAt(), t0 + 100ms);
    framer.setDumpAwaited(true);
    (void)framer.feed(bytes("FF 01 00"), t0 + 10ms);
    // A dump under way behind a payload: no rest, and woken to give it up as a look-alike if it pauses.
    EXPECT_EQ(framer.restsAt(), std::nullopt);
    EXPECT_EQ(framer.underWay(MessageKind::Dump), t0 + 10ms);
    EXPECT_EQ(framer.underWay(MessageKind::Firmware), std::nullopt);
    EXPECT_EQ(framer.wakeAt(), t0 + 110ms);
    EXPECT_EQ(framer.heldBytes(), 3u);
    const FramerEvents cut = framer.giveUp(t0 + 20ms);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(std::get<Drop>(cut[0]).kind, MessageKind::Dump);
    EXPECT_EQ(std::get<Drop>(cut[0]).began, t0 + 10ms);
    EXPECT_EQ(framer.heldBytes(), 0u);
    // Right behind an exact message of known length the line rests at once; one begun exactly waits a
    // silence before it is given up.
    Framer clean;
    clean.reset(t0);
    (void)clean.feed(kFirmware209, t0 + 5ms);
    EXPECT_TRUE(clean.atRest(t0 + 5ms));
    (void)clean.feed(bytes("FF 00 00 05"), t0 + 6ms);
    EXPECT_EQ(clean.wakeAt(), t0 + 2006ms);
}

// Every single cut and every pair of cuts of a stream that a box wrote whole frames as the stream
// arriving in one piece does: where a read of the socket ended never matters.
TEST(Framer, NoCuttingOfAStreamChangesWhatItFramesTo) {
    const std::vector<Byte> stream =
        kFirmware209 + kGpi + bytes("FF 01 00 12") + lookAlikeDump() + bytes("FF 00 00 02 FF 00 00 05 00");
    const std::size_t n = stream.size();
    const auto whole = frame({{0, stream}}, configMessageSize(kShortMsgLength), 10000);
    ASSERT_EQ(whole, (std::vector<std::string>{"Firmware FF 00 00 05 09 02 exact", "Status FF 00 00 04 exact",
                                               "Dump 848 behind-payload", "Status FF 00 00 01 behind-payload",
                                               "Status FF 00 00 02 behind-payload", "Drop 5 out"}));
    const auto piece = [&](std::size_t from, std::size_t to) {
        return std::vector<Byte>(stream.begin() + static_cast<std::ptrdiff_t>(from),
                                 stream.begin() + static_cast<std::ptrdiff_t>(to));
    };
    for (std::size_t a = 1; a < n; ++a) {
        ASSERT_EQ(frame({{0, piece(0, a)}, {0, piece(a, n)}}, 848, 10000), whole) << "cut at " << a;
        for (std::size_t b = a + 1; b < n; ++b)
            ASSERT_EQ(frame({{0, piece(0, a)}, {0, piece(a, b)}, {0, piece(b, n)}}, 848, 10000), whole)
                << "cuts at " << a << " and " << b;
    }
}

}  // namespace
}  // namespace zeze
