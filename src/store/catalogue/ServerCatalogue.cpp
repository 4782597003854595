#include "store/catalogue/ServerCatalogue.h"

#include "store/engine/Connection.h"
#include "store/server/ServerSchema.h"

#include <memory>
#include <mutex>

namespace store {

void createServerCatalogue(const QByteArray &address, bool sample,
                           const std::function<void(NewRows &)> &fill) {
    const engine::DbHandle db = server::open(address);
    engine::WriteTransaction transaction(db.get());
    server::createSchema(db.get());
    if (sample)
        insertSampleData(db.get(), db->path());
    if (fill) {
        const std::unique_ptr<NewRows> rows = rowsInto(db.get());
        fill(*rows);
    }
    transaction.commit();
}

void useServer(Connection &connection, const QByteArray &address, server::AskPassword ask) {
    struct Login {
        std::mutex mutex;
        QString password;
        bool asked = false;
    };
    auto login = std::make_shared<Login>();
    connection.setServer(server::shownAddress(address), [address, ask = std::move(ask), login] {
        // Only the first connection asks; the reading threads use what it was given.
        std::unique_lock lock(login->mutex);
        engine::DbHandle db =
            server::open(address, &login->password, login->asked ? server::AskPassword() : ask);
        login->asked = true; // a failed first try asks again next time
        return db;
    });
}

} // namespace store
