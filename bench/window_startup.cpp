// How long the window takes to open: from main() to the first turn of its event loop, offscreen, the
// window opened as the program opens it ("window") or a bare QMainWindow holding the same kinds and
// numbers of widgets with none of the program's logic ("bare"). Prints the milliseconds and the peak
// resident memory; bench/window_startup.sh runs both many times and compares the medians.
//
//   QT_QPA_PLATFORM=offscreen bench_window_startup window|bare
#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/frm_main.h"
#include "app/start_up.h"

namespace {

// The widgets of the window, counted: labels, boxes, editable lists, ticks, buttons (two of them, two
// boxes, a label and a tick hidden), the frame's and the buttons' own fonts, and five menus holding
// seventeen items with their keys.
std::unique_ptr<QMainWindow> bareWindow() {
    auto window = std::make_unique<QMainWindow>();
    auto* central = new QWidget;
    auto* layout = new QGridLayout(central);
    auto* list = new QListWidget;
    layout->addWidget(list, 0, 0);
    auto* frame = new QGroupBox(QStringLiteral("Zeze Programming"));
    QFont frameFont = window->font();
    frameFont.setPointSizeF(frameFont.pointSizeF() * 12.0 / 8.25);
    frameFont.setBold(true);
    frame->setFont(frameFont);
    auto* grid = new QGridLayout(frame);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    auto* inner = new QWidget;
    inner->setFont(window->font());
    auto* cells = new QGridLayout(inner);
    int cell = 0;
    auto add = [&](QWidget* widget, bool hidden = false) {
        cells->addWidget(widget, cell / 16, cell % 16);
        ++cell;
        if (hidden)
            widget->hide();
    };
    for (int i = 0; i < 56; ++i)
        add(new QLabel(QStringLiteral("Pin %1").arg(i)), i == 0);
    for (int i = 0; i < 22; ++i)
        add(new QLineEdit(QStringLiteral("192")), i < 2);
    for (int i = 0; i < 33; ++i) {
        auto* combo = new QComboBox;
        combo->setEditable(true);
        combo->addItems({QStringLiteral("1200"), QStringLiteral("38400"), QStringLiteral("57600")});
        add(combo);
    }
    for (int i = 0; i < 122; ++i)
        add(new QCheckBox, i == 0);
    QFont buttonFont = window->font();
    buttonFont.setPointSizeF(buttonFont.pointSizeF() * 9.75 / 8.25);
    for (int i = 0; i < 6; ++i) {
        auto* button = new QPushButton(QStringLiteral("Send to Zeze"));
        button->setFont(buttonFont);
        add(button, i < 2);
    }
    scroll->setWidget(inner);
    grid->addWidget(scroll);
    layout->addWidget(frame, 1, 0);
    window->setCentralWidget(central);
    int key = 0;
    for (const int items : {4, 5, 2, 4, 2}) {
        QMenu* menu = window->menuBar()->addMenu(QStringLiteral("Options"));
        for (int i = 0; i < items; ++i) {
            QAction* action = menu->addAction(QStringLiteral("Item %1").arg(i));
            action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_A + key++)));
        }
    }
    window->show();
    return window;
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    const bool bare = argc > 1 && std::strcmp(argv[1], "bare") == 0;
    QApplication app(argc, argv);
    std::unique_ptr<QMainWindow> window;
    const zeze::StartArgs args;
    if (bare) {
        window = bareWindow();
    } else {
        auto frmMain = std::make_unique<zeze::FrmMain>();
        zeze::openWindow(*frmMain, args);
        window = std::move(frmMain);
    }
    qint64 firstTurn = -1;
    QTimer::singleShot(0, &app, [&] {
        firstTurn = clock.nsecsElapsed();
        app.quit();
    });
    app.exec();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s %.2f ms %ld KB\n", bare ? "bare" : "window", static_cast<double>(firstTurn) / 1e6,
                usage.ru_maxrss);
    return 0;
}
