// Zeze GPI Programmer: opening the window is starting the program, closing it ends it.
#include <QApplication>

#include "app/frm_main.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    zeze::FrmMain window;
    window.show();
    return app.exec();
}
