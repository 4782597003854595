#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

// A disc made for a test: files written into a temporary folder, and ISO 9660 images of that
// folder made with xorriso as a burning program would. Paths are bytes, relative to the disc's
// root with '/' between names, so a test can write names that are not UTF-8. Each call that
// fails adds a test failure saying why and returns false (or an empty path).
class DiscImages {
public:
    struct Options {
        QString volumeId = QStringLiteral("VOLID");
        QString volumeSet, publisher;
        bool joliet = true;    // with names up to 103 characters (-joliet-long)
        bool rockRidge = true; // false: only the ISO 9660 names (8.3, upper case)
        QDateTime created;     // the volume's creation and modification time; invalid: now
    };

    DiscImages();
    ~DiscImages();

    // The folder the disc's files are written into.
    QByteArray folder() const;
    // Writes `bytes` as the file `path`, making its folders.
    bool put(const QByteArray &path, const QByteArray &bytes);
    bool makeFolder(const QByteArray &path);
    // Sets a file's or folder's modification time; call it after writing into a folder, since
    // that changes the folder's time.
    bool setTime(const QByteArray &path, const QDateTime &modified);
    // Makes an image of the folder, named `name`, beside the folder (never in it); returns its
    // path.
    QByteArray makeImage(const QByteArray &name, const Options &options) const;
    QByteArray makeImage(const QByteArray &name) const { return makeImage(name, Options()); }

private:
    QTemporaryDir dir_;
};
