// The discs the desktop offers to read: optical discs and removable volumes that are mounted.
#include "platform/QtPlatform.h"

#include <QFile>
#include <QFileDialog>
#include <QStandardPaths>
#include <QStorageInfo>
#include <unistd.h>

namespace platform {

namespace {

// "/dev/sdb1" is removable when its disk says so; the partition's own folder has no such file.
bool removable(const QByteArray &device) {
    if (!device.startsWith("/dev/"))
        return false;
    const QByteArray name = device.mid(5);
    for (const QByteArray &file : {"/sys/class/block/" + name + "/removable",
                                   "/sys/class/block/" + name + "/../removable"}) {
        QFile flag(QString::fromLocal8Bit(file));
        if (flag.open(QIODevice::ReadOnly))
            return flag.read(1) == "1";
    }
    return false;
}

} // namespace

std::vector<Discs::Mounted> QtDiscs::mounted() const {
    std::vector<Mounted> discs;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QByteArray type = volume.fileSystemType();
        const QByteArray device = volume.device();
        const bool optical = type == "iso9660" || type == "udf" || device.startsWith("/dev/sr");
        if (!optical && !removable(device))
            continue;
        const QByteArray root = QFile::encodeName(volume.rootPath());
        QString label = volume.name().isEmpty() ? volume.displayName() : volume.name();
        label += QStringLiteral(" (") + volume.rootPath() + u')';
        // The device holds the volume's own fields (its set, its publisher, its date); a user
        // who may not read it still reads the files.
        const bool readDevice = type == "iso9660" && ::access(device.constData(), R_OK) == 0;
        discs.push_back({label, readDevice ? device : root});
    }
    return discs;
}

QByteArray QtDiscs::chooseImage(QWidget *parent) {
    const QString filters =
        QStringLiteral("Imágenes de disco (*.iso *.ISO);;Todos los archivos (*)");
    const QString kind = DialogFolders::kindOf(filters);
    const QString file = QFileDialog::getOpenFileName(parent, QStringLiteral("Imagen de disco"),
                                                      folders_.startFolder(kind), filters);
    const QByteArray chosen = file.isEmpty() ? QByteArray() : QFile::encodeName(file);
    folders_.chose(kind, chosen);
    return chosen;
}

QByteArray QtDiscs::chooseFolder(QWidget *parent) {
    const QString kind = QStringLiteral("disco");
    const QString folder = QFileDialog::getExistingDirectory(
        parent, QStringLiteral("Carpeta de un disco"), folders_.startFolder(kind));
    const QByteArray chosen = folder.isEmpty() ? QByteArray() : QFile::encodeName(folder);
    // A disc's folder is usually one of several side by side.
    folders_.chose(kind, chosen);
    return chosen;
}

} // namespace platform
