#pragma once

#include "platform/Platform.h"
#include "widgets/DialogBase.h"

#include <QByteArray>

class QFrame;
class QLabel;
class QPushButton;

// The About window: the product line over the banner, and the maker's address, which opens a
// mail message when clicked.
class TForm7 : public DialogBase {
    Q_OBJECT
public:
    explicit TForm7(platform::Services services, QWidget *parent = nullptr);

    // Shows the JPEG data as the banner; data libjpeg cannot decode leaves the panel bare.
    void showBanner(const QByteArray &jpeg);

    // "OK" is the only control that takes the focus.
    void FormActivate() override;
    // "OK".
    void Button1Click();
    // The contact address is clicked.
    void Label6Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QFrame *Panel1;
    QLabel *Image1;
    QLabel *Image2;
    QLabel *Label1;
    QLabel *Label4;
    QLabel *Label3;
    QLabel *Label5;
    QLabel *Label6;
    QPushButton *Button1;

    platform::Services services_;
};
