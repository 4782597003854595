#pragma once

#include "store/catalogue/CatalogueWrites.h"
#include "store/catalogue/ServerFeed.h"
#include "store/cursor/CursorSession.h"
#include "store/cursor/DataSource.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "store/schema/Schema.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// The data module: the one connection, the three shared cursors and their data sources.
class TDataModule2 : public QObject, public CatalogueWrites {
    Q_OBJECT
public:
    explicit TDataModule2(QObject *parent = nullptr);

    // The process's working directory, or the empty text when it cannot be read. Uses no state,
    // so it works before the data module exists.
    static QString Ruta();
    // The same as the file system's own bytes (a folder's name need not be valid text).
    static QByteArray RutaBytes();

    // Makes DataModuleCreate open the catalogue on a server instead of the working directory's
    // file; `ask` asks for the password when the server wants one.
    void useServer(const QByteArray &address, std::function<bool(const QString &, QString &)> ask);
    bool onServer() const { return !serverAddress_.isEmpty(); }

    // Points the connection at db.mdb in the working directory (or at the server) and opens the
    // connection and the cursors in order; the first failure stops it and propagates. The CDs are
    // read at once; the programs and the joined view arrive in the background (anything that needs
    // them waits).
    void DataModuleCreate();

    // After a CD is added, changed or deleted the joined view is reopened, which patches it, so
    // the queries page shows the CD's new description at once.
    void refreshJoinedView();

    // Reads every open cursor again from the file (another program wrote to it), each staying on
    // its current row and keeping an edit in progress there (TableCursor::reread).
    void rereadAll() override;

    // Every write to programs is bracketed so that the joined view shows it: TProgDisc is
    // closed, `write` runs, and TProgDisc is opened again. It is opened again also when the write
    // fails, so the queries page never goes empty; the write's own error is what propagates.
    void writingPrograms(const std::function<void()> &write) override;

    store::Connection ADOConnection;
    // The connection's background read, its wait and this program's writes, for the cursors.
    store::CursorSession &Reads = store::CursorSession::of(ADOConnection);
    store::TableCursor TDiscos{store::schema::table(store::schema::cds::table)};
    store::TableCursor TProgramas{store::schema::table(store::schema::programs::table)};
    store::TableCursor TProgDisc{store::schema::table(store::schema::joined::table)};
    store::TDataSource DataDiscos{&TDiscos};
    store::TDataSource DataProg{&TProgramas};
    store::TDataSource DataProgDisc{&TProgDisc};

signals:
    // Others' saves on a server, as they arrive (this program's own: Reads.changed).
    void othersSaved(const std::vector<store::CursorSession::Change> &changes);
    // Every open list was read again: what others changed is not known row by row.
    void everythingReread();

private:
    void rereadOthers(const store::TableCursor *done);

    QByteArray serverAddress_;
    std::unique_ptr<store::ServerFeed> feed_; // others' changes, while on a server
};
