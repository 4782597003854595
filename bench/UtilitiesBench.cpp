// The listing export (every column) through the real window, and a backup of the open
// catalogue, on large catalogues. Compare with the commands in README: the export against
// sqlite3 writing the same columns, the backup against cp of the same file.
#include "RunningProgram.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"
#include "store/engine/CatalogueBackup.h"
#include "utilities/exportar.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QTemporaryDir>
#include <QToolButton>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

using Program = RunningProgram;

void BM_ExportEveryColumn(benchmark::State &state) {
    Program program(int(state.range(0)));
    TForm8 *window = program.opened().exportList;
    auto *generate = window->findChild<QToolButton *>("SpeedButton1");
    window->show();
    for (QCheckBox *box : window->findChildren<QCheckBox *>())
        box->setChecked(true);
    for (auto _ : state)
        generate->click();
    window->close();
    state.counters["bytes"] = double(QFileInfo(QStringLiteral("Listado.txt")).size());
}

void BM_Backup(benchmark::State &state) {
    Program program(int(state.range(0)));
    QTemporaryDir folder;
    for (auto _ : state)
        store::backupCatalogue(program.windows->dataModule().ADOConnection,
                               folder.filePath("copia.mdb"));
}

} // namespace

BENCHMARK(BM_ExportEveryColumn)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Backup)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
