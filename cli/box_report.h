// What zeze prints about many boxes: one line per box on standard output as each finishes (or one
// JSON object per box with --json), a summary, and on a terminal a progress line on standard error
// that counts the boxes in each phase and the seconds left of the transfer pause.
#pragma once

#include <QString>
#include <QTimer>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "cli/box_session.h"
#include "cli/cli_io.h"

namespace zeze::cli {

enum class Verbosity { Quiet, Normal, Verbose };

struct OutputMode {
    Verbosity verbosity = Verbosity::Normal;
    bool json = false;  // JSON Lines on standard output instead of the lines for people
};

// Fields of a mismatch shown on a box's line; -v shows every one, each on a line of its own.
inline constexpr std::size_t kFieldsShown = 3;

// What became of one box.
struct BoxReportLine {
    Endpoint endpoint;
    QString result;  // one word for scripts: "verified", "skipped", "differs", "failed", ...
    bool failed = false;
    bool differs = false;                  // differs from the file or plan (diff, --dry-run)
    std::uint16_t firmwareVersion = 0;     // 0 when not known
    std::uint8_t msgLength = 0;            // command bytes per pin ("pinSize" in JSON); 0 when not known
    QString text;                          // the line for people after "HOST: "
    QString error;                         // a failure's reason, for scripts
    std::vector<std::string> differences;  // the fields that differ, in the sheet's terms
    QString file;                          // the file written for this box
};

class BoxReport {
  public:
    BoxReport(CliIo& io, OutputMode mode, QString command, std::size_t total);
    ~BoxReport();

    void box(const BoxReportLine& line);
    void phase(std::size_t box, BoxPhase phase, std::chrono::steady_clock::time_point pauseEnds);
    // The summary line (or object) and the progress line cleared. `line` is for people.
    void summary(const QString& line);

    std::size_t count(const QString& result) const;
    std::size_t failed() const { return m_failed; }
    std::size_t differing() const { return m_differing; }
    std::size_t total() const { return m_total; }

  private:
    void print(const std::string& text);
    QString humanLine(const BoxReportLine& line) const;
    void draw();
    void clear();

    CliIo& m_io;
    OutputMode m_mode;
    QString m_command;
    std::size_t m_total;
    std::size_t m_done = 0;
    std::size_t m_failed = 0;
    std::size_t m_differing = 0;
    std::map<QString, std::size_t> m_results;
    std::map<std::size_t, BoxPhase> m_phases;  // boxes under way
    std::chrono::steady_clock::time_point m_pauseEnds{};
    bool m_shown = false;  // a progress line stands on standard error
    QString m_lastDrawn;
    QTimer m_redraw;  // the progress line follows phases and the pause's countdown
};

// "2.10" for major 2, minor 10.
QString firmwareText(std::uint16_t version);

}  // namespace zeze::cli
