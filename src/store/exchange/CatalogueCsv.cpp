#include "CatalogueCsv.h"

#include "Connection.h"
#include "Conversions.h"
#include "CursorSession.h"
#include "Engine.h"
#include "FileError.h"
#include "ReplacementFile.h"
#include "Schema.h"
#include "TableCursor.h"
#include "Windows1252.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <cerrno>
#include <charconv>
#include <set>

namespace store {

namespace {

namespace cds = schema::cds;
namespace programs = schema::programs;
namespace joined = schema::joined;

// The header of our own files; what each column holds is guessed from it when read back.
const char16_t *const kHeadings[] = {
    u"Nro. CD", u"Descripción CD", u"Fecha",    u"Comentario CD", u"Nro. programa", u"Programa",
    u"Versión", u"Empresa",        u"Licencia", u"Año",           u"Link",          u"Comentario"};
constexpr int kColumns = int(std::size(kHeadings));

// A byte order mark: Excel reads UTF-8 only with it, and LibreOffice's import dialog then
// proposes UTF-8 by itself. Reading skips it.
const char kBom[] = "\xEF\xBB\xBF";

// Fills a buffer and hands it to the file in large pieces.
class CsvWriter {
public:
    // Without a file, it only gathers fields for take().
    explicit CsvWriter(ReplacementFile *file = nullptr)
        : file_(file) {
        if (file_) {
            buffer_.reserve(kFlushAt + 4096);
            buffer_.append(kBom);
        }
    }
    void heading(std::initializer_list<int> columns) {
        for (int column : columns)
            text(QString::fromUtf16(kHeadings[column]).toUtf8());
        endRow();
    }
    void none() { separate(); }
    void text(std::string_view bytes) {
        separate();
        if (bytes.empty()) {
            buffer_.append("\"\"", 2);
            return;
        }
        if (bytes.find_first_of(",\"\r\n") == std::string_view::npos) {
            buffer_.append(bytes.data(), qsizetype(bytes.size()));
            return;
        }
        buffer_.append('"');
        for (char c : bytes) {
            if (c == '"')
                buffer_.append('"');
            buffer_.append(c);
        }
        buffer_.append('"');
    }
    void text(const QByteArray &bytes) { text(std::string_view(bytes.data(), bytes.size())); }
    void number(qint64 value) {
        separate();
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        buffer_.append(digits, end - digits);
    }
    // Bytes already in CSV form, a run of whole fields.
    void raw(const QByteArray &fields) {
        separate();
        buffer_.append(fields);
    }
    void endRow() {
        buffer_.append("\r\n", 2);
        first_ = true;
        if (file_ && buffer_.size() >= kFlushAt) {
            file_->write(buffer_);
            buffer_.clear();
        }
    }
    void finish() {
        file_->write(buffer_);
        buffer_.clear();
    }
    QByteArray take() {
        QByteArray taken = buffer_;
        buffer_.clear();
        first_ = true;
        return taken;
    }

private:
    static constexpr qsizetype kFlushAt = 1 << 20;
    void separate() {
        if (!first_)
            buffer_.append(',');
        first_ = false;
    }
    ReplacementFile *file_;
    QByteArray buffer_;
    bool first_ = true;
};

void writeColumn(CsvWriter &out, const engine::Statement &row, int column) {
    if (row.isNull(column))
        out.none();
    else if (row.holdsNumber(column))
        out.number(row.int64(column));
    else
        out.text(row.text(column));
}

// A stored date in the form the file keeps (what isoToSerial reads); anything else as it is.
void writeDate(CsvWriter &out, const engine::Statement &row, int column) {
    if (row.isNull(column) || row.holdsNumber(column))
        return writeColumn(out, row, column);
    const std::string_view stored = row.text(column);
    const auto serial = isoToSerial(stored.data(), int(stored.size()));
    out.text(serial ? serialToIso(*serial) : QByteArray(stored.data(), stored.size()));
}

QByteArray sqlName(const char *alias, const char *field) {
    return QByteArray(alias) + '.' + field;
}

} // namespace

void writeCatalogueCsv(Connection &connection, const FilePath &path, FileCalls &files) {
    using namespace schema;
    QByteArray sql = "SELECT ";
    for (const char *field : cds::fields)
        sql += sqlName("d", field) + ", ";
    for (int f = programs::Number; f <= programs::Comment; ++f)
        if (f != programs::Cd)
            sql += sqlName("p", programs::fields[f]) + (f == programs::Comment ? " " : ", ");
    sql += QByteArray("FROM ") + cds::table + " d LEFT JOIN " + programs::table + " p ON " +
           sqlName("p", programs::fields[programs::Cd]) + " = " +
           sqlName("d", cds::fields[cds::Number]) + " ORDER BY " +
           sqlName("d", cds::fields[cds::Number]) + ", " +
           sqlName("p", programs::fields[programs::Number]);

    CursorSession::of(connection).finishBackgroundRead();
    engine::Statement rows(connection.handle(), sql, connection.dataSource());
    const engine::Statement &row = rows;
    ReplacementFile file(path, files);
    CsvWriter out(&file);
    out.heading({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    // The CD's four fields repeat on each of its programs: they are put in CSV form once.
    QByteArray cdFields;
    std::optional<qint64> cd;
    while (rows.step()) {
        const qint64 number = rows.int64(0);
        if (cd != number) {
            cd = number;
            CsvWriter piece;
            piece.number(number);
            writeColumn(piece, row, 1);
            writeDate(piece, row, 2);
            writeColumn(piece, row, 3);
            cdFields = piece.take();
        }
        out.raw(cdFields);
        for (int column = 4; column < kColumns; ++column)
            writeColumn(out, row, column);
        out.endRow();
    }
    out.finish();
    file.commit();
}

void writeCatalogueCsv(TableCursor &view, const FilePath &path, FileCalls &files) {
    using namespace joined;
    ReplacementFile file(path, files);
    CsvWriter out(&file);
    out.heading({0, 1, 5, 6, 7, 8, 9, 10, 11});
    view.GoFirst();
    const int rows = view.visibleCount();
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
    out.finish();
    file.commit();
    view.GoLast();
}

// Reading -------------------------------------------------------------------------------------

std::optional<int> CsvMapping::position(CsvColumn column) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i] == column)
            return int(i);
    return std::nullopt;
}

namespace {

// Lower case, without accents, blanks or punctuation: "Nro. CD" and "nro cd" are the same.
QString folded(const QString &heading) {
    QString out;
    for (QChar c : heading.normalized(QString::NormalizationForm_D))
        if (c.isLetterOrNumber())
            out += c.toLower();
    return out;
}

struct Alias {
    const char *folded;
    CsvColumn column;
};
// Spreadsheets' usual names, Spanish and English, after the headings we write and the fields'
// own names.
const Alias kAliases[] = {
    {"cd", CsvColumn::CdNumber},
    {"disco", CsvColumn::CdNumber},
    {"numerocd", CsvColumn::CdNumber},
    {"numerodisco", CsvColumn::CdNumber},
    {"cdnumber", CsvColumn::CdNumber},
    {"descripcion", CsvColumn::CdDescription},
    {"description", CsvColumn::CdDescription},
    {"cddescription", CsvColumn::CdDescription},
    {"fechacd", CsvColumn::CdDate},
    {"date", CsvColumn::CdDate},
    {"cddate", CsvColumn::CdDate},
    {"comentariodisco", CsvColumn::CdComment},
    {"cdcomment", CsvColumn::CdComment},
    {"numeroprograma", CsvColumn::ProgramNumber},
    {"programnumber", CsvColumn::ProgramNumber},
    {"nombre", CsvColumn::Name},
    {"name", CsvColumn::Name},
    {"program", CsvColumn::Name},
    {"programname", CsvColumn::Name},
    {"editor", CsvColumn::Publisher},
    {"publisher", CsvColumn::Publisher},
    {"fabricante", CsvColumn::Publisher},
    {"company", CsvColumn::Publisher},
    {"license", CsvColumn::Licence},
    {"licence", CsvColumn::Licence},
    {"ano", CsvColumn::Year},
    {"year", CsvColumn::Year},
    {"url", CsvColumn::Link},
    {"enlace", CsvColumn::Link},
    {"web", CsvColumn::Link},
    {"comentarios", CsvColumn::Comment},
    {"comment", CsvColumn::Comment},
    {"comments", CsvColumn::Comment},
    {"notas", CsvColumn::Comment},
    {"notes", CsvColumn::Comment},
};

std::vector<std::pair<QString, CsvColumn>> knownHeadings() {
    std::vector<std::pair<QString, CsvColumn>> known;
    for (int column = 0; column < kColumns; ++column)
        known.emplace_back(folded(QString::fromUtf16(kHeadings[column])), CsvColumn(column));
    const CsvColumn programColumns[] = {
        CsvColumn::ProgramNumber, CsvColumn::CdNumber,  CsvColumn::Name,
        CsvColumn::Version,       CsvColumn::Publisher, CsvColumn::Licence,
        CsvColumn::Year,          CsvColumn::Link,      CsvColumn::Comment};
    for (int f = programs::Number; f <= programs::Comment; ++f)
        known.emplace_back(folded(schema::field(programs::Field(f))), programColumns[f]);
    known.emplace_back(folded(schema::field(cds::Description)), CsvColumn::CdDescription);
    known.emplace_back(folded(schema::field(cds::Date)), CsvColumn::CdDate);
    for (const Alias &alias : kAliases)
        known.emplace_back(QString::fromLatin1(alias.folded), alias.column);
    return known;
}

QString decoded(QByteArray bytes) {
    if (bytes.startsWith(kBom))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    // Spreadsheets on Windows save "CSV" in the system's code page.
    return utf8.hasError() ? fromWindows1252(bytes) : text;
}

char guessSeparator(const QString &text) {
    int commas = 0, semicolons = 0;
    bool quoted = false;
    for (QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u'\n' || c == u'\r'))
            break;
        else if (!quoted && c == u',')
            ++commas;
        else if (!quoted && c == u';')
            ++semicolons;
    }
    return semicolons > commas ? ';' : ',';
}

std::vector<CsvRecord> records(const QString &text, QChar separator) {
    std::vector<CsvRecord> read;
    const qsizetype n = text.size();
    qsizetype i = 0;
    int line = 1;
    auto endOfLine = [&](qsizetype at) { return text[at] == u'\r' || text[at] == u'\n'; };
    while (i < n) {
        if (endOfLine(i)) { // a blank line
            if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            ++i;
            ++line;
            continue;
        }
        CsvRecord record;
        record.line = line;
        for (;;) {
            CsvField field;
            if (i < n && text[i] == u'"') {
                field.quoted = true;
                bool closed = false;
                for (++i; i < n; ++i) {
                    if (text[i] == u'"') {
                        if (i + 1 < n && text[i + 1] == u'"') {
                            field.text += u'"';
                            ++i;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (text[i] == u'\n')
                        ++line;
                    field.text += text[i];
                }
                if (!closed) {
                    record.fault = QStringLiteral("comillas sin cerrar");
                } else if (i < n && text[i] != separator && !endOfLine(i)) {
                    record.fault = QStringLiteral("texto después de las comillas que cierran");
                    while (i < n && !endOfLine(i))
                        ++i;
                }
            } else {
                const qsizetype start = i;
                while (i < n && text[i] != separator && !endOfLine(i))
                    ++i;
                field.text = text.mid(start, i - start);
            }
            record.fields.push_back(std::move(field));
            if (i < n && text[i] == separator) {
                ++i;
                continue;
            }
            if (i < n && text[i] == u'\r')
                ++i;
            if (i < n && text[i] == u'\n')
                ++i;
            ++line;
            break;
        }
        read.push_back(std::move(record));
    }
    return read;
}

} // namespace

CsvMapping guessCsvMapping(const QStringList &header) {
    static const auto known = knownHeadings();
    CsvMapping mapping;
    for (const QString &heading : header) {
        const QString name = folded(heading);
        std::optional<CsvColumn> column;
        for (const auto &[knownName, knownColumn] : known) {
            // A second column of the same meaning is not ours: the first one counts.
            if (knownName == name && !mapping.position(knownColumn)) {
                column = knownColumn;
                break;
            }
        }
        mapping.columns.push_back(column);
    }
    return mapping;
}

CsvFile readCatalogueCsv(const QByteArray &bytes) {
    const QString text = decoded(bytes);
    CsvFile file;
    file.separator = guessSeparator(text);
    file.rows = records(text, QChar::fromLatin1(file.separator));
    if (!file.rows.empty()) {
        for (const CsvField &field : file.rows.front().fields)
            file.header << field.text.trimmed();
        file.rows.erase(file.rows.begin());
    }
    file.mapping = guessCsvMapping(file.header);
    return file;
}

CsvFile readCatalogueCsvFile(const QString &path) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw FileError::fromErrno(errno ? errno : EIO, path);
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        throw FileError::fromErrno(EIO, path);
    return readCatalogueCsv(bytes);
}

// Checking and storing ------------------------------------------------------------------------

namespace {

const CsvColumn kProgramColumns[] = {
    CsvColumn::ProgramNumber, CsvColumn::Name, CsvColumn::Version, CsvColumn::Publisher,
    CsvColumn::Licence,       CsvColumn::Year, CsvColumn::Link,    CsvColumn::Comment};

// A record's fields by meaning; a column the file lacks reads as no value.
class Values {
public:
    Values(const CsvRecord &record, const CsvMapping &mapping)
        : record_(record)
        , mapping_(mapping) {}
    bool has(CsvColumn column) const { return mapping_.position(column).has_value(); }
    const CsvField &operator[](CsvColumn column) const {
        static const CsvField nothing;
        const auto at = mapping_.position(column);
        return at && size_t(*at) < record_.fields.size() ? record_.fields[*at] : nothing;
    }
    // False for the line of a CD without programs.
    bool hasProgram() const {
        for (CsvColumn column : kProgramColumns)
            if (!(*this)[column].empty())
                return true;
        return false;
    }

private:
    const CsvRecord &record_;
    const CsvMapping &mapping_;
};

// Why the text is not a whole number the store takes, or nothing when it is.
std::optional<QString> numberFault(const QString &text) {
    if (parseWholeNumber(text))
        return std::nullopt;
    static const QRegularExpression digits(QStringLiteral("^ *[+-]?[0-9]+$"));
    if (digits.match(text).hasMatch())
        return QStringLiteral("«%1» está fuera del rango de los números enteros "
                              "(de -2147483648 a 2147483647)")
            .arg(text);
    return QStringLiteral("«%1» no es un número entero").arg(text);
}

std::optional<QString> licenceNamed(const QString &text) {
    for (const QString &licence : schema::licences())
        if (licence.compare(text.trimmed(), Qt::CaseInsensitive) == 0)
            return licence;
    return std::nullopt;
}

// As stored; the short date format too, as a spreadsheet in Spanish saves dates.
std::optional<DateSerial> dateValue(const QString &text) {
    const QByteArray latin = text.trimmed().toLatin1();
    if (auto serial = isoToSerial(latin.constData(), int(latin.size())))
        return serial;
    return textToSerial(text.trimmed(), shortDateFormat());
}

// The catalogue keeps lines separated by CR LF; a spreadsheet may have written LF alone.
QString storedLines(const QString &text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
            out += u'\r';
        out += text[i];
    }
    return out;
}

QString heading(CsvColumn column) {
    return QString::fromUtf16(kHeadings[int(column)]);
}

} // namespace

std::vector<CsvProblem> checkCsvRows(const std::vector<CsvRecord> &rows,
                                     const CsvMapping &mapping) {
    std::vector<CsvProblem> problems;
    if (!mapping.position(CsvColumn::CdNumber)) {
        problems.push_back({1, QStringLiteral("falta la columna del número de CD («%1»)")
                                   .arg(heading(CsvColumn::CdNumber))});
        return problems;
    }
    for (const CsvRecord &record : rows) {
        auto bad = [&](const QString &reason) { problems.push_back({record.line, reason}); };
        if (!record.fault.isEmpty()) {
            bad(record.fault);
            continue;
        }
        if (record.fields.size() != mapping.columns.size()) {
            bad(QStringLiteral("tiene %1 campos y el encabezado %2")
                    .arg(record.fields.size())
                    .arg(mapping.columns.size()));
            continue;
        }
        const Values values(record, mapping);
        auto number = [&](CsvColumn column) {
            const CsvField &field = values[column];
            if (field.text.isEmpty())
                return;
            if (auto fault = numberFault(field.text))
                bad(heading(column) + QStringLiteral(": ") + *fault);
        };
        if (values[CsvColumn::CdNumber].text.isEmpty())
            bad(QStringLiteral("falta el número de CD"));
        number(CsvColumn::CdNumber);
        number(CsvColumn::ProgramNumber);
        number(CsvColumn::Year);
        const QString &date = values[CsvColumn::CdDate].text;
        if (!date.isEmpty() && !dateValue(date))
            bad(QStringLiteral("la fecha «%1» no es válida (se espera aaaa-mm-dd)").arg(date));
        const QString &licence = values[CsvColumn::Licence].text;
        if (!licence.isEmpty() && !licenceNamed(licence))
            bad(QStringLiteral("la licencia «%1» no es ninguna de %2")
                    .arg(licence, schema::licences().join(QStringLiteral(", "))));
        if (values.hasProgram() && values[CsvColumn::Name].empty())
            bad(QStringLiteral("falta el nombre del programa"));
    }
    return problems;
}

CsvImported importCatalogueCsv(Connection &connection, const std::vector<CsvRecord> &rows,
                               const CsvMapping &mapping) {
    if (auto problems = checkCsvRows(rows, mapping); !problems.empty())
        throw CsvRejected(std::move(problems));

    using namespace schema;
    // The background read holds a read lock that the write would wait for.
    CursorSession::of(connection).finishBackgroundRead();
    engine::Database *db = connection.handle();
    const QString path = connection.dataSource();
    engine::WriteTransaction transaction(db, path);
    auto query = [&](const char *field, const char *table) {
        return QByteArray("SELECT 1 FROM ") + table + " WHERE " + field + " = ?";
    };
    engine::Statement cdThere(db, query(cds::fields[cds::Number], cds::table), path);
    engine::Statement programThere(db, query(programs::fields[programs::Number], programs::table),
                                   path);
    engine::Statement addCd(db, insertSql(cds::table, 4), path);
    engine::Statement addProgram(db, insertSql(programs::table, 9), path);
    engine::Statement highest(db,
                              QByteArray("SELECT max(") + programs::fields[programs::Number] +
                                  ") FROM " + programs::table,
                              path);
    highest.step();
    qint64 next = highest.int64(0) + 1;

    auto bindText = [](engine::Statement &statement, int index, const CsvField &field,
                       bool lines = false) {
        if (field.empty())
            statement.bindNull(index);
        else
            statement.bindText(index, (lines ? storedLines(field.text) : field.text).toUtf8());
    };
    auto taken = [](engine::Statement &statement, qint64 number) {
        statement.reset();
        statement.bindInt(1, number);
        return statement.step();
    };

    CsvImported imported;
    std::set<qint64> knownCds;
    for (const CsvRecord &record : rows) {
        const Values values(record, mapping);
        const qint64 cd = *parseWholeNumber(values[CsvColumn::CdNumber].text);
        if (knownCds.insert(cd).second && !taken(cdThere, cd)) {
            addCd.reset();
            addCd.bindInt(1, cd);
            if (values.has(CsvColumn::CdDescription))
                bindText(addCd, 2, values[CsvColumn::CdDescription]);
            else
                addCd.bindText(2, QByteArray(""));
            if (!values.has(CsvColumn::CdDate))
                addCd.bindText(3, serialToIso(0));
            else if (const QString &date = values[CsvColumn::CdDate].text; date.isEmpty())
                addCd.bindNull(3);
            else
                addCd.bindText(3, serialToIso(*dateValue(date)));
            if (values.has(CsvColumn::CdComment))
                bindText(addCd, 4, values[CsvColumn::CdComment], true);
            else
                addCd.bindText(4, QStringLiteral("Añadido al importar un CSV: tenía programas "
                                                 "en este CD, pero no el CD.")
                                      .toUtf8());
            addCd.step();
            imported.addedCds.push_back(cd);
        }
        if (!values.hasProgram())
            continue;
        const QString &given = values[CsvColumn::ProgramNumber].text;
        qint64 number;
        if (!given.isEmpty() && !taken(programThere, *parseWholeNumber(given)))
            number = *parseWholeNumber(given);
        else
            number = next;
        next = std::max(next, number + 1);
        addProgram.reset();
        addProgram.bindInt(1, number);
        addProgram.bindInt(2, cd);
        addProgram.bindText(3, values[CsvColumn::Name].text.toUtf8());
        bindText(addProgram, 4, values[CsvColumn::Version]);
        bindText(addProgram, 5, values[CsvColumn::Publisher]);
        if (const QString &licence = values[CsvColumn::Licence].text; licence.isEmpty())
            bindText(addProgram, 6, values[CsvColumn::Licence]);
        else
            addProgram.bindText(6, licenceNamed(licence)->toUtf8());
        if (const QString &year = values[CsvColumn::Year].text; year.isEmpty())
            addProgram.bindNull(7);
        else
            addProgram.bindInt(7, *parseWholeNumber(year));
        bindText(addProgram, 8, values[CsvColumn::Link]);
        bindText(addProgram, 9, values[CsvColumn::Comment], true);
        addProgram.step();
        ++imported.programs;
    }
    transaction.commit();
    return imported;
}

} // namespace store
