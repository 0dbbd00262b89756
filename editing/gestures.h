// Grid gestures: fill a row or a whole column of the sheet in one step.
#pragma once

#include <string>

#include "model/sheet.h"

namespace zeze {

// "01 02 ... nn" for n = GPIMsgLength: 3n - 1 characters.
std::string countPattern(int n);
// The row number as two decimal digits, n times: "07 07 ... 07".
std::string rowNumberPattern(int row, int n);

// Click on a pin label: that row's command becomes the count pattern; nothing else changes.
void FillCountPattern(Sheet& sheet, int row);
// Click on "Send to Ports": every row to port 1 only, not inverted, with its row-number pattern.
void ResetPortSteering(Sheet& sheet);
// Press on a column heading: sets (on) or clears that flag in all 24 rows.
void SetFlagColumn(Sheet& sheet, FlagColumn column, bool on);

}  // namespace zeze
