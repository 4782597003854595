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

    DatabaseError(Kind kind, const QString &message, const QString &path = {});

    Kind kind() const { return kind_; }
    // The engine's own message (or ours for errors found before the engine).
    const QString &engineMessage() const { return message_; }
    // The database file involved, when there is one.
    const QString &path() const { return path_; }

private:
    Kind kind_;
    QString message_;
    QString path_;
};

const char *kindName(DatabaseError::Kind kind);

} // namespace store
