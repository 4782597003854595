#include "Accessibility.h"
#include "AppFixture.h"
#include "Modulo.h"
#include "QtPrinters.h"
#include "cds_.h"
#include "exportar.h"
#include "verdatos.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class AccessibilityTest : public AppFixture {
protected:
    void SetUp() override {
        start();
        Form1->findChild<QAction *>("Consultas1")->trigger();
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
        auto *icon = Form1->findChild<QAbstractButton *>(c.icon);
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
                EXPECT_EQ(Form1->focusWidget() == icon, c.outcome != Nothing);
                QTest::keyClick(icon, key);
            }
            const std::vector<QDialog *> opened =
                c.outcome == Details  ? std::vector<QDialog *>{Form5}
                : c.outcome == Export ? std::vector<QDialog *>{Form8}
                                      : std::vector<QDialog *>{};
            EXPECT_EQ(fake.modal.opened, opened);
            QStringList followed;
            for (const auto &call : fake.shell.opened)
                followed << call.target;
            EXPECT_EQ(followed, c.outcome == Link ? QStringList{link} : QStringList{});
        }
    }
}

TEST_F(AccessibilityTest, DropDownListsAreNamedByTheirLabels) {
    platform::installAccessibility(); // a second time changes nothing
    for (const auto &[name, label] :
         {std::pair{"ComboBox1", "Ordenado por :"}, {"ComboBox2", "CD :"}}) {
        SCOPED_TRACE(name);
        auto *combo = Form1->findChild<QComboBox *>(name);
        ASSERT_GT(combo->count(), 1);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(combo);
        EXPECT_EQ(accessible->role(), QAccessible::ComboBox);
        for (int index : {combo->count() - 1, 0}) {
            combo->setCurrentIndex(index);
            EXPECT_EQ(accessible->text(QAccessible::Name), label);
            EXPECT_EQ(accessible->text(QAccessible::Value), combo->itemText(index));
        }

        ASSERT_EQ(accessible->childCount(), 1);
        QAccessibleInterface *list = accessible->child(0);
        EXPECT_EQ(list->object(), combo->view());
        EXPECT_EQ(accessible->indexOfChild(list), 0);
        ASSERT_EQ(list->childCount(), combo->count());
        EXPECT_EQ(list->child(1)->text(QAccessible::Name), combo->itemText(1));

        QAccessibleActionInterface *actions = accessible->actionInterface();
        actions->doAction(QAccessibleActionInterface::showMenuAction());
        EXPECT_TRUE(combo->view()->isVisible());
        EXPECT_TRUE(accessible->state().expanded);
        actions->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_FALSE(combo->view()->isVisible());
    }
}
