// The conversation engine as tables of scripted exchanges: each row is what the operator does and the
// bytes the box sends, and what the engine then logs, sends and leaves in the sheet. Every way a box
// on a bad link used to get bytes it never held, or lost a reply it was owed, is a named row.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <utility>

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
        {"bytes out of step right behind the reply: it was no reply",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< {long} 00", "+2000", "< {long}", "+100"},
         {kSuccess, "Firmware v2.10", kOutOfStep1, kReplyLost, "Dump data, 1448 bytes"},
         {kId, kDump, kDump},
         "20 01 21",
         0x020A},
        {"bytes dropped after the reply put it in doubt; the next request's window begins clean",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< {long} FF 00 00 05 0A 02 00", "+2000",
          "< {fields}", "+100"},
         {kSuccess, "Firmware v2.10", "Firmware v2.10 arrived unasked: ignored.", kOutOfStep1, kConfirmDump,
          "Dump data, 1448 bytes"},
         {kId, kDump, kDump},
         "20 01 21",
         0x020A},
        {"two replies that both agree with the window before settle nothing",
         {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< FF 00 00 04 {long} FF 00 00 04 {fields}", "+100",
          "< FF 00 00 04 {long} FF 00 00 04 {fields}", "+100", "< {long}", "+100"},
         {kSuccess, "Firmware v2.10", "GPI", "GPI", kConfirmDump, "GPI", "GPI", kConfirmDump, "Dump data, 1448 bytes"},
         {kId, kDump, kDump, kDump},
         "20 01 21",
         0x020A},
        {"Read Short on a long box: the dump is read short, and its rest taken for it",
         {"connect", "< FF 00 00 05 0A 02", "+100", "read short", "get", "< {long}", "+100", "< {long}", "+100"},
         {kSuccess, "Firmware v2.10",
          "Dump data, 848 bytes, but other bytes came with it, so it may not be the reply: asking the box again "
          "to confirm.",
          "Dump data, 848 bytes"},
         {kId, kDump, kDump},
         "20 01 21",
         0x020A},
        {"a dump header inside a status payload is payload while no dump is awaited",
         {"connect", "< FF 00 00 05 0A 02", "+100", "< FF 00 00 04 AB FF 01 00 11 22", "+200"},
         {kSuccess, "Firmware v2.10", "GPI"},
         {kId},
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
        {"a Get clicked while a message comes waits for the line to rest",
         {"connect", "< FF 00 00 05 0A 02", "+3000", "< FF 00 00 04", "get", "disconnect"},
         {kSuccess, "Firmware v2.10", "GPI", kDumpDisconnected},
         {kId},
         "7E",
         0},
        {"an ID request the connection did not take is not awaited, and ends a Get held for it",
         {"connect", "get", "refused", "+10000"},
         {kSuccess, "Couldn't send ID request",
          "Get from Zeze failed: the box has not told its firmware version on this connection. The sheet is "
          "unchanged."},
         {kId},
         "7E",
         0},
        {"a loss during the pause after Connect's wait failed ends the pause without a loss line",
         {"connecting", "send", "< FF 00 00 05 0A 02", "+100", "wait failed", "lost"},
         {"Firmware v2.10", "Couldn't send ID request",
          "Send to Zeze failed: the connection ended before the box had stored the download. It may not hold "
          "it."},
         {kId, "download 1448"},
         "7E",
         0x020A},
        {"a second Connect forgets what the last connection left half-read: its first reply is believed",
         {"connect", "< FF 00 00 04 AB FF 00", "connect", "< FF 00 00 05 0A 02", "+100"},
         {kSuccess, "GPI", kSuccess, "Firmware v2.10"},
         {kId, kId},
         "7E",
         0x020A},
        {"a Get held behind a download the connection did not take goes out at once",
         {"connect", "< FF 00 00 05 0A 02", "+100", "send", "get", "refused", "< {long}", "+100"},
         {kSuccess, "Firmware v2.10",
          "Couldn't send download: the connection did not take it. Nothing was written to the box.",
          "Dump data, 1448 bytes"},
         {kId, "download 1448", kDump},
         "20 01 21",
         0x020A},
        {"nothing goes to the box before Connect's wait is over, not even an ID request clicked during it",
         {"connecting", "up", "id", "< FF 00 00 05 0A 02", "wait over", "+100"},
         {"Firmware v2.10 arrived unasked: ignored.", kSuccess},
         {kId},
         "7E",
         0},
        {"a firmware reply begun exactly that stops is given up: the firmware is unknown",
         {"connect", "< FF 00 00 05 0A", "+3000"},
         {kSuccess, "Dropped 5 bytes from the box: the message was never completed.",
          "The reply to the ID request was incomplete: the box's firmware is unknown."},
         {kId},
         "7E",
         0},
        {"a connection that comes up after Connect's wait is asked its ID",
         {"connecting", "wait failed", "up", "< FF 00 00 05 0A 02", "+100"},
         {"Couldn't send ID request", "Connected after the wait: ID request sent", "Firmware v2.10"},
         {kId},
         "7E",
         0x020A},
        {"a long box's pause lasts 5588 ms: a Get clicked in it waits all of it",
         {"connect", "< FF 00 00 05 0A 02", "+100", "send", "get", "+5500", "lost"},
         {kSuccess, "Firmware v2.10", "The connection to the box was lost.",
          "Get from Zeze failed: the connection ended. The sheet is unchanged.",
          "Send to Zeze failed: the connection ended before the box had stored the download. It may not hold "
          "it."},
         {kId, "download 1448"},
         "7E",
         0x020A},
        {"a Send and a Get clicked during Connect's wait end when the wait ends without the connection",
         {"connecting", "up", "send", "get", "wait failed"},
         {"Couldn't send ID request", "Get from Zeze failed: the connection ended. The sheet is unchanged.",
          "Couldn't send download"},
         {},
         "7E",
         0},
    });
}

// Short limits: the start limit runs from the request, the whole limit from the first request.
TEST(Conversation, ARepliesLimitsRunFromItsRequest) {
    ConversationLimits limits;
    limits.replyStart = 1000ms;
    limits.replyTotal = 1500ms;
    runScripts(
        {
            {"a reply begun the instant its request went out has the whole limit to trickle in",
             {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< {long 0 400}", "+400", "< {long 400 800}", "+400",
              "< {long 800 1200}", "+400", "< {long 1200 1448}", "+100"},
             {kSuccess, "Firmware v2.10", "Dump data, 1448 bytes"},
             {kId, kDump},
             "20 01 21",
             0x020A},
            {"a dump still under way at the whole limit is too slow, not incomplete",
             {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< {long 0 400}", "+3000"},
             {kSuccess, "Firmware v2.10", "Dropped 400 bytes from the box: the message was never completed.",
              "Get from Zeze failed: the box's reply was not complete within 1.5 s. The sheet is unchanged."},
             {kId, kDump},
             "7E",
             0x020A},
            {"a firmware reply begun with its request and still under way at the whole limit is given up",
             {"connect", "< FF 00 00 05", "+3000"},
             {kSuccess, "Dropped 4 bytes from the box: the message was never completed.",
              "No reply to the ID request within 1 s: the box's firmware is unknown."},
             {kId},
             "7E",
             0},
        },
        limits);
    limits.replyStart = 2500ms;
    limits.replyTotal = 3000ms;
    runScripts({{"the whole limit runs from the first request, not from the request asking again",
                 {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< FF 00 00 04 {long}", "+2100",
                  "< {long 0 500}", "+400", "< {long 500 1000}", "+400", "< {long 1000 1400}", "+150",
                  "< {long 1400 1448}", "+100"},
                 {kSuccess, "Firmware v2.10", "GPI", kConfirmDump,
                  "Dropped 1400 bytes from the box: the message was never completed.",
                  "Get from Zeze failed: the box's reply was not complete within 3 s. The sheet is unchanged.",
                  "Dropped 48 bytes from the box that began no message: its messages were out of step."},
                 {kId, kDump, kDump},
                 "7E",
                 0x020A}},
               limits);
}

// The end of a transfer pause tells whether the connection stood through it.
TEST(Conversation, APauseEndsWellOnlyWhereTheConnectionStood) {
    const std::vector<std::pair<std::vector<std::string>, std::optional<bool>>> cases = {
        {{"connect", "< FF 00 00 05 0A 02", "+100", "send", "+5588"}, true},
        {{"connect", "< FF 00 00 05 0A 02", "+100", "send", "lost"}, false},
        {{"connect", "< FF 00 00 05 0A 02", "+100", "send", "disconnect"}, false},
        {{"connecting", "send", "< FF 00 00 05 0A 02", "+100", "wait failed", "+5588"}, false},
    };
    for (const auto& [steps, ended] : cases) {
        Session s;
        for (const std::string& step : steps)
            s.run(step);
        EXPECT_EQ(s.last.pauseEnded, ended) << ::testing::PrintToString(steps);
    }
}

// A request held for the line to rest goes out as soon as it rests, not a silence later.
TEST(Conversation, AHeldRequestWakesTheEngineWhenTheLineRests) {
    Session s;
    for (const char* step : {"connect", "< FF 00 00 05 0A 02", "+100", "< FF 00 00 04 FF 00 00 05 0A 02", "get"})
        s.run(step);
    EXPECT_EQ(s.sent, (std::vector<std::string>{kId}));
    EXPECT_EQ(s.conversation.wakeAt(), s.now + 100ms);
}

// Read Short switched on while a reply comes: the reply is read with short pin slots.
TEST(Conversation, AReplyThatEndsUnderReadShortIsReadShort) {
    Session s;
    for (const char* step : {"connect", "< FF 00 00 05 0A 02", "+100", "get", "< {long 0 100}", "read short",
                             "< {long 100 1448}", "+100", "read short", "< {long 0 100}", "read short",
                             "< {long 100 1448}", "+100"})
        s.run(step);
    EXPECT_EQ(s.lines, (std::vector<std::string>{kSuccess, "Firmware v2.10", kConfirmDump, "Dump data, 1448 bytes"}));
    // Pin 12's 55-byte command lies where short pin slots hold nothing.
    EXPECT_EQ(s.sheet.pins[0].command, "20 01 21");
    EXPECT_EQ(s.sheet.pins[10].command, "");
}

// Disconnect forgets the box: a download refused offline afterwards is sized as a short box's.
TEST(Conversation, DisconnectForgetsTheBoxsPinSize) {
    Session s;
    for (const char* step : {"connect", "< FF 00 00 05 0A 02", "+100", "disconnect"})
        s.run(step);
    s.take(s.conversation.download(false, s.now, s.sheet));
    EXPECT_EQ(s.sheet.GPIMsgLength, kShortMsgLength);
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
    EXPECT_EQ(program.pauseEnds(), now + 100ms + transferPause(kLongMsgLength));
    (void)program.connectionLost(now + 110ms);
    ASSERT_TRUE(program.done());
    EXPECT_FALSE(program.result().ok);
    EXPECT_NE(program.result().error.find("may not have stored"), std::string::npos);
}

// Each job from its ID request to its end, the box answering each message sent with the next reply:
// bytes, "" (nothing), "refused" (the connection did not take it) or "lost" (the connection ends).
TEST(BoxJob, EachJobEndsWithItsResultOrItsOwnLine) {
    struct JobCase {
        const char* name;
        BoxJob job;
        const char* program;  // Program: pin 2's command in the sheet sent
        std::vector<std::string> replies;
        std::vector<std::string> sent;
        std::string error;  // "" when the job succeeds
        std::uint16_t firmware = 0x020A;
    };
    const std::string fw = "FF 00 00 05 0A 02";
    Sheet stored;  // what a long box holds after a program with pin 2's command 20 01 21
    stored.pins[1].command = "20 01 21";
    const std::string readBack = hexText(EncodeConfigMessage(canonicalValuesOf(stored), kLongMsgLength).message);
    const std::vector<JobCase> cases = {
        {"Info: the firmware and the pin size", BoxJob::Info, nullptr, {fw}, {kId}, ""},
        {"Info: the connection ends while the box is asked", BoxJob::Info, nullptr, {"lost"}, {kId},
         "the box closed the connection", 0},
        {"Info: replies that never agree", BoxJob::Info, nullptr,
         {"FF 00 00 04 FF 00 00 05 0A 01", "FF 00 00 04 FF 00 00 05 0A 02", "FF 00 00 04 FF 00 00 05 0A 03",
          "FF 00 00 04 FF 00 00 05 0A 04", "FF 00 00 04 FF 00 00 05 0A 05", "FF 00 00 04 FF 00 00 05 0A 06"},
         {kId, kId, kId, kId, kId, kId},
         "no two of the box's replies agreed, so none could be trusted",
         0},
        {"Read: the connection ends while the dump is awaited", BoxJob::Read, nullptr, {fw, "lost"}, {kId, kDump},
         "the box closed the connection"},
        {"Read: the connection did not take the request", BoxJob::Read, nullptr, {fw, "refused"}, {kId, kDump},
         "the connection did not take the request"},
        {"Read: a short box's dump cut short", BoxJob::Read, nullptr, {"FF 00 00 05 09 02", "{short-lookalike 0 400}"},
         {kId, kDump}, "dump reply cut short: 400 of 848 bytes, then 2 s of silence", 0x0209},
        {"Program: the connection did not take the download", BoxJob::Program, "20 01 21", {fw, "refused"},
         {kId, "download 1448"}, "the connection did not take the download"},
        {"Program: a command typed loosely is sent canonical and read back equal", BoxJob::Program,
         "  20   01 21", {fw, "", readBack}, {kId, "download 1448", kDump}, ""},
        {"Program: a read-back that differs in one field", BoxJob::Program, "20 01 22", {fw, "", readBack},
         {kId, "download 1448", kDump}, "read back differs in 1 field"},
        {"Program: a box too small for the program: nothing is sent", BoxJob::Program, "too big", {fw}, {kId},
         "too big for this box; nothing was sent"},
    };
    for (const JobCase& c : cases) {
        BoxJobFlow job(c.job, ConversationLimits{});
        if (c.program) {
            Sheet sheet;
            sheet.pins[1].command = c.program;
            job.setProgram(configValuesOf(sheet), true, [&](const ConfigValues&, std::uint8_t) {
                return c.program == std::string("too big") ? std::optional<std::string>("too big for this box")
                                                          : std::nullopt;
            });
        }
        TimePoint now{};
        std::vector<std::string> sent;
        std::size_t next = 0;
        std::function<void(Effects)> carry = [&](Effects effects) {
            for (const auto& message : effects.sends) {
                sent.push_back(describeSend(message));
                const std::string reply = next < c.replies.size() ? c.replies[next++] : "";
                if (reply == "refused")
                    carry(job.sendRefused(now));
                else if (reply == "lost")
                    carry(job.connectionLost(now));
                else if (!reply.empty())
                    carry(job.arrived(blob(reply), now));
            }
        };
        carry(job.connected(now));
        while (const auto due = job.wakeAt()) {
            now = std::max(now, *due);
            carry(job.advance(now));
        }
        ASSERT_TRUE(job.done()) << c.name;
        EXPECT_EQ(sent, c.sent) << c.name;
        EXPECT_EQ(job.result().error, c.error) << c.name;
        EXPECT_EQ(job.result().ok, c.error.empty()) << c.name;
        EXPECT_EQ(job.result().firmwareVersion, c.firmware) << c.name;
        EXPECT_EQ(job.result().msgLength, c.firmware ? msgLengthForFirmware(c.firmware) : 0) << c.name;
        EXPECT_EQ(job.result().verified, c.job == BoxJob::Program && c.error.empty()) << c.name;
    }
    // A job that failed before its connection stood asks nothing.
    BoxJobFlow failed(BoxJob::Info, ConversationLimits{});
    failed.fail("could not connect");
    EXPECT_TRUE(failed.connected(TimePoint{}).sends.empty());
}

}  // namespace
}  // namespace zeze
