#pragma once

#include "store/cursor/CursorSession.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "store/engine/Conversions.h"
#include "store/engine/Engine.h"
#include "store/exchange/CatalogueReport.h"
#include "store/exchange/CsvHeadings.h"
#include "store/schema/Schema.h"

#include <optional>

// The rows the CSV and the spreadsheet files hold, cell by cell, for either writer. A writer
// takes heading(columns), text(utf8), number(n), none(), raw(cells made by a writer of its
// kind), endRow() and take(); one made without a file only gathers cells for take().
namespace store::cells {

template <class Out> void column(Out &out, const engine::Statement &row, int at) {
    if (row.isNull(at))
        out.none();
    else if (row.holdsNumber(at))
        out.number(row.int64(at));
    else
        out.text(row.text(at));
}

// A stored date as yyyy-MM-dd (what isoToSerial reads); anything else as it is.
template <class Out> void date(Out &out, const engine::Statement &row, int at) {
    if (row.isNull(at) || row.holdsNumber(at))
        return column(out, row, at);
    const std::string_view stored = row.text(at);
    const auto serial = isoToSerial(stored.data(), int(stored.size()));
    out.text(serial ? serialToIso(*serial) : QByteArray(stored.data(), stored.size()));
}

// Every CD and program, one row per program, a CD without programs on a row of its own.
template <class Out>
void wholeCatalogue(Connection &connection, Out &out, const ExportProgress &progress) {
    ProgressTicker ticker(progress, progress ? wholeCatalogueRows(connection) : 0);
    CursorSession::of(connection).finishBackgroundRead();
    engine::Statement rows(connection.handle(), wholeCatalogueSql(), connection.dataSource());
    const engine::Statement &row = rows;
    out.heading({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    // The CD's four fields repeat on each of its programs: they are made into cells once.
    QByteArray cdCells;
    std::optional<qint64> cd;
    while (rows.step()) {
        ticker.row();
        const qint64 number = rows.int64(0);
        if (cd != number) {
            cd = number;
            Out piece;
            piece.number(number);
            column(piece, row, 1);
            date(piece, row, 2);
            column(piece, row, 3);
            cdCells = piece.take();
        }
        out.raw(cdCells);
        for (int at = 4; at < kColumns; ++at)
            column(out, row, at);
        out.endRow();
    }
}

// The joined view's visible rows in their order. Leaves the view on its last row.
template <class Out> void viewRows(TableCursor &view, Out &out, const ExportProgress &progress) {
    using namespace schema::joined;
    out.heading({0, 1, 5, 6, 7, 8, 9, 10, 11});
    view.GoFirst();
    const int rows = view.visibleCount();
    ProgressTicker ticker(progress, rows);
    auto number = [&](int row, int field) {
        if (!view.valueAt(row, field).isValid())
            out.none();
        else if (view.fieldDef(field).kind == FieldKind::Integer)
            out.number(view.numberAt(row, field));
        else
            out.text(view.displayText(row, field).toUtf8());
    };
    auto text = [&](int row, int field) {
        const FieldKind kind = view.fieldDef(field).kind;
        if (kind == FieldKind::Text || kind == FieldKind::Memo) {
            const std::string_view bytes = view.utf8At(row, field);
            if (bytes.empty())
                out.none(); // the rows keep no difference between empty and no value
            else
                out.text(bytes);
        } else if (view.valueAt(row, field).isValid()) {
            out.text(view.displayText(row, field).toUtf8());
        } else {
            out.none();
        }
    };
    for (int row = 0; row < rows; ++row) {
        ticker.row();
        number(row, Cd);
        text(row, CdDescription);
        text(row, Name);
        text(row, Version);
        text(row, Publisher);
        text(row, Licence);
        number(row, Year);
        text(row, Link);
        text(row, Comment);
        out.endRow();
    }
    view.GoLast();
}

} // namespace store::cells
