#pragma once

#include "store/exchange/CatalogueReport.h"

class QPagedPaintDevice;

// The report on pages, for the PDF file and the printer alike: the title, then each CD's heading
// with its date and comment and its programs in columns, a program's comment under its row. A
// heading is never left alone at a page's foot; a CD that goes on to the next page repeats its
// heading and column titles. A cell too long for its column goes on over more lines (a link
// without blanks breaks anywhere). Every page ends with the title and "Página N de M".
//
// The pages are laid out twice: first only counted, then painted with their total.

#include <QPageLayout>
#include <functional>

// Told as each page is begun while painting: its number and the total; also (0, 0) once before
// the first pass, which only counts. The source's own progress runs through both passes.
using PageProgress = std::function<void(int page, int pages)>;

// Paints on a device ready to paint on (a PDF writer, a printer); false when the device cannot
// be painted on. A cancel (store::ExportCancelled from the source) stops the painting and is
// thrown on; a printer is asked to abort the job.
bool paintReport(const store::ReportSource &source, const QString &title, QPagedPaintDevice &device,
                 const PageProgress &pages = {});

// A4 upright with margins of 15 mm.
QPageLayout reportPageLayout();

// Writes the report as a PDF file, whole or not at all; throws FileError when it cannot, and
// leaves no file when cancelled.
void writeReportPdf(const store::ReportSource &source, const QString &title,
                    const store::FilePath &path, store::FileCalls &files,
                    const PageProgress &pages = {}, const QPageLayout &layout = reportPageLayout());
