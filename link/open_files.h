// The open-file limit of the process: every connection to a box holds one file descriptor, so
// programs that talk to a thousand boxes at once raise the limit as far as the system lets them.
#pragma once

namespace zeze {

// Raises the soft limit on open files to the hard limit and returns the soft limit now in force;
// 0 when it cannot be read or is unlimited.
long raiseOpenFileLimit();

}  // namespace zeze
