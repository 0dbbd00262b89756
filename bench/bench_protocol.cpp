// Cost of the protocol's hot paths: building a whole download, parsing a whole dump reply, and
// assembling a dump reply that arrives in small pieces.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "protocol/config_record.h"
#include "protocol/conversation.h"
#include "protocol/reply_parser.h"

namespace {

using namespace zeze;

std::uint16_t firmwareFor(std::uint8_t msgLength) {
    return msgLength == kLongMsgLength ? kLongMsgFirmware : 0;
}

// A sheet with every command filled to its limit, in free text so that normalising has work to do.
Sheet fullSheet(std::uint8_t msgLength) {
    Sheet sheet;
    sheet.FirmwareVersion = firmwareFor(msgLength);
    for (int row = 0; row < kPinCount; ++row) {
        std::string text;
        for (int i = 0; i < msgLength; ++i)
            text += (i ? "  " : " ") + std::to_string(10 + (row + i) % 90);
        sheet.pins[row].command = text;
        sheet.pins[row].sendToPort = {true, row % 2 == 0, row % 3 == 0, row % 5 == 0};
    }
    return sheet;
}

void BM_BuildDownload(benchmark::State& state) {
    const auto msgLength = static_cast<std::uint8_t>(state.range(0));
    const Sheet original = fullSheet(msgLength);
    for (auto _ : state) {
        Sheet sheet = original;
        EncodeResult result = BuildDownload(sheet);
        benchmark::DoNotOptimize(result.message.data());
    }
}
BENCHMARK(BM_BuildDownload)->Arg(kShortMsgLength)->Arg(kLongMsgLength);

void BM_ParseDump(benchmark::State& state) {
    const auto msgLength = static_cast<std::uint8_t>(state.range(0));
    Sheet sheet = fullSheet(msgLength);
    const std::vector<Byte> dump = BuildDownload(sheet).message;
    for (auto _ : state) {
        ParsedReply reply = ParseReply(dump, sheet);
        benchmark::DoNotOptimize(reply.config->pins[23].command.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * dump.size()));
}
BENCHMARK(BM_ParseDump)->Arg(kShortMsgLength)->Arg(kLongMsgLength);

// A 1448-byte dump reply fed in arrivals of range(0) bytes.
void BM_AssembleLongDump(benchmark::State& state) {
    const auto piece = static_cast<std::size_t>(state.range(0));
    Sheet sheet = fullSheet(kLongMsgLength);
    const std::vector<Byte> dump = BuildDownload(sheet).message;
    const std::span<const Byte> all(dump);
    const TimePoint now{};
    Conversation conversation;
    for (auto _ : state) {
        Effects effects;
        for (std::size_t at = 0; at < all.size(); at += piece)
            effects = conversation.arrived(all.subspan(at, std::min(piece, all.size() - at)), now);
        benchmark::DoNotOptimize(effects.lines.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * dump.size()));
}
BENCHMARK(BM_AssembleLongDump)->Arg(1)->Arg(100);

}  // namespace

BENCHMARK_MAIN();
