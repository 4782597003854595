#include "ACd.h"
#include "AProg.h"
#include "AppFixture.h"
#include "DBEdit.h"
#include "DBMemo.h"
#include "MCD.h"
#include "MProg.h"
#include "QtPrinters.h"

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
        {Form2,
         "Nuevo CD",
         {433, 322},
         {{Form2->Edit1, "Nro. CD :"},
          {Form2->Edit2, "Descripción :"},
          {Form2->Date1, "Fecha :"},
          {Form2->Memo1, "Comentario :"}}},
        {Form3,
         "Modificación CD",
         {433, 322},
         {{Form3->DBEdit1, "Nro. CD :"},
          {Form3->DBEdit2, "Descripción :"},
          {Form3->Date1, "Fecha :"},
          {Form3->DBMemo1, "Comentario :"}}},
        {Form4,
         "Nuevo Programa",
         {434, 440},
         {{Form4->Edit1, "Programa :"},
          {Form4->Edit2, "Versión :"},
          {Form4->Edit3, "Empresa :"},
          {Form4->ComboBox1, "Licencia :"},
          {Form4->Edit4, "Año :"},
          {Form4->Edit5, "Link :"},
          {Form4->ComboBox2, "Nro. CD :"},
          {Form4->Memo1, "Comentario :"}}},
        {Form6,
         "Modificación Programa",
         {432, 439},
         {{Form6->DBEdit1, "Programa :"},
          {Form6->DBEdit2, "Versión :"},
          {Form6->DBEdit3, "Empresa :"},
          {Form6->ComboBox1, "Licencia :"},
          {Form6->DBEdit5, "Año :"},
          {Form6->DBEdit6, "Link :"},
          {Form6->ComboBox2, "Nro. CD :"},
          {Form6->DBMemo1, "Comentario :"}}},
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
    for (QComboBox *licences : {Form4->ComboBox1, Form6->ComboBox1}) {
        QStringList entries;
        for (int i = 0; i < licences->count(); ++i)
            entries << licences->itemText(i);
        EXPECT_EQ(entries,
                  QStringList({"Freeware", "Comercial", "Demo", "Trial", "Shareware", "Warez"}));
        EXPECT_FALSE(licences->isEditable());
    }
    EXPECT_EQ(Form4->Edit4->maxLength(), 4);
    // Every other text box takes a text of any length whole.
    for (QLineEdit *box : {Form2->Edit2, Form4->Edit1, Form4->Edit2, Form4->Edit3, Form4->Edit5}) {
        box->setText(QString(100000, u'a'));
        EXPECT_EQ(box->text().size(), 100000) << box->objectName().toStdString();
    }
    EXPECT_TRUE(Form6->DBEdit4->isHidden() && Form6->DBEdit7->isHidden());
}
