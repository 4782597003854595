#pragma once

#include <QCollator>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace store {

enum class FieldKind { Integer, Text, Memo, Date };

struct FieldDef {
    QString name;
    FieldKind kind;
};

// The rows a cursor read when it opened, kept column by column: whole numbers and dates as
// 64-bit values, texts as UTF-8 in one buffer per column. A million programs fit in a few
// hundred megabytes this way, where a QVariant per cell would not.
//
// Values in and out are QVariants of the internal form: null is an invalid QVariant, whole
// numbers and dates (as seconds from the date zero) are qlonglong, texts are QString.
class Snapshot {
public:
    void reset(std::vector<FieldDef> fields);

    int rowCount() const { return rows_; }
    int fieldCount() const { return int(fields_.size()); }
    const FieldDef &field(int index) const { return fields_[index]; }
    int fieldIndex(const QString &name) const; // -1 when there is no such field

    bool isNull(int row, int field) const;
    qint64 number(int row, int field) const; // whole numbers and dates; 0 when null
    std::string_view utf8(int row, int field) const;
    QString text(int row, int field) const;
    QVariant value(int row, int field) const;

    // Loading, one field at a time in field order; a row is complete after its last field.
    void appendNull(int field);
    void appendNumber(int field, qint64 value);
    void appendText(int field, const char *utf8, int length);
    void finishLoading();

    void appendRow(const std::vector<QVariant> &values);
    void setRow(int row, const std::vector<QVariant> &values);
    void removeRow(int row);

    // All rows in ascending order of the field (nulls and empty texts first, ties in row order),
    // computed on first use and kept until the rows change. Texts compare with the collator.
    const std::vector<uint32_t> &sortedRows(int field, const QCollator &collator);

private:
    struct Span {
        uint32_t offset;
        uint32_t length;
    };
    static constexpr uint32_t kNullOffset = UINT32_MAX;
    struct Column {
        std::vector<qint64> numbers;
        std::vector<bool> nulls;
        std::vector<Span> spans;
        std::string bytes;
        std::vector<uint32_t> sorted;
    };
    bool isNumeric(int field) const;
    void setValue(int row, int field, const QVariant &value);
    void pushValue(int field, const QVariant &value);
    Span storeText(Column &column, const char *utf8, size_t length);
    void invalidateOrder();
    void sortNumbers(int field);
    void sortTexts(int field, const QCollator &collator);

    std::vector<FieldDef> fields_;
    std::vector<Column> columns_;
    int rows_ = 0;
};

} // namespace store
