// Programming files carried between the window and zeze: a file the window saved is sent by zeze to a
// box, and the file zeze read back from it opens in the window as the same programming.
#include <QTemporaryDir>

#include "cli/zeze_run.h"
#include "e2e_fixture.h"

namespace zeze::e2e {
namespace {

TEST_F(EndToEnd, AFileSavedByTheWindowIsSentByZezeAndWhatZezeReadsBackOpensInTheWindow) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    startSim({"--firmware", "2.10", "--stall", QString::number(cli::test::kSimStallMs)});
    const QString box = cli::test::host(sim.port());

    typeInto(control<QComboBox>("cbo_Command", 6), " 20  1 21");
    control<QCheckBox>("chk_Send_2_Port3", 6)->click();
    typeInto(control<QLineEdit>("txt_Dest_Port"), "9001");
    typeInto(control<QComboBox>("cbo_Port_Parity", 1), "Odd");
    ConfigValues planned = configValuesOf(window->sheet());
    planned.pins[6].command = "20 01 21";  // files hold commands in canonical form

    const QString saved = dir.filePath("site.json");
    drive::answerFileDialog(window.get(), saved);
    action("mnuSaveAs")->trigger();
    ASSERT_TRUE(QFile::exists(saved));

    const cli::test::ZezeRun send = cli::test::zeze({"send", box, saved});
    ASSERT_EQ(send.status, 0) << send.err;
    const QString readBack = dir.filePath("back.bin");
    const cli::test::ZezeRun get = cli::test::zeze({"get", box, "-o", readBack});
    ASSERT_EQ(get.status, 0) << get.err;

    action("mnuNew")->trigger();
    drive::answerFileDialog(window.get(), readBack);
    action("mnuOpen")->trigger();
    EXPECT_EQ(log(), QStringList());
    expectSameValues(configValuesOf(window->sheet()), planned, "the box's programming, opened");
    // The edits themselves, so a change lost on every side cannot pass.
    const ConfigValues opened = configValuesOf(window->sheet());
    EXPECT_EQ(opened.pins[6].command, "20 01 21");
    EXPECT_EQ(opened.pins[6].sendToPort, (std::array<bool, 4>{true, false, true, false}));
    EXPECT_EQ(opened.network.destPort, "9001");
    EXPECT_EQ(control<QComboBox>("cbo_Port_Parity", 1)->currentText(), "Odd");
}

}  // namespace
}  // namespace zeze::e2e
