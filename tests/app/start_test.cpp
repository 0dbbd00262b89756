// The program's command line: a box named as HOST[:PORT] is connected to at start, with Qt's own options
// handed to Qt; anything else is refused with the usage before Qt starts, so without any display.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "app/start_up.h"
#include "progfile/program_file.h"

#include "window_fixture.h"

namespace zeze::apptest {
namespace {

const QString kProgram = QStringLiteral(ZEZE_APP_BUILT_PATH);

TEST(CommandLine, AHostIsConnectedToAtStartAndAnythingElseRefusedWithoutADisplay) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    QProcess window;
    window.start(kProgram,
                 {"-platform", "offscreen", QStringLiteral("127.0.0.1:%1").arg(server.serverPort())});
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 15000))
        << window.readAllStandardError().toStdString();
    QTcpSocket* peer = server.nextPendingConnection();
    QByteArray request;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            request += peer->readAll();
            return request.size() >= 3;
        },
        kDeadlineMs));
    EXPECT_EQ(request, bytes({0xFF, 0x00, 0x02}));  // the ID request that follows a Connect
    window.kill();
    window.waitForFinished();

    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    noDisplay.remove(QStringLiteral("DISPLAY"));
    noDisplay.remove(QStringLiteral("WAYLAND_DISPLAY"));
    noDisplay.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    const QStringList refused[] = {
        {"127.0.0.1:70000"}, {"127.0.0.1", "127.0.0.1:8001"}, {"a.json", "b.bin"}, {"--frobnicate"}, {"127.0.0.1", "-platform"}};
    for (const QStringList& args : refused) {
        QProcess program;
        program.setProcessEnvironment(noDisplay);
        program.start(kProgram, args);
        ASSERT_TRUE(program.waitForFinished(10000)) << args.join(' ').toStdString();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << args.join(' ').toStdString();
        EXPECT_EQ(program.exitCode(), 2) << args.join(' ').toStdString();
        const QStringList lines = QString::fromLocal8Bit(program.readAllStandardError()).split('\n');
        ASSERT_GE(lines.size(), 2);
        EXPECT_EQ(lines[0], "Usage: zeze-gpi-programmer [OPTIONS] [FILE] [HOST[:PORT]]");
        EXPECT_TRUE(lines[1].startsWith("zeze-gpi-programmer: ")) << lines[1].toStdString();
        EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
    }
}

// A file on the command line is opened as the window opens; what names a file: a path, a .json or .bin
// name, or anything that exists.
TEST(CommandLine, AFileIsOpenedAtStart) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ConfigValues values = configValuesOf(Sheet{});
    values.pins[4].command = "20 01 21";
    const QString path = dir.filePath("plan");  // no extension: it exists
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(programToJson({0, kShortMsgLength, values})));
    file.close();
    for (const auto& [argument, isFile] : {std::pair{QString("rack.JSON"), true}, {QString("box.bin"), true},
                                           {QString("dir/plan"), true}, {QString("127.0.0.1:8000"), false},
                                           {QString("rack3"), false}})
        EXPECT_EQ(namesFile(argument), isFile) << argument.toStdString();

    const StartArgs args = readStartArgs({path.toStdString()});
    ASSERT_TRUE(args.file);
    EXPECT_FALSE(args.host);
    FrmMain window(std::make_unique<FakeSocket>());
    openWindow(window, args);
    EXPECT_TRUE(QTest::qWaitFor([&] { return configValuesOf(window.sheet()) == values; }, kDeadlineMs));
    EXPECT_TRUE(window.windowTitle().startsWith("plan[*] - "));
}

}  // namespace
}  // namespace zeze::apptest
