// A main window on a fake socket for the window tests, and helpers that reach its controls by name,
// read the Activity log and compare every control of the sheet with a Sheet value.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "app/frm_main.h"
#include "support/fake_socket.h"
#include "support/window_driver.h"

namespace zeze::apptest {

inline constexpr int kDeadlineMs = 5000;

inline QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (const int value : values)
        result.append(static_cast<char>(value));
    return result;
}

template <typename Container>
QByteArray toBytes(const Container& values) {
    return QByteArray(reinterpret_cast<const char*>(values.data()), static_cast<qsizetype>(values.size()));
}

using zeze::drive::control;
using zeze::drive::indexedName;
using zeze::drive::logLines;
using zeze::drive::typeInto;

inline QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

class WindowTest : public ::testing::Test {
  protected:
    // The box's bytes arrive, and the window is given the time the engine takes to judge a reply: the
    // line must rest behind it (a tenth of a second) before it is believed.
    void arrive(const QByteArray& bytes) {
        fake->arrive(bytes);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window->conversation().settling(); }, kDeadlineMs));
    }

    void SetUp() override {
        auto socket = std::make_unique<FakeSocket>();
        fake = socket.get();
        window = std::make_unique<FrmMain>(std::move(socket));
    }

    // Shown and active, so that focus changes send focus events.
    void showActive() {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    template <typename T>
    T* get(const QString& name) const {
        return control<T>(*window, name);
    }
    template <typename T>
    T* get(const char* name, int index) const {
        return control<T>(*window, indexedName(name, index));
    }
    QComboBox* command(int row) const { return get<QComboBox>("cbo_Command", row); }
    QPushButton* button(const char* name) const { return get<QPushButton>(QLatin1String(name)); }
    QAction* action(const char* name) const { return control<QAction>(*window, QLatin1String(name)); }
    QStringList log() const { return logLines(*window); }

    // Lines in the log from the hidden "Request ID" button while not connected.
    void fillLog(int lines) {
        for (int i = 0; i < lines; ++i)
            button("cmd_ID_Request")->click();
    }

    bool stateShows(const QString& text) const { return zeze::drive::stateShows(*window, text, kDeadlineMs); }
    bool transferIdle() const { return zeze::drive::transferIdle(*window); }
    bool transferWaiting() const { return zeze::drive::transferWaiting(*window); }

    // Every control of the sheet shows the value `sheet` holds.
    void expectWidgetsShow(const Sheet& sheet) const {
        const std::pair<const char*, const IpAddressText*> addresses[] = {
            {"txt_Zeze_Address", &sheet.network.zezeAddress},
            {"txt_Zeze_Mask", &sheet.network.subnetMask},
            {"txt_Gateway", &sheet.network.gateway},
            {"txt_Dest_Address", &sheet.network.destAddress}};
        for (const auto& [name, octets] : addresses) {
            for (int i = 0; i < kOctetCount; ++i) {
                EXPECT_EQ(get<QLineEdit>(name, i)->text(), fromStd((*octets)[i])) << name << "_" << i;
            }
        }
        EXPECT_EQ(get<QLineEdit>(QStringLiteral("txt_Zeze_Port"))->text(), fromStd(sheet.network.zezePort));
        EXPECT_EQ(get<QLineEdit>(QStringLiteral("txt_Dest_Port"))->text(), fromStd(sheet.network.destPort));
        for (int p = 0; p < kSerialPortCount; ++p) {
            auto* speed = get<QComboBox>("cbo_Port_Speed", p);
            auto* parity = get<QComboBox>("cbo_Port_Parity", p);
            EXPECT_EQ(speed->currentIndex(), sheet.ports[p].speed) << "port " << p;
            EXPECT_EQ(parity->currentIndex(), sheet.ports[p].parity) << "port " << p;
            EXPECT_EQ(speed->currentText(), speed->itemText(sheet.ports[p].speed)) << "port " << p;
            EXPECT_EQ(parity->currentText(), parity->itemText(sheet.ports[p].parity)) << "port " << p;
        }
        EXPECT_EQ(get<QCheckBox>(QStringLiteral("chk_Zivido_and_Status"))->isChecked(),
                  sheet.suppressHeaderAndStatus);
        EXPECT_EQ(action("mnuReadShort")->isChecked(), sheet.readShort);
        for (int row = 0; row < kPinCount; ++row) {
            const PinRow& pin = sheet.pins[row];
            EXPECT_EQ(command(row)->currentText(), fromStd(pin.command)) << "row " << row;
            EXPECT_EQ(get<QCheckBox>("chk_Invert_Trigger", row)->isChecked(), pin.invert) << "row " << row;
            EXPECT_EQ(get<QCheckBox>("chk_Send_2_Port1", row)->isChecked(), pin.sendToPort[0])
                << "row " << row;
            EXPECT_EQ(get<QCheckBox>("chk_Send_2_Port2", row)->isChecked(), pin.sendToPort[1])
                << "row " << row;
            EXPECT_EQ(get<QCheckBox>("chk_Send_2_Port3", row)->isChecked(), pin.sendToPort[2])
                << "row " << row;
            EXPECT_EQ(get<QCheckBox>("chk_Send_2_Port4", row)->isChecked(), pin.sendToPort[3])
                << "row " << row;
        }
    }

    FakeSocket* fake = nullptr;
    std::unique_ptr<FrmMain> window;
};

}  // namespace zeze::apptest
