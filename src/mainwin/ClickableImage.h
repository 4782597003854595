#pragma once

#include <QLabel>

// A picture that acts as a button: hand cursor, its hint as tooltip and accessible name, and a
// click signal on a left-button release inside it.
class ClickableImage : public QLabel {
    Q_OBJECT
public:
    ClickableImage(const QString &name, const QString &picture, const QString &hint,
                   QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
