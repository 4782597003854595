// The statistics: the catalogue counted, and the window that charts it.
#include "mainwin/cds_.h"
#include "reports/Estadisticas.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "store/summary/CatalogueFigures.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTabWidget>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

using Counts = std::vector<std::pair<QString, qint64>>;

// Six CDs, two of them empty, one without a comment; programs with every kind of gap.
void arrange(TempCatalogue &catalogue) {
    catalogue.exec("INSERT INTO Discos VALUES (1, 'Uno', '2026-01-01', 'con comentario'), "
                   "(2, 'Dos', '2026-01-02', '  '), (3, 'Tres', '2026-01-03', 'x'), "
                   "(4, 'Vacío', '2026-01-04', 'x'), (9, 'Otro vacío', '2026-01-05', NULL), "
                   "(12, 'Doce', '2026-01-06', 'x')");
    QStringList rows;
    const char *publishers[] = {"Ácme", "Borland", "Ácme", "", "Corel", "Borland", "Ácme", "Zeta"};
    const char *licences[] = {"Shareware", "Freeware",  "Shareware", "",
                              "Comercial", "de prueba", "Freeware",  "Shareware"};
    const int years[] = {2001, 1999, 2001, 0, 2004, 2001, 1999, 2001};
    const int cds[] = {1, 1, 2, 2, 3, 12, 12, 12};
    for (int i = 0; i < 8; ++i)
        rows << QStringLiteral("(%1, %2, 'P%1', NULL, '%3', '%4', %5, %6, %7)")
                    .arg(i + 1)
                    .arg(cds[i])
                    .arg(QString::fromUtf8(publishers[i]), QString::fromUtf8(licences[i]))
                    .arg(years[i] ? QString::number(years[i]) : QStringLiteral("NULL"),
                         i % 3 ? QStringLiteral("'http://x'") : QStringLiteral("''"),
                         i % 2 ? QStringLiteral("'nota'") : QStringLiteral("NULL"));
    catalogue.exec("INSERT INTO Programas VALUES " + rows.join(','));
}

class StatisticsTest : public AppFixture {};

} // namespace

TEST(CatalogueFigures, CountsEveryRowOfTheOpenTables) {
    TempCatalogue catalogue;
    arrange(catalogue);
    store::Connection connection;
    connection.setFile(catalogue.dbPath());
    connection.setConnected(true);
    store::TableCursor cds(QStringLiteral("Discos"));
    store::TableCursor programs(QStringLiteral("Programas"));
    for (store::TableCursor *table : {&cds, &programs}) {
        table->setConnection(&connection);
        table->Open();
    }
    const store::CatalogueFigures figures = store::countCatalogue(cds, programs);
    EXPECT_EQ(figures.cds, 6);
    EXPECT_EQ(figures.programs, 8);
    EXPECT_EQ(figures.cdsWithoutPrograms, 2);     // 4 and 9
    EXPECT_EQ(figures.cdsWithoutComment, 2);      // a blank one and a NULL one
    EXPECT_EQ(figures.programsWithoutComment, 4); // the even ones
    EXPECT_EQ(figures.programsWithoutLink, 3);    // 1, 4, 7
    // The store's categories in its order, then other texts, then none.
    EXPECT_EQ(
        figures.perLicence,
        (Counts{{"Freeware", 2}, {"Comercial", 1}, {"Shareware", 3}, {"de prueba", 1}, {"", 1}}));
    EXPECT_EQ(figures.perYear,
              (std::vector<std::pair<qint64, qint64>>{{0, 1}, {1999, 2}, {2001, 4}, {2004, 1}}));
    EXPECT_EQ(figures.perCd,
              (std::vector<std::pair<qint64, qint64>>{{1, 2}, {2, 2}, {3, 1}, {12, 3}}));
    // Most first, ties by name, no empty publisher.
    EXPECT_EQ(figures.topPublishers,
              (Counts{{"Ácme", 3}, {"Borland", 2}, {"Corel", 1}, {"Zeta", 1}}));
}

TEST_F(StatisticsTest, TheWindowShowsTheCountsChartsAndSavesAChartAsPng) {
    start(true, false, arrange);
    fake.modal.inside = [&](QDialog *window) {
        auto *summary = window->findChild<QLabel *>("Resumen");
        ASSERT_NE(summary, nullptr);
        EXPECT_TRUE(summary->text().contains("CDs sin programas</td><td align=\"right\"><b>2<"));
        auto *pages = window->findChild<QTabWidget *>("Graficos");
        ASSERT_EQ(pages->count(), 4);
        // Each chart has its numbers beside it.
        pages->setCurrentIndex(3);
        const QAbstractItemModel *numbers =
            pages->currentWidget()->findChild<QTableView *>("Cifras")->model();
        ASSERT_EQ(numbers->rowCount(), 4);
        EXPECT_EQ(numbers->index(0, 0).data().toString(), "Ácme");
        EXPECT_EQ(numbers->index(0, 1).data().toString(), "3");

        const QByteArray file = QFile::encodeName(catalogue->dir()) + "/empresas.png";
        fake.dialogs.files = {file};
        static_cast<TFormEstadisticas *>(window)->saveImage();
        QImage saved;
        EXPECT_TRUE(saved.load(QFile::decodeName(file), "PNG"));
        EXPECT_GT(saved.width(), 100);
        ASSERT_EQ(fake.dialogs.suggestions.size(), 1u);
        EXPECT_TRUE(fake.dialogs.suggestions[0].endsWith("/vadrel-empresas.png"));
    };
    form1()->findChild<QAction *>("Estadisticas1")->trigger();
    ASSERT_EQ(fake.modal.opened.size(), 1u);
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}
