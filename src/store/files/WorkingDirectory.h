#pragma once

#include <QByteArray>
#include <QString>

// The process's working directory, which is the catalogue folder, and the paths built from it.
// A folder's name need not be valid text: Qt shows such bytes as U+FFFD and cannot name the
// folder with that text, so the program's own file calls go through fileSystemPath.
namespace store {

// The working directory as the file system's own bytes; empty when it cannot be read.
QByteArray workingDirectoryBytes();
// The same as text, as the user reads it.
QString workingDirectoryText();

// The bytes that name `path` on the file system. A path built from the working directory's text
// gets that part back as the folder's own bytes; any other path is encoded as usual.
QByteArray fileSystemPath(const QString &path);

// `name` inside `folder`, by their bytes, with one "/" between them; `name` alone when `folder`
// is empty.
QByteArray joinedPath(const QByteArray &folder, const QByteArray &name);

// A file's path as the file system names it and as the user reads it. Made from text, its bytes
// come through fileSystemPath; a folder listed by its bytes gives both.
struct FilePath {
    FilePath(const QString &path) // NOLINT: every path the program builds as text is one
        : bytes(fileSystemPath(path))
        , text(path) {}
    FilePath(const QByteArray &bytes, const QString &text)
        : bytes(bytes)
        , text(text) {}
    QByteArray bytes;
    QString text;
};

} // namespace store
