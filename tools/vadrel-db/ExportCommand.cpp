#include "vadrel-db/ExportCommand.h"

#include "reports/ReportPages.h"
#include "store/catalogue/ServerCatalogue.h"
#include "store/engine/Connection.h"
#include "store/engine/DatabaseError.h"
#include "store/exchange/CatalogueCsv.h"
#include "store/exchange/CatalogueOds.h"
#include "store/exchange/CatalogueReport.h"
#include "store/files/FileCalls.h"
#include "store/files/FileError.h"
#include "vadrel-db/scan/WrongCall.h"

#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace {

enum class Format { Csv, Ods, Html, Pdf };

std::optional<Format> formatOf(const QByteArray &file) {
    const QByteArray name = file.mid(file.lastIndexOf('/') + 1).toLower();
    if (name.endsWith(".csv"))
        return Format::Csv;
    if (name.endsWith(".ods"))
        return Format::Ods;
    if (name.endsWith(".html") || name.endsWith(".htm"))
        return Format::Html;
    if (name.endsWith(".pdf"))
        return Format::Pdf;
    return std::nullopt;
}

bool isServer(const char *place) {
    struct stat info;
    // A folder of that name wins: "a=b" may be one.
    return ::stat(place, &info) != 0 && store::server::isServerAddress(QByteArray(place));
}

int failure(const QByteArray &message) {
    std::fprintf(stderr, "vadrel-db: %s\n", message.constData());
    return 1;
}

} // namespace

int exportCommand(int argc, char **argv) {
    if (argc != 4)
        return wrongCall("export takes the catalogue and the file to write");
    const char *place = argv[2];
    const QByteArray target = argv[3];
    const std::optional<Format> format = formatOf(target);
    if (!format)
        return wrongCall("cannot tell the format of " + target +
                         ": the file must end in .csv, .ods, .html, .htm or .pdf");

    // The PDF is painted with Qt's fonts, which need a GUI application; it never shows a window,
    // so it runs without a display (from cron, over ssh).
    std::unique_ptr<QGuiApplication> gui;
    if (*format == Format::Pdf) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Qt's notes on the missing desktop session are no concern of a script's; failures
        // are said by the command itself.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "vadrel-db: %s\n", text.toLocal8Bit().constData());
        });
        static int guiArgc = 1;
        gui = std::make_unique<QGuiApplication>(guiArgc, argv);
    }

    const bool server = isServer(place);
    const QByteArray shown =
        server ? store::server::shownAddress(place).toLocal8Bit() : QByteArray(place);
    store::Connection connection;
    try {
        if (server) {
            store::useServer(connection, QByteArray(place));
        } else {
            const QByteArray file = QByteArray(place) + "/db.mdb";
            struct stat info;
            if (::stat(file.constData(), &info) != 0)
                return failure("no catalogue in " + shown + " (" + file + " is missing)");
            connection.setFile(store::FilePath(file, QFile::decodeName(file)));
        }
        connection.setConnected(true);
        const store::FilePath path(target, QFile::decodeName(target));
        store::FileCalls &files = store::FileCalls::system();
        const QString title = QStringLiteral("Catálogo de CDs");
        switch (*format) {
        case Format::Csv:
            store::writeCatalogueCsv(connection, path, files);
            break;
        case Format::Ods:
            store::writeCatalogueOds(connection, path, files);
            break;
        case Format::Html:
            store::writeReportHtml(store::wholeCatalogueReport(connection), title, path, files);
            break;
        case Format::Pdf:
            writeReportPdf(store::wholeCatalogueReport(connection), title, path, files);
            break;
        }
    } catch (const store::DatabaseError &error) {
        return failure(shown + ": " + error.engineMessage().toLocal8Bit());
    } catch (const store::FileError &error) {
        return failure("cannot write " + target + ": " + error.detail().toLocal8Bit());
    }
    std::printf("Exported the catalogue of %s to %s\n", shown.constData(), target.constData());
    return 0;
}
