#pragma once

#include "mainwin/SecondaryWindows.h"
#include "platform/Platform.h"

#include <QByteArray>
#include <QString>
#include <memory>

class TForm1;
class TDataModule2;

// Creates the data module and every window of the program in its fixed order, all hidden, and
// keeps them for the run: the data module, then the main window, which shows its sources and is
// handed the other windows, each made with the data module; then the catalogue is opened (a
// failure there is shown by the main window's error handler). An old Access db.mdb is offered for
// conversion with `importer` (vadrel-db, beside the program when not given) before the data module
// opens anything. Without `openCatalogue` nothing is opened at all (the user chose no catalogue). A
// catalogue chosen later from the main window replaces the open one.
class Startup {
public:
    // With `server`, the catalogue is the one on that server (a libpq address).
    explicit Startup(platform::Services services, const QString &importer = QString(),
                     bool openCatalogue = true, const QByteArray &server = {});
    ~Startup();
    Startup(const Startup &) = delete;
    Startup &operator=(const Startup &) = delete;

    TForm1 &mainWindow() { return *form1_; }
    TDataModule2 &dataModule() { return *module_; }
    const SecondaryWindows &windows() const { return windows_; }

private:
    // `scanner`: the vadrel-db that reads discs for "Catalogar un disco".
    SecondaryWindows makeWindows(TForm1 &main, const QByteArray &scanner);
    // Opens db.mdb in the working directory, after the offer to convert an Access one.
    void openHere();
    void switchTo(const QByteArray &folder);

    platform::Services services_;
    QString converter_;
    std::unique_ptr<TDataModule2> module_;
    std::unique_ptr<TForm1> form1_;
    SecondaryWindows windows_; // owned by the main window
};
