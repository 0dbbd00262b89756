// Scripted exchanges with the conversation engine, for tables of them: each row is what the operator
// does and the bytes the box sends, and what the engine then logs, sends and leaves in the sheet.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/conversation.h"
#include "protocol_test_support.h"

namespace zeze::test {

using namespace std::chrono_literals;

// A long box's dump reply whose pin 2 command is 20 01 21, with a look-alike dump header at offset
// 700 (inside pin 12's command) where a stalled reply can split.
inline std::vector<Byte> longDump() {
    std::vector<Byte> dump = test::emptyDump(kLongMsgLength);
    test::put(dump, 80, "03 01 20 01 21");
    test::put(dump, 650, "37");  // pin 12: 55 bytes
    test::put(dump, 700, "FF 01 00 AA");
    return dump;
}

// A short box's (2.09) dump reply whose pin 18 holds a firmware reply of version 4.00.
inline std::vector<Byte> shortDumpWithFirmwareLookAlike() {
    std::vector<Byte> dump = test::emptyDump(kShortMsgLength);
    test::put(dump, 80, "02 01 11 22");
    test::put(dump, 80 + 16 * 32, "06 00 FF 00 00 05 00 04");
    return dump;
}

// A long box's dump reply whose own address and port (192.168.255.1:23) hold FF 01 00, and whose
// mask 255.0.0.0 and last command end like status messages.
inline std::vector<Byte> dumpWithLookAlikeFields() {
    std::vector<Byte> dump = test::emptyDump(kLongMsgLength);
    test::put(dump, 7, "FF 00 00 00 C0 A8 FF 01 00 17");
    test::put(dump, 80, "03 01 20 01 21");
    test::put(dump, 1391, "04 01 AA FF 00 00 01");
    return dump;
}

// The bytes of a step: hex, or a named blob with an optional range: {long}, {long 0 700}.
inline std::vector<Byte> blob(const std::string& text) {
    static const std::map<std::string, std::vector<Byte>> kBlobs = {
        {"long", longDump()},
        {"short-lookalike", shortDumpWithFirmwareLookAlike()},
        {"fields", dumpWithLookAlikeFields()},
    };
    std::vector<Byte> out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('{', at);
        out = out + bytes(text.substr(at, open == std::string::npos ? std::string::npos : open - at));
        if (open == std::string::npos)
            break;
        const std::size_t close = text.find('}', open);
        std::istringstream range(text.substr(open + 1, close - open - 1));
        std::string name;
        std::size_t from = 0, to = 0;
        range >> name;
        const std::vector<Byte>& whole = kBlobs.at(name);
        if (!(range >> from >> to))
            to = whole.size();
        out.insert(out.end(), whole.begin() + static_cast<std::ptrdiff_t>(from),
                   whole.begin() + static_cast<std::ptrdiff_t>(to));
        at = close + 1;
    }
    return out;
}

// "20 01 21" -> itself; a download -> "download N".
inline std::string describeSend(const std::vector<Byte>& message) {
    return message.size() > 3 ? "download " + std::to_string(message.size()) : test::hexText(message);
}

struct Session {
    explicit Session(const ConversationLimits& limits = {}) : conversation(limits) {}

    Sheet sheet;
    Conversation conversation;
    TimePoint now{};
    std::vector<std::string> lines;
    std::vector<std::string> sent;
    Effects last;

    void take(Effects effects) {
        applySheetChange(sheet, effects.sheet);
        lines.insert(lines.end(), effects.lines.begin(), effects.lines.end());
        for (const auto& message : effects.sends)
            sent.push_back(describeSend(message));
        last.append(std::move(effects));
    }
    // Time passes as under the window's timer: the engine is woken whenever it asked to be.
    void wait(Millis span) {
        const TimePoint until = now + span;
        while (const auto due = conversation.wakeAt()) {
            if (*due > until)
                break;
            now = std::max(now, *due);
            take(conversation.advance(now));
        }
        now = until;
        take(conversation.advance(now));
    }
    // One step of a script: "connect", "get", "compare", "send", "id", "disconnect", "lost",
    // "edit ROW TEXT", "+MS" (time passes), "< BYTES" (they arrive); Connect in its parts:
    // "connecting" (the click), "up" (the connection comes up during the wait), "wait over" and
    // "wait failed" (the wait ends with or without a connection); "refused" (the connection did not
    // take the last message sent); "read short" (the operator toggles Read Short).
    void run(const std::string& step) {
        if (step == "connect") {
            take(conversation.connecting(now));
            take(conversation.connectWaitOver(true, now));
        } else if (step == "connecting") {
            take(conversation.connecting(now));
        } else if (step == "up") {
            take(conversation.connectionUp(now));
        } else if (step == "wait over" || step == "wait failed") {
            take(conversation.connectWaitOver(step == "wait over", now));
        } else if (step == "refused") {
            take(conversation.sendRefused(now));
        } else if (step == "read short") {
            sheet.readShort = !sheet.readShort;
            conversation.setReadShort(sheet.readShort);
        } else if (step == "get") {
            take(conversation.requestDump(true, now, sheet));
        } else if (step == "compare") {
            take(conversation.requestProgramming(true, now));
        } else if (step == "send") {
            take(conversation.download(true, now, sheet));
        } else if (step == "id") {
            take(conversation.requestId(true, now));
        } else if (step == "disconnect") {
            take(conversation.disconnect(now));
        } else if (step == "lost") {
            take(conversation.connectionLost(now));
        } else if (step.rfind("edit ", 0) == 0) {
            // "edit ROW TEXT": the operator types into a command box.
            std::istringstream words(step.substr(5));
            int row = 0;
            words >> row >> sheet.pins[row].command;
        } else if (step[0] == '+') {
            wait(Millis(std::stoi(step.substr(1))));
        } else if (step[0] == '<') {
            take(conversation.arrived(blob(step.substr(1)), now));
        } else {
            ADD_FAILURE() << "unknown step " << step;
        }
    }
};

struct Script {
    const char* name;
    std::vector<std::string> steps;
    std::vector<std::string> lines;  // every line logged, in order
    std::vector<std::string> sent;   // every message sent, in order
    std::string pin2;                // pin 2's command at the end ("7E" before any Get)
    std::uint16_t firmware = 0;      // FirmwareVersion at the end
    bool stillWaiting = false;       // a transfer is still awaited at the end
};

inline constexpr char kSuccess[] = "Success!";
inline constexpr char kId[] = "FF 00 02";
inline constexpr char kDump[] = "FF 01 01";
inline constexpr char kConfirmDump[] =
    "Dump data, 1448 bytes, but other bytes came with it, so it may not be the reply: asking the box again "
    "to confirm.";

inline constexpr char kReplyLost[] =
    "No reply could be told apart from the other bytes that came: asking the box again.";
inline constexpr char kOutOfStep1[] =
    "Dropped 1 bytes from the box that began no message: its messages were out of step.";

inline void runScripts(const std::vector<Script>& scripts, const ConversationLimits& limits = {}) {
    for (const Script& script : scripts) {
        Session s(limits);
        s.sheet.pins[0].command = "7E";
        for (const std::string& step : script.steps)
            s.run(step);
        EXPECT_EQ(s.lines, script.lines) << script.name;
        EXPECT_EQ(s.sent, script.sent) << script.name;
        EXPECT_EQ(s.sheet.pins[0].command, script.pin2) << script.name;
        EXPECT_EQ(s.sheet.FirmwareVersion, script.firmware) << script.name;
        EXPECT_EQ(s.conversation.transferWaiting(), script.stillWaiting) << script.name;
    }
}

}  // namespace zeze::test
