// The readable account of what a download changed in the box's programming.
#pragma once

#include <string>

#include "protocol/config_record.h"

namespace zeze::sim {

// The changed fields, "; "-separated, e.g. `gateway 192.168.254.254 -> 10.1.2.254; pin 2 command "" ->
// "20 01 21"; pin 5 ports 1 -> 1,3`; empty when no field differs.
std::string describeChanges(const ConfigValues& before, const ConfigValues& after);

}  // namespace zeze::sim
