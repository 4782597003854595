#include "utilities/backup.h"

#include "platform/Guard.h"
#include "store/catalogue/Modulo.h"
#include "store/engine/CatalogueBackup.h"
#include "store/engine/Conversions.h"
#include "store/files/WorkingDirectory.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QGroupBox>
#include <QMenu>
#include <QStorageInfo>
#include <QSysInfo>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int kPathRole = Qt::UserRole; // the folder's path as text, as the user reads it
constexpr int kFilledRole = Qt::UserRole + 1;
constexpr int kBytesRole = Qt::UserRole + 2; // and as the file system names it

QTreeWidgetItem *folderNode(QTreeWidgetItem *parent, const QByteArray &path, const QString &label,
                            const QIcon &icon) {
    auto *node = new QTreeWidgetItem(parent, {label});
    node->setData(0, kPathRole, QFile::decodeName(path));
    node->setData(0, kBytesRole, path);
    node->setIcon(0, icon);
    // Sub-folders are read the first time the node is opened.
    node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return node;
}

// The visible sub-folders of `folder` by their own bytes (a name need not be valid text), in the
// order of their names as shown.
std::vector<QByteArray> subFolders(const QByteArray &folder) {
    std::vector<QByteArray> names;
    if (DIR *dir = ::opendir(folder.constData())) {
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            struct stat info;
            if (!name.startsWith('.') &&
                ::stat(store::joinedPath(folder, name).constData(), &info) == 0 &&
                S_ISDIR(info.st_mode))
                names.push_back(name);
        }
        ::closedir(dir);
    }
    QCollator order;
    std::sort(names.begin(), names.end(), [&](const QByteArray &a, const QByteArray &b) {
        return order.compare(QFile::decodeName(a), QFile::decodeName(b)) < 0;
    });
    return names;
}

} // namespace

QString backupName(const QString &dateText) {
    QString name = dateText;
    for (QChar &c : name)
        if (!c.isLetterOrNumber())
            c = u'_';
    return name;
}

TForm9::TForm9(platform::Services services, TDataModule2 &data, QWidget *parent)
    : DialogBase(QStringLiteral("Form9"), QStringLiteral("Copia de Seguridad"), QSize(322, 431),
                 parent)
    , services_(services)
    , data_(data) {
    GroupBox1 = new QGroupBox(QStringLiteral(" Seleccione el destino : "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    TreeView = new QTreeWidget(GroupBox1);
    TreeView->setObjectName(QStringLiteral("TreeView"));
    TreeView->setAccessibleName(QStringLiteral("Carpetas"));
    TreeView->setHeaderHidden(true);
    TreeView->setIndentation(19);
    TreeView->setRootIsDecorated(false);
    TreeView->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *frame = new QVBoxLayout(GroupBox1);
    frame->addWidget(TreeView);

    // The computer at the root, with the file system, the home folder and the mounted volumes.
    QFileIconProvider icons;
    auto *computer = new QTreeWidgetItem(TreeView, {QSysInfo::machineHostName()});
    computer->setIcon(0, icons.icon(QFileIconProvider::Computer));
    folderNode(computer, "/", QStringLiteral("/"), icons.icon(QFileIconProvider::Drive));
    folderNode(computer, QFile::encodeName(QDir::homePath()), QDir::home().dirName(),
               icons.icon(QFileIconProvider::Folder));
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady() || root == u'/' ||
            !(root.startsWith(QStringLiteral("/media/")) ||
              root.startsWith(QStringLiteral("/mnt/")) ||
              root.startsWith(QStringLiteral("/run/media/"))))
            continue; // the system's own mounts are reached through "/"
        folderNode(computer, QFile::encodeName(root), volume.displayName(),
                   icons.icon(QFileIconProvider::Drive));
    }
    computer->setExpanded(true);
    TreeView->setCurrentItem(computer);
    platform::connectGuarded(TreeView, &QTreeWidget::itemExpanded, this,
                             [this](QTreeWidgetItem *node) { fillFolder(node); });
    platform::connectGuarded(TreeView, &QWidget::customContextMenuRequested, this,
                             [this](const QPoint &at) { showMenu(at); });

    SpeedButton1 =
        flatButton(QStringLiteral("SpeedButton1"), QStringLiteral("GENERAR COPIA DE SEGURIDAD"),
                   [this] { SpeedButton1Click(); });
    SpeedButton2 = flatButton(QStringLiteral("SpeedButton2"), QStringLiteral("CERRAR"),
                              [this] { SpeedButton2Click(); });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(SpeedButton1);
    layout->addWidget(SpeedButton2);
}

QString TForm9::folderOf(const QTreeWidgetItem *node) {
    return node ? node->data(0, kPathRole).toString() : QString();
}

QByteArray TForm9::folderBytes(const QTreeWidgetItem *node) {
    return node ? node->data(0, kBytesRole).toByteArray() : QByteArray();
}

// Lists the node's visible sub-folders once; later changes on disk are not followed.
void TForm9::fillFolder(QTreeWidgetItem *node) {
    const QByteArray path = folderBytes(node);
    if (path.isEmpty() || node->data(0, kFilledRole).toBool())
        return;
    node->setData(0, kFilledRole, true);
    const QIcon folder = QFileIconProvider().icon(QFileIconProvider::Folder);
    for (const QByteArray &name : subFolders(path))
        folderNode(node, store::joinedPath(path, name), QFile::decodeName(name), folder);
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TForm9::showMenu(const QPoint &position) {
    QTreeWidgetItem *node = TreeView->itemAt(position);
    if (!node)
        return;
    TreeView->setCurrentItem(node);
    const QString path = folderOf(node);
    if (path.isEmpty())
        return;
    QMenu menu(this);
    QAction *open = menu.addAction(QStringLiteral("Abrir"));
    QAction *create = menu.addAction(QStringLiteral("Nueva carpeta"));
    QAction *chosen = menu.exec(TreeView->viewport()->mapToGlobal(position));
    if (chosen == open) {
        services_.shell.open(this, path, QStringLiteral("open"), platform::Shell::Normal);
    } else if (chosen == create) {
        const QByteArray bytes = folderBytes(node);
        QString name = QStringLiteral("Nueva carpeta");
        auto at = [&] { return store::joinedPath(bytes, QFile::encodeName(name)); };
        struct stat info;
        for (int n = 2; ::lstat(at().constData(), &info) == 0; ++n)
            name = QStringLiteral("Nueva carpeta (%1)").arg(n);
        if (::mkdir(at().constData(), 0777) != 0) {
            services_.dialogs.error(this,
                                    QStringLiteral(" No se pudo crear la carpeta \"%1\" ")
                                        .arg(QDir::toNativeSeparators(QDir(path).filePath(name))));
            return;
        }
        // A node listed before the folder was made does not list it again (no automatic
        // refresh): the new folder is added by hand.
        fillFolder(node);
        bool listed = false;
        for (int i = 0; i < node->childCount(); ++i)
            listed = listed || node->child(i)->text(0) == name;
        if (!listed)
            folderNode(node, at(), name, QFileIconProvider().icon(QFileIconProvider::Folder));
        node->setExpanded(true);
    }
}

void TForm9::SpeedButton1Click() {
    const QString name = backupName(store::serialToText(store::toSerial(services_.clock.today()),
                                                        services_.clock.shortDateFormat()));
    const QString folder = folderOf(TreeView->currentItem());
    if (folder.isEmpty()) {
        services_.dialogs.error(this,
                                QStringLiteral(" No ha seleccionado una carpeta de destino "));
        return;
    }
    // Joined as they come, as every path of the program: "/" gives "//06_12_2026.mdb". The file
    // system is told the folder's own bytes, which its text may have lost.
    const QString destination = folder + QDir::separator() + name + QStringLiteral(".mdb");
    const store::FilePath target(
        folderBytes(TreeView->currentItem()) + '/' + QFile::encodeName(name) + ".mdb", destination);
    // Any entry by that name is asked about, a link (even a dangling one) included: the backup
    // replaces the name itself.
    struct stat info;
    if (::lstat(target.bytes.constData(), &info) == 0 &&
        !services_.dialogs.confirm(this,
                                   QStringLiteral(" El archivo ") + name +
                                       QStringLiteral(".mdb ya existe. Desea sobreescribirlo ?")))
        return;
    // The earlier backup is replaced only by a copy that was written and checked whole: a
    // consistent snapshot of the open catalogue, or the file as it is when none is open. A
    // server's, read through its connection, becomes a catalogue file.
    if (data_.ADOConnection.Connected() || data_.onServer())
        store::backupCatalogue(data_.ADOConnection, target, services_.files);
    else
        store::copyCatalogueFile(TDataModule2::Ruta() + QDir::separator() +
                                     QStringLiteral("db.mdb"),
                                 target, services_.files);
    services_.dialogs.information(
        this, QStringLiteral("La copia de seguridad se llevo a cabo correctamente en: \r\n\r\n") +
                  destination);
}

void TForm9::SpeedButton2Click() {
    close();
}
