// Driving the real main window in tests: controls reached by name, the Activity log read, boxes typed
// into as the operator does, and the states of the transfer buttons and the connection box.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>

#include <QByteArray>
#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QTest>

// Readable failure messages for the Qt values the tests compare.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& lines, std::ostream* out) {
    *out << "{";
    for (const QString& line : lines)
        *out << "\n  \"" << line.toStdString() << '"';
    *out << " }";
}
inline void PrintTo(const QByteArray& data, std::ostream* out) {
    *out << data.size() << " bytes: " << data.left(16).toHex(' ').toStdString();
}
inline void PrintTo(const QColor& colour, std::ostream* out) {
    *out << colour.name().toStdString();
}

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

}  // namespace zeze::drive
