// The transfer state machine: what a dump request empties, and how a failed one puts it back.
#include "protocol/transfer.h"

namespace zeze {

void Transfers::requestDump(Sheet& sheet, Clock::time_point now) {
    if (!m_awaitingDump) {
        for (int row = 0; row < kPinCount; ++row)
            m_emptiedCommands[row] = sheet.pins[row].command;
    }
    for (PinRow& pin : sheet.pins)
        pin.command.clear();
    m_awaitingDump = true;
    m_dumpDeadline = now + kDumpStartTimeout;
}

bool Transfers::dumpFailed(Sheet& sheet) {
    if (!m_awaitingDump)
        return false;
    for (int row = 0; row < kPinCount; ++row) {
        if (sheet.pins[row].command.empty())
            sheet.pins[row].command = m_emptiedCommands[row];
    }
    m_awaitingDump = false;
    return true;
}

std::optional<Transfers::Clock::time_point> Transfers::dumpDeadline() const {
    if (!m_awaitingDump)
        return std::nullopt;
    return m_dumpDeadline;
}

}  // namespace zeze
