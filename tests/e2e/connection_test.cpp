// Opening and losing the connection to the simulated box: the firmware in the title, Disconnect, and
// the box vanishing while connected.
#include <QRegularExpression>

#include "e2e_fixture.h"

namespace zeze::e2e {
namespace {

TEST_F(EndToEnd, ConnectShowsTheFirmwareAndDisconnectRestoresTheTitle) {
    startSim({});
    connectToSim("2.10");
    EXPECT_EQ(log().mid(0, 3), (QStringList{"Connect attempt", "Success!", "Firmware v2.10"}));
    EXPECT_TRUE(window->windowTitle().endsWith(" - Zeze v2.10"));
    EXPECT_TRUE(stateShows("Connected"));
    EXPECT_TRUE(sim.waitForLine(QRegularExpression("^received ID request, 3 bytes$"), kDeadlineMs));
    EXPECT_EQ(window->sheet().FirmwareVersion, 0x020A);

    button("Disconnect")->click();
    EXPECT_EQ(log().last(), "Disconnect");
    EXPECT_TRUE(stateShows("Closed"));
    EXPECT_EQ(window->windowTitle(), FrmMain::startTitle());
    EXPECT_FALSE(window->windowTitle().contains("Zeze v2"));
    EXPECT_EQ(window->sheet().FirmwareVersion, 0);
    EXPECT_TRUE(button("Connect")->isEnabled());
    EXPECT_TRUE(control<QComboBox>("Zeze_Address")->isEnabled());
    EXPECT_TRUE(control<QLineEdit>("Zeze_Port")->isEnabled());
    EXPECT_TRUE(sim.waitForLine(QRegularExpression("^client disconnected$"), kDeadlineMs));
}

TEST_F(EndToEnd, ABoxThatVanishesShowsAsPeerClosing) {
    startSim({"--firmware", "2.09"});
    connectToSim("2.09");
    ASSERT_TRUE(stateShows("Connected"));

    ASSERT_TRUE(sim.kill());
    EXPECT_TRUE(stateShows("Peer is closing connection"));
    // The firmware stays known until the operator disconnects.
    EXPECT_TRUE(window->windowTitle().endsWith(" - Zeze v2.09"));
    EXPECT_EQ(window->sheet().FirmwareVersion, 0x0209);

    button("Disconnect")->click();
    EXPECT_TRUE(stateShows("Closed"));
    EXPECT_EQ(window->windowTitle(), FrmMain::startTitle());
}

}  // namespace
}  // namespace zeze::e2e
