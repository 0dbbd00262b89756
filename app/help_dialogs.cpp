#include "app/help_dialogs.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/captions.h"
#include "version.h"

namespace zeze {
namespace {

QDialog* newDialog(QMainWindow* window, const char* name, const char* title) {
    auto* dialog = new QDialog(window);
    dialog->setObjectName(QLatin1String(name));
    dialog->setWindowTitle(title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    return dialog;
}

void finish(QDialog* dialog, QVBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(buttons);
    dialog->show();
}

}  // namespace

void showShortcutsDialog(QMainWindow* window) {
    QList<QPair<QString, QString>> rows;
    for (QAction* menuAction : window->menuBar()->actions()) {
        const QMenu* menu = menuAction->menu();
        if (menu == nullptr)
            continue;
        for (QAction* action : menu->actions()) {
            if (!action->shortcut().isEmpty()) {
                rows.append({action->shortcut().toString(QKeySequence::NativeText),
                             QString(action->text()).remove(QLatin1Char('&'))});
            }
        }
    }
    for (const auto& [key, does] : text::kSheetKeys)
        rows.append({QString::fromUtf8(key), QString::fromUtf8(does)});

    QDialog* dialog = newDialog(window, "shortcutsDialog", text::kShortcutsTitle);
    auto* layout = new QVBoxLayout(dialog);
    auto* table = new QTableWidget(static_cast<int>(rows.size()), 2, dialog);
    table->setObjectName(QStringLiteral("shortcutsTable"));
    table->setAccessibleName(text::kShortcutsTitle);
    table->setHorizontalHeaderLabels({text::kKeyColumn, text::kDoesColumn});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int row = 0; row < rows.size(); ++row) {
        table->setItem(row, 0, new QTableWidgetItem(rows[row].first));
        table->setItem(row, 1, new QTableWidgetItem(rows[row].second));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table);
    dialog->resize(table->horizontalHeader()->length() + 60, 420);
    finish(dialog, layout);
}

void showAboutDialog(QMainWindow* window) {
    QDialog* dialog = newDialog(window, "aboutDialog", text::kAboutTitle);
    auto* layout = new QVBoxLayout(dialog);
    auto* label = new QLabel(
        QString(text::kAboutText)
            .arg(QLatin1String(kVersionText), QLatin1String(QT_VERSION_STR), QLatin1String(qVersion())));
    label->setObjectName(QStringLiteral("aboutText"));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    layout->addWidget(label);
    finish(dialog, layout);
}

void showMessageDialog(QMainWindow* window, const char* name, const QString& title, const QString& text,
                       const QStringList& items) {
    QDialog* dialog = newDialog(window, name, title.toUtf8().constData());
    auto* layout = new QVBoxLayout(dialog);
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("messageText"));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(label);
    if (!items.isEmpty()) {
        auto* list = new QListWidget(dialog);
        list->setObjectName(QStringLiteral("messageItems"));
        list->setAccessibleName(text);
        list->addItems(items);
        layout->addWidget(list);
        dialog->resize(560, 360);
    }
    finish(dialog, layout);
}

}  // namespace zeze
