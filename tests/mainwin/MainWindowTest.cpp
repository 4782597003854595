#include "editors/AProg.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"
#include "store/engine/DatabaseError.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "widgets/DBGrid.h"
#include "widgets/DBMemo.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

using store::TableCursor;

namespace {

const QString kHasPrograms = " La operación no puede realizarse debido a que existe información "
                             "(Programas) asociada a este registro ";
const QString kConfirm = "\r\n Confirma la eliminación ?";

class MainWindowTest : public AppFixture {
protected:
    template <class T> T *child(const char *name) {
        T *found = form1()->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    int rows(const char *grid) { return child<DBGrid>(grid)->model()->rowCount(); }
    const std::vector<FakeDialogs::Box> &boxes() { return fake.dialogs.boxes; }
};

} // namespace

TEST_F(MainWindowTest, StartsOnTheCdsPageWithTheCatalogueShown) {
    start();
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(form1()->windowTitle(), "Vadrel v1.0");
    EXPECT_EQ(form1()->width(), 729);
    EXPECT_EQ(form1()->minimumSize(), form1()->maximumSize());
    EXPECT_FALSE(form1()->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form1()->statusText(0), "Vadrel v1.0");
    EXPECT_EQ(form1()->statusText(1),
              QStringLiteral(" Origen de datos :  \" ") + QDir::currentPath() + "/ \"");

    auto *pages = child<QTabWidget>("PageControl1");
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), " CDs ");
    EXPECT_EQ(pages->tabText(1), " Programas ");
    EXPECT_EQ(pages->tabText(2), " Consultas ");
    EXPECT_EQ(pages->currentWidget()->objectName(), "TabSheet1");

    EXPECT_EQ(rows("DBGrid2"), 12);
    // The programs are read in the background and arrive with nobody asking for them; their
    // grid offers them once its page is on screen.
    EXPECT_TRUE(QTest::qWaitFor([this] { return !data().TProgramas.Loading(); }, 10000));
    EXPECT_EQ(rows("DBGrid3"), 0);
    pages->setCurrentIndex(1);
    EXPECT_EQ(rows("DBGrid3"), 84);
    EXPECT_TRUE(child<DBGrid>("DBGrid3")->viewport()->cursor().shape() != Qt::BusyCursor);
    pages->setCurrentIndex(0);
    EXPECT_EQ(child<DBMemo>("DBMemo1")->text(), data().TDiscos.Fields(3).AsString());
    EXPECT_TRUE(child<DBMemo>("DBMemo1")->isReadOnly());

    const char *captions[] = {"    ALTAS    ", "    BAJAS    ", "    MODIFICACIONES    "};
    for (int i = 1; i <= 6; ++i) {
        auto *button = child<QToolButton>(QStringLiteral("SpeedButton%1").arg(i).toLatin1());
        EXPECT_EQ(button->text(), captions[(i - 1) % 3]);
        EXPECT_EQ(button->size(), QSize(209, 33));
        EXPECT_TRUE(button->font().bold());
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    }
}

// Filling the CD list of the queries page walks every CD; the CD grid and comment box are told
// once, at the end, and then show the last CD as they would after a walk they followed.
TEST_F(MainWindowTest, TheCdWalkTellsTheBoundControlsOnceAndLeavesThemOnTheLastCd) {
    start(true, true);
    QSignalSpy moves(&data().DataDiscos, &store::TDataSource::recordChanged);
    QSignalSpy cursorMoves(&data().TDiscos, &TableCursor::recordChanged);
    form1()->Consultas1Click();
    EXPECT_EQ(cursorMoves.count(), 12);
    EXPECT_EQ(moves.count(), 1);
    EXPECT_FALSE(data().TDiscos.ControlsDisabled());

    form1()->CDs1Click();
    const QString lastComment =
        catalogue->queryText("SELECT Comentario FROM Discos ORDER BY NroDisco DESC LIMIT 1");
    ASSERT_FALSE(lastComment.isEmpty());
    EXPECT_EQ(child<DBMemo>("DBMemo1")->text().replace(u'\n', QStringLiteral("\r\n")), lastComment);
    EXPECT_EQ(child<DBGrid>("DBGrid2")->currentIndex().row(), 11);
}

TEST_F(MainWindowTest, MenuHasEveryItemInOrder) {
    start();
    QStringList seen;
    // The captions as a screen reader hears them; each menu reached by Alt and a letter of its
    // own, and each item by a letter of its own within its menu.
    auto heard = [](QWidget *menu, int index) {
        return QAccessible::queryAccessibleInterface(menu)->child(index)->text(QAccessible::Name);
    };
    auto letters = [](const QList<QAction *> &actions) {
        QSet<QKeySequence> keys;
        int items = 0;
        for (QAction *action : actions)
            if (!action->isSeparator()) {
                keys << QKeySequence::mnemonic(action->text());
                ++items;
            }
        return keys.size() == items && !keys.contains(QKeySequence());
    };
    const QList<QAction *> tops = form1()->menuBar()->actions();
    EXPECT_TRUE(letters(tops));
    for (int t = 0; t < tops.size(); ++t) {
        QMenu *menu = tops[t]->menu();
        seen << menu->objectName() + "=" + heard(form1()->menuBar(), t);
        EXPECT_TRUE(letters(menu->actions())) << menu->objectName().toStdString();
        for (int i = 0; i < menu->actions().size(); ++i) {
            QAction *item = menu->actions()[i];
            seen << item->objectName() + "=" + (item->isSeparator() ? "-" : heard(menu, i)) +
                        (item->shortcut().isEmpty() ? "" : " " + item->shortcut().toString());
        }
    }
    // The shortcuts stand beside the captions, never in them.
    EXPECT_EQ(seen, QStringList({"Archivo1=Archivo",
                                 "NuevoCd1=Nuevo CD Ctrl+N",
                                 "NuevoPrograma1=Nuevo Programa Ctrl+Shift+N",
                                 "CatalogarDisco1=Catalogar un disco ...",
                                 "N4=-",
                                 "AbrirCatalogo1=Abrir catálogo ... Ctrl+O",
                                 "CatalogosRecientes1=Catálogos recientes",
                                 "N5=-",
                                 "Exportar1=Exportar listado de programas ... Ctrl+E",
                                 "ExportarCatalogo1=Exportar catálogo ...",
                                 "ImportarCsv1=Importar desde CSV ...",
                                 "N1=-",
                                 "Salir1=Salir Ctrl+Q",
                                 "Ver1=Ver",
                                 "CDs1=CDs Ctrl+1",
                                 "Programas1=Programas Ctrl+2",
                                 "Consultas1=Consultas Ctrl+3",
                                 "Buscar1=Buscar en Consultas Ctrl+F",
                                 "BuscarTodo1=Buscar en todo el catálogo Ctrl+Shift+F",
                                 "Estadisticas1=Estadísticas",
                                 "Repetidos1=Programas repetidos",
                                 "N6=-",
                                 "RecordarVentana1=Recordar ventana y página",
                                 "Herramientas1=Herramientas",
                                 "RepararBasededatos1=Copia de seguridad (Backup) Ctrl+B",
                                 "N2=-",
                                 "Blockdenotas1=Bloc de notas",
                                 "ExploradordeWindows1=Explorador de Windows",
                                 "Calculadorqa1=Calculadora",
                                 "Navegadorpredeterminado1=Navegador (predeterminado)",
                                 "Clientedecorreo1=Cliente de correo (predeterminado)",
                                 "Ayuda1=Ayuda",
                                 "Ayuda2=Ayuda F1",
                                 "Contacto1=Contacto",
                                 "N3=-",
                                 "Acercade1=Acerca de ..."}));
    child<QAction>("Programas1")->trigger();
    EXPECT_EQ(child<QTabWidget>("PageControl1")->currentWidget()->objectName(), "TabSheet2");
    child<QAction>("CDs1")->trigger();
    EXPECT_EQ(child<QTabWidget>("PageControl1")->currentWidget()->objectName(), "TabSheet1");
}

TEST_F(MainWindowTest, WithoutDbMdbOneBoxNamesTheFileAndTheListsAreEmpty) {
    start(false);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].kind, FakeDialogs::Box::Error);
    EXPECT_EQ(boxes()[0].text, QStringLiteral(" No se encuentra la base de datos \"%1\" ")
                                   .arg(QDir::currentPath() + "/db.mdb"));
    EXPECT_EQ(rows("DBGrid2"), 0);
    EXPECT_EQ(rows("DBGrid3"), 0);
    EXPECT_FALSE(data().ADOConnection.Connected());

    // What needs the catalogue is disabled, so nothing errors later and no editor opens empty.
    for (const char *button : {"SpeedButton1", "SpeedButton2", "SpeedButton4", "SpeedButton6"})
        child<QToolButton>(button)->click();
    for (const char *item : {"NuevoCd1", "NuevoPrograma1", "CatalogarDisco1", "Exportar1"})
        child<QAction>(item)->trigger();
    child<QAction>("Consultas1")->trigger();
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_TRUE(fake.modal.opened.empty());
}

TEST_F(MainWindowTest, DeletingOnAnEmptyTableAsksNothing) {
    start(true, false);
    QSignalSpy view(&data().TProgDisc, &TableCursor::dataSetChanged);
    child<QToolButton>("SpeedButton2")->click();
    child<QToolButton>("SpeedButton5")->click();
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(view.count(), 0); // the joined view was not even closed
}

TEST_F(MainWindowTest, ACdWithProgramsStaysAndTheFixedMessageIsShown) {
    start();
    const int count = data().TDiscos.RecordCount();
    fake.dialogs.answers = {true};
    child<QToolButton>("SpeedButton2")->click();
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0].kind, FakeDialogs::Box::Confirm);
    EXPECT_EQ(boxes()[0].text, kConfirm);
    EXPECT_EQ(boxes()[1].kind, FakeDialogs::Box::Error);
    EXPECT_EQ(boxes()[1].text, kHasPrograms);
    EXPECT_EQ(data().TDiscos.RecordCount(), count);
    EXPECT_EQ(rows("DBGrid2"), count);
}

TEST_F(MainWindowTest, ACdWithoutProgramsGoesOnYesOnly) {
    start();
    data().TDiscos.GoLast(); // the sample's last CD holds no programs
    const int count = data().TDiscos.RecordCount();
    child<QToolButton>("SpeedButton2")->click(); // answered "No"
    EXPECT_EQ(data().TDiscos.RecordCount(), count);
    fake.dialogs.answers = {true};
    child<QToolButton>("SpeedButton2")->click();
    EXPECT_EQ(data().TDiscos.RecordCount(), count - 1);
    EXPECT_EQ(catalogue->queryInt("SELECT count(*) FROM Discos"), count - 1);
    EXPECT_EQ(boxes().size(), 2u); // the two questions, no error
}

TEST_F(MainWindowTest, NoDeletesNothingButTheJoinedViewIsReread) {
    start();
    data().TProgDisc.GoLast();
    QSignalSpy view(&data().TProgDisc, &TableCursor::dataSetChanged);
    child<QToolButton>("SpeedButton5")->click();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, kConfirm);
    EXPECT_EQ(data().TProgramas.RecordCount(), 84);
    EXPECT_EQ(view.count(), 2); // closed, then opened
    EXPECT_TRUE(data().TProgDisc.Active());
    EXPECT_EQ(data().TProgDisc.currentIndex(), 0);
}

TEST_F(MainWindowTest, YesDeletesTheProgramAndTheViewShowsIt) {
    start();
    data().TProgramas.GoNext();
    const QString name = data().TProgramas.Fields(2).AsString();
    fake.dialogs.answers = {true};
    child<QToolButton>("SpeedButton5")->click();
    EXPECT_EQ(data().TProgramas.RecordCount(), 83);
    EXPECT_EQ(data().TProgDisc.RecordCount(), 83);
    EXPECT_FALSE(data().TProgDisc.FindRow("NombrePrograma", name, false));
}

TEST_F(MainWindowTest, AFailedProgramDeletionLeavesTheJoinedViewOpen) {
    start();
    catalogue->exec("CREATE TRIGGER keep BEFORE DELETE ON Programas "
                    "BEGIN SELECT RAISE(ABORT, 'no'); END");
    fake.dialogs.answers = {true};
    child<QToolButton>("SpeedButton5")->click();
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[1].kind, FakeDialogs::Box::Error);
    EXPECT_EQ(data().TProgramas.RecordCount(), 84);
    EXPECT_TRUE(data().TProgDisc.Active());
    EXPECT_EQ(data().TProgDisc.RecordCount(), 84);
}

TEST_F(MainWindowTest, NuevoProgramaShowsTheProgramsPageFirst) {
    start();
    auto *pages = child<QTabWidget>("PageControl1");
    pages->setCurrentWidget(child<QWidget>("TabSheet3"));
    QString pageWhenOpened;
    fake.modal.inside = [&](QDialog *) { pageWhenOpened = pages->currentWidget()->objectName(); };
    child<QAction>("NuevoPrograma1")->trigger();
    ASSERT_EQ(fake.modal.opened.size(), 1u);
    EXPECT_EQ(fake.modal.opened[0], form4());
    EXPECT_EQ(pageWhenOpened, "TabSheet2");
}

TEST_F(MainWindowTest, ClosingTheWindowClosesTheCatalogue) {
    start();
    form1()->show();
    child<QAction>("Salir1")->trigger();
    EXPECT_FALSE(form1()->isVisible());
    EXPECT_FALSE(data().ADOConnection.Connected());
    EXPECT_FALSE(data().TDiscos.Active());
    EXPECT_EQ(rows("DBGrid2"), 0);
    EXPECT_TRUE(boxes().empty());
}
