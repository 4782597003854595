#include "store/cursor/TableCursor.h"

#include "store/engine/Connection.h"
#include "store/engine/Conversions.h"
#include "store/order/TextOrder.h"

#include <algorithm>
#include <numeric>

// Filtering, ordering and finding rows, all in memory: no value typed by a user becomes SQL.

namespace store {

using Kind = DatabaseError::Kind;

// ---- Filter and order -------------------------------------------------------------------------

// Understands the forms the program uses: empty, and `Field = 'value'` (quotes inside doubled)
// or `Field = value`. The value is never pasted into SQL: rows are filtered in memory.
std::optional<TableCursor::FilterTerm> TableCursor::parseFilter(const QString &text) const {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    auto invalid = [&]() -> DatabaseError {
        return DatabaseError(Kind::Other, QStringLiteral("invalid filter: %1").arg(text),
                             connection_ ? connection_->dataSource() : QString());
    };
    const qsizetype equals = trimmed.indexOf(u'=');
    if (equals <= 0)
        throw invalid();
    FilterTerm term;
    term.field = trimmed.left(equals).trimmed();
    if (term.field.startsWith(u'[') && term.field.endsWith(u']'))
        term.field = term.field.mid(1, term.field.size() - 2);
    term.value = trimmed.mid(equals + 1).trimmed();
    if (term.value.startsWith(u'\'')) {
        const QString &value = term.value;
        QString unquoted;
        qsizetype i = 1;
        for (; i < value.size(); ++i) {
            if (value[i] == u'\'') {
                if (i + 1 < value.size() && value[i + 1] == u'\'') {
                    unquoted += u'\'';
                    ++i;
                    continue;
                }
                break;
            }
            unquoted += value[i];
        }
        if (i != value.size() - 1)
            throw invalid(); // no closing quote, or something after it
        term.value = unquoted;
    }
    return term;
}

// The rows' field and the value in its internal form; `text` is the filter as the user sees it.
TableCursor::FilterRule TableCursor::filterRule(const std::optional<FilterTerm> &term,
                                                const QString &text) const {
    FilterRule rule;
    if (!term)
        return rule;
    rule.field = rows_.fieldIndex(term->field);
    if (rule.field < 0)
        throw DatabaseError(Kind::Other, QStringLiteral("invalid filter: %1").arg(text),
                            connection_ ? connection_->dataSource() : QString());
    const QString &value = term->value;
    // A whole number is also matched as it is shown, past the 32-bit range that typing allows:
    // a CD listed with such a number must be found by it.
    bool wide = false;
    const qlonglong stored = value.toLongLong(&wide);
    if (wide && rows_.field(rule.field).kind == FieldKind::Integer &&
        QString::number(stored) == value && !parseWholeNumber(value)) {
        rule.value = QVariant(stored);
        return rule;
    }
    rule.value = toInternal(rule.field, QVariant(value));
    return rule;
}

QString TableCursor::equalsFilter(const QString &fieldName, const QString &value) {
    QString quoted = value;
    quoted.replace(u'\'', QStringLiteral("''"));
    return fieldName + QStringLiteral(" = '") + quoted + u'\'';
}

TableCursor::FilterRule TableCursor::storedFilter() const {
    return filterRule(filterTerm_ ? filterTerm_ : parseFilter(filter_), filter_);
}

TableCursor::FilterRule TableCursor::activeFilter() const {
    return filtered_ ? storedFilter() : FilterRule();
}

bool TableCursor::passes(const FilterRule &filter, uint32_t row) const {
    if (filter.field < 0)
        return true;
    if (rows_.isNull(int(row), filter.field) || !filter.value.isValid())
        return false;
    const FieldKind kind = rows_.field(filter.field).kind;
    if (kind == FieldKind::Integer || kind == FieldKind::Date)
        return rows_.number(int(row), filter.field) == filter.value.toLongLong();
    return collator_.compare(rows_.text(int(row), filter.field), filter.value.toString()) == 0;
}

int TableCursor::orderField(const QString &name) const {
    if (name.trimmed().isEmpty())
        return -1;
    const int field = rows_.fieldIndex(name.trimmed());
    if (field < 0)
        throw missingField(name);
    return field;
}

void TableCursor::rebuildVisible(const FilterRule &filter) {
    const int field = orderField(indexFieldNames_);
    const int count = rows_.rowCount();
    if (field < 0 && filter.field < 0) {
        visible_.assignAll(count);
        return;
    }
    std::vector<uint32_t> rows;
    rows.reserve(size_t(count));
    auto take = [&](uint32_t row) {
        if (passes(filter, row))
            rows.push_back(row);
    };
    if (field >= 0) {
        for (uint32_t row : rows_.sortedRows(field))
            take(row);
    } else {
        for (int row = 0; row < count; ++row)
            take(uint32_t(row));
    }
    visible_.assign(std::move(rows), count);
}

void TableCursor::placeOnRow(int physicalRow, int fallbackIndex) {
    int index = visible_.placeOf(physicalRow);
    if (index < 0)
        index = std::min(fallbackIndex, int(visible_.size()) - 1);
    current_ = visible_.empty() ? -1 : std::max(index, 0);
    atEnd_ = visible_.empty();
}

void TableCursor::setFilter(const QString &text) {
    changeFilter(text, std::nullopt);
}

void TableCursor::setFilterEquals(const QString &fieldName, const QString &value) {
    changeFilter(equalsFilter(fieldName, value), FilterTerm{fieldName, value});
}

void TableCursor::changeFilter(const QString &text, const std::optional<FilterTerm> &term) {
    if (text == filter_)
        return;
    if (!Active() || !filtered_) {
        filter_ = text;
        filterTerm_ = term;
        return;
    }
    const FilterRule rule = filterRule(term ? term : parseFilter(text), text);
    if (!serveFirst(indexFieldNames_, rule))
        settle();
    endPendingEdit();
    filter_ = text;
    filterTerm_ = term;
    rebuildVisible(rule);
    placeOnRow(-1, 0);
    emit dataSetChanged();
    emit recordChanged();
}

void TableCursor::setFiltered(bool filtered) {
    if (filtered == filtered_)
        return;
    if (!Active()) {
        filtered_ = filtered;
        return;
    }
    const FilterRule rule = filtered ? storedFilter() : FilterRule();
    if (!serveFirst(indexFieldNames_, rule))
        settle();
    endPendingEdit();
    filtered_ = filtered;
    rebuildVisible(rule);
    placeOnRow(-1, 0);
    emit dataSetChanged();
    emit recordChanged();
}

void TableCursor::setIndexFieldNames(const QString &fieldName) {
    if (fieldName == indexFieldNames_)
        return;
    if (!Active()) {
        indexFieldNames_ = fieldName;
        return;
    }
    orderField(fieldName); // refuse an unknown name before anything changes
    if (!serveFirst(fieldName, activeFilter()))
        settle();
    endPendingEdit();
    const int row = current_ >= 0 ? int(visible_[current_]) : -1;
    const QString previous = indexFieldNames_;
    indexFieldNames_ = fieldName;
    try {
        rebuildVisible(activeFilter());
    } catch (...) {
        indexFieldNames_ = previous;
        throw;
    }
    // The same record stays current: the user keeps their place.
    placeOnRow(row, 0);
    emit dataSetChanged();
    emit recordChanged();
}

// ---- FindRow ------------------------------------------------------------------------------------

// Binary search over the field's sorted order; returns the physical row of the first match.
int TableCursor::findMatch(int field, const QVariant &key, bool partialKey) {
    const FieldKind kind = rows_.field(field).kind;
    const std::vector<uint32_t> &sorted = rows_.sortedRows(field);
    if (kind == FieldKind::Integer || kind == FieldKind::Date) {
        const QVariant wanted = toInternal(field, key);
        if (!wanted.isValid())
            return -1;
        const qint64 value = wanted.toLongLong();
        // Nulls sort first, so skip past them before comparing values.
        auto it = std::partition_point(sorted.begin(), sorted.end(), [&](uint32_t row) {
            return rows_.isNull(int(row), field) || rows_.number(int(row), field) < value;
        });
        if (it == sorted.end() || rows_.number(int(*it), field) != value)
            return -1;
        return int(*it);
    }
    // Texts match without regard to case or to accents that the locale's collation treats as
    // marks on the same letter ("arbol" finds "Árbol"; in Spanish "cana" does not find "caña").
    // The key stripped of such accents sorts first among the texts equal to it but for accents,
    // so a binary search for it lands on the first candidate in ascending order.
    const QString wanted = foldAccents(key.toString());
    const QByteArray wantedUtf8 = wanted.toUtf8();
    const std::string_view wantedBytes(wantedUtf8.constData(), size_t(wantedUtf8.size()));
    auto it = std::partition_point(sorted.begin(), sorted.end(), [&](uint32_t row) {
        return order_->compare(rows_.utf8(int(row), field), wantedBytes) < 0;
    });
    if (it == sorted.end())
        return -1;
    const QString candidate = foldAccents(rows_.text(int(*it), field));
    const bool matches =
        partialKey && !wanted.isEmpty()
            ? collator_.compare(QStringView(candidate).left(wanted.size()), wanted) == 0
            : collator_.compare(candidate, wanted) == 0;
    return matches ? int(*it) : -1;
}

// Replaces each accented letter by its base letter when the collation ranks both as the same
// letter: "cXa" must then sort before "bYb" as it would with the base letter.
QString TableCursor::foldAccents(const QString &text) const {
    QString folded = text.normalized(QString::NormalizationForm_C);
    for (QChar &c : folded) {
        if (c.unicode() < 0xC0 || c.decompositionTag() != QChar::Canonical)
            continue;
        auto cached = foldCache_.constFind(c.unicode());
        if (cached == foldCache_.constEnd()) {
            QChar base = c;
            while (base.decompositionTag() == QChar::Canonical)
                base = base.decomposition().at(0);
            const bool sameLetter =
                collator_.compare(QString(c) + u'a', QString(base) + u'b') < 0 &&
                collator_.compare(QString(base) + u'a', QString(c) + u'b') < 0;
            cached = foldCache_.insert(c.unicode(), sameLetter ? base.unicode() : c.unicode());
        }
        c = QChar(*cached);
    }
    return folded;
}

bool TableCursor::FindRow(const QString &fieldName, const QVariant &key, bool partialKey) {
    requireOpen();
    endPendingEdit();
    int row = -1;
    try {
        const int field = rows_.fieldIndex(fieldName);
        if (field >= 0)
            row = findMatch(field, key, partialKey);
    } catch (const DatabaseError &) {
        return false; // a key that cannot be compared finds nothing
    }
    const int place = visible_.placeOf(row);
    if (place < 0)
        return false;
    current_ = place;
    atEnd_ = false;
    emit recordChanged();
    emit rowFound();
    return true;
}

} // namespace store
