// The two transfers between the window and the box as one small state machine: idle, awaiting a dump
// (after "Get from Zeze"), and the transfer pause after a download. Every way out of awaiting a dump
// other than the dump itself puts back the command strings the request emptied, so a failed read
// never leaves a blank sheet one click from being written to a box.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "model/sheet.h"

namespace zeze {

// A dump request with no reply begun this long after it has failed.
inline constexpr std::chrono::milliseconds kDumpStartTimeout{10000};

// How long the box needs to store a download before it takes the next message:
// (24 * msgLength + 77) * 4 ms, 3188 ms for 30-byte pins and 5588 ms for 55.
constexpr std::chrono::milliseconds transferPause(std::uint8_t msgLength) {
    return std::chrono::milliseconds((kPinCount * msgLength + 77) * 4);
}

// Why an awaited dump did not arrive; the window says which in its log line.
enum class DumpFailure {
    GaveUp,          // a message from the box stopped half-way and was given up
    Disconnected,    // the operator pressed Disconnect
    ConnectionLost,  // the box closed the connection or it failed
    TimedOut,        // nothing began to arrive within kDumpStartTimeout
    SendFailed,      // the connection did not take the request
};

class Transfers {
  public:
    using Clock = std::chrono::steady_clock;

    // The two can overlap: a reply during a download's pause releases the buttons, and a dump may be
    // requested before the pause ends.
    bool awaitingDump() const { return m_awaitingDump; }
    bool pausing() const { return m_pausing; }
    bool idle() const { return !m_awaitingDump && !m_pausing; }

    // Idle -> awaiting dump: empties the 24 command strings, remembering them, and starts the time
    // limit. A new request while one is awaited keeps the first one's copy and restarts the limit.
    void requestDump(Sheet& sheet, Clock::time_point now);
    // A dump reply was read into the sheet: awaiting dump -> idle.
    void dumpRead() { m_awaitingDump = false; }
    // Awaiting dump -> idle without a dump: every command string still empty gets back what it held
    // before the request (a row typed into since keeps what was typed). False when no dump was
    // awaited (nothing changes then).
    bool dumpFailed(Sheet& sheet);
    // While awaiting a dump: when the time limit runs out.
    std::optional<Clock::time_point> dumpDeadline() const;

    // Idle -> download pause -> idle: the box is storing a download and takes nothing else meanwhile.
    void beginPause() { m_pausing = true; }
    void endPause() { m_pausing = false; }

  private:
    bool m_awaitingDump = false;
    bool m_pausing = false;
    std::array<std::string, kPinCount> m_emptiedCommands{};
    Clock::time_point m_dumpDeadline{};
};

}  // namespace zeze
