// Renders the main window offscreen to a PNG for the docs. With --connect PORT it first connects to a
// simulated box on 127.0.0.1:PORT and reads its programming, so the picture shows a live session.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <cstdio>

#include "app/frm_main.h"

namespace {

bool waitForLine(QListWidget* log, const QString& prefix) {
    return QTest::qWaitFor(
        [&] {
            for (int i = 0; i < log->count(); ++i) {
                if (log->item(i)->text().startsWith(prefix))
                    return true;
            }
            return false;
        },
        10000);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument("output", "PNG file to write");
    parser.addOption(
        {"connect", "Connect to a simulated box on 127.0.0.1:<port> and read its programming.", "port"});
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    zeze::FrmMain window;
    window.show();
    auto* log = window.findChild<QListWidget*>("ListBox");
    if (parser.isSet("connect")) {
        window.findChild<QComboBox*>("Zeze_Address")->setEditText("127.0.0.1");  // loopback only
        window.findChild<QLineEdit*>("Zeze_Port")->setText(parser.value("connect"));
        window.findChild<QPushButton*>("Connect")->click();
        if (!waitForLine(log, "Success!")) {
            std::fprintf(stderr, "no connection to the simulator\n");
            return 1;
        }
        if (!waitForLine(log, "Firmware v")) {
            std::fprintf(stderr, "no firmware reply from the simulator\n");
            return 1;
        }
        // Program the simulator with a preset, then read it back, so the sheet shows a box's commands.
        window.findChild<QAction*>("mnuFourMach")->trigger();
        auto* download = window.findChild<QPushButton*>("cmd_Download");
        download->click();
        if (!QTest::qWaitFor([&] { return download->isEnabled(); }, 10000)) {
            std::fprintf(stderr, "the download did not finish\n");
            return 1;
        }
        window.findChild<QPushButton*>("cmd_Dump_Request")->click();
        if (!waitForLine(log, "Dump data")) {
            std::fprintf(stderr, "no dump reply from the simulator\n");
            return 1;
        }
    }
    QTest::qWait(250);  // let Timer1 paint the connection state
    // The whole sheet, without scroll bars, whatever size the offscreen screen gave the window.
    window.resize(window.sizeHint());
    QTest::qWait(50);
    if (!window.grab().save(parser.positionalArguments().first())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(parser.positionalArguments().first()));
        return 1;
    }
    return 0;
}
