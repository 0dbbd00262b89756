#include "app/start_args.h"

#include <algorithm>
#include <array>
#include <string_view>

#include <QFileInfo>

#include "app/captions.h"
#include "cli/endpoint.h"

namespace zeze {
namespace {

// Qt's options that take the next argument as their value (QGuiApplication's, QApplication's and the
// xcb platform's); Qt also takes them with two dashes.
constexpr std::array<std::string_view, 16> kQtOptionsWithValue{"platform",      "platformpluginpath",
                                                               "platformtheme", "plugin",
                                                               "qmljsdebugger", "qwindowgeometry",
                                                               "geometry",      "qwindowicon",
                                                               "icon",          "qwindowtitle",
                                                               "title",         "style",
                                                               "stylesheet",    "session",
                                                               "display",       "name"};
constexpr std::array<std::string_view, 6> kQtFlags{"reverse", "widgetcount", "nograb",
                                                   "dograb",  "sync",        "testability"};

std::string_view optionName(std::string_view arg) {
    arg.remove_prefix(arg.starts_with("--") ? 2 : 1);
    return arg.substr(0, arg.find('='));
}

bool contains(const auto& list, std::string_view name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

}  // namespace

bool namesFile(const QString& argument) {
    return argument.contains(QLatin1Char('/')) || argument.endsWith(QLatin1String(text::kJsonSuffix), Qt::CaseInsensitive) ||
           argument.endsWith(QLatin1String(text::kRecordSuffix), Qt::CaseInsensitive) || QFileInfo::exists(argument);
}

StartArgs readStartArgs(const std::vector<std::string>& args) {
    StartArgs result;
    auto refuse = [&](std::string error) {
        result.action = StartArgs::Action::Refuse;
        result.error = std::move(error);
        return result;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h")
            return {StartArgs::Action::Help, {}, 0, {}, {}};
        if (arg == "--version" || arg == "-v")
            return {StartArgs::Action::Version, {}, 0, {}, {}};
        if (arg.size() > 1 && arg.starts_with('-')) {
            const std::string_view name = optionName(arg);
            if (contains(kQtOptionsWithValue, name)) {
                if (arg.find('=') == std::string_view::npos && ++i == args.size())
                    return refuse(std::string(arg) + " needs a value");
            } else if (!contains(kQtFlags, name)) {
                return refuse("unknown option " + std::string(arg));
            }
            continue;
        }
        const QString argument = QString::fromLocal8Bit(arg.data(), static_cast<qsizetype>(arg.size()));
        if (namesFile(argument)) {
            if (result.file)
                return refuse("one file at most: '" + std::string(arg) + "' is a second");
            result.file = argument;
            continue;
        }
        if (result.host)
            return refuse("one box at most: '" + std::string(arg) + "' is a second");
        const cli::EndpointResult parsed = cli::parseEndpoint(argument);
        if (!parsed.error.isEmpty())
            return refuse(parsed.error.toStdString());
        result.host = parsed.endpoint.host;
        result.port = parsed.endpoint.port;
    }
    return result;
}

}  // namespace zeze
