#pragma once

#include "platform/Preferences.h"

#include <QByteArray>
#include <QList>

// The catalogue folders opened last, newest first, kept in the user's settings by the file
// system's bytes (a folder's name need not be valid text).
namespace recent {

constexpr int kKept = 5;

QList<QByteArray> catalogues(const platform::Preferences &preferences);
// Puts `folder` first; the oldest beyond the five kept is forgotten.
void opened(platform::Preferences &preferences, const QByteArray &folder);

} // namespace recent
