// vadrel-db: creates a catalogue folder for Vadrel.
#include "AccessReader.h"
#include "Catalogue.h"
#include "DatabaseError.h"
#include "HelpPages.h"
#include "Import.h"

#include <QString>
#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    "Usage: vadrel-db init [--sample] DIR\n"
    "       vadrel-db install-help DIR\n"
    "       vadrel-db import OLD.mdb DIR\n"
    "       vadrel-db --help\n"
    "\n"
    "init creates DIR/db.mdb, the catalogue that Vadrel opens from its working\n"
    "directory: the tables Discos and Programas, the relation that refuses deleting\n"
    "a CD that still has programs, and the view ProgDisc. It also writes the help\n"
    "pages that Vadrel shows into DIR/ayuda.\n"
    "\n"
    "  --sample   also fill it with a sample catalogue (12 CDs, 84 programs)\n"
    "\n"
    "install-help writes only the help pages into DIR/ayuda, for a catalogue folder\n"
    "that has none.\n"
    "\n"
    "import brings an old catalogue kept in a Microsoft Access file (Jet 3 or Jet 4)\n"
    "across: it creates DIR/db.mdb as init does and copies every CD and program into it,\n"
    "then writes the help pages as init does. OLD.mdb is only read. A program whose CD\n"
    "is missing from OLD.mdb gets that CD, with an empty description. On any failure\n"
    "nothing is created and the exit status is 1.\n"
    "\n"
    "DIR must be an existing, writable folder. An existing DIR/db.mdb is never\n"
    "overwritten: init then stops with exit status 1 and leaves the folder untouched.\n"
    "An existing DIR/ayuda is never overwritten either; it is kept as it is.\n"
    "Start Vadrel with DIR as its working directory to use the catalogue.\n";

int usageError(const char *message) {
    std::fprintf(stderr, "vadrel-db: %s\n\n%s", message, kUsage);
    return 2;
}

} // namespace

int import(const char *oldFile, const char *directory) {
    const QString folder = QString::fromLocal8Bit(directory);
    try {
        const ImportReport report = importAccessCatalogue(QString::fromLocal8Bit(oldFile), folder);
        for (const QString &column : report.ignoredColumns)
            std::fprintf(stderr, "vadrel-db: warning: the column %s is not brought across\n",
                         column.toLocal8Bit().constData());
        for (qint64 cd : report.addedCds)
            std::printf("Added CD %lld: OLD.mdb has programs on it but not the CD itself\n",
                        static_cast<long long>(cd));
        std::printf("Read %lld CDs and %lld programs from %s\n",
                    static_cast<long long>(report.cdsRead),
                    static_cast<long long>(report.programsRead), oldFile);
        std::printf("Wrote %lld CDs and %lld programs into %s/db.mdb\n",
                    static_cast<long long>(report.cdsWritten),
                    static_cast<long long>(report.programsWritten), directory);
        if (store::installHelpPages(folder))
            std::printf("Wrote the help pages into %s/ayuda\n", directory);
    } catch (const ImportError &error) {
        std::fprintf(stderr, "vadrel-db: %s\n", error.what());
        return 1;
    } catch (const store::DatabaseError &error) {
        std::fprintf(stderr, "vadrel-db: %s\n", error.engineMessage().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

int main(int argc, char **argv) {
    if (argc >= 2 && std::strcmp(argv[1], "import") == 0) {
        if (argc != 4)
            return usageError("import takes the old file and the folder");
        return import(argv[2], argv[3]);
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const bool helpOnly = argc >= 2 && std::strcmp(argv[1], "install-help") == 0;
    if (argc < 2 || (std::strcmp(argv[1], "init") != 0 && !helpOnly))
        return usageError("expected the command init, install-help or import");
    bool sample = false;
    const char *directory = nullptr;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sample") == 0 && !helpOnly)
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
    const QString folder = QString::fromLocal8Bit(directory);
    try {
        if (!helpOnly) {
            store::createCatalogue(folder, sample);
            std::printf("Created %s/db.mdb%s\n", directory,
                        sample ? " with the sample catalogue" : "");
        }
        if (store::installHelpPages(folder))
            std::printf("Wrote the help pages into %s/ayuda\n", directory);
        else
            std::printf("%s/ayuda already exists; it was left untouched\n", directory);
    } catch (const store::DatabaseError &error) {
        std::fprintf(stderr, "vadrel-db: %s\n", error.engineMessage().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
