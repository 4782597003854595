#pragma once

#include "store/cursor/DataSource.h"
#include "store/cursor/Snapshot.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

namespace store {
class TableCursor;
}

// What a bound box shares with every other bound box: it follows its field on the data source's
// current record, starts an edit when the user changes its text, and writes the text into the
// field when asked. The box supplies how to show and read its text.
class FieldLink : public QObject, public store::TDataSource::Editor {
    Q_OBJECT
public:
    FieldLink(QWidget *control, std::function<void(const QString &)> show,
              std::function<QString()> read);
    ~FieldLink() override;

    store::TDataSource *dataSource() const { return source_; }
    void setDataSource(store::TDataSource *source);
    QString dataField() const { return field_; }
    void setDataField(const QString &field);

    store::TableCursor *cursor() const;
    int fieldIndex() const; // -1 while the cursor is closed or has no such field
    bool isKind(store::FieldKind kind) const;
    bool editing() const;
    bool modified() const { return modified_; }

    // Shows the field's current value and forgets any change.
    void refresh();
    void refreshWhenReady();
    // The user changed the text: the record goes into edit state.
    void userEdited();
    // The program set the text: a change when the record is being edited.
    void textSet();
    // Focus leaves the box: store a changed text, or keep the focus and report why not.
    void focusLost();

    void updateRecord() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *control_;
    std::function<void(const QString &)> show_;
    std::function<QString()> read_;
    QPointer<store::TDataSource> source_;
    QString field_;
    QString shown_; // the field's value as the box last showed it
    bool modified_ = false;
    bool stale_ = false; // the record moved while the box could not be seen
    bool startingEdit_ = false;
};
