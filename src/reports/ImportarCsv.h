#pragma once

#include "platform/Platform.h"
#include "store/exchange/CatalogueCsv.h"

#include <QDialog>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QTableWidget;
class TDataModule2;

// "Archivo" > "Importar desde CSV ...": a CSV file (Vadrel's own export or a spreadsheet's list)
// shown before anything is written: how it is read (encoding, whether line 1 holds titles), its
// first rows, each column matched to a field (guessed, changeable), every line that cannot be
// stored with why, the rows the catalogue already has and the CDs it describes otherwise.
// "Importar" stores all of it in one transaction, and only when no line is bad. The file is read
// in pieces each time, behind a progress window when that lasts.
class TFormImportarCsv : public QDialog {
    Q_OBJECT
public:
    TFormImportarCsv(platform::Services services, TDataModule2 &data, QWidget *parent = nullptr);

    // Reads the file and shows it, checked; throws FileError when it cannot be read.
    void load(const QByteArray &file);
    // "Importar": stores the rows, says what was added and closes.
    void importRows();

    QComboBox *Codificacion; // the file's encoding
    QCheckBox *Titulos;      // line 1 holds the titles
    QComboBox *Repetidas;    // rows the catalogue has: left out or added again
    QScrollArea *Eleccion;   // a labelled list per column worth choosing: the field it goes to
    QTableWidget *Vista;     // the first rows, the columns that have a list
    QTableWidget *Errores;   // the bad lines: line and reason
    QTableWidget *Avisos;    // the catalogue's CDs that the file describes otherwise
    QLabel *Estado;          // what will happen
    QPushButton *Importar;
    std::vector<QComboBox *> Campos; // the field each listed column goes to

private:
    // The file read again as the choices above say; the columns' lists guessed anew.
    void reread();
    // Every line checked against the current choices and the catalogue.
    void check();
    // Runs a reading of the file behind the progress window; false when cancelled.
    bool longWork(const QString &text, const std::function<void(const store::CsvProgress &)> &work);
    store::CsvOptions options() const;
    void showColumns();
    void showState();

    platform::Services services_;
    TDataModule2 &data_;
    QString path_;
    store::CsvFile file_;
    store::CsvCheck check_;
    std::vector<int> listed_; // the file's column of each list in Campos
    bool cancelled_ = false;
};
