// Where zeze writes: standard output for results and documents, standard error for the failure line
// and, on a terminal, a progress line. Tests capture both.
#pragma once

#include <functional>
#include <string_view>

#include <QString>

namespace zeze::cli {

struct CliIo {
    std::function<void(std::string_view)> out;
    std::function<void(std::string_view)> err;
    bool progress = false;  // standard error is a terminal: keep a progress line there
};

// Result lines of a many-box command, with a progress line on standard error that each result line
// clears and redraws ("zeze send: 3 of 20 boxes done, 1 failed").
class Progress {
  public:
    Progress(CliIo& io, QString command, int total);
    void result(const QString& line, bool ok);
    // Clears the progress line.
    void end();
    int failed() const { return m_failed; }
    int done() const { return m_done; }

  private:
    void draw();

    CliIo& m_io;
    QString m_command;
    int m_total;
    int m_done = 0;
    int m_failed = 0;
};

}  // namespace zeze::cli
