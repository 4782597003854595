#include "store/catalogue/Modulo.h"

#include "store/catalogue/ServerCatalogue.h"
#include "store/files/WorkingDirectory.h"

TDataModule2::TDataModule2(QObject *parent)
    : QObject(parent) {
    TDiscos.setConnection(&ADOConnection);
    TProgramas.setConnection(&ADOConnection);
    TProgDisc.setConnection(&ADOConnection);
    TDiscos.setAfterWrite([this] { refreshJoinedView(); });
    // A modify or delete refused because another program got there first: every list shows
    // the file as it is now.
    TDiscos.setAfterConflict([this] { rereadOthers(&TDiscos); });
    TProgramas.setAfterConflict([this] { rereadOthers(&TProgramas); });
    connect(&ADOConnection, &store::Connection::closing, this, [this] { feed_.reset(); });
}

QByteArray TDataModule2::RutaBytes() {
    return store::workingDirectoryBytes();
}

QString TDataModule2::Ruta() {
    return store::workingDirectoryText();
}

void TDataModule2::useServer(const QByteArray &address,
                             std::function<bool(const QString &, QString &)> ask) {
    serverAddress_ = address;
    if (!address.isEmpty())
        store::useServer(ADOConnection, address, std::move(ask));
}

void TDataModule2::DataModuleCreate() {
    if (onServer()) {
        ADOConnection.setConnected(true);
        TDiscos.setActive(true);
        Reads.openInBackground({&TProgramas, &TProgDisc});
        feed_ = std::make_unique<store::ServerFeed>(
            ADOConnection, std::vector<store::TableCursor *>{&TDiscos, &TProgramas, &TProgDisc},
            [this] { rereadAll(); });
        connect(feed_.get(), &store::ServerFeed::othersChanged, this, &TDataModule2::othersSaved);
        return;
    }
    const QString file = Ruta() + QStringLiteral("/db.mdb");
    const QByteArray folder = RutaBytes();
    ADOConnection.setFile(folder.isEmpty() ? store::FilePath(file)
                                           : store::FilePath(folder + "/db.mdb", file));
    ADOConnection.setConnected(true);
    try {
        TDiscos.setActive(true);
        Reads.openInBackground({&TProgramas, &TProgDisc});
    } catch (const store::DatabaseError &error) {
        // A table or view of another shape: nothing is read from the file at all, as when
        // there is no catalogue.
        if (error.cause() == store::DatabaseError::Cause::MissingField)
            ADOConnection.setConnected(false);
        throw;
    }
}

void TDataModule2::refreshJoinedView() {
    if (!TProgDisc.Active())
        return;
    // The CD is saved whatever happens here: a view that cannot be read again is reported on
    // its own, and the command that saved the CD goes on.
    try {
        TProgDisc.setActive(false);
        TProgDisc.setActive(true);
    } catch (...) {
        DataProgDisc.reportError(std::current_exception());
    }
}

void TDataModule2::writingPrograms(const std::function<void()> &write) {
    TProgDisc.setActive(false);
    try {
        write();
    } catch (...) {
        try {
            TProgDisc.setActive(true);
        } catch (...) {
            // The failed write is what the user needs to hear about.
        }
        throw;
    }
    TProgDisc.setActive(true);
}

void TDataModule2::rereadAll() {
    rereadOthers(nullptr);
}

// The joined view is closed while programs are written; the bracket opens it again, in full
// when another program wrote.
void TDataModule2::rereadOthers(const store::TableCursor *done) {
    emit everythingReread(); // also when a list below fails to read
    for (store::TableCursor *cursor : {&TDiscos, &TProgramas, &TProgDisc})
        if (cursor != done)
            cursor->reread();
}
