// Fuzz target: the conversation engine under any sequence of intents, arrivals and times. Input: a
// stream of operations, each an opcode byte and its arguments. Checked after every operation: nothing
// held is as long as the longest message, no line is empty, and nothing is sent while the box stores a
// download.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "protocol/config_record.h"
#include "protocol/conversation.h"

namespace {

using zeze::fuzz::check;
using namespace zeze;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Sheet sheet;
    Conversation conversation;
    TimePoint now{};
    bool connected = false;
    while (in.remaining_bytes() > 0) {
        Effects effects;
        const bool pausingBefore = conversation.pausing();
        switch (in.ConsumeIntegralInRange(0, 11)) {
            case 0:
                effects = conversation.connecting(now);
                break;
            case 1:
                connected = in.ConsumeBool();
                effects = conversation.connectWaitOver(connected, now);
                break;
            case 2:
                connected = true;
                effects = conversation.connectionUp(now);
                break;
            case 3:
                connected = false;
                effects = conversation.connectionLost(now, in.ConsumeBool());
                break;
            case 4:
                connected = false;
                effects = conversation.disconnect(now);
                break;
            case 5:
                effects = conversation.requestId(connected, now);
                break;
            case 6:
                effects = conversation.requestDump(connected, now, sheet);
                break;
            case 7:
                effects = conversation.download(connected, now, sheet);
                break;
            case 8:
                effects = conversation.sendRefused(now);
                break;
            case 9: {
                std::vector<Byte> bytes =
                    in.ConsumeBytes<Byte>(in.ConsumeIntegralInRange<std::size_t>(0, 1600));
                if (in.ConsumeBool() && bytes.size() >= 3) {
                    bytes[0] = 0xFF;
                    bytes[1] = in.ConsumeIntegralInRange<Byte>(0, 1);
                    bytes[2] = 0;
                }
                effects = conversation.arrived(bytes, now);
                break;
            }
            case 10:
                now += std::chrono::milliseconds(in.ConsumeIntegralInRange(0, 70000));
                effects = conversation.advance(now);
                break;
            default:
                if (const auto due = conversation.wakeAt()) {
                    check(*due >= now - std::chrono::hours(1));
                    now = std::max(now, *due);
                }
                effects = conversation.advance(now);
        }
        applySheetChange(sheet, effects.sheet);
        check(conversation.heldBytes() < configMessageSize(kLongMsgLength));
        // While the box stores a download, nothing is sent, save by the step that ended the pause.
        if (pausingBefore && conversation.pausing())
            check(effects.sends.empty());
        for (const std::string& line : effects.lines)
            check(!line.empty());
    }
    return 0;
}
