// The filter of the queries page on a real catalogue whose CD numbers reach past 32 bits and
// whose names hold quotes: a filter written for any value either keeps exactly the rows equal to
// it or, for a number field and a text that names no number, is refused as a conversion; a
// filter text of any shape is taken or refused without changing what is shown.
#include "Check.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "store/engine/Conversions.h"
#include "store/engine/DatabaseError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <cstdint>
#include <optional>
#include <sqlite3.h>
#include <string_view>

namespace {

const qint64 kCds[] = {0,           1,          7,           255,       -1,       2147483647,
                       -2147483648, 3000000000, -3000000000, INT64_MAX, INT64_MIN};
const char *const kNames[] = {"O'Reilly", "''", " a ", "Año", "AÑO", "x", "", "'"};

struct Catalogue {
    QTemporaryDir dir;
    store::Connection connection;
    store::TableCursor progDisc{QStringLiteral("ProgDisc")};

    Catalogue() {
        // A file of another program's making: no range checks on the numbers.
        const QByteArray path = QFile::encodeName(QDir(dir.path()).filePath("db.mdb"));
        sqlite3 *db = nullptr;
        sqlite3_open(path.constData(), &db);
        QByteArray sql =
            "CREATE TABLE Discos (NroDisco INTEGER PRIMARY KEY, DescripcionDisco TEXT, "
            "FechaDisco DATE, Comentario MEMO);"
            "CREATE TABLE Programas (NroPrograma INTEGER PRIMARY KEY, NroDisco INTEGER NOT NULL, "
            "NombrePrograma TEXT NOT NULL, Version TEXT, Empresa TEXT, Licencia TEXT, "
            "Anio INTEGER, Link TEXT, Comentario MEMO);"
            "CREATE VIEW ProgDisc AS SELECT p.NroDisco, d.DescripcionDisco, p.NombrePrograma, "
            "p.Version, p.Empresa, p.Licencia, p.Anio, p.Link, p.Comentario "
            "FROM Programas p LEFT JOIN Discos d ON d.NroDisco = p.NroDisco;";
        int program = 1;
        for (qint64 cd : kCds) {
            sql += "INSERT INTO Discos VALUES (" + QByteArray::number(cd) + ", 'CD', NULL, NULL);";
            for (const char *name : kNames) {
                QByteArray quoted = name;
                quoted.replace("'", "''");
                sql += "INSERT INTO Programas VALUES (" + QByteArray::number(program++) + ", " +
                       QByteArray::number(cd) + ", '" + quoted +
                       "', NULL, NULL, NULL, NULL, NULL, NULL);";
            }
        }
        char *error = nullptr;
        FUZZ_CHECK(sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) == SQLITE_OK);
        sqlite3_close(db);
        connection.setFile(QFile::decodeName(path));
        progDisc.setConnection(&connection);
        connection.setConnected(true);
        progDisc.setActive(true);
        progDisc.setFiltered(true);
    }
};

Catalogue &catalogue() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Catalogue *made = [] {
        QLocale::setDefault(QLocale(QStringLiteral("es_AR")));
        return new Catalogue; // lives for the whole run
    }();
    return *made;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    store::TableCursor &cursor = catalogue().progDisc;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const int all = int(std::size(kCds) * std::size(kNames));
    cursor.setFilter(QString());
    FUZZ_CHECK(cursor.visibleCount() == all);

    switch (data[0] % 3) {
    case 0: { // any filter text
        try {
            cursor.setFilter(text);
        } catch (const store::DatabaseError &) {
            FUZZ_CHECK(cursor.Filter().isEmpty() && cursor.visibleCount() == all);
        }
        FUZZ_CHECK(cursor.visibleCount() <= all);
        break;
    }
    case 1: { // a CD chosen by its number, as the list shows it
        const int field = cursor.fieldIndex(QStringLiteral("NroDisco"));
        std::optional<qint64> number;
        if (const auto typed = store::parseWholeNumber(text))
            number = *typed;
        bool ok = false;
        const qint64 shown = text.toLongLong(&ok);
        if (!number && ok && QString::number(shown) == text)
            number = shown;
        try {
            cursor.setFilter(store::TableCursor::equalsFilter(QStringLiteral("NroDisco"), text));
            FUZZ_CHECK(number.has_value() || text.trimmed().isEmpty());
        } catch (const store::DatabaseError &error) {
            FUZZ_CHECK(!number && error.kind() == store::DatabaseError::Kind::Conversion);
            break;
        }
        if (!number) {
            FUZZ_CHECK(cursor.visibleCount() == 0 || text.trimmed().isEmpty());
            break;
        }
        int expected = 0;
        for (qint64 cd : kCds)
            expected += cd == *number ? int(std::size(kNames)) : 0;
        FUZZ_CHECK(cursor.visibleCount() == expected);
        for (int row = 0; row < cursor.visibleCount(); ++row)
            FUZZ_CHECK(cursor.numberAt(row, field) == *number);
        break;
    }
    case 2: { // a program by its name: quotes and blanks are the name's own
        const int field = cursor.fieldIndex(QStringLiteral("NombrePrograma"));
        cursor.setFilter(store::TableCursor::equalsFilter(QStringLiteral("NombrePrograma"), text));
        for (const char *name : kNames) {
            if (text != QString::fromUtf8(name))
                continue;
            int same = 0;
            for (int row = 0; row < cursor.visibleCount(); ++row)
                same += cursor.utf8At(row, field) == std::string_view(name) ? 1 : 0;
            FUZZ_CHECK(same == int(std::size(kCds)));
        }
        break;
    }
    }
    return 0;
}
