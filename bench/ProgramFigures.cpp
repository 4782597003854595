// vadrel-figures DIR STEP: starts the whole program offscreen on DIR/db.mdb (or on the catalogue
// of a server, when DIR is its address), as a user would,
// measures one step and prints "name value unit" lines. One step per process, so every figure
// that includes start-up starts cold in memory (bench/report runs them and takes medians).
#include "SilentDesktop.h"
#include "editors/AProg.h"
#include "editors/MCD.h"
#include "editors/MProg.h"
#include "mainwin/Startup.h"
#include "mainwin/cds_.h"
#include "platform/Application.h"
#include "reports/CatalogueSearch.h"
#include "reports/Estadisticas.h"
#include "reports/ImportarCsv.h"
#include "reports/ProgramasRepetidos.h"
#include "reports/ReportPages.h"
#include "store/catalogue/Modulo.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/CatalogueBackup.h"
#include "store/engine/Connection.h"
#include "store/exchange/CatalogueReport.h"
#include "store/server/ServerEngine.h"
#include "utilities/exportar.h"
#include "widgets/DBEdit.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void print(const char *name, double value, const char *unit) {
    std::printf("%s %.6g %s\n", name, value, unit);
    std::fflush(stdout);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Peak resident memory of the process so far, in MB of 10^6 bytes.
double peakMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() * 1024 / 1e6;
    return -1;
}

// The server's address when the catalogue is on one.
QByteArray server;

// The program as main() starts it, on the catalogue in the working directory or on the server;
// `started` is taken just before the windows are built.
struct Program {
    Clock::time_point started = Clock::now();
    SilentDesktop desktop;
    std::unique_ptr<Startup> windows =
        std::make_unique<Startup>(desktop.services(), QString(), true, server);
    TForm1 &main = windows->mainWindow();
    const SecondaryWindows &opened = windows->windows();
    QComboBox *order = main.findChild<QComboBox *>("ComboBox1");
    QLineEdit *search = main.findChild<QLineEdit *>("Edit1");
    TDataModule2 &data = windows->dataModule();

    Program() {
        main.show();
        QApplication::processEvents();
    }
};

// Waits for every row of the programs and the joined view: these calls wait for rows still
// being read.
void settle(Program &program) {
    program.data.TProgramas.RecordCount();
    program.data.TProgDisc.RecordCount();
}

// What each cursor's rows take in memory, in MB of 10^6 bytes.
void printCursorMemory(Program &program, const char *when) {
    const struct {
        const char *name;
        const store::TableCursor &cursor;
    } cursors[] = {{"cds", program.data.TDiscos},
                   {"programas", program.data.TProgramas},
                   {"consultas", program.data.TProgDisc}};
    for (const auto &[name, cursor] : cursors)
        print(QByteArray("cursor_mb_").append(name).append(when).constData(),
              double(cursor.memoryBytes()) / 1e6, "MB");
}

void process() {
    QApplication::processEvents();
}

void showQueries(Program &program) {
    program.main.Consultas1Click();
    process();
}

void orderBy(Program &program, int column) {
    program.order->setCurrentIndex(column);
    program.main.ComboBox1Change();
    process();
}

template <typename F> double timed(F &&step) {
    const Clock::time_point start = Clock::now();
    step();
    return secondsSince(start);
}

// The window usable and nothing more: the caller times the whole process, from exec to exit
// (which stops the reading still going on in the background).
void window() {
    Program program;
}

void startup() {
    Program program;
    print("startup_s", secondsSince(program.started), "s");
    settle(program);
    print("startup_settled_s", secondsSince(program.started), "s"); // counted from the start too
    print("peak_mb_after_start", peakMegabytes(), "MB");
    printCursorMemory(program, "");
}

void queries() {
    Program program;
    settle(program);
    print("queries_first_show_s", timed([&] { showQueries(program); }), "s");
}

// The user goes to the queries page as soon as the window appears.
void queriesAtOnce() {
    Program program;
    showQueries(program);
    print("start_to_queries_s", secondsSince(program.started), "s");
}

void order() {
    Program program;
    settle(program);
    showQueries(program);
    print("first_order_programa_s", timed([&] { orderBy(program, 2); }), "s");
    print("first_order_link_s", timed([&] { orderBy(program, 7); }), "s");
    for (int column = 0; column < program.order->count(); ++column)
        orderBy(program, column);
    print("peak_mb_after_orders", peakMegabytes(), "MB");
    printCursorMemory(program, "_after_orders");
}

void keystroke() {
    Program program;
    settle(program);
    showQueries(program);
    orderBy(program, 2); // "Programa"
    const QString word = QStringLiteral("Visor de Imágenes 4");
    std::vector<double> times;
    for (int i = 0; i < 400; ++i) {
        const int length = i % word.size() + 1;
        times.push_back(timed([&] {
            program.search->setText(word.left(length));
            process(); // the grid repaints around the found row
        }));
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    print("keystroke_mean_ms", sum / double(times.size()) * 1e3, "ms");
    print("keystroke_p90_ms", times[size_t(std::ceil(0.9 * double(times.size()))) - 1] * 1e3, "ms");
}

// A page clicked as soon as the window appears, until its grid has drawn a first screen of rows
// (counted from the click); then until every row is in.
void firstScreen(void (TForm1::*click)(QObject *), const char *gridName, const char *name) {
    Program program;
    auto *grid = program.main.findChild<QTableView *>(QLatin1String(gridName));
    const auto clicked = Clock::now();
    (program.main.*click)(nullptr);
    process();
    while (grid->model()->rowCount() == 0)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    grid->viewport()->repaint();
    print(name, secondsSince(clicked), "s");
    print("first_screen_rows", grid->model()->rowCount(), "rows");
}

void firstPrograms() {
    firstScreen(&TForm1::Programas1Click, "DBGrid3", "first_screen_programas_s");
}

void firstQueries() {
    firstScreen(&TForm1::Consultas1Click, "DBGrid1", "first_screen_consultas_s");
}

// "ACEPTAR" of the New program window, with the programs page in front: the checks, the write,
// the joined view brought up to date and the window made ready for the next.
void newProgram() {
    Program program;
    settle(program);
    program.main.Programas1Click();
    process();
    TForm4 *window = program.opened.newProgram;
    auto *name = window->findChild<QLineEdit *>("Edit1");
    auto *accept = window->findChild<QToolButton *>("SpeedButton1");
    window->show(); // opening runs Limpiar
    process();
    std::vector<double> times;
    for (int n = 1; n <= 5; ++n) {
        name->setText(QStringLiteral("Programa de prueba %1").arg(n));
        times.push_back(timed([&] {
            accept->click();
            process();
        }));
    }
    print("new_program_s", median(times), "s");
}

// "Copia de seguridad" of the open catalogue into another folder (the report times cp beside it).
void backup() {
    Program program;
    settle(program);
    QTemporaryDir folder;
    std::vector<double> times;
    for (int i = 0; i < 3; ++i)
        times.push_back(timed([&] {
            store::backupCatalogue(program.data.ADOConnection,
                                   folder.filePath(QStringLiteral("copia%1.mdb").arg(i)));
        }));
    print("backup_s", median(times), "s");
}

// The listing with every column, through its window (the report times sqlite3 writing the same).
void exportListing() {
    Program program;
    settle(program);
    TForm8 *window = program.opened.exportList;
    auto *accept = window->findChild<QToolButton *>("SpeedButton1");
    window->show();
    for (QCheckBox *box : window->findChildren<QCheckBox *>())
        box->setChecked(true);
    std::vector<double> times;
    for (int i = 0; i < 3; ++i)
        times.push_back(timed([&] { accept->click(); }));
    window->close();
    QFile::remove(QStringLiteral("Listado.txt"));
    print("export_s", median(times), "s");
}

// The CSV file named by VADREL_BENCH_CSV through "Importar desde CSV": read and checked as the
// preview shows it, then imported into the catalogue, each with the peak memory after it.
void csvImport() {
    const QByteArray file = qgetenv("VADREL_BENCH_CSV");
    if (file.isEmpty()) {
        std::fprintf(stderr, "vadrel-figures: csv_import needs VADREL_BENCH_CSV\n");
        std::exit(2);
    }
    Program program;
    settle(program);
    TFormImportarCsv window(program.desktop.services(), program.data, &program.main);
    print("csv_preview_s", timed([&] { window.load(file); }), "s");
    print("peak_mb_after_csv_preview", peakMegabytes(), "MB");
    print("csv_import_s", timed([&] { window.importRows(); }), "s");
    print("peak_mb_after_csv_import", peakMegabytes(), "MB");
    print("csv_imported_programs", program.data.TProgramas.RecordCount(), "programs");
}

// The whole catalogue as a PDF report: until its first page is painted (what the progress
// window shows first) and until the file is whole.
void pdf() {
    Program program;
    settle(program);
    QTemporaryDir folder;
    double firstPage = -1;
    int pages = 0;
    const auto start = Clock::now();
    writeReportPdf(store::wholeCatalogueReport(program.data.ADOConnection),
                   QStringLiteral("Catálogo"),
                   store::FilePath(folder.filePath(QStringLiteral("catalogo.pdf"))),
                   store::FileCalls::system(), [&](int page, int total) {
                       if (page == 1 && firstPage < 0)
                           firstPage = secondsSince(start);
                       pages = total;
                   });
    print("pdf_s", secondsSince(start), "s");
    print("pdf_first_page_s", firstPage, "s");
    print("pdf_pages", pages, "pages");
    print("peak_mb_after_pdf", peakMegabytes(), "MB");
}

// True when every program of the CD in the joined view carries that description.
bool viewShows(Program &program, int cd, const QString &description) {
    store::TableCursor &view = program.data.TProgDisc;
    view.RecordCount(); // waits for a view still being read
    if (!view.FindRow(QStringLiteral("NroDisco"), cd, false))
        return false;
    const int number = view.fieldIndex(QStringLiteral("NroDisco"));
    const int text = view.fieldIndex(QStringLiteral("DescripcionDisco"));
    for (int row = view.currentIndex();
         row < view.visibleCount() && view.numberAt(row, number) == cd; ++row)
        if (view.valueAt(row, text).toString() != description)
            return false;
    return true;
}

// A CD's description changed in the Modify CD window, until the queries page would show it.
void saveCd() {
    Program program;
    settle(program);
    showQueries(program);
    program.main.CDs1Click();
    process();
    store::TableCursor &discos = program.data.TDiscos;
    TForm3 *window = program.opened.modifyCd;
    auto *descriptionBox = window->findChild<DBEdit *>("DBEdit2");
    auto *accept = window->findChild<QToolButton *>("SpeedButton1");
    std::vector<double> times;
    int shown = 0;
    for (int i = 1; i <= 5; ++i) {
        const int cd = discos.RecordCount() / 2 + i;
        const QString description = QStringLiteral("Colección revisada %1").arg(i);
        discos.FindRow(QStringLiteral("NroDisco"), cd, false);
        program.main.SpeedButton3Click(); // puts the CD's date in the window; opening is ours
        window->show();
        discos.EditRow(); // as typing would
        descriptionBox->setText(description);
        bool updated = false;
        times.push_back(timed([&] {
            accept->click();
            process();
            updated = viewShows(program, cd, description);
        }));
        shown += updated;
    }
    if (shown < 5)
        std::fprintf(stderr,
                     "save_cd: the queries page shows the new description after %d of 5 "
                     "saves\n",
                     shown);
    print("save_cd_s", median(times), "s");
    print("save_cd_view_updated", shown == 5, "bool");
}

void saveProgram() {
    Program program;
    settle(program);
    showQueries(program);
    program.main.Programas1Click();
    process();
    TForm6 *window = program.opened.modifyProgram;
    auto *version = window->findChild<DBEdit *>("DBEdit2");
    auto *accept = window->findChild<QToolButton *>("SpeedButton1");
    std::vector<double> times;
    for (int n = 1; n <= 5; ++n) {
        window->show();                    // opening selects the licence and CD
        program.data.TProgramas.EditRow(); // as typing a new version would
        version->setText(QStringLiteral("%1.0").arg(n));
        times.push_back(timed([&] {
            accept->click();
            process();
        }));
    }
    print("save_program_s", median(times), "s");
}

// The store alone: the joined view read whole, as the program's cursor reads it.
void openView() {
    store::Connection connection;
    connection.setFile(QDir::current().filePath(QStringLiteral("db.mdb")));
    connection.setConnected(true);
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        store::TableCursor view(QStringLiteral("ProgDisc"));
        view.setConnection(&connection);
        times.push_back(timed([&] {
            view.Open();
            view.RecordCount();
        }));
        view.Close();
    }
    print("open_view_s", median(times), "s");
}

// "Ver" > "Estadísticas" until its window is drawn, the catalogue counted.
void statistics() {
    Program program;
    settle(program);
    print("statistics_window_s", timed([&] {
              TFormEstadisticas window(program.desktop.services(), program.data, &program.main);
              window.refresh();
              window.show();
              process();
          }),
          "s");
}

// "Ver" > "Programas repetidos" until its window is drawn, every name compared.
void repeated() {
    Program program;
    settle(program);
    int lines = 0;
    print("repeated_window_s", timed([&] {
              TFormRepetidos window(
                  program.desktop.services(), program.data, [](qint64) {}, &program.main);
              window.refresh();
              window.show();
              process();
              lines = window.Grupos->model()->rowCount({});
          }),
          "s");
    print("repeated_lines", lines, "lines"); // a line per name and one per program
}

// "Buscar en todo el catálogo": the window shown, the catalogue read into memory behind it, then
// queries typed a key at a time, each keystroke timed until the grid has repainted.
void search() {
    Program program;
    settle(program);
    CatalogueSearch window(program.desktop.services(), program.data, nullptr);
    const auto opening = Clock::now();
    window.show();
    process();
    print("search_open_s", secondsSince(opening), "s"); // the window, answering
    while (!window.ready())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    print("search_ready_s", secondsSince(opening), "s"); // every program read in

    print("peak_mb_after_search_open", peakMegabytes(), "MB");
    std::vector<double> times;
    for (const QString &query :
         {QStringLiteral("visor imagenes 4"), QStringLiteral("empresa 12 shareware"),
          QStringLiteral("serie 7 oficina")}) {
        window.Palabras->clear();
        process();
        for (int length = 1; length <= query.size(); ++length)
            times.push_back(timed([&] {
                window.Palabras->setText(query.left(length));
                window.Resultados->viewport()->repaint(); // the grid once, as on screen
                process();
            }));
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    print("search_keystroke_mean_ms", sum / double(times.size()) * 1e3, "ms");
    print("search_keystroke_p90_ms", times[size_t(std::ceil(0.9 * double(times.size()))) - 1] * 1e3,
          "ms");
    print("search_keystroke_max_ms", times.back() * 1e3, "ms");
}

// On a server: another program saves a CD, and the time until this one's CDs grid shows it,
// without anything done here.
void live() {
    Program program;
    settle(program);
    const store::engine::DbHandle other = store::server::open(server);
    std::vector<double> times;
    for (int i = 0; i < 10; ++i) {
        const int before = program.data.TDiscos.RecordCount();
        const qint64 number =
            store::engine::queryNumber(other.get(), "SELECT max(NroDisco) FROM Discos") + 1;
        store::engine::Statement insert(other.get(), "INSERT INTO Discos VALUES (?, 'Otro', "
                                                     "'2026-12-09', NULL)");
        insert.bindInt(1, number);
        const auto saved = Clock::now();
        insert.step();
        while (program.data.TDiscos.RecordCount() == before)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        program.main.repaint();
        times.push_back(secondsSince(saved));
    }
    print("others_save_shown_s", median(times), "s");
    print("others_save_shown_max_s", *std::max_element(times.begin(), times.end()), "s");
}

const struct {
    const char *name;
    void (*run)();
} kSteps[] = {
    {"live", live},
    {"window", window},
    {"startup", startup},
    {"queries", queries},
    {"queries_at_once", queriesAtOnce},
    {"order", order},
    {"keystroke", keystroke},
    {"save_cd", saveCd},
    {"save_program", saveProgram},
    {"open_view", openView},
    {"statistics", statistics},
    {"search", search},
    {"repeated", repeated},
    {"first_programs", firstPrograms},
    {"first_queries", firstQueries},
    {"new_program", newProgram},
    {"backup", backup},
    {"export", exportListing},
    {"csv_import", csvImport},
    {"pdf", pdf},
};

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::prepareApplication(app);
    const auto step = std::find_if(std::begin(kSteps), std::end(kSteps), [&](const auto &s) {
        return argc == 3 && std::strcmp(argv[2], s.name) == 0;
    });
    if (step == std::end(kSteps)) {
        std::fprintf(stderr, "usage: vadrel-figures DIR STEP\nsteps:");
        for (const auto &s : kSteps)
            std::fprintf(stderr, " %s", s.name);
        std::fprintf(stderr, "\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (store::server::isServerAddress(argv[1])) {
        server = argv[1];
    } else if (!QFile::exists(QDir(folder).filePath(QStringLiteral("db.mdb"))) ||
               !QDir::setCurrent(folder)) {
        std::fprintf(stderr, "vadrel-figures: no db.mdb in %s\n", argv[1]);
        return 1;
    }
    step->run();
    return 0;
}
