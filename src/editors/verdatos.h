#pragma once

#include "widgets/DialogBase.h"

class DBEdit;
class DBMemo;
class QGroupBox;
class QToolButton;
namespace store {
class TDataSource;
}

// The program details window: every field of the current row of the queries list, read-only.
class TForm5 : public DialogBase {
    Q_OBJECT
public:
    // Shows the current row of `joined`, the joined view's source.
    explicit TForm5(store::TDataSource &joined, QWidget *parent = nullptr);

    // "ACEPTAR": closes.
    void SpeedButton1Click();

private:
    QGroupBox *GroupBox1;
    DBEdit *DBEdit1;
    DBEdit *DBEdit2;
    DBEdit *DBEdit3;
    DBEdit *DBEdit4;
    DBEdit *DBEdit5;
    DBEdit *DBEdit6;
    DBEdit *DBEdit7;
    DBMemo *DBMemo1;
    QToolButton *SpeedButton1;
};
