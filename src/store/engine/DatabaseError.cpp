#include "store/engine/DatabaseError.h"

namespace store {

DatabaseError::DatabaseError(Kind kind, const QString &message, const QString &path, Cause cause)
    : std::runtime_error(std::string(kindName(kind)) + ": " + message.toStdString())
    , kind_(kind)
    , cause_(cause)
    , message_(message)
    , path_(path) {}

DatabaseError &DatabaseError::about(const QString &table, const QString &field,
                                    const QString &value) {
    table_ = table;
    field_ = field;
    value_ = value;
    return *this;
}

const char *kindName(DatabaseError::Kind kind) {
    switch (kind) {
    case DatabaseError::Kind::NotOpen:
        return "not open";
    case DatabaseError::Kind::Refused:
        return "refused";
    case DatabaseError::Kind::Io:
        return "i/o";
    case DatabaseError::Kind::Corrupt:
        return "corrupt";
    case DatabaseError::Kind::Busy:
        return "busy";
    case DatabaseError::Kind::Conversion:
        return "conversion";
    case DatabaseError::Kind::Other:
        return "other";
    }
    return "other";
}

} // namespace store
