#pragma once

#include "platform/Platform.h"

#include <QString>

// The maker's address: the About window shows it, and both it and "Ayuda" > "Contacto" open a
// new mail message to it.
inline const QString kContactAddress = QStringLiteral("vadrel@example.org");

// A new mail message to the maker, in a maximized window; nothing is reported if no mail
// program answers.
inline void writeToMaker(platform::Shell &shell, QWidget *owner) {
    shell.open(owner, QStringLiteral("mailto:") + kContactAddress, QStringLiteral("open"),
               platform::Shell::Maximized);
}
