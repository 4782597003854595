#pragma once

#include <QAbstractButton>

// A picture that acts as a button: hand cursor, its hint as tooltip and accessible name. Being a
// button gives it Qt's accessible press action and Space; Enter and Return press it too.
class ClickableImage : public QAbstractButton {
    Q_OBJECT
public:
    ClickableImage(const QString &name, const QString &picture, const QString &hint,
                   QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};
