#pragma once

#include "Engine.h"

#include <QObject>
#include <QString>
#include <vector>

namespace store {

class TableCursor;

// The single connection to the catalogue file. Opening never creates the file: only
// `vadrel-db init` does.
class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(QObject *parent = nullptr);
    ~Connection() override;

    // "Provider=...;Data Source=<file>;Persist Security Info=False"; only the data source
    // part is used here.
    QString ConnectionString() const { return connectionString_; }
    void setConnectionString(const QString &text);
    QString dataSource() const;

    // The short date format in which the cursors of this connection show dates as text and read
    // text back; the regional one until the program hands over the one its windows use.
    QString dateFormat() const;
    void setDateFormat(const QString &format) { dateFormat_ = format; }

    bool Connected() const { return db_ != nullptr; }
    // True opens the file named by the connection string, false closes it and every cursor
    // on it. Setting the value it already has does nothing.
    void setConnected(bool connected);

    // For the cursors of this connection and the backup.
    sqlite3 *handle() const;

private:
    friend class TableCursor;
    void attach(TableCursor *cursor);
    void detach(TableCursor *cursor);

    QString connectionString_;
    QString dateFormat_;
    engine::DbHandle db_;
    std::vector<TableCursor *> cursors_;
};

} // namespace store
