#pragma once

#include <QString>
#include <stdexcept>

namespace store {

// Every failure of the catalogue store surfaces as one of these; callers decide what the user
// sees from the kind, never from the engine's English text.
class DatabaseError : public std::runtime_error {
public:
    enum class Kind {
        NotOpen,    // connection or cursor closed
        Refused,    // a constraint said no (e.g. a CD that still has programs)
        Io,         // file missing, unreadable, read-only, disk full
        Corrupt,    // not a database, or a damaged one
        Busy,       // another process holds a lock
        Conversion, // a text that does not convert to its field's type
        Other,
    };

    // Finer detail, so the user can be told what failed without reading the engine's text.
    enum class Cause {
        Unknown,
        FileMissing, // the database file does not exist
        ReadOnly,    // the file or its folder cannot be written
        DiskFull,
        NotDatabase,   // not a database, or a damaged one
        Locked,        // another process holds the file
        MissingTable,  // a table or view the program needs is not in the file
        HasChildren,   // deleting a CD that still has programs
        MissingParent, // a program on a CD that does not exist
        DuplicateKey,  // a number already in use
        MissingValue,  // a value the table requires is empty
    };

    DatabaseError(Kind kind, const QString &message, const QString &path = {},
                  Cause cause = Cause::Unknown);

    Kind kind() const { return kind_; }
    Cause cause() const { return cause_; }
    // The engine's own message (or ours for errors found before the engine).
    const QString &engineMessage() const { return message_; }
    // The database file involved, when there is one.
    const QString &path() const { return path_; }

private:
    Kind kind_;
    Cause cause_;
    QString message_;
    QString path_;
};

const char *kindName(DatabaseError::Kind kind);

} // namespace store
