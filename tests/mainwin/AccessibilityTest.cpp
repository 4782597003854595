#include "platform/Accessibility.h"
#include "editors/verdatos.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "utilities/exportar.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class AccessibilityTest : public AppFixture {
protected:
    void SetUp() override {
        start();
        form1()->findChild<QAction *>("Consultas1")->trigger();
    }
};

} // namespace

TEST_F(AccessibilityTest, IconsArePressedByAssistiveTechnologyAndKeyboard) {
    enum Outcome { Details, Link, Export, Nothing };
    const struct {
        const char *icon, *hint;
        Outcome outcome; // Nothing: the icon is disabled
    } cases[] = {{"VerProg", "Ver datos del Programa", Details},
                 {"Navegar", "Ir a link del Programa", Link},
                 {"ExportarProg", "Exportar Listado de Programas", Export},
                 {"ExportarProg", "Exportar Listado de Programas", Nothing}};
    store::TableCursor &programs = data().TProgDisc;
    for (programs.GoFirst(); programs.Fields(7).AsString().isEmpty(); programs.GoNext())
        ASSERT_FALSE(programs.AtEnd()) << "no program with a link";
    const QString link = programs.Fields(7).AsString();

    for (const auto &c : cases) {
        auto *icon = form1()->findChild<QAbstractButton *>(c.icon);
        ASSERT_NE(icon, nullptr) << c.icon;
        icon->setEnabled(c.outcome != Nothing);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(icon);
        EXPECT_EQ(accessible->role(), QAccessible::Button);
        EXPECT_EQ(accessible->text(QAccessible::Name), c.hint);
        QAccessibleActionInterface *actions = accessible->actionInterface();
        const QString press = QAccessibleActionInterface::pressAction();
        EXPECT_EQ(actions->actionNames().contains(press), c.outcome != Nothing) << c.icon;
        EXPECT_TRUE(icon->focusPolicy() & Qt::TabFocus) << c.icon;

        for (Qt::Key key : {Qt::Key_unknown, Qt::Key_Enter, Qt::Key_Return, Qt::Key_Space}) {
            SCOPED_TRACE(testing::Message() << c.icon << " / key " << key);
            fake.modal.opened.clear();
            fake.shell.opened.clear();
            if (key == Qt::Key_unknown) { // the accessible press, which Qt shows for a moment
                actions->doAction(press);
                ASSERT_TRUE(QTest::qWaitFor([icon] { return !icon->isDown(); }));
            } else {
                icon->setFocus();
                EXPECT_EQ(form1()->focusWidget() == icon, c.outcome != Nothing);
                QTest::keyClick(icon, key);
            }
            const std::vector<QDialog *> opened =
                c.outcome == Details  ? std::vector<QDialog *>{form5()}
                : c.outcome == Export ? std::vector<QDialog *>{form8()}
                                      : std::vector<QDialog *>{};
            EXPECT_EQ(fake.modal.opened, opened);
            QStringList followed;
            for (const auto &call : fake.shell.opened)
                followed << call.target;
            EXPECT_EQ(followed, c.outcome == Link ? QStringList{link} : QStringList{});
        }
    }
}

// As screen readers expect of a drop-down list: its name is the current entry, its label comes
// through the labelled-by relation, and its popup list's selected item is the current entry,
// also after the queries page refills the lists by itself or the user only hovered in the popup.
TEST_F(AccessibilityTest, DropDownListsSayTheirEntryAndAreLabelledByTheirLabels) {
    platform::installAccessibility(); // a second time changes nothing
    // The program's lists of CDs on the other pages, entered at the queries page's next showing.
    data().TDiscos.InsertRow({40, "Nuevo", QDate(2026, 12, 6), ""});
    for (const auto &[name, label] :
         {std::pair{"ComboBox1", "Ordenado por :"}, {"ComboBox2", "CD :"}}) {
        SCOPED_TRACE(name);
        auto *combo = form1()->findChild<QComboBox *>(name);
        ASSERT_GT(combo->count(), 1);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(combo);
        EXPECT_EQ(accessible->role(), QAccessible::ComboBox);
        const auto labels = accessible->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1);
        EXPECT_EQ(labels[0].first->text(QAccessible::Name), label);

        ASSERT_EQ(accessible->childCount(), 1);
        QAccessibleInterface *list = accessible->child(0);
        EXPECT_EQ(list->object(), combo->view());
        EXPECT_EQ(accessible->indexOfChild(list), 0);
        // What the screen reader hears, and the list's selected items. (The rows are asked
        // for, not the items' interfaces: offscreen, no assistive technology is active, so Qt
        // does not renew those after the list is refilled.)
        auto heard = [&] {
            QStringList selected;
            for (int row : list->tableInterface()->selectedRows())
                selected << combo->itemText(row);
            return QStringList{accessible->text(QAccessible::Name),
                               accessible->text(QAccessible::Value), selected.join(u'|')};
        };
        auto entry = [](const QString &text) { return QStringList{text, text, text}; };

        EXPECT_EQ(heard(), entry(name == QLatin1String("ComboBox1") ? "Nro. CD" : "Todos"));
        combo->setCurrentIndex(combo->count() - 1);
        EXPECT_EQ(heard(), entry(combo->itemText(combo->count() - 1)));
        ASSERT_EQ(list->childCount(), combo->count());
        EXPECT_EQ(list->child(1)->text(QAccessible::Name), combo->itemText(1));

        // Opened, hovered on another entry, closed without a choice.
        QAccessibleActionInterface *actions = accessible->actionInterface();
        actions->doAction(QAccessibleActionInterface::showMenuAction());
        EXPECT_TRUE(combo->view()->isVisible());
        EXPECT_TRUE(accessible->state().expanded);
        combo->view()->setCurrentIndex(combo->model()->index(1, 0));
        actions->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_FALSE(combo->view()->isVisible());
        QApplication::processEvents(); // the entry is put back once the closing is over
        EXPECT_EQ(heard(), entry(combo->itemText(combo->count() - 1)));

        // Back on the page: the page sets the lists itself, the list of CDs anew with CD 40.
        form1()->findChild<QAction *>("CDs1")->trigger();
        form1()->findChild<QAction *>("Consultas1")->trigger();
        EXPECT_EQ(heard(), entry(name == QLatin1String("ComboBox1") ? "Nro. CD" : "Todos"));
        EXPECT_EQ(combo->itemText(combo->count() - 1),
                  name == QLatin1String("ComboBox1") ? "Link" : "40");
    }
}

// A screen reader asks for every list's interface; a choice made in the popup, with the mouse or
// with arrows and Enter, must still be taken, in every window.
TEST_F(AccessibilityTest, AChoiceInThePopupIsTakenWhileAScreenReaderFollows) {
    auto chooseInPopup = [](QComboBox *combo, bool mouse) {
        QAccessible::queryAccessibleInterface(combo); // as a screen reader does
        const int from = combo->currentIndex();
        const int to = from + 1 < combo->count() ? from + 1 : 0;
        combo->showPopup();
        QAbstractItemView *list = combo->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
        if (mouse) {
            const QPoint at = list->visualRect(combo->model()->index(to, 0)).center();
            QTest::mouseMove(list->viewport(), at);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        } else {
            for (int i = from; i != to; i = (i + 1) % combo->count())
                QTest::keyClick(list, to > from ? Qt::Key_Down : Qt::Key_Up);
            QTest::keyClick(list, Qt::Key_Return);
        }
        EXPECT_FALSE(list->isVisible());
        QApplication::processEvents(); // the follower puts the entry back after the choice
        EXPECT_EQ(combo->currentIndex(), to) << (mouse ? "mouse" : "keys");
        EXPECT_EQ(list->selectionModel()->selectedRows().value(0).row(), to);
    };
    auto chooseAll = [&](QWidget *window, const char *const *names) {
        for (; *names; ++names) {
            SCOPED_TRACE(testing::Message() << window->objectName().toStdString() << "." << *names);
            auto *combo = window->findChild<QComboBox *>(*names);
            ASSERT_NE(combo, nullptr);
            ASSERT_GT(combo->count(), 1);
            for (bool mouse : {true, false})
                chooseInPopup(combo, mouse);
        }
    };
    const char *const lists[] = {"ComboBox1", "ComboBox2", nullptr};
    chooseAll(form1(), lists);
    for (const char *button : {"SpeedButton4", "SpeedButton6"}) { // new and modify program
        fake.modal.inside = [&](QDialog *dialog) { chooseAll(dialog, lists); };
        form1()->findChild<QAction *>("Programas1")->trigger();
        form1()->findChild<QAbstractButton *>(button)->click();
        fake.modal.inside = nullptr;
    }
    EXPECT_EQ(fake.modal.opened.size(), 2u) << "both program windows opened";
}
