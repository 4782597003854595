// vadrel-db: creates a catalogue folder for Vadrel.
#include "Catalogue.h"
#include "DatabaseError.h"

#include <QString>
#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    "Usage: vadrel-db init [--sample] DIR\n"
    "       vadrel-db --help\n"
    "\n"
    "Creates DIR/db.mdb, the catalogue that Vadrel opens from its working directory:\n"
    "the tables Discos and Programas, the relation that refuses deleting a CD that\n"
    "still has programs, and the view ProgDisc.\n"
    "\n"
    "  --sample   also fill it with a sample catalogue (12 CDs, 84 programs)\n"
    "\n"
    "DIR must be an existing, writable folder. An existing DIR/db.mdb is never\n"
    "overwritten: vadrel-db then stops with exit status 1 and leaves it untouched.\n"
    "Start Vadrel with DIR as its working directory to use the catalogue.\n";

int usageError(const char *message) {
    std::fprintf(stderr, "vadrel-db: %s\n\n%s", message, kUsage);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 2 || std::strcmp(argv[1], "init") != 0)
        return usageError("expected the command init");
    bool sample = false;
    const char *directory = nullptr;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sample") == 0)
            sample = true;
        else if (argv[i][0] == '-' && argv[i][1] != '\0')
            return usageError("unknown option");
        else if (!directory)
            directory = argv[i];
        else
            return usageError("only one folder can be given");
    }
    if (!directory)
        return usageError("no folder given");
    try {
        store::createCatalogue(QString::fromLocal8Bit(directory), sample);
    } catch (const store::DatabaseError &error) {
        std::fprintf(stderr, "vadrel-db: %s\n", error.engineMessage().toLocal8Bit().constData());
        return 1;
    }
    std::printf("Created %s/db.mdb%s\n", directory, sample ? " with the sample catalogue" : "");
    return 0;
}
