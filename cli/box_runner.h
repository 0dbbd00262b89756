// Many boxes at once: one session per box, at most `jobs` of them open at a time, on a local event
// loop that returns when every box has finished. One box failing never stops the others.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "cli/box_session.h"

namespace zeze::cli {

struct BoxRequest {
    BoxJob job = BoxJob::Info;
    BoxTiming timing;
    std::optional<ConfigValues> program;  // Program only
    bool verify = true;                   // Program only
};

// Called as each box finishes, with its index in `endpoints`.
using BoxDone = std::function<void(std::size_t index, const BoxOutcome& outcome)>;

// The outcomes in the order of `endpoints`. `jobs` below 1 means all at once.
std::vector<BoxOutcome> runBoxes(const std::vector<Endpoint>& endpoints, const BoxRequest& request, int jobs,
                                 const BoxDone& onDone = {});

}  // namespace zeze::cli
