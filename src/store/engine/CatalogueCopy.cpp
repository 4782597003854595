#include "store/engine/CatalogueCopy.h"

#include "store/schema/Schema.h"

#include <iterator>
#include <optional>
#include <variant>
#include <vector>

namespace store::engine {

namespace {

struct Table {
    const char *name;
    const char *const *fields;
    int count;
};

template <size_t N> Table table(const char *name, const char *const (&fields)[N]) {
    return {name, fields, int(N)};
}

const Table kTables[] = {table(schema::cds::table, schema::cds::fields),
                         table(schema::programs::table, schema::programs::fields),
                         table(schema::prints::table, schema::prints::fields)};

// The last table is the program's own, in a catalogue only once a read disc was stored.
bool present(Database *db, const Table &table) {
    return &table != &kTables[2] || hasTable(db, table.name);
}

QByteArray selectAll(const Table &table) {
    QByteArray sql = "SELECT ";
    for (int f = 0; f < table.count; ++f)
        sql += (f ? ", " : "") + QByteArray(table.fields[f]);
    return sql + " FROM " + table.name + " ORDER BY 1";
}

} // namespace

bool hasTable(Database *db, const char *name) {
    Statement find(db, db->engine() == Database::Engine::Server
                           ? QByteArray("SELECT count(*) FROM information_schema.tables WHERE "
                                        "table_schema = current_schema() AND table_name = ?1")
                           : QByteArray("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                        "AND name = ?1"));
    const QByteArray wanted(name);
    find.bindText(1, db->engine() == Database::Engine::Server ? wanted.toLower() : wanted);
    return find.step() && find.int64(0) > 0;
}

// Rows go in batches of many rows per statement: a server answers each statement on its own,
// and one round trip per row would be most of a large copy's time.
constexpr int kBatchRows = 200;

QByteArray insertRows(const Table &table, int rows) {
    QByteArray row = "(?";
    for (int f = 1; f < table.count; ++f)
        row += ", ?";
    row += ')';
    QByteArray sql = QByteArray("INSERT INTO ") + table.name + " VALUES " + row;
    for (int r = 1; r < rows; ++r)
        sql += ", " + row;
    return sql;
}

CopiedRows copyRows(Database *from, Database *to) {
    CopiedRows copied;
    for (const Table &table : kTables) {
        if (!present(from, table))
            continue;
        if (&table == &kTables[2])
            to->exec(schema::prints::createSql);
        Statement read(from, selectAll(table));
        Statement batch(to, insertRows(table, kBatchRows));
        qint64 rows = 0;
        int inBatch = 0;
        // Values wait here until a batch is full; the last, shorter one goes row by row.
        std::vector<std::optional<std::variant<qint64, QByteArray>>> waiting;
        auto bind = [](Statement &statement, int index,
                       const std::optional<std::variant<qint64, QByteArray>> &value) {
            if (!value)
                statement.bindNull(index);
            else if (const auto *number = std::get_if<qint64>(&*value))
                statement.bindInt(index, *number);
            else
                statement.bindText(index, std::get<QByteArray>(*value));
        };
        while (read.step()) {
            for (int f = 0; f < table.count; ++f) {
                if (read.isNull(f))
                    waiting.emplace_back();
                else if (read.holdsNumber(f))
                    waiting.emplace_back(read.int64(f));
                else
                    waiting.emplace_back(
                        QByteArray(read.text(f).data(), qsizetype(read.text(f).size())));
            }
            ++rows;
            if (++inBatch < kBatchRows)
                continue;
            batch.reset();
            for (size_t i = 0; i < waiting.size(); ++i)
                bind(batch, int(i) + 1, waiting[i]);
            batch.step();
            waiting.clear();
            inBatch = 0;
        }
        if (inBatch > 0) {
            Statement rest(to, insertRows(table, inBatch));
            for (size_t i = 0; i < waiting.size(); ++i)
                bind(rest, int(i) + 1, waiting[i]);
            rest.step();
        }
        if (&table == &kTables[0])
            copied.cds = rows;
        else if (&table == &kTables[1])
            copied.programs = rows;
    }
    return copied;
}

QString compareRows(Database *a, Database *b) {
    for (const Table &table : kTables) {
        // A missing table holds no rows, as the other one's may still be empty.
        if (!present(a, table) || !present(b, table)) {
            Database *holder = present(a, table) ? a : present(b, table) ? b : nullptr;
            if (holder && queryNumber(holder, QByteArray("SELECT count(*) FROM ") + table.name))
                return QStringLiteral("%1: one has more rows").arg(QLatin1String(table.name));
            continue;
        }
        Statement left(a, selectAll(table));
        Statement right(b, selectAll(table));
        for (;;) {
            const bool more = left.step();
            if (more != right.step())
                return QStringLiteral("%1: one has more rows").arg(QLatin1String(table.name));
            if (!more)
                break;
            for (int f = 0; f < table.count; ++f)
                if (left.isNull(f) != right.isNull(f) || left.text(f) != right.text(f))
                    return QStringLiteral("%1 %2: %3 differs")
                        .arg(QLatin1String(table.name), left.string(0),
                             QLatin1String(table.fields[f]));
        }
    }
    return {};
}

} // namespace store::engine
