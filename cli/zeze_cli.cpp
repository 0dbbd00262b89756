// The command line's entry: the help texts and the dispatch to the four commands.
#include "cli/zeze_cli.h"

#include <algorithm>

#include "cli/commands.h"
#include "version.h"

namespace zeze::cli {
namespace {

constexpr char kUsage[] =
    "Usage: zeze COMMAND [OPTIONS] ...\n"
    "\n"
    "Back up, restore, compare and program Zeze boxes over TCP.\n"
    "\n"
    "Commands:\n"
    "  info HOST[:PORT]...        firmware version and pin size of each box\n"
    "  get HOST[:PORT]... [-o F]  the programming of a box into the file F\n"
    "                             (default: standard output), of many boxes\n"
    "                             into a directory with -o DIR/\n"
    "  send HOST[:PORT]... FILE   program each box with FILE and read it back\n"
    "  diff A B                   the fields in which A and B differ, each a box\n"
    "                             or a file; with more boxes, each box against\n"
    "                             the last argument, a file\n"
    "\n"
    "'zeze help COMMAND' or 'zeze COMMAND --help' tells a command's options.\n"
    "\n"
    "HOST[:PORT] is a box's address, port 8000 when none is given ([::1]:8000\n"
    "for IPv6). FILE is a JSON programming document, or the exact record when its\n"
    "name ends in .bin; - reads standard input (or, for get -o, writes standard\n"
    "output).\n"
    "\n"
    "Options:\n"
    "  -h, --help   this help\n"
    "  --version    the program version\n"
    "\n"
    "Exit status: 0 success; 1 a box failed or differs; 2 nothing was done (bad\n"
    "arguments, a bad or unfitting file) or a file could not be written.\n";

constexpr char kManyBoxOptions[] =
    "\n"
    "  --hosts FILE   more boxes, one HOST[:PORT] per line ('#' starts a comment);\n"
    "                 a box given twice is talked to once\n"
    "  --jobs N       talk to at most N boxes at a time (default: all at once)\n"
    "  --timeout S    give up a connect, or a reply not begun, after S seconds\n"
    "                 (default: 20 s for a connect, 10 s for a reply)\n"
    "  --json         one JSON object per box, then a summary object (JSON Lines)\n"
    "  -q, --quiet    only the boxes that failed or differ, no summary\n"
    "  -v, --verbose  every field that differs, each on a line of its own\n"
    "  -h, --help     this help\n";

constexpr char kInfoHelp[] =
    "Usage: zeze info [OPTIONS] HOST[:PORT]...\n"
    "\n"
    "Asks each box for its firmware version and prints it with the box's pin size\n"
    "(30 or 55 command bytes per pin), one line per box as each answers, then a\n"
    "summary.\n";

constexpr char kGetHelp[] =
    "Usage: zeze get [OPTIONS] HOST[:PORT] [-o FILE]\n"
    "       zeze get [OPTIONS] HOST[:PORT]... -o DIR/\n"
    "\n"
    "Reads the box's programming and writes it as a JSON document to FILE, or to\n"
    "standard output. A FILE whose name ends in .bin receives the exact record\n"
    "instead: FF 01 00 and the record as the box sends it, 848 bytes for 30-byte\n"
    "pins, 1448 for 55.\n"
    "With a directory (a name ending in '/', made when missing, or an existing one)\n"
    "every box is backed up into a file of its own, named after it:\n"
    "10.0.0.5_8000.json. Files are written whole or not at all.\n"
    "\n"
    "  -o, --output FILE  where to write (default and '-': standard output)\n";

constexpr char kSendHelp[] =
    "Usage: zeze send [OPTIONS] HOST[:PORT]... FILE\n"
    "\n"
    "Programs each box with FILE (JSON or .bin; - reads standard input). When FILE\n"
    "does not fit a box that answers (a command longer than its pins: 30 bytes\n"
    "before firmware 2.10, 55 from 2.10 on) or holds a value no download can carry,\n"
    "nothing is sent to any box. A box that cannot be reached fails on its own line\n"
    "and holds the others up no longer than the time-out. After the download each\n"
    "box gets its transfer pause (3.2 s for 30-byte pins, 5.6 s for 55), is read\n"
    "back and compared with FILE.\n"
    "\n"
    "  --no-verify    do not read the boxes back\n"
    "  --dry-run      read every box and print what would change; send nothing\n"
    "                 (exit status 1 when a box would change)\n"
    "  --if-changed   read every box first; skip, and save the pause of, each box\n"
    "                 that already holds FILE\n";

constexpr char kDiffHelp[] =
    "Usage: zeze diff [OPTIONS] A B\n"
    "       zeze diff [OPTIONS] HOST[:PORT]... PLAN\n"
    "\n"
    "A and B are each a programming file or a box's HOST[:PORT]. An argument is a\n"
    "file when it contains '/', ends in .json or .bin, is '-' or names an existing\n"
    "file; otherwise a box. Prints the fields that differ, one per line, A's value\n"
    "first, for example:\n"
    "\n"
    "  pin 7 command: 20 01 21 -> 20 01 22\n"
    "\n"
    "With --hosts or more than two arguments, every box is compared with the file\n"
    "PLAN: one line per box, naming the fields in which it differs (PLAN's value\n"
    "first). With --json, A and B give one object: a, b, result (same or differs)\n"
    "and the differences.\n"
    "Exit status 0 when they are the same, 1 when they differ or a box failed, 2 on\n"
    "trouble.\n";

struct Entry {
    const char* name;
    const char* help;
    int (*run)(const Command&);
};

constexpr Entry kCommands[] = {{"info", kInfoHelp, &runInfo},
                               {"get", kGetHelp, &runGet},
                               {"send", kSendHelp, &runSend},
                               {"diff", kDiffHelp, &runDiff}};

const Entry* findCommand(const QString& name) {
    const Entry* entry = std::find_if(std::begin(kCommands), std::end(kCommands),
                                      [&](const Entry& e) { return name == QLatin1String(e.name); });
    return entry == std::end(kCommands) ? nullptr : entry;
}

int unknownCommand(const QString& name, CliIo& io) {
    io.err(QStringLiteral("zeze: '%1' is not a zeze command; see zeze --help\n").arg(name).toStdString());
    return kExitRefused;
}

}  // namespace

int runZeze(const QStringList& arguments, CliIo& io, const BoxTiming& timing) {
    if (arguments.isEmpty()) {
        io.err(kUsage);
        return kExitRefused;
    }
    const QString& first = arguments.first();
    if (first == QLatin1String("help") && arguments.size() > 1 &&
        !arguments[1].startsWith(QLatin1Char('-'))) {
        // zeze help CMD is zeze CMD --help.
        return findCommand(arguments[1]) ? runZeze({arguments[1], QStringLiteral("--help")}, io, timing)
                                         : unknownCommand(arguments[1], io);
    }
    if (first == QLatin1String("-h") || first == QLatin1String("--help") || first == QLatin1String("help")) {
        io.out(kUsage);
        return kExitOk;
    }
    if (first == QLatin1String("--version")) {
        io.out("zeze " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
               std::to_string(kVersionRevision) + "\n");
        return kExitOk;
    }
    const Entry* entry = findCommand(first);
    if (!entry)
        return unknownCommand(first, io);
    const Command command{io, first, parseCommandOptions(first, arguments.mid(1), io, timing)};
    if (!command.options.error.isEmpty())
        return command.refuse(command.options.error);
    if (command.options.help) {
        io.out(std::string(entry->help) + kManyBoxOptions);
        return kExitOk;
    }
    return entry->run(command);
}

}  // namespace zeze::cli
