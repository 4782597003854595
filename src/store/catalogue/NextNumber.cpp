#include "store/catalogue/NextNumber.h"

#include "store/cursor/TableCursor.h"

namespace store {

NextNumber nextNumber(TableCursor &table, qint64 largest) {
    table.GoLast();
    NextNumber result;
    result.highest = table.RecordCount() > 0 ? table.numberAt(table.currentIndex(), 0) : 0;
    if (result.highest < largest)
        result.next = result.highest + 1;
    return result;
}

} // namespace store
