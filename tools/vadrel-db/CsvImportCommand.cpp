#include "vadrel-db/CsvImportCommand.h"

#include "store/catalogue/ServerCatalogue.h"
#include "store/engine/Connection.h"
#include "store/engine/DatabaseError.h"
#include "store/exchange/CatalogueCsv.h"
#include "store/files/FileError.h"
#include "vadrel-db/scan/WrongCall.h"

#include <QFile>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

bool isServer(const char *place) {
    struct stat info;
    // A folder of that name wins: "a=b" may be one.
    return ::stat(place, &info) != 0 && store::server::isServerAddress(QByteArray(place));
}

QByteArray local(const QString &text) {
    return text.toLocal8Bit();
}

// "1 row", "2 rows".
QByteArray counted(qint64 count, const char *one, const char *many) {
    return QByteArray::number(count) + ' ' + (count == 1 ? one : many);
}

int failure(const QByteArray &message) {
    std::fprintf(stderr, "vadrel-db: %s\n", message.constData());
    return 1;
}

} // namespace

int csvImportCommand(int argc, char **argv) {
    store::CsvOptions options;
    options.listed = INT_MAX; // every bad line is printed
    const char *file = nullptr;
    const char *destination = nullptr;
    for (int i = 2; i < argc; ++i) {
        const QByteArray argument = argv[i];
        const bool valued = argument == "--encoding" || argument == "--duplicates";
        if (valued && i + 1 == argc)
            return wrongCall(argument + " takes a value");
        if (argument == "--encoding") {
            options.encoding = store::encodingNamed(QString::fromLocal8Bit(argv[++i]));
            if (!options.encoding)
                return wrongCall("--encoding takes utf-8, windows-1252 or iso-8859-15");
        } else if (argument == "--duplicates") {
            const QByteArray value = argv[++i];
            if (value != "skip" && value != "add")
                return wrongCall("--duplicates takes skip or add");
            options.duplicates =
                value == "add" ? store::CsvDuplicates::Add : store::CsvDuplicates::Skip;
        } else if (argument == "--no-header") {
            options.titles = false;
        } else if (argument.startsWith('-') && argument.size() > 1) {
            return wrongCall("unknown option for import-csv '" + argument + "'");
        } else if (!file) {
            file = argv[i];
        } else if (!destination) {
            destination = argv[i];
        } else {
            return wrongCall("import-csv takes the CSV file and the catalogue");
        }
    }
    if (!destination)
        return wrongCall("import-csv takes the CSV file and the catalogue");

    const QString path = QFile::decodeName(file);
    store::Connection connection;
    QByteArray shown = destination;
    try {
        if (isServer(destination)) {
            shown = local(store::server::shownAddress(destination));
            store::useServer(connection, destination);
        } else {
            const QByteArray catalogue = QByteArray(destination) + "/db.mdb";
            struct stat info;
            if (::stat(catalogue.constData(), &info) != 0 || !S_ISREG(info.st_mode))
                return failure(QByteArray(destination) + " has no catalogue (db.mdb)");
            connection.setFile(store::FilePath(catalogue, QFile::decodeName(catalogue)));
            shown = catalogue;
        }
        connection.setConnected(true);
        // What is guessed is said, so that a wrong guess can be corrected with an option.
        const store::CsvFile read = store::previewCatalogueCsv(path, options, 0);
        if (read.binary)
            return failure(QByteArray(file) + " is not a CSV file; nothing imported");
        std::printf("Read %s as %s, %s\n", file,
                    local(store::encodingName(read.encoding)).constData(),
                    read.titles ? "line 1 as the titles" : "line 1 as a row (no titles)");
        for (qsizetype column = 0; column < read.header.size(); ++column)
            if (size_t(column) >= read.mapping.columns.size() ||
                !read.mapping.columns[size_t(column)])
                std::fprintf(stderr, "vadrel-db: warning: the column %s is not imported\n",
                             local(read.header[column]).constData());
        std::fflush(stdout);
        options.mapping = read.mapping;
        options.encoding = read.encoding;
        options.titles = read.titles;
        const store::CsvImported imported = store::importCatalogueCsv(connection, path, options);
        for (const store::CsvChangedCd &cd : imported.check.changedCds)
            std::fprintf(stderr, "vadrel-db: warning: %s:%d: %s\n", file, cd.line,
                         local(cd.reason).constData());
        if (imported.check.bareLineFeeds > 0)
            std::printf("Stored the LF line breaks of %s as CR LF\n",
                        counted(imported.check.bareLineFeeds, "row", "rows").constData());
        if (imported.skipped > 0)
            std::printf("Skipped %s already in the catalogue (use --duplicates add to add them)\n",
                        counted(imported.skipped, "row", "rows").constData());
        if (imported.renumbered > 0)
            std::printf("Gave new numbers to %s added again\n",
                        counted(imported.renumbered, "program", "programs").constData());
        std::printf("Imported %s and created %s in %s\n",
                    counted(imported.programs, "program", "programs").constData(),
                    counted(qint64(imported.addedCds.size()), "CD", "CDs").constData(),
                    shown.constData());
    } catch (const store::CsvRejected &rejected) {
        for (const store::CsvProblem &problem : rejected.problems())
            std::fprintf(stderr, "vadrel-db: %s:%d: %s\n", file, problem.line,
                         local(problem.reason).constData());
        return failure(counted(rejected.check().badLines, "bad line", "bad lines") +
                       "; nothing imported");
    } catch (const store::FileError &error) {
        return failure(local(error.path()) + ": " + error.what());
    } catch (const store::DatabaseError &error) {
        return failure(shown + ": " + local(error.engineMessage()));
    }
    return 0;
}
