// zeze-sim: a simulated Zeze box on 127.0.0.1 for trying the programmer and for end-to-end tests.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "link/open_files.h"
#include "tools/sim/sim_fleet.h"
#include "tools/sim/sim_options.h"
#include "version.h"

namespace {

// Every option, in the order --help lists them; the parser is built from the same table. Help lines
// stay under 58 columns (the help column starts at 20, the whole line under 80).
struct OptionEntry {
    const char* name;       // long name without its dashes
    const char* valueName;  // nullptr for a switch
    const char* help;       // '\n' between lines
};

constexpr OptionEntry kOptions[] = {
    {"port", "N", "listen on 127.0.0.1:N, 0 for a free port (default 8000)"},
    {"boxes", "N",
     "serve N boxes from this process, on ports P to\nP+N-1 from the --port P (default 1; with port 0\n"
     "a run of free ports from 10000 on); each prints\nits listening line, and its log lines start with\nits "
     "port"},
    {"firmware", "M.mm",
     "the firmware version reported, a two-digit minor\n(default 2.10; 2.09 and older hold 30 bytes per "
     "pin)"},
    {"chunk", "N", "cut every reply into pieces of N bytes\n(default 0: whole)"},
    {"chunk-delay", "MS", "pause between the pieces of a reply (default 20)"},
    {"stall", "MS",
     "the quiet gap: after MS without a new byte an\nunfinished request is given up and a download is "
     "over,\nstored if it has the right size (default 500)"},
    {"keep", nullptr, "store no download: a box whose store has failed\nkeeps the programming it holds"},
    {"help", nullptr, "this help"},
    {"version", nullptr, "the program version"},
};

constexpr char kIntro[] =
    "Usage: zeze-sim [OPTIONS]\n"
    "\n"
    "A simulated Zeze box on 127.0.0.1. It answers the ID, GPI and dump requests,\n"
    "stores configuration downloads, and prints one line per message. One client is\n"
    "served at a time; a client that connects meanwhile waits until the current one\n"
    "disconnects.\n"
    "\n"
    "Options:\n";

constexpr char kOutro[] =
    "\n"
    "Exit status: 2 when an option is wrong or the port cannot be listened on;\n"
    "otherwise it runs until it is stopped.\n";

QString helpText() {
    constexpr int kHelpColumn = 20;
    QString text = QString::fromLatin1(kIntro);
    for (const OptionEntry& option : kOptions) {
        QString names = QStringLiteral("  --") + QLatin1String(option.name);
        if (QLatin1String(option.name) == QLatin1String("help"))
            names = QStringLiteral("  -h, --help");
        if (option.valueName)
            names += QLatin1Char(' ') + QLatin1String(option.valueName);
        const QStringList lines = QString::fromLatin1(option.help).split(QLatin1Char('\n'));
        text += names.leftJustified(kHelpColumn - 1) + QLatin1Char(' ') + lines.first() + QLatin1Char('\n');
        for (qsizetype i = 1; i < lines.size(); ++i)
            text += QString(kHelpColumn, QLatin1Char(' ')) + lines[i] + QLatin1Char('\n');
    }
    return text + QLatin1String(kOutro);
}

void printLine(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int refuse(const QString& line) {
    std::fputs(("zeze-sim: " + line + "\n").toUtf8().constData(), stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zeze::sim;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zeze-sim"));

    QCommandLineParser parser;
    for (const OptionEntry& option : kOptions) {
        QStringList names{QLatin1String(option.name)};
        if (names.first() == QLatin1String("help"))
            names.prepend(QStringLiteral("h"));
        parser.addOption(QCommandLineOption(names, QString(),
                                            option.valueName ? QLatin1String(option.valueName) : QString()));
    }
    if (!parser.parse(app.arguments())) {
        return refuse(parser.errorText() + QStringLiteral(" See zeze-sim --help."));
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(helpText().toUtf8().constData(), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        printLine(QStringLiteral("zeze-sim ") + QLatin1String(zeze::kVersionText));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return refuse(QStringLiteral("unexpected argument: ") + parser.positionalArguments().first());
    }
    // An option not given takes its default.
    const auto valueOf = [&parser](const char* name, const QString& fallback) {
        return parser.isSet(QLatin1String(name)) ? parser.value(QLatin1String(name)).toStdString()
                                                 : fallback.toStdString();
    };

    SimOptions options;
    const auto port = parseCount(valueOf("port", QString::number(kDefaultPort)), 65535);
    const auto firmware = parseFirmware(valueOf("firmware", QStringLiteral("2.10")));
    const auto chunk = parseCount(valueOf("chunk", QStringLiteral("0")), 1 << 20);
    const auto delay = parseCount(valueOf("chunk-delay", QString::number(kDefaultChunkDelayMs)), 60000);
    const auto stall = parseCount(valueOf("stall", QString::number(kDefaultStallMs)), 600000);
    const auto boxes = parseCount(valueOf("boxes", QStringLiteral("1")), kMaxBoxes);
    if (!port) {
        return refuse(QStringLiteral("--port wants a number 0..65535"));
    }
    if (!firmware) {
        return refuse(QStringLiteral("--firmware wants M.mm, e.g. 2.10 or 2.09"));
    }
    if (!boxes || *boxes == 0) {
        return refuse(QStringLiteral("--boxes wants a number 1..%1").arg(kMaxBoxes));
    }
    if (!chunk || !delay || !stall) {
        return refuse(QStringLiteral("--chunk, --chunk-delay and --stall want whole numbers"));
    }
    options.port = static_cast<std::uint16_t>(*port);
    options.firmware = *firmware;
    options.chunkSize = *chunk;
    options.chunkDelayMs = *delay;
    options.stallMs = *stall;
    options.keepProgramming = parser.isSet(QStringLiteral("keep"));

    // Each box holds a listening socket and a client's: a thousand boxes need more than the default.
    const long openFiles = zeze::raiseOpenFileLimit();
    if (openFiles > 0 && 2L * *boxes + kSpareDescriptors > openFiles) {
        return refuse(QStringLiteral("%1 boxes need %2 open files; the system allows %3 (ulimit -n)")
                          .arg(*boxes)
                          .arg(2L * *boxes + kSpareDescriptors)
                          .arg(openFiles));
    }
    SimFleet fleet;
    QObject::connect(&fleet, &SimFleet::logLine, &printLine);
    if (!fleet.listen(options, *boxes)) {
        return refuse(fleet.errorString());
    }
    for (const auto& box : fleet.boxes()) {
        printLine(box->listeningLine());
    }
    return app.exec();
}
