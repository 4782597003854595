#include "CatalogueCopy.h"

#include "Schema.h"

#include <iterator>

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
                         table(schema::programs::table, schema::programs::fields)};

QByteArray selectAll(const Table &table) {
    QByteArray sql = "SELECT ";
    for (int f = 0; f < table.count; ++f)
        sql += (f ? ", " : "") + QByteArray(table.fields[f]);
    return sql + " FROM " + table.name + " ORDER BY 1";
}

} // namespace

CopiedRows copyRows(Database *from, Database *to) {
    CopiedRows copied;
    for (const Table &table : kTables) {
        Statement read(from, selectAll(table));
        Statement write(to, schema::insertSql(table.name, table.count));
        qint64 rows = 0;
        while (read.step()) {
            write.reset();
            for (int f = 0; f < table.count; ++f) {
                if (read.isNull(f))
                    write.bindNull(f + 1);
                else if (read.holdsNumber(f))
                    write.bindInt(f + 1, read.int64(f));
                else
                    write.bindText(f + 1,
                                   QByteArray(read.text(f).data(), qsizetype(read.text(f).size())));
            }
            write.step();
            ++rows;
        }
        (table.name == kTables[0].name ? copied.cds : copied.programs) = rows;
    }
    return copied;
}

QString compareRows(Database *a, Database *b) {
    for (const Table &table : kTables) {
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
