#include "vadrel-db/CopyCommand.h"

#include "store/catalogue/Catalogue.h"
#include "store/catalogue/HelpPages.h"
#include "store/catalogue/ServerCatalogue.h"
#include "store/engine/CatalogueCopy.h"
#include "store/schema/Schema.h"
#include "vadrel-db/scan/WrongCall.h"

#include <QFile>
#include <cstdio>
#include <sys/stat.h>

namespace {

bool isServer(const char *place) {
    struct stat info;
    // A folder of that name wins: "a=b" may be one.
    return ::stat(place, &info) != 0 && store::server::isServerAddress(QByteArray(place));
}

QByteArray shown(const char *place) {
    return isServer(place) ? store::server::shownAddress(place).toLocal8Bit() : QByteArray(place);
}

store::engine::DbHandle openSource(const char *place) {
    if (isServer(place))
        return store::server::open(QByteArray(place));
    const QByteArray file = QByteArray(place) + "/db.mdb";
    struct stat info;
    if (::stat(file.constData(), &info) != 0)
        throw store::DatabaseError(
            store::DatabaseError::Kind::Io,
            QStringLiteral("no catalogue in %1").arg(QFile::decodeName(place)),
            QFile::decodeName(file), store::DatabaseError::Cause::FileMissing);
    return store::engine::open(file, QFile::decodeName(file), false);
}

} // namespace

int copyCommand(int argc, char **argv) {
    if (argc != 4)
        return wrongCall("copy takes the catalogue to copy and where to copy it");
    const char *from = argv[2];
    const char *to = argv[3];
    try {
        const store::engine::DbHandle source = openSource(from);
        source->beginSnapshot(); // one moment, read and then compared
        store::engine::CopiedRows copied;
        const auto fill = [&](store::NewRows &rows) {
            copied = store::engine::copyRows(source.get(), rows.database());
            for (const auto &[table, count] : {std::pair{store::schema::cds::table, copied.cds},
                                               {store::schema::programs::table, copied.programs}})
                if (rows.count(table) != count ||
                    store::engine::queryNumber(source.get(), QByteArray("SELECT count(*) FROM ") +
                                                                 table) != count)
                    throw store::DatabaseError(
                        store::DatabaseError::Kind::Other,
                        QStringLiteral("the counts of %1 differ").arg(QLatin1String(table)));
            if (const QString difference =
                    store::engine::compareRows(source.get(), rows.database());
                !difference.isEmpty())
                throw store::DatabaseError(store::DatabaseError::Kind::Other,
                                           QStringLiteral("the copy differs: %1").arg(difference));
        };
        if (isServer(to)) {
            store::createServerCatalogue(QByteArray(to), false, fill);
        } else {
            store::createCatalogue(QFile::decodeName(to), fill);
            store::installHelpPages(QFile::decodeName(to));
        }
        std::printf("Copied %lld CDs and %lld programs from %s to %s; every row compared\n",
                    static_cast<long long>(copied.cds), static_cast<long long>(copied.programs),
                    shown(from).constData(), shown(to).constData());
    } catch (const store::DatabaseError &error) {
        std::fprintf(stderr, "vadrel-db: %s%s%s\n", error.engineMessage().toLocal8Bit().constData(),
                     error.path().isEmpty() ? "" : ": ", error.path().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
