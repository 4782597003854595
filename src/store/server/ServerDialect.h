#pragma once

#include "store/engine/DatabaseError.h"

#include <QByteArray>

// What PostgreSQL says in words of its own: parameters by number, errors by SQLSTATE.
namespace store::server {

// `?` and `?N` become `$N`, outside quoted texts and names; `count` is the highest number.
QByteArray numberedParameters(const QByteArray &sql, int &count);
// The cause and kind of error for an SQLSTATE.
DatabaseError::Cause causeOf(const QByteArray &state);
DatabaseError::Kind kindOf(DatabaseError::Cause cause);

} // namespace store::server
