// Compare with Zeze and Verify after Send against the simulator: the box is read without touching the
// sheet, and the fields that differ are named as zeze names them.
#include "e2e_fixture.h"

namespace zeze::e2e {
namespace {

class CompareAndVerify : public EndToEnd {
  protected:
    // Sends the sheet with Verify after Send chosen; the verify's lines.
    QStringList sendAndVerify() {
        if (!action("mnuVerifyAfterSend")->isChecked())
            action("mnuVerifyAfterSend")->trigger();
        button("cmd_Download")->click();
        auto verifyLine = [&] {
            const QStringList lines = log();
            for (qsizetype i = 0; i < lines.size(); ++i) {
                if (lines[i].startsWith("Verified:") || lines[i].startsWith("Verify failed:"))
                    return i;
            }
            return qsizetype{-1};
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return verifyLine() >= 0; }, kDeadlineMs))
            << ::testing::PrintToString(log());
        return log().mid(verifyLine());
    }
};

TEST_F(CompareAndVerify, ABoxThatStoredTheSheetHoldsItAndCompareNamesTheOneFieldEditedSince) {
    startSim({"--firmware", "2.09", "--stall", "100"});
    connectToSim("2.09");
    typeInto(control<QComboBox>("cbo_Command", 5), "20 1 21");
    EXPECT_EQ(sendAndVerify(), QStringList{"Verified: the box holds what was sent."});

    typeInto(control<QComboBox>("cbo_Command", 5), "20 01 22");
    const Sheet sheet = window->sheet();
    action("mnuCompare")->trigger();
    ASSERT_TRUE(logHolds("pin 7 command: 20 01 22 -> 20 01 21"));
    EXPECT_EQ(log().mid(log().size() - 2), (QStringList{"Compare: the box differs in 1 field (sheet -> box):",
                                                        "pin 7 command: 20 01 22 -> 20 01 21"}));
    EXPECT_EQ(window->sheet(), sheet);
}

TEST_F(CompareAndVerify, ABoxThatStoresNothingFailsTheVerifyNamingWhatItKept) {
    startSim({"--firmware", "2.09", "--stall", "100", "--keep"});
    connectToSim("2.09");
    control<QCheckBox>("chk_Invert_Trigger", 0)->click();
    EXPECT_EQ(sendAndVerify(), (QStringList{"Verify failed: the box differs in 1 field (sent -> box):",
                                            "pin 2 invert: yes -> no"}));
    EXPECT_TRUE(window->sheet().pins[0].invert);
}

}  // namespace
}  // namespace zeze::e2e
