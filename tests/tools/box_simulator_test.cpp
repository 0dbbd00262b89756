// The simulator in-process on a free loopback port, driven by real TCP clients.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStringList>
#include <memory>

#include "loopback_client.h"
#include "protocol/config_record.h"
#include "tools/sim/box_simulator.h"

namespace zeze::sim {
namespace {

using test::LoopbackClient;
using test::toBytes;

class RunningSimulator {
  public:
    explicit RunningSimulator(SimOptions options = {}) {
        options.port = 0;
        m_simulator = std::make_unique<BoxSimulator>(options);
        QObject::connect(m_simulator.get(), &BoxSimulator::logLine,
                         [this](const QString& line) { m_log << line; });
        m_listening = m_simulator->listen();
    }
    bool listening() const { return m_listening; }
    quint16 port() const { return m_simulator->port(); }
    BoxSimulator& simulator() { return *m_simulator; }
    bool waitForLog(const QString& line) {
        return QTest::qWaitFor([&] { return m_log.contains(line); }, test::kDeadlineMs);
    }
    const QStringList& log() const { return m_log; }

  private:
    std::unique_ptr<BoxSimulator> m_simulator;
    QStringList m_log;
    bool m_listening = false;
};

SimOptions firmware(std::uint16_t version) {
    SimOptions options;
    options.firmware = version;
    return options;
}

QByteArray defaultProgramming(std::uint8_t msgLength) {
    return toBytes(EncodeConfigMessage(configValuesOf(Sheet{}), msgLength).message);
}

const QByteArray kIdRequest = toBytes(zeze::kIdRequest);
const QByteArray kDumpRequest = toBytes(zeze::kDumpRequest);

TEST(BoxSimulator, AnswersIdAndDumpRequestsAtItsFirmwaresSize) {
    struct Case {
        std::uint16_t firmware;
        QByteArray reply;
        std::uint8_t msgLength;
    };
    for (const Case& c : {Case{0x020A, QByteArray("\xFF\x00\x00\x05\x0A\x02", 6), 55},
                          Case{0x0209, QByteArray("\xFF\x00\x00\x05\x09\x02", 6), 30}}) {
        RunningSimulator sim(firmware(c.firmware));
        ASSERT_TRUE(sim.listening());
        LoopbackClient client;
        ASSERT_TRUE(client.connectTo(sim.port()));
        client.send(kIdRequest);
        EXPECT_EQ(client.read(6), c.reply);
        client.send(kDumpRequest);
        const QByteArray dump = client.read(static_cast<qsizetype>(configMessageSize(c.msgLength)));
        EXPECT_EQ(dump.size(), c.msgLength == 55 ? 1448 : 848);
        EXPECT_EQ(dump, defaultProgramming(c.msgLength));
        client.send(toBytes(zeze::kGpiRequest));
        EXPECT_TRUE(client.read(5).startsWith(QByteArray("\xFF\x00\x00\x04", 4)));
    }
}

TEST(BoxSimulator, StoresADownloadAndDumpsItBack) {
    SimOptions options;
    options.stallMs = 50;
    RunningSimulator sim(options);
    LoopbackClient client;
    ASSERT_TRUE(client.connectTo(sim.port()));
    ConfigValues values = configValuesOf(Sheet{});
    values.network.gateway = {"254", "2", "1", "10"};
    values.pins[0].command = "20 01 21";
    const QByteArray record = toBytes(EncodeConfigMessage(values, kLongMsgLength).message);
    ASSERT_EQ(record.size(), 1448);

    // In two pieces; stored once the line is quiet, and only then asked for.
    client.send(record.left(600));
    client.socket().flush();
    client.send(record.mid(600));
    EXPECT_TRUE(
        sim.waitForLog("download 1448 bytes stored: gateway: 192.168.254.254 -> 10.1.2.254; pin 2 command: "
                       "(none) -> 20 01 21"));
    client.send(kDumpRequest);
    EXPECT_EQ(client.read(record.size()), record);
}

TEST(BoxSimulator, WrongSizeDownloadIsIgnoredWholeAndTheNextRequestAnswered) {
    // Pin 25's command (the record's last) carries a dump and an ID request, past the short size.
    ConfigValues values = configValuesOf(Sheet{});
    values.pins[23].command = "FF 01 01 FF 00 02";
    const QByteArray longRecord = toBytes(EncodeConfigMessage(values, kLongMsgLength).message);
    ASSERT_GT(longRecord.indexOf(QByteArray("\xFF\x01\x01\xFF\x00\x02", 6)), 848);
    const QByteArray shortRecord = toBytes(EncodeConfigMessage(values, kShortMsgLength).message);
    struct Case {
        std::uint16_t firmware;
        QByteArray download;
        const char* ignoredLine;
        std::uint8_t msgLength;
    };
    for (const Case& c : {Case{0x0209, longRecord, "ignored: download of 1448 bytes, expected 848", 30},
                          Case{0x020A, shortRecord, "ignored: download of 848 bytes, expected 1448", 55}}) {
        SimOptions options = firmware(c.firmware);
        options.stallMs = 50;
        RunningSimulator sim(options);
        LoopbackClient client;
        ASSERT_TRUE(client.connectTo(sim.port()));
        client.send(c.download);
        EXPECT_TRUE(sim.waitForLog(c.ignoredLine)) << c.ignoredLine;
        client.send(kDumpRequest);
        const QByteArray unchanged = defaultProgramming(c.msgLength);
        EXPECT_EQ(client.read(unchanged.size()), unchanged) << c.ignoredLine;
        // Nothing was answered from inside the download.
        EXPECT_EQ(sim.log().filter("received"), QStringList{"received dump request, 3 bytes"})
            << sim.log().join('\n').toStdString();
    }

    // A download ended by the client leaving.
    SimOptions options;
    options.stallMs = 50;
    RunningSimulator sim(options);
    LoopbackClient client;
    ASSERT_TRUE(client.connectTo(sim.port()));
    client.send(shortRecord.left(103));
    client.close();
    EXPECT_TRUE(sim.waitForLog("ignored: download of 103 bytes, expected 1448"));
}

TEST(BoxSimulator, EndlessDownloadIsCountedNotStoredAndTheNextRequestAnswered) {
    // The default quiet gap: a busy machine must not split the 4 MB into two messages.
    RunningSimulator sim;
    LoopbackClient client;
    ASSERT_TRUE(client.connectTo(sim.port()));
    // A download header, then 4 MB of ID requests: none answered, nothing stored, the count exact.
    client.send(toBytes(kConfigHeader) + kIdRequest.repeated(4'000'000 / kIdRequest.size()));
    EXPECT_TRUE(sim.waitForLog("ignored: download of 4000002 bytes, expected 1448"))
        << sim.log().join('\n').toStdString();
    client.send(kIdRequest);
    EXPECT_EQ(client.read(6), QByteArray("\xFF\x00\x00\x05\x0A\x02", 6));
    client.send(kDumpRequest);
    const QByteArray unchanged = defaultProgramming(kLongMsgLength);
    EXPECT_EQ(client.read(unchanged.size()), unchanged);
    EXPECT_EQ(sim.log().filter("received"),
              (QStringList{"received ID request, 3 bytes", "received dump request, 3 bytes"}));
}

TEST(BoxSimulator, SkipsGarbageAndServesTheNextClientAfterOneLeavesMidMessage) {
    RunningSimulator sim;
    auto first = std::make_unique<LoopbackClient>();
    ASSERT_TRUE(first->connectTo(sim.port()));
    first->send(QByteArray("\x01\x02\xFF\x05", 4) + kIdRequest);
    EXPECT_EQ(first->read(6), QByteArray("\xFF\x00\x00\x05\x0A\x02", 6));
    EXPECT_TRUE(sim.waitForLog("ignored: 4 unknown bytes"));

    // A second client waits while the first is served; the first leaves halfway through a request.
    LoopbackClient second;
    ASSERT_TRUE(second.connectTo(sim.port()));
    second.send(kIdRequest);
    first->send(QByteArray("\xFF\x00", 2));
    first->socket().flush();
    first.reset();
    EXPECT_EQ(second.read(6), QByteArray("\xFF\x00\x00\x05\x0A\x02", 6));
    EXPECT_EQ(sim.log().filter("client connected").size(), 2);
}

TEST(BoxSimulator, ChunkedRepliesArriveInSeveralPieces) {
    SimOptions options;
    options.chunkSize = 500;
    options.chunkDelayMs = 20;
    RunningSimulator sim(options);
    LoopbackClient client;
    ASSERT_TRUE(client.connectTo(sim.port()));
    QSignalSpy arrivals(&client.socket(), &QTcpSocket::readyRead);
    client.send(kDumpRequest);
    EXPECT_EQ(client.read(1448), defaultProgramming(kLongMsgLength));
    EXPECT_GE(arrivals.count(), 2);
}

}  // namespace
}  // namespace zeze::sim
