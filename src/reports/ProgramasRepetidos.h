#pragma once

#include "platform/Platform.h"

#include <QDialog>
#include <functional>

class QLabel;
class QTableView;
class TDataModule2;

// "Ver" > "Programas repetidos": the programs whose names are the same, case and accents aside,
// on more than one CD: a line per name, then a line per program with its version and CD. Enter or a
// double-click on a program opens it for modifying; the list is counted again afterwards.
class TFormRepetidos : public QDialog {
    Q_OBJECT
public:
    // `openProgram` opens the program with that number in the main window's editor.
    TFormRepetidos(platform::Services services, TDataModule2 &data,
                   std::function<void(qint64)> openProgram, QWidget *parent = nullptr);
    ~TFormRepetidos() override;

    // Looks for the repeated names in the open catalogue again.
    void refresh();
    // Opens the program on that row of the list; a name's own line opens nothing.
    void openRow(const QModelIndex &row);

    QTableView *Grupos;
    QLabel *Cuenta;

private:
    class Groups;
    platform::Services services_;
    TDataModule2 &data_;
    std::function<void(qint64)> openProgram_;
    Groups *groups_;
};
