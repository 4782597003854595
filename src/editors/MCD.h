#pragma once

#include "platform/Platform.h"
#include "widgets/DialogBase.h"

#include <QDate>

class DBEdit;
class DBMemo;
class QDateEdit;
class QGroupBox;
class QToolButton;
namespace store {
class TDataSource;
class TableCursor;
} // namespace store

// The Modify CD window: edits the current CD of the CDs page in place and posts it once.
class TForm3 : public DialogBase {
    Q_OBJECT
public:
    // Edits the current row of `cds`' cursor.
    TForm3(platform::Services services, store::TDataSource &cds, QWidget *parent = nullptr);

    // Puts the CD's stored date in the picker; "MODIFICACIONES" does so before each opening.
    void showStoredDate(const QDate &date);
    // The window is shown by "MODIFICACIONES" on the CDs page: remembers the date shown.
    void FormActivate() override;
    // The window closes, by any way: an edit not saved is dropped.
    void FormClose() override;
    // "ACEPTAR": saves the CD's changes and closes.
    void SpeedButton1Click();
    // "CANCELAR": closes, dropping what was typed.
    void SpeedButton2Click();

private:
    QGroupBox *GroupBox1;
    DBEdit *DBEdit1;
    DBEdit *DBEdit2;
    QDateEdit *Date1;
    DBMemo *DBMemo1;
    DBEdit *DBEdit3;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;

    platform::Services services_;
    store::TableCursor &cds_;
    QDate dateShown_; // as the opener put it in the picker
    bool dateUnread_ = false;
    RowEditing editing_;
};
