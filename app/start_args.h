// The command line of the window, read before Qt starts (so that it needs no display): --help,
// --version, at most one programming file to open and one box as HOST[:PORT] to connect to, and Qt's own
// options, which are left to Qt.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QString>

namespace zeze {

struct StartArgs {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    std::optional<QString> host;  // the box to connect to at start
    quint16 port = 0;
    std::optional<QString> file;  // the programming file to open at start
    std::string error;  // with Refuse: what was wrong, for the line after the usage
};

// An argument names a file when it looks like a path (a '/', a .json or .bin name) or names something that
// exists; otherwise it is a box.
bool namesFile(const QString& argument);

StartArgs readStartArgs(const std::vector<std::string>& args);

}  // namespace zeze
