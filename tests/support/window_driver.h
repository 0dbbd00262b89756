// Driving the real main window in tests: controls reached by name, the Activity log read, boxes typed
// into as the operator does, file dialogs answered, and the states of the transfer buttons and the
// connection box.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>

#include <QApplication>
#include <QByteArray>
#include <QColor>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include "support/qt_print.h"

namespace zeze::drive {

inline QString indexedName(const char* name, int index) {
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

// The named child of `window`; a missing or mistyped control ends the test with a failure, not a crash.
template <typename T>
T* control(const QWidget& window, const QString& name) {
    T* found = window.findChild<T*>(name);
    if (found == nullptr) {
        ADD_FAILURE() << "no control " << name.toStdString();
        throw std::runtime_error("missing control " + name.toStdString());
    }
    return found;
}

inline QStringList logLines(const QWidget& window) {
    const auto* list = control<QListWidget>(window, QStringLiteral("ListBox"));
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

// Replaces the text of a line edit or an editable combo box by typing.
inline void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
}
inline void typeInto(QComboBox* combo, const QString& text) {
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo, text);
}

// Waits until a Timer1 tick has shown `text` in the connection-state box.
inline bool stateShows(const QWidget& window, const QString& text, int deadlineMs) {
    auto* state = control<QLineEdit>(window, QStringLiteral("Zeze_State"));
    return QTest::qWaitFor([&] { return state->text() == text; }, deadlineMs);
}

inline bool transferIdle(const QWidget& window) {
    const auto* download = control<QPushButton>(window, QStringLiteral("cmd_Download"));
    const auto* dump = control<QPushButton>(window, QStringLiteral("cmd_Dump_Request"));
    return download->isEnabled() && dump->isEnabled() && download->text() == "Send to Zeze" &&
           dump->text() == "Get from Zeze";
}
inline bool transferWaiting(const QWidget& window) {
    const auto* download = control<QPushButton>(window, QStringLiteral("cmd_Download"));
    const auto* dump = control<QPushButton>(window, QStringLiteral("cmd_Dump_Request"));
    return !download->isEnabled() && !dump->isEnabled() && download->text() == "Wait..." &&
           dump->text() == "Wait...";
}

// Calls `answer` with the next modal window of type T as soon as it opens (polled from a timer of
// `owner`, since a modal window runs its own event loop).
template <typename T, typename Answer>
void whenModalOpens(QObject* owner, Answer answer) {
    auto* poll = new QTimer(owner);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (modal == nullptr)
            return;
        poll->stop();
        poll->deleteLater();
        answer(modal);
    });
    poll->start();
}

// Chooses `path` in the next file dialog; a question after it is a failure.
inline void answerFileDialog(QObject* owner, const QString& path) {
    whenModalOpens<QFileDialog>(owner, [path](QFileDialog* dialog) {
        // A question asked inside accept() is met by a timer of its own.
        QTimer::singleShot(500, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "asked: " << box->text().toStdString();
                box->reject();
            }
        });
        // selectFile() leaves the name box alone while it has the focus: type into it as the operator
        // would.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name != nullptr)
            name->setText(path);
        else
            dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own, which checks the name
    });
}

}  // namespace zeze::drive
