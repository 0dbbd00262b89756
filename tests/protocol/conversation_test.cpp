// The conversation engine as tables of scripted exchanges: each row is what the operator does and the
// bytes the box sends, and what the engine then logs, sends and leaves in the sheet. Every way a box
// on a bad link used to get bytes it never held, or lost a reply it was owed, is a named row.
#include <gtest/gtest.h>

#include "protocol/box_job.h"
#include "script_session.h"

namespace zeze {
namespace {

using namespace std::chrono_literals;
using namespace test;

TEST(Conversation, OnAGoodLinkTheLinesAndBytesAreThoseOfAPromptBox) {
    runScripts({
        {"connect, Get, Send: one request each",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< {long}", "+100", "send", "+5588"},
         {kSuccess, "Firmware v2.10", "Dump data, 1448 bytes"},
         {kId, kDump, "download 1448"},
         "20 01 21",
         0x020A},
        {"a reply in pieces of any size is one reply",
         {"connect", "< FF 00", "< 00 05 0A", "< 02", "+100", "get", "< {long 0 1}", "< {long 1 1444}",
          "< {long 1444 1448}", "+100"},
         {kSuccess, "Firmware v2.10", "Dump data, 1448 bytes"},
         {kId, kDump},
         "20 01 21",
         0x020A},
        {"case 4: FF 01 00 in the box's own address at an arrival boundary, four bytes that end it",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< {fields 0 13}", "< {fields 13 1444}",
          "< {fields 1444 1448}", "+100"},
         {kSuccess, "Firmware v2.10", "Dump data, 1448 bytes"},
         {kId, kDump},
         "20 01 21",
         0x020A},
        {"a status message after the reply, and one split in two before it, change nothing",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "+2000", "< FF 00", "< 00 04 01", "+2000",
          "< {long}", "< FF 00 00 01 41 42", "+200"},
         {kSuccess, "Firmware v2.10", "GPI", "Port2", "Dump data, 1448 bytes"},
         {kId, kDump},
         "20 01 21",
         0x020A},
    });
}

TEST(Conversation, WhereTheFramingIsInDoubtTwoRepliesMustAgree) {
    runScripts({
        {"case 4: status messages then the dump in one arrival: asked again, believed when they agree",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< FF 00 00 04 FF 00 00 01 7F {long}", "+100",
          "< {long}", "+100"},
         {kSuccess, "Firmware v2.10", "GPI", "Port2", kConfirmDump, "Dump data, 1448 bytes"},
         {kId, kDump, kDump},
         "20 01 21",
         0x020A},
        {"case 1: a dump cut after 698 bytes, then GPI messages with a payload: nothing glued onto it",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< {long 0 698}", "+2000",
          "< FF 00 00 04 AB FF 00 00 04 AB FF 00 00 04 AB", "+3000"},
         {kSuccess, "Firmware v2.10", "Dropped 698 bytes from the box: the message was never completed.",
          "Get from Zeze failed: the box's reply was incomplete. The sheet is unchanged.", "GPI", "GPI",
          "GPI"},
         {kId, kDump},
         "7E",
         0x020A},
        {"case 2: a stalled rest arriving before the next answer is never read as part of it",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< {long 0 700}", "+2000", "get",
          "< {long 700 1448} {long}", "+2500", "< {long}", "+100", "< {long}", "+100"},
         {kSuccess, "Firmware v2.10", "Dropped 700 bytes from the box: the message was never completed.",
          "Get from Zeze failed: the box's reply was incomplete. The sheet is unchanged.",
          // The rest read from its look-alike header, with the answer's head: its own rest then pauses,
          // so it was a look-alike, and what it held is dropped with the reply it was taken for.
          "Dropped 748 bytes from the box that began no message: its messages were out of step.", kReplyLost,
          "Dump data, 1448 bytes", "Dump data, 1448 bytes arrived unasked: the sheet is unchanged."},
         {kId, kDump, kDump, kDump},
         "20 01 21",
         0x020A},
        {"case 3: a firmware look-alike in an unasked dump of a 2.09 box never sizes a download",
         {"connect", "< {short-lookalike}", "< FF 00 00 05 09 02", "+100", "< FF 00 00 05 09 02", "+100",
          "< FF 00 00 05 09 02", "+100", "send", "+3188"},
         // The reply right behind the dump is taken for the rest a long box's dump would have.
         {kSuccess, "Dump data, 848 bytes arrived unasked: the sheet is unchanged.",
          "Firmware v2.09, but other bytes came with it, so it may not be the reply: asking the box again to "
          "confirm.",
          "Firmware v2.09"},
         {kId, kId, "download 848"},
         "7E",
         0x0209},
        {"a reply found behind bytes out of step is never believed, not even twice",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< 00 {long}", "+100", "< 00 {long}", "+100"},
         {kSuccess, "Firmware v2.10", kOutOfStep1, kReplyLost, kOutOfStep1, kReplyLost},
         {kId, kDump, kDump, kDump},
         "",
         0x020A,
         true},
        {"replies that never agree end the Get with the sheet put back",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< FF 00 00 04 {long 0 1447} 01", "+100",
          "< FF 00 00 04 {long 0 1447} 02", "+100", "< FF 00 00 04 {long 0 1447} 03", "+100",
          "< FF 00 00 04 {long 0 1447} 04", "+100", "< FF 00 00 04 {long 0 1447} 05", "+100",
          "< FF 00 00 04 {long 0 1447} 06", "+100"},
         {kSuccess, "Firmware v2.10", "GPI", kConfirmDump, "GPI", kConfirmDump, "GPI", kConfirmDump, "GPI",
          kConfirmDump, "GPI", kConfirmDump, "GPI",
          "Get from Zeze failed: no two of the box's replies agreed, so none could be trusted. The sheet is "
          "unchanged."},
         {kId, kDump, kDump, kDump, kDump, kDump, kDump},
         "7E",
         0x020A},
    });
}

constexpr char kDownloadBusy[] =
    "Not sent: the previous download is still in its transfer pause. Try again when it ends.";
constexpr char kDownloadWhileGet[] =
    "Not sent: Get from Zeze is still waiting for the box's programming. Try again when it has arrived.";
constexpr char kDumpDisconnected[] = "Get from Zeze cancelled by Disconnect. The sheet is unchanged.";

TEST(Conversation, LimitsPausesAndTheConnection) {
    runScripts({
        {"nothing goes to the box during the pause; a Get waits for its end",
         {"connect", "< FF 00 00 05 0A 02", "+100", "send", "< FF 00 00 04", "get", "+5588", "< {long}",
          "+100"},
         {kSuccess, "Firmware v2.10", "GPI", "Dump data, 1448 bytes"},
         {kId, "download 1448", kDump},
         "20 01 21",
         0x020A},
        {"a late dump is never applied over the sheet put back",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "+10000", "< {long}", "+100"},
         {kSuccess, "Firmware v2.10", "Get from Zeze failed: no reply within 10 s. The sheet is unchanged.",
          "Dump data, 1448 bytes arrived unasked: the sheet is unchanged."},
         {kId, kDump},
         "7E",
         0x020A},
        {"chatter neither extends the limit nor keeps a request from going out",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "+1000", "< FF 00 00 04", "+1000", "< FF 00 00 04",
          "+1000", "< FF 00 00 04", "+7000"},
         {kSuccess, "Firmware v2.10", "GPI", "GPI", "GPI",
          "Get from Zeze failed: no reply within 10 s. The sheet is unchanged."},
         {kId, kDump},
         "7E",
         0x020A},
        {"no reply to the ID request: a held Get ends with the sheet put back",
         {"connect", "get", "+10000"},
         {kSuccess, "No reply to the ID request within 10 s: the box's firmware is unknown.",
          "Get from Zeze failed: the box has not told its firmware version on this connection. The sheet is "
          "unchanged."},
         {kId},
         "7E",
         0},
        {"a firmware reply before the ID request is unasked; a second ID click adds no request",
         {"< FF 00 00 05 0A 02", "connect", "id", "< FF 00 00 05 0A 02", "id", "+100"},
         {"Firmware v2.10 arrived unasked: ignored.", kSuccess, "Firmware v2.10"},
         {kId},
         "7E",
         0x020A},
        {"one transfer at a time: a second Send while one is held, a Send while a Get waits",
         {"connect", "send", "send", "< FF 00 00 05 0A 02", "+100", "+5588", "get", "send", "< {long}",
          "+100"},
         {kSuccess, kDownloadBusy, "Firmware v2.10", kDownloadWhileGet, "Dump data, 1448 bytes"},
         {kId, "download 1448", kDump},
         "20 01 21",
         0x020A},
        {"a second Get while one waits behind the pause changes nothing: a failure puts back the first's",
         {"connect", "< FF 00 00 05 0A 02", "+100", "send", "get", "get", "disconnect"},
         {kSuccess, "Firmware v2.10", kDumpDisconnected},
         {kId, "download 1448"},
         "7E",
         0},
        {"a row typed into while a Get waits keeps what was typed when the Get fails",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "edit 0 33", "+10000"},
         {kSuccess, "Firmware v2.10", "Get from Zeze failed: no reply within 10 s. The sheet is unchanged."},
         {kId, kDump},
         "33",
         0x020A},
        {"a new connection forgets a message begun on the one before: its first reply is exact",
         {"connect", "< FF 01 00 11", "connect", "< FF 00 00 05 0A 02", "+100"},
         {kSuccess, kSuccess, "Firmware v2.10"},
         {kId, kId},
         "7E",
         0x020A},
        {"a lost connection ends the pause as a failure",
         {"connect", "< FF 00 00 05 0A 02", "+100", "send", "lost"},
         {kSuccess, "Firmware v2.10", "The connection to the box was lost.",
          "Send to Zeze failed: the connection ended before the box had stored the download. It may not hold "
          "it."},
         {kId, "download 1448"},
         "7E",
         0x020A},
    });
}

// zeze's jobs on the same engine.
TEST(BoxJob, ABackupIsReadTwiceAndChatterDoesNotHoldAJob) {
    const ConversationLimits limits;
    TimePoint now{};
    const auto run = [&](BoxJobFlow& job, const std::vector<std::vector<Byte>>& replies) {
        std::vector<std::string> sent;
        std::size_t next = 0;
        auto carry = [&](Effects effects) {
            for (const auto& m : effects.sends) {
                sent.push_back(describeSend(m));
                if (next < replies.size())
                    (void)job.arrived(replies[next++], now);
            }
        };
        carry(job.connected(now));
        while (!job.done()) {
            const auto due = job.wakeAt();
            if (!due)
                break;
            now = std::max(now, *due);
            carry(job.advance(now));
        }
        return sent;
    };
    const std::vector<Byte> firmware = bytes("FF 00 00 05 0A 02");
    BoxJobFlow read(BoxJob::Read, limits);
    EXPECT_EQ(run(read, {firmware, longDump(), longDump()}), (std::vector<std::string>{kId, kDump, kDump}));
    ASSERT_TRUE(read.done());
    EXPECT_TRUE(read.result().ok) << read.result().error;
    EXPECT_EQ(read.result().record, longDump());

    BoxJobFlow chatter(BoxJob::Read, limits);
    (void)chatter.connected(now);
    for (int i = 0; i < 12 && !chatter.done(); ++i) {
        now += 1s;
        (void)chatter.arrived(bytes("FF 00 00 04"), now);
        if (const auto due = chatter.wakeAt(); due && *due <= now)
            (void)chatter.advance(now);
    }
    ASSERT_TRUE(chatter.done());
    EXPECT_EQ(chatter.result().error, "no reply within 10 s");

    BoxJobFlow program(BoxJob::Program, limits);
    program.setProgram(configValuesOf(Sheet{}), false);
    (void)program.connected(now);
    (void)program.arrived(firmware, now);
    const Effects download = program.advance(now + 100ms);
    ASSERT_EQ(download.sends.size(), 1u);
    EXPECT_EQ(program.phase(), BoxPhase::Pausing);
    (void)program.connectionLost(now + 110ms);
    ASSERT_TRUE(program.done());
    EXPECT_FALSE(program.result().ok);
    EXPECT_NE(program.result().error.find("may not have stored"), std::string::npos);
}

}  // namespace
}  // namespace zeze
