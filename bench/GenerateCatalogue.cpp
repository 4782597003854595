// vadrel-bench-gen N DIR: writes a catalogue of N programs into DIR (for sqlite3 comparisons).
// vadrel-bench-gen --open DIR: opens the three cursors on DIR/db.mdb and prints peak memory.
#include "LargeCatalogue.h"
#include "store/catalogue/Modulo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstring>

namespace {

QByteArray peakMemory() {
    QFile status(QStringLiteral("/proc/self/status"));
    QByteArray lines;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM") || line.startsWith("VmRSS"))
                lines += line + '\n';
    return lines;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--open") == 0) {
        QDir::setCurrent(QString::fromLocal8Bit(argv[2]));
        TDataModule2 module;
        module.DataModuleCreate();
        std::printf("rows: %d CDs, %d programs, %d joined\n%s", module.TDiscos.RecordCount(),
                    module.TProgramas.RecordCount(), module.TProgDisc.RecordCount(),
                    peakMemory().constData());
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: vadrel-bench-gen N DIR | vadrel-bench-gen --open DIR\n");
        return 2;
    }
    writeLargeCatalogue(QString::fromLocal8Bit(argv[2]), std::atoi(argv[1]));
    return 0;
}
