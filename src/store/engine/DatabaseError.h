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
        PathTooLong, // the file's path is longer than the engine takes
        ReadOnly,    // the file or its folder cannot be written
        DiskFull,
        NotDatabase,       // not a database, or a damaged one
        Locked,            // another process holds the file
        MissingTable,      // a table or view the program needs is not in the file
        MissingField,      // a table or view lacks a field the program names
        Relation,          // the relation between CDs and programs said no (engine level)
        HasChildren,       // deleting a CD that still has programs
        MissingParent,     // a program on a CD that does not exist
        DuplicateKey,      // a number already in use
        MissingValue,      // a value the table requires is empty
        OutOfRange,        // a value outside what a check of the table allows
        DeleteRefused,     // a deletion refused for another reason (a trigger, say)
        RowGone,           // the row to update is no longer in the file
        ChangedElsewhere,  // another program changed or removed the row since it was read
        NotAWholeNumber,   // a text that does not convert to a whole number
        NotADate,          // a text that does not convert to a date
        ServerUnreachable, // the catalogue's server does not answer or refuses the connection
        ConnectionLost,    // the server's connection broke; the next action connects again
        Timeout,           // the server took longer than the program waits
        NotAllowed,        // the server's role may only read
    };

    DatabaseError(Kind kind, const QString &message, const QString &path = {},
                  Cause cause = Cause::Unknown);

    // What the failure concerns, when known: a table or view, one of its fields, the value given.
    DatabaseError &about(const QString &table, const QString &field = {},
                         const QString &value = {});

    Kind kind() const { return kind_; }
    Cause cause() const { return cause_; }
    // The engine's own message (or ours for errors found before the engine).
    const QString &engineMessage() const { return message_; }
    // The database file involved, when there is one.
    const QString &path() const { return path_; }
    const QString &table() const { return table_; }
    const QString &field() const { return field_; }
    const QString &value() const { return value_; }

private:
    Kind kind_;
    Cause cause_;
    QString message_;
    QString path_;
    QString table_;
    QString field_;
    QString value_;
};

const char *kindName(DatabaseError::Kind kind);

} // namespace store
