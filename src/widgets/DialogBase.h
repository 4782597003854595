#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

class DBEdit;
class DBMemo;
class QComboBox;
class QGroupBox;
class QPlainTextEdit;
class QToolButton;
namespace platform {
class Dialogs;
class Preferences;
} // namespace platform
namespace store {
class TableCursor;
class TDataSource;
} // namespace store

// What every secondary window shares: fixed size with only the close box, centred on the desktop
// the first time and reopened where it was left, `FormActivate` once per opening (after the
// window is visible, before the user types), `FormClose` on every closing, and no window-wide
// meaning for Enter or Escape.
class DialogBase : public QDialog {
    Q_OBJECT
public:
    DialogBase(const QString &objectName, const QString &caption, QSize clientSize,
               QWidget *parent = nullptr);

    // Our own windows, unlike the fixed ones, open over the window that opened them each time;
    // with `sizes`, they are resizable from `clientSize` and open at the size they were left at.
    struct OwnWindow {
        platform::Preferences *sizes = nullptr;
    };
    DialogBase(const QString &objectName, const QString &caption, QSize clientSize, OwnWindow own,
               QWidget *parent = nullptr);

    virtual void FormActivate() {}
    virtual void FormClose() {}

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

    // Building blocks of the editors' layout.
    struct Row {
        QString label;
        QWidget *input;
    };
    // One input per row in tab order, bold labels right-aligned in a column to their left; a
    // multi-line box takes the spare height.
    static void layRows(QGroupBox *frame, std::initializer_list<Row> rows);
    // The frame on top, the buttons side by side below it.
    void layFrameAndButtons(QGroupBox *frame, std::initializer_list<QToolButton *> buttons);
    // A bold flat button of this window that never takes the focus; a click runs `onClick`
    // guarded.
    QToolButton *flatButton(const QString &name, const QString &caption,
                            std::function<void()> onClick);
    // The editors' "ACEPTAR" (SpeedButton1) and, unless `onCancel` is empty, "CANCELAR"
    // (SpeedButton2), side by side below `frame`; the second is null without `onCancel`.
    std::pair<QToolButton *, QToolButton *> acceptAndCancel(QGroupBox *frame,
                                                            std::function<void()> onAccept,
                                                            std::function<void()> onCancel = {});
    // Tab leaves the box, lines are not wrapped, both scroll bars show.
    static void prepareMemo(QPlainTextEdit *memo);
    // Boxes bound to a field of `source`, and a drop-down list for a choice only.
    static DBEdit *boundEdit(const char *name, store::TDataSource *source, const QString &field,
                             QWidget *parent);
    static DBMemo *boundMemo(const char *name, store::TDataSource *source, const QString &field,
                             QWidget *parent);
    static QComboBox *choiceList(const char *name, QWidget *parent);

    // A window that edits its cursor's current row in place (Modify CD, Modify program).
    struct RowEditing {
        store::TableCursor *cursor = nullptr;
        QString noRow;               // said when there is no row to change
        QString table;               // the row's table, named when it is gone
        QString goneText;            // the refusal once it is gone
        std::vector<DBEdit *> boxes; // what the user typed in them outlives the row
        DBMemo *memo = nullptr;
        bool gone = false; // another program removed the row while the window showed it
    };
    // Its "ACEPTAR": `valid` may refuse, having said why; `post` writes the row; then the window
    // closes. Without a row to change it says so and closes.
    void saveRowEdit(RowEditing &editing, platform::Dialogs &dialogs,
                     const std::function<bool()> &valid, const std::function<void()> &post);
    // Stores a new row with `insert`. When another program took its number meanwhile (the store
    // refuses the key), `taken` runs within that refusal, which it may rethrow with `throw;`, and
    // the result is false.
    static bool storeUnlessTaken(const std::function<void()> &insert,
                                 const std::function<void()> &taken);

private:
    bool open_ = false; // between the showing that opens the window and the hiding that closes it
};
