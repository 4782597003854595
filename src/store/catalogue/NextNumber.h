#pragma once

#include <QtGlobal>
#include <optional>

namespace store {

class TableCursor;

// The number a new row of `table` gets: one past the highest of its first field, 1 when it has
// no rows, nothing when the highest is already `largest`. The cursor lists its rows in
// ascending key order and is left on its last row. The highest is read whole, so a number past
// the 32-bit range never wraps into one already used.
struct NextNumber {
    qint64 highest = 0;
    std::optional<qint64> next;
};
NextNumber nextNumber(TableCursor &table, qint64 largest);

} // namespace store
