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

class Preferences;

// Centres the window on its screen the first time it is shown; afterwards it reopens where the
// user left it.
void centreOnFirstShow(QWidget *window);

// Our own windows and boxes: every opening centres the window over the one that opened it (its
// parent), kept on that screen so its title bar can be reached. With `sizes`, the window opens
// at the size it was last closed at, kept there under its object name.
void openOverOpener(QWidget *window, Preferences *sizes = nullptr);
// Moves `window` now so that its centre is `opener`'s window's (the screen's when `opener` is
// null or hidden), without leaving the screen.
void centreOver(QWidget *window, const QWidget *opener);

} // namespace platform
