#include "store/catalogue/ProgramListing.h"

#include "store/cursor/TableCursor.h"
#include "store/engine/Conversions.h"
#include "store/files/ListingLines.h"
#include "store/files/ReplacementFile.h"
#include "store/schema/Schema.h"

#include <algorithm>

namespace store {

namespace {

// Each optional column: its heading piece, its field of the joined view and whether it is read
// as a whole number.
struct Column {
    ListingColumn column;
    const char16_t *heading;
    int field;
    bool number;
};
using namespace schema::joined;
const Column kColumns[] = {
    {ListingColumn::Version, u"Versión      ", Version, false},
    {ListingColumn::Publisher, u"Empresa      ", Publisher, false},
    {ListingColumn::Licence, u"Licencia      ", Licence, false},
    {ListingColumn::Year, u"Año      ", Year, true},
    {ListingColumn::Link, u"Link      ", Link, false},
    {ListingColumn::CdNumber, u"Nro. CD      ", Cd, true},
    {ListingColumn::Cd, u"CD      ", CdDescription, false},
};

} // namespace

void writeProgramListing(TableCursor &view, const std::vector<ListingColumn> &columns,
                         const QString &path, FileCalls &files) {
    std::vector<const Column *> chosen;
    QString heading = QStringLiteral(" Programa      ");
    for (const Column &column : kColumns) {
        if (std::find(columns.begin(), columns.end(), column.column) != columns.end()) {
            chosen.push_back(&column);
            heading += QString::fromUtf16(column.heading);
        }
    }
    const QString separator(109, u'-');

    ReplacementFile file(path, files);
    ListingLines lines([&](const QByteArray &bytes) { file.write(bytes); });
    lines.line(QStringLiteral("LISTADO DE PROGRAMAS :"));
    lines.line(separator);
    view.GoFirst();
    for (const QString &text : {heading, separator, QString()})
        lines.line(text);
    // Rows are read by position among the visible rows: the same rows, in the same order, as
    // the walk from the first row to the last, without moving the grid at every one of them.
    const int rows = view.visibleCount();
    // A field stored as the column expects is copied as it is; one of another kind (a view of
    // the file's own making) goes through the usual conversions.
    auto stored = [&](int field, bool number) {
        if (field >= view.fieldCount())
            return false;
        const FieldKind kind = view.fieldDef(field).kind;
        return number ? kind == FieldKind::Integer
                      : kind == FieldKind::Text || kind == FieldKind::Memo;
    };
    auto cell = [&](int row, int field, bool number, bool asStored) {
        if (asStored && number) {
            lines.cell(view.numberAt(row, field)); // empty reads as 0
        } else if (asStored) {
            lines.cell(view.utf8At(row, field));
        } else {
            const QString text = view.displayText(row, field);
            if (number)
                lines.cell(qint64(parseWholeNumber(text).value_or(0)));
            else
                lines.cell(text.toUtf8().toStdString());
        }
    };
    const bool nameStored = stored(Name, false);
    std::vector<bool> asStored;
    for (const Column *column : chosen)
        asStored.push_back(stored(column->field, column->number));
    for (int row = 0; row < rows; ++row) {
        lines.beginRow();
        cell(row, Name, false, nameStored);
        for (size_t i = 0; i < chosen.size(); ++i)
            cell(row, chosen[i]->field, chosen[i]->number, asStored[i]);
        lines.endRow();
    }
    lines.finish();
    file.commit();
    view.GoLast();
}

} // namespace store
