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
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTabWidget>
#include <QTableView>
#include <QValueAxis>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

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

// 136 programs: publisher n has n + 1 (the busiest a long name), 8 on each of 17 of 20 CDs (the
// first a long description), years 1985 to 2012, every tenth without one.
void arrangeMany(TempCatalogue &catalogue) {
    catalogue.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20) "
                   "INSERT INTO Discos SELECT i, CASE i WHEN 1 THEN 'Revista de software con "
                   "demos y utilidades' ELSE 'CD' END, '2026-01-01', NULL FROM n");
    catalogue.exec("WITH RECURSIVE t(p, i, r) AS (SELECT 0, 0, 0 UNION ALL SELECT p + (i = p), "
                   "(i < p) * (i + 1), r + 1 FROM t WHERE r < 135) INSERT INTO Programas SELECT "
                   "r + 1, r % 17 + 1, 'P', NULL, 'Empresa ' || p || iif(p = 15, ' de Programas "
                   "Educativos', ''), '', iif(r % 10, 1985 + r % 28, NULL), NULL, NULL FROM t");
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
    EXPECT_EQ(figures.perPublisher,
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

TEST_F(StatisticsTest, ChartsCountInWholeNumbersAndSumTheSmallestAsOthers) {
    start(true, false, arrangeMany);
    const struct {
        int tableRows;    // every name, in the table beside the chart
        QStringList bars; // the names under the bars
    } pages[] = {{1, {"(sin licencia)"}},
                 {29,
                  {"(sin año)", "1985–1989", "1990–1994", "1995–1999", "2000–2004", "2005–2009",
                   "2010–2014"}},
                 {17, {"…", "Otros"}},
                 {16, {"…", "Otros"}}};
    fake.modal.inside = [&](QDialog *window) {
        auto *tabs = window->findChild<QTabWidget *>("Graficos");
        for (int page = 0; page < 4; ++page) {
            SCOPED_TRACE(page);
            tabs->setCurrentIndex(page);
            auto *view = tabs->currentWidget()->findChild<QChartView *>("Grafico");
            auto *series = qobject_cast<QBarSeries *>(view->chart()->series().at(0));
            auto *names = qobject_cast<QBarCategoryAxis *>(view->chart()->axes(Qt::Horizontal)[0]);
            auto *values = qobject_cast<QValueAxis *>(view->chart()->axes(Qt::Vertical)[0]);
            const QAbstractItemModel *table =
                tabs->currentWidget()->findChild<QTableView *>("Cifras")->model();
            ASSERT_EQ(table->rowCount(), pages[page].tableRows);
            std::map<QString, qint64> counts;
            for (int row = 0; row < table->rowCount(); ++row)
                counts[table->index(row, 0).data().toString()] =
                    table->index(row, 1).data().toString().toLongLong();
            const QStringList bars = names->categories();
            // Of 13 bars, the first (long) name cut and the last the rest.
            EXPECT_EQ((bars.size() != 13 ? bars : QStringList{bars[0].right(1), bars.last()}),
                      pages[page].bars);
            // Whole ticks from 0 to a whole top, at most eight steps.
            EXPECT_EQ(values->tickType(), QValueAxis::TicksDynamic);
            EXPECT_EQ(values->min(), 0);
            EXPECT_EQ(values->tickAnchor(), 0);
            EXPECT_EQ(std::fmod(values->tickInterval(), 1), 0);
            EXPECT_EQ(std::fmod(values->max(), values->tickInterval()), 0);
            EXPECT_LE(values->max() / values->tickInterval(), 8);
            // Each bar its own count, named whole in its tooltip; "Otros" the rest.
            QBarSet *set = series->barSets()[0];
            qint64 total = 0;
            for (int bar = 0; bar < set->count(); ++bar) {
                EXPECT_GE(values->max(), set->at(bar));
                total += qint64(set->at(bar));
                emit series->hovered(true, bar, set);
                const QString name = view->toolTip().section(": ", 0, -2);
                if (page != 1 && name != "Otros") {
                    EXPECT_EQ(counts[name], qint64(set->at(bar))) << name.toStdString();
                }
            }
            EXPECT_EQ(total, 136);
        }
    };
    form1()->findChild<QAction *>("Estadisticas1")->trigger();
    ASSERT_EQ(fake.modal.opened.size(), 1u);
}

TEST_F(StatisticsTest, AnImageNamedWithoutPngGetsItAndNothingIsReplacedUnasked) {
    start(true, false, arrange);
    const QString dir = catalogue->dir() + "/";
    QFile(dir + "antes.png").open(QIODevice::WriteOnly);
    const struct {
        QString typed, written; // written empty: nothing
        bool replace;           // the answer when asked
    } cases[] = {{"grafico", "grafico.png", false},
                 {"grafico.PNG", "grafico.PNG", false},
                 {"grafico.png.txt", "grafico.png.txt.png", false},
                 {"antes", "", false},
                 {"antes", "antes.png", true}};
    fake.modal.inside = [&](QDialog *window) {
        for (const auto &c : cases) {
            SCOPED_TRACE(c.typed.toStdString());
            fake.dialogs.files = {QFile::encodeName(dir + c.typed)};
            fake.dialogs.answers = {c.replace};
            fake.dialogs.boxes.clear();
            static_cast<TFormEstadisticas *>(window)->saveImage();
            EXPECT_EQ(QImage(dir + (c.written.isEmpty() ? "antes.png" : c.written)).isNull(),
                      c.written.isEmpty());
            EXPECT_EQ(QFile::exists(dir + c.typed), c.typed == c.written);
            EXPECT_EQ(fake.dialogs.boxes.size(), c.typed == "antes" ? 1u : 0u);
        }
    };
    form1()->findChild<QAction *>("Estadisticas1")->trigger();
}
