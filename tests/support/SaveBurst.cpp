// vadrel-save-burst DIR FIRST: for N = FIRST, FIRST+1, ... saves CD N, then program N on it,
// then renames program N-1, into DIR/db.mdb through the store as the windows do, and prints
// "cd N", "program N" and "renamed N-1" as each save is confirmed. It runs until it is killed
// (or a save fails); the crash test kills it at random moments.
#include "Modulo.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <cstdio>
#include <cstdlib>

namespace {

void confirmed(const char *what, qint64 n) {
    std::printf("%s %lld\n", what, static_cast<long long>(n));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3 || !QDir::setCurrent(QString::fromLocal8Bit(argv[1])))
        return 2;
    TDataModule2 module;
    module.DataModuleCreate();
    const qint64 first = std::atoll(argv[2]);
    for (qint64 n = first;; ++n) {
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
}
