#pragma once

#include "DialogBase.h"
#include "Platform.h"

#include <QString>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QTableView;
class TDataModule2;
namespace store::search {
class SearchIndex;
}

// "Buscar en todo el catálogo": lists, as the user types, the programs holding every typed word
// in any of their fields or their CD's, with the words marked. The catalogue is read into memory
// each time the window opens, so a keystroke never waits for the file.
class CatalogueSearch : public DialogBase {
    Q_OBJECT
public:
    CatalogueSearch(platform::Services services, TDataModule2 &data, QWidget *parent = nullptr);
    ~CatalogueSearch() override;

    // Reads the catalogue again and repeats the search in the box.
    void FormActivate() override;
    // The details of the program on the grid's row, read-only.
    void showDetails(int row);

    QLineEdit *Palabras;
    QTableView *Resultados;
    QLabel *Cuenta;

private:
    class Matches;
    class Marker;
    void search(const QString &typed);

    platform::Services services_;
    TDataModule2 &data_;
    std::unique_ptr<store::search::SearchIndex> index_;
    Matches *matches_;
    Marker *marker_;
    QString searched_; // what the matches on the grid were found for
};
