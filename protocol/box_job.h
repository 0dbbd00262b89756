// One fixed job on one box over a Conversation, as zeze runs it: ask the firmware, then read the
// programming, or program it (download, the transfer pause, and a read-back compared with what was
// sent). Plain C++ with no socket and no clock, so the simulation runs it against the same boxes as
// the window's engine.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "protocol/config_record.h"
#include "protocol/conversation.h"

namespace zeze {

enum class BoxJob { Info, Read, Program };

// What a job is doing, for progress displays.
enum class BoxPhase { Connecting, Identifying, Reading, Sending, Pausing, Verifying, Done };

struct JobResult {
    bool ok = false;
    std::string error;  // one line when not ok: "no reply within 10 s", ...
    std::uint16_t firmwareVersion = 0;
    std::uint8_t msgLength = 0;
    std::vector<Byte> record;  // Read and read-back: the dump reply, header included, one record long
    bool verified = false;     // Program: read back and found equal to what was sent
    std::vector<std::string> differences;  // Program: the fields the read-back differs in
};

class BoxJobFlow {
  public:
    // Why a programming cannot go to a box of this pin size, if it cannot.
    using FitCheck = std::function<std::optional<std::string>(const ConfigValues&, std::uint8_t msgLength)>;

    BoxJobFlow(BoxJob job, const ConversationLimits& limits);
    // Program: the values to download and whether to read them back.
    void setProgram(const ConfigValues& values, bool verify, FitCheck fits = {});

    // The connection stands: the job begins with the ID request.
    Effects connected(TimePoint now);
    Effects arrived(std::span<const Byte> bytes, TimePoint now);
    Effects advance(TimePoint now);
    Effects connectionLost(TimePoint now);
    Effects sendRefused(TimePoint now);
    // A failure the caller saw itself (the connect failed, the program is ending).
    void fail(const std::string& line);

    // When advance() is due next; nothing once done.
    std::optional<TimePoint> wakeAt() const;
    bool done() const { return m_phase == BoxPhase::Done; }
    BoxPhase phase() const { return m_phase; }
    TimePoint pauseEnds() const { return m_pauseEnds; }
    const JobResult& result() const { return m_result; }
    const Conversation& conversation() const { return m_conversation; }

  private:
    Effects react(Effects effects, TimePoint now);
    Effects onFirmware(TimePoint now);
    void onDump(const std::vector<Byte>& message);
    void finish(bool ok, const std::string& error = {});

    BoxJob m_job;
    Sheet m_sheet;  // the run values, and for Program the values to send
    Conversation m_conversation;
    std::optional<ConfigValues> m_program;
    bool m_verify = true;
    FitCheck m_fits;
    BoxPhase m_phase = BoxPhase::Connecting;
    TimePoint m_pauseEnds{};
    JobResult m_result;
};

}  // namespace zeze
