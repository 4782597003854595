#pragma once

#include "Platform.h"

#include <QString>
#include <memory>

class TForm1;
class TDataModule2;

// Creates every window of the program in its fixed order, all hidden, and keeps them for the
// run: the main window first, then the data module (which opens the catalogue; a failure there
// is shown by the main window's error handler), then the other windows. An old Access db.mdb is
// offered for conversion with `importer` (vadrel-db, beside the program when not given) before
// the data module opens anything. Without `openCatalogue` nothing is opened at all.
class Startup {
public:
    explicit Startup(platform::Services services, const QString &importer = QString(),
                     bool openCatalogue = true);
    ~Startup();
    Startup(const Startup &) = delete;
    Startup &operator=(const Startup &) = delete;

    TForm1 &mainWindow() { return *form1_; }
    TDataModule2 &dataModule() { return *module_; }

private:
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TDataModule2> module_;
};
