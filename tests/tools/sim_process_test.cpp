// The zeze-sim executable: started on a free port, it names the port in its first line and answers.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>

#include "loopback_client.h"

namespace zeze::sim {
namespace {

TEST(SimProcess, ReportsItsPortAndAnswersTheIdRequest) {
    // The build also records the path, for runs outside CTest.
    const QString program = qEnvironmentVariable("ZEZE_SIM_PATH", QStringLiteral(ZEZE_SIM_BUILT_PATH));
    QProcess process;
    process.start(program, {"--port", "0", "--firmware", "2.09"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return process.canReadLine(); }, test::kDeadlineMs));
    const QString line = QString::fromUtf8(process.readLine()).trimmed();
    const auto match =
        QRegularExpression(
            R"(^zeze-sim listening on 127\.0\.0\.1:(\d+) \(firmware 2\.09, 30 bytes per pin\)$)")
            .match(line);
    ASSERT_TRUE(match.hasMatch()) << line.toStdString();

    test::LoopbackClient client;
    ASSERT_TRUE(client.connectTo(match.captured(1).toUShort()));
    client.send(QByteArray("\xFF\x00\x02", 3));
    EXPECT_EQ(client.read(6), QByteArray("\xFF\x00\x00\x05\x09\x02", 6));

    process.kill();
    EXPECT_TRUE(process.waitForFinished(test::kDeadlineMs));
}

}  // namespace
}  // namespace zeze::sim
