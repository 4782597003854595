#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <ostream>

// Readable failure messages for Qt values.
inline void PrintTo(const QString &value, std::ostream *out) {
    *out << '"' << value.toStdString() << '"';
}
inline void PrintTo(const QByteArray &value, std::ostream *out) {
    *out << '"' << value.toStdString() << '"';
}
inline void PrintTo(const QStringList &value, std::ostream *out) {
    *out << '[' << value.join(QStringLiteral(", ")).toStdString() << ']';
}
inline void PrintTo(const QDateTime &value, std::ostream *out) {
    *out << value.toString(Qt::ISODate).toStdString();
}
