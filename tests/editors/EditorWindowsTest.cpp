#include "editors/ACd.h"
#include "editors/AProg.h"
#include "editors/MCD.h"
#include "editors/MProg.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "widgets/DBEdit.h"
#include "widgets/DBMemo.h"

#include <QAccessible>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <gtest/gtest.h>

using EditorWindowsTest = AppFixture;

// Caption, client size, the label that names each input (its accessible name) and the order in
// which Tab visits the inputs, for every record editor.
TEST_F(EditorWindowsTest, EditorsHaveTheirCaptionsSizesLabelsAndTabOrder) {
    start(true);
    const struct {
        DialogBase *window;
        const char *caption;
        QSize size;
        std::vector<std::pair<QWidget *, const char *>> inputs; // in tab order, with their label
    } windows[] = {
        {form2(),
         "Nuevo CD",
         {433, 322},
         {{child<QLineEdit>(form2(), "Edit1"), "Nro. CD :"},
          {child<QLineEdit>(form2(), "Edit2"), "Descripción :"},
          {child<QDateEdit>(form2(), "Date1"), "Fecha :"},
          {child<QPlainTextEdit>(form2(), "Memo1"), "Comentario :"}}},
        {form3(),
         "Modificación CD",
         {433, 322},
         {{child<DBEdit>(form3(), "DBEdit1"), "Nro. CD :"},
          {child<DBEdit>(form3(), "DBEdit2"), "Descripción :"},
          {child<QDateEdit>(form3(), "Date1"), "Fecha :"},
          {child<DBMemo>(form3(), "DBMemo1"), "Comentario :"}}},
        {form4(),
         "Nuevo Programa",
         {434, 440},
         {{child<QLineEdit>(form4(), "Edit1"), "Programa :"},
          {child<QLineEdit>(form4(), "Edit2"), "Versión :"},
          {child<QLineEdit>(form4(), "Edit3"), "Empresa :"},
          {child<QComboBox>(form4(), "ComboBox1"), "Licencia :"},
          {child<QLineEdit>(form4(), "Edit4"), "Año :"},
          {child<QLineEdit>(form4(), "Edit5"), "Link :"},
          {child<QComboBox>(form4(), "ComboBox2"), "Nro. CD :"},
          {child<QPlainTextEdit>(form4(), "Memo1"), "Comentario :"}}},
        {form6(),
         "Modificación Programa",
         {432, 439},
         {{child<DBEdit>(form6(), "DBEdit1"), "Programa :"},
          {child<DBEdit>(form6(), "DBEdit2"), "Versión :"},
          {child<DBEdit>(form6(), "DBEdit3"), "Empresa :"},
          {child<QComboBox>(form6(), "ComboBox1"), "Licencia :"},
          {child<DBEdit>(form6(), "DBEdit5"), "Año :"},
          {child<DBEdit>(form6(), "DBEdit6"), "Link :"},
          {child<QComboBox>(form6(), "ComboBox2"), "Nro. CD :"},
          {child<DBMemo>(form6(), "DBMemo1"), "Comentario :"}}},
    };
    for (const auto &w : windows) {
        SCOPED_TRACE(w.caption);
        fake.modal.inside = [&](QDialog *) {
            EXPECT_EQ(w.window->windowTitle(), w.caption);
            EXPECT_EQ(w.window->size(), w.size);
            EXPECT_EQ(w.window->minimumSize(), w.window->maximumSize());
            // Tab goes from each input to the next one the user can reach.
            auto nextStop = [&](QWidget *from) {
                QWidget *next = from->nextInFocusChain();
                while (next != from &&
                       (!(next->focusPolicy() & Qt::TabFocus) || !next->isVisibleTo(w.window) ||
                        next->focusProxy() || from->isAncestorOf(next)))
                    next = next->nextInFocusChain();
                return next;
            };
            for (size_t i = 0; i < w.inputs.size(); ++i) {
                const auto &[input, label] = w.inputs[i];
                // Found by its label; a drop-down list is named by its entry, as screen readers
                // expect.
                QAccessibleInterface *named = QAccessible::queryAccessibleInterface(input);
                const auto labels = named->relations(QAccessible::Label);
                ASSERT_EQ(labels.size(), 1) << label;
                EXPECT_EQ(labels[0].first->text(QAccessible::Name).toStdString(), label);
                auto *list = qobject_cast<QComboBox *>(input);
                EXPECT_EQ(named->text(QAccessible::Name).toStdString(),
                          list ? list->currentText().toStdString() : label);
                if (i + 1 < w.inputs.size()) {
                    EXPECT_EQ(nextStop(input), w.inputs[i + 1].first) << label;
                }
            }
            for (QToolButton *button : w.window->findChildren<QToolButton *>())
                EXPECT_EQ(button->focusPolicy(), Qt::NoFocus) << button->text().toStdString();
        };
        fake.modal.open(w.window);
    }
    // The licence lists offer the six categories in order; the new program's year takes four
    // characters.
    for (QComboBox *licences :
         {child<QComboBox>(form4(), "ComboBox1"), child<QComboBox>(form6(), "ComboBox1")}) {
        QStringList entries;
        for (int i = 0; i < licences->count(); ++i)
            entries << licences->itemText(i);
        EXPECT_EQ(entries,
                  QStringList({"Freeware", "Comercial", "Demo", "Trial", "Shareware", "Warez"}));
        EXPECT_FALSE(licences->isEditable());
    }
    EXPECT_EQ(child<QLineEdit>(form4(), "Edit4")->maxLength(), 4);
    // Every other text box takes a text of any length whole.
    for (QLineEdit *box : {child<QLineEdit>(form2(), "Edit2"), child<QLineEdit>(form4(), "Edit1"),
                           child<QLineEdit>(form4(), "Edit2"), child<QLineEdit>(form4(), "Edit3"),
                           child<QLineEdit>(form4(), "Edit5")}) {
        box->setText(QString(100000, u'a'));
        EXPECT_EQ(box->text().size(), 100000) << box->objectName().toStdString();
    }
    EXPECT_TRUE(child<DBEdit>(form6(), "DBEdit4")->isHidden() &&
                child<DBEdit>(form6(), "DBEdit7")->isHidden());
}
