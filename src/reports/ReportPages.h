#pragma once

#include "store/exchange/CatalogueReport.h"

class QPagedPaintDevice;

// The report on pages, for the PDF file and the printer alike: the title, then each CD's heading
// with its date and comment and its programs in columns, a program's comment under its row. A
// heading is never left alone at a page's foot; a CD that goes on to the next page repeats its
// heading and column titles. Every page ends with the title and its number.

// Paints on a device ready to paint on (a PDF writer, a printer); false when the device cannot
// be painted on.
bool paintReport(const store::ReportSource &source, const QString &title,
                 QPagedPaintDevice &device);

// Writes the report as a PDF file (A4), whole or not at all; throws FileError when it cannot.
void writeReportPdf(const store::ReportSource &source, const QString &title,
                    const store::FilePath &path, store::FileCalls &files);
