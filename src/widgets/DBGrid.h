#pragma once

#include "DataSource.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QPointer>
#include <QTableView>
#include <vector>

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
};

// A read-only grid bound to a data source: it marks and follows the current record, and choosing
// a row makes that record current. A row found by a search is brought to the middle.
class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);

    store::TDataSource *DataSource() const { return model_->dataSource(); }
    void setDataSource(store::TDataSource *source);
    void setColumns(std::vector<GridColumn> columns);
    CursorTableModel *cursorModel() const { return model_; }

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void followCursor(QAbstractItemView::ScrollHint hint);

    CursorTableModel *model_;
    bool following_ = false;
};
