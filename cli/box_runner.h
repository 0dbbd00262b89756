// Many boxes at once: a queue of conversations, at most `jobs` of them open at a time, run on a local
// event loop until nothing waits or runs. A conversation's end may queue the box's next one (read
// first, then program), which goes before boxes not yet begun. One box failing never stops the others.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "cli/box_session.h"
#include "link/tcp_socket.h"

namespace zeze::cli {

struct BoxSettings {
    BoxTiming timing;
    int connectTimeoutMs = TcpSocket::kDefaultConnectTimeoutMs;
};

struct BoxTask {
    std::size_t box = 0;  // index into the queue's endpoints
    BoxJob job = BoxJob::Info;
    std::optional<ConfigValues> program;  // Program only
    bool verify = true;                   // Program only
};

class BoxQueue {
  public:
    using Done = std::function<void(const BoxTask& task, const BoxOutcome& outcome)>;
    using PhaseChange =
        std::function<void(std::size_t box, BoxPhase phase, std::chrono::steady_clock::time_point pauseEnds)>;

    // `jobs` below 1 means all at once.
    BoxQueue(std::vector<Endpoint> endpoints, BoxSettings settings, int jobs);

    const std::vector<Endpoint>& endpoints() const { return m_endpoints; }
    // Queued behind the tasks already waiting.
    void add(BoxTask task);
    // Queued before every waiting task: a box under way goes on before a box not yet begun.
    void addNext(BoxTask task);
    // Runs until nothing waits or runs. `done` is called as each task ends and may queue more.
    void run(const Done& done, const PhaseChange& phaseChange = {});

  private:
    std::vector<Endpoint> m_endpoints;
    BoxSettings m_settings;
    std::size_t m_limit;
    std::deque<BoxTask> m_waiting;
};

// Every endpoint through the same job; the outcomes in the order of `endpoints`, `done` called as each
// ends.
std::vector<BoxOutcome> runBoxes(const std::vector<Endpoint>& endpoints, BoxJob job,
                                 const BoxSettings& settings, int jobs,
                                 const std::function<void(std::size_t, const BoxOutcome&)>& done = {},
                                 const BoxQueue::PhaseChange& phaseChange = {});

}  // namespace zeze::cli
