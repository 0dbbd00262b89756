// Grid gestures: the two test texts and the row and column fills.
#include "editing/gestures.h"

#include <gtest/gtest.h>

namespace zeze {
namespace {

using Ports = std::array<bool, 4>;

// A sheet whose rows all differ, so a gesture that writes the wrong row or field shows.
Sheet variedSheet() {
    Sheet sheet;
    for (int row = 0; row < kPinCount; ++row) {
        PinRow& pin = sheet.pins[row];
        pin.command = "row " + std::to_string(row);
        pin.invert = row % 2 == 0;
        pin.sendToPort = {row % 3 == 0, row % 4 == 1, row % 5 == 2, row % 2 == 1};
    }
    return sheet;
}

TEST(Gestures, Patterns) {
    const std::string count30 = countPattern(30);
    EXPECT_EQ(count30.size(), 89u);
    EXPECT_EQ(count30.substr(0, 30), "01 02 03 04 05 06 07 08 09 10 ");
    EXPECT_EQ(count30.substr(count30.size() - 5), "29 30");
    const std::string count55 = countPattern(55);
    EXPECT_EQ(count55.size(), 164u);
    EXPECT_EQ(count55.substr(count55.size() - 8), "53 54 55");
    EXPECT_EQ(count55.substr(0, count30.size()), count30);

    EXPECT_EQ(rowNumberPattern(7, 30).size(), 89u);
    EXPECT_EQ(rowNumberPattern(7, 3), "07 07 07");
    EXPECT_EQ(rowNumberPattern(0, 2), "00 00");
    EXPECT_EQ(rowNumberPattern(23, 1), "23");
    const std::string row23 = rowNumberPattern(23, 55);
    EXPECT_EQ(row23.size(), 164u);
    EXPECT_EQ(row23.substr(0, 3), "23 ");
    EXPECT_EQ(row23.substr(row23.size() - 3), " 23");
}

TEST(Gestures, FillCountPatternWritesOneCommand) {
    for (std::uint8_t n : {kShortMsgLength, kLongMsgLength}) {
        Sheet sheet = variedSheet();
        sheet.GPIMsgLength = n;
        Sheet expected = sheet;
        expected.pins[4].command = countPattern(n);

        FillCountPattern(sheet, 4);
        EXPECT_EQ(sheet, expected);
        EXPECT_EQ(sheet.pins[4].command.size(), 3u * n - 1);
        FillCountPattern(sheet, 4);  // a second click gives the same text, not a longer one
        EXPECT_EQ(sheet, expected);
    }
    Sheet sheet = variedSheet();
    const Sheet before = sheet;
    FillCountPattern(sheet, -1);
    FillCountPattern(sheet, 24);
    EXPECT_EQ(sheet, before);
}

TEST(Gestures, ResetPortSteeringRewritesEveryRow) {
    for (std::uint8_t n : {kShortMsgLength, kLongMsgLength}) {
        Sheet sheet = variedSheet();
        sheet.GPIMsgLength = n;
        const Sheet before = sheet;
        ResetPortSteering(sheet);
        for (int row = 0; row < kPinCount; ++row) {
            const PinRow& pin = sheet.pins[row];
            EXPECT_FALSE(pin.invert) << row;
            EXPECT_EQ(pin.sendToPort, (Ports{true, false, false, false})) << row;
            EXPECT_EQ(pin.command, rowNumberPattern(row, n)) << row;
            EXPECT_EQ(pin.command.size(), 3u * n - 1) << row;
        }
        Sheet onlyRows = sheet;
        onlyRows.pins = before.pins;
        EXPECT_EQ(onlyRows, before);  // nothing outside the rows moved
    }
    Sheet sheet;
    ResetPortSteering(sheet);
    EXPECT_EQ(sheet.pins[9].command, rowNumberPattern(9, 30));
    EXPECT_EQ(sheet.pins[9].command.substr(0, 6), "09 09 ");
}

TEST(Gestures, SetFlagColumnTouchesOneColumn) {
    for (FlagColumn column :
         {FlagColumn::Invert, FlagColumn::Port1, FlagColumn::Port2, FlagColumn::Port3, FlagColumn::Port4}) {
        for (bool on : {true, false}) {
            Sheet sheet = variedSheet();
            Sheet expected = sheet;
            for (PinRow& pin : expected.pins)
                pin.flag(column) = on;
            SetFlagColumn(sheet, column, on);
            EXPECT_EQ(sheet, expected) << static_cast<int>(column) << ' ' << on;
            for (const PinRow& pin : sheet.pins)
                EXPECT_EQ(pin.flag(column), on);
        }
    }
}

}  // namespace
}  // namespace zeze
