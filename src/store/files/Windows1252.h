#pragma once

#include <QByteArray>
#include <QString>

namespace store {

// The text in the Windows-1252 code page, one byte per character, through the system's iconv;
// a character the code page cannot hold (or a byte that is no UTF-8) is written as "?". The
// invisible tag characters (U+E0000-U+E007F, as in flag emoji) are left out, as iconv does.
QByteArray utf8ToWindows1252(const QByteArray &utf8);
QByteArray toWindows1252(const QString &text);

// Windows-1252 text read back, as DOS and Windows programs wrote their description files. The
// five bytes the code page leaves undefined are kept as the control characters Latin-1 gives them.
QString fromWindows1252(const QByteArray &bytes);

} // namespace store
