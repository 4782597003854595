#pragma once

#include "widgets/FieldLink.h"

#include <QLineEdit>

// A one-line box bound to a field of its data source's current record. Typing starts an edit of
// the record, Escape brings back the field's value, and the changed text reaches the field when
// the box loses focus or when the record is posted. A box on a whole-number field takes only
// + - and 0 to 9.
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget *parent = nullptr);

    store::TDataSource *DataSource() const { return link_->dataSource(); }
    void setDataSource(store::TDataSource *source) { link_->setDataSource(source); }
    QString DataField() const { return link_->dataField(); }
    void setDataField(const QString &field) { link_->setDataField(field); }
    bool Modified() const { return link_->modified(); }

    // Hides QLineEdit::setText: setting the text from code while the record is being edited
    // counts as a change, as typing does (hidden boxes carry values from unbound controls into
    // the row this way).
    void setText(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    FieldLink *link_;
};
