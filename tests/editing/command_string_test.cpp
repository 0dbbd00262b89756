// NormalizeCommand, the command-length leave check and the text-to-hex converter.
#include "editing/command_string.h"

#include <gtest/gtest.h>

#include <random>

namespace zeze {
namespace {

bool isCanonical(const std::string& text) {
    if (text.empty())
        return true;
    if (text.size() % 3 != 2)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i % 3 == 2) {
            if (c != ' ')
                return false;
        } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

TEST(NormalizeCommand, SpacingAndCase) {
    EXPECT_EQ(NormalizeCommand("20 01 21"), "20 01 21");
    EXPECT_EQ(NormalizeCommand("20 1 21"), "20 01 21");
    EXPECT_EQ(NormalizeCommand("  20   01 21"), "20 01 21");
    EXPECT_EQ(NormalizeCommand("b2"), "B2");
    EXPECT_EQ(NormalizeCommand("5"), "05");
    EXPECT_EQ(NormalizeCommand("0 01"), "00 01");
    EXPECT_EQ(NormalizeCommand("42 30 40 00 b2"), "42 30 40 00 B2");
    // A trailing blank adds no 00 byte the operator never typed.
    EXPECT_EQ(NormalizeCommand("20 01 21 "), "20 01 21");
    EXPECT_EQ(NormalizeCommand("20 01 21   "), "20 01 21");
    EXPECT_EQ(NormalizeCommand("1 "), "01");
}

TEST(NormalizeCommand, TokensAndDroppedCharacters) {
    EXPECT_EQ(NormalizeCommand("20,01;21"), "21");  // separators gone: one token
    EXPECT_EQ(NormalizeCommand("2001 21"), "01 21");
    EXPECT_EQ(NormalizeCommand("20 0121"), "20 01");
    EXPECT_EQ(NormalizeCommand("20 0121 5"), "20 01 05");
    // More than eight digits no longer fit 32 bits: the last two still decide.
    EXPECT_EQ(NormalizeCommand("123456789ABCDEF7 01"), "F7 01");
    EXPECT_EQ(NormalizeCommand("00000000000000000000c 01"), "0C 01");
    EXPECT_EQ(NormalizeCommand(""), "");
    EXPECT_EQ(NormalizeCommand("zz"), "");
    EXPECT_EQ(NormalizeCommand("   "), "");
    EXPECT_EQ(NormalizeCommand("20\t01 21"), "01 21");  // a tab is no blank
    EXPECT_EQ(NormalizeCommand("20 \xC3\xA9"
                               "01 21"),
              "20 01 21");                                       // é
    EXPECT_EQ(NormalizeCommand("\xE2\x82\xAC 20 01"), "20 01");  // €
    EXPECT_EQ(NormalizeCommand("20 g1 h2"), "20 01 02");
}

TEST(NormalizeCommand, OutputIsCanonicalAndStable) {
    // Hex digits, blanks and a mix of things the filter must drop, non-ASCII UTF-8 among them.
    const std::vector<std::string> pieces{"0",
                                          "1",
                                          "9",
                                          "a",
                                          "F",
                                          "e",
                                          "B",
                                          " ",
                                          " ",
                                          "  ",
                                          "\t",
                                          ",",
                                          "z",
                                          "G",
                                          "\xC3\xA9",
                                          "\xE2\x82\xAC",
                                          "\xF0\x9F\x98\x80",
                                          "\n"};
    std::mt19937 rng(20240521);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 60);
    for (int trial = 0; trial < 2000; ++trial) {
        std::string text;
        for (int i = length(rng); i > 0; --i)
            text += pieces[pick(rng)];
        const std::string once = NormalizeCommand(text);
        ASSERT_TRUE(isCanonical(once)) << '"' << text << "\" -> \"" << once << '"';
        ASSERT_EQ(NormalizeCommand(once), once) << '"' << text << '"';
    }
}

TEST(NormalizeCommand, CanonicalTextIsLeftAsItIs) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> count(1, 55);
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (int trial = 0; trial < 500; ++trial) {
        std::string text;
        for (int i = count(rng); i > 0; --i) {
            const int value = byte(rng);
            if (!text.empty())
                text += ' ';
            text += kDigits[value >> 4];
            text += kDigits[value & 0xF];
        }
        ASSERT_EQ(NormalizeCommand(text), text);
    }
}

TEST(CheckCommandLength, CutsAtTheLimitAndNamesThePin) {
    Sheet sheet;
    sheet.pins[0].command = std::string(89, '1');
    EXPECT_EQ(CheckCommandLength(sheet, 0), std::nullopt);
    EXPECT_EQ(sheet.pins[0].command, std::string(89, '1'));

    sheet.pins[0].command = std::string(89, '1') + "2";
    EXPECT_EQ(CheckCommandLength(sheet, 0), "Command for pin 2 has been truncated.");
    EXPECT_EQ(sheet.pins[0].command, std::string(89, '1'));

    sheet.pins[5].command = std::string(95, 'x');
    EXPECT_EQ(CheckCommandLength(sheet, 5), "Command for pin 7 has been truncated.");
    sheet.pins[23].command = std::string(90, 'x');
    EXPECT_EQ(CheckCommandLength(sheet, 23), "Command for pin 25 has been truncated.");
    EXPECT_EQ(sheet.pins[23].command.size(), 89u);

    // Rows outside the grid are ignored and touch nothing.
    const Sheet before = sheet;
    EXPECT_EQ(CheckCommandLength(sheet, -1), std::nullopt);
    EXPECT_EQ(CheckCommandLength(sheet, 24), std::nullopt);
    EXPECT_EQ(sheet, before);
}

TEST(CheckCommandLength, ReadsTheLimitWhenItRuns) {
    Sheet sheet;
    sheet.GPIMsgLength = 55;
    const std::string text(100, '7');
    sheet.pins[3].command = text;
    EXPECT_EQ(CheckCommandLength(sheet, 3), std::nullopt);
    EXPECT_EQ(sheet.pins[3].command, text);
    sheet.pins[4].command = std::string(165, '7');
    EXPECT_EQ(CheckCommandLength(sheet, 4), "Command for pin 6 has been truncated.");
    EXPECT_EQ(sheet.pins[4].command.size(), 164u);

    sheet.GPIMsgLength = 30;
    EXPECT_EQ(sheet.pins[3].command, text);  // nothing happens until the box is left
    EXPECT_EQ(CheckCommandLength(sheet, 3), "Command for pin 5 has been truncated.");
    EXPECT_EQ(sheet.pins[3].command, std::string(89, '7'));
}

TEST(CheckCommandLength, CountsCharactersNotBytes) {
    const std::string e = "\xC3\xA9";         // é, two bytes
    const std::string euro = "\xE2\x82\xAC";  // €, three bytes
    Sheet sheet;
    std::string fits;
    for (int i = 0; i < 89; ++i)
        fits += e;
    sheet.pins[1].command = fits;
    EXPECT_EQ(CheckCommandLength(sheet, 1), std::nullopt);
    EXPECT_EQ(sheet.pins[1].command, fits);

    sheet.pins[1].command = fits + e;
    EXPECT_EQ(CheckCommandLength(sheet, 1), "Command for pin 3 has been truncated.");
    EXPECT_EQ(sheet.pins[1].command, fits);

    // The 89th character is a three-byte one: it stays whole, the one after it goes.
    sheet.pins[2].command = std::string(88, 'a') + euro + "b" + euro;
    EXPECT_TRUE(CheckCommandLength(sheet, 2).has_value());
    EXPECT_EQ(sheet.pins[2].command, std::string(88, 'a') + euro);
    EXPECT_EQ(characterCount(sheet.pins[2].command), 89u);
}

TEST(CommandString, CharacterHelpers) {
    const std::string text =
        "a\xC3\xA9"
        "b\xF0\x9F\x98\x80"
        "c";  // a é b 😀 c
    EXPECT_EQ(characterCount(text), 5u);
    EXPECT_EQ(characterCount(""), 0u);
    EXPECT_EQ(firstCharacters(text, 0), "");
    EXPECT_EQ(firstCharacters(text, 2), "a\xC3\xA9");
    EXPECT_EQ(firstCharacters(text, 4),
              "a\xC3\xA9"
              "b\xF0\x9F\x98\x80");
    EXPECT_EQ(firstCharacters(text, 5), text);
    EXPECT_EQ(firstCharacters(text, 50), text);
}

TEST(TextToHex, BytesOfTheTypedText) {
    EXPECT_EQ(TextToHex(U"AB*"), "41 42 0A ");
    EXPECT_EQ(TextToHex(U""), "");
    EXPECT_EQ(TextToHex(U"\n z"), "0A 20 7A ");
    EXPECT_EQ(TextToHex(U"\u00E9"), "E9 ");  // é fits the 8-bit set
    EXPECT_EQ(TextToHex(U"\u20AC"), "AC ");  // € keeps its last two digits
    EXPECT_EQ(TextToHex(U"\U0001F601"), "01 ");
}

}  // namespace
}  // namespace zeze
