#pragma once

#include "store/cursor/CursorSession.h"
#include "store/cursor/RowReader.h"
#include "store/cursor/Snapshot.h"
#include "store/cursor/VisibleRows.h"
#include "store/engine/DatabaseError.h"

#include <QCollator>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace store {

namespace engine {
class Statement;
}
class BackgroundRead;
class Connection;
class CursorSession;
class TableCursor;
class TDataSource;
class TextOrder;
struct PendingRows;

// One field of a cursor's current record. A field without value, or any field while no row is
// current, reads as 0, the empty text or the date zero.
class Field {
public:
    Field(TableCursor *cursor, int index)
        : cursor_(cursor)
        , index_(index) {}

    QString FieldName() const;
    FieldKind kind() const;
    bool IsNull() const;
    qint32 AsInteger() const;
    QString AsString() const;
    QDateTime AsDateTime() const;

    // Writing needs edit or insert state. Text goes through the whole-number rule or the short
    // date format according to the field's kind; the empty text leaves a number or date empty.
    void setAsString(const QString &text);
    void setAsInteger(qint32 value);
    void setAsDateTime(const QDateTime &value);
    void Clear();

private:
    TableCursor *cursor_;
    int index_;
};

// A static, client-side cursor over one table or view: opening reads every row into memory, and
// filter, order, current row and edit buffer then work on that copy. Writes go to the database
// at once, keyed on the first field, and update the copy; other cursors see them only after
// they are reopened.
//
// The rows may also arrive from a background read (CursorSession::openInBackground): the cursor is
// open at once, and anything that needs its rows waits for them. Reopening after the program's
// own writes patches the copy kept at closing instead of reading every row again, when no other
// program wrote meanwhile; what the user sees is the same as after a full read.
class TableCursor : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit TableCursor(const QString &tableName, QObject *parent = nullptr);
    ~TableCursor() override;
    TableCursor(const TableCursor &) = delete;
    TableCursor &operator=(const TableCursor &) = delete;

    void setConnection(Connection *connection);
    Connection *connection() const { return connection_; }
    QString TableName() const { return tableName_; }

    bool Active() const { return state_ != State::Inactive; }
    void setActive(bool active);
    void Open() { setActive(true); }
    void Close() { setActive(false); }
    State state() const { return state_; }
    bool readOnly() const { return isView_; }
    // True while the rows of an opening are still being read in the background.
    bool Loading() const { return pending_ != nullptr; }
    // True while only the first rows of a background read are in: grids show them, the current
    // row and its fields are real, and anything that needs every row waits for the rest.
    bool showingFirstRows() const { return showingFirst_; }
    // The memory of the rows kept in memory, with their orders and the copy kept at closing.
    size_t memoryBytes() const {
        return rows_.bytes() + visible_.bytes() + retained_.bytes() + firstRows_.bytes();
    }
    // Whether the last opening patched the copy kept at closing instead of reading every row.
    bool lastOpeningPatched() const { return lastOpeningPatched_; }
    // Called after each write this cursor made succeeded (the data module keeps the joined view
    // current with it).
    void setAfterWrite(std::function<void()> listener) { afterWrite_ = std::move(listener); }
    // Called after a modify or delete was refused because another program had changed or
    // removed the row, once this cursor has read its rows again (the data module re-reads the
    // others with it).
    void setAfterConflict(std::function<void()> listener) { afterConflict_ = std::move(listener); }

    // Rows other connections changed (a server's notifications), read again by key and put in
    // place, the current row, order and filter kept; `version` is the connection's data version
    // they bring this cursor to. False, with nothing done, while the cursor cannot take them (an
    // edit in progress, rows still arriving, rows without keys): the caller tries again later.
    bool patchOthers(const std::vector<CursorSession::Change> &changes, qint64 version);

    // Reads every row again from the file, staying on the current row's key. An edit in progress
    // survives on that row when it is still there: the values it changed are kept over the ones
    // just read. When the row is gone the edit is dropped.
    void reread();

    void GoFirst();
    void GoLast();
    void GoNext();
    bool AtEnd() const { return atEnd_; }
    int RecordCount() const;

    Field Fields(int index);
    Field FieldByName(const QString &name);
    int fieldCount() const { return rows_.fieldCount(); }
    int fieldIndex(const QString &name) const { return rows_.fieldIndex(name); }
    const FieldDef &fieldDef(int index) const { return rows_.field(index); }

    // Finds the first row, in ascending order of the field over all rows (filter ignored), that
    // matches the key: a prefix for a text field with partialKey and a non-empty key, equality
    // otherwise. Makes it current and returns true only when that row is visible.
    bool FindRow(const QString &fieldName, const QVariant &key, bool partialKey = true);

    void EditRow();
    void PostRow();
    void CancelRow();
    void DeleteRow();
    void InsertRow(const QVariantList &values);
    bool Modified() const { return modified_; }

    // A filter is "Field = value" or "Field = 'value'", where a quote inside the quotes is
    // doubled. equalsFilter writes one for any value, taken as it is.
    static QString equalsFilter(const QString &fieldName, const QString &value);
    QString Filter() const { return filter_; }
    void setFilter(const QString &text);
    // As setFilter(equalsFilter(fieldName, value)), the value handed over rather than written
    // out and read back.
    void setFilterEquals(const QString &fieldName, const QString &value);
    bool Filtered() const { return filtered_; }
    void setFiltered(bool filtered);
    QString IndexFieldNames() const { return indexFieldNames_; }
    void setIndexFieldNames(const QString &fieldName);

    // Row access for grids, by position among the visible rows; nothing is copied.
    int visibleCount() const { return visible_.size(); }
    int currentIndex() const { return current_; }
    void moveTo(int visibleRow);
    QString displayText(int visibleRow, int field) const;
    // The value in its internal form (see Snapshot): an invalid QVariant when empty.
    QVariant valueAt(int visibleRow, int field) const;
    // The stored value without conversion, for reading many rows fast; not for a row being
    // edited. A text as UTF-8 (empty when empty), a number or date as such (0 when empty); a
    // field of the other kind, or none at that position, reads as empty or 0.
    std::string_view utf8At(int visibleRow, int field) const;
    qint64 numberAt(int visibleRow, int field) const;

    void attachSource(TDataSource *source);
    void detachSource(TDataSource *source);

    // While code walks the rows, bound controls need not follow each one: between these calls
    // (they nest) the data sources hold their notifications, and the last EnableControls tells
    // them once where the cursor ended up.
    void DisableControls() { ++controlsDisabled_; }
    void EnableControls();
    bool ControlsDisabled() const { return controlsDisabled_ > 0; }

signals:
    void dataSetChanged(); // opened, closed, rows added or removed, order or filter changed
    void recordChanged();  // another row became current, or its values were reloaded
    void stateChanged();
    void fieldChanged(int field); // a value of the edit buffer changed
    void rowFound();              // FindRow made a row current

private:
    friend class Field;
    friend class CursorSession;
    friend class TDataSource;

    struct FilterRule {
        int field = -1; // -1: all rows pass
        QVariant value;
    };
    // A filter as written: the field's name and the value's text.
    struct FilterTerm {
        QString field;
        QString value;
    };

    void requireOpen() const;
    void requireShown();
    void requireWritable() const;
    void settle() const;
    void takeFirst(bool wait);
    bool firstRowsServe(const QString &order, const FilterRule &filter) const;
    bool serveFirst(const QString &order, const FilterRule &filter);
    void dropRows();
    void load();
    void prepareOrder();
    void stampLoad(size_t changePosition, qint64 version);
    void openFrom(BackgroundRead &reader, size_t changePosition, qint64 version);
    void adoptPending();
    void adoptIfReady();
    bool patchRetained();
    std::vector<qint64> touchedKeys(const Snapshot &rows,
                                    const std::vector<CursorSession::Change> &changes,
                                    size_t first) const;
    void readKeysAgain(Snapshot &rows, const std::vector<qint64> &keys) const;
    void recordWrite(qint64 key, qint64 totalChangesBefore);
    void wrote();
    std::optional<FilterTerm> parseFilter(const QString &text) const; // nothing: no filter
    FilterRule filterRule(const std::optional<FilterTerm> &term, const QString &text) const;
    FilterRule storedFilter() const; // the rule of the filter kept, in force or not
    FilterRule activeFilter() const; // the rule in force now, none when filtering is off
    void changeFilter(const QString &text, const std::optional<FilterTerm> &term);
    int orderField(const QString &name) const;
    void rebuildVisible(const FilterRule &filter);
    bool passes(const FilterRule &filter, uint32_t row) const;
    void placeOnRow(int physicalRow, int fallbackIndex);
    void endPendingEdit();
    void flushEditors();
    QVariant currentValue(int field) const;
    void setBufferValue(int field, const QVariant &internal);
    QVariant toInternal(int field, const QVariant &external) const;
    QString valueText(int field, const QVariant &internal) const;
    QString dateFormat() const;
    [[noreturn]] void conversionError(int field, const QString &text,
                                      FieldKind kind = FieldKind::Integer) const;
    DatabaseError missingField(const QString &name) const;
    int findMatch(int field, const QVariant &key, bool partialKey);
    QString foldAccents(const QString &text) const;
    void bindValue(engine::Statement &statement, int index, int field,
                   const QVariant &internal) const;
    qint64 writeRow(bool insert, const std::vector<QVariant> &values, const QVariant &oldKey,
                    const std::vector<int> &changed = {}, int readRow = -1);
    void requireUnchanged(int row, DatabaseError::Cause whenGone) const;
    [[noreturn]] void conflicted(std::exception_ptr error);
    void addWrittenRow(std::vector<QVariant> values);
    void setState(State state);

    QString tableName_;
    Connection *connection_ = nullptr;
    CursorSession *session_ = nullptr; // the connection's, while there is one
    bool isView_ = false;
    State state_ = State::Inactive;
    Snapshot rows_;
    RowQuery query_;
    std::shared_ptr<PendingRows> pending_;
    Snapshot firstRows_;        // pending_'s first rows, taken but not shown
    bool showingFirst_ = false; // rows_ holds only pending_'s first rows
    // The copy kept at closing, for a reopening that can patch it (no fields: none kept).
    Snapshot retained_;
    bool lastOpeningPatched_ = false;
    size_t loadedAt_ = 0;      // the connection's change count the copy includes
    qint64 loadedVersion_ = 0; // the file's data version when the copy was taken
    QString loadedLocale_;
    std::function<void()> afterWrite_;
    std::function<void()> afterConflict_;
    QCollator collator_;
    std::shared_ptr<const TextOrder> order_;
    mutable QHash<char16_t, char16_t> foldCache_;
    VisibleRows visible_;
    int current_ = -1;
    bool atEnd_ = true;
    std::vector<QVariant> buffer_;
    bool modified_ = false;
    QString filter_;
    std::optional<FilterTerm> filterTerm_; // as handed to setFilterEquals; nothing for text
    bool filtered_ = false;
    QString indexFieldNames_;
    std::vector<TDataSource *> sources_;
    int controlsDisabled_ = 0;
};

} // namespace store
