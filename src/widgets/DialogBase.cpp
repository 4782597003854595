#include "widgets/DialogBase.h"

#include "widgets/DBEdit.h"
#include "widgets/DBMemo.h"

#include "platform/Guard.h"
#include "platform/Look.h"
#include "platform/Platform.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/DatabaseError.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

DialogBase::DialogBase(const QString &objectName, const QString &caption, QSize clientSize,
                       QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setFixedSize(clientSize);
    setModal(true);
    platform::centreOnFirstShow(this);
}

DialogBase::DialogBase(const QString &objectName, const QString &caption, QSize clientSize,
                       OwnWindow own, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint |
                          (own.sizes ? Qt::WindowMaximizeButtonHint : Qt::WindowFlags())) {
    setObjectName(objectName);
    setWindowTitle(caption);
    if (own.sizes)
        resize(clientSize); // the layout sets the least size
    else
        setFixedSize(clientSize);
    setModal(true);
    platform::openOverOpener(this, own.sizes);
}

void DialogBase::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    // Restoring a minimised window sends a spontaneous show event: the same opening goes on.
    if (event->spontaneous() || open_)
        return;
    open_ = true;
    platform::guarded(this, [this] { FormActivate(); });
}

void DialogBase::hideEvent(QHideEvent *event) {
    QDialog::hideEvent(event);
    // Minimising hides spontaneously; only hiding by the program ends the opening.
    if (!event->spontaneous())
        open_ = false;
}

void DialogBase::closeEvent(QCloseEvent *event) {
    platform::guarded(this, [this] { FormClose(); });
    QDialog::closeEvent(event);
}

void DialogBase::keyPressEvent(QKeyEvent *event) {
    // Escape would reject and Enter would press a default button; neither exists here.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QToolButton *DialogBase::flatButton(const QString &name, const QString &caption,
                                    std::function<void()> onClick) {
    auto *button = new QToolButton(this);
    button->setObjectName(name);
    button->setText(caption);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    platform::setBold(button);
    button->setMinimumHeight(30);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    platform::connectGuarded(button, &QToolButton::clicked, this, std::move(onClick));
    return button;
}

std::pair<QToolButton *, QToolButton *>
DialogBase::acceptAndCancel(QGroupBox *frame, std::function<void()> onAccept,
                            std::function<void()> onCancel) {
    QToolButton *accept =
        flatButton(QStringLiteral("SpeedButton1"), QStringLiteral("ACEPTAR"), std::move(onAccept));
    QToolButton *cancel = nullptr;
    if (onCancel) {
        cancel = flatButton(QStringLiteral("SpeedButton2"), QStringLiteral("CANCELAR"),
                            std::move(onCancel));
        layFrameAndButtons(frame, {accept, cancel});
    } else {
        layFrameAndButtons(frame, {accept});
    }
    return {accept, cancel};
}

DBEdit *DialogBase::boundEdit(const char *name, store::TDataSource *source, const QString &field,
                              QWidget *parent) {
    auto *box = new DBEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setDataSource(source);
    box->setDataField(field);
    return box;
}

DBMemo *DialogBase::boundMemo(const char *name, store::TDataSource *source, const QString &field,
                              QWidget *parent) {
    auto *memo = new DBMemo(parent);
    memo->setObjectName(QLatin1String(name));
    memo->setDataSource(source);
    memo->setDataField(field);
    prepareMemo(memo);
    return memo;
}

QComboBox *DialogBase::choiceList(const char *name, QWidget *parent) {
    auto *combo = new QComboBox(parent); // not editable: a choice only
    combo->setObjectName(QLatin1String(name));
    combo->setFixedWidth(120);
    return combo;
}

void DialogBase::layRows(QGroupBox *frame, std::initializer_list<Row> rows) {
    auto *grid = new QGridLayout(frame);
    int line = 0;
    QWidget *previous = nullptr;
    for (const Row &row : rows) {
        QLabel *label = platform::boldLabel(row.label, row.input, frame);
        const bool multiLine = qobject_cast<QPlainTextEdit *>(row.input) != nullptr;
        if (multiLine) {
            label->setAlignment(Qt::AlignRight | Qt::AlignTop);
            grid->setRowStretch(line, 1);
        }
        grid->addWidget(label, line, 0);
        // Date pickers, lists and short boxes keep their own width at the left.
        if (qobject_cast<QDateEdit *>(row.input) || row.input->maximumWidth() < QWIDGETSIZE_MAX)
            grid->addWidget(row.input, line, 1, Qt::AlignLeft);
        else
            grid->addWidget(row.input, line, 1);
        if (previous)
            setTabOrder(previous, row.input);
        previous = row.input;
        ++line;
    }
}

void DialogBase::layFrameAndButtons(QGroupBox *frame,
                                    std::initializer_list<QToolButton *> buttons) {
    auto *row = new QHBoxLayout;
    for (QToolButton *button : buttons)
        row->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(row);
}

void DialogBase::prepareMemo(QPlainTextEdit *memo) {
    memo->setTabChangesFocus(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void DialogBase::saveRowEdit(RowEditing &editing, platform::Dialogs &dialogs,
                             const std::function<bool()> &valid,
                             const std::function<void()> &post) {
    store::TableCursor &cursor = *editing.cursor;
    // There is no row to change: typing may have begun a new row, which is not this window's job.
    if (cursor.RecordCount() == 0 || cursor.state() == store::TableCursor::State::Insert) {
        // Closing without a word would look like a save.
        dialogs.information(this, editing.noRow);
        close();
        return;
    }
    if (valid && !valid())
        return;
    // The row is no longer in the file: the row the cursor moved to is not this window's.
    if (editing.gone)
        throw store::DatabaseError(store::DatabaseError::Kind::Other, editing.goneText, {},
                                   store::DatabaseError::Cause::RowGone)
            .about(editing.table);
    std::vector<QString> typed;
    for (DBEdit *box : editing.boxes)
        typed.push_back(box->text());
    const QString comment = editing.memo->text();
    try {
        post();
    } catch (const store::DatabaseError &error) {
        // Another program changed the row: the cursor read it again and keeps the typing on it.
        // It removed the row: the boxes keep showing what the user typed, for them to copy.
        if (error.cause() == store::DatabaseError::Cause::RowGone) {
            editing.gone = true;
            for (size_t i = 0; i < editing.boxes.size(); ++i)
                editing.boxes[i]->setText(typed[i]);
            editing.memo->setText(comment);
        }
        throw;
    }
    close();
}

bool DialogBase::storeUnlessTaken(const std::function<void()> &insert,
                                  const std::function<void()> &taken) {
    try {
        insert();
    } catch (const store::DatabaseError &error) {
        if (error.cause() != store::DatabaseError::Cause::DuplicateKey)
            throw;
        taken();
        return false;
    }
    return true;
}
