#pragma once

#include <QDialog>
#include <QString>

class QGridLayout;
class QLabel;
class QToolButton;

// What every secondary window shares: fixed size with only the close box, centred on the desktop
// the first time and reopened where it was left, `FormActivate` once per opening (after the
// window is visible, before the user types), `FormClose` on every closing, and no window-wide
// meaning for Enter or Escape.
class DialogBase : public QDialog {
    Q_OBJECT
public:
    DialogBase(const QString &objectName, const QString &caption, QSize clientSize,
               QWidget *parent = nullptr);

    virtual void FormActivate() {}
    virtual void FormClose() {}

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

    // Building blocks of the editors' layout.
    static QLabel *boldLabel(const QString &text, QWidget *buddy, QWidget *parent);
    static QToolButton *flatButton(const QString &name, const QString &caption, QWidget *parent);

private:
    bool placed_ = false;
};
