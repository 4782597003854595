#pragma once

#include <QString>

class QLabel;
class QWidget;

// How the windows look: the font their pixel sizes were made for, bold captions, and where a
// window first appears.
namespace platform {

// Makes the application font one whose metrics match the 8-point font the windows' pixel sizes
// were made for, so a year fits its 30-pixel column.
void applyWindowFont();

void setBold(QWidget *widget);
// A bold label, right-aligned, naming `buddy` (its accessible name comes from the label).
QLabel *boldLabel(const QString &text, QWidget *buddy, QWidget *parent);

// Centres the window on its screen the first time it is shown; afterwards it reopens where the
// user left it.
void centreOnFirstShow(QWidget *window);

} // namespace platform
