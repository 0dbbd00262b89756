// The transfer state machine: what a dump request empties, and how a failed one puts it back.
#include "protocol/transfer.h"

namespace zeze {

void Transfers::requestDump(Sheet& sheet, Clock::time_point now) {
    if (m_phase != Phase::AwaitingDump) {
        for (int row = 0; row < kPinCount; ++row)
            m_emptiedCommands[row] = sheet.pins[row].command;
    }
    for (PinRow& pin : sheet.pins)
        pin.command.clear();
    m_phase = Phase::AwaitingDump;
    m_dumpDeadline = now + kDumpStartTimeout;
}

void Transfers::dumpRead() {
    if (m_phase == Phase::AwaitingDump)
        m_phase = Phase::Idle;
}

bool Transfers::dumpFailed(Sheet& sheet) {
    if (m_phase != Phase::AwaitingDump)
        return false;
    for (int row = 0; row < kPinCount; ++row) {
        if (sheet.pins[row].command.empty())
            sheet.pins[row].command = m_emptiedCommands[row];
    }
    m_phase = Phase::Idle;
    return true;
}

std::optional<Transfers::Clock::time_point> Transfers::dumpDeadline() const {
    if (m_phase != Phase::AwaitingDump)
        return std::nullopt;
    return m_dumpDeadline;
}

}  // namespace zeze
