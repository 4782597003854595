#pragma once

#include "store/catalogue/Catalogue.h"
#include "store/server/ServerEngine.h"

#include <QByteArray>
#include <functional>

namespace store {

class Connection;

// Creates the catalogue's tables in the server database at `address`, with the sample catalogue
// when `sample` is set, and lets `fill` add rows, all in one transaction: the catalogue appears
// whole or not at all. A database that already holds one is refused, untouched.
void createServerCatalogue(const QByteArray &address, bool sample,
                           const std::function<void(NewRows &)> &fill = {});

// Points the connection at the catalogue on a server. `ask` is asked for the password when the
// first connection needs one; the one that worked opens the others, and is never written down.
void useServer(Connection &connection, const QByteArray &address, server::AskPassword ask = {});

} // namespace store
