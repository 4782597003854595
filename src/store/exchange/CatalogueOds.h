#pragma once

#include "store/exchange/CatalogueReport.h"
#include "store/files/WorkingDirectory.h"

// The catalogue as an OpenDocument spreadsheet (.ods), with the CSV's columns and rows. Every
// text is a text cell, so that a spreadsheet keeps versions such as 007, 1.10 or 3/4 and texts
// beginning with = exactly as stored; numbers are number cells. Written whole or not at all; a
// cancel (ExportCancelled) leaves no file.
namespace store {

class Connection;
class FileCalls;
class TableCursor;

// Every CD and program, as writeCatalogueCsv writes them.
void writeCatalogueOds(Connection &connection, const FilePath &path, FileCalls &files,
                       const ExportProgress &progress = {});
// The joined view's visible rows in their order. Leaves the view on its last row.
void writeCatalogueOds(TableCursor &view, const FilePath &path, FileCalls &files,
                       const ExportProgress &progress = {});

} // namespace store
