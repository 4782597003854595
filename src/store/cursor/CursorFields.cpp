#include "store/cursor/TableCursor.h"

#include "store/engine/Connection.h"
#include "store/engine/Conversions.h"

#include <QStringBuilder>

// Fields: their values as numbers, texts and dates, and conversions on the way in.

namespace store {

using Kind = DatabaseError::Kind;

// ---- Field ----------------------------------------------------------------------------------

QString Field::FieldName() const {
    return cursor_->fieldDef(index_).name;
}
FieldKind Field::kind() const {
    return cursor_->fieldDef(index_).kind;
}
bool Field::IsNull() const {
    return !cursor_->currentValue(index_).isValid();
}

qint32 Field::AsInteger() const {
    const QVariant value = cursor_->currentValue(index_);
    if (!value.isValid())
        return 0;
    switch (kind()) {
    case FieldKind::Integer:
        return qint32(value.toLongLong());
    case FieldKind::Date:
        return qint32(value.toLongLong() / 86400);
    case FieldKind::Text:
    case FieldKind::Memo: {
        const QString text = value.toString();
        if (text.isEmpty())
            return 0;
        const auto number = parseWholeNumber(text);
        if (!number)
            cursor_->conversionError(index_, text);
        return *number;
    }
    }
    return 0;
}

QString Field::AsString() const {
    return cursor_->valueText(index_, cursor_->currentValue(index_));
}

QDateTime Field::AsDateTime() const {
    const QVariant value = cursor_->currentValue(index_);
    if (!value.isValid())
        return fromSerial(0);
    switch (kind()) {
    case FieldKind::Date:
        return fromSerial(value.toLongLong());
    case FieldKind::Integer:
        return fromSerial(value.toLongLong() * 86400);
    case FieldKind::Text:
    case FieldKind::Memo: {
        const auto serial = textToSerial(value.toString(), cursor_->dateFormat());
        if (!serial)
            cursor_->conversionError(index_, value.toString(), FieldKind::Date);
        return fromSerial(*serial);
    }
    }
    return fromSerial(0);
}

void Field::setAsString(const QString &text) {
    cursor_->setBufferValue(index_, cursor_->toInternal(index_, QVariant(text)));
}

void Field::setAsInteger(qint32 value) {
    cursor_->setBufferValue(index_, cursor_->toInternal(index_, QVariant(value)));
}

void Field::setAsDateTime(const QDateTime &value) {
    cursor_->setBufferValue(index_, cursor_->toInternal(index_, QVariant(value)));
}

void Field::Clear() {
    cursor_->setBufferValue(index_, QVariant());
}

// ---- Fields -------------------------------------------------------------------------------------

Field TableCursor::Fields(int index) {
    requireShown();
    if (index < 0 || index >= rows_.fieldCount())
        throw missingField(QString::number(index));
    return Field(this, index);
}

Field TableCursor::FieldByName(const QString &name) {
    requireShown();
    const int index = rows_.fieldIndex(name);
    if (index < 0)
        throw missingField(name);
    return Field(this, index);
}

QVariant TableCursor::currentValue(int field) const {
    if (state_ == State::Edit || state_ == State::Insert)
        return buffer_[field];
    if (current_ < 0)
        return {};
    return rows_.value(int(visible_[current_]), field);
}

QString TableCursor::valueText(int field, const QVariant &internal) const {
    if (!internal.isValid())
        return {};
    switch (rows_.field(field).kind) {
    case FieldKind::Integer:
        return QString::number(internal.toLongLong());
    case FieldKind::Date:
        return serialToText(internal.toLongLong(), dateFormat());
    case FieldKind::Text:
    case FieldKind::Memo:
        return internal.toString();
    }
    return {};
}

QString TableCursor::displayText(int visibleRow, int field) const {
    return valueText(field, valueAt(visibleRow, field));
}

std::string_view TableCursor::utf8At(int visibleRow, int field) const {
    if (field < 0 || field >= rows_.fieldCount() || rows_.field(field).kind == FieldKind::Integer ||
        rows_.field(field).kind == FieldKind::Date)
        return {};
    return rows_.utf8(int(visible_[visibleRow]), field);
}

qint64 TableCursor::numberAt(int visibleRow, int field) const {
    if (field < 0 || field >= rows_.fieldCount() ||
        (rows_.field(field).kind != FieldKind::Integer &&
         rows_.field(field).kind != FieldKind::Date))
        return 0;
    return rows_.number(int(visible_[visibleRow]), field);
}

QVariant TableCursor::valueAt(int visibleRow, int field) const {
    if (visibleRow < 0 || visibleRow >= int(visible_.size()) || field < 0 ||
        field >= rows_.fieldCount())
        return {};
    if (visibleRow == current_ && state_ == State::Edit)
        return buffer_[field];
    return rows_.value(int(visible_[visibleRow]), field);
}

void TableCursor::conversionError(int field, const QString &text, FieldKind kind) const {
    const QString name = rows_.field(field).name;
    throw DatabaseError(Kind::Conversion,
                        QStringLiteral("'%1' does not convert for field %2").arg(text, name),
                        connection_ ? connection_->dataSource() : QString(),
                        kind == FieldKind::Date ? DatabaseError::Cause::NotADate
                                                : DatabaseError::Cause::NotAWholeNumber)
        .about(tableName_, name, text);
}

DatabaseError TableCursor::missingField(const QString &name) const {
    return DatabaseError(Kind::Other, QStringLiteral("no field %1 in %2").arg(name, tableName_),
                         connection_ ? connection_->dataSource() : QString(),
                         DatabaseError::Cause::MissingField)
        .about(tableName_, name);
}

QString TableCursor::dateFormat() const {
    return connection_ ? connection_->dateFormat() : shortDateFormat();
}

// Converts a value given by a caller (number, text, date) to the field's internal form.
QVariant TableCursor::toInternal(int field, const QVariant &external) const {
    if (!external.isValid() || external.isNull())
        return {};
    const FieldKind kind = rows_.field(field).kind;
    const int type = external.typeId();
    switch (kind) {
    case FieldKind::Integer: {
        if (type == QMetaType::QString) {
            const QString text = external.toString();
            if (text.isEmpty())
                return {};
            const auto number = parseWholeNumber(text);
            if (!number)
                conversionError(field, text);
            return QVariant(qlonglong(*number));
        }
        bool ok = false;
        const qlonglong number = external.toLongLong(&ok);
        if (!ok)
            conversionError(field, external.toString());
        return QVariant(number);
    }
    case FieldKind::Date: {
        if (type == QMetaType::QDateTime)
            return QVariant(qlonglong(toSerial(external.toDateTime())));
        if (type == QMetaType::QDate)
            return QVariant(qlonglong(toSerial(external.toDate())));
        const QString text = external.toString();
        if (text.isEmpty())
            return {};
        const auto serial = textToSerial(text, dateFormat());
        if (!serial)
            conversionError(field, text, FieldKind::Date);
        return QVariant(qlonglong(*serial));
    }
    case FieldKind::Text:
    case FieldKind::Memo:
        return QVariant(external.toString());
    }
    return {};
}

void TableCursor::setBufferValue(int field, const QVariant &internal) {
    if (state_ != State::Edit && state_ != State::Insert)
        throw DatabaseError(Kind::Other, QStringLiteral("%1 is not being edited").arg(tableName_));
    buffer_[field] = internal;
    modified_ = true;
    emit fieldChanged(field);
}

} // namespace store
