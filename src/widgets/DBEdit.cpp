#include "widgets/DBEdit.h"

#include <limits>

#include <QApplication>
#include <QKeyEvent>

DBEdit::DBEdit(QWidget *parent)
    : QLineEdit(parent)
    , link_(new FieldLink(
          this, [this](const QString &text) { QLineEdit::setText(text); },
          [this] { return text(); })) {
    connect(this, &QLineEdit::textEdited, link_, &FieldLink::userEdited);
    // A field holds texts of any length; Qt's own limit would cut a long one on save.
    setMaxLength(std::numeric_limits<int>::max());
}

void DBEdit::setText(const QString &text) {
    QLineEdit::setText(text);
    link_->textSet();
}

void DBEdit::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        link_->refresh();
        selectAll();
        event->accept();
        return;
    }
    const QString typed = event->text();
    if (!isReadOnly() && link_->isKind(store::FieldKind::Integer) && !typed.isEmpty() &&
        typed.at(0).isPrint()) {
        for (QChar c : typed) {
            if (c != u'+' && c != u'-' && (c < u'0' || c > u'9')) {
                QApplication::beep();
                event->accept();
                return;
            }
        }
    }
    QLineEdit::keyPressEvent(event);
}

void DBEdit::focusOutEvent(QFocusEvent *event) {
    QLineEdit::focusOutEvent(event);
    link_->focusLost();
}
