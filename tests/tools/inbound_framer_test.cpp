// Framing of the tool's stream by the simulator: requests, downloads by quiet gap and size, garbage and
// resync.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "tools/sim/inbound_framer.h"

namespace zeze::sim {
namespace {

constexpr std::size_t kDownloadSize = 848;

std::vector<InboundKind> kinds(const std::vector<Inbound>& messages) {
    std::vector<InboundKind> out;
    for (const auto& m : messages) {
        out.push_back(m.kind);
    }
    return out;
}

std::vector<Byte> download(std::size_t size) {
    std::vector<Byte> bytes(size, 0x00);
    bytes[0] = 0xFF;
    bytes[1] = 0x01;
    bytes[3] = 0xFF;  // start bytes inside a record must not cut it
    return bytes;
}

TEST(InboundFramer, RequestsWholeSplitAndBackToBack) {
    InboundFramer framer(kDownloadSize);
    EXPECT_TRUE(framer.feed(std::vector<Byte>{0xFF}).empty());
    EXPECT_TRUE(framer.feed(std::vector<Byte>{0x00}).empty());
    EXPECT_EQ(kinds(framer.feed(std::vector<Byte>{0x02})), std::vector{InboundKind::IdRequest});

    const auto three = framer.feed(std::vector<Byte>{0xFF, 0x00, 0x01, 0xFF, 0x01, 0x01, 0xFF, 0x00, 0x02});
    EXPECT_EQ(kinds(three),
              (std::vector{InboundKind::GpiRequest, InboundKind::DumpRequest, InboundKind::IdRequest}));
    EXPECT_EQ(framer.heldBytes(), 0u);
}

TEST(InboundFramer, GarbageIsReportedOnceAndResyncsAtNextStartByte) {
    InboundFramer framer(kDownloadSize);
    // Two garbage runs (01 02, then FF 05 which starts no message) merge; FF FF: the first FF is garbage.
    const auto out = framer.feed(std::vector<Byte>{0x01, 0x02, 0xFF, 0x05, 0xFF, 0xFF, 0x00, 0x02});
    ASSERT_EQ(kinds(out), (std::vector{InboundKind::Garbage, InboundKind::IdRequest}));
    EXPECT_EQ(out[0].bytes.size(), 5u);

    // FF 00 00 is a message the box sends, not one it takes.
    EXPECT_EQ(kinds(framer.feed(std::vector<Byte>{0xFF, 0x00, 0x00, 0x05})),
              std::vector{InboundKind::Garbage});
}

TEST(InboundFramer, DownloadEndsWhenTheLineIsQuietAndCountsOnlyAtItsSize) {
    InboundFramer framer(kDownloadSize);
    const auto bytes = download(kDownloadSize);
    EXPECT_TRUE(framer.feed(std::span(bytes).first(500)).empty());
    EXPECT_TRUE(framer.feed(std::span(bytes).subspan(500)).empty());  // complete, but the line still talks
    EXPECT_EQ(framer.heldBytes(), kDownloadSize);
    const auto whole = framer.flush();
    ASSERT_EQ(kinds(whole), std::vector{InboundKind::Download});
    EXPECT_EQ(whole[0].bytes, bytes);
}

TEST(InboundFramer, WrongSizeDownloadIsOneMessageWhateverItsTailHolds) {
    struct Case {
        std::size_t boxSize;
        std::size_t sent;
        std::size_t dumpRequestAt;  // FF 01 01 planted here, and FF 00 02 (ID request) right behind it
    };
    // Too long: requests just past the box's size, where a size-only framer would look next. Too short:
    // requests ending the download, where a size-only framer would wait for more record.
    for (const Case c : {Case{848, 1448, 848}, Case{1448, 848, 842}}) {
        InboundFramer framer(c.boxSize);
        auto bytes = download(c.sent);
        const std::array<Byte, 6> requests{0xFF, 0x01, 0x01, 0xFF, 0x00, 0x02};
        std::copy(requests.begin(), requests.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(c.dumpRequestAt));
        EXPECT_TRUE(framer.feed(std::span(bytes).first(600)).empty()) << c.sent;
        EXPECT_TRUE(framer.feed(std::span(bytes).subspan(600)).empty()) << c.sent;
        const auto out = framer.flush();
        ASSERT_EQ(kinds(out), std::vector{InboundKind::WrongSizeDownload}) << c.sent;
        EXPECT_EQ(out[0].size(), c.sent);

        // After the gap a request is a request again.
        EXPECT_EQ(kinds(framer.feed(std::vector<Byte>{0xFF, 0x01, 0x01})),
                  std::vector{InboundKind::DumpRequest});
        EXPECT_EQ(framer.heldBytes(), 0u);
    }

    // A request right behind a complete download, with no gap, makes it a wrong-size download too.
    InboundFramer framer(kDownloadSize);
    auto bytes = download(kDownloadSize);
    bytes.insert(bytes.end(), {0xFF, 0x00, 0x02});
    EXPECT_TRUE(framer.feed(bytes).empty());
    const auto out = framer.flush();
    ASSERT_EQ(kinds(out), std::vector{InboundKind::WrongSizeDownload});
    EXPECT_EQ(out[0].bytes.size(), 851u);
}

TEST(InboundFramer, OverlongDownloadIsHeldOnlyToItsSizeAndMarginAndCountedWhole) {
    struct Case {
        std::size_t boxSize;
        std::size_t sent;   // header included
        std::size_t piece;  // arrival size
        bool requestFirst;  // an ID request ahead of the header, in the first arrival
    };
    constexpr std::size_t kTenMegabytes = 10'000'000;
    for (const Case c :
         {Case{848, kTenMegabytes, 65'536, false}, Case{1448, kTenMegabytes, 4'000, false},
          Case{1448, kTenMegabytes, kTenMegabytes, true}, Case{848, 848 + kDownloadHoldMargin, 100, false},
          Case{848, 848 + kDownloadHoldMargin + 1, 100, false}}) {
        InboundFramer framer(c.boxSize);
        // Past its header the download is ID requests back to back: none of them may be answered.
        std::vector<Byte> stream;
        if (c.requestFirst) {
            stream.insert(stream.end(), kIdRequest.begin(), kIdRequest.end());
        }
        const std::size_t start = stream.size();
        stream.insert(stream.end(), kConfigHeader.begin(), kConfigHeader.end());
        while (stream.size() < start + c.sent) {
            stream.push_back(kIdRequest[(stream.size() - start - kConfigHeader.size()) % kIdRequest.size()]);
        }
        std::vector<InboundKind> answered;
        std::size_t maxHeld = 0;
        for (std::size_t at = 0; at < stream.size(); at += c.piece) {
            const auto out =
                framer.feed(std::span(stream).subspan(at, std::min(c.piece, stream.size() - at)));
            const auto k = kinds(out);
            answered.insert(answered.end(), k.begin(), k.end());
            maxHeld = std::max(maxHeld, framer.heldBytes());
        }
        EXPECT_EQ(answered, c.requestFirst ? std::vector{InboundKind::IdRequest} : std::vector<InboundKind>{})
            << c.sent;
        EXPECT_EQ(maxHeld, std::min(c.sent, c.boxSize + kDownloadHoldMargin)) << c.sent;

        const auto out = framer.flush();
        ASSERT_EQ(kinds(out), std::vector{InboundKind::WrongSizeDownload}) << c.sent;
        EXPECT_EQ(out[0].size(), c.sent);
        EXPECT_EQ(out[0].bytes, std::vector(stream.begin() + static_cast<std::ptrdiff_t>(start),
                                            stream.begin() + static_cast<std::ptrdiff_t>(start + maxHeld)));

        // The count starts again: a download of the right size after the gap is stored.
        const auto bytes = download(c.boxSize);
        EXPECT_TRUE(framer.feed(bytes).empty());
        const auto next = framer.flush();
        ASSERT_EQ(kinds(next), std::vector{InboundKind::Download}) << c.sent;
        EXPECT_EQ(next[0].bytes, bytes);
        EXPECT_EQ(next[0].size(), c.boxSize);
    }
}

TEST(InboundFramer, FlushGivesUpWhatIsHeld) {
    InboundFramer framer(kDownloadSize);
    EXPECT_TRUE(framer.flush().empty());

    const auto bytes = download(kDownloadSize);
    EXPECT_TRUE(framer.feed(std::span(bytes).first(103)).empty());
    const auto truncated = framer.flush();
    ASSERT_EQ(kinds(truncated), std::vector{InboundKind::WrongSizeDownload});
    EXPECT_EQ(truncated[0].bytes.size(), 103u);
    EXPECT_EQ(framer.heldBytes(), 0u);

    EXPECT_TRUE(framer.feed(std::vector<Byte>{0xFF, 0x01}).empty());
    EXPECT_EQ(kinds(framer.flush()), std::vector{InboundKind::Garbage});
}

TEST(InboundFramer, RandomStreamsLoseNoByte) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> piece(1, 40);
    for (int round = 0; round < 200; ++round) {
        InboundFramer framer(kDownloadSize);
        std::vector<Byte> stream(static_cast<std::size_t>(round) * 13);
        for (auto& b : stream) {
            // Mostly start, group and code values, so that real messages turn up among the noise.
            b = static_cast<Byte>(byte(random) % 4 == 0
                                      ? byte(random)
                                      : std::array<Byte, 3>{0xFF, 0x00, 0x01}[byte(random) % 3]);
        }
        std::size_t out = 0;
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t n = std::min(piece(random), stream.size() - at);
            for (const auto& m : framer.feed(std::span(stream).subspan(at, n))) {
                EXPECT_FALSE(m.bytes.empty());
                out += m.size();
            }
            at += n;
        }
        for (const auto& m : framer.flush()) {
            out += m.size();
        }
        EXPECT_EQ(out, stream.size());
    }
}

}  // namespace
}  // namespace zeze::sim
