#include "mainwin/AccessOffer.h"

#include "mainwin/ErrorMessages.h"
#include "store/catalogue/Catalogue.h"
#include "store/catalogue/HelpPages.h"
#include "store/catalogue/Modulo.h"
#include "store/engine/DatabaseError.h"
#include "store/files/FileError.h"
#include "store/files/StaleFiles.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QProgressDialog>
#include <QRegularExpression>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// The child's output, when it says what it wrote: "Wrote N CDs and M programs into ...".
bool writtenCounts(const QString &output, qint64 &cds, qint64 &programs) {
    static const QRegularExpression wrote(QStringLiteral("^Wrote (\\d+) CDs and (\\d+) programs "),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = wrote.match(output);
    if (!match.hasMatch())
        return false;
    cds = match.captured(1).toLongLong();
    programs = match.captured(2).toLongLong();
    return true;
}

// The reason the importer gave for failing: its own line ("vadrel-db: ..."), not the library's
// remarks on stderr around it, which may be many and come after.
QString importerReason(const QString &errors) {
    const QString ours = QStringLiteral("vadrel-db: ");
    QString reason;
    for (const QString &line : errors.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(ours) && !trimmed.startsWith(ours + QStringLiteral("warning:")))
            reason = trimmed.mid(ours.size());
    }
    return reason.isEmpty() ? errors : reason;
}

// Runs the importer into `folder` while a progress window shows; returns why it failed, or an
// empty text when the folder holds the converted catalogue and it checks out.
QString convert(QWidget *parent, const QString &importer, const QByteArray &folder) {
    // A damaged file can keep the reader busy for ever: the user may stop it.
    QProgressDialog progress(QStringLiteral("Convirtiendo el catálogo de Access, un momento ..."),
                             QStringLiteral("Cancelar"), 0, 0, parent);
    progress.setWindowTitle(QStringLiteral("Vadrel"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.show();

    QProcess child;
    QEventLoop loop;
    bool cancelled = false;
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&child, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    const QMetaObject::Connection stop =
        QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] {
            cancelled = true;
            child.kill();
        });
    endsWithThisProcess(child);
    // Relative names: the child works in the same folder, whatever bytes its name holds.
    child.start(importer,
                {QStringLiteral("import"), QStringLiteral("db.mdb"), QFile::decodeName(folder)});
    if (child.waitForStarted(10000) && child.state() != QProcess::NotRunning)
        loop.exec();
    child.waitForFinished(-1);
    QObject::disconnect(stop); // closing the window says "cancelled" too
    progress.close();
    if (cancelled)
        return QStringLiteral("la conversión se canceló");

    const QString errors = QString::fromLocal8Bit(child.readAllStandardError()).trimmed();
    if (child.error() == QProcess::FailedToStart)
        return QStringLiteral("no se pudo ejecutar %1").arg(importer);
    if (child.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("el conversor terminó de forma anormal");
    if (child.exitCode() != 0)
        return errors.isEmpty() ? QStringLiteral("el conversor terminó con error")
                                : importerReason(errors);
    qint64 cds = 0, programs = 0;
    if (!writtenCounts(QString::fromLocal8Bit(child.readAllStandardOutput()), cds, programs) ||
        !store::catalogueHolds(folder + "/db.mdb", cds, programs))
        return QStringLiteral("el catálogo convertido no resultó completo");
    return QString();
}

} // namespace

void endsWithThisProcess(QProcess &child) {
    const pid_t parent = ::getpid();
    child.setChildProcessModifier([parent] {
        // Only calls that are safe between fork and exec. This process may have died before the
        // request was made: then the child has a new parent already and stops at once.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
    });
}

bool offerAccessConversion(QWidget *parent, platform::Services services, const QString &importer) {
    const QByteArray here = TDataModule2::RutaBytes();
    // What a conversion or a listing killed part way left in the catalogue folder.
    if (!here.isEmpty()) {
        store::removeStaleImportFolders(here);
        store::removeStaleReplacements(here, "Listado.txt");
    }
    if (here.isEmpty() || !store::isAccessFile(here + "/db.mdb"))
        return true;
    const QString file = QDir::toNativeSeparators(QFile::decodeName(here + "/db.mdb"));
    auto refuse = [&](const QString &detail) {
        services.dialogs.error(
            parent, errorText(QStringLiteral("El archivo \"%1\" es un catálogo antiguo de "
                                             "Microsoft Access, que Vadrel no abre sin convertir; "
                                             "no se cambió nada. Para convertirlo, ejecute "
                                             "\"vadrel-db import db.mdb CARPETA\" y abra Vadrel "
                                             "en CARPETA")
                                  .arg(file),
                              detail));
        return false;
    };
    if (!services.dialogs.confirm(
            parent, QStringLiteral("\r\n El archivo db.mdb es un catálogo antiguo de Microsoft "
                                   "Access.\r\n ¿Desea convertirlo ahora? El archivo original se "
                                   "conserva sin cambios.\r\n")))
        return refuse(QString());

    // A fresh folder beside db.mdb, so that the new file is renamed into place within one file
    // system; it goes away with whatever is left in it.
    QByteArray folder = ".vadrel-import-XXXXXX";
    if (!::mkdtemp(folder.data()))
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    struct Remove {
        QByteArray folder;
        void now() {
            if (!folder.isEmpty()) // an empty name would be the working directory itself
                QDir(QFile::decodeName(folder)).removeRecursively();
            folder.clear();
        }
        ~Remove() { now(); }
    } remove{folder};

    const QString failure = convert(parent, importer, folder);
    if (!failure.isEmpty())
        return refuse(failure);
    QByteArray kept;
    try {
        kept = store::adoptConvertedCatalogue(folder + "/db.mdb", here);
    } catch (const store::FileError &error) {
        return refuse(error.detail());
    }
    remove.now(); // gone before the user reads the news
    // A folder the old program left without its help pages gets them, as init gives them.
    try {
        store::installHelpPages(QStringLiteral(".")); // the folder by its own bytes
    } catch (const store::DatabaseError &) {
        // The catalogue is what matters here; "Ayuda" says itself when its pages are missing.
    }
    services.dialogs.information(
        parent, QStringLiteral("\r\n El catálogo de Access se convirtió y se abre ahora.\r\n El "
                               "archivo original quedó sin cambios en \"%1\" \r\n")
                    .arg(QDir::toNativeSeparators(QFile::decodeName(kept))));
    return true;
}
