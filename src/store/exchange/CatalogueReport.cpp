#include "store/exchange/CatalogueReport.h"

#include "store/cursor/CursorSession.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "store/engine/Conversions.h"
#include "store/engine/Engine.h"
#include "store/files/ReplacementFile.h"
#include "store/schema/Schema.h"

#include <QLocale>
#include <unordered_map>

namespace store {

namespace {

namespace cds = schema::cds;
namespace programs = schema::programs;
namespace joined = schema::joined;

QString textAt(const engine::Statement &row, int column) {
    return row.string(column);
}

QString numberAt(const engine::Statement &row, int column) {
    return row.isNull(column) ? QString() : QString::number(row.int64(column));
}

QString dateAt(const engine::Statement &row, int column, const QString &format) {
    if (row.isNull(column) || row.holdsNumber(column))
        return {};
    const std::string_view text = row.text(column);
    const auto serial = isoToSerial(text.data(), int(text.size()));
    return serial ? serialToText(*serial, format) : textAt(row, column);
}

// The CD's four fields, "d.NroDisco, ..., d.Comentario ".
QByteArray cdColumns() {
    QByteArrayList columns;
    for (const char *field : cds::fields)
        columns.append(QByteArray("d.") + field);
    return columns.join(", ") + ' ';
}

ReportCd cdAt(const engine::Statement &row, const QString &dateFormat) {
    return {row.int64(0), textAt(row, 1), dateAt(row, 2, dateFormat), textAt(row, 3)};
}

QString viewText(const TableCursor &view, int row, int field) {
    const std::string_view bytes = view.utf8At(row, field);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

qint64 wholeCatalogueRows(Connection &connection) {
    CursorSession::of(connection).finishBackgroundRead();
    return engine::queryNumber(
        connection.handle(), QByteArray("SELECT (SELECT count(*) FROM ") + programs::table +
                                 ") + (SELECT count(*) FROM " + cds::table +
                                 " d WHERE NOT EXISTS "
                                 "(SELECT 1 FROM " +
                                 programs::table + " p WHERE p." + programs::fields[programs::Cd] +
                                 " = d." + cds::fields[cds::Number] + "))");
}

QByteArray wholeCatalogueSql() {
    QByteArray sql = "SELECT " + cdColumns();
    for (int f : {programs::Number, programs::Name, programs::Version, programs::Publisher,
                  programs::Licence, programs::Year, programs::Link, programs::Comment})
        sql += QByteArray(", p.") + programs::fields[f];
    return sql + " FROM " + cds::table + " d LEFT JOIN " + programs::table + " p ON p." +
           programs::fields[programs::Cd] + " = d." + cds::fields[cds::Number] + " ORDER BY d." +
           cds::fields[cds::Number] + ", p." + programs::fields[programs::Number];
}

ReportSource wholeCatalogueReport(Connection &connection, ExportProgress progress) {
    return [&connection, progress](ReportSink &sink) {
        ProgressTicker ticker(progress, progress ? wholeCatalogueRows(connection) : 0);
        CursorSession::of(connection).finishBackgroundRead();
        engine::Statement rows(connection.handle(), wholeCatalogueSql(), connection.dataSource());
        const engine::Statement &row = rows;
        const QString format = connection.dateFormat();
        std::optional<qint64> cd;
        while (rows.step()) {
            ticker.row();
            const qint64 number = rows.int64(0);
            if (cd != number) {
                cd = number;
                sink.cd(cdAt(row, format));
            }
            if (rows.isNull(4))
                continue; // a CD without programs
            sink.program({textAt(row, 5), textAt(row, 6), textAt(row, 7), textAt(row, 8),
                          numberAt(row, 9), textAt(row, 10), textAt(row, 11)});
        }
    };
}

ReportSource queryReport(TableCursor &view, Connection &connection, ExportProgress progress) {
    return [&view, &connection, progress](ReportSink &sink) {
        const int rows = view.RecordCount();
        ProgressTicker ticker(progress, rows);
        // Group the rows by CD without moving them: each row's group, then the groups in turn.
        std::unordered_map<qint64, int> groupOf;
        std::vector<qint64> groupCds;
        std::vector<int> rowGroup(static_cast<size_t>(rows));
        for (int row = 0; row < rows; ++row) {
            const auto [at, added] =
                groupOf.try_emplace(view.numberAt(row, joined::Cd), int(groupCds.size()));
            if (added)
                groupCds.push_back(at->first);
            rowGroup[size_t(row)] = at->second;
        }
        std::vector<int> starts(groupCds.size() + 1, 0);
        for (int group : rowGroup)
            ++starts[size_t(group) + 1];
        for (size_t g = 1; g < starts.size(); ++g)
            starts[g] += starts[g - 1];
        std::vector<int> ordered(static_cast<size_t>(rows));
        std::vector<int> next(starts.begin(), starts.end() - 1);
        for (int row = 0; row < rows; ++row)
            ordered[size_t(next[size_t(rowGroup[size_t(row)])]++)] = row;

        // The CDs' own fields, for the ones the rows are on.
        std::unordered_map<qint64, ReportCd> cdsShown;
        {
            CursorSession::of(connection).finishBackgroundRead();
            const QByteArray sql = "SELECT " + cdColumns() + "FROM " + cds::table + " d";
            engine::Statement read(connection.handle(), sql, connection.dataSource());
            const QString format = connection.dateFormat();
            while (read.step()) {
                const qint64 number = read.int64(0);
                if (groupOf.count(number))
                    cdsShown.emplace(number, cdAt(read, format));
            }
        }
        for (size_t group = 0; group < groupCds.size(); ++group) {
            const qint64 number = groupCds[group];
            const int first = ordered[size_t(starts[group])];
            if (auto known = cdsShown.find(number); known != cdsShown.end())
                sink.cd(known->second);
            else // a row whose CD is not in the catalogue: what the view says of it
                sink.cd({number, viewText(view, first, joined::CdDescription), {}, {}});
            for (int i = starts[group]; i < starts[group + 1]; ++i) {
                ticker.row();
                const int row = ordered[size_t(i)];
                sink.program(
                    {viewText(view, row, joined::Name), viewText(view, row, joined::Version),
                     viewText(view, row, joined::Publisher), viewText(view, row, joined::Licence),
                     view.valueAt(row, joined::Year).isValid()
                         ? QString::number(view.numberAt(row, joined::Year))
                         : QString(),
                     viewText(view, row, joined::Link), viewText(view, row, joined::Comment)});
            }
        }
    };
}

// HTML -----------------------------------------------------------------------------------------

namespace {

QByteArray escaped(const QString &text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return lines.toHtmlEscaped().toUtf8();
}

// Only addresses a browser opens as pages become links; anything else ("javascript:", a path)
// stays text.
bool linkable(const QString &link) {
    for (const char *scheme : {"http://", "https://", "ftp://"})
        if (link.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    return false;
}

const char kHead[] = R"(<!DOCTYPE html>
<html lang="es">
<head>
<meta charset="utf-8">
<meta name="generator" content="Vadrel">
<title>%1</title>
<style>
body { font-family: "Liberation Sans", Arial, sans-serif; margin: 2em; color: #111; }
h1 { font-size: 1.6em; margin-bottom: 0.2em; }
section { margin-top: 1.6em; }
h2 { font-size: 1.15em; border-bottom: 2px solid #567; margin-bottom: 0.3em; break-after: avoid; }
h2 .fecha { font-weight: normal; color: #555; }
p.nota, td.nota { white-space: pre-wrap; color: #333; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; vertical-align: top; padding: 0.2em 0.5em; border-bottom: 1px solid #ccc; }
th { background: #e8edf2; }
tr { break-inside: avoid; }
p.total { margin-top: 2em; color: #333; }
@media print { body { margin: 0; } a { color: inherit; text-decoration: none; } }
</style>
</head>
<body>
<h1>%1</h1>
)";

class HtmlReport : public ReportSink {
public:
    HtmlReport(ReplacementFile &file, const QString &title)
        : file_(file) {
        out_ = QString::fromUtf8(kHead).arg(title.toHtmlEscaped()).toUtf8();
    }
    void cd(const ReportCd &cd) override {
        endCd();
        ++cds_;
        out_ += "<section>\n<h2>CD " + QByteArray::number(cd.number);
        if (!cd.description.isEmpty())
            out_ += ": " + escaped(cd.description);
        if (!cd.date.isEmpty())
            out_ += " <span class=\"fecha\">(" + escaped(cd.date) + ")</span>";
        out_ += "</h2>\n";
        if (!cd.comment.trimmed().isEmpty())
            out_ += "<p class=\"nota\">" + escaped(cd.comment) + "</p>\n";
        inCd_ = true;
        programsInCd_ = 0;
    }
    void program(const ReportProgram &p) override {
        if (programsInCd_++ == 0)
            out_ += "<table>\n<thead><tr><th>Programa</th><th>Versión</th><th>Empresa</th>"
                    "<th>Licencia</th><th>Año</th><th>Link</th><th>Comentario</th></tr></thead>\n"
                    "<tbody>\n";
        ++programs_;
        out_ += "<tr><td>" + escaped(p.name) + "</td><td>" + escaped(p.version) + "</td><td>" +
                escaped(p.publisher) + "</td><td>" + escaped(p.licence) + "</td><td>" +
                escaped(p.year) + "</td><td>";
        if (linkable(p.link))
            out_ += "<a href=\"" + escaped(p.link) + "\">" + escaped(p.link) + "</a>";
        else
            out_ += escaped(p.link);
        out_ += "</td><td class=\"nota\">" + escaped(p.comment) + "</td></tr>\n";
        if (out_.size() >= kFlushAt) {
            file_.write(out_);
            out_.clear();
        }
    }
    void finish() {
        endCd();
        const QLocale locale;
        out_ += QStringLiteral("<p class=\"total\">%1 %2 en %3 %4.</p>\n</body>\n</html>\n")
                    .arg(locale.toString(programs_),
                         programs_ == 1 ? QStringLiteral("programa") : QStringLiteral("programas"),
                         locale.toString(cds_),
                         cds_ == 1 ? QStringLiteral("CD") : QStringLiteral("CDs"))
                    .toUtf8();
        file_.write(out_);
        out_.clear();
    }

private:
    static constexpr qsizetype kFlushAt = 1 << 20;
    void endCd() {
        if (!inCd_)
            return;
        out_ += programsInCd_ > 0 ? "</tbody>\n</table>\n</section>\n"
                                  : "<p>Sin programas.</p>\n</section>\n";
        inCd_ = false;
    }
    ReplacementFile &file_;
    QByteArray out_;
    bool inCd_ = false;
    qint64 programsInCd_ = 0;
    qint64 programs_ = 0;
    qint64 cds_ = 0;
};

} // namespace

void writeReportHtml(const ReportSource &source, const QString &title, const FilePath &path,
                     FileCalls &files) {
    ReplacementFile file(path, files);
    HtmlReport report(file, title);
    source(report);
    report.finish();
    file.commit();
}

} // namespace store
