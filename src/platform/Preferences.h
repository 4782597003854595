#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>

namespace platform {

// The user's own settings (column widths, recent catalogues, the main window's place), kept in
// one INI file: $XDG_CONFIG_HOME/vadrel/vadrel.conf for the program, a temporary folder's file in
// tests. A setting that cannot be read is as if never written; one that cannot be written is lost
// without a word, since nothing of the catalogue depends on it.
class Preferences {
public:
    explicit Preferences(const QString &file);
    // The file the program keeps its settings in, under the user's configuration folder.
    static QString userFile();

    QVariant value(const QString &key, const QVariant &otherwise = {}) const;
    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    // Writes what was set to the file now.
    void sync();

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace platform
