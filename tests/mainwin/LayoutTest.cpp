#include "mainwin/ReadingStatus.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "support/TempCatalogue.h"
#include "widgets/DBGrid.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QToolButton>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <vector>

namespace {

using LayoutTest = AppFixture;

// The row of `grid` whose `column` shows `text`; invalid when none does.
QModelIndex find(const DBGrid *grid, int column, const QString &text) {
    const QAbstractItemModel *model = grid->model();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, column).data().toString() == text)
            return model->index(row, column);
    return {};
}

int neededWidth(DBGrid *grid, const QModelIndex &index) {
    QStyleOptionViewItem option;
    option.initFrom(grid);
    option.font = grid->font();
    return grid->itemDelegateForIndex(index)->sizeHint(option, index).width();
}

// Shows `window` with its layouts done and lists its labels and captioned buttons that are
// narrower than their text.
QStringList cutTexts(QWidget *window) {
    window->show();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QStringList cut;
    auto check = [&cut](QWidget *widget, const QString &text) {
        if (widget->isVisible() && !text.isEmpty() && widget->width() < widget->sizeHint().width())
            cut << QStringLiteral("\"%1\" %2 < %3")
                       .arg(text)
                       .arg(widget->width())
                       .arg(widget->sizeHint().width());
    };
    for (QLabel *label : window->findChildren<QLabel *>())
        check(label, label->text());
    for (QToolButton *button : window->findChildren<QToolButton *>())
        check(button, button->text());
    return cut;
}

} // namespace

// Each column of the three grids, as designed: its title, its width in pixels, and contents
// typical of the catalogue that it shows whole (the longest descriptions and links are cut, as
// they always were).
TEST_F(LayoutTest, GridColumnsShowTheirTitlesAndTypicalContentsWhole) {
    // A CD with a five-digit number, the longest the program takes.
    start(true, true, [](TempCatalogue &catalogue) {
        catalogue.exec("INSERT INTO Discos VALUES (99999, 'Respaldo', '2008-02-29', NULL)");
        catalogue.exec("INSERT INTO Programas VALUES (1000, 99999, 'Respaldo total', '1.0', "
                       "'Microsoft', 'Comercial', 2008, NULL, NULL)");
    });
    struct Column {
        const char *title;
        int width;
        std::vector<QString> typical;
    };
    const Column version{"Versión", 80, {"4.9.9.2", "1.0rc2", "0.9.20"}};
    const Column publisher{"Empresa", 80, {"Microsoft", "Piriform", "Editorial Álamo"}};
    const Column licence{"Licencia", 80, {"Shareware", "Comercial", "Freeware"}};
    const Column year{"Año", 30, {"2004", "1997", "2008"}};
    const struct {
        const char *name;
        std::vector<Column> columns;
    } grids[] = {
        {"DBGrid2",
         {{"Nro. CD", 50, {"1", "99999"}},
          {"CD", 140, {"Utilidades del sistema", "Controladores de hardware"}},
          {"Fecha", 150, {"15/03/2003", "08/07/2005 21:45:00"}}}},
        {"DBGrid3",
         {{"Programa", 220, {"Spybot - Search & Destroy", "Curso de Inglés Interactivo"}},
          version,
          publisher,
          licence,
          year,
          {"Link", 270, {"https://www.mozilla.org/es-AR/firefox/"}}}},
        {"DBGrid1",
         {{"Nro. CD", 50, {"99999"}},
          {"CD", 100, {"Ofimática", "Programación", "Juegos clásicos"}},
          {"Programa", 200, {"Controlador de sonido AC'97"}},
          version,
          publisher,
          licence,
          year,
          {"Link", 350, {"https://www.chiark.greenend.org.uk/~sgtatham/putty/"}}}},
    };
    data().TProgDisc.RecordCount(); // the rows read in the background are in
    data().TProgramas.RecordCount();
    auto *pages = form1()->findChild<QTabWidget *>(QStringLiteral("PageControl1"));
    ASSERT_NE(pages, nullptr);
    for (const auto &expected : grids) {
        auto *grid = form1()->findChild<DBGrid *>(QLatin1String(expected.name));
        ASSERT_NE(grid, nullptr) << expected.name;
        for (int page = 0; page < pages->count(); ++page)
            if (pages->widget(page)->isAncestorOf(grid))
                pages->setCurrentIndex(page); // a grid offers its rows once on screen
        ASSERT_EQ(grid->model()->columnCount(), int(expected.columns.size())) << expected.name;
        for (int i = 0; i < int(expected.columns.size()); ++i) {
            const Column &column = expected.columns[i];
            SCOPED_TRACE(QStringLiteral("%1, %2").arg(expected.name, column.title).toStdString());
            EXPECT_EQ(grid->model()->headerData(i, Qt::Horizontal).toString(), column.title);
            EXPECT_EQ(grid->columnWidth(i), column.width);
            EXPECT_LE(grid->horizontalHeader()->sectionSizeHint(i), grid->columnWidth(i));
            for (const QString &text : column.typical) {
                const QModelIndex cell = find(grid, i, text);
                ASSERT_TRUE(cell.isValid()) << "no row shows " << text.toStdString();
                EXPECT_LE(neededWidth(grid, cell), grid->visualRect(cell).width())
                    << text.toStdString();
            }
        }
    }
}

TEST_F(LayoutTest, NoLabelOrButtonOfAnyWindowIsNarrowerThanItsText) {
    start();
    auto *pages = form1()->findChild<QTabWidget *>(QStringLiteral("PageControl1"));
    ASSERT_NE(pages, nullptr);
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        EXPECT_EQ(cutTexts(form1()), QStringList()) << "page " << page;
    }
    const QList<QDialog *> dialogs = form1()->findChildren<QDialog *>();
    EXPECT_GE(dialogs.size(), 3);
    for (QDialog *dialog : dialogs) {
        EXPECT_EQ(cutTexts(dialog), QStringList()) << dialog->windowTitle().toStdString();
        dialog->hide();
    }
}

// While rows are read in the background, the status bar names the list being read and how far
// it has come; once every row is in, the note goes.
TEST(ReadingStatus, TellsTheListBeingReadUntilEveryRowIsIn) {
    TempCatalogue catalogue(true);
    ScopedCwd cwd(catalogue.dir());
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    TDataModule2 module;
    module.Reads.setBetweenStages([released] { released.wait_for(std::chrono::seconds(20)); });
    ReadingStatus status(module.Reads, {{&module.TProgramas, QStringLiteral("los programas")},
                                        {&module.TProgDisc, QStringLiteral("las consultas")}});
    EXPECT_EQ(status.textFor({&module.TProgDisc, 340000, 1000000}),
              QStringLiteral(" Leyendo las consultas … 340\u00a0000 de 1\u00a0000\u00a0000 "));
    EXPECT_EQ(status.textFor({&module.TDiscos, 1, 2}), QString()); // not one it speaks of

    module.DataModuleCreate();
    EXPECT_FALSE(status.isHidden());
    EXPECT_TRUE(status.text().startsWith(QStringLiteral(" Leyendo los programas …")))
        << status.text().toStdString();
    release.set_value();
    module.TProgDisc.RecordCount();
    QElapsedTimer waited;
    waited.start();
    while (!status.isHidden() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_TRUE(status.isHidden());
}
