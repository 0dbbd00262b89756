// A whole session against the simulated box: read its programming, edit the sheet through the controls,
// send it, and read back exactly what was sent; for a long-record and a short-record firmware, and with
// the box's replies arriving in pieces.
#include <QRegularExpression>

#include "e2e_fixture.h"

namespace zeze::e2e {
namespace {

struct Firmware {
    const char* version;  // as the simulator takes it and the title shows it
    int messageSize;      // dump reply and download, header included
};

void PrintTo(const Firmware& firmware, std::ostream* out) {
    *out << firmware.version;
}

class RoundTrip : public EndToEnd, public ::testing::WithParamInterface<Firmware> {};

TEST_P(RoundTrip, ReadsEditsSendsAndReadsBackTheProgramming) {
    const Firmware firmware = GetParam();
    const QString dumpLine = QStringLiteral("Dump data, %1 bytes").arg(firmware.messageSize);
    startSim({"--firmware", firmware.version});
    connectToSim(firmware.version);

    // The box starts with the programming of a fresh sheet; the read overwrites what the sheet held.
    typeInto(control<QLineEdit>("txt_Gateway", 3), "99");
    QTest::mouseClick(control<QCheckBox>("chk_Invert_Trigger", 0), Qt::LeftButton);
    ASSERT_TRUE(window->sheet().pins[0].invert);
    button("cmd_Dump_Request")->click();
    EXPECT_TRUE(transferWaiting());
    ASSERT_TRUE(logHolds(dumpLine));
    EXPECT_TRUE(transferIdle());
    const ConfigValues factory = configValuesOf(Sheet{});
    expectSameValues(configValuesOf(window->sheet()), factory, "first dump");

    // Edits through the controls, as the operator makes them.
    typeInto(control<QComboBox>("cbo_Command", 0), " 20  1 21");
    auto* port3OfRow5 = control<QCheckBox>("chk_Send_2_Port3", 5);
    ASSERT_FALSE(port3OfRow5->isChecked());
    QTest::mouseClick(port3OfRow5, Qt::LeftButton);
    EXPECT_TRUE(port3OfRow5->isChecked());
    typeInto(control<QLineEdit>("txt_Gateway", 3), "10");
    typeInto(control<QComboBox>("cbo_Port_Speed", 2), "9600");
    typeInto(control<QComboBox>("cbo_Port_Parity", 2), "Even");
    EXPECT_EQ(window->sheet().pins[0].command, " 20  1 21");

    ConfigValues edited = factory;
    edited.pins[0].command = "20 01 21";
    edited.pins[5].sendToPort[2] = true;
    edited.network.gateway[3] = "10";
    edited.ports[2] = SerialPortSetting{3, kParityEven};

    // The box stores the download while the buttons still hold their transfer pause.
    bool waitingWhenStored = false;
    sim.onLine([&](const QString& line) {
        if (line.startsWith("download "))
            waitingWhenStored = transferWaiting();
    });
    button("cmd_Download")->click();  // returns when the transfer pause is over
    ASSERT_TRUE(QTest::qWaitFor([&] { return transferIdle(); }, kDeadlineMs));
    const auto stored = sim.waitForLine(QRegularExpression("^download "), kDeadlineMs);
    ASSERT_TRUE(stored.has_value()) << ::testing::PrintToString(sim.lines());
    EXPECT_TRUE(waitingWhenStored);
    EXPECT_TRUE(stored->startsWith(QStringLiteral("download %1 bytes stored: ").arg(firmware.messageSize)))
        << stored->toStdString();
    for (const char* change : {"gateway: 192.168.254.254 -> 10.168.254.254",
                               "serial port 3 speed: 38400 -> 9600", "serial port 3 parity: odd -> even",
                               "pin 2 command: (none) -> 20 01 21", "pin 7 ports: 1 -> 1,3"}) {
        EXPECT_TRUE(stored->contains(QLatin1String(change))) << change << " not in " << stored->toStdString();
    }
    EXPECT_EQ(control<QComboBox>("cbo_Command", 0)->currentText(), "20 01 21");
    expectSameValues(configValuesOf(window->sheet()), edited, "sheet as sent");

    // Garble the edited controls; the next read must restore them from the box.
    typeInto(control<QComboBox>("cbo_Command", 0), "7F");
    QTest::mouseClick(port3OfRow5, Qt::LeftButton);
    typeInto(control<QLineEdit>("txt_Gateway", 3), "172");
    typeInto(control<QComboBox>("cbo_Port_Speed", 2), "1200");
    typeInto(control<QComboBox>("cbo_Port_Parity", 2), "None");
    ASSERT_NE(configValuesOf(window->sheet()), edited);

    button("cmd_Dump_Request")->click();
    ASSERT_TRUE(logHolds(dumpLine, 2)) << ::testing::PrintToString(log());
    expectSameValues(configValuesOf(window->sheet()), edited, "read back");
    EXPECT_EQ(control<QComboBox>("cbo_Command", 0)->currentText(), "20 01 21");
    EXPECT_TRUE(port3OfRow5->isChecked());
    EXPECT_EQ(control<QLineEdit>("txt_Gateway", 3)->text(), "10");
    EXPECT_EQ(control<QComboBox>("cbo_Port_Speed", 2)->currentText(), "9600");
    EXPECT_EQ(control<QComboBox>("cbo_Port_Parity", 2)->currentText(), "Even");
    EXPECT_EQ(log().filter("Unknown message.").size(), 0) << ::testing::PrintToString(log());
}

INSTANTIATE_TEST_SUITE_P(Firmware, RoundTrip,
                         ::testing::Values(Firmware{"2.10", 1448}, Firmware{"2.09", 848}),
                         [](const auto& info) { return info.param.messageSize == 1448 ? "Long" : "Short"; });

// A reply cut into pieces by a slow link: 100-byte pieces 20 ms apart, 10-byte pieces 20 ms apart
// (about 3 s for the dump) and 40-byte pieces 100 ms apart (about 4 s) are each read as one dump.
class SlowLink : public EndToEnd, public ::testing::WithParamInterface<QStringList> {};

TEST_P(SlowLink, ADumpReplyInPiecesIsReadAsOneMessage) {
    startSim(GetParam());
    connectToSim("2.10");
    // Commands that differ from the box's, so a dump that was not read would show.
    action("mnuFourMach")->trigger();
    ASSERT_FALSE(window->sheet().pins[0].command.empty());

    button("cmd_Dump_Request")->click();
    ASSERT_TRUE(logHolds("Dump data, 1448 bytes"));
    expectSameValues(configValuesOf(window->sheet()), configValuesOf(Sheet{}), "dump in pieces");

    // The GPI answer comes after every piece of the dump on the same stream: once it is logged, any
    // stray piece would have been logged before it.
    button("cmd_GPI_Request")->click();
    ASSERT_TRUE(logHolds("GPI"));
    const QStringList lines = log();
    EXPECT_EQ(lines.filter(QRegularExpression("^Dump data")), QStringList{"Dump data, 1448 bytes"});
    EXPECT_EQ(lines.filter("Unknown message.").size(), 0) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines.filter("Dropped").size(), 0) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines.last(), "GPI");
    EXPECT_EQ(window->windowTitle(), FrmMain::startTitle() + " - Zeze v2.10");
}

INSTANTIATE_TEST_SUITE_P(Chunks, SlowLink,
                         ::testing::Values(QStringList{"--chunk", "100"}, QStringList{"--chunk", "10"},
                                           QStringList{"--chunk", "40", "--chunk-delay", "100"}),
                         [](const auto& info) {
                             return "Pieces" + info.param.join("_").remove("-").toStdString();
                         });

}  // namespace
}  // namespace zeze::e2e
