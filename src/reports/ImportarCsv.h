#pragma once

#include "platform/Platform.h"
#include "store/exchange/CatalogueCsv.h"

#include <QDialog>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QTableWidget;
class TDataModule2;

// "Archivo" > "Importar desde CSV ...": a CSV file (Vadrel's own export or a spreadsheet's list)
// shown before anything is written: its first rows, each column matched to a field (guessed from
// the header, changeable), and every line that cannot be stored with why. "Importar" stores all
// of it in one transaction, and only when no line is bad.
class TFormImportarCsv : public QDialog {
    Q_OBJECT
public:
    TFormImportarCsv(platform::Services services, TDataModule2 &data, QWidget *parent = nullptr);

    // Reads the file and shows it, checked; throws FileError when it cannot be read.
    void load(const QByteArray &file);
    // "Importar": stores the rows, says what was added and closes.
    void importRows();

    QScrollArea *Eleccion; // a labelled list per column of the file: the field it goes to
    QTableWidget *Vista;   // the first rows, a column per column of the file
    QTableWidget *Errores; // the bad lines: line and reason
    QLabel *Estado;        // what will happen
    QPushButton *Importar;
    std::vector<QComboBox *> Campos; // the field each column goes to

private:
    // Every line checked against the current matching of columns.
    void check();
    store::CsvMapping mapping() const;

    platform::Services services_;
    TDataModule2 &data_;
    store::CsvFile file_;
};
