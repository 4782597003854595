#include "widgets/DBMemo.h"

#include "store/engine/Conversions.h"

#include <QKeyEvent>

DBMemo::DBMemo(QWidget *parent)
    : QPlainTextEdit(parent)
    , link_(new FieldLink(
          this, [this](const QString &text) { show(text); }, [this] { return text(); })) {
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!showing_ && !isReadOnly())
            link_->userEdited();
    });
}

QString DBMemo::text() const {
    return store::toStoredLines(toPlainText());
}

void DBMemo::show(const QString &text) {
    showing_ = true;
    setPlainText(store::toShownLines(text));
    showing_ = false;
}

void DBMemo::setText(const QString &text) {
    show(text);
    link_->textSet();
}

void DBMemo::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        link_->refresh();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void DBMemo::focusOutEvent(QFocusEvent *event) {
    QPlainTextEdit::focusOutEvent(event);
    link_->focusLost();
}
