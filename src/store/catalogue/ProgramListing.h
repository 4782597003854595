#pragma once

#include <QString>
#include <vector>

namespace store {

class FileCalls;
class TableCursor;

// The columns a programs listing may add after the program's name, in the order the heading
// and every line give them.
enum class ListingColumn { Version, Publisher, Licence, Year, Link, CdNumber, Cd };

// Writes the programs listing of the joined view's visible rows, in their order, to `path`:
// the title, the heading of the name and the chosen `columns`, and one line per program, CR LF
// and Windows-1252. Written beside the old file and put in its place only when whole, so a
// failure leaves the earlier listing as it was. Leaves the view on its last row, where a walk
// from the first row would.
void writeProgramListing(TableCursor &view, const std::vector<ListingColumn> &columns,
                         const QString &path, FileCalls &files);

} // namespace store
