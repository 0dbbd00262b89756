// The Help menu's windows: the keys of the window and what each does, and what the program is. Both stay
// open beside the window (not modal) until closed.
#pragma once

class QMainWindow;

namespace zeze {

// Lists every key of the window's menus, read from the menus themselves, then the keys of the sheet.
void showShortcutsDialog(QMainWindow* window);
void showAboutDialog(QMainWindow* window);

}  // namespace zeze
