#include "DataSource.h"

#include "TableCursor.h"

#include <algorithm>

namespace store {

TDataSource::TDataSource(TableCursor *dataSet, QObject *parent)
    : QObject(parent) {
    setDataSet(dataSet);
}

TDataSource::~TDataSource() {
    if (dataSet_)
        dataSet_->detachSource(this);
}

void TDataSource::setDataSet(TableCursor *dataSet) {
    if (dataSet == dataSet_)
        return;
    if (dataSet_) {
        dataSet_->detachSource(this);
        disconnect(dataSet_, nullptr, this, nullptr);
    }
    dataSet_ = dataSet;
    if (dataSet_) {
        dataSet_->attachSource(this);
        connect(dataSet_, &TableCursor::dataSetChanged, this, &TDataSource::dataSetChanged);
        connect(dataSet_, &TableCursor::recordChanged, this, &TDataSource::recordChanged);
        connect(dataSet_, &TableCursor::stateChanged, this, &TDataSource::stateChanged);
        connect(dataSet_, &TableCursor::fieldChanged, this, &TDataSource::fieldChanged);
        connect(dataSet_, &TableCursor::rowFound, this, &TDataSource::rowFound);
    }
    emit dataSetChanged();
}

void TDataSource::addEditor(Editor *editor) {
    if (std::find(editors_.begin(), editors_.end(), editor) == editors_.end())
        editors_.push_back(editor);
}

void TDataSource::removeEditor(Editor *editor) {
    editors_.erase(std::remove(editors_.begin(), editors_.end(), editor), editors_.end());
}

void TDataSource::updateRecord() {
    // A copy: an editor may unregister while it writes.
    const std::vector<Editor *> editors = editors_;
    for (Editor *editor : editors)
        editor->updateRecord();
}

void TDataSource::cursorGone() {
    dataSet_ = nullptr;
}

} // namespace store
