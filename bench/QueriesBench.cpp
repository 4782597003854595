// The queries page on large catalogues: one keystroke of the incremental search and one change
// of the CD filter, each through the real window (handler, cursor, grid and repaint).
#include "RunningProgram.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

struct QueriesPage : RunningProgram {
    QLineEdit *search = mainWindow().findChild<QLineEdit *>("Edit1");
    QComboBox *order = mainWindow().findChild<QComboBox *>("ComboBox1");
    QComboBox *cds = mainWindow().findChild<QComboBox *>("ComboBox2");

    explicit QueriesPage(int programs)
        : RunningProgram(programs) {}
};

// Types a name letter by letter into the search box of the page ordered by "Programa"; with
// `repaint`, the window is redrawn after each keystroke as it would be on screen.
void typeSearch(benchmark::State &state, bool repaint) {
    QueriesPage page(int(state.range(0)));
    page.order->setCurrentIndex(2); // "Programa"
    page.mainWindow().ComboBox1Change();
    QApplication::processEvents();
    const QString word = QStringLiteral("Visor de Imágenes 4");
    int length = 0;
    for (auto _ : state) {
        length = length % word.size() + 1;
        page.search->setText(word.left(length));
        if (repaint)
            QApplication::processEvents(); // the grid repaints around the found row
    }
    QApplication::processEvents();
}

void BM_SearchKeystroke(benchmark::State &state) {
    typeSearch(state, true);
}
// The same keystroke up to the point where the window asks to be repainted.
void BM_SearchKeystrokeNoPaint(benchmark::State &state) {
    typeSearch(state, false);
}

void BM_CdFilterChange(benchmark::State &state) {
    QueriesPage page(int(state.range(0)));
    const int choices = page.cds->count();
    int i = 0;
    for (auto _ : state) {
        page.cds->setCurrentIndex(1 + (i++ * 7919) % (choices - 1));
        page.mainWindow().ComboBox2Change();
        QApplication::processEvents();
    }
}

} // namespace

BENCHMARK(BM_SearchKeystroke)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SearchKeystrokeNoPaint)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CdFilterChange)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
