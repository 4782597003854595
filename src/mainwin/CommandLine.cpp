#include "CommandLine.h"

#include "Catalogue.h"
#include "DatabaseError.h"
#include "ErrorMessages.h"
#include "HelpPages.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

Invocation readArguments(int argc, char **argv) {
    Invocation invocation;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            invocation.action = Invocation::Action::Help;
            return invocation;
        }
        if (std::strcmp(argument, "--version") == 0) {
            invocation.action = Invocation::Action::Version;
            return invocation;
        }
        if (argument[0] == '-' && argument[1] != '\0') {
            invocation.action = Invocation::Action::Wrong;
            invocation.problem =
                QStringLiteral("opción desconocida: %1").arg(QString::fromLocal8Bit(argument));
            return invocation;
        }
        if (!invocation.folder.isEmpty() || argument[0] == '\0') {
            invocation.action = Invocation::Action::Wrong;
            invocation.problem = argument[0] == '\0'
                                     ? QStringLiteral("la carpeta está vacía")
                                     : QStringLiteral("se indicó más de una carpeta");
            return invocation;
        }
        invocation.folder = argument;
    }
    return invocation;
}

QString usageText() {
    return QStringLiteral(
        "Uso: vadrel [CARPETA]\n"
        "     vadrel --help | --version\n"
        "\n"
        "Vadrel, catálogo de CDs de software. Abre el catálogo db.mdb de CARPETA, o de la\n"
        "carpeta desde la que se inicia cuando no se indica ninguna. Si CARPETA no existe o\n"
        "no tiene catálogo, ofrece crear en ella uno vacío con sus páginas de ayuda.\n"
        "\n"
        "  --help      muestra este texto\n"
        "  --version   muestra la versión\n");
}

QString versionText() {
    return QStringLiteral("vadrel %1\n").arg(QStringLiteral(VADREL_VERSION));
}

namespace {

// mkdir -p on the file system's own bytes: a folder name need not be valid text. On failure
// errno says why.
bool makeFolders(const QByteArray &folder) {
    for (qsizetype at = 1; at <= folder.size(); ++at) {
        if (at < folder.size() && folder[at] != '/')
            continue;
        const QByteArray part = folder.left(at);
        struct stat info;
        if (::stat(part.constData(), &info) == 0) {
            if (!S_ISDIR(info.st_mode)) {
                errno = ENOTDIR;
                return false;
            }
        } else if (::mkdir(part.constData(), 0777) != 0) {
            return false;
        }
    }
    return true;
}

// Why `folder` can hold no catalogue, in words for the user; empty when it is a folder or is
// missing and may be made.
QString folderProblem(const QByteArray &folder) {
    struct stat info;
    if (::stat(folder.constData(), &info) == 0)
        return S_ISDIR(info.st_mode) ? QString() : QStringLiteral("es un archivo, no una carpeta");
    switch (errno) {
    case ENOENT:
        if (::lstat(folder.constData(), &info) == 0 && S_ISLNK(info.st_mode))
            return QStringLiteral("es un enlace simbólico a algo que no existe");
        return {};
    case ENOTDIR:
        return QStringLiteral("una parte de su ruta es un archivo, no una carpeta");
    case ELOOP:
        return QStringLiteral("sus enlaces simbólicos forman un ciclo");
    case EACCES:
        return QStringLiteral("no tiene permiso para entrar en ella");
    case ENAMETOOLONG:
        return QStringLiteral("su nombre es demasiado largo");
    default:
        return QString::fromLocal8Bit(std::strerror(errno));
    }
}

} // namespace

bool enterCatalogueFolder(const QByteArray &folder, platform::Services services) {
    const QString shown = QDir::toNativeSeparators(QFile::decodeName(folder));
    // Nothing is offered where no catalogue can be: the box says why.
    if (const QString problem = folderProblem(folder); !problem.isEmpty()) {
        services.dialogs.error(
            nullptr,
            errorText(
                QStringLiteral("No se puede abrir un catálogo en \"%1\": %2").arg(shown, problem)));
        return false;
    }
    struct stat info;
    const bool isFolder = ::stat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode);
    const bool hasCatalogue = isFolder && ::lstat((folder + "/db.mdb").constData(), &info) == 0;
    if (!hasCatalogue &&
        services.dialogs.confirm(nullptr,
                                 QStringLiteral("\r\n No hay un catálogo en la carpeta \"%1\".\r\n "
                                                "Desea crear en ella un catálogo vacío ?\r\n")
                                     .arg(shown))) {
        // Made from inside the folder, so that its name goes to the system as it is.
        try {
            if (!makeFolders(folder) || ::chdir(folder.constData()) != 0)
                throw store::DatabaseError(store::DatabaseError::Kind::Io,
                                           QString::fromLocal8Bit(std::strerror(errno)));
            store::createCatalogue(QStringLiteral("."), false);
            store::installHelpPages(QStringLiteral("."));
        } catch (const store::DatabaseError &error) {
            services.dialogs.error(
                nullptr,
                errorText(
                    QStringLiteral("No se pudo crear el catálogo en la carpeta \"%1\"").arg(shown),
                    error.engineMessage()));
        }
    }
    if (::chdir(folder.constData()) == 0)
        return true;
    services.dialogs.error(
        nullptr,
        errorMessage(std::make_exception_ptr(store::DatabaseError(
            store::DatabaseError::Kind::Io, QStringLiteral("no such folder"),
            QFile::decodeName(folder + "/db.mdb"), store::DatabaseError::Cause::FileMissing))));
    return false;
}
