#pragma once

#include "platform/Platform.h"
#include "store/cursor/CursorSession.h"
#include "store/search/SearchIndex.h"
#include "widgets/DialogBase.h"

#include <QString>
#include <future>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QTableView;
class QTimer;
class TDataModule2;

// "Buscar en todo el catálogo": lists, as the user types, the programs holding every typed word
// in any of their fields or their CD's, with the words marked. The catalogue is read into memory
// each time the window opens, on a thread of its own so the window answers at once; what is
// typed meanwhile is looked for as soon as the reading ends. A keystroke never waits for the
// file. Every save after that, this program's or others' on a server, is patched in by key.
class CatalogueSearch : public DialogBase {
    Q_OBJECT
public:
    CatalogueSearch(platform::Services services, TDataModule2 &data, QWidget *parent = nullptr);
    ~CatalogueSearch() override;

    // Reads the catalogue again and repeats the search in the box once it is read.
    void FormActivate() override;
    // Whether the catalogue has been read since the window opened.
    bool ready() const { return index_ != nullptr; }
    // The details of the program on the grid's row, read-only.
    void showDetails(int row);

    QLineEdit *Palabras;
    QTableView *Resultados;
    QLabel *Cuenta;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    class Matches;
    class Marker;
    void search(const QString &typed);
    void startReading();
    void takeReading();
    // Saved rows wait here until the event loop patches them in, after the save is whole.
    void saved(const std::vector<store::CursorSession::Change> &changes);
    void patchSaved();
    void readAgain();

    platform::Services services_;
    TDataModule2 &data_;
    std::unique_ptr<store::search::SearchIndex> index_;
    std::future<store::search::SearchIndex> reading_;
    bool readAgain_ = false; // opened again while a reading was under way
    // Saved since the index (or the reading under way) was taken.
    std::vector<store::CursorSession::Change> saved_;
    bool patchQueued_ = false;
    QTimer *poll_;
    Matches *matches_;
    Marker *marker_;
    QString searched_; // what the matches on the grid were found for
};
