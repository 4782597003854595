#include "widgets/FieldLink.h"

#include "store/cursor/TableCursor.h"
#include "store/engine/DatabaseError.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

using store::TableCursor;

FieldLink::FieldLink(QWidget *control, std::function<void(const QString &)> show,
                     std::function<QString()> read)
    : QObject(control)
    , control_(control)
    , show_(std::move(show))
    , read_(std::move(read)) {
    control->installEventFilter(this);
}

FieldLink::~FieldLink() {
    if (source_)
        source_->removeEditor(this);
}

void FieldLink::setDataSource(store::TDataSource *source) {
    if (source_) {
        source_->removeEditor(this);
        disconnect(source_, nullptr, this, nullptr);
    }
    source_ = source;
    if (source_) {
        source_->addEditor(this);
        // Reading loops move a cursor over every row: a box nobody can see (its window or page
        // is hidden) catches up when it is shown instead. Boxes hidden on purpose carry values
        // for their window and always follow.
        auto follow = [this] {
            if (startingEdit_)
                return;
            if (control_->isVisible() || control_->isHidden()) {
                refresh();
            } else {
                stale_ = true;
                modified_ = false;
            }
        };
        connect(source_, &store::TDataSource::dataSetChanged, this, follow);
        connect(source_, &store::TDataSource::recordChanged, this, follow);
        connect(source_, &store::TDataSource::stateChanged, this, [this, follow] {
            if (!editing())
                follow(); // posted or cancelled: show what is stored
        });
        connect(source_, &store::TDataSource::fieldChanged, this, [this](int field) {
            if (field == fieldIndex() && !modified_)
                refresh();
        });
    }
    refreshWhenReady();
}

void FieldLink::setDataField(const QString &field) {
    field_ = field;
    refreshWhenReady();
}

// A box nobody sees does not wait for rows still being read: it catches up when shown.
void FieldLink::refreshWhenReady() {
    TableCursor *c = cursor();
    if (c && c->Loading() && !control_->isVisible())
        stale_ = true;
    else
        refresh();
}

TableCursor *FieldLink::cursor() const {
    return source_ ? source_->DataSet() : nullptr;
}

int FieldLink::fieldIndex() const {
    TableCursor *c = cursor();
    return c && c->Active() ? c->fieldIndex(field_) : -1;
}

bool FieldLink::isKind(store::FieldKind kind) const {
    const int index = fieldIndex();
    return index >= 0 && cursor()->fieldDef(index).kind == kind;
}

bool FieldLink::editing() const {
    TableCursor *c = cursor();
    return c &&
           (c->state() == TableCursor::State::Edit || c->state() == TableCursor::State::Insert);
}

void FieldLink::refresh() {
    const int index = fieldIndex();
    show_(index >= 0 ? cursor()->Fields(index).AsString() : QString());
    shown_ = read_(); // as the box gives it back, line ends converted
    modified_ = false;
    stale_ = false;
}

bool FieldLink::eventFilter(QObject *, QEvent *event) {
    if (event->type() == QEvent::Show && stale_)
        refresh();
    return false;
}

void FieldLink::userEdited() {
    if (modified_)
        return;
    try {
        TableCursor *c = cursor();
        if (fieldIndex() < 0)
            throw store::DatabaseError(store::DatabaseError::Kind::NotOpen,
                                       QStringLiteral("no hay datos abiertos para modificar"));
        if (c->state() == TableCursor::State::Browse) {
            // Starting the edit re-reads the record; the text just typed must survive it.
            startingEdit_ = true;
            c->EditRow();
            startingEdit_ = false;
        }
        modified_ = true;
    } catch (...) {
        startingEdit_ = false;
        refresh();
        if (source_)
            source_->reportError(std::current_exception());
    }
}

void FieldLink::textSet() {
    if (editing())
        modified_ = true;
}

void FieldLink::updateRecord() {
    if (!modified_)
        return;
    const int index = fieldIndex();
    if (index < 0)
        return;
    // Text that comes back as it was shown is no change: the stored value stays byte for byte.
    const QString text = read_();
    if (text != shown_)
        cursor()->Fields(index).setAsString(text);
    modified_ = false;
}

void FieldLink::focusLost() {
    if (!modified_)
        return;
    try {
        updateRecord();
    } catch (...) {
        // The box keeps the focus until its text can be stored.
        QTimer::singleShot(0, control_, [control = control_] { control->setFocus(); });
        if (source_)
            source_->reportError(std::current_exception());
    }
}
