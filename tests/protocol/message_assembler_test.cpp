// MessageAssembler: messages split over arrivals come out whole, merged ones stay one message, and a
// message is given up only after two seconds of silence, its rest discarded until the line is quiet.
#include <gtest/gtest.h>

#include "protocol/message_assembler.h"
#include "protocol/reply_parser.h"
#include "protocol_test_support.h"

namespace zeze {
namespace {

using test::bytes;
using namespace std::chrono_literals;

std::span<const Byte> slice(const std::vector<Byte>& all, std::size_t from, std::size_t to) {
    return std::span<const Byte>(all).subspan(from, to - from);
}

// Cuts `message` once at every position; only the second part may complete it, and it comes out whole.
void expectWholeAtEveryCut(const std::vector<Byte>& message, std::uint8_t dumpLength) {
    for (std::size_t cut = 1; cut < message.size(); ++cut) {
        MessageAssembler assembler;
        ASSERT_FALSE(assembler.feed(slice(message, 0, cut), dumpLength).has_value()) << "cut " << cut;
        ASSERT_EQ(assembler.heldBytes(), cut);
        auto whole = assembler.feed(slice(message, cut, message.size()), dumpLength);
        ASSERT_TRUE(whole.has_value()) << "cut " << cut;
        ASSERT_EQ(*whole, message) << "cut " << cut;
        ASSERT_EQ(assembler.heldBytes(), 0u);
    }
}

void expectWholeByteByByte(const std::vector<Byte>& message, std::uint8_t dumpLength) {
    MessageAssembler assembler;
    for (std::size_t i = 0; i + 1 < message.size(); ++i) {
        ASSERT_FALSE(assembler.feed(slice(message, i, i + 1), dumpLength).has_value()) << "byte " << i;
    }
    auto whole = assembler.feed(slice(message, message.size() - 1, message.size()), dumpLength);
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(*whole, message);
}

TEST(MessageAssembler, SplitMessagesComeOutWhole) {
    for (std::uint8_t length : {kShortMsgLength, kLongMsgLength}) {
        std::vector<Byte> dump = test::emptyDump(length);
        for (std::size_t i = 3; i < dump.size(); ++i)
            dump[i] = static_cast<Byte>(i * 7);
        expectWholeAtEveryCut(dump, length);
        expectWholeByteByByte(dump, length);
    }
    expectWholeAtEveryCut(bytes("FF 00 00 05 0A 02"), kShortMsgLength);
    expectWholeByteByByte(bytes("FF 00 00 05 0A 02"), kShortMsgLength);
    expectWholeAtEveryCut(bytes("FF 00 00 04"), kShortMsgLength);

    // The held dump is read with the parser's slot length: 848 bytes are not yet whole at 55.
    std::vector<Byte> held = test::emptyDump(kShortMsgLength);
    MessageAssembler assembler;
    EXPECT_FALSE(assembler.feed(held, kLongMsgLength).has_value());
    auto whole = assembler.feed(std::vector<Byte>(600, 0), kLongMsgLength);
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(whole->size(), 1448u);
}

TEST(MessageAssembler, WholeArrivalsPassAtOnceAsOneMessage) {
    std::vector<Byte> twoMessages = bytes("FF 00 00 05 0A 02 FF 00 00 04");
    std::vector<Byte> longArrival = test::emptyDump(kShortMsgLength, 1500);
    for (const std::vector<Byte>& arrival : {twoMessages, longArrival, bytes("00 01"), bytes("FF 02"),
                                             bytes("FF 00 01"), bytes("FF 01 01"), bytes("FF 00 00 09")}) {
        MessageAssembler assembler;
        auto message = assembler.feed(arrival, kShortMsgLength);
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(*message, arrival);
    }
    Sheet sheet;
    MessageAssembler assembler;
    EXPECT_EQ(ParseReply(*assembler.feed(twoMessages, kShortMsgLength), sheet).line, "Firmware v2.10");
    EXPECT_EQ(ParseReply(*assembler.feed(longArrival, kShortMsgLength), sheet).line, "Dump data, 1500 bytes");

    // A held prefix followed by bytes of another kind: everything held goes out together.
    EXPECT_FALSE(assembler.feed(bytes("FF"), kShortMsgLength).has_value());
    auto merged = assembler.feed(bytes("FF 00 00 04"), kShortMsgLength);
    ASSERT_TRUE(merged.has_value());
    EXPECT_EQ(*merged, bytes("FF FF 00 00 04"));
    EXPECT_FALSE(assembler.feed({}, kShortMsgLength).has_value());
}

TEST(MessageAssembler, GivesUpOnlySilentMessagesAndDiscardsTheirRest) {
    using Kind = MessageAssembler::Expiry::Kind;
    const MessageAssembler::Clock::time_point t0{100s};
    MessageAssembler assembler;
    EXPECT_FALSE(assembler.deadline().has_value());
    EXPECT_FALSE(assembler.poll(t0 + 1h).has_value());

    // Each new byte restarts the two seconds: a slow message is not a broken one.
    EXPECT_FALSE(assembler.feed(bytes("FF 01 00"), kShortMsgLength, t0).has_value());
    EXPECT_EQ(assembler.deadline(), t0 + 2s);
    EXPECT_FALSE(assembler.feed(bytes("01 02"), kShortMsgLength, t0 + 1500ms).has_value());
    EXPECT_FALSE(assembler.poll(t0 + 3s).has_value());
    const auto gaveUp = assembler.poll(t0 + 3500ms);
    ASSERT_TRUE(gaveUp.has_value());
    EXPECT_EQ(gaveUp->kind, Kind::GaveUp);
    EXPECT_EQ(gaveUp->bytes, 5u);
    EXPECT_EQ(assembler.heldBytes(), 0u);

    // What follows belongs to the cut message, even when it looks like a firmware reply.
    EXPECT_FALSE(assembler.feed(bytes("FF 00 00 05 09 63"), kShortMsgLength, t0 + 4s).has_value());
    EXPECT_FALSE(assembler.poll(t0 + 5900ms).has_value());
    const auto ended = assembler.poll(t0 + 6s);
    ASSERT_TRUE(ended.has_value());
    EXPECT_EQ(ended->kind, Kind::DiscardEnded);
    EXPECT_EQ(ended->bytes, 6u);
    EXPECT_FALSE(assembler.deadline().has_value());

    // Once the line has been quiet, messages are read again.
    auto firmware = assembler.feed(bytes("FF 00 00 05 0A 02"), kShortMsgLength, t0 + 7s);
    ASSERT_TRUE(firmware.has_value());
    EXPECT_EQ(*firmware, bytes("FF 00 00 05 0A 02"));

    // clear() forgets a held piece and ends a discarding at once, without a word.
    EXPECT_FALSE(assembler.feed(bytes("FF 00"), kShortMsgLength, t0 + 8s).has_value());
    ASSERT_TRUE(assembler.poll(t0 + 10s).has_value());
    assembler.clear();
    EXPECT_FALSE(assembler.deadline().has_value());
    EXPECT_EQ(assembler.feed(bytes("FF 00 00 04"), kShortMsgLength, t0 + 10s), bytes("FF 00 00 04"));
}

}  // namespace
}  // namespace zeze
