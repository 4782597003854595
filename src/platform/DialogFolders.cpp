#include "platform/DialogFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace platform {

namespace {

QString key(const QString &kind) {
    return QStringLiteral("carpetas/") + kind;
}

bool isFolder(const QString &path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

QString firstTime() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return isFolder(documents) ? documents : QDir::homePath();
}

} // namespace

QString DialogFolders::kindOf(const QString &filters, const QString &otherwise) {
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    const QRegularExpressionMatch found = pattern.match(filters);
    return found.hasMatch() ? found.captured(1).toLower() : otherwise;
}

QString DialogFolders::startFolder(const QString &kind) const {
    // Kept as bytes: a folder's name need not be valid text.
    const QString last = QFile::decodeName(preferences_.value(key(kind)).toByteArray());
    return isFolder(last) ? last : firstTime();
}

QString DialogFolders::startFile(const QString &kind, const QString &suggested) const {
    const QFileInfo file(suggested);
    const bool chosenBefore = preferences_.value(key(kind)).isValid();
    if (!chosenBefore && isFolder(file.path()) && suggested.contains(u'/'))
        return suggested;
    return QDir(startFolder(kind)).filePath(file.fileName());
}

void DialogFolders::chose(const QString &kind, const QByteArray &path, bool folder) {
    if (path.isEmpty())
        return;
    const QString text = QFile::decodeName(path);
    const QByteArray where = folder ? path : QFile::encodeName(QFileInfo(text).path());
    preferences_.setValue(key(kind), where);
}

} // namespace platform
