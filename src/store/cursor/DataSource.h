#pragma once

#include <QObject>
#include <exception>
#include <vector>

namespace store {

class TableCursor;

// Links bound controls to a cursor: it relays the cursor's row, state and value changes to
// them, and lets the cursor collect their typed text before it posts.
class TDataSource : public QObject {
    Q_OBJECT
public:
    // A control that can hold text not yet written into its field.
    class Editor {
    public:
        virtual ~Editor() = default;
        // Writes the control's changed text into its field; may throw a conversion error.
        virtual void updateRecord() = 0;
    };

    explicit TDataSource(TableCursor *dataSet = nullptr, QObject *parent = nullptr);
    ~TDataSource() override;

    TableCursor *DataSet() const { return dataSet_; }
    void setDataSet(TableCursor *dataSet);
    // Typing into a bound box starts an edit of the row.
    bool AutoEdit() const { return true; }

    void addEditor(Editor *editor);
    void removeEditor(Editor *editor);

    // Bound controls act inside Qt's event handlers, where no exception may escape; they hand
    // what they catch to whoever listens here (the application's error handler).
    void reportError(std::exception_ptr error) { emit errorRaised(error); }

signals:
    void dataSetChanged();
    void recordChanged();
    void stateChanged();
    void fieldChanged(int field);
    void rowFound();
    void errorRaised(std::exception_ptr error);

private:
    friend class TableCursor;
    void updateRecord();
    void cursorGone();
    // Relays a cursor signal unless the cursor's controls are disabled; then only remembers it.
    void relay(void (TDataSource::*signal)(), bool TDataSource::*held);
    void releaseHeld();

    TableCursor *dataSet_ = nullptr;
    std::vector<Editor *> editors_;
    bool heldDataSet_ = false;
    bool heldRecord_ = false;
    bool heldState_ = false;
};

} // namespace store
