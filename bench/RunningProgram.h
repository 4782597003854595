#pragma once

#include "LargeCatalogue.h"
#include "SilentDesktop.h"
#include "mainwin/Startup.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"

#include <QApplication>
#include <QDir>
#include <memory>

// The whole program started on a generated catalogue of that size, the main window shown and
// the queries page visited once (so the joined view is ordered, as in use).
struct RunningProgram {
    SilentDesktop desktop;
    std::unique_ptr<Startup> windows;

    explicit RunningProgram(int programs) {
        QDir::setCurrent(largeCatalogueFolder(programs));
        windows = std::make_unique<Startup>(desktop.services());
        mainWindow().show();
        mainWindow().Consultas1Click();
        QApplication::processEvents();
        // Every row in, as after a while of use: the page shows the first ones before that.
        windows->dataModule().TProgramas.RecordCount();
        windows->dataModule().TProgDisc.RecordCount();
    }

    TForm1 &mainWindow() { return windows->mainWindow(); }
    const SecondaryWindows &opened() const { return windows->windows(); }
};
