// zeze's jobs as reactions to what the conversation reports: each report either ends the job or
// issues its next request.
#include "protocol/box_job.h"

#include "protocol/config_diff.h"
#include "protocol/reply_parser.h"

namespace zeze {
namespace {

constexpr char kUnconfirmed[] = "no two of the box's replies agreed, so none could be trusted";

std::string seconds(Millis duration) {
    return secondsText(duration) + " s";
}

}  // namespace

BoxJobFlow::BoxJobFlow(BoxJob job, const ConversationLimits& limits) : m_job(job), m_conversation(limits) {}

void BoxJobFlow::setProgram(const ConfigValues& values, bool verify, FitCheck fits) {
    m_program = values;
    m_verify = verify;
    m_fits = std::move(fits);
}

Effects BoxJobFlow::connected(TimePoint now) {
    if (done())
        return {};
    m_phase = BoxPhase::Identifying;
    return react(m_conversation.requestId(true, now), now);
}

Effects BoxJobFlow::arrived(std::span<const Byte> bytes, TimePoint now) {
    if (done())
        return {};
    return react(m_conversation.arrived(bytes, now), now);
}

Effects BoxJobFlow::advance(TimePoint now) {
    if (done())
        return {};
    return react(m_conversation.advance(now), now);
}

Effects BoxJobFlow::connectionLost(TimePoint now) {
    if (done())
        return {};
    const bool pausing = m_conversation.pausing();
    Effects effects = react(m_conversation.connectionLost(now, true), now);
    if (!done())
        finish(false, pausing ? "the connection ended during the transfer pause: the box may not have stored "
                                "the download"
                              : "the box closed the connection");
    return effects;
}

Effects BoxJobFlow::sendRefused(TimePoint now) {
    if (done())
        return {};
    return react(m_conversation.sendRefused(now), now);
}

void BoxJobFlow::fail(const std::string& line) {
    if (!done())
        finish(false, line);
}

std::optional<TimePoint> BoxJobFlow::wakeAt() const {
    if (done())
        return std::nullopt;
    return m_conversation.wakeAt();
}

Effects BoxJobFlow::react(Effects effects, TimePoint now) {
    applySheetChange(m_sheet, effects.sheet);
    if (done())
        return effects;
    const ConversationLimits& limits = m_conversation.limits();
    if (effects.firmwareFailed) {
        switch (*effects.firmwareFailed) {
            case Failure::GaveUp:
                finish(false, "reply cut short, then " + seconds(limits.silence) + " of silence");
                break;
            case Failure::Unconfirmed:
                finish(false, kUnconfirmed);
                break;
            default:
                finish(false, "no reply within " + seconds(limits.replyStart));
        }
    } else if (effects.downloadRefused) {
        finish(false, *effects.downloadRefused == Failure::SendFailed
                          ? "the connection did not take the download"
                      : effects.lines.empty() ? "the download could not be sent"
                                              : effects.lines.back());
    } else if (effects.dumpFailed) {
        const std::size_t size = configMessageSize(dumpReadLength(m_sheet));
        switch (*effects.dumpFailed) {
            case Failure::GaveUp:
                finish(false, "dump reply cut short: " + std::to_string(effects.cutBytes) + " of " +
                                  std::to_string(size) + " bytes, then " + seconds(limits.silence) +
                                  " of silence");
                break;
            case Failure::TooSlow:
                finish(false, "dump reply not complete within " + seconds(limits.replyTotal) + ": " +
                                  std::to_string(effects.cutBytes) + " of " + std::to_string(size) +
                                  " bytes");
                break;
            case Failure::SendFailed:
                finish(false, "the connection did not take the request");
                break;
            case Failure::ConnectionLost:
                finish(false, "the box closed the connection");
                break;
            case Failure::Unconfirmed:
                finish(false, kUnconfirmed);
                break;
            default:
                finish(false, "no dump reply within " + seconds(limits.replyStart));
        }
    } else if (effects.firmwareText) {
        effects.append(onFirmware(now));
    } else if (effects.dump) {
        onDump(*effects.dump);
    } else if (effects.pauseEnded) {
        if (!*effects.pauseEnded) {
            finish(
                false,
                "the connection ended during the transfer pause: the box may not have stored the download");
        } else if (!m_verify) {
            finish(true);
        } else {
            m_phase = BoxPhase::Verifying;
            effects.append(react(m_conversation.requestDump(true, now, m_sheet), now));
        }
    } else if (!effects.sends.empty() && m_phase == BoxPhase::Sending) {
        m_phase = BoxPhase::Pausing;
        m_pauseEnds = now + limits.transferPause(m_sheet.GPIMsgLength);
    }
    return effects;
}

Effects BoxJobFlow::onFirmware(TimePoint now) {
    m_result.firmwareVersion = m_sheet.FirmwareVersion;
    m_result.msgLength = m_sheet.GPIMsgLength;
    switch (m_job) {
        case BoxJob::Info:
            finish(true);
            return {};
        case BoxJob::Read:
            m_phase = BoxPhase::Reading;
            return react(m_conversation.requestDump(true, now, m_sheet, Confirm::Always), now);
        case BoxJob::Program:
            break;
    }
    if (!m_program) {
        finish(false, "nothing to send");
        return {};
    }
    // Checked again here: the box may have changed since the file was checked against it.
    if (m_fits) {
        if (const auto refusal = m_fits(*m_program, m_sheet.GPIMsgLength)) {
            finish(false, *refusal + "; nothing was sent");
            return {};
        }
    }
    applyConfigValues(m_sheet, *m_program);
    m_phase = BoxPhase::Sending;
    Effects effects = react(m_conversation.download(true, now, m_sheet), now);
    if (!done())
        m_program = configValuesOf(m_sheet);  // what the box must hold afterwards, commands canonical
    return effects;
}

void BoxJobFlow::onDump(const std::vector<Byte>& message) {
    const std::size_t size = configMessageSize(dumpReadLength(m_sheet));
    m_result.record.assign(message.begin(), message.begin() + static_cast<std::ptrdiff_t>(size));
    if (m_job == BoxJob::Program && m_program) {
        m_result.differences = describeDifferences(*m_program, configValuesOf(m_sheet));
        if (!m_result.differences.empty()) {
            finish(false, "read back differs in " + std::to_string(m_result.differences.size()) + " field" +
                              (m_result.differences.size() == 1 ? "" : "s"));
            return;
        }
        m_result.verified = true;
    }
    finish(true);
}

void BoxJobFlow::finish(bool ok, const std::string& error) {
    m_result.ok = ok;
    m_result.error = error;
    m_phase = BoxPhase::Done;
}

}  // namespace zeze
