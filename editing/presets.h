// The three ready-made programmings of the Options menu.
#pragma once

#include <array>
#include <string_view>

#include "model/sheet.h"

namespace zeze {

enum class Preset { OneMachine, FourMachines, Gang };

// Overwrites the suppress option, all four serial ports and every flag and command of the 24 rows;
// the end state depends only on the preset. Network settings, GPIMsgLength and "Read Short" stay.
void ApplyPreset(Sheet& sheet, Preset preset);

// The command tables, stored in the sheet character for character.
extern const std::array<std::string_view, 20> kOneMachineCommands;  // rows 0..19
extern const std::array<std::string_view, 6> kSixCommandBlock;      // "4 Machines" and "Gang"

}  // namespace zeze
