// The whole "ACEPTAR" of the New program and Modify program windows on large catalogues,
// through the real windows: checks, the write, the joined view closed and read again, and the
// window made ready again (New program) or closed (Modify program).
#include "RunningProgram.h"
#include "editors/AProg.h"
#include "editors/MProg.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"
#include "widgets/DBEdit.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QToolButton>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// With the Programs page in front, as when its buttons are used.
struct Program : RunningProgram {
    explicit Program(int programs)
        : RunningProgram(programs) {
        mainWindow().Programas1Click();
        QApplication::processEvents();
    }
};

void BM_NewProgramAccept(benchmark::State &state) {
    Program program(int(state.range(0)));
    TForm4 *window = program.opened().newProgram;
    auto *name = window->findChild<QLineEdit *>("Edit1");
    auto *accept = window->findChild<QToolButton *>("SpeedButton1");
    window->show(); // opening runs Limpiar
    int n = 0;
    for (auto _ : state) {
        name->setText(QStringLiteral("Programa de prueba %1").arg(++n));
        accept->click();
    }
    window->close();
}

void BM_ModifyProgramAccept(benchmark::State &state) {
    Program program(int(state.range(0)));
    TForm6 *window = program.opened().modifyProgram;
    auto *version = window->findChild<DBEdit *>("DBEdit2");
    auto *accept = window->findChild<QToolButton *>("SpeedButton1");
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        window->show();                                     // opening selects the licence and CD
        program.windows->dataModule().TProgramas.EditRow(); // as typing a new version would
        version->setText(QStringLiteral("%1.0").arg(++n));
        state.ResumeTiming();
        accept->click();
    }
}

} // namespace

BENCHMARK(BM_NewProgramAccept)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModifyProgramAccept)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
