// The fields in which two programmings differ, one line each in the sheet's own terms, e.g.
// "pin 7 command: 20 01 21 -> 20 01 22" or "serial port 2 speed: 38400 -> 9600".
#pragma once

#include <string>
#include <vector>

#include "protocol/config_record.h"

namespace zeze {

// In record order: network, serial ports, the option, then the pins. Empty when they are the same.
std::vector<std::string> describeDifferences(const ConfigValues& from, const ConfigValues& to);

}  // namespace zeze
