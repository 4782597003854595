#include "store/cursor/DataSource.h"

#include "store/cursor/TableCursor.h"

#include <algorithm>
#include <utility>

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
        connect(dataSet_, &TableCursor::dataSetChanged, this,
                [this] { relay(&TDataSource::dataSetChanged, &TDataSource::heldDataSet_); });
        connect(dataSet_, &TableCursor::recordChanged, this,
                [this] { relay(&TDataSource::recordChanged, &TDataSource::heldRecord_); });
        connect(dataSet_, &TableCursor::stateChanged, this,
                [this] { relay(&TDataSource::stateChanged, &TDataSource::heldState_); });
        connect(dataSet_, &TableCursor::fieldChanged, this, [this](int field) {
            if (dataSet_->ControlsDisabled())
                heldRecord_ = true; // the controls re-read the whole row when released
            else
                emit fieldChanged(field);
        });
        connect(dataSet_, &TableCursor::rowFound, this, [this] {
            if (!dataSet_->ControlsDisabled())
                emit rowFound();
        });
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

void TDataSource::relay(void (TDataSource::*signal)(), bool TDataSource::*held) {
    if (dataSet_ && dataSet_->ControlsDisabled())
        this->*held = true;
    else
        (this->*signal)();
}

void TDataSource::releaseHeld() {
    const bool dataSet = std::exchange(heldDataSet_, false);
    const bool record = std::exchange(heldRecord_, false);
    const bool state = std::exchange(heldState_, false);
    if (dataSet)
        emit dataSetChanged();
    if (state)
        emit stateChanged();
    if (record || dataSet)
        emit recordChanged();
}

void TDataSource::cursorGone() {
    dataSet_ = nullptr;
}

} // namespace store
