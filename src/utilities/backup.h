#pragma once

#include "platform/Platform.h"
#include "widgets/DialogBase.h"

class QGroupBox;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TDataModule2;

// The backup window: copies the catalogue into the folder picked in the tree, named after
// today's date.
class TForm9 : public DialogBase {
    Q_OBJECT
public:
    TForm9(platform::Services services, TDataModule2 &data, QWidget *parent = nullptr);

    // "GENERAR COPIA DE SEGURIDAD": copies the catalogue into the selected folder.
    void SpeedButton1Click();
    // "CERRAR": closes.
    void SpeedButton2Click();

    // The folder a node stands for; empty for the computer at the root, which is no folder.
    static QString folderOf(const QTreeWidgetItem *node);
    // The same folder as the file system names it.
    static QByteArray folderBytes(const QTreeWidgetItem *node);

private:
    QGroupBox *GroupBox1;
    QTreeWidget *TreeView;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;

    void fillFolder(QTreeWidgetItem *node);
    void showMenu(const QPoint &position);

    platform::Services services_;
    TDataModule2 &data_;
};

// The backup's file name without extension: the date text with every character that is not a
// letter or a digit replaced by "_" (06/12/2026 gives 06_12_2026), so no separator of a date
// format can make it a path.
QString backupName(const QString &dateText);
