// vadrel-save-burst CATALOGUE FIRST [COUNT]: for N = FIRST, FIRST+1, ... saves CD N, then
// program N on it, then renames program N-1, into CATALOGUE (a folder's db.mdb, or a server's
// address) through the store as the windows do, and prints "cd N", "program N" and "renamed N-1"
// as each save is confirmed. It runs until it is killed, a save fails, or COUNT rounds are done;
// the crash tests kill it at random moments.
//
// vadrel-save-burst CATALOGUE next COUNT: COUNT times, saves a CD and then a program on it under
// the next free numbers as the New windows propose them, taking the following number when another
// program took it first; prints "cd N" and "program M" as each is confirmed.
#include "store/catalogue/Modulo.h"
#include "store/catalogue/NextNumber.h"
#include "store/server/ServerEngine.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

void confirmed(const char *what, qint64 n) {
    std::printf("%s %lld\n", what, static_cast<long long>(n));
    std::fflush(stdout);
}

// Saves under the next free number, as often as another program takes it first.
qint64 saveNext(store::TableCursor &table, const std::function<void(qint64)> &save) {
    for (;;) {
        const qint64 number = *store::nextNumber(table, std::numeric_limits<qint32>::max()).next;
        try {
            save(number);
            return number;
        } catch (const store::DatabaseError &error) {
            if (error.cause() != store::DatabaseError::Cause::DuplicateKey)
                throw;
            table.reread(); // the other program's row shows, and the next number past it
        }
    }
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3 || argc > 4)
        return 2;
    TDataModule2 module;
    if (store::server::isServerAddress(argv[1]))
        module.useServer(argv[1], {});
    else if (!QDir::setCurrent(QString::fromLocal8Bit(argv[1])))
        return 2;
    module.DataModuleCreate();
    const qint64 rounds = argc == 4 ? std::atoll(argv[3]) : std::numeric_limits<qint64>::max();
    if (QByteArray(argv[2]) == "next") {
        for (qint64 i = 0; i < rounds; ++i) {
            const qint64 cd = saveNext(module.TDiscos, [&](qint64 n) {
                module.TDiscos.InsertRow(
                    {n, QStringLiteral("CD %1").arg(n), QDate(2026, 1, 2), QString()});
            });
            confirmed("cd", cd);
            module.writingPrograms([&] {
                confirmed("program", saveNext(module.TProgramas, [&](qint64 n) {
                              module.TProgramas.InsertRow(
                                  {n, cd, QStringLiteral("Programa %1").arg(n), QString(),
                                   QString(), QStringLiteral("Freeware"), 2000, QString(),
                                   QString()});
                          }));
            });
        }
        return 0;
    }
    const qint64 first = std::atoll(argv[2]);
    for (qint64 n = first; n - first < rounds; ++n) {
        module.TDiscos.InsertRow({n, QStringLiteral("CD %1").arg(n), QDate(2026, 1, 2),
                                  QStringLiteral("Comentario del CD %1\r\ncon dos líneas").arg(n)});
        confirmed("cd", n);
        module.writingPrograms([&] {
            module.TProgramas.InsertRow({n, n, QStringLiteral("Programa %1").arg(n),
                                         QStringLiteral("1.%1").arg(n), QStringLiteral("Empresa"),
                                         QStringLiteral("Freeware"), 2000 + n % 26,
                                         QStringLiteral("http://p%1.example/").arg(n), QString()});
        });
        confirmed("program", n);
        if (n == first)
            continue;
        module.writingPrograms([&] {
            module.TProgramas.FindRow(QStringLiteral("NroPrograma"), n - 1, false);
            module.TProgramas.EditRow();
            module.TProgramas.FieldByName(QStringLiteral("NombrePrograma"))
                .setAsString(QStringLiteral("Programa %1 renombrado").arg(n - 1));
            module.TProgramas.PostRow();
        });
        confirmed("renamed", n - 1);
    }
    return 0;
}
