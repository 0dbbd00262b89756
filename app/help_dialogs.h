// The window's own small windows: the keys of the window and what each does, what the program is, and
// a message with an optional list (a refused file, what Compare found). All stay open beside the window
// (not modal) until closed.
#pragma once

#include <QStringList>

class QMainWindow;

namespace zeze {

// Lists every key of the window's menus, read from the menus themselves, then the keys of the sheet.
void showShortcutsDialog(QMainWindow* window);
void showAboutDialog(QMainWindow* window);
// `name` is the dialog's objectName; `items`, when any, are listed below the text.
void showMessageDialog(QMainWindow* window, const char* name, const QString& title, const QString& text,
                       const QStringList& items = {});

}  // namespace zeze
