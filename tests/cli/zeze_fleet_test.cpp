// zeze over fleets served by one simulator process: a dead and a silent box among healthy ones,
// JSON Lines for scripts, --dry-run and --if-changed, backups of many boxes into a directory, a
// fleet compared with its plan, and the open-file limit.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/zeze_run.h"

namespace zeze::cli::test {
namespace {

// A loopback port whose connects are never answered: its listen queue (of one) is kept full, so the
// kernel drops every further SYN, as a switched-off box's network would.
class UnansweredPort {
  public:
    UnansweredPort() {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        EXPECT_EQ(::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size), 0);
        EXPECT_EQ(::listen(m_listener, 0), 0);
        EXPECT_EQ(::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
        m_port = ntohs(address.sin_port);
        for (int i = 0; i < 3; ++i) {
            const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), size);  // in progress, or queued
            m_fillers.push_back(filler);
        }
    }
    ~UnansweredPort() {
        for (int fd : m_fillers)
            ::close(fd);
        ::close(m_listener);
    }
    quint16 port() const { return m_port; }

  private:
    int m_listener = -1;
    std::vector<int> m_fillers;
    quint16 m_port = 0;
};

QJsonObject objectOf(const QString& line) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    return document.object();
}

QStringList portsOf(const e2e::SimProcess* sim, int boxes) {
    QStringList hosts;
    for (int i = 0; i < boxes; ++i)
        hosts << host(static_cast<quint16>(sim->port() + i));
    return hosts;
}

using ZezeFleet = ZezeFixture;

TEST_F(ZezeFleet, ADeadAndASilentBoxCostOnlyThemselves) {
    e2e::SimProcess* sim = startSim("2.10", 3);
    const QStringList healthy = portsOf(sim, 3);
    UnansweredPort dead;
    QTcpServer silent;  // accepts and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    writeAll(path("plan.json"), editedDocument(sim->port()));
    writeAll(path("long.json"), replaced(readAll(path("plan.json")), R"("command": "20 01 22")",
                                         "\"command\": \"" + commandOfBytes(40) + "\""));

    // The dead and silent boxes are given first; the healthy ones are programmed meanwhile and their
    // lines come first. A file of long commands waits for every box's firmware, no longer than the
    // time-out, and then programs the boxes that answered.
    for (const char* file : {"plan.json", "long.json"}) {
        const ZezeRun run = zeze(
            QStringList{"send", "--json", "--timeout", "3", host(dead.port()), host(silent.serverPort())} +
            healthy + QStringList{path(file)});
        EXPECT_EQ(run.status, kExitFailed) << file;
        EXPECT_EQ(run.err, "zeze: send: 2 of 5 boxes failed\n");
        const QStringList lines = linesOf(run.out);
        ASSERT_EQ(lines.size(), 6) << run.out;
        QStringList order;
        for (const QString& line : lines.mid(0, 5)) {
            const QJsonObject box = objectOf(line);
            const QString name = host(static_cast<quint16>(box["port"].toInt()));
            EXPECT_EQ(box["host"].toString(), "127.0.0.1");
            if (healthy.contains(name)) {
                EXPECT_EQ(box["result"].toString(), "verified") << line.toStdString();
                EXPECT_EQ(box["firmware"].toString(), "2.10");
                EXPECT_EQ(box["pinSize"].toInt(), 55);
                order << "healthy";
            } else if (name == host(dead.port())) {
                EXPECT_EQ(box["error"].toString(), "no answer to the connect within 3 s");
                order << "dead";
            } else {
                EXPECT_EQ(name, host(silent.serverPort()));
                EXPECT_EQ(box["error"].toString(), "no reply within 3 s");
                order << "silent";
            }
        }
        if (QLatin1String(file) == QLatin1String("plan.json")) {
            EXPECT_EQ(order.mid(0, 3), QStringList({"healthy", "healthy", "healthy"})) << file;
        } else {
            EXPECT_EQ(order.mid(2), QStringList({"healthy", "healthy", "healthy"})) << file;
        }
        const QJsonObject summary = objectOf(lines.last());
        EXPECT_EQ(summary["summary"].toString(), "send");
        EXPECT_EQ(summary["boxes"].toInt(), 5);
        EXPECT_EQ(summary["failed"].toInt(), 2);
        EXPECT_EQ(summary["results"].toObject()["verified"].toInt(), 3);
    }
}

TEST_F(ZezeFleet, DryRunSendsNothingAndIfChangedSkipsBoxesHoldingTheFile) {
    e2e::SimProcess* sim = startSim("2.10", 2);
    const QStringList boxes = portsOf(sim, 2);
    writeAll(path("plan.json"), editedDocument(sim->port()));
    ASSERT_EQ(zeze({"send", boxes[0], path("plan.json")}).status, kExitOk);
    ASSERT_TRUE(sim->waitForLine(QRegularExpression("download 1448 bytes stored"), 5000));
    const auto downloads = [sim] { return sim->lines().filter("download").size(); };
    ASSERT_EQ(downloads(), 1);

    const ZezeRun dry = zeze(QStringList{"send", "--dry-run"} + boxes + QStringList{path("plan.json")});
    EXPECT_EQ(dry.status, kExitFailed) << dry.err;  // a box would change
    QStringList lines = linesOf(dry.out);
    ASSERT_EQ(lines.size(), 3) << dry.out;
    std::sort(lines.begin(), lines.end() - 1);  // the boxes in the order they finished; the summary last
    EXPECT_EQ(lines[0],
              boxes[0] + ": already holds " + path("plan.json") + " (firmware 2.10, 55 bytes per pin)");
    EXPECT_EQ(lines[1],
              boxes[1] +
                  ": would change 4 fields (firmware 2.10, 55 bytes per pin): dest port: 5000 -> 6001; "
                  "pin 7 command: (none) -> 20 01 22; pin 7 invert: no -> yes; and 1 more (-v lists "
                  "them)");
    EXPECT_EQ(lines[2], "1 of 2 boxes would change, 1 already held the file, 0 failed");
    EXPECT_EQ(downloads(), 1);

    const ZezeRun ifChanged =
        zeze(QStringList{"send", "--if-changed"} + boxes + QStringList{path("plan.json")});
    EXPECT_EQ(ifChanged.status, kExitOk) << ifChanged.err;
    lines = linesOf(ifChanged.out);
    ASSERT_EQ(lines.size(), 3) << ifChanged.out;
    std::sort(lines.begin(), lines.end() - 1);
    EXPECT_EQ(lines, QStringList({boxes[0] + ": already holds " + path("plan.json") +
                                      ", skipped (firmware 2.10, 55 bytes per pin)",
                                  boxes[1] + ": programmed and verified (firmware 2.10, 55 bytes per pin)",
                                  "1 of 2 boxes programmed, 1 already held the file, 0 failed"}));
    ASSERT_TRUE(sim->waitForLine(
        QRegularExpression(QStringLiteral("^%1: download 1448 bytes stored").arg(sim->port() + 1)), 5000));
    EXPECT_EQ(downloads(), 2);  // the second box's only
}

TEST_F(ZezeFleet, BacksUpEveryBoxAndComparesTheFleetWithItsPlan) {
    e2e::SimProcess* sim = startSim("2.10", 3);
    const QStringList boxes = portsOf(sim, 3);
    // Comments after a host, and a box given twice, which is read once.
    writeAll(path("hosts.txt"),
             ("# the bench\n" + boxes[0] + "  # rack 3\n" + boxes[1] + "\n" + boxes[0] + "\n").toUtf8());
    writeAll(path("plan.json"), editedDocument(sim->port()));
    ASSERT_EQ(zeze({"send", boxes[2], path("plan.json")}).status, kExitOk);

    const ZezeRun get = zeze({"get", "--hosts", path("hosts.txt"), boxes[2], "-o", path("backup") + "/"});
    EXPECT_EQ(get.status, kExitOk) << get.err;
    const QStringList files = QDir(path("backup")).entryList(QDir::Files, QDir::Name);
    QStringList expected;
    for (int i = 0; i < 3; ++i)
        expected << QStringLiteral("127.0.0.1_%1.json").arg(sim->port() + i);
    EXPECT_EQ(files, expected);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(readAll(path("backup") + "/" + expected[i]),
                  QByteArray::fromStdString(zeze({"get", boxes[i]}).out));
    }
    EXPECT_EQ(linesOf(get.out).size(), 4);
    EXPECT_EQ(linesOf(get.out).last(), "3 of 3 boxes saved, 0 failed");

    // Two boxes hold a fresh programming, the third the plan.
    const ZezeRun diff = zeze({"diff", "--hosts", path("hosts.txt"), boxes[2], path("plan.json")});
    EXPECT_EQ(diff.status, kExitFailed);
    QStringList lines = linesOf(diff.out);
    ASSERT_EQ(lines.size(), 4) << diff.out;
    EXPECT_EQ(lines.last(), path("plan.json") + ": 2 of 3 boxes differ, 0 failed");
    lines = lines.mid(0, 3);
    lines.sort();
    EXPECT_EQ(lines[0],
              boxes[0] + ": differs in 4 fields from " + path("plan.json") +
                  ": dest port: 6001 -> 5000; pin 7 command: 20 01 22 -> (none); pin 7 invert: yes -> "
                  "no; and 1 more (-v lists them)");
    EXPECT_EQ(lines[2], boxes[2] + ": same as " + path("plan.json"));
    EXPECT_EQ(zeze({"diff", "-q", boxes[2], boxes[2], path("plan.json")}).out, "");

    // A file that cannot be written is the machine's failure, not the box's: exit status 2. The
    // other boxes are backed up all the same.
    ASSERT_TRUE(QDir().mkpath(path("partial") + "/" + expected[1]));
    const ZezeRun partial = zeze(QStringList{"get", "-o", path("partial")} + boxes);
    EXPECT_EQ(partial.status, kExitRefused);
    EXPECT_EQ(partial.err, "zeze: get: 1 of 3 boxes failed; not every file was written\n");
    EXPECT_TRUE(QFile::exists(path("partial") + "/" + expected[0]));
    EXPECT_TRUE(QFile::exists(path("partial") + "/" + expected[2]));
    EXPECT_TRUE(QString::fromStdString(partial.out)
                    .contains(boxes[1] + ": failed: " + path("partial") + "/" + expected[1] + ": "));
    writeAll(path("blocker"), "a file where a directory should be");
    const ZezeRun blocked = zeze({"get", boxes[0], "-o", path("blocker") + "/x.json"});
    EXPECT_EQ(blocked.status, kExitRefused);
    EXPECT_NE(blocked.err.find("zeze: get: " + path("blocker").toStdString() + "/x.json: "),
              std::string::npos);
}

TEST_F(ZezeFleet, TheOpenFileLimitCapsTheBoxesAtATime) {
    e2e::SimProcess* sim = startSim("2.09", 4);
    ZezeInput input;
    input.openFileLimit = kReservedDescriptors + 2;
    const ZezeRun run = zeze(QStringList{"info"} + portsOf(sim, 4), input);
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_EQ(run.err,
              "zeze: info: the open-file limit (34) allows 2 boxes at a time, not 4; the others wait "
              "their turn (--jobs N sets how many)\n");
    EXPECT_EQ(linesOf(run.out).last(), "4 of 4 boxes answered, 0 failed");
    EXPECT_EQ(zeze(QStringList{"info", "--jobs", "2"} + portsOf(sim, 4), input).err, "");
}

}  // namespace
}  // namespace zeze::cli::test
