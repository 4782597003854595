#pragma once

#include <QString>

// Writes DIR/db.mdb with `programs` programs spread over programs/100 CDs (at least one), with
// texts of realistic lengths. Deterministic: the same count gives the same file.
void writeLargeCatalogue(const QString &directory, int programs);

// A folder holding a catalogue of that size, generated on first use and kept for the run.
QString largeCatalogueFolder(int programs);
