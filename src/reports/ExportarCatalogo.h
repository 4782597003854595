#pragma once

#include "platform/Platform.h"

#include <QDialog>

class QRadioButton;
class TDataModule2;

// "Archivo" > "Exportar catálogo ...": the whole catalogue, or the rows the queries page shows (in
// its order, with its CD filter), written to a file the user chooses in the documents folder as
// CSV, an ODS spreadsheet, an HTML report or a PDF report, or the same report printed. Work
// that lasts shows the progress window, whose "Cancelar" stops it with no file written.
class TFormExportarCatalogo : public QDialog {
    Q_OBJECT
public:
    TFormExportarCatalogo(platform::Services services, TDataModule2 &data,
                          QWidget *parent = nullptr);

    // "Exportar ...": asks where, writes the file whole or not at all, and says where it went.
    void exportChosen();
    // "Imprimir ...": the report through the desktop's print dialog.
    void printChosen();

    QRadioButton *Todo;     // every CD and program
    QRadioButton *Consulta; // the queries page's rows
    QRadioButton *Csv;
    QRadioButton *Ods; // the same rows with text cells
    QRadioButton *Html;
    QRadioButton *Pdf;

private:
    QString reportTitle() const;
    platform::Services services_;
    TDataModule2 &data_;
};
