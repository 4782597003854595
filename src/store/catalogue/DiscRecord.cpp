#include "store/catalogue/DiscRecord.h"

#include "store/cursor/CursorSession.h"
#include "store/engine/CatalogueCopy.h"
#include "store/engine/Connection.h"
#include "store/engine/Conversions.h"
#include "store/engine/Engine.h"
#include "store/schema/Schema.h"

namespace store {

namespace {

namespace schema = store::schema;

qint64 nextKey(engine::Database *db, const char *table, const char *key) {
    return engine::queryNumber(db, QByteArray("SELECT max(") + key + ") FROM " + table) + 1;
}

void bindText(engine::Statement &statement, int index, const QString &text) {
    statement.bindText(index, text.toUtf8());
}

bool hasPrints(engine::Database *db) {
    return engine::hasTable(db, schema::prints::table);
}

} // namespace

StoredDisc storeDisc(Connection &connection, std::optional<qint64> cdNumber,
                     const disc::ProposedCd &cd,
                     const std::vector<disc::ProposedProgram> &programs) {
    // The background read holds a read lock that the write would wait for.
    CursorSession::of(connection).finishBackgroundRead();
    engine::Database *db = connection.handle();
    const QString path = connection.dataSource();
    engine::WriteTransaction transaction(db, path);

    StoredDisc stored;
    stored.cd = cdNumber ? *cdNumber : nextKey(db, schema::cds::table, schema::cds::fields[0]);
    engine::Statement addCd(db, schema::insertSql(schema::cds::table, 4), path);
    addCd.bindInt(1, stored.cd);
    bindText(addCd, 2, cd.description);
    addCd.bindText(3, serialToIso(toSerial(cd.date.isValid() ? cd.date : QDate::currentDate())));
    bindText(addCd, 4, toStoredLines(cd.comment));
    addCd.step();
    if (!cd.listing.isEmpty()) {
        db->exec(schema::prints::createSql);
        engine::Statement addPrint(db, schema::insertSql(schema::prints::table, 3), path);
        addPrint.bindInt(1, stored.cd);
        addPrint.bindInt(2, cd.bytes);
        bindText(addPrint, 3, cd.listing);
        addPrint.step();
    }

    qint64 number = nextKey(db, schema::programs::table, schema::programs::fields[0]);
    engine::Statement addProgram(db, schema::insertSql(schema::programs::table, 9), path);
    for (const disc::ProposedProgram &program : programs) {
        addProgram.reset();
        addProgram.bindInt(1, number);
        addProgram.bindInt(2, stored.cd);
        bindText(addProgram, 3, program.name);
        bindText(addProgram, 4, program.version);
        bindText(addProgram, 5, program.publisher);
        bindText(addProgram, 6, program.licence);
        addProgram.bindInt(7, program.year.value_or(0)); // no year: 0, as a new program has
        bindText(addProgram, 8, program.link);
        bindText(addProgram, 9, toStoredLines(program.comment));
        addProgram.step();
        stored.programs.push_back(number++);
    }
    transaction.commit();
    return stored;
}

std::optional<qint64> catalogedDisc(Connection &connection, const disc::ProposedCd &cd) {
    engine::Database *db = connection.handle();
    const bool prints = hasPrints(db);
    const QByteArray number = QByteArray("d.") + schema::cds::fields[0];
    engine::Statement find(
        db,
        "SELECT " + number + ", date(d." + schema::cds::fields[2] + "), " +
            (prints ? QByteArray("p.") + schema::prints::fields[1] + ", p." +
                          schema::prints::fields[2] + " FROM " + schema::cds::table +
                          " d LEFT JOIN " + schema::prints::table + " p ON p." +
                          schema::prints::fields[0] + " = " + number
                    : QByteArray("NULL, NULL FROM ") + schema::cds::table + " d") +
            " WHERE d." + schema::cds::fields[1] + " = ?1 ORDER BY 1",
        connection.dataSource());
    find.bindText(1, cd.description.toUtf8());
    const QString date = cd.date.toString(Qt::ISODate);
    while (find.step()) {
        const bool printed = !find.isNull(3) && !cd.listing.isEmpty();
        if (printed ? find.int64(2) == cd.bytes && find.string(3) == cd.listing
                    : !find.isNull(1) && find.string(1) == date)
            return find.int64(0);
    }
    return std::nullopt;
}

} // namespace store
