// vadrel-db: creates a catalogue folder (or a server's catalogue) for Vadrel, brings an old
// Access catalogue across, copies a catalogue, and reads discs into one.
#include "store/catalogue/Catalogue.h"
#include "store/catalogue/HelpPages.h"
#include "store/catalogue/ServerCatalogue.h"
#include "store/engine/DatabaseError.h"
#include "vadrel-db/AccessReader.h"
#include "vadrel-db/AddDisc.h"
#include "vadrel-db/CopyCommand.h"
#include "vadrel-db/CsvImportCommand.h"
#include "vadrel-db/ExportCommand.h"
#include "vadrel-db/Import.h"
#include "vadrel-db/scan/ScanCommand.h"
#include "vadrel-db/scan/WrongCall.h"

#include <QByteArray>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: vadrel-db init [--sample] DIR\n"
    "       vadrel-db init [--sample] --servidor URI\n"
    "       vadrel-db install-help DIR\n"
    "       vadrel-db import OLD.mdb DIR|URI\n"
    "       vadrel-db copy ORIGEN DESTINO\n"
    "       vadrel-db import-csv [OPTIONS] ARCHIVO DESTINO\n"
    "       vadrel-db export DESTINO ARCHIVO\n"
    "       vadrel-db scan SOURCE\n"
    "       vadrel-db add-disc [--again] DIR SOURCE...\n"
    "       vadrel-db --help | --version\n"
    "\n"
    "init creates DIR/db.mdb, the catalogue that Vadrel opens from its working\n"
    "directory: the tables Discos and Programas, the relation that refuses deleting\n"
    "a CD that still has programs, and the view ProgDisc. It also writes the help\n"
    "pages that Vadrel shows into DIR/ayuda.\n"
    "\n"
    "  --sample   also fill it with a sample catalogue (12 CDs, 84 programs)\n"
    "\n"
    "init --servidor URI creates the same tables in the PostgreSQL database URI (a\n"
    "libpq URI such as postgresql://user@host/base, or service=NAME), with a change\n"
    "counter on every row and a notification on every change, so that several\n"
    "machines share the catalogue. A database that already holds one is refused.\n"
    "The password comes from ~/.pgpass, PGPASSFILE or PGPASSWORD.\n"
    "\n"
    "copy copies the catalogue of a folder or a server (ORIGEN) into a new one in a\n"
    "folder or on a server (DESTINO), read at one moment and written in one\n"
    "transaction, checked by counts and row by row before it is kept.\n"
    "\n"
    "import-csv adds the rows of a CSV file (Vadrel's own export or a spreadsheet's\n"
    "list) to the catalogue of a folder or a server (DESTINO), checked as the window\n"
    "\"Importar desde CSV\" checks them and stored in one transaction: every bad line\n"
    "is printed and then nothing is stored (exit status 1). The encoding, whether\n"
    "line 1 holds titles and each column's field are guessed; what was guessed is\n"
    "printed.\n"
    "\n"
    "  --encoding utf-8|windows-1252|iso-8859-15   read the file in that encoding\n"
    "  --no-header           line 1 is a row, not the titles\n"
    "  --duplicates skip|add rows whose CD, name and version the catalogue has:\n"
    "                        left out (the default) or added again\n"
    "export writes the whole catalogue of a folder or a server (DESTINO) to ARCHIVO,\n"
    "as the export window does: CSV, an ODS spreadsheet, an HTML report or a PDF\n"
    "report, by the file's extension (.csv, .ods, .html or .htm, .pdf). The file is\n"
    "written whole or not at all; on any failure the exit status is 1. No display\n"
    "is needed.\n"
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
    "scan reads a disc (an image file such as an .iso, the folder of a mounted disc,\n"
    "or a block device) and prints, as JSON lines, the CD and the programs a person\n"
    "cataloguing it would record; nothing is written.\n"
    "\n"
    "add-disc reads each SOURCE the same way and stores its CD and the programs\n"
    "proposed checked into DIR/db.mdb, one transaction per disc. A disc whose\n"
    "description and date a CD already has is skipped unless --again is given.\n"
    "\n"
    "init makes DIR, and the folders above it, when it is not there; the other\n"
    "commands take an existing, writable folder. An existing DIR/db.mdb is never\n"
    "overwritten: init then stops with exit status 1 and leaves the folder untouched.\n"
    "An existing DIR/ayuda is never overwritten either; it is kept as it is.\n"
    "Start Vadrel with DIR as its working directory to use the catalogue.\n";

int failure(const QByteArray &message) {
    std::fprintf(stderr, "vadrel-db: %s\n", message.constData());
    return 1;
}

QByteArray quoted(const char *argument) {
    return '\'' + QByteArray(argument) + '\'';
}

QByteArray cannotEnter(const char *directory, int error) {
    return "cannot enter the folder " + QByteArray(directory) + ": " + std::strerror(error);
}

// DIR is looked at and entered by the bytes the system gave: its name need not be valid text,
// and a QString would spell it otherwise. Each returns what was wrong, or nothing.
QByteArray checkFolder(const char *directory) {
    struct stat info;
    if (::stat(directory, &info) != 0) {
        const int error = errno;
        return error == ENOENT || error == ENOTDIR
                   ? "the folder " + QByteArray(directory) + " does not exist"
                   : cannotEnter(directory, error);
    }
    if (!S_ISDIR(info.st_mode))
        return QByteArray(directory) + " is not a folder";
    return {};
}

// Made the working directory, the store creates everything in it as ".".
QByteArray enterFolder(const char *directory) {
    QByteArray problem = checkFolder(directory);
    if (problem.isEmpty() && ::chdir(directory) != 0)
        problem = cannotEnter(directory, errno);
    return problem;
}

// The store, working inside the folder, names it "." ("./db.mdb", "the folder .: ..."); the
// user reads it under the name they typed.
QByteArray spelled(const QString &message, const char *directory) {
    const QByteArray text = message.toLocal8Bit();
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool startsWord = i == 0 || text[i - 1] == ' ';
        const bool endsWord = i + 1 == text.size() || std::strchr("/: ", text[i + 1]);
        if (text[i] == '.' && startsWord && endsWord)
            out += directory;
        else
            out += text[i];
    }
    return out;
}

// What the store's failure means, naming the folder as the user typed it.
QByteArray reason(const store::DatabaseError &error, const char *directory) {
    if (error.cause() == store::DatabaseError::Cause::PathTooLong)
        return "the path of " + QByteArray(directory) +
               "/db.mdb is longer than the database engine takes (512 bytes)";
    return spelled(error.engineMessage(), directory);
}

int import(const char *oldFile, const char *directory) {
    // The cheap refusals first, before the old file is read.
    struct stat info;
    if (::lstat((QByteArray(directory) + "/db.mdb").constData(), &info) == 0)
        return failure(QByteArray(directory) + "/db.mdb already exists; it was left untouched");
    if (const QByteArray problem = checkFolder(directory); !problem.isEmpty())
        return failure(problem);
    try {
        // Opened before the folder is entered, so that a relative OLD.mdb is where the user
        // meant; the file stays open.
        AccessReader reader{QByteArray(oldFile)};
        if (::chdir(directory) != 0)
            return failure(cannotEnter(directory, errno));
        const ImportReport report = importAccessCatalogue(reader, QStringLiteral("."));
        // db.mdb is this run's from here on: a failure still to come takes it away again, so
        // that a failed import leaves nothing (an ayuda that was there is never touched).
        bool helpWritten = false;
        try {
            helpWritten = store::installHelpPages(QStringLiteral("."));
        } catch (const store::DatabaseError &error) {
            ::unlink("db.mdb");
            return failure(reason(error, directory));
        }
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
        if (helpWritten)
            std::printf("Wrote the help pages into %s/ayuda\n", directory);
    } catch (const ImportError &error) {
        return failure(error.what());
    } catch (const store::DatabaseError &error) {
        return failure(reason(error, directory));
    }
    return 0;
}

// The folders init made, so that a failure takes them away again; only empty ones go, so
// nothing written into them is lost.
class MadeFolders {
public:
    MadeFolders()
        : base_(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
    MadeFolders(const MadeFolders &) = delete;
    MadeFolders &operator=(const MadeFolders &) = delete;
    // Relative names are taken from where the tool started, whatever folder it entered since.
    ~MadeFolders() {
        for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder)
            ::unlinkat(base_, folder->constData(), AT_REMOVEDIR);
        if (base_ >= 0)
            ::close(base_);
    }

    // As `mkdir -p`, by the bytes given. Returns what was wrong, or nothing.
    QByteArray make(const char *directory) {
        const QByteArray path = directory;
        for (qsizetype end = 1; end <= path.size(); ++end) {
            if ((end < path.size() && path[end] != '/') || path[end - 1] == '/')
                continue;
            const QByteArray folder = path.left(end);
            if (::mkdir(folder.constData(), 0777) == 0) {
                made_.push_back(folder);
                continue;
            }
            // An existing folder may still refuse mkdir with another reason (a read-only mount).
            const int error = errno;
            struct stat info;
            if (error != EEXIST &&
                (::stat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode)))
                return "cannot make the folder " + folder + ": " + std::strerror(error);
        }
        return {};
    }
    bool any() const { return !made_.empty(); }
    void keep() { made_.clear(); }

private:
    int base_;
    std::vector<QByteArray> made_;
};

int create(const char *directory, bool sample, bool helpOnly) {
    // init makes a missing folder, as `git init DIR` does; install-help is for one already there.
    MadeFolders folders;
    if (!helpOnly) {
        if (const QByteArray problem = folders.make(directory); !problem.isEmpty())
            return failure(problem);
    }
    if (const QByteArray problem = enterFolder(directory); !problem.isEmpty())
        return failure(problem);
    try {
        if (!helpOnly) {
            store::createCatalogue(QStringLiteral("."), sample);
            if (folders.any())
                std::printf("Created the folder %s\n", directory);
            folders.keep();
            std::printf("Created %s/db.mdb%s\n", directory,
                        sample ? " with the sample catalogue" : "");
        }
        if (store::installHelpPages(QStringLiteral(".")))
            std::printf("Wrote the help pages into %s/ayuda\n", directory);
        else
            std::printf("%s/ayuda already exists; it was left untouched\n", directory);
    } catch (const store::DatabaseError &error) {
        return failure(reason(error, directory));
    }
    return 0;
}

int createOnServer(const char *address, bool sample) {
    const QString shown = store::server::shownAddress(address);
    try {
        store::createServerCatalogue(address, sample);
    } catch (const store::DatabaseError &error) {
        return failure((shown + QStringLiteral(": ") + error.engineMessage()).toLocal8Bit());
    }
    std::printf("Created the catalogue on %s%s\n", shown.toLocal8Bit().constData(),
                sample ? " with the sample catalogue" : "");
    return 0;
}

int importToServer(const char *oldFile, const char *address) {
    const QString shown = store::server::shownAddress(address);
    try {
        AccessReader reader{QByteArray(oldFile)};
        const ImportReport report = importAccessCatalogueToServer(reader, address);
        for (qint64 cd : report.addedCds)
            std::printf("Added CD %lld: OLD.mdb has programs on it but not the CD itself\n",
                        static_cast<long long>(cd));
        std::printf(
            "Wrote %lld CDs and %lld programs onto %s\n", static_cast<long long>(report.cdsWritten),
            static_cast<long long>(report.programsWritten), shown.toLocal8Bit().constData());
    } catch (const ImportError &error) {
        return failure(error.what());
    } catch (const store::DatabaseError &error) {
        return failure((shown + QStringLiteral(": ") + error.engineMessage()).toLocal8Bit());
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2)
        return wrongCall(
            "expected the command init, install-help, import, import-csv, copy, export, scan or "
            "add-disc");
    const QByteArray command = argv[1];
    if (command == "--help" || command == "-h" || command == "--version") {
        if (argc > 2)
            return wrongCall(quoted(argv[1]) + " takes no arguments");
        if (command == "--version")
            std::printf("vadrel-db %s\n", VADREL_VERSION);
        else
            std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "import") {
        if (argc != 4)
            return wrongCall("import takes the old file and the folder");
        struct stat info;
        if (::stat(argv[3], &info) != 0 && store::server::isServerAddress(argv[3]))
            return importToServer(argv[2], argv[3]);
        return import(argv[2], argv[3]);
    }
    if (command == "copy")
        return copyCommand(argc, argv);
    if (command == "import-csv")
        return csvImportCommand(argc, argv);
    if (command == "export")
        return exportCommand(argc, argv);
    if (command == "scan")
        return scanCommand(argc, argv);
    if (command == "add-disc")
        return addDiscCommand(argc, argv);
    const bool helpOnly = command == "install-help";
    if (command != "init" && !helpOnly)
        return wrongCall(command.startsWith('-') && command.size() > 1
                             ? "unknown option " + quoted(argv[1])
                             : "unknown command " + quoted(argv[1]));
    bool sample = false;
    bool server = false;
    const char *directory = nullptr;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sample") == 0 && !helpOnly)
            sample = true;
        else if (std::strcmp(argv[i], "--servidor") == 0 && !helpOnly)
            server = true;
        else if (argv[i][0] == '-' && argv[i][1] != '\0')
            return wrongCall("unknown option " + quoted(argv[i]));
        else if (!directory)
            directory = argv[i];
        else
            return wrongCall("only one folder can be given");
    }
    if (!directory)
        return wrongCall(command + (server ? " --servidor takes the server's address"
                                           : QByteArray(" takes the folder")));
    if (server)
        return createOnServer(directory, sample);
    return create(directory, sample, helpOnly);
}
