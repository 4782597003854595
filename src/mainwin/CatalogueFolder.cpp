#include "mainwin/CatalogueFolder.h"

#include "mainwin/ErrorMessages.h"
#include "store/catalogue/Catalogue.h"
#include "store/catalogue/HelpPages.h"
#include "store/engine/DatabaseError.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

FolderReady prepareCatalogueFolder(const QByteArray &folder, platform::Services services,
                                   QWidget *parent) {
    const QString shown = QDir::toNativeSeparators(QFile::decodeName(folder));
    // Nothing is offered where no catalogue can be: the box says why.
    if (const QString problem = folderProblem(folder); !problem.isEmpty()) {
        services.dialogs.error(
            parent,
            errorText(
                QStringLiteral("No se puede abrir un catálogo en \"%1\": %2").arg(shown, problem)));
        return FolderReady::Refused;
    }
    struct stat info;
    const bool isFolder = ::stat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode);
    if (isFolder && ::lstat((folder + "/db.mdb").constData(), &info) == 0)
        return FolderReady::Ready;
    if (!services.dialogs.confirm(
            parent, QStringLiteral("\r\n No hay un catálogo en la carpeta \"%1\".\r\n "
                                   "¿Desea crear en ella un catálogo vacío?\r\n")
                        .arg(shown)))
        return FolderReady::Declined;
    // Made from inside the folder, so that its name goes to the system as it is; then back.
    const int here = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const auto back = qScopeGuard([here] {
        if (here >= 0) {
            [[maybe_unused]] const int ignored = ::fchdir(here);
            ::close(here);
        }
    });
    try {
        if (!makeFolders(folder) || ::chdir(folder.constData()) != 0)
            throw store::DatabaseError(store::DatabaseError::Kind::Io,
                                       QString::fromLocal8Bit(std::strerror(errno)));
        store::createCatalogue(QStringLiteral("."), false);
        store::installHelpPages(QStringLiteral("."));
    } catch (const store::DatabaseError &error) {
        services.dialogs.error(
            parent,
            errorText(
                QStringLiteral("No se pudo crear el catálogo en la carpeta \"%1\"").arg(shown),
                error.engineMessage()));
        return FolderReady::Refused;
    }
    return FolderReady::Ready;
}

QByteArray chooseCatalogueFolder(platform::Services services, QWidget *parent) {
    for (;;) {
        const QByteArray folder = services.dialogs.chooseCatalogue(parent);
        if (folder.isEmpty() ||
            prepareCatalogueFolder(folder, services, parent) == FolderReady::Ready)
            return folder;
    }
}

bool enterCatalogueFolder(const QByteArray &given, platform::Services services) {
    QByteArray folder = given;
    switch (prepareCatalogueFolder(folder, services)) {
    case FolderReady::Ready:
        break;
    case FolderReady::Declined:
        // No catalogue here: the user is asked where one is, rather than left in an empty window.
        folder = chooseCatalogueFolder(services);
        if (folder.isEmpty())
            return false;
        break;
    case FolderReady::Refused:
        return false;
    }
    if (::chdir(folder.constData()) == 0)
        return true;
    services.dialogs.error(
        nullptr,
        errorMessage(std::make_exception_ptr(store::DatabaseError(
            store::DatabaseError::Kind::Io, QString::fromLocal8Bit(std::strerror(errno)),
            QFile::decodeName(folder + "/db.mdb"), store::DatabaseError::Cause::FileMissing))));
    return false;
}

bool enterOwnFolder(platform::Services services) {
    QByteArray data = qgetenv("XDG_DATA_HOME");
    if (data.isEmpty() || !data.startsWith('/'))
        data = qgetenv("HOME") + "/.local/share";
    const QByteArray folder = data + "/vadrel";
    // Each missing level made in turn, by its bytes.
    for (qsizetype at = folder.indexOf('/', 1); at > 0; at = folder.indexOf('/', at + 1))
        ::mkdir(folder.left(at).constData(), 0700);
    ::mkdir(folder.constData(), 0700);
    if (::chdir(folder.constData()) == 0)
        return true;
    services.dialogs.error(
        nullptr,
        errorText(
            QStringLiteral("No se pudo usar la carpeta \"%1\"").arg(QFile::decodeName(folder)),
            QString::fromLocal8Bit(std::strerror(errno))));
    return false;
}
