#include "store/engine/Engine.h"

namespace store::engine {

Statement::Statement(Database *db, const QByteArray &sql, const QString &)
    : backend_(db->prepare(sql)) {}

QString Statement::string(int column) const {
    const std::string_view value = text(column);
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

QByteArray Database::quoted(const QString &name) const {
    QString text = name;
    text.replace(u'"', QStringLiteral("\"\""));
    return ('"' + text + '"').toUtf8();
}

qint64 queryNumber(Database *db, const QByteArray &sql) {
    Statement statement(db, sql);
    return statement.step() && !statement.isNull(0) ? statement.int64(0) : 0;
}

WriteTransaction::WriteTransaction(Database *db, const QString &)
    : db_(db) {
    db_->beginWrite();
}

WriteTransaction::~WriteTransaction() {
    if (!committed_)
        db_->rollback();
}

void WriteTransaction::commit() {
    db_->commit();
    committed_ = true;
}

} // namespace store::engine
