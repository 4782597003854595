#pragma once

#include <QByteArray>

// A wrong call of any vadrel-db command gets what was wrong and where to read more, not the whole
// usage; returns the exit status for it.
int wrongCall(const QByteArray &problem);
