#pragma once

#include "store/files/WorkingDirectory.h"

#include <QString>
#include <exception>
#include <functional>

// The catalogue as a report: one section per CD with its programs, as text ready to show. The
// same sections make the HTML file, the PDF and the printed pages.
namespace store {

class Connection;
class FileCalls;
class TableCursor;

struct ReportCd {
    qint64 number = 0;
    QString description;
    QString date; // in the user's short date format; empty when the CD has none
    QString comment;
};

struct ReportProgram {
    QString name;
    QString version;
    QString publisher;
    QString licence;
    QString year;
    QString link;
    QString comment;
};

class ReportSink {
public:
    virtual ~ReportSink() = default;
    virtual void cd(const ReportCd &cd) = 0;
    // One of the programs of the CD last given.
    virtual void program(const ReportProgram &program) = 0;
};

// Hands a report's sections to a sink; may be called more than once.
using ReportSource = std::function<void(ReportSink &)>;

// Told often how far an export has gone: `done` of `total` rows. Answering false stops it: the
// export then throws ExportCancelled and leaves no file.
using ExportProgress = std::function<bool(qint64 done, qint64 total)>;

class ExportCancelled : public std::exception {
public:
    const char *what() const noexcept override { return "export cancelled"; }
};

// Calls `progress` every so many rows, and throws ExportCancelled when it answers false.
class ProgressTicker {
public:
    ProgressTicker(const ExportProgress &progress, qint64 total)
        : progress_(progress)
        , total_(total) {}
    void row() {
        if (++done_ % 256 == 0)
            now();
    }
    void now() {
        if (progress_ && !progress_(done_, total_))
            throw ExportCancelled();
    }

private:
    const ExportProgress &progress_;
    qint64 total_;
    qint64 done_ = 0;
};

// Every CD by number, each with its programs by number; a CD without programs as well.
ReportSource wholeCatalogueReport(Connection &connection, ExportProgress progress = {});
// The view's visible rows, grouped by CD: CDs in the order their first row comes, programs in
// the view's order. The CDs' dates and comments come from the catalogue. Leaves the view where
// it was.
ReportSource queryReport(TableCursor &view, Connection &connection, ExportProgress progress = {});
// How many rows the whole catalogue's report or CSV goes through: a program each, and a CD
// without programs.
qint64 wholeCatalogueRows(Connection &connection);
// Every CD's four fields and its programs' own (number, name, version, publisher, licence, year,
// link, comment), a CD without programs once with those empty, by CD and program number.
QByteArray wholeCatalogueSql();

// A standalone HTML page (UTF-8) with the title, then a heading and a table per CD; readable on
// screen and printable. Written whole or not at all.
void writeReportHtml(const ReportSource &source, const QString &title, const FilePath &path,
                     FileCalls &files);

} // namespace store
