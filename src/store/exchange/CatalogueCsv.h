#pragma once

#include "store/exchange/CatalogueReport.h"
#include "store/files/WorkingDirectory.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
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
    QString fault;             // why the record could not be read, when it could not
    bool bareLineFeed = false; // a field holds a line break that is LF alone
};

// What each column of the file holds, guessed from its header; nothing for one not ours.
struct CsvMapping {
    std::vector<std::optional<CsvColumn>> columns;
    std::optional<int> position(CsvColumn column) const;
};

enum class CsvEncoding { Utf8, Windows1252, Iso885915 };
inline constexpr CsvEncoding kCsvEncodings[] = {CsvEncoding::Utf8, CsvEncoding::Windows1252,
                                                CsvEncoding::Iso885915};
// "UTF-8", "Windows-1252", "ISO-8859-15".
QString encodingName(CsvEncoding encoding);
std::optional<CsvEncoding> encodingNamed(const QString &name);

// What to do with a row whose CD, program name and version the catalogue already has.
enum class CsvDuplicates { Skip, Add };

// How to read a file; what is left empty is guessed from the file.
struct CsvOptions {
    std::optional<CsvEncoding> encoding;
    std::optional<bool> titles; // line 1 holds the columns' titles
    std::optional<CsvMapping> mapping;
    CsvDuplicates duplicates = CsvDuplicates::Skip;
    int listed = 1000; // problems and changed CDs listed; the counts go on
};

// Told the bytes read so far of the file's size; false stops the work (CsvCancelled).
using CsvProgress = std::function<bool(qint64 done, qint64 total)>;

class CsvCancelled : public std::exception {
public:
    const char *what() const noexcept override { return "CSV reading cancelled"; }
};

struct CsvFile {
    bool binary = false; // not text at all: no CSV file
    CsvEncoding encoding = CsvEncoding::Utf8;
    bool titles = true;
    char separator = ',';
    QStringList header; // the titles, or "Columna 1"... when line 1 is a row
    CsvMapping mapping;
    std::vector<CsvRecord> rows; // without the titles; only the first ones from a preview
};

// Reads CSV text, all of it in memory (small files): a leading byte order mark is skipped; the
// encoding, the separator (';' when line 1 has more of them than commas) and whether line 1
// holds titles are guessed unless given.
CsvFile readCatalogueCsv(const QByteArray &bytes, const CsvOptions &options = {});
// The file's first `rows` rows and what is guessed from the whole file, read in pieces; throws
// FileError when it cannot be read.
CsvFile previewCatalogueCsv(const QString &path, const CsvOptions &options = {}, int rows = 20,
                            const CsvProgress &progress = {});
CsvMapping guessCsvMapping(const QStringList &header);
// For a file without titles: our own export's order when the count matches it, else from what
// the first rows hold.
CsvMapping guessCsvMapping(int columns, const std::vector<CsvRecord> &rows);

struct CsvProblem {
    int line = 0;
    QString reason; // in Spanish, for the user
};

// A CD the catalogue has that the file describes otherwise; the catalogue's is kept.
struct CsvChangedCd {
    int line = 0;
    qint64 cd = 0;
    QString reason;
};

struct CsvCheck {
    bool binary = false;
    qint64 rows = 0;         // rows of the file, the titles aside
    qint64 present = 0;      // rows whose program the catalogue already has
    qint64 badLines = 0;     // lines that cannot be stored
    qint64 problemCount = 0; // every reason, listed or not
    std::vector<CsvProblem> problems;
    qint64 changedCdCount = 0;
    std::vector<CsvChangedCd> changedCds;
    qint64 bareLineFeeds = 0; // rows with LF alone inside a field, stored as CR LF
};

// Every row of the file checked against the catalogue (when given) as importing it would;
// nothing is written. The options are taken as given, guessed where empty.
CsvCheck checkCatalogueCsv(Connection *connection, const QString &path, const CsvOptions &options,
                           const CsvProgress &progress = {});

struct CsvImported {
    qint64 programs = 0;
    std::vector<qint64> addedCds;
    qint64 skipped = 0;    // rows already in the catalogue, left out
    qint64 renumbered = 0; // rows added again under a new number
    CsvCheck check;        // what the rows were found to be
};

class CsvRejected : public std::exception {
public:
    CsvRejected(CsvCheck check)
        : check_(std::move(check)) {}
    const char *what() const noexcept override { return "CSV rejected"; }
    const std::vector<CsvProblem> &problems() const { return check_.problems; }
    const CsvCheck &check() const { return check_; }

private:
    CsvCheck check_;
};

// Reads the file again in pieces and stores its rows in one transaction: all of them or, on any
// bad line (CsvRejected), error of the file (DatabaseError, FileError) or cancel (CsvCancelled),
// none. A CD not in the catalogue is made from its first line: its description, date and comment
// when the file has those columns; otherwise as the Access import makes one, empty, dated at the
// date zero, with a note. CDs already there are left as they are. A row whose CD, name and version
// the catalogue has is skipped, or with CsvDuplicates::Add added again: under its own number when
// free, under a new one when that number is the very program it repeats. A program given no
// number gets the next one as the windows give one (one past the highest).
CsvImported importCatalogueCsv(Connection &connection, const QString &path,
                               const CsvOptions &options, const CsvProgress &progress = {});

} // namespace store
