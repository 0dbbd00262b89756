// Running zeze in the test process against simulators and small loopback servers on 127.0.0.1:
// its standard output and error captured, standard input given, files written and read back.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "cli/zeze_cli.h"
#include "e2e/sim_process.h"
#include "support/qt_print.h"

namespace zeze::cli::test {

using namespace std::chrono_literals;

// The box's real pause is seconds long. The simulator ends a download after its quiet gap (--stall),
// so the pause must outlast that, or the read-back request would count as part of the download.
inline constexpr int kSimStallMs = 100;
inline std::chrono::milliseconds shortPause(std::uint8_t) {
    return 3 * std::chrono::milliseconds(kSimStallMs);
}

struct ZezeRun {
    int status = -1;
    std::string out;
    std::string err;
    std::vector<std::string> outWrites;  // each call of io.out: a line is passed on whole
};

struct ZezeInput {
    bool progress = false;
    QByteArray stdinBytes;
    long openFileLimit = 0;
};

inline ZezeInput onTerminal() {
    ZezeInput input;
    input.progress = true;
    return input;
}

inline ZezeInput withStdin(const QByteArray& bytes) {
    ZezeInput input;
    input.stdinBytes = bytes;
    return input;
}

inline ZezeRun zeze(const QStringList& arguments, const ZezeInput& input = {}) {
    ZezeRun run;
    CliIo io;
    io.out = [&](std::string_view text) {
        run.out += text;
        run.outWrites.emplace_back(text);
    };
    io.err = [&](std::string_view text) { run.err += text; };
    io.progress = input.progress;
    io.in = [&](qint64 limit) { return std::optional<QByteArray>(input.stdinBytes.left(limit)); };
    io.openFileLimit = input.openFileLimit;
    run.status = runZeze(arguments, io, BoxTiming{1000ms, &shortPause});
    return run;
}

inline QString host(quint16 port) {
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

// A loopback port with nothing listening: the connect is refused.
inline quint16 refusedPort() {
    QTcpServer server;
    EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    return server.serverPort();
}

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

inline void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

inline QByteArray replaced(QByteArray text, const QByteArray& from, const QByteArray& to) {
    EXPECT_TRUE(text.contains(from)) << from.toStdString();
    return text.replace(from, to);
}

inline QStringList linesOf(const std::string& text) {
    return QString::fromStdString(text).split('\n', Qt::SkipEmptyParts);
}

// A command of `count` bytes, "11 11 ...".
inline QByteArray commandOfBytes(int count) {
    QByteArray command = "11";
    for (int i = 1; i < count; ++i)
        command += " 11";
    return command;
}

inline constexpr char kFreshPin7[] = R"({"pin": 7, "command": "", "invert": false, "ports": [1]})";
inline constexpr char kEditedPin7[] = R"({"pin": 7, "command": "20 01 22", "invert": true, "ports": [2, 4]})";

class ZezeFixture : public ::testing::Test {
  protected:
    // A simulator process serving `boxes` boxes on consecutive ports from its port().
    e2e::SimProcess* startSim(const QString& firmware, int boxes = 1) {
        m_sims.push_back(std::make_unique<e2e::SimProcess>());
        e2e::SimProcess* sim = m_sims.back().get();
        EXPECT_TRUE(sim->start({"--firmware", firmware, "--stall", QString::number(kSimStallMs), "--boxes",
                                QString::number(boxes)}))
            << sim->failure().toStdString();
        return sim;
    }
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    // A fresh box's document with pin 7 and the destination port edited by hand.
    QByteArray editedDocument(quint16 fromPort) {
        const ZezeRun get = zeze({"get", host(fromPort)});
        EXPECT_EQ(get.status, kExitOk) << get.err;
        return replaced(replaced(QByteArray::fromStdString(get.out), kFreshPin7, kEditedPin7),
                        "\"destPort\": 5000", "\"destPort\": 6001");
    }

    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<e2e::SimProcess>> m_sims;
};

}  // namespace zeze::cli::test
