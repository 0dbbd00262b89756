// The one way a fuzz target reports a broken property: abort, which libFuzzer records as a crash and
// keeps the input for.
#pragma once

#include <cstdlib>

namespace zeze::fuzz {

inline void check(bool ok) {
    if (!ok)
        std::abort();
}

}  // namespace zeze::fuzz
