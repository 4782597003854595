#include "platform/Application.h"

#include <QApplication>
#include <benchmark/benchmark.h>

// Real windows on the offscreen platform, set up as the program sets itself up.
int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::prepareApplication(app);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
