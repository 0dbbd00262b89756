// Fuzz target: MessageAssembler on random streams in random chunkings. Input: a mode byte and a dump
// length byte, then the stream and chunk sizes. Modes:
//   0  any stream, any chunking, no silence: every byte comes out exactly once, in order;
//   1  whole messages of the known kinds, each cut anywhere: they come out as those messages;
//   2  arrivals, polls and clears at generated times: bytes out + given up + discarded + cleared = bytes
//      in, nothing is given up before kSilenceLimit of silence, and a discarding ends with the count of
//      the bytes fed since the give-up.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "protocol/config_record.h"
#include "protocol/message_assembler.h"

namespace {

using zeze::fuzz::check;

using namespace zeze;
using namespace std::chrono_literals;
using Clock = MessageAssembler::Clock;

void append(std::vector<Byte>& to, const std::vector<Byte>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

void anyChunking(FuzzedDataProvider& in, std::uint8_t dumpLength) {
    MessageAssembler assembler;
    std::vector<Byte> fed, out;
    while (in.remaining_bytes() > 0) {
        const auto chunk = in.ConsumeBytes<Byte>(in.ConsumeIntegralInRange<std::size_t>(0, 1600));
        append(fed, chunk);
        if (auto message = assembler.feed(chunk, dumpLength)) {
            check(!message->empty());
            append(out, *message);
        }
        check(out.size() + assembler.heldBytes() == fed.size());
        // What is held is the unfinished start of a known kind.
        const std::span<const Byte> held(fed.data() + out.size(), assembler.heldBytes());
        check(held.empty() || requiredLength(held, dumpLength) > held.size());
    }
    check(std::equal(out.begin(), out.end(), fed.begin()));
}

std::vector<Byte> wholeMessage(FuzzedDataProvider& in, std::uint8_t dumpLength) {
    std::vector<Byte> message{0xFF, 0x00, 0x00};
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: {  // a port or GPI message, or a status type the parser does not know
            Byte type = in.ConsumeIntegral<Byte>();
            message.push_back(type == 5 ? 4 : type);
            break;
        }
        case 1:
            message.push_back(5);
            message.push_back(in.ConsumeIntegral<Byte>());
            message.push_back(in.ConsumeIntegral<Byte>());
            break;
        default: {
            message[1] = 0x01;
            auto record = in.ConsumeBytes<Byte>(configMessageSize(dumpLength) - 3);
            record.resize(configMessageSize(dumpLength) - 3, 0);
            append(message, record);
            break;
        }
    }
    return message;
}

void wholeMessagesCut(FuzzedDataProvider& in, std::uint8_t dumpLength) {
    MessageAssembler assembler;
    while (in.remaining_bytes() > 0) {
        const std::vector<Byte> message = wholeMessage(in, dumpLength);
        std::size_t at = 0;
        while (at < message.size()) {
            const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(1, message.size() - at);
            auto result = assembler.feed(std::span(message).subspan(at, n), dumpLength);
            at += n;
            check(result.has_value() == (at == message.size()));
            if (result)
                check(*result == message);
        }
        check(assembler.heldBytes() == 0);
    }
}

void withSilences(FuzzedDataProvider& in, std::uint8_t dumpLength) {
    MessageAssembler assembler;
    Clock::time_point now{1000s};
    Clock::time_point lastByte = now;
    std::size_t fedCount = 0, outCount = 0, gaveUp = 0, discarded = 0, cleared = 0;
    std::size_t fedWhileDiscarding = 0;  // since the last give-up
    auto pollAt = [&](Clock::time_point at) {
        const bool wasHolding = assembler.heldBytes() > 0;
        const bool wasDiscarding = assembler.discarding();
        const auto expiry = assembler.poll(at);
        if (!expiry) {
            // A held message is given up, and a discarding ended, once the line has been silent for the
            // limit.
            check((!wasHolding && !wasDiscarding) || at - lastByte < MessageAssembler::kSilenceLimit);
            return;
        }
        check(at >= lastByte + MessageAssembler::kSilenceLimit);
        if (expiry->kind == MessageAssembler::Expiry::Kind::GaveUp) {
            check(wasHolding && !wasDiscarding && assembler.discarding() && assembler.heldBytes() == 0);
            gaveUp += expiry->bytes;
            fedWhileDiscarding = 0;
            lastByte = at;
        } else {
            check(wasDiscarding && !assembler.discarding() && expiry->bytes == fedWhileDiscarding);
            discarded += expiry->bytes;
        }
        check(!assembler.deadline().has_value() || assembler.discarding());
    };
    while (in.remaining_bytes() > 0) {
        now += std::chrono::milliseconds(in.ConsumeIntegralInRange(0, 3000));
        const int op = in.ConsumeIntegralInRange(0, 15);
        if (op == 0) {
            // A connect or disconnect drops what is held and the discarding, silently.
            cleared += assembler.heldBytes() + (assembler.discarding() ? fedWhileDiscarding : 0);
            assembler.clear();
            check(assembler.heldBytes() == 0 && !assembler.discarding() && !assembler.deadline());
        } else if (op < 8) {
            const bool wasDiscarding = assembler.discarding();
            const auto chunk = in.ConsumeBytes<Byte>(in.ConsumeIntegralInRange<std::size_t>(0, 1600));
            fedCount += chunk.size();
            if (wasDiscarding)
                fedWhileDiscarding += chunk.size();
            if (!chunk.empty())
                lastByte = now;
            const auto message = assembler.feed(chunk, dumpLength, now);
            if (message)
                outCount += message->size();
            check(!wasDiscarding || (!message && assembler.discarding()));
        } else {
            pollAt(now);
        }
        const auto deadline = assembler.deadline();
        check(deadline.has_value() == (assembler.heldBytes() > 0 || assembler.discarding()));
        check(!deadline || *deadline == lastByte + MessageAssembler::kSilenceLimit);
    }
    pollAt(now + 1h);
    pollAt(now + 2h);
    check(assembler.heldBytes() == 0 && !assembler.discarding());
    check(outCount + gaveUp + discarded + cleared == fedCount);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::uint8_t dumpLength = (data[1] & 1) != 0 ? kLongMsgLength : kShortMsgLength;
    FuzzedDataProvider in(data + 2, size - 2);
    switch (data[0] % 3) {
        case 0:
            anyChunking(in, dumpLength);
            break;
        case 1:
            wholeMessagesCut(in, dumpLength);
            break;
        default:
            withSilences(in, dumpLength);
            break;
    }
    return 0;
}
