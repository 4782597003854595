#pragma once

#include "widgets/FieldLink.h"

#include <QPlainTextEdit>

// A multi-line box bound to a memo field. Lines are stored separated by CR LF, with no line
// break added at the end.
class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DBMemo(QWidget *parent = nullptr);

    store::TDataSource *DataSource() const { return link_->dataSource(); }
    void setDataSource(store::TDataSource *source) { link_->setDataSource(source); }
    QString DataField() const { return link_->dataField(); }
    void setDataField(const QString &field) { link_->setDataField(field); }
    bool Modified() const { return link_->modified(); }

    // The text as the field receives it: lines joined with CR LF.
    QString text() const;
    void setText(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void show(const QString &text);

    FieldLink *link_;
    bool showing_ = false;
};
