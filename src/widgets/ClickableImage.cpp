#include "widgets/ClickableImage.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

ClickableImage::ClickableImage(const QString &name, const QString &picture, const QString &hint,
                               QWidget *parent)
    : QAbstractButton(parent) {
    setObjectName(name);
    setIcon(QIcon(picture));
    setIconSize(QSize(32, 32));
    setFixedSize(32, 32);
    setCursor(Qt::PointingHandCursor);
    setToolTip(hint);
    setAccessibleName(hint);
    // Reached by Tab, but a mouse click leaves the focus where the user was working.
    setFocusPolicy(Qt::TabFocus);
}

void ClickableImage::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    // Pressed pictures sink by a pixel, as a flat button's face would.
    const QRect face = isDown() ? rect().translated(1, 1) : rect();
    icon().paint(&painter, face, Qt::AlignCenter, mode);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = palette().color(backgroundRole());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void ClickableImage::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}
