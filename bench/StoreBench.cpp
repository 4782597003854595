// Timings of the catalogue store on generated catalogues of 100 000 and 1 000 000 programs.
#include "LargeCatalogue.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "store/exchange/CatalogueCsv.h"
#include "store/files/FileCalls.h"
#include "store/order/TextOrder.h"
#include "store/search/SearchIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <random>
#include <string>
#include <vector>

namespace {

struct Opened {
    store::Connection connection;
    store::TableCursor cursor;
    explicit Opened(int programs, const char *table)
        : cursor(QString::fromLatin1(table)) {
        connection.setFile(QDir(largeCatalogueFolder(programs)).filePath(QStringLiteral("db.mdb")));
        connection.setConnected(true);
        cursor.setConnection(&connection);
    }
};

void openCursor(benchmark::State &state, const char *table) {
    Opened opened(int(state.range(0)), table);
    for (auto _ : state) {
        opened.cursor.setActive(true);
        benchmark::DoNotOptimize(opened.cursor.RecordCount());
        state.PauseTiming();
        opened.cursor.setActive(false);
        state.ResumeTiming();
    }
}

void BM_OpenDiscos(benchmark::State &state) {
    openCursor(state, "Discos");
}
void BM_OpenProgramas(benchmark::State &state) {
    openCursor(state, "Programas");
}
void BM_OpenProgDisc(benchmark::State &state) {
    openCursor(state, "ProgDisc");
}

// The first ordering by a text field after opening: collation keys are computed.
void BM_OrderFirstTime(benchmark::State &state) {
    Opened opened(int(state.range(0)), "ProgDisc");
    for (auto _ : state) {
        state.PauseTiming();
        opened.cursor.setActive(false);
        opened.cursor.setIndexFieldNames(QStringLiteral("NroDisco"));
        opened.cursor.setActive(true);
        state.ResumeTiming();
        opened.cursor.setIndexFieldNames(QStringLiteral("NombrePrograma"));
    }
}

// Switching between orders already used since opening.
void BM_OrderAgain(benchmark::State &state) {
    Opened opened(int(state.range(0)), "ProgDisc");
    opened.cursor.setActive(true);
    const QString fields[] = {QStringLiteral("NombrePrograma"), QStringLiteral("Empresa")};
    for (const QString &field : fields)
        opened.cursor.setIndexFieldNames(field);
    int i = 0;
    for (auto _ : state)
        opened.cursor.setIndexFieldNames(fields[i++ % 2]);
}

void BM_FindRowPrefix(benchmark::State &state) {
    Opened opened(int(state.range(0)), "ProgDisc");
    opened.cursor.setActive(true);
    opened.cursor.setIndexFieldNames(QStringLiteral("NombrePrograma"));
    const QString keys[] = {QStringLiteral("visor de im"), QStringLiteral("Ga"),
                            QStringLiteral("antivirus rápido 5"), QStringLiteral("zz")};
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            opened.cursor.FindRow(QStringLiteral("NombrePrograma"), keys[i++ % 4], true));
}

void BM_FindRowNumber(benchmark::State &state) {
    Opened opened(int(state.range(0)), "ProgDisc");
    opened.cursor.setActive(true);
    const int cds = int(state.range(0)) / 100;
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            opened.cursor.FindRow(QStringLiteral("NroDisco"), 1 + (i++ * 7919) % cds, true));
}

void BM_CdFilter(benchmark::State &state) {
    Opened opened(int(state.range(0)), "ProgDisc");
    opened.cursor.setActive(true);
    opened.cursor.setFiltered(true);
    const int cds = int(state.range(0)) / 100;
    int i = 0;
    for (auto _ : state)
        opened.cursor.setFilter(QStringLiteral("NroDisco = '%1'").arg(1 + (i++ * 7919) % cds));
}

// A million texts of one column as the generated catalogue has them: program names, links (all
// distinct), publishers (400) or licences (6).
std::vector<std::string> columnTexts(int column) {
    static const char *const words[] = {
        "Compresor", "Editor",  "Visor",    "Gestor",    "Reproductor", "Conversor", "Antivirus",
        "Navegador", "Cliente", "Servidor", "Diseñador", "Utilidad",    "Juego",     "Atlas",
        "Curso",     "Agenda",  "Monitor",  "Grabador",  "Traductor",   "Planetario"};
    static const char *const topics[] = {"de Imágenes", "de Textos", "de Vídeo",    "de Sonido",
                                         "de Archivos", "de Correo", "de Redes",    "Gráfico",
                                         "Clásico",     "Portátil",  "Profesional", "Español",
                                         "Rápido",      "Libre",     "3D"};
    static const char *const licences[] = {"Freeware", "Comercial", "Demo",
                                           "Trial",    "Shareware", "Warez"};
    std::mt19937 random(12345);
    const auto pick = [&](unsigned n) { return random() % n; };
    std::vector<std::string> texts;
    for (int n = 1; n <= 1000000; ++n) {
        const std::string publisher = std::to_string(pick(400));
        switch (column) {
        case 0:
            texts.push_back(std::string(words[pick(20)]) + ' ' + topics[pick(15)] + ' ' +
                            std::to_string(pick(100000)));
            break;
        case 1:
            texts.push_back("https://www.empresa" + publisher + ".example/descargas/" +
                            std::to_string(n));
            break;
        case 2:
            texts.push_back("Empresa " + publisher + " S.A.");
            break;
        default:
            texts.push_back(licences[pick(6)]);
        }
    }
    return texts;
}

// Ordering a million rows by a text column as es_AR collates it, wall time (two threads).
void BM_TextOrderSort(benchmark::State &state) {
    static const char *const columns[] = {"names", "links", "publishers", "licences"};
    const std::vector<std::string> texts = columnTexts(int(state.range(0)));
    const auto text = [&](uint32_t row) { return std::string_view(texts[row]); };
    const store::TextOrder order(QLocale(QStringLiteral("es_AR")));
    order.sortRows(50000, text); // the first large sort also makes the Latin key table
    for (auto _ : state)
        benchmark::DoNotOptimize(order.sortRows(uint32_t(texts.size()), text));
    state.SetLabel(columns[state.range(0)]);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(texts.size()));
}

// The whole catalogue as CSV, against the sqlite3 shell writing the same rows with -csv.
void BM_CsvWholeCatalogue(benchmark::State &state) {
    Opened opened(int(state.range(0)), "Discos");
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("catalogo.csv"));
    for (auto _ : state)
        store::writeCatalogueCsv(opened.connection, path, store::FileCalls::system());
    state.counters["bytes"] = double(QFileInfo(path).size());
}

void BM_CsvSqlite3Shell(benchmark::State &state) {
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
        return state.SkipWithError("sqlite3 not found");
    const QString db =
        QDir(largeCatalogueFolder(int(state.range(0)))).filePath(QStringLiteral("db.mdb"));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("catalogo.csv"));
    const QString select = QStringLiteral(
        "SELECT d.NroDisco, d.DescripcionDisco, d.FechaDisco, d.Comentario, p.NroPrograma, "
        "p.NombrePrograma, p.Version, p.Empresa, p.Licencia, p.Anio, p.Link, p.Comentario "
        "FROM Discos d LEFT JOIN Programas p ON p.NroDisco = d.NroDisco "
        "ORDER BY d.NroDisco, p.NroPrograma");
    for (auto _ : state) {
        QProcess run;
        run.setStandardOutputFile(path);
        run.start(shell, {QStringLiteral("-csv"), QStringLiteral("-header"), db, select});
        run.waitForFinished(-1);
    }
    state.counters["bytes"] = double(QFileInfo(path).size());
}

// One word looked for in every field of a million programs, as a keystroke on an empty search
// does: a letter found almost everywhere, a word in every program, a rarer one, none.
void BM_SearchWord(benchmark::State &state) {
    static const char *const words[] = {"v", "em", "empresa", "oficina", "xq"};
    static const auto index = store::search::SearchIndex::build(
        QDir(largeCatalogueFolder(1000000)).filePath(QStringLiteral("db.mdb")));
    size_t found = 0;
    for (auto _ : state)
        found = index.find(QString::fromLatin1(words[state.range(0)])).size();
    state.SetLabel(words[state.range(0)]);
    state.counters["found"] = double(found);
}

} // namespace

BENCHMARK(BM_SearchWord)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TextOrderSort)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenDiscos)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenProgramas)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenProgDisc)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrderFirstTime)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrderAgain)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindRowPrefix)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindRowNumber)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CdFilter)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QStringLiteral("es_AR")));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
BENCHMARK(BM_CsvWholeCatalogue)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CsvSqlite3Shell)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
