// send: program many boxes with one file. A box is programmed as soon as what it needs is known:
// - a file whose every command fits the short pins (30 bytes) fits every box, so each box is
//   programmed at once, without waiting for the others;
// - a file with a longer command fits only long boxes, and one short box among them stops it for all:
//   then every box is asked its firmware first, and the check runs among the boxes that answered
//   within the time-out (a box that cannot be reached has failed and holds the others no longer);
// - --dry-run and --if-changed read each box first, compare, and program (or not) that box at once.
#include "cli/commands.h"
#include "protocol/config_diff.h"

namespace zeze::cli {
namespace {

struct SendPlan {
    const Command& command;
    QString path;
    ProgramFile file;
    std::vector<Endpoint> hosts;
};

class SendRun {
  public:
    SendRun(const SendPlan& plan, BoxReport& report)
        : m_plan(plan),
          m_options(plan.command.options),
          m_report(report),
          m_queue(plan.hosts, m_options.settings, plan.command.jobsFor(plan.hosts.size())),
          m_looks(plan.hosts.size()) {}

    // Runs every box; the exit status when the file was refused (and that is said), else nothing.
    std::optional<int> run() {
        const bool read = m_options.dryRun || m_options.ifChanged;
        m_gated = fitRefusal(m_plan.file.values, kShortMsgLength).has_value();
        m_pendingLooks = m_plan.hosts.size();
        for (std::size_t i = 0; i < m_plan.hosts.size(); ++i) {
            if (read || m_gated)
                m_queue.add(BoxTask{i, read ? BoxJob::Read : BoxJob::Info, std::nullopt, true});
            else
                m_queue.add(programTask(i));
        }
        m_queue.run([this](const BoxTask& task, const BoxOutcome& outcome) { onDone(task, outcome); },
                    phasesOf(m_report));
        if (!m_refusal.isEmpty())
            return m_plan.command.refuse(m_refusal);
        return std::nullopt;
    }

  private:
    BoxTask programTask(std::size_t box) const {
        return BoxTask{box, BoxJob::Program, m_plan.file.values, m_options.verify};
    }
    const Endpoint& host(std::size_t box) const { return m_plan.hosts[box]; }

    void onDone(const BoxTask& task, const BoxOutcome& outcome) {
        if (task.job == BoxJob::Program) {
            reportProgrammed(task.box, outcome);
            return;
        }
        if (!outcome.ok)
            m_report.box(failedLine(host(task.box), outcome));
        else
            m_looks[task.box] = outcome;
        if (!m_gated) {
            if (outcome.ok)
                proceed(task.box);
            return;
        }
        if (--m_pendingLooks > 0)
            return;
        // Every box has answered or failed: the file must fit each one that answered.
        for (std::size_t box = 0; box < m_looks.size(); ++box) {
            if (!m_looks[box])
                continue;
            if (const auto refusal = fitRefusal(m_plan.file.values, m_looks[box]->msgLength)) {
                m_refusal = QStringLiteral("%1 does not fit %2 (%3): %4; nothing was sent")
                                .arg(m_plan.path, host(box).text(), boxText(*m_looks[box]),
                                     QString::fromStdString(*refusal));
                return;
            }
        }
        for (std::size_t box = 0; box < m_looks.size(); ++box) {
            if (m_looks[box])
                proceed(box);
        }
    }

    // A box whose firmware (and, when read, programming) is known.
    void proceed(std::size_t box) {
        const BoxOutcome& look = *m_looks[box];
        if (m_options.dryRun || m_options.ifChanged) {
            const std::vector<std::string> fields =
                describeDifferences(programOfOutcome(look).values, valuesOnBox(m_plan.file.values, look));
            if (fields.empty()) {
                m_report.box(
                    line(box, look, m_options.dryRun ? "same" : "skipped",
                         QStringLiteral("already holds %1%2 (%3)")
                             .arg(m_plan.path, m_options.dryRun ? QString() : QStringLiteral(", skipped"),
                                  boxText(look))));
                return;
            }
            if (m_options.dryRun) {
                BoxReportLine changes = line(box, look, "would-change",
                                             QStringLiteral("would change %1 field%2 (%3)")
                                                 .arg(fields.size())
                                                 .arg(fields.size() == 1 ? "" : "s")
                                                 .arg(boxText(look)));
                changes.differs = true;
                changes.differences = fields;
                m_report.box(changes);
                return;
            }
        }
        m_queue.addNext(programTask(box));
    }

    BoxReportLine line(std::size_t box, const BoxOutcome& outcome, const char* result,
                       const QString& text) const {
        return boxLine(host(box), outcome, QLatin1String(result), text);
    }

    void reportProgrammed(std::size_t box, const BoxOutcome& outcome) {
        if (outcome.ok) {
            m_report.box(line(box, outcome, outcome.verified ? "verified" : "programmed",
                              QStringLiteral("programmed%1 (%2)")
                                  .arg(outcome.verified ? QStringLiteral(" and verified")
                                                        : QStringLiteral(", not read back"),
                                       boxText(outcome))));
            return;
        }
        // A read-back that differs: the fields, counted and listed by the report, not one long line.
        if (!outcome.differences.empty()) {
            const std::size_t count = outcome.differences.size();
            BoxReportLine mismatch = failedLine(
                host(box), outcome,
                QStringLiteral("read back differs in %1 field%2").arg(count).arg(count == 1 ? "" : "s"));
            mismatch.differences = outcome.differences;
            m_report.box(mismatch);
            return;
        }
        m_report.box(failedLine(host(box), outcome));
    }

    const SendPlan& m_plan;
    const CommandOptions& m_options;
    BoxReport& m_report;
    BoxQueue m_queue;
    std::vector<std::optional<BoxOutcome>> m_looks;  // the first conversation's outcome, per box
    std::size_t m_pendingLooks = 0;
    bool m_gated = false;
    QString m_refusal;
};

}  // namespace

int runSend(const Command& command) {
    QStringList arguments = command.options.positional;
    if (arguments.isEmpty())
        return command.refuse(QStringLiteral("no file given; see zeze send --help"));
    SendPlan plan{command, arguments.takeLast(), {}, {}};
    QString error;
    if (!command.collectHosts(arguments, plan.hosts, error))
        return command.refuse(error);
    const LoadedProgram loaded = loadProgram(plan.path, command.io);
    if (!loaded.file)
        return command.refuse(loaded.error + QStringLiteral("; nothing was sent"));
    plan.file = *loaded.file;
    // The download's own check, once for all boxes: the values it refuses do not depend on the box.
    Sheet check;
    applyConfigValues(check, plan.file.values);
    const EncodeResult encoded = BuildDownload(check);
    if (!encoded.ok())
        return command.refuse(QStringLiteral("%1: %2").arg(plan.path, QString::fromStdString(encoded.error)));

    BoxReport report(command.io, command.options.mode, command.name, plan.hosts.size());
    if (const std::optional<int> refused = SendRun(plan, report).run())
        return *refused;
    const bool dryRun = command.options.dryRun;
    QString summary = QStringLiteral("%1 of %2 boxes %3")
                          .arg(dryRun ? report.count(QStringLiteral("would-change"))
                                      : report.count(QStringLiteral("verified")) +
                                            report.count(QStringLiteral("programmed")))
                          .arg(plan.hosts.size())
                          .arg(dryRun ? QStringLiteral("would change") : QStringLiteral("programmed"));
    if (const std::size_t same =
            report.count(QStringLiteral("skipped")) + report.count(QStringLiteral("same")))
        summary += QStringLiteral(", %1 already held the file").arg(same);
    report.summary(summary + QStringLiteral(", %1 failed").arg(report.failed()));
    // A dry run that finds changes exits 1, as diff does: the fleet is not yet what the file says.
    return command.status(report);
}

}  // namespace zeze::cli
