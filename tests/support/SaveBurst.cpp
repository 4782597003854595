// vadrel-save-burst DIR FIRST: saves CDs FIRST, FIRST+1, ... into DIR/db.mdb through the store,
// as the New CD window does, and prints "saved N" once each save is confirmed. It runs until it
// is killed (or a save fails); the crash test kills it at random moments.
#include "Modulo.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3 || !QDir::setCurrent(QString::fromLocal8Bit(argv[1])))
        return 2;
    TDataModule2 module;
    module.DataModuleCreate();
    for (qint64 n = std::atoll(argv[2]);; ++n) {
        module.TDiscos.InsertRow({n, QStringLiteral("CD %1").arg(n), QDate(2026, 1, 2),
                                  QStringLiteral("Comentario del CD %1\r\ncon dos líneas").arg(n)});
        std::printf("saved %lld\n", static_cast<long long>(n));
        std::fflush(stdout);
    }
}
