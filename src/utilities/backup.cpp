#include "backup.h"

#include "Backup.h"
#include "Conversions.h"
#include "Guard.h"
#include "Modulo.h"

#include <QDir>
#include <QFileIconProvider>
#include <QGroupBox>
#include <QMenu>
#include <QStorageInfo>
#include <QSysInfo>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TForm9 *Form9 = nullptr;

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;

QTreeWidgetItem *folderNode(QTreeWidgetItem *parent, const QString &path, const QString &label,
                            const QIcon &icon) {
    auto *node = new QTreeWidgetItem(parent, {label});
    node->setData(0, kPathRole, path);
    node->setIcon(0, icon);
    // Sub-folders are read the first time the node is opened.
    node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return node;
}

} // namespace

QString backupName(const QString &dateText) {
    QString name = dateText;
    for (QChar &c : name)
        if (!c.isLetterOrNumber())
            c = u'_';
    return name;
}

TForm9::TForm9(platform::Services services, QWidget *parent)
    : DialogBase(QStringLiteral("Form9"), QStringLiteral("Copia de Seguridad"), QSize(322, 431),
                 parent)
    , services_(services) {
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
    folderNode(computer, QStringLiteral("/"), QStringLiteral("/"),
               icons.icon(QFileIconProvider::Drive));
    folderNode(computer, QDir::homePath(), QDir::home().dirName(),
               icons.icon(QFileIconProvider::Folder));
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady() || root == u'/' ||
            !(root.startsWith(QStringLiteral("/media/")) ||
              root.startsWith(QStringLiteral("/mnt/")) ||
              root.startsWith(QStringLiteral("/run/media/"))))
            continue; // the system's own mounts are reached through "/"
        folderNode(computer, root, volume.displayName(), icons.icon(QFileIconProvider::Drive));
    }
    computer->setExpanded(true);
    TreeView->setCurrentItem(computer);
    connect(TreeView, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem *node) {
        platform::guarded(TreeView, [&] { fillFolder(node); });
    });
    connect(TreeView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { platform::guarded(TreeView, [&] { showMenu(at); }); });

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

// Lists the node's visible sub-folders once; later changes on disk are not followed.
void TForm9::fillFolder(QTreeWidgetItem *node) {
    const QString path = folderOf(node);
    if (path.isEmpty() || node->data(0, kFilledRole).toBool())
        return;
    node->setData(0, kFilledRole, true);
    QFileIconProvider icons;
    const QIcon folder = icons.icon(QFileIconProvider::Folder);
    const QDir dir(path);
    for (const QString &name :
         dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::LocaleAware))
        folderNode(node, dir.filePath(name), name, folder);
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
        QString name = QStringLiteral("Nueva carpeta");
        for (int n = 2; QDir(path).exists(name); ++n)
            name = QStringLiteral("Nueva carpeta (%1)").arg(n);
        if (!QDir(path).mkdir(name)) {
            services_.dialogs.error(this,
                                    QStringLiteral(" No se pudo crear la carpeta \"%1\" ")
                                        .arg(QDir::toNativeSeparators(QDir(path).filePath(name))));
            return;
        }
        fillFolder(node);
        if (node->data(0, kFilledRole).toBool() && node->childCount() >= 0) {
            // Already listed before: the new folder is added by hand (no automatic refresh).
            bool listed = false;
            for (int i = 0; i < node->childCount(); ++i)
                listed = listed || node->child(i)->text(0) == name;
            if (!listed)
                folderNode(node, QDir(path).filePath(name), name,
                           QFileIconProvider().icon(QFileIconProvider::Folder));
        }
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
    // Joined as they come, as every path of the program: "/" gives "//06_12_2026.mdb".
    const QString destination = folder + QDir::separator() + name + QStringLiteral(".mdb");
    if (QFileInfo::exists(destination) &&
        !services_.dialogs.confirm(this,
                                   QStringLiteral(" El archivo ") + name +
                                       QStringLiteral(".mdb ya existe. Desea sobreescribirlo ?")))
        return;
    // The earlier backup is replaced only by a copy that was written and checked whole: a
    // consistent snapshot of the open catalogue, or the file as it is when none is open.
    if (DataModule2 && DataModule2->ADOConnection.Connected())
        store::backupCatalogue(DataModule2->ADOConnection, destination, services_.files);
    else
        store::copyCatalogueFile(TDataModule2::Ruta() + QDir::separator() +
                                     QStringLiteral("db.mdb"),
                                 destination, services_.files);
    services_.dialogs.information(
        this, QStringLiteral("La copia de seguridad se llevo a cabo correctamente en: \r\n\r\n") +
                  destination);
}

void TForm9::SpeedButton2Click() {
    close();
}
