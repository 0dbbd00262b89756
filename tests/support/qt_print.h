// Readable failure messages for the Qt values the tests compare.
#pragma once

#include <ostream>

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>

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
