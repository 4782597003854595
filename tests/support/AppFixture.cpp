#include "AppFixture.h"

#include "cds_.h"

void AppFixture::start(bool withDatabase, bool sample,
                       const std::function<void(TempCatalogue &)> &arrange) {
    TearDown(); // a test may start the program again, on a fresh catalogue
    catalogue = std::make_unique<TempCatalogue>(sample, withDatabase);
    if (arrange)
        arrange(*catalogue);
    cwd = std::make_unique<ScopedCwd>(catalogue->dir());
    app = std::make_unique<Startup>(fake.services(), importer);
    Form1->show(); // as the program entry does
}

void AppFixture::TearDown() {
    app.reset();
    cwd.reset();
}
