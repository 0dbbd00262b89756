// The zeze-sim executable as a child process of a test: started on a free loopback port, its port read
// from its first line, every later line collected so a test can wait for what the box reports.
#pragma once

#include <functional>
#include <optional>

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

namespace zeze::e2e {

inline constexpr int kSimStartDeadlineMs = 10000;

class SimProcess {
  public:
    SimProcess() {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] { readLines(); });
    }
    ~SimProcess() {
        stop();
        m_process.disconnect();
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the simulator with `--port 0` and `options`. False, with the reason in failure(), when it
    // does not name its port in time.
    bool start(const QStringList& options) {
        QString program = qEnvironmentVariable("ZEZE_SIM_PATH");
        if (program.isEmpty())
            program = QStringLiteral(ZEZE_SIM_BUILT_PATH);
        m_process.start(program, QStringList{QStringLiteral("--port"), QStringLiteral("0")} + options);
        const bool named = QTest::qWaitFor(
            [this] { return !m_firstLine.isEmpty() || m_process.state() == QProcess::NotRunning; },
            kSimStartDeadlineMs);
        static const QRegularExpression kListening(
            QStringLiteral(R"(^zeze-sim listening on 127\.0\.0\.1:(\d+) \()"));
        const auto match = kListening.match(m_firstLine);
        if (named && match.hasMatch())
            m_port = match.captured(1).toUShort();
        if (m_port == 0) {
            m_failure =
                QStringLiteral("%1 did not report a port; first line \"%2\", errors \"%3\"")
                    .arg(program, m_firstLine, QString::fromUtf8(m_process.readAllStandardError()).trimmed());
        }
        return m_port != 0;
    }

    quint16 port() const { return m_port; }
    const QString& firstLine() const { return m_firstLine; }
    const QString& failure() const { return m_failure; }
    // Every line after the first, in order.
    const QStringList& lines() const { return m_lines; }

    // Called with each line after the first as it is read, while the test's event loop runs.
    void onLine(std::function<void(const QString&)> handler) { m_onLine = std::move(handler); }

    // The first collected line that matches `pattern`, waiting up to `deadlineMs` for it.
    std::optional<QString> waitForLine(const QRegularExpression& pattern, int deadlineMs) {
        std::optional<QString> found;
        const bool seen = QTest::qWaitFor(
            [&] {
                for (const QString& line : m_lines) {
                    if (pattern.match(line).hasMatch()) {
                        found = line;
                        return true;
                    }
                }
                return false;
            },
            deadlineMs);
        return seen ? found : std::nullopt;
    }

    // Ends the simulator at once, as a crashed or unplugged box would vanish.
    bool kill() {
        if (m_process.state() == QProcess::NotRunning)
            return true;
        m_process.kill();
        return QTest::qWaitFor([this] { return m_process.state() == QProcess::NotRunning; },
                               kSimStartDeadlineMs);
    }

    void stop() {
        m_onLine = nullptr;
        kill();
    }

  private:
    void readLines() {
        while (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            if (m_firstLine.isEmpty()) {
                m_firstLine = line;
                continue;
            }
            m_lines << line;
            if (m_onLine)
                m_onLine(line);
        }
    }

    QProcess m_process;
    QString m_firstLine;
    QString m_failure;
    QStringList m_lines;
    quint16 m_port = 0;
    std::function<void(const QString&)> m_onLine;
};

}  // namespace zeze::e2e
