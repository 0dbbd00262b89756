// zeze against simulator processes and small loopback servers on 127.0.0.1: backup and restore
// through files, hand-edited files, refused files that send nothing, boxes that fail beside others,
// and the .bin record byte for byte.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

#include "cli/zeze_run.h"
#include "version.h"

namespace zeze::cli::test {
namespace {

using ZezeCli = ZezeFixture;

TEST_F(ZezeCli, BackupEditRestoreAndCompare) {
    e2e::SimProcess* a = startSim("2.10");
    e2e::SimProcess* b = startSim("2.10");

    const ZezeRun get = zeze({"get", host(a->port()), "-o", path("fresh.json")});
    ASSERT_EQ(get.status, kExitOk) << get.err;
    EXPECT_EQ(get.out, "");
    const QByteArray fresh = readAll(path("fresh.json"));
    EXPECT_TRUE(
        fresh.startsWith("{\n  \"format\": \"zeze-programming\",\n  \"version\": 1,\n  \"firmware\": "
                         "\"2.10\",\n  \"pinSize\": 55,\n"));
    EXPECT_TRUE(fresh.contains("\"gateway\": \"192.168.254.254\""));

    // Edited by hand, sent, read back by the send itself and again by get.
    const QByteArray edited =
        replaced(replaced(fresh, kFreshPin7, kEditedPin7), "\"destPort\": 5000", "\"destPort\": 6001");
    writeAll(path("edited.json"), edited);
    const ZezeRun send = zeze({"send", host(a->port()), path("edited.json")});
    EXPECT_EQ(send.status, kExitOk) << send.err;
    EXPECT_EQ(send.out, host(a->port()).toStdString() +
                            ": programmed and verified (firmware 2.10, 55 bytes per pin)\n"
                            "1 of 1 boxes programmed, 0 failed\n");
    ASSERT_EQ(zeze({"get", host(a->port()), "-o", path("backup.json")}).status, kExitOk);
    EXPECT_EQ(readAll(path("backup.json")), edited);

    // The backup restored onto a second box: nothing differs.
    ASSERT_EQ(zeze({"send", host(b->port()), path("backup.json")}).status, kExitOk);
    const ZezeRun same = zeze({"diff", host(b->port()), path("backup.json")});
    EXPECT_EQ(same.status, kExitOk) << same.err;
    EXPECT_EQ(same.out, "");

    const ZezeRun differ = zeze({"diff", path("fresh.json"), host(b->port())});
    EXPECT_EQ(differ.status, kExitFailed) << differ.err;
    EXPECT_EQ(differ.out,
              "dest port: 5000 -> 6001\n"
              "pin 7 command: (none) -> 20 01 22\n"
              "pin 7 invert: no -> yes\n"
              "pin 7 ports: 1 -> 2,4\n");
    EXPECT_EQ(zeze({"diff", path("edited.json"), path("backup.json")}).status, kExitOk);
    const ZezeRun json = zeze({"diff", "--json", path("fresh.json"), path("edited.json")});
    EXPECT_EQ(json.status, kExitFailed);
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    EXPECT_EQ(object["result"].toString(), "differs");
    EXPECT_EQ(object["a"].toString(), path("fresh.json"));
    EXPECT_EQ(object["differences"].toArray().size(), 4);
}

TEST_F(ZezeCli, BadFilesAreRefusedWithPathAndNothingIsSent) {
    e2e::SimProcess* longBox = startSim("2.10");
    e2e::SimProcess* shortBox = startSim("2.09");
    const QByteArray good = editedDocument(longBox->port());
    const QStringList boxes{host(longBox->port()), host(shortBox->port())};

    struct Case {
        const char* name;
        QByteArray from, to;
        std::string error;
    };
    const Case cases[] = {
        {"type.json", R"("invert": true)", R"("invert": "yes")",
         ": pin 7 invert: expected true or false, found \"yes\"; nothing was sent\n"},
        {"pin.json",
         R"({"pin": 9, "command": "", "invert": false, "ports": [1]},)"
         "\n    ",
         "", ": pin 9: expected \"pin\": 9, found 10; pin 9 is missing or out of order; nothing was sent\n"},
        {"octet.json", R"("subnetMask": "255.255.255.0")", R"("subnetMask": "255.256.255.0")",
         ": network.subnetMask: octet 2 \"256\" is not a whole number from 0 to 255; nothing was sent\n"},
        {"twice.json", R"("command": "20 01 22",)", R"("command": "20 01 22", "command": "00",)",
         ": pin 7 command: given twice; each field appears once; nothing was sent\n"},
        {"too-long.json", R"("command": "20 01 22")", "\"command\": \"" + commandOfBytes(56) + "\"",
         ": pin 7 command: more than 55 bytes; no box holds that many per pin; nothing was sent\n"},
    };
    for (const Case& c : cases) {
        writeAll(path(c.name), replaced(good, c.from, c.to));
        const ZezeRun run = zeze(QStringList{"send"} + boxes + QStringList{path(c.name)});
        EXPECT_EQ(run.status, kExitRefused) << c.name;
        EXPECT_EQ(run.err, "zeze: send: " + path(c.name).toStdString() + c.error);
        EXPECT_EQ(run.out, "");
    }

    // Not a regular file, too big, or not UTF-8: refused before anything is read from the boxes.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.json"));
    ASSERT_EQ(::mkfifo(path("fifo.json").toLocal8Bit().constData(), 0600), 0);
    writeAll(path("big.json"), good + QByteArray(1 << 20, ' '));
    QByteArray utf16("\xFF\xFE", 2);
    for (char c : good)
        utf16 += QByteArray(1, c) + QByteArray(1, '\0');
    writeAll(path("utf16.json"), utf16);
    const std::pair<const char*, std::string> refusedFiles[] = {
        {"folder.json", "a directory, not a file"},
        {"fifo.json", "a FIFO, not a regular file; use - to read standard input"},
        {"big.json", std::to_string(good.size() + (1 << 20)) +
                         " bytes, more than the 1 MB a file given to zeze may hold"},
        {"utf16.json", "UTF-16 text: save the file as UTF-8"},
        {"missing.json", "no such file"},
    };
    for (const auto& [name, reason] : refusedFiles) {
        const ZezeRun run = zeze(QStringList{"send"} + boxes + QStringList{path(name)});
        EXPECT_EQ(run.status, kExitRefused) << name;
        EXPECT_EQ(run.err,
                  "zeze: send: " + path(name).toStdString() + ": " + reason + "; nothing was sent\n");
    }
    // diff reads a path as a file, never as a box.
    EXPECT_EQ(zeze({"diff", path("missing.json"), host(longBox->port())}).err,
              "zeze: diff: " + path("missing.json").toStdString() + ": no such file\n");
    EXPECT_EQ(zeze({"diff", "plan.json", host(longBox->port())}).err,
              "zeze: diff: plan.json: no such file\n");
    EXPECT_EQ(zeze({"diff", path("folder.json"), host(longBox->port())}).err,
              "zeze: diff: " + path("folder.json").toStdString() + ": a directory, not a file\n");

    // 31 bytes fit the long box but not the short one: neither is programmed.
    writeAll(path("long.json"),
             replaced(good, R"("command": "20 01 22")", "\"command\": \"" + commandOfBytes(31) + "\""));
    const ZezeRun run = zeze(QStringList{"send"} + boxes + QStringList{path("long.json")});
    EXPECT_EQ(run.status, kExitRefused);
    EXPECT_EQ(run.err,
              "zeze: send: " + path("long.json").toStdString() + " does not fit " +
                  host(shortBox->port()).toStdString() +
                  " (firmware 2.09, 30 bytes per pin): pin 7 command: 31 bytes, more than the 30 a pin "
                  "of this box holds; nothing was sent\n");
    // No box logged a download; both still hold what they started with.
    for (e2e::SimProcess* sim : {longBox, shortBox}) {
        EXPECT_FALSE(sim->lines().join('\n').contains("download")) << sim->port();
        const ZezeRun get = zeze({"get", host(sim->port())});
        ASSERT_EQ(get.status, kExitOk);
        EXPECT_NE(get.out.find(kFreshPin7), std::string::npos) << sim->port();
    }
}

TEST_F(ZezeCli, EachBoxTakesTheLongestCommandItHolds) {
    e2e::SimProcess* longBox = startSim("2.10");
    e2e::SimProcess* shortBox = startSim("2.09");
    const QByteArray good = editedDocument(longBox->port());
    const std::pair<e2e::SimProcess*, int> fits[] = {{longBox, 55}, {shortBox, 30}};
    for (const auto& [sim, bytes] : fits) {
        writeAll(path("full.json"), replaced(good, R"("command": "20 01 22")",
                                             "\"command\": \"" + commandOfBytes(bytes) + "\""));
        const ZezeRun run = zeze({"send", host(sim->port()), path("full.json")});
        EXPECT_EQ(run.status, kExitOk) << bytes << run.out << run.err;
        EXPECT_NE(run.out.find(": programmed and verified"), std::string::npos) << run.out;
        const ZezeRun back = zeze({"diff", host(sim->port()), path("full.json")});
        EXPECT_EQ(back.status, kExitOk) << back.out;
    }
    // The file read from standard input, '-'.
    const ZezeRun fromStdin = zeze({"send", host(longBox->port()), "-"}, withStdin(good));
    EXPECT_EQ(fromStdin.status, kExitOk) << fromStdin.err;
    EXPECT_EQ(zeze({"diff", "-", host(longBox->port())}, withStdin(good)).status, kExitOk);
    EXPECT_EQ(zeze({"diff", "-", "-"}, withStdin(good)).err,
              "zeze: diff: standard input (-) is given twice; it can be read once\n");
}

TEST_F(ZezeCli, OneBoxFailingNeverStopsTheOthers) {
    e2e::SimProcess* a = startSim("2.10");
    e2e::SimProcess* b = startSim("2.09");
    QTcpServer silent;  // accepts and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    const quint16 refused = refusedPort();
    writeAll(path("plan.json"), editedDocument(a->port()));
    writeAll(path("hosts.txt"), ("# rack 1\n" + host(a->port()) + "\n" + host(refused) + "\n").toUtf8());

    const ZezeRun run = zeze({"send", "--jobs", "2", "--hosts", path("hosts.txt"), host(silent.serverPort()),
                              host(b->port()), path("plan.json")});
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_EQ(run.err, "zeze: send: 2 of 4 boxes failed\n");
    const QStringList lines = QString::fromStdString(run.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << run.out;
    EXPECT_EQ(lines.last(), "2 of 4 boxes programmed, 2 failed");
    QStringList results = lines.mid(0, 4);
    results.sort();
    QStringList expected{
        host(a->port()) + ": programmed and verified (firmware 2.10, 55 bytes per pin)",
        host(b->port()) + ": programmed and verified (firmware 2.09, 30 bytes per pin)",
        host(refused) + ": failed: connection refused",
        host(silent.serverPort()) + ": failed: no reply within 1 s",
    };
    expected.sort();
    EXPECT_EQ(results, expected);
    EXPECT_TRUE(b->waitForLine(QRegularExpression("^download 848 bytes stored: .*pin 7 command"), 5000));

    // On a terminal a progress line is kept on standard error, cleared before each result line;
    // standard output holds the results alone, each passed on as one whole line.
    const ZezeRun info = zeze({"info", host(refused), host(a->port()), "--jobs", "1"}, onTerminal());
    EXPECT_EQ(info.status, kExitFailed);
    EXPECT_EQ(info.err.rfind("\r\x1b[Kzeze info: 0 of 2 boxes done, 0 failed", 0), 0u) << info.err;
    EXPECT_NE(info.err.find("\r\x1b[K\r\x1b[Kzeze info: 1 of 2 boxes done, 1 failed"), std::string::npos);
    EXPECT_TRUE(QString::fromStdString(info.err).endsWith("\r\x1b[Kzeze: info: 1 of 2 boxes failed\n"));
    EXPECT_EQ(info.outWrites,
              (std::vector<std::string>{host(refused).toStdString() + ": failed: connection refused\n",
                                        host(a->port()).toStdString() + ": firmware 2.10, 55 bytes per pin\n",
                                        "1 of 2 boxes answered, 1 failed\n"}));
}

// A box on a local server that reports firmware 2.10, answers every dump request with `dump`, and
// stores nothing. A chatty one also sends a status message every 200 ms; a resetting one drops the
// connection when a download comes.
class ScriptedBox {
  public:
    enum Manner { Plain, Chatty, ResetsOnDownload };
    explicit ScriptedBox(QByteArray dump, Manner manner = Plain) : m_dump(std::move(dump)) {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&m_server, &QTcpServer::newConnection, [this, manner] {
            QTcpSocket* client = m_server.nextPendingConnection();
            if (manner == Chatty) {
                auto* chatter = new QTimer(client);
                QObject::connect(chatter, &QTimer::timeout, client,
                                 [client] { client->write(QByteArray("\xFF\x00\x00\x04", 4)); });
                chatter->start(200);
            }
            QObject::connect(client, &QTcpSocket::readyRead, client, [this, client, manner] {
                const QByteArray request = client->readAll();
                if (request == QByteArray("\xFF\x00\x02", 3))
                    client->write(QByteArray("\xFF\x00\x00\x05\x0A\x02", 6));
                if (request == QByteArray("\xFF\x01\x01", 3))
                    client->write(m_dump);
                if (manner == ResetsOnDownload && request.startsWith(QByteArray("\xFF\x01\x00", 3)))
                    client->abort();
            });
        });
    }
    quint16 port() const { return m_server.serverPort(); }

  private:
    QByteArray m_dump;
    QTcpServer m_server;
};

TEST_F(ZezeCli, ADumpOfTheWrongSizeIsGivenUpAfterSilence) {
    ScriptedBox box(QByteArray("\xFF\x01\x00", 3) + QByteArray(845, '\0'));  // 848 bytes, 1448 expected
    const ZezeRun run = zeze({"get", host(box.port()), "-o", path("cut.json")});
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_EQ(run.err, "zeze: get: " + host(box.port()).toStdString() +
                           ": dump reply cut short: 848 of 1448 bytes, then 2 s of silence\n");
    EXPECT_FALSE(QFile::exists(path("cut.json")));
}

// Status messages do not extend the limit of an awaited reply, and a download the box dropped the
// connection on is no success, read back or not.
TEST_F(ZezeCli, AChattyBoxEndsWithinTheLimitAndAResetDownloadIsNoSuccess) {
    ScriptedBox chatty(QByteArray(), ScriptedBox::Chatty);  // never answers a dump request
    const ZezeRun get = zeze({"get", "--timeout", "1", host(chatty.port()), "-o", path("never.json")});
    EXPECT_EQ(get.status, kExitFailed);
    EXPECT_EQ(get.err, "zeze: get: " + host(chatty.port()).toStdString() + ": no dump reply within 1 s\n");

    e2e::SimProcess* sim = startSim("2.10");
    writeAll(path("plan.json"), editedDocument(sim->port()));
    ScriptedBox resetting(QByteArray(), ScriptedBox::ResetsOnDownload);
    const ZezeRun send = zeze({"send", "--no-verify", host(resetting.port()), path("plan.json")});
    EXPECT_EQ(send.status, kExitFailed);
    EXPECT_NE(send.out.find(host(resetting.port()).toStdString() +
                            ": failed: the connection ended during the transfer pause: the box may not have "
                            "stored the download"),
              std::string::npos)
        << send.out;
}

TEST_F(ZezeCli, ABoxThatKeptItsOldProgrammingFailsTheReadBack) {
    e2e::SimProcess* sim = startSim("2.10");
    writeAll(path("plan.json"), editedDocument(sim->port()));
    ScriptedBox box(QByteArray("\xFF\x01\x00", 3) + QByteArray(1445, '\0'));  // an all-zero programming
    const std::string name = host(box.port()).toStdString();

    // The count and the first fields on the box's line; -v lists them all, one per line.
    const ZezeRun run = zeze({"send", host(box.port()), path("plan.json")});
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_EQ(run.err, "zeze: send: 1 of 1 boxes failed\n");
    EXPECT_EQ(run.out, name +
                           ": failed: read back differs in 37 fields: gateway: 192.168.254.254 -> 0.0.0.0; "
                           "subnet mask: 255.255.255.0 -> 0.0.0.0; zeze address: 192.168.254.102 -> 0.0.0.0; "
                           "and 34 more (-v lists them)\n"
                           "0 of 1 boxes programmed, 1 failed\n");
    const ZezeRun verbose = zeze({"send", "-v", host(box.port()), path("plan.json")});
    const QStringList lines = linesOf(verbose.out);
    ASSERT_EQ(lines.size(), 39) << verbose.out;
    EXPECT_EQ(lines[0].toStdString(), name + ": failed: read back differs in 37 fields");
    EXPECT_TRUE(lines.contains("  pin 7 command: 20 01 22 -> (none)"));
    EXPECT_TRUE(lines.contains("  pin 7 ports: 2,4 -> (none)"));

    // Quiet: the failed box alone. JSON: every field in a list.
    EXPECT_EQ(zeze({"send", "-q", host(box.port()), path("plan.json")}).out,
              linesOf(run.out)[0].toStdString() + "\n");
    const ZezeRun json = zeze({"send", "--json", host(box.port()), path("plan.json")});
    const QStringList objects = linesOf(json.out);
    ASSERT_EQ(objects.size(), 2) << json.out;
    const QJsonObject result = QJsonDocument::fromJson(objects[0].toUtf8()).object();
    EXPECT_EQ(result["result"].toString(), "failed");
    EXPECT_EQ(result["error"].toString(), "read back differs in 37 fields");
    EXPECT_EQ(result["differences"].toArray().size(), 37);
    EXPECT_EQ(result["differences"].toArray()[0].toString(), "gateway: 192.168.254.254 -> 0.0.0.0");
}

struct RecordCase {
    const char* firmware;
    qsizetype size;
    qsizetype pin7;  // offset of pin 7's record: 80 + 5 * (pin size + 2)
};

// Names the discovered tests by record size rather than by the bytes of the struct.
void PrintTo(const RecordCase& param, std::ostream* out) {
    *out << param.size << "-byte record";
}

class ZezeRecord : public ZezeCli, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(ZezeRecord, BinRoundTripIsByteExact) {
    const RecordCase& param = GetParam();
    e2e::SimProcess* source = startSim(param.firmware);
    e2e::SimProcess* target = startSim(param.firmware);
    writeAll(path("plan.json"), editedDocument(source->port()));
    const ZezeRun send = zeze({"send", "--no-verify", host(source->port()), path("plan.json")});
    EXPECT_EQ(send.status, kExitOk) << send.err;
    EXPECT_NE(send.out.find(": programmed, not read back (firmware "), std::string::npos) << send.out;

    ASSERT_EQ(zeze({"get", host(source->port()), "-o", path("source.bin")}).status, kExitOk);
    const QByteArray record = readAll(path("source.bin"));
    ASSERT_EQ(record.size(), param.size);
    // Header, gateway 192.168.254.254, mask 255.255.255.0, address 192.168.254.102, port 23, dest
    // 192.168.254.103, dest port 6001 (17 71), speeds 5, parity flags, suppress.
    EXPECT_EQ(record.left(36).toHex(' '),
              "ff 01 00 c0 a8 fe fe ff ff ff 00 c0 a8 fe 66 00 17 c0 a8 fe 67 17 71 05 05 05 05 00 00 00 00 "
              "00 00 00 00 01");
    // Pin 7: three bytes, steering invert (80) + ports 2 (02) and 4 (08), then the bytes, zero-padded.
    EXPECT_EQ(record.mid(param.pin7, 6).toHex(' '), "03 8a 20 01 22 00");

    ASSERT_EQ(zeze({"send", host(target->port()), path("source.bin")}).status, kExitOk);
    ASSERT_EQ(zeze({"get", host(target->port()), "-o", path("target.bin")}).status, kExitOk);
    EXPECT_EQ(readAll(path("target.bin")), record);
}

INSTANTIATE_TEST_SUITE_P(PinSizes, ZezeRecord,
                         ::testing::Values(RecordCase{"2.09", 848, 80 + 5 * 32},
                                           RecordCase{"2.10", 1448, 80 + 5 * 57}),
                         [](const auto& info) { return std::to_string(info.param.size); });

TEST(ZezeCommandLine, HelpVersionAndUsageErrors) {
    const ZezeRun version = zeze({"--version"});
    EXPECT_EQ(version.status, kExitOk);
    EXPECT_EQ(version.out, "zeze " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
                               "." + std::to_string(kVersionRevision) + "\n");
    const ZezeRun help = zeze({"send", "--help"});
    EXPECT_EQ(help.status, kExitOk);
    EXPECT_EQ(help.out.rfind("Usage: zeze send [OPTIONS] HOST[:PORT]... FILE\n", 0), 0u);
    for (const char* option : {"--dry-run", "--if-changed", "--timeout S", "--json", "--hosts FILE"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    EXPECT_EQ(zeze({"help", "send"}).out, help.out);
    EXPECT_EQ(zeze({"help", "--help"}).out, zeze({"--help"}).out);
    EXPECT_EQ(zeze({"help", "frob"}).err, "zeze: 'frob' is not a zeze command; see zeze --help\n");

    const ZezeRun unknown = zeze({"program", "127.0.0.1"});
    EXPECT_EQ(unknown.status, kExitRefused);
    EXPECT_EQ(unknown.err, "zeze: 'program' is not a zeze command; see zeze --help\n");
    EXPECT_EQ(zeze({"info", "--jobs", "0", "127.0.0.1"}).err,
              "zeze: info: --jobs wants a whole number of at least 1, not '0'\n");
    EXPECT_EQ(zeze({"info", "--timeout", "0", "127.0.0.1"}).err,
              "zeze: info: --timeout wants seconds, more than 0 and at most 3600, not '0'\n");
    EXPECT_EQ(zeze({"info", "-q", "-v", "127.0.0.1"}).err, "zeze: info: -q and -v contradict each other\n");
    EXPECT_EQ(zeze({"get", "127.0.0.1", "127.0.0.2"}).err,
              "zeze: get: 2 boxes want -o DIR/, a file for each; see zeze get --help\n");
    EXPECT_EQ(zeze({"send", "127.0.0.1:1", "/nonexistent/plan.json"}).err,
              "zeze: send: /nonexistent/plan.json: no such file; nothing was sent\n");
    EXPECT_EQ(zeze({"get", "--frob", "127.0.0.1"}).err, "zeze: get: Unknown option 'frob'.\n");
    EXPECT_EQ(zeze({"info", "--dry-run", "127.0.0.1"}).err, "zeze: info: Unknown option 'dry-run'.\n");
    EXPECT_EQ(zeze({"send", "--hosts", "/nonexistent/hosts", "plan.json"}).err,
              "zeze: send: /nonexistent/hosts: no such file\n");
    EXPECT_EQ(zeze({"info", "--hosts", "/dev/zero"}).err,
              "zeze: info: /dev/zero: a device, not a regular file\n");
    EXPECT_EQ(zeze({"info", "--hosts", "-"}, withStdin("127.0.0.1:0\n")).err,
              "zeze: info: - line 1: '127.0.0.1:0': the port must be a whole number from 1 to 65535\n");
}

}  // namespace
}  // namespace zeze::cli::test
