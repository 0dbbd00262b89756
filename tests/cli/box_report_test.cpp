// The report of a many-box command on its own: the progress line's phases and pause countdown, and
// what -q and --json keep of a box's line.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "cli/box_report.h"

namespace zeze::cli {
namespace {

struct Captured {
    std::string out;
    std::string err;
    CliIo io;
    explicit Captured(bool terminal) {
        io.out = [this](std::string_view text) { out += text; };
        io.err = [this](std::string_view text) { err += text; };
        io.progress = terminal;
    }
};

BoxReportLine lineOf(quint16 port, const char* result, bool failed) {
    BoxReportLine line;
    line.endpoint = Endpoint{QStringLiteral("127.0.0.1"), port};
    line.result = QLatin1String(result);
    line.failed = failed;
    line.text = failed ? QStringLiteral("failed: connection refused") : QStringLiteral("programmed");
    line.error = failed ? QStringLiteral("connection refused") : QString();
    return line;
}

TEST(BoxReport, ProgressCountsThePhasesAndThePauseLeft) {
    Captured captured(true);
    {
        BoxReport report(captured.io, {}, QStringLiteral("send"), 4);
        const auto now = std::chrono::steady_clock::now();
        report.phase(0, BoxPhase::Connecting, {});
        report.phase(1, BoxPhase::Pausing, now + std::chrono::milliseconds(2500));
        report.phase(2, BoxPhase::Pausing, now + std::chrono::milliseconds(1500));
        report.phase(3, BoxPhase::Verifying, {});
        report.phase(3, BoxPhase::Done, {});
        report.box(lineOf(8003, "verified", false));
        EXPECT_EQ(captured.out, "127.0.0.1:8003: programmed\n");
        EXPECT_TRUE(
            QString::fromStdString(captured.err)
                .endsWith("\r\x1b[Kzeze send: 1 of 4 boxes done, 0 failed; 1 connecting, 2 in the pause "
                          "(3 s left)"))
            << captured.err;
    }
    EXPECT_TRUE(QString::fromStdString(captured.err).endsWith("\r\x1b[K"));  // cleared at the end
}

TEST(BoxReport, QuietKeepsFailuresAndJsonKeepsEverything) {
    Captured quiet(false);
    BoxReport report(quiet.io, {Verbosity::Quiet, false}, QStringLiteral("send"), 2);
    report.box(lineOf(8000, "verified", false));
    report.box(lineOf(8001, "failed", true));
    report.summary(QStringLiteral("1 of 2 boxes programmed, 1 failed"));
    EXPECT_EQ(quiet.out, "127.0.0.1:8001: failed: connection refused\n");
    EXPECT_EQ(quiet.err, "");  // no terminal: no progress line
    EXPECT_EQ(report.failed(), 1u);
    EXPECT_EQ(report.count(QStringLiteral("verified")), 1u);

    Captured json(false);
    BoxReport jsonReport(json.io, {Verbosity::Quiet, true}, QStringLiteral("send"), 1);
    BoxReportLine line = lineOf(8001, "failed", true);
    line.firmwareVersion = 0x0209;
    line.msgLength = 30;
    jsonReport.box(line);
    jsonReport.summary(QStringLiteral("ignored for JSON"));
    const QStringList objects = QString::fromStdString(json.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(objects.size(), 2);
    EXPECT_EQ(QJsonDocument::fromJson(objects[0].toUtf8()).object(),
              (QJsonObject{{"host", "127.0.0.1"},
                           {"port", 8001},
                           {"result", "failed"},
                           {"firmware", "2.09"},
                           {"pinSize", 30},
                           {"error", "connection refused"}}));
    EXPECT_EQ(
        QJsonDocument::fromJson(objects[1].toUtf8()).object(),
        (QJsonObject{
            {"summary", "send"}, {"boxes", 1}, {"failed", 1}, {"results", QJsonObject{{"failed", 1}}}}));
}

}  // namespace
}  // namespace zeze::cli
