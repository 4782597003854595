// The two halves of bringing an Access catalogue across, for a figure per 100 000 rows: reading
// the legacy fixture's rows with libmdb, and writing rows into a new catalogue.
#include "store/catalogue/Catalogue.h"
#include "vadrel-db/AccessReader.h"
#include "vadrel-db/Import.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// The fixture's 25 programs, read again and again (the file stays in the page cache).
void BM_ReadAccessPrograms(benchmark::State &state) {
    AccessReader reader(QStringLiteral(VADREL_LEGACY_FIXTURE));
    reader.prepare("Programas", kAccessProgramColumns);
    qint64 rows = 0;
    for (auto _ : state)
        rows += reader.read("Programas", [](const std::vector<AccessValue> &values) {
            benchmark::DoNotOptimize(values.data());
        });
    state.SetItemsProcessed(rows);
}

// A new catalogue with 1 000 CDs and state.range(0) programs of usual lengths, in one
// transaction, to the file closed.
void BM_WriteImportedRows(benchmark::State &state) {
    const qint64 programs = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        state.ResumeTiming();
        store::createCatalogue(dir.path(), [&](store::NewRows &rows) {
            for (qint64 cd = 1; cd <= 1000; ++cd)
                rows.addCd({cd, QByteArray("Utilidades año 2003"), QByteArray("2004-02-29"),
                            QByteArray("Recopilación de utilidades.\r\nRevisado.")});
            for (qint64 n = 1; n <= programs; ++n)
                rows.addProgram({n, n % 1000 + 1, "Compresor Rápido " + QByteArray::number(n),
                                 QByteArray("2.1"), QByteArray("Señal Software S.L."),
                                 QByteArray("Freeware"), qint64(2003),
                                 "http://www.senal-software.example/" + QByteArray::number(n),
                                 std::monostate()});
        });
    }
    state.SetItemsProcessed(state.iterations() * programs);
}

} // namespace

BENCHMARK(BM_ReadAccessPrograms)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteImportedRows)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
