#include "ClickableImage.h"

#include <QMouseEvent>

ClickableImage::ClickableImage(const QString &name, const QString &picture, const QString &hint,
                               QWidget *parent)
    : QLabel(parent) {
    setObjectName(name);
    setPixmap(QPixmap(picture));
    setFixedSize(32, 32);
    setCursor(Qt::PointingHandCursor);
    setToolTip(hint);
    setAccessibleName(hint);
}

void ClickableImage::mouseReleaseEvent(QMouseEvent *event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}
