#pragma once

#include "platform/Platform.h"
#include "widgets/DialogBase.h"

class MainForm;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;
class CatalogueWrites;
namespace store {
class TableCursor;
}

// The New program window: adds one program per valid "ACEPTAR" and stays open for the next.
class TForm4 : public DialogBase {
    Q_OBJECT
public:
    // Adds to `programs` through `catalogue`, on a CD of `cds`.
    TForm4(platform::Services services, store::TableCursor &cds, store::TableCursor &programs,
           CatalogueWrites &catalogue, MainForm &form1, QWidget *parent = nullptr);

    // Empties the boxes and offers the CD with the highest number.
    void Limpiar();
    // The window is shown by "Archivo" > "Nuevo Programa" or "ALTAS" on the programs page:
    // Limpiar.
    void FormActivate() override;
    // "ACEPTAR": checks the inputs, then adds the program.
    void SpeedButton1Click();
    // "CANCELAR": closes.
    void SpeedButton2Click();

private:
    QGroupBox *GroupBox1;
    QLineEdit *Edit1;
    QLineEdit *Edit2;
    QLineEdit *Edit3;
    QComboBox *ComboBox1;
    QLineEdit *Edit4;
    QLineEdit *Edit5;
    QComboBox *ComboBox2;
    QPlainTextEdit *Memo1;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;

    platform::Services services_;
    store::TableCursor &cds_;
    store::TableCursor &programs_;
    CatalogueWrites &catalogue_;
    MainForm &form1_;
};
