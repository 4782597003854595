#pragma once

#include "store/cursor/InternTable.h"
#include "store/cursor/NumberColumn.h"
#include "store/cursor/SpanColumn.h"
#include "store/cursor/TextBuffer.h"

#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace store {

class TextOrder;

enum class FieldKind { Integer, Text, Memo, Date };

struct FieldDef {
    QString name;
    FieldKind kind;
};

// The rows a cursor read when it opened, kept column by column: whole numbers and dates in four
// or eight bytes, texts as UTF-8 in one buffer per column, a repeated text (a licence, a
// publisher, a CD's description) stored once and its rows as two-byte codes, and a value equal
// to another snapshot's of the same row (the joined view repeats the programs') shared with it.
// A million programs fit in about 130 megabytes this way, where a QVariant per cell would not.
//
// Each row may carry a key: the first field of a table, or a column read beside the fields (the
// program number of the joined view). When the keys ascend, rows can be found and patched by key.
//
// Values in and out are QVariants of the internal form: null is an invalid QVariant, whole
// numbers and dates (as seconds from the date zero) are qlonglong, texts are QString.
class Snapshot {
    using Span = TextSpan;

public:
    // What another snapshot, loaded after this one, may share of its texts: a view of the rows
    // read, valid while this snapshot's rows are not changed (only moved).
    class Lender {
    public:
        bool usable() const { return keys_ != nullptr; }
        int rowCount() const { return rows_; }
        int fieldIndex(const QString &name) const;       // a text field of that name, or -1
        int numberFieldIndex(const QString &name) const; // a whole-number field, or -1
        // Whether the row's value of a whole-number field is `value` (nothing: null).
        bool holds(int row, int field, std::optional<qint64> value) const;
        qint64 number(int row, int field) const; // of a whole-number field not null there
        // The row of the key, searching forward from `from` (keys ascend); -1 when none has it.
        int rowOfKey(qint64 key, int from) const;
        std::string_view utf8(int row, int field) const;
        bool isNull(int row, int field) const;

    private:
        friend class Snapshot;
        std::vector<FieldDef> fields_;
        std::vector<std::shared_ptr<const SpanStore>> spans_;
        std::vector<std::shared_ptr<const TextBuffer>> read_;
        std::vector<std::shared_ptr<const NumberColumn::Storage>> numbers_;
        std::vector<const std::vector<bool> *> nulls_;
        const NumberColumn *keys_ = nullptr;
        int rows_ = 0;
    };
    Lender lender() const; // unusable unless loaded, keyed by a first whole-number field

    Snapshot();
    ~Snapshot();
    Snapshot(Snapshot &&) noexcept;
    Snapshot &operator=(Snapshot &&) noexcept;

    // `hiddenKey`: the key is loaded with appendKey, apart from the fields; otherwise the first
    // field is the key when it is a whole number.
    void reset(std::vector<FieldDef> fields, bool hiddenKey = false);
    // Room for that many rows, when it is known before loading.
    void reserve(int rows);
    // Texts are ordered with this; without it (or before it is set) they order by their bytes.
    void setTextOrder(std::shared_ptr<const TextOrder> order);

    int rowCount() const { return rows_; }
    // The memory these rows take, texts shared from another snapshot left out (they are its).
    size_t bytes() const;
    int fieldCount() const { return int(fields_.size()); }
    const FieldDef &field(int index) const { return fields_[index]; }
    int fieldIndex(const QString &name) const; // -1 when there is no such field

    bool isNull(int row, int field) const;
    qint64 number(int row, int field) const; // whole numbers and dates; 0 when null
    std::string_view utf8(int row, int field) const;
    QString text(int row, int field) const;
    QVariant value(int row, int field) const;
    std::vector<QVariant> rowValues(int row) const;

    bool hasKeys() const; // every row has a key and the keys strictly ascend
    bool hiddenKey() const { return hiddenKey_; }
    qint64 key(int row) const;
    int rowOfKey(qint64 key) const; // -1 when no row has it; needs hasKeys()

    // Loading, one field at a time in field order (then the hidden key); a row is complete
    // after its last value.
    void appendNull(int field);
    void appendNumber(int field, qint64 value);
    void appendText(int field, const char *utf8, int length);
    void appendKey(qint64 key);
    // Appends the lender's text at that row and field, sharing its bytes when it can.
    void appendLentText(int field, const Lender &lender, int lenderRow, int lenderField);
    // The same for a whole number, and for the hidden key (the lender's first field).
    void appendLentNumber(int field, const Lender &lender, int lenderRow, int lenderField);
    void appendLentKey(const Lender &lender, int lenderRow);
    void finishLoading();

    // Changes keep every sorted order computed so far, at a cost in proportion to the rows
    // changed (plus one pass over each order).
    void appendRow(const std::vector<QVariant> &values, qint64 hiddenKey = 0);
    void insertRow(int row, const std::vector<QVariant> &values, qint64 hiddenKey = 0);
    void setRow(int row, const std::vector<QVariant> &values);
    void removeRow(int row);
    // Many rows replaced at once: each order is mended in one pass.
    void setRows(const std::vector<std::pair<int, std::vector<QVariant>>> &rows);

    // All rows in ascending order of the field (nulls and empty texts first, ties in row order),
    // computed on first use and kept until a change cannot be mended in place, or until two
    // other fields' orders are asked for after it. Valid until the next call.
    const std::vector<uint32_t> &sortedRows(int field);
    bool hasSortedRows(int field) const;
    // -1, 0 or 1 as row a's value of the field sorts before, with or after row b's.
    int compareValues(int field, int a, int b) const;

private:
    // The top two bits of an offset say where the text is: the texts read at loading, the texts
    // written since, or the texts of another snapshot; all ones is null.
    static constexpr uint32_t kNullOffset = TextSpan::kNull;
    static constexpr uint32_t kOffsetBits = 30;
    static constexpr uint32_t kOffsetMask = (1u << kOffsetBits) - 1;
    enum Place : uint32_t { Read = 0, Written = 1, Lent = 2 };
    struct Column {
        NumberColumn numbers;
        std::vector<bool> nulls;
        SpanColumn spans;
        TextBuffer bytes;                       // texts read, while loading
        std::shared_ptr<const TextBuffer> read; // the same once loaded, shareable
        TextBuffer written;
        std::shared_ptr<const TextBuffer> lent;
        std::vector<uint32_t> sorted;
        uint64_t sortedUse = 0;                // when sorted was last asked for
        std::unique_ptr<InternTable> interned; // while repeated texts are worth looking up
        uint32_t internedHits = 0;
    };
    bool isNumeric(int field) const;
    bool rowsComplete(int field);
    void setValue(int row, int field, const QVariant &value);
    void pushValue(int field, const QVariant &value);
    Span storeText(Column &column, const char *utf8, size_t length);
    Span storeWritten(Column &column, const QVariant &value);
    Span internText(Column &column, const char *utf8, size_t length);
    void invalidateOrder();
    void sortNumbers(int field);
    void sortTexts(int field);
    void reorder(int field, const std::vector<uint32_t> &changed);
    bool valuesEqual(int field, int row, const QVariant &value) const;
    void checkKeys();

    std::vector<FieldDef> fields_;
    std::vector<Column> columns_;
    NumberColumn keys_; // the hidden key, one per row
    bool hiddenKey_ = false;
    bool keysAscend_ = false;
    std::shared_ptr<const TextOrder> order_;
    int rows_ = 0;
    bool loading_ = false;
    uint64_t sortUses_ = 0;
};

} // namespace store
