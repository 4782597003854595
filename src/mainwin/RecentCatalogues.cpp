#include "mainwin/RecentCatalogues.h"

#include <QVariant>

namespace recent {

namespace {

const QString kKey = QStringLiteral("catalogos/recientes");

} // namespace

QList<QByteArray> catalogues(const platform::Preferences &preferences) {
    QList<QByteArray> folders;
    for (const QVariant &entry : preferences.value(kKey).toList()) {
        const QByteArray folder = entry.toByteArray();
        if (folder.startsWith('/') && !folders.contains(folder) && folders.size() < kKept)
            folders << folder;
    }
    return folders;
}

void opened(platform::Preferences &preferences, const QByteArray &folder) {
    QVariantList kept{folder};
    for (const QByteArray &other : catalogues(preferences))
        if (other != folder && kept.size() < kKept)
            kept << other;
    preferences.setValue(kKey, kept);
    preferences.sync();
}

} // namespace recent
