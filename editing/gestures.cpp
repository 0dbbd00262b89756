// Grid gestures: the two test texts and the row and column fills of the pin grid.
#include "editing/gestures.h"

namespace zeze {
namespace {

bool isRow(int row) {
    return row >= 0 && row < kPinCount;
}

// Appends `value` as two decimal digits (a leading zero below 10).
void appendTwoDigits(std::string& out, int value) {
    if (value < 10)
        out += '0';
    out += std::to_string(value);
}

}  // namespace

std::string countPattern(int n) {
    std::string out;
    if (n <= 0)
        return out;
    out.reserve(static_cast<std::size_t>(3 * n));
    for (int i = 1; i <= n; ++i) {
        if (i > 1)
            out += ' ';
        appendTwoDigits(out, i);
    }
    return out;
}

std::string rowNumberPattern(int row, int n) {
    std::string out;
    if (n <= 0)
        return out;
    out.reserve(static_cast<std::size_t>(3 * n));
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            out += ' ';
        appendTwoDigits(out, row);
    }
    return out;
}

void FillCountPattern(Sheet& sheet, int row) {
    if (!isRow(row))
        return;
    sheet.pins[row].command = countPattern(sheet.GPIMsgLength);
}

void ResetPortSteering(Sheet& sheet) {
    for (int row = 0; row < kPinCount; ++row) {
        PinRow& pin = sheet.pins[row];
        pin.invert = false;
        pin.sendToPort = {true, false, false, false};
        pin.command = rowNumberPattern(row, sheet.GPIMsgLength);
    }
}

void SetFlagColumn(Sheet& sheet, FlagColumn column, bool on) {
    for (PinRow& pin : sheet.pins)
        pin.flag(column) = on;
}

}  // namespace zeze
