#pragma once

#include "platform/Platform.h"
#include "widgets/DialogBase.h"

class DBEdit;
class DBMemo;
class MainForm;
class QComboBox;
class QGroupBox;
class QToolButton;
class CatalogueWrites;
namespace store {
class TDataSource;
class TableCursor;
} // namespace store

// The Modify program window: edits the current program of the Programs page in place, its
// licence and CD chosen from lists, and posts it once.
class TForm6 : public DialogBase {
    Q_OBJECT
public:
    // Edits the current row of `programs`' cursor through `catalogue`; its CD is one of `cds`.
    TForm6(platform::Services services, store::TDataSource &programs, store::TableCursor &cds,
           CatalogueWrites &catalogue, MainForm &form1, QWidget *parent = nullptr);

    // The window is shown by "MODIFICACIONES" on the programs page: the lists show the stored
    // licence and CD.
    void FormActivate() override;
    // The window closes, by any way: an edit not saved is dropped.
    void FormClose() override;
    // "ACEPTAR": posts the row with the chosen licence and CD.
    void SpeedButton1Click();
    // "CANCELAR": closes, dropping what was typed.
    void SpeedButton2Click();

private:
    QGroupBox *GroupBox1;
    DBEdit *DBEdit1;
    DBEdit *DBEdit2;
    DBEdit *DBEdit3;
    QComboBox *ComboBox1;
    DBEdit *DBEdit5;
    DBEdit *DBEdit6;
    QComboBox *ComboBox2;
    DBMemo *DBMemo1;
    DBEdit *DBEdit4;
    DBEdit *DBEdit7;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;

    platform::Services services_;
    store::TableCursor &programs_;
    store::TableCursor &cds_;
    CatalogueWrites &catalogue_;
    MainForm &form1_;
    RowEditing editing_;
};
