// The real main window, shown offscreen, against a zeze-sim process on 127.0.0.1: controls reached by
// name, the Activity log read and awaited, and a readable comparison of two programmings.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <stdexcept>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "app/frm_main.h"
#include "protocol/config_record.h"
#include "sim_process.h"
#include "support/window_driver.h"

namespace zeze {
inline void PrintTo(const PinRow& pin, std::ostream* out) {
    *out << '"' << pin.command << "\" ports " << pin.sendToPort[0] << pin.sendToPort[1] << pin.sendToPort[2]
         << pin.sendToPort[3] << " invert " << pin.invert;
}
inline void PrintTo(const SerialPortSetting& port, std::ostream* out) {
    *out << "speed " << port.speed << " parity " << port.parity;
}
}  // namespace zeze

namespace zeze::e2e {

using drive::typeInto;

inline constexpr int kDeadlineMs = 10000;
// Only loopback is ever dialled; the window's own address list holds the addresses of real boxes.
inline const QString kLoopback = QStringLiteral("127.0.0.1");

// Field by field, so a failure names what differs; `when` says at which step of the test.
inline void expectSameValues(const ConfigValues& actual, const ConfigValues& expected, const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(actual.network.gateway, expected.network.gateway);
    EXPECT_EQ(actual.network.subnetMask, expected.network.subnetMask);
    EXPECT_EQ(actual.network.zezeAddress, expected.network.zezeAddress);
    EXPECT_EQ(actual.network.zezePort, expected.network.zezePort);
    EXPECT_EQ(actual.network.destAddress, expected.network.destAddress);
    EXPECT_EQ(actual.network.destPort, expected.network.destPort);
    for (int p = 0; p < kSerialPortCount; ++p)
        EXPECT_EQ(actual.ports[p], expected.ports[p]) << "port " << p;
    EXPECT_EQ(actual.suppressHeaderAndStatus, expected.suppressHeaderAndStatus);
    for (int row = 0; row < kPinCount; ++row)
        EXPECT_EQ(actual.pins[row], expected.pins[row]) << "row " << row;
}

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<FrmMain>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        sim.stop();
    }

    void startSim(const QStringList& options) {
        ASSERT_TRUE(sim.start(options)) << sim.failure().toStdString();
    }

    // Points the window at the simulator, clicks Connect and waits for the firmware in the title.
    void connectToSim(const QString& firmware) {
        auto* address = control<QComboBox>("Zeze_Address");
        auto* port = control<QLineEdit>("Zeze_Port");
        address->setEditText(kLoopback);
        port->setText(QString::number(sim.port()));
        ASSERT_EQ(address->currentText(), kLoopback);
        ASSERT_EQ(port->text().toUShort(), sim.port());
        QTest::mouseClick(button("Connect"), Qt::LeftButton);  // returns after its one-second wait
        EXPECT_TRUE(log().contains("Success!")) << ::testing::PrintToString(log());
        const QString title = FrmMain::startTitle() + " - Zeze v" + firmware;
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() == title; }, kDeadlineMs))
            << window->windowTitle().toStdString();
        EXPECT_TRUE(QTest::qWaitFor([&] { return log().contains("Firmware v" + firmware); }, kDeadlineMs));
    }

    template <typename T>
    T* control(const QString& name) const {
        return drive::control<T>(*window, name);
    }
    template <typename T>
    T* control(const char* name, int index) const {
        return drive::control<T>(*window, drive::indexedName(name, index));
    }
    QPushButton* button(const char* name) const { return control<QPushButton>(QLatin1String(name)); }
    QAction* action(const char* name) const { return control<QAction>(QLatin1String(name)); }
    QStringList log() const { return drive::logLines(*window); }
    // Waits until the Activity log holds `line` exactly `count` times.
    bool logHolds(const QString& line, int count = 1) const {
        return QTest::qWaitFor([&] { return log().count(line) == count; }, kDeadlineMs);
    }
    bool stateShows(const QString& text) const { return drive::stateShows(*window, text, kDeadlineMs); }
    bool transferIdle() const { return drive::transferIdle(*window); }
    bool transferWaiting() const { return drive::transferWaiting(*window); }

    SimProcess sim;
    std::unique_ptr<FrmMain> window;
};

}  // namespace zeze::e2e
