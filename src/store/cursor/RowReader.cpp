#include "RowReader.h"

#include "Conversions.h"
#include "Schema.h"

#include <iterator>

#include <sqlite3.h>

namespace store {

namespace {

FieldKind kindFromDeclaredType(const char *declared) {
    const QByteArray type = QByteArray(declared ? declared : "").toUpper();
    if (type.contains("INT"))
        return FieldKind::Integer;
    if (type.contains("DATE") || type.contains("TIME"))
        return FieldKind::Date;
    if (type.contains("MEMO"))
        return FieldKind::Memo;
    return FieldKind::Text;
}

QByteArray quoted(const QString &identifier) {
    QString text = identifier;
    text.replace(u'"', QStringLiteral("\"\""));
    return ('"' + text + '"').toUtf8();
}

QByteArray collapsed(const QByteArray &sql) {
    return sql.simplified().toLower();
}

// The joined view as `vadrel-db init` writes it, and the same rows with the program number.
const QByteArray kJoinedFields = "p.NroDisco, d.DescripcionDisco, p.NombrePrograma, p.Version, "
                                 "p.Empresa, p.Licencia, p.Anio, p.Link, p.Comentario";
const QByteArray kJoinedFrom = " FROM Programas p LEFT JOIN Discos d ON d.NroDisco = p.NroDisco";

bool isOurJoinedView(const QString &name, const QByteArray &sql) {
    return collapsed(sql) ==
           collapsed("CREATE VIEW " + name.toUtf8() + " AS SELECT " + kJoinedFields + kJoinedFrom);
}

QVariant cellValue(sqlite3_stmt *stmt, int column, FieldKind kind) {
    if (sqlite3_column_type(stmt, column) == SQLITE_NULL)
        return {};
    switch (kind) {
    case FieldKind::Integer:
        return QVariant(qlonglong(sqlite3_column_int64(stmt, column)));
    case FieldKind::Date: {
        const char *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
        const auto serial = isoToSerial(text, sqlite3_column_bytes(stmt, column));
        return serial ? QVariant(qlonglong(*serial)) : QVariant(); // unreadable: shown empty
    }
    case FieldKind::Text:
    case FieldKind::Memo: {
        const char *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(stmt, column)));
    }
    }
    return {};
}

// The fields the program reads of its tables and view, by name, in the place it reads them.
struct Layout {
    const char *table;
    std::vector<const char *> fields;
};
template <size_t N> std::vector<const char *> names(const char *const (&fields)[N]) {
    return {std::begin(fields), std::end(fields)};
}
const Layout kLayouts[] = {
    {schema::cds::table, names(schema::cds::fields)},
    {schema::programs::table, names(schema::programs::fields)},
    {schema::joined::table, names(schema::joined::fields)},
};

// A table or view of another shape would be read by the wrong place: it is refused, naming
// the first field missing from its place. Fields after the program's own are allowed.
void checkLayout(const QString &tableName, const std::vector<FieldDef> &fields,
                 const QString &path) {
    for (const Layout &layout : kLayouts) {
        if (tableName.compare(QLatin1String(layout.table), Qt::CaseInsensitive) != 0)
            continue;
        for (size_t i = 0; i < layout.fields.size(); ++i) {
            const QString wanted = QLatin1String(layout.fields[i]);
            if (i >= fields.size() || fields[i].name.compare(wanted, Qt::CaseInsensitive) != 0)
                throw DatabaseError(
                    DatabaseError::Kind::Other,
                    QStringLiteral("%1 lacks %2 in place %3").arg(tableName, wanted).arg(i + 1),
                    path, DatabaseError::Cause::MissingField)
                    .about(tableName, wanted);
        }
    }
}

} // namespace

RowQuery describeRows(sqlite3 *db, const QString &path, const QString &tableName) {
    RowQuery query;
    query.tableName = tableName;
    QByteArray definition;
    {
        engine::Statement kind(
            db, "SELECT type, sql FROM sqlite_master WHERE name = ? COLLATE NOCASE", path);
        kind.bindText(1, tableName.toUtf8());
        if (kind.step()) {
            query.isView =
                QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(kind.get(), 0))) ==
                "view";
            definition =
                QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(kind.get(), 1)));
        }
    }
    if (query.isView && isOurJoinedView(tableName, definition)) {
        query.hiddenKey = true;
        query.selectAll = "SELECT " + kJoinedFields + ", p.NroPrograma" + kJoinedFrom;
        query.selectByKey = query.selectAll + " WHERE p.NroPrograma = ?";
    } else {
        query.selectAll = "SELECT * FROM " + quoted(tableName) +
                          (query.isView ? QByteArray() : QByteArray(" ORDER BY 1"));
    }
    // Preparing is what fails for a missing table or view.
    engine::Statement select(db, query.selectAll, path);
    sqlite3_stmt *stmt = select.get();
    const int count = sqlite3_column_count(stmt) - (query.hiddenKey ? 1 : 0);
    for (int i = 0; i < count; ++i)
        query.fields.push_back(FieldDef{QString::fromUtf8(sqlite3_column_name(stmt, i)),
                                        kindFromDeclaredType(sqlite3_column_decltype(stmt, i))});
    checkLayout(tableName, query.fields, path);
    if (!query.isView && !query.fields.empty() && query.fields[0].kind == FieldKind::Integer)
        query.selectByKey = "SELECT * FROM " + quoted(tableName) + " WHERE " +
                            quoted(query.fields[0].name) + " = ?";
    return query;
}

void readRows(engine::Statement &select, const RowQuery &query, Snapshot &rows,
              const std::atomic<bool> *stop, const Snapshot::Lender *lender) {
    sqlite3_stmt *stmt = select.get();
    const int count = int(query.fields.size());
    rows.reset(query.fields, query.hiddenKey);
    std::vector<FieldKind> kinds;
    std::vector<int> lent; // the lender's field of the same name, per field
    const bool lending = lender && lender->usable() && query.hiddenKey;
    for (const FieldDef &field : query.fields) {
        kinds.push_back(field.kind);
        lent.push_back(lending && field.kind != FieldKind::Integer && field.kind != FieldKind::Date
                           ? lender->fieldIndex(field.name)
                           : -1);
    }
    // Knowing the count first spares the columns growing (and the memory peak that comes with
    // it): a table counts fast from an index; the joined view has as many rows as the programs.
    if (lending) {
        rows.reserve(lender->rowCount());
    } else if (!query.isView) {
        sqlite3 *db = sqlite3_db_handle(stmt);
        engine::Statement count(db, "SELECT count(*) FROM " + quoted(query.tableName), QString());
        if (count.step())
            rows.reserve(int(std::min<qint64>(sqlite3_column_int64(count.get(), 0), INT32_MAX)));
    }
    int lenderRow = 0;
    while (select.step()) {
        if (stop && stop->load(std::memory_order_relaxed))
            throw DatabaseError(DatabaseError::Kind::Other, QStringLiteral("reading stopped"));
        int row = -1;
        if (lending) {
            row = lender->rowOfKey(sqlite3_column_int64(stmt, count), lenderRow);
            lenderRow = std::max(row, lenderRow);
        }
        for (int i = 0; i < count; ++i) {
            if (sqlite3_column_type(stmt, i) == SQLITE_NULL) {
                rows.appendNull(i);
                continue;
            }
            if (row >= 0 && lent[i] >= 0) {
                const char *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
                const int length = sqlite3_column_bytes(stmt, i);
                if (lender->utf8(row, lent[i]) == std::string_view(text, size_t(length))) {
                    rows.appendLentText(i, *lender, row, lent[i]);
                    continue;
                }
            }
            switch (kinds[i]) {
            case FieldKind::Integer:
                rows.appendNumber(i, sqlite3_column_int64(stmt, i));
                break;
            case FieldKind::Date: {
                const char *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
                const auto serial = isoToSerial(text, sqlite3_column_bytes(stmt, i));
                if (serial)
                    rows.appendNumber(i, *serial);
                else
                    rows.appendNull(i); // not a date we can read; shown empty
                break;
            }
            case FieldKind::Text:
            case FieldKind::Memo: {
                const char *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
                rows.appendText(i, text, sqlite3_column_bytes(stmt, i));
                break;
            }
            }
        }
        if (query.hiddenKey)
            rows.appendKey(sqlite3_column_int64(stmt, count));
    }
    rows.finishLoading();
}

std::optional<std::vector<QVariant>> readRowByKey(engine::Statement &selectByKey,
                                                  const RowQuery &query, qint64 key) {
    selectByKey.reset();
    selectByKey.bindInt(1, key);
    if (!selectByKey.step())
        return std::nullopt;
    std::vector<QVariant> values;
    for (size_t i = 0; i < query.fields.size(); ++i)
        values.push_back(cellValue(selectByKey.get(), int(i), query.fields[i].kind));
    return values;
}

} // namespace store
