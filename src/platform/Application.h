#pragma once

#include <QByteArray>
#include <QLocale>

class QApplication;

namespace platform {

// The regional setting the program works with: the system's, or Spanish (Spain) when the system
// has none (the C or POSIX locale), since the program speaks Spanish.
QLocale regionalLocale(const QLocale &system = QLocale::system());

// Everything the program sets up once on the application before any window exists: the
// regional setting as default locale, Qt's own texts in its language, the windows' font and the
// accessible interfaces.
void prepareApplication(QApplication &application);

// The folder the running program is in, by its bytes: its name need not be valid text.
QByteArray programFolder();

} // namespace platform
