// Lines for people, JSON Lines for scripts, and the progress line redrawn in place with carriage
// return and erase-line so that it never scrolls the results away.
#include "cli/box_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "protocol/reply_parser.h"

namespace zeze::cli {
namespace {

constexpr std::string_view kEraseLine = "\r\x1b[K";
constexpr int kRedrawMs = 250;

const char* phaseWord(BoxPhase phase) {
    switch (phase) {
        case BoxPhase::Connecting:
            return "connecting";
        case BoxPhase::Identifying:
            return "identifying";
        case BoxPhase::Reading:
            return "reading";
        case BoxPhase::Sending:
            return "sending";
        case BoxPhase::Pausing:
            return "in the pause";
        case BoxPhase::Verifying:
            return "verifying";
        case BoxPhase::Done:
            break;
    }
    return "done";
}

}  // namespace

QString firmwareText(std::uint16_t version) {
    return QString::fromStdString(
        formatFirmware(static_cast<std::uint8_t>(version >> 8), static_cast<std::uint8_t>(version & 0xFF)));
}

BoxReport::BoxReport(CliIo& io, OutputMode mode, QString command, std::size_t total)
    : m_io(io), m_mode(mode), m_command(std::move(command)), m_total(total) {
    if (m_io.progress && m_mode.verbosity != Verbosity::Quiet) {
        m_redraw.setInterval(kRedrawMs);
        QObject::connect(&m_redraw, &QTimer::timeout, &m_redraw, [this] { draw(); });
        m_redraw.start();
        draw();
    }
}

BoxReport::~BoxReport() {
    clear();
}

std::size_t BoxReport::count(const QString& result) const {
    const auto found = m_results.find(result);
    return found == m_results.end() ? 0 : found->second;
}

void BoxReport::print(const std::string& text) {
    clear();
    m_io.out(text);
}

QString BoxReport::humanLine(const BoxReportLine& line) const {
    QString text = QStringLiteral("%1: %2").arg(line.endpoint.text(), line.text);
    const auto& fields = line.differences;
    if (fields.empty())
        return text;
    if (m_mode.verbosity == Verbosity::Verbose) {
        for (const std::string& field : fields)
            text += QStringLiteral("\n  ") + QString::fromStdString(field);
        return text;
    }
    QStringList shown;
    for (std::size_t i = 0; i < std::min(fields.size(), kFieldsShown); ++i)
        shown << QString::fromStdString(fields[i]);
    text += QStringLiteral(": ") + shown.join(QStringLiteral("; "));
    if (fields.size() > kFieldsShown)
        text += QStringLiteral("; and %1 more (-v lists them)").arg(fields.size() - kFieldsShown);
    return text;
}

void BoxReport::box(const BoxReportLine& line) {
    ++m_done;
    ++m_results[line.result];
    m_failed += line.failed ? 1 : 0;
    m_differing += line.differs ? 1 : 0;
    if (m_mode.json) {
        QJsonObject object{{QStringLiteral("host"), line.endpoint.host},
                           {QStringLiteral("port"), line.endpoint.port},
                           {QStringLiteral("result"), line.result}};
        if (line.firmwareVersion != 0) {
            object.insert(QStringLiteral("firmware"), firmwareText(line.firmwareVersion));
            object.insert(QStringLiteral("pinSize"), line.msgLength);
        }
        if (line.failed)
            object.insert(QStringLiteral("error"), line.error);
        if (!line.differences.empty() || line.differs) {
            QJsonArray fields;
            for (const std::string& field : line.differences)
                fields.append(QString::fromStdString(field));
            object.insert(QStringLiteral("differences"), fields);
        }
        if (!line.file.isEmpty())
            object.insert(QStringLiteral("file"), line.file);
        print(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n");
    } else if (m_mode.verbosity != Verbosity::Quiet || line.failed || line.differs) {
        print(humanLine(line).toStdString() + "\n");
    }
    draw();
}

void BoxReport::phase(std::size_t box, BoxPhase phase, std::chrono::steady_clock::time_point pauseEnds) {
    if (phase == BoxPhase::Done) {
        m_phases.erase(box);
        return;
    }
    m_phases[box] = phase;
    if (phase == BoxPhase::Pausing)
        m_pauseEnds = std::max(m_pauseEnds, pauseEnds);
}

void BoxReport::summary(const QString& line) {
    m_redraw.stop();
    if (m_mode.json) {
        QJsonObject counts;
        for (const auto& [result, number] : m_results)
            counts.insert(result, static_cast<qint64>(number));
        const QJsonObject object{{QStringLiteral("summary"), m_command},
                                 {QStringLiteral("boxes"), static_cast<qint64>(m_total)},
                                 {QStringLiteral("failed"), static_cast<qint64>(m_failed)},
                                 {QStringLiteral("results"), counts}};
        print(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n");
    } else if (m_mode.verbosity != Verbosity::Quiet) {
        print(line.toStdString() + "\n");
    }
    clear();
}

void BoxReport::draw() {
    if (!m_redraw.isActive() || m_done == m_total)
        return;
    QString text = QStringLiteral("zeze %1: %2 of %3 boxes done, %4 failed")
                       .arg(m_command)
                       .arg(m_done)
                       .arg(m_total)
                       .arg(m_failed);
    std::map<BoxPhase, std::size_t> counts;
    for (const auto& [box, phase] : m_phases)
        ++counts[phase];
    QStringList parts;
    for (const auto& [phase, number] : counts) {
        QString part = QStringLiteral("%1 %2").arg(number).arg(QLatin1String(phaseWord(phase)));
        if (phase == BoxPhase::Pausing) {
            const auto left =
                std::chrono::ceil<std::chrono::seconds>(m_pauseEnds - std::chrono::steady_clock::now());
            part += QStringLiteral(" (%1 s left)").arg(std::max<long long>(left.count(), 0));
        }
        parts << part;
    }
    if (!parts.isEmpty())
        text += QStringLiteral("; ") + parts.join(QStringLiteral(", "));
    if (m_shown && text == m_lastDrawn)
        return;  // the timer's redraw changes nothing
    m_io.err(std::string(kEraseLine) + text.toStdString());
    m_shown = true;
    m_lastDrawn = text;
}

void BoxReport::clear() {
    if (m_shown)
        m_io.err(kEraseLine);
    m_shown = false;
}

}  // namespace zeze::cli
