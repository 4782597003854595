#include "store/cursor/RowReader.h"

#include "store/engine/Conversions.h"
#include "store/schema/Schema.h"

#include <QHash>
#include <iterator>
#include <string>
#include <unordered_map>

namespace store {

namespace {

FieldKind kindFromDeclaredType(const QByteArray &declared) {
    const QByteArray type = declared.toUpper();
    if (type.contains("INT"))
        return FieldKind::Integer;
    if (type.contains("DATE") || type.contains("TIME"))
        return FieldKind::Date;
    if (type.contains("MEMO"))
        return FieldKind::Memo;
    return FieldKind::Text;
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

QVariant cellValue(const engine::Statement &row, int column, FieldKind kind) {
    if (row.isNull(column))
        return {};
    switch (kind) {
    case FieldKind::Integer:
        return QVariant(qlonglong(row.int64(column)));
    case FieldKind::Date: {
        const std::string_view text = row.text(column);
        const auto serial = isoToSerial(text.data(), int(text.size()));
        return serial ? QVariant(qlonglong(*serial)) : QVariant(); // unreadable: shown empty
    }
    case FieldKind::Text:
    case FieldKind::Memo:
        return QVariant(row.string(column));
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

const Layout *layoutOf(const QString &tableName) {
    for (const Layout &layout : kLayouts)
        if (tableName.compare(QLatin1String(layout.table), Qt::CaseInsensitive) == 0)
            return &layout;
    return nullptr;
}

// A server folds the names it was given to lower case; the program's own fields keep the
// spelling it uses.
QString spelled(const QString &name, const Layout *layout) {
    if (layout)
        for (const char *field : layout->fields)
            if (name.compare(QLatin1String(field), Qt::CaseInsensitive) == 0)
                return QLatin1String(field);
    return name;
}

// What a server's catalogue says of a table or view: whether it is a view, and the type each
// field was declared with (the domains "fecha" and "memo" included), by lower-case name. One
// query of the server's own catalogue, which answers far faster than information_schema.
struct ServerShape {
    bool isView = false;
    QHash<QString, QByteArray> types;
};
ServerShape serverShape(engine::Database *db, const QString &path, const QString &tableName) {
    ServerShape shape;
    engine::Statement columns(
        db,
        "SELECT c.relkind, a.attname, t.typname FROM pg_class c JOIN pg_attribute a ON "
        "a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped JOIN pg_type t ON t.oid = "
        "a.atttypid WHERE c.relname = lower(?) AND c.relnamespace = current_schema()::regnamespace",
        path);
    columns.bindText(1, tableName.toUtf8());
    while (columns.step()) {
        shape.isView = columns.text(0) == "v";
        const QByteArray type(columns.text(2).data(), qsizetype(columns.text(2).size()));
        shape.types.insert(columns.string(1), type == "fecha" ? QByteArray("DATE") : type);
    }
    return shape;
}

// Whether the table is a view, and whether it is the joined view as we make it. A server's
// catalogue is only ever made by `vadrel-db init --servidor`, so its view is ours; its tables
// are read by the program's fields only (they hold a change counter besides).
void describeKind(engine::Database *db, const QString &path, RowQuery &query,
                  const ServerShape &shape) {
    if (db->engine() == engine::Database::Engine::Server) {
        query.isView = shape.isView;
        query.hiddenKey = query.isView && layoutOf(query.tableName) == &kLayouts[2];
        return;
    }
    engine::Statement kind(db, "SELECT type, sql FROM sqlite_master WHERE name = ? COLLATE NOCASE",
                           path);
    kind.bindText(1, query.tableName.toUtf8());
    if (kind.step()) {
        query.isView = kind.text(0) == "view";
        query.hiddenKey =
            query.isView &&
            isOurJoinedView(query.tableName,
                            QByteArray(kind.text(1).data(), qsizetype(kind.text(1).size())));
    }
}

// Each CD's description by number, null ones included, for the joined view read without its
// join.
using Description = std::optional<std::string>;
using Descriptions = std::unordered_map<qint64, Description>;
Descriptions readDescriptions(engine::Database *db, const QByteArray &sql) {
    Descriptions descriptions;
    engine::Statement cds(db, sql);
    while (cds.step()) {
        const std::optional<std::string_view> text = cds.textOrNull(1);
        descriptions.emplace(cds.int64(0), text ? Description(std::string(*text)) : Description());
    }
    return descriptions;
}

} // namespace

RowQuery describeRows(engine::Database *db, const QString &path, const QString &tableName) {
    RowQuery query;
    query.tableName = tableName;
    const ServerShape shape = db->engine() == engine::Database::Engine::Server
                                  ? serverShape(db, path, tableName)
                                  : ServerShape();
    describeKind(db, path, query, shape);
    const Layout *layout = layoutOf(tableName);
    if (query.hiddenKey) {
        query.hiddenKey = true;
        query.selectAll = "SELECT " + kJoinedFields + ", p.NroPrograma" + kJoinedFrom;
        query.selectByKey = query.selectAll + " WHERE p.NroPrograma = ?";
        // A file gives the rows in the programs' order by itself; a server joins as it likes,
        // and only rows in key order can be patched.
        if (db->engine() == engine::Database::Engine::Server) {
            query.selectAll += " ORDER BY p.NroPrograma";
        } else {
            // Only a file's: a server's join is a hash join, and a reading on a server outside a
            // transaction would see the CDs at another moment than the programs.
            QByteArray unjoined = kJoinedFields;
            unjoined.replace("d.DescripcionDisco", "NULL");
            query.selectAll = "SELECT " + unjoined + ", p.NroPrograma FROM Programas p";
            query.selectDescriptions = "SELECT NroDisco, DescripcionDisco FROM Discos";
        }
        // The queries page shows it by CD first, ties in the programs' order (a program's CD is
        // never empty, so where an engine puts nulls does not matter).
        query.selectFirst = "SELECT " + kJoinedFields + ", p.NroPrograma" + kJoinedFrom +
                            " ORDER BY p.NroDisco, p.NroPrograma LIMIT " +
                            QByteArray::number(kFirstRows);
        query.firstOrder = schema::field(schema::joined::Cd);
    } else {
        QByteArray fields = "*";
        if (layout && db->engine() == engine::Database::Engine::Server) {
            fields.clear();
            for (const char *field : layout->fields)
                fields += (fields.isEmpty() ? "" : ", ") + QByteArray(field);
        }
        query.selectAll = "SELECT " + fields + " FROM " + db->quoted(tableName) +
                          (query.isView ? QByteArray() : QByteArray(" ORDER BY 1"));
        // A view of another making has no order to show the first rows in.
        if (!query.isView)
            query.selectFirst = query.selectAll + " LIMIT " + QByteArray::number(kFirstRows);
    }
    // Preparing is what fails for a missing table or view; the join names the view's fields.
    engine::Statement select(db, query.hiddenKey ? query.selectByKey : query.selectAll, path);
    const QHash<QString, QByteArray> &declared = shape.types;
    const int count = select.columnCount() - (query.hiddenKey ? 1 : 0);
    for (int i = 0; i < count; ++i) {
        const QString name = select.columnName(i);
        query.fields.push_back(
            FieldDef{spelled(name, layout),
                     kindFromDeclaredType(declared.value(name.toLower(), select.declaredType(i)))});
    }
    checkLayout(tableName, query.fields, path);
    if (!query.selectDescriptions.isEmpty()) {
        query.cdField = schema::joined::Cd;
        query.descriptionField = schema::joined::CdDescription;
    }
    if (!query.isView && !query.fields.empty() && query.fields[0].kind == FieldKind::Integer) {
        const qsizetype order = query.selectAll.lastIndexOf(" ORDER BY 1");
        query.selectByKey =
            query.selectAll.left(order) + " WHERE " + db->quoted(query.fields[0].name) + " = ?";
    }
    return query;
}

void readRows(engine::Database *db, engine::Statement &select, const RowQuery &query,
              Snapshot &rows, const ReadOptions &options) {
    const std::atomic<bool> *stop = options.stop;
    const Snapshot::Lender *lender = options.lender;
    const int count = int(query.fields.size());
    rows.reset(query.fields, query.hiddenKey);
    std::vector<FieldKind> kinds;
    std::vector<int> lent; // the lender's field of the same name, per field
    const bool lending = lender && lender->usable() && query.hiddenKey;
    for (const FieldDef &field : query.fields) {
        kinds.push_back(field.kind);
        int same = -1;
        if (lending && field.kind == FieldKind::Integer)
            same = lender->numberFieldIndex(field.name);
        else if (lending && field.kind != FieldKind::Date)
            same = lender->fieldIndex(field.name);
        lent.push_back(same);
    }
    // Knowing the count first spares the columns growing (and the memory peak that comes with
    // it): a table counts fast from an index; the joined view has as many rows as the programs.
    qint64 expected = -1;
    if (lending)
        expected = lender->rowCount();
    else if (!query.isView && options.countFirst)
        expected = std::min<qint64>(
            engine::queryNumber(db, "SELECT count(*) FROM " + db->quoted(query.tableName)),
            INT32_MAX);
    if (expected >= 0)
        rows.reserve(int(expected));
    ReadProgress *progress = options.progress;
    if (progress)
        progress->expected.store(expected, std::memory_order_relaxed);
    int lenderRow = 0;
    qint64 read = 0;
    bool more = select.step();
    // Read once the rows' statement has begun: its read transaction then holds the CDs too.
    const Descriptions descriptions =
        more && !options.firstRows && !query.selectDescriptions.isEmpty()
            ? readDescriptions(db, query.selectDescriptions)
            : Descriptions();
    const Description *description = nullptr;
    qint64 descriptionOf = 0;
    for (; more; more = select.step()) {
        if (stop && stop->load(std::memory_order_relaxed))
            throw DatabaseError(DatabaseError::Kind::Other, QStringLiteral("reading stopped"));
        if (progress && (++read & 0x3fff) == 0)
            progress->read.store(read, std::memory_order_relaxed);
        int row = -1;
        if (lending) {
            row = lender->rowOfKey(select.int64(count), lenderRow);
            lenderRow = std::max(row, lenderRow);
        }
        for (int i = 0; i < count; ++i) {
            if (kinds[i] == FieldKind::Integer) {
                const std::optional<qint64> number = select.int64OrNull(i);
                if (row >= 0 && lent[i] >= 0 && lender->holds(row, lent[i], number))
                    rows.appendLentNumber(i, *lender, row, lent[i]);
                else if (number)
                    rows.appendNumber(i, *number);
                else
                    rows.appendNull(i);
                continue;
            }
            std::optional<std::string_view> text;
            if (i != query.descriptionField || descriptions.empty()) {
                text = select.textOrNull(i);
            } else {
                // A program without a CD joins none.
                const std::optional<qint64> cd = select.int64OrNull(query.cdField);
                if (!cd) {
                    description = nullptr;
                } else if (!description || *cd != descriptionOf) {
                    const auto found = descriptions.find(*cd);
                    description = found == descriptions.end() ? nullptr : &found->second;
                    descriptionOf = *cd;
                }
                if (description && description->has_value())
                    text = **description;
            }
            if (row >= 0 && lent[i] >= 0 &&
                (text ? lender->utf8(row, lent[i]) == *text && !lender->isNull(row, lent[i])
                      : lender->isNull(row, lent[i]))) {
                rows.appendLentText(i, *lender, row, lent[i]);
                continue;
            }
            if (!text) {
                rows.appendNull(i);
            } else if (kinds[i] == FieldKind::Date) {
                const auto serial = isoToSerial(text->data(), int(text->size()));
                if (serial)
                    rows.appendNumber(i, *serial);
                else
                    rows.appendNull(i); // not a date we can read; shown empty
            } else {
                rows.appendText(i, text->data(), int(text->size()));
            }
        }
        if (query.hiddenKey && row >= 0)
            rows.appendLentKey(*lender, row); // the lender's row has this key
        else if (query.hiddenKey)
            rows.appendKey(select.int64(count));
    }
    rows.finishLoading();
    if (progress)
        progress->read.store(rows.rowCount(), std::memory_order_relaxed);
}

std::optional<std::vector<QVariant>> readRowByKey(engine::Statement &selectByKey,
                                                  const RowQuery &query, qint64 key) {
    selectByKey.reset();
    selectByKey.bindInt(1, key);
    if (!selectByKey.step())
        return std::nullopt;
    std::vector<QVariant> values;
    for (size_t i = 0; i < query.fields.size(); ++i)
        values.push_back(cellValue(selectByKey, int(i), query.fields[i].kind));
    return values;
}

} // namespace store
