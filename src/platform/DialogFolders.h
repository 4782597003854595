#pragma once

#include "platform/Preferences.h"

#include <QByteArray>
#include <QString>

namespace platform {

// Where each kind of file dialog starts: the folder the user last chose a file of that kind in,
// kept in the settings; at first the documents folder, or the home folder when there is none (a
// folder that does not exist would be taken for a file's name).
class DialogFolders {
public:
    explicit DialogFolders(Preferences &preferences)
        : preferences_(preferences) {}

    // The kind named by a dialog's filters: the first pattern's suffix ("csv" for
    // "CSV (*.csv *.txt);;Todos los archivos (*)"), or `otherwise` when there is none.
    static QString kindOf(const QString &filters,
                          const QString &otherwise = QStringLiteral("otros"));

    QString startFolder(const QString &kind) const;
    // `suggested`'s file name in the folder to start in; the suggested folder is the start only
    // when nothing of that kind was chosen before and it exists.
    QString startFile(const QString &kind, const QString &suggested) const;
    // The user chose `path` (a file, or a folder when `isFolder`), as the file system's bytes.
    void chose(const QString &kind, const QByteArray &path, bool isFolder = false);

private:
    Preferences &preferences_;
};

} // namespace platform
