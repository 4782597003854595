#include "store/catalogue/DiscRecord.h"

#include "store/cursor/CursorSession.h"
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
        if (program.year)
            addProgram.bindInt(7, *program.year);
        else
            addProgram.bindNull(7);
        bindText(addProgram, 8, program.link);
        bindText(addProgram, 9, toStoredLines(program.comment));
        addProgram.step();
        stored.programs.push_back(number++);
    }
    transaction.commit();
    return stored;
}

std::optional<qint64> catalogedDisc(Connection &connection, const QString &description,
                                    const QDate &date) {
    engine::Database *db = connection.handle();
    engine::Statement find(db,
                           QByteArray("SELECT ") + schema::cds::fields[0] + " FROM " +
                               schema::cds::table + " WHERE " + schema::cds::fields[1] +
                               " = ?1 AND date(" + schema::cds::fields[2] + ") = ?2 ORDER BY 1",
                           connection.dataSource());
    find.bindText(1, description.toUtf8());
    find.bindText(2, date.toString(Qt::ISODate).toUtf8());
    if (!find.step())
        return std::nullopt;
    return find.int64(0);
}

} // namespace store
