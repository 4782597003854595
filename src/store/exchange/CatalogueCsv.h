#pragma once

#include "store/exchange/CatalogueReport.h"
#include "store/files/WorkingDirectory.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

// The catalogue as CSV (RFC 4180, UTF-8) and back.
//
// Columns of the whole catalogue, in this order:
//   Nro. CD, Descripción CD, Fecha, Comentario CD, Nro. programa, Programa, Versión, Empresa,
//   Licencia, Año, Link, Comentario
// One line per program, ordered by CD number then program number; a CD without programs gets
// one line whose program fields are all empty. An empty field without quotes is a field without
// value (NULL); "" is the empty text, so both come back as they were. Dates are written
// yyyy-MM-dd (with " HH:mm:ss" when the time is not midnight), whatever the user's locale. A text
// a spreadsheet would take for a formula is written behind an apostrophe (CsvHeadings.h).
namespace store {

class Connection;
class FileCalls;
class TableCursor;

enum class CsvColumn {
    CdNumber,
    CdDescription,
    CdDate,
    CdComment,
    ProgramNumber,
    Name,
    Version,
    Publisher,
    Licence,
    Year,
    Link,
    Comment
};

// Writes every CD and program of the catalogue to `path`, whole or not at all.
void writeCatalogueCsv(Connection &connection, const FilePath &path, FileCalls &files,
                       const ExportProgress &progress = {});
// Writes the joined view's visible rows in their order: Nro. CD, Descripción CD, Programa,
// Versión, Empresa, Licencia, Año, Link, Comentario, the fields those rows carry (an empty
// field is written as one without value). Leaves the view on its last row.
void writeCatalogueCsv(TableCursor &view, const FilePath &path, FileCalls &files,
                       const ExportProgress &progress = {});

// One field as read: `quoted` tells "" (the empty text) from nothing at all.
struct CsvField {
    QString text;
    bool quoted = false;
    bool empty() const { return text.isEmpty() && !quoted; }
};

struct CsvRecord {
    int line = 0; // of the file, from 1, where the record begins
    std::vector<CsvField> fields;
    QString fault; // why the record could not be read, when it could not
};

// What each column of the file holds, guessed from its header; nothing for one not ours.
struct CsvMapping {
    std::vector<std::optional<CsvColumn>> columns;
    std::optional<int> position(CsvColumn column) const;
};

struct CsvFile {
    char separator = ',';
    QStringList header;
    CsvMapping mapping;
    std::vector<CsvRecord> rows; // without the header
};

// Reads CSV text: a leading byte order mark is skipped; text that is not UTF-8 is read as
// Windows-1252; the separator is ';' when the header has more of them than commas.
CsvFile readCatalogueCsv(const QByteArray &bytes);
// The same from a file; throws FileError when it cannot be read.
CsvFile readCatalogueCsvFile(const QString &path);
CsvMapping guessCsvMapping(const QStringList &header);

struct CsvProblem {
    int line = 0;
    QString reason; // in Spanish, for the user
};

// Every line that cannot be stored, with why; empty when all of them can.
std::vector<CsvProblem> checkCsvRows(const std::vector<CsvRecord> &rows, const CsvMapping &mapping);

struct CsvImported {
    qint64 programs = 0;
    std::vector<qint64> addedCds;
};

class CsvRejected : public std::exception {
public:
    explicit CsvRejected(std::vector<CsvProblem> problems)
        : problems_(std::move(problems)) {}
    const char *what() const noexcept override { return "CSV rejected"; }
    const std::vector<CsvProblem> &problems() const { return problems_; }

private:
    std::vector<CsvProblem> problems_;
};

// Stores the rows in one transaction: all of them or, on any bad line (CsvRejected) or error of
// the file (DatabaseError), none. A CD not in the catalogue is made from its first line: its
// description, date and comment when the file has those columns; otherwise as the Access import
// makes one, empty, dated at the date zero, with a note. CDs already there are left as they are.
// A program keeps the number the file gives when no other program has it; otherwise, or when
// the file gives none, it gets the next number as the windows give one (one past the highest).
CsvImported importCatalogueCsv(Connection &connection, const std::vector<CsvRecord> &rows,
                               const CsvMapping &mapping);

} // namespace store
