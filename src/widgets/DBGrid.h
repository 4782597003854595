#pragma once

#include "store/cursor/DataSource.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QPointer>
#include <QTableView>
#include <vector>

namespace platform {
class Preferences;
}
namespace store {
class TableCursor;
}

struct GridColumn {
    QString field;
    QString title;
    int width = -1; // -1: the default width
};

// The visible rows of a cursor as a table. Cells are read from the cursor when drawn; nothing is
// copied, so a million rows cost nothing here.
class CursorTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CursorTableModel(QObject *parent = nullptr);

    void setDataSource(store::TDataSource *source);
    store::TDataSource *dataSource() const { return source_; }
    void setColumns(std::vector<GridColumn> columns);
    const std::vector<GridColumn> &columns() const { return columns_; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The rows are offered to the view only once its grid has been on screen: a view keeps eight
    // bytes for each row it is offered (its row header's), 8 MB for a million programs on a page
    // the user may never open.
    void setOnScreen();

signals:
    // Another row became current; the row header's marker (headerData) moved with it.
    void currentRowChanged();

private:
    store::TableCursor *cursor() const;
    void reset();
    void currentChanged();

    QPointer<store::TDataSource> source_;
    std::vector<GridColumn> columns_;
    std::vector<int> fields_; // field index of each column, -1 when absent
    QFont titleFont_;
    int rows_ = 0;
    int current_ = -1;
    bool onScreen_ = false;
};

// A read-only grid bound to a data source: it marks and follows the current record, and choosing
// a row makes that record current. A row found by a search is brought to the middle. The user
// may drag column borders; a double-click on a border fits the column to the widest text on
// screen, and the title's menu has "Restablecer columnas" for the given widths.
class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);

    store::TDataSource *DataSource() const { return model_->dataSource(); }
    void setDataSource(store::TDataSource *source);
    // The columns with their given widths; widths remembered under the grid's key win.
    void setColumns(std::vector<GridColumn> columns);
    CursorTableModel *cursorModel() const { return model_; }
    // The widths the user gives the columns are kept in `preferences` under `key`, and come back
    // now and at the next run; "Restablecer columnas" forgets them.
    void rememberWidths(platform::Preferences &preferences, const QString &key);

signals:
    // Enter, or a double-click on a row, with that row's record current.
    void rowActivated();
    // Delete with a current record.
    void deleteRequested();
    // A click on a column's title (not on its border).
    void titleClicked(int column);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void followCursor(QAbstractItemView::ScrollHint hint);
    bool hasCurrentRecord() const;
    std::vector<int> rememberedWidths() const;
    void applyWidths();
    void keepWidths();
    void resetWidths();

    CursorTableModel *model_;
    bool following_ = false;
    std::vector<int> givenWidths_;
    platform::Preferences *preferences_ = nullptr; // outlives the grid
    QString widthsKey_;
    bool applyingWidths_ = false; // widths set by the program, not chosen by the user
};
