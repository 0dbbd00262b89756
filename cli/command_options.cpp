// QCommandLineParser with the options each command takes; numbers read strictly.
#include "cli/command_options.h"

#include <QCommandLineParser>
#include <algorithm>
#include <cmath>

#include "cli/input_file.h"
#include "model/numbers.h"

namespace zeze::cli {
namespace {

constexpr double kMaxTimeoutSeconds = 3600;

// "2", "0.5": seconds, more than 0 and at most an hour.
std::optional<double> parseSeconds(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0 || value > kMaxTimeoutSeconds ||
        text.contains(QLatin1Char('e'), Qt::CaseInsensitive))
        return std::nullopt;
    return value;
}

}  // namespace

CommandOptions parseCommandOptions(const QString& command, const QStringList& arguments, CliIo& io,
                                   const BoxTiming& timing) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption hosts(QStringLiteral("hosts"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption jobs(QStringLiteral("jobs"), QString(), QStringLiteral("N"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(), QStringLiteral("S"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("FILE"));
    const QCommandLineOption noVerify(QStringLiteral("no-verify"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption ifChanged(QStringLiteral("if-changed"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")});
    const QCommandLineOption verbose(QStringList{QStringLiteral("v"), QStringLiteral("verbose")});
    QList<QCommandLineOption> taken{help, hosts, jobs, timeout, json, quiet, verbose};
    if (command == QLatin1String("get"))
        taken << output;
    if (command == QLatin1String("send"))
        taken << noVerify << dryRun << ifChanged;
    parser.addOptions(taken);
    // Options this command does not take read as not given (QCommandLineParser warns on those).
    const auto isSet = [&](const QCommandLineOption& option) {
        return parser.optionNames().contains(option.names().first()) ||
               (option.names().size() > 1 && parser.optionNames().contains(option.names().last()));
    };

    CommandOptions options;
    options.settings.timing = timing;
    if (!parser.parse(QStringList{QStringLiteral("zeze")} + arguments)) {
        options.error = parser.errorText();
        return options;
    }
    options.help = isSet(help);
    options.positional = parser.positionalArguments();
    if (isSet(jobs)) {
        const auto value = parseWholeNumber(parser.value(jobs).toStdString(), 100000);
        if (!value || *value == 0) {
            options.error =
                QStringLiteral("--jobs wants a whole number of at least 1, not '%1'").arg(parser.value(jobs));
            return options;
        }
        options.jobs = static_cast<int>(*value);
    }
    if (isSet(timeout)) {
        const auto seconds = parseSeconds(parser.value(timeout));
        if (!seconds) {
            options.error = QStringLiteral("--timeout wants seconds, more than 0 and at most 3600, not '%1'")
                                .arg(parser.value(timeout));
            return options;
        }
        const auto ms = std::chrono::milliseconds(std::lround(*seconds * 1000));
        options.settings.timing.replyStart = std::max(ms, std::chrono::milliseconds(1));
        options.settings.connectTimeoutMs = static_cast<int>(options.settings.timing.replyStart.count());
    }
    if (isSet(quiet) && isSet(verbose)) {
        options.error = QStringLiteral("-q and -v contradict each other");
        return options;
    }
    options.mode.verbosity = isSet(quiet)     ? Verbosity::Quiet
                             : isSet(verbose) ? Verbosity::Verbose
                                              : Verbosity::Normal;
    options.mode.json = isSet(json);
    options.verify = !isSet(noVerify);
    options.dryRun = isSet(dryRun);
    options.ifChanged = isSet(ifChanged);
    if (options.dryRun && options.ifChanged) {
        options.error = QStringLiteral("--dry-run sends nothing; --if-changed has nothing to skip then");
        return options;
    }
    if (isSet(output))
        options.output = parser.value(output);
    if (isSet(hosts) && !options.help) {
        const InputFile file = readInputFile(parser.value(hosts), io);
        if (!file.ok()) {
            options.error = file.error;
            return options;
        }
        const EndpointListResult list = parseHostList(QString::fromUtf8(file.bytes));
        if (!list.error.isEmpty()) {
            options.error = QStringLiteral("%1 %2").arg(parser.value(hosts), list.error);
            return options;
        }
        options.hosts = list.endpoints;
        options.hostsGiven = true;
    }
    return options;
}

}  // namespace zeze::cli
