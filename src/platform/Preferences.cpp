#include "platform/Preferences.h"

#include <QStandardPaths>

namespace platform {

Preferences::Preferences(const QString &file)
    : settings_(std::make_unique<QSettings>(file, QSettings::IniFormat)) {}

QString Preferences::userFile() {
    // Read each time: the folder follows XDG_CONFIG_HOME as it is now.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/vadrel/vadrel.conf");
}

QVariant Preferences::value(const QString &key, const QVariant &otherwise) const {
    return settings_->value(key, otherwise);
}

void Preferences::setValue(const QString &key, const QVariant &value) {
    settings_->setValue(key, value);
}

void Preferences::remove(const QString &key) {
    settings_->remove(key);
}

void Preferences::sync() {
    settings_->sync();
}

} // namespace platform
