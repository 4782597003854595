#pragma once

#include "store/engine/Engine.h"

// The catalogue's tables on a server.
namespace store::server {

// Creates, in the caller's transaction, what `vadrel-db init` makes in a file (the two tables,
// their range checks, the relation that refuses deleting a CD with programs, the joined view),
// plus what sharing needs: a change counter on every row and a notification on every change
// ("Discos 12", "Programas 7" on the channel `vadrel`), quiet for the rest of the transaction that
// makes the catalogue. Refuses (DatabaseError, cause
// DuplicateKey) a database that already holds either table, touching nothing.
void createSchema(engine::Database *db);

} // namespace store::server
