// zeze-sim: a simulated Zeze box on 127.0.0.1 for trying the programmer and for end-to-end tests.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "tools/sim/box_simulator.h"
#include "tools/sim/sim_options.h"

namespace {

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
    parser.setApplicationDescription(
        QStringLiteral("A simulated Zeze box on 127.0.0.1. It answers the ID, GPI and dump requests, stores "
                       "configuration downloads, and prints one line per message. One client is served at a "
                       "time; a client that connects meanwhile waits until the current one disconnects."));
    parser.addHelpOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("TCP port on 127.0.0.1, 0 for a free one (default 8000)."),
        QStringLiteral("N"), QStringLiteral("8000"));
    const QCommandLineOption firmwareOption(QStringLiteral("firmware"),
                                            QStringLiteral("Firmware version reported, major.minor with a "
                                                           "two-digit minor (default 2.10; 2.09 and older "
                                                           "hold 30 bytes per pin)."),
                                            QStringLiteral("M.mm"), QStringLiteral("2.10"));
    const QCommandLineOption chunkOption(QStringLiteral("chunk"),
                                         QStringLiteral("Cut every reply into pieces of N bytes (default 0: "
                                                        "whole)."),
                                         QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption delayOption(QStringLiteral("chunk-delay"),
                                         QStringLiteral("Pause between pieces of a reply (default 20)."),
                                         QStringLiteral("MS"), QString::number(kDefaultChunkDelayMs));
    const QCommandLineOption stallOption(QStringLiteral("stall"),
                                         QStringLiteral("Quiet gap: after MS without new bytes an unfinished "
                                                        "request is given up and a download is over, stored "
                                                        "if it has the right size (default 500)."),
                                         QStringLiteral("MS"), QString::number(kDefaultStallMs));
    parser.addOptions({portOption, firmwareOption, chunkOption, delayOption, stallOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        return refuse(QStringLiteral("unexpected argument: ") + parser.positionalArguments().first());
    }

    SimOptions options;
    const auto port = parseCount(parser.value(portOption).toStdString(), 65535);
    const auto firmware = parseFirmware(parser.value(firmwareOption).toStdString());
    const auto chunk = parseCount(parser.value(chunkOption).toStdString(), 1 << 20);
    const auto delay = parseCount(parser.value(delayOption).toStdString(), 60000);
    const auto stall = parseCount(parser.value(stallOption).toStdString(), 600000);
    if (!port) {
        return refuse(QStringLiteral("--port wants a number 0..65535"));
    }
    if (!firmware) {
        return refuse(QStringLiteral("--firmware wants M.mm, e.g. 2.10 or 2.09"));
    }
    if (!chunk || !delay || !stall) {
        return refuse(QStringLiteral("--chunk, --chunk-delay and --stall want whole numbers"));
    }
    options.port = static_cast<std::uint16_t>(*port);
    options.firmware = *firmware;
    options.chunkSize = *chunk;
    options.chunkDelayMs = *delay;
    options.stallMs = *stall;

    BoxSimulator simulator(options);
    QObject::connect(&simulator, &BoxSimulator::logLine, &printLine);
    if (!simulator.listen()) {
        return refuse(QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                          .arg(options.port)
                          .arg(simulator.errorString()));
    }
    printLine(simulator.listeningLine());
    return app.exec();
}
