#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>

// The text files through which DOS and Windows discs describe themselves, in Windows-1252.

namespace disc {

// AUTORUN.INF's [autorun] section: the disc's label and the program it opens (its path on the
// disc with '/' between names, without arguments).
struct Autorun {
    QString label;
    QString open;
};
Autorun readAutorun(const QByteArray &bytes);

// DESCRIPT.ION: one "NAME description" per line, a name with blanks in double quotes. Keyed by
// the name in upper case, as DOS names compare.
std::map<QString, QString> readDescriptIon(const QByteArray &bytes);

// FILE_ID.DIZ: its lines, trimmed, empty ones left out.
QStringList readFileIdDiz(const QByteArray &bytes);

} // namespace disc
