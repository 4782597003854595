#pragma once

#include "platform/Platform.h"
#include "widgets/DialogBase.h"

class QDateEdit;
class CatalogueWrites;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;
namespace store {
class TableCursor;
}

// The New CD window: adds one CD per "ACEPTAR" and stays open for the next.
class TForm2 : public DialogBase {
    Q_OBJECT
public:
    // Adds to `cds`; `catalogue` reads every cursor again when another program took a number.
    TForm2(platform::Services services, store::TableCursor &cds, CatalogueWrites &catalogue,
           QWidget *parent = nullptr);

    // Proposes the next number and today's date, and empties the other boxes.
    void Limpiar();
    // The window is shown by "Archivo" > "Nuevo CD" or "ALTAS" on the CDs page: Limpiar.
    void FormActivate() override;
    // "ACEPTAR": adds the CD; a number another program took meanwhile proposes the next.
    void SpeedButton1Click();
    // "CANCELAR": closes.
    void SpeedButton2Click();

private:
    QGroupBox *GroupBox1;
    QLineEdit *Edit1;
    QLineEdit *Edit2;
    QDateEdit *Date1;
    QPlainTextEdit *Memo1;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;

    // Puts the number after the last CD's in Edit1; false (Edit1 empty, the user told) when
    // there is none.
    bool proposeNumber();

    platform::Services services_;
    store::TableCursor &cds_;
    CatalogueWrites &catalogue_;
};
