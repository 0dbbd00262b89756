// Short scripted conversations, one per way a box on a bad link used to lose data or hang the tool.
// The seeded simulation (conversation_sim) covers the same ground at random; these name the cases.
#include <gtest/gtest.h>

#include "protocol/box_job.h"
#include "protocol/conversation.h"
#include "protocol_test_support.h"

namespace zeze {
namespace {

using namespace std::chrono_literals;
using test::bytes;
using test::emptyDump;

const std::vector<Byte> kFirmware210 = bytes("FF 00 00 05 0A 02");
const std::vector<Byte> kGpi = bytes("FF 00 00 04");
const std::vector<Byte> kIdRequest = bytes("FF 00 02");
const std::vector<Byte> kDumpRequest = bytes("FF 01 01");

// A dump reply of a long box whose pin 2 command is 20 01 21.
std::vector<Byte> longDump() {
    std::vector<Byte> dump = emptyDump(kLongMsgLength);
    test::put(dump, 80, "03 01 20 01 21");
    return dump;
}

std::vector<Byte> join(std::vector<Byte> a, const std::vector<Byte>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Session {
    Sheet sheet;
    Conversation conversation{sheet};
    TimePoint now{};
    std::vector<std::string> lines;
    std::vector<std::vector<Byte>> sent;

    Effects take(Effects effects) {
        lines.insert(lines.end(), effects.lines.begin(), effects.lines.end());
        sent.insert(sent.end(), effects.sends.begin(), effects.sends.end());
        return effects;
    }
    // Connected, and the box has told its firmware.
    void connect() {
        take(conversation.connecting(now));
        take(conversation.connectWaitOver(true, now));
        take(conversation.arrived(kFirmware210, now));
        lines.clear();
        sent.clear();
    }
    Effects at(Millis later) {
        now += later;
        return take(conversation.advance(now));
    }
    Effects arrive(const std::vector<Byte>& message) { return take(conversation.arrived(message, now)); }
    Effects get() { return take(conversation.requestDump(true, now)); }
    Effects send() { return take(conversation.download(true, now)); }
    std::string command(int row) const { return sheet.pins[row].command; }
};

TEST(Conversation, OnAGoodLinkTheLinesAndBytesAreThoseOfAPromptBox) {
    Session s;
    s.take(s.conversation.connecting(s.now));
    s.take(s.conversation.connectWaitOver(true, s.now));
    EXPECT_EQ(s.sent, std::vector<std::vector<Byte>>{kIdRequest});
    s.arrive(kFirmware210);
    EXPECT_EQ(s.sheet.GPIMsgLength, 55);
    s.get();
    EXPECT_TRUE(s.conversation.transferWaiting());
    s.arrive(longDump());
    EXPECT_FALSE(s.conversation.transferWaiting());
    EXPECT_EQ(s.command(0), "20 01 21");
    const Effects sent = s.send();
    ASSERT_EQ(sent.sends.size(), 1u);
    EXPECT_EQ(sent.sends[0].size(), 1448u);
    EXPECT_EQ(s.conversation.wakeAt(), s.now + 5588ms);
    EXPECT_EQ(s.at(5588ms).pauseEnded, true);
    EXPECT_EQ(s.lines, (std::vector<std::string>{"Success!", "Firmware v2.10", "Dump data, 1448 bytes"}));
    EXPECT_EQ(s.conversation.wakeAt(), std::nullopt);
}

TEST(Conversation, NothingGoesToTheBoxDuringThePauseAndAGetWaitsForItsEnd) {
    Session s;
    s.connect();
    s.send();
    s.arrive(kGpi);  // a status message no longer ends the wait
    EXPECT_TRUE(s.conversation.transferWaiting());
    EXPECT_TRUE(s.get().sends.empty());
    EXPECT_EQ(s.command(0), "");
    EXPECT_EQ(s.at(5587ms).sends.size(), 0u);
    EXPECT_TRUE(s.conversation.transferWaiting());
    EXPECT_EQ(s.at(1ms).sends, std::vector<std::vector<Byte>>{kDumpRequest});
    EXPECT_TRUE(s.conversation.transferWaiting());  // the read still awaited after the pause
}

TEST(Conversation, ALateDumpIsNeverAppliedOverLaterEdits) {
    Session s;
    s.connect();
    s.sheet.pins[0].command = "11";
    s.get();
    s.at(10s);
    EXPECT_EQ(s.lines.back(), "Get from Zeze failed: no reply within 10 s. The sheet is unchanged.");
    EXPECT_EQ(s.command(0), "11");
    s.sheet.pins[1].command = "22";
    const Effects late = s.arrive(longDump());
    EXPECT_FALSE(late.sheetChanged);
    EXPECT_EQ(s.lines.back(), "Dump data, 1448 bytes arrived unasked: the sheet is unchanged.");
    EXPECT_EQ(s.command(0), "11");
    EXPECT_EQ(s.command(1), "22");
}

TEST(Conversation, TheTailOfACutDumpIsNeverReadAsAFirmwareReplyAtAnyDelay) {
    Session s;
    s.connect();
    s.get();
    const std::vector<Byte> dump = longDump();
    s.arrive({dump.begin(), dump.begin() + 700});
    s.at(2s);
    EXPECT_EQ(s.lines[0], "Dropped 700 bytes from the box: the message was never completed.");
    std::vector<Byte> tail(748, 0);
    test::put(tail, 0, "FF 00 00 05 00 02");
    s.at(4500ms);
    s.arrive(tail);
    EXPECT_EQ(s.lines.back(), "Discarded 748 more bytes: the rest of the dropped message.");
    EXPECT_EQ(s.sheet.FirmwareVersion, 0x020A);
    EXPECT_EQ(s.sheet.GPIMsgLength, 55);
}

TEST(Conversation, OutOfStepNoHeaderIsBelievedUntilTheLineIsQuiet) {
    Session s;
    s.connect();
    // Bytes that begin with no start byte are the middle of a message: a firmware look-alike right
    // behind them is not a firmware reply, and a Get waits for the line to be quiet before it asks.
    s.arrive(bytes("00 00 0A 0A"));
    s.get();
    EXPECT_TRUE(s.sent.empty());
    s.at(1s);
    s.arrive(join(bytes("FF 00 00 05 00 02"), std::vector<Byte>(100, 0)));
    EXPECT_EQ(s.sheet.FirmwareVersion, 0x020A);
    s.at(2s);
    EXPECT_EQ(s.sent, std::vector<std::vector<Byte>>{kDumpRequest});
    EXPECT_EQ(s.lines,
              (std::vector<std::string>{
                  "Unknown message.",
                  "Discarded 106 more bytes until the line was quiet: the box's messages were out of "
                  "step, so where the next one began could not be told."}));
    s.arrive(longDump());
    EXPECT_EQ(s.command(0), "20 01 21");

    // The head of a dump whose rest never came, then a whole one in an arrival of its own: the box
    // writes each message whole, so the reading that ends where an arrival ends is the box's.
    s.lines.clear();
    s.sheet.pins[0].command = "7E";
    s.get();
    const std::vector<Byte> dump = longDump();
    s.arrive({dump.begin(), dump.begin() + 600});
    s.arrive(dump);
    EXPECT_EQ(s.lines,
              (std::vector<std::string>{"Dropped 600 bytes from the box: the message was never completed.",
                                        "Dump data, 1448 bytes"}));
    EXPECT_EQ(s.command(0), "20 01 21");
    // With bytes of no known kind behind it, neither reading ends where an arrival does: no dump.
    s.lines.clear();
    s.sheet.pins[0].command = "7E";
    s.get();
    s.arrive({dump.begin(), dump.begin() + 600});
    s.arrive(join(dump, std::vector<Byte>(10, 0)));
    EXPECT_EQ(s.lines,
              (std::vector<std::string>{
                  "Dropped 2058 bytes from the box: no message ended where its kind says, so none was "
                  "read.",
                  "Get from Zeze failed: the box's reply was incomplete. The sheet is unchanged."}));
    EXPECT_EQ(s.command(0), "7E");
    // A dump split just before a look-alike header in its command bytes is read whole.
    std::vector<Byte> lookAlike = emptyDump(kLongMsgLength);
    test::put(lookAlike, 80, "03 01 FF 01 00");
    s.at(2s);
    s.get();
    s.arrive({lookAlike.begin(), lookAlike.begin() + 82});
    s.arrive({lookAlike.begin() + 82, lookAlike.end()});
    EXPECT_EQ(s.lines.back(), "Dump data, 1448 bytes");
    EXPECT_EQ(s.command(0), "FF 01 00");
    // A status message arriving on its own while a dump is held: the box moved on, the dump was cut.
    s.lines.clear();
    s.get();
    s.arrive({dump.begin(), dump.begin() + 300});
    s.arrive(kGpi);
    EXPECT_EQ(s.lines,
              (std::vector<std::string>{
                  "Dropped 300 bytes from the box: the message was never completed.",
                  "Get from Zeze failed: the box's reply was incomplete. The sheet is unchanged.", "GPI"}));
    // One arrival longer than its message is still read as that message.
    s.at(2s);
    s.get();
    s.arrive(join(dump, std::vector<Byte>(52, 0)));
    EXPECT_EQ(s.lines.back(), "Dump data, 1500 bytes");
    EXPECT_EQ(s.command(0), "20 01 21");
}

TEST(Conversation, AChattyBoxNeitherKeepsDiscardingNorDelaysTheLimit) {
    Session s;
    s.connect();
    s.get();
    s.arrive(bytes("FF 01 00 01 02"));
    s.at(2s);  // given up; its rest would be 1443 bytes
    // A retry: the status messages before its answer count as the rest of the dropped dump, and do
    // not extend the limit either.
    EXPECT_EQ(s.get().sends, std::vector<std::vector<Byte>>{kDumpRequest});
    for (int i = 0; i < 9; ++i) {
        s.at(1s);
        s.arrive(kGpi);
    }
    s.at(1s);
    EXPECT_EQ(s.lines.back(), "Get from Zeze failed: no reply within 10 s. The sheet is unchanged.");
    EXPECT_FALSE(s.conversation.transferWaiting());
    // The next answer ends the discarding where it begins, even glued behind a status message.
    s.get();
    s.arrive(join(kGpi, longDump()));
    const std::size_t n = s.lines.size();
    EXPECT_EQ(s.lines[n - 3], "Discarded 36 more bytes of the dropped message.");
    EXPECT_EQ(s.lines[n - 2], "GPI");
    EXPECT_EQ(s.lines[n - 1], "Dump data, 1448 bytes");
    EXPECT_EQ(s.command(0), "20 01 21");
}

TEST(Conversation, NoTransferBeforeTheFirmwareOfThisConnection) {
    Session s;
    s.take(s.conversation.connecting(s.now));
    // Send clicked during Connect's wait: normalised now, held until the box's size is known.
    s.sheet.pins[0].command = " 20  1 ";
    EXPECT_TRUE(s.send().sends.empty());
    EXPECT_EQ(s.command(0), "20 01");
    EXPECT_TRUE(s.conversation.transferWaiting());
    s.take(s.conversation.connectWaitOver(true, s.now));
    EXPECT_EQ(s.sent, std::vector<std::vector<Byte>>{kIdRequest});
    s.arrive(bytes("FF 00 00 05 09 02 FF"));  // firmware 2.09
    ASSERT_EQ(s.sent.size(), 2u);
    EXPECT_EQ(s.sent[1].size(), 848u);

    // A firmware reply glued behind a status message is read; one nobody asked for is not.
    Session t;
    t.take(t.conversation.connecting(t.now));
    t.arrive(kFirmware210);
    EXPECT_EQ(t.lines.back(), "Firmware v2.10 arrived unasked: ignored.");
    EXPECT_EQ(t.sheet.GPIMsgLength, 30);
    t.take(t.conversation.connectWaitOver(true, t.now));
    t.arrive(join(kGpi, kFirmware210));
    EXPECT_EQ(t.lines.back(), "Firmware v2.10");
    EXPECT_EQ(t.sheet.GPIMsgLength, 55);

    // No answer to the ID request: a held Get ends with the sheet put back.
    Session u;
    u.take(u.conversation.connecting(u.now));
    u.take(u.conversation.connectWaitOver(true, u.now));
    u.sheet.pins[3].command = "33";
    u.get();
    u.at(10s);
    EXPECT_EQ(u.command(3), "33");
    EXPECT_FALSE(u.conversation.transferWaiting());
    EXPECT_EQ(
        u.lines.back(),
        "Get from Zeze failed: the box has not told its firmware version on this connection. The sheet is "
        "unchanged.");
}

TEST(Conversation, ALostConnectionIsSaidAtOnceAndEndsWhatWasAwaited) {
    Session s;
    s.connect();
    s.take(s.conversation.connectionLost(s.now));
    EXPECT_EQ(s.lines, std::vector<std::string>{"The connection to the box was lost."});
    Session p;
    p.connect();
    p.send();
    const Effects lost = p.take(p.conversation.connectionLost(p.now));
    EXPECT_EQ(lost.pauseEnded, false);
    EXPECT_FALSE(p.conversation.transferWaiting());
}

// zeze's jobs on the same engine.
TEST(BoxJob, ChatterDoesNotHoldAJobAndAResetDuringThePauseIsNoSuccess) {
    const ConversationLimits limits;
    TimePoint now{};
    BoxJobFlow read(BoxJob::Read, limits);
    read.connected(now);
    for (int i = 0; i < 12 && !read.done(); ++i) {
        now += 1s;
        read.arrived(kGpi, now);
        if (const auto due = read.wakeAt(); due && *due <= now)
            read.advance(now);
    }
    ASSERT_TRUE(read.done());
    EXPECT_EQ(read.result().error, "no reply within 10 s");

    BoxJobFlow program(BoxJob::Program, limits);
    program.setProgram(configValuesOf(Sheet{}), false);
    program.connected(now);
    const Effects download = program.arrived(kFirmware210, now);
    ASSERT_EQ(download.sends.size(), 1u);
    EXPECT_EQ(program.phase(), BoxPhase::Pausing);
    program.connectionLost(now + 10ms);
    ASSERT_TRUE(program.done());
    EXPECT_FALSE(program.result().ok);
    EXPECT_NE(program.result().error.find("may not have stored"), std::string::npos);
}

}  // namespace
}  // namespace zeze
