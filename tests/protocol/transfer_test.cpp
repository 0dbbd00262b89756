// The transfer state machine: a dump request empties the commands, and every way it can fail puts
// back what it emptied; the download pause in between.
#include <gtest/gtest.h>

#include "protocol/transfer.h"

namespace zeze {
namespace {

using namespace std::chrono_literals;

TEST(Transfers, AFailedDumpPutsBackWhatTheRequestEmptied) {
    const Transfers::Clock::time_point t0{50s};
    Sheet sheet;
    sheet.pins[0].command = "20 01 21";
    sheet.pins[5].command = "42 30";
    sheet.pins[9].command = "FF";
    Transfers transfers;
    EXPECT_FALSE(transfers.dumpFailed(sheet));  // nothing awaited: nothing changes
    EXPECT_FALSE(transfers.dumpDeadline().has_value());

    transfers.requestDump(sheet, t0);
    EXPECT_TRUE(transfers.awaitingDump());
    for (const PinRow& pin : sheet.pins)
        EXPECT_EQ(pin.command, "");
    EXPECT_EQ(transfers.dumpDeadline(), t0 + 10s);

    // A second request while waiting keeps the first copy (not the blanks) and restarts the limit.
    transfers.requestDump(sheet, t0 + 4s);
    EXPECT_EQ(transfers.dumpDeadline(), t0 + 14s);

    sheet.pins[5].command = "typed";  // the operator typed into row 5 meanwhile
    EXPECT_TRUE(transfers.dumpFailed(sheet));
    EXPECT_TRUE(transfers.idle());
    EXPECT_EQ(sheet.pins[0].command, "20 01 21");
    EXPECT_EQ(sheet.pins[5].command, "typed");
    EXPECT_EQ(sheet.pins[9].command, "FF");
    EXPECT_EQ(sheet.pins[1].command, "");
    EXPECT_FALSE(transfers.dumpFailed(sheet));
}

TEST(Transfers, ADumpReadEndsTheWaitAndThePauseRunsBesideIt) {
    Sheet sheet;
    sheet.pins[3].command = "01";
    Transfers transfers;
    transfers.requestDump(sheet, {});
    sheet.pins[3].command = "";  // the box's own programming has an empty command there
    transfers.dumpRead();
    EXPECT_TRUE(transfers.idle());
    EXPECT_FALSE(transfers.dumpFailed(sheet));
    EXPECT_EQ(sheet.pins[3].command, "");  // a read dump is never undone

    // A dump requested during a download's pause (a reply released the buttons) leaves the pause on.
    transfers.beginPause();
    transfers.requestDump(sheet, {});
    EXPECT_TRUE(transfers.pausing());
    EXPECT_TRUE(transfers.awaitingDump());
    transfers.dumpRead();
    EXPECT_TRUE(transfers.pausing());
    transfers.endPause();
    EXPECT_TRUE(transfers.idle());

    EXPECT_EQ(transferPause(30), 3188ms);
    EXPECT_EQ(transferPause(55), 5588ms);
}

}  // namespace
}  // namespace zeze
