#include "reports/CatalogueSearch.h"
#include "store/catalogue/Modulo.h"
#include "store/search/SearchIndex.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "support/TempCatalogue.h"
#include "support/WaitFor.h"

#include <QApplication>
#include <QHash>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

using store::search::SearchIndex;

namespace {

// Accents and ñ in either case, NULLs, a serial number inside a comment, words only in a CD.
void arrange(TempCatalogue &catalogue) {
    catalogue.exec(QStringLiteral(
        "INSERT INTO Discos VALUES (1, 'Fotografía', '2003-01-01', 'Revista, serie ABC-123');"
        "INSERT INTO Discos VALUES (2, 'Juegos', NULL, NULL);"
        "INSERT INTO Discos VALUES (3, NULL, NULL, 'Copia de ÑANDÚ');"
        "INSERT INTO Programas VALUES (1, 1, 'Cámara Digital', '2.0', 'Kodak', 'Shareware',"
        " 2001, 'http://kodak.example', 'Serie XK-99812');"
        "INSERT INTO Programas VALUES (2, 1, 'Editor de fotos', NULL, NULL, 'Freeware', NULL,"
        " NULL, NULL);"
        "INSERT INTO Programas VALUES (3, 2, 'Ñandú Aventura', '1.1', 'Juegos SA', 'Demo', 1999,"
        " NULL, 'Instalar en C:\\juegos');"
        "INSERT INTO Programas VALUES (4, 3, 'Office', '2000', 'Microsoft', 'Comercial', 2000,"
        " NULL, '');"));
}

std::vector<int> numbers(const SearchIndex &index, const std::vector<int> &found) {
    std::vector<int> out;
    for (const int program : found)
        out.push_back(index.programNumber(program));
    return out;
}

class SearchIndexTest : public ::testing::Test {
protected:
    TempCatalogue catalogue;
    void SetUp() override { arrange(catalogue); }
};

} // namespace

TEST_F(SearchIndexTest, FindsProgramsHoldingEveryWordInAnyField) {
    const SearchIndex index = SearchIndex::build(catalogue.dbPath());
    const struct {
        const char *typed;
        std::vector<int> programs;
    } cases[] = {
        {"camara", {1}},
        {"  CÁMARA   digital ", {1}},
        {"ñandu", {3, 4}}, // a name, and a CD's comment only
        {"NANDÚ aventura", {3}},
        {"shareware", {1}},
        {"xk-99812", {1}},          // inside a comment
        {"abc-123", {1, 2}},        // every program of the CD
        {"kodak 2001", {1}},        // publisher and year
        {"fotografia editor", {2}}, // the CD's description and the name
        {"office 3", {4}},          // the CD's number
        {"c:\\juegos", {3}},
        {"editor kodak", {}}, // each word in a different program
        {"digital2.0", {}},   // never across two fields
        {"kodakshareware", {}},
        {"", {}},
        {"   ", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(numbers(index, index.find(QString::fromUtf8(c.typed))), c.programs) << c.typed;
}

TEST_F(SearchIndexTest, NarrowingFindsWhatAFreshSearchFinds) {
    const SearchIndex index = SearchIndex::build(catalogue.dbPath());
    const std::vector<std::vector<const char *>> typing = {
        {"c", "ca", "cam", "cama", "camara", "camara d", "camara di"},
        {"2", "20", "200", "2000", "2000 m", "2000 mi"},
        {"e", "ed", "ed f", "ed fo", "edi fot"},
        {"j", "ju", "jue", "juegos", "juegos n", "juegos ña"},
    };
    for (const auto &keys : typing) {
        std::vector<int> shown = index.find(QString::fromUtf8(keys.front()));
        for (size_t k = 1; k < keys.size(); ++k) {
            const QString before = QString::fromUtf8(keys[k - 1]);
            const QString now = QString::fromUtf8(keys[k]);
            ASSERT_TRUE(SearchIndex::narrows(before, now)) << keys[k];
            shown = index.find(now, &shown, SearchIndex::words(before));
            EXPECT_EQ(shown, index.find(now)) << keys[k];
        }
    }
    // A word that no longer holds the previous one must not narrow.
    for (const auto &[before, now] : {std::pair{"cama", "cam"}, {"camara", "kodak"}, {"", "c"}})
        EXPECT_FALSE(SearchIndex::narrows(QString::fromUtf8(before), QString::fromUtf8(now)))
            << before << " -> " << now;
}

// Enough programs for the search to split them between threads and rule most out by their
// sketch: every answer must still be what reading each field would give.
TEST(SearchIndexAtSize, FindsWhatReadingEveryFieldFinds) {
    TempCatalogue catalogue;
    catalogue.exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50) "
        "INSERT INTO Discos SELECT i, 'Disco ' || i || CASE i % 5 WHEN 0 THEN ' Fotografía' "
        "ELSE '' END, NULL, CASE i % 7 WHEN 0 THEN 'Caja ÑANDÚ' END FROM n;"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 25000) "
        "INSERT INTO Programas SELECT i, 1 + i % 50, 'Prog ' || i || CASE i % 7 WHEN 0 THEN "
        "' Cámara' WHEN 1 THEN ' ñandú-2' ELSE '' END, (i % 13) || '.' || (i % 5), "
        "'Empresa ' || (i % 40), CASE i % 3 WHEN 0 THEN 'Shareware' ELSE 'Freeware' END, "
        "1990 + i % 30, CASE WHEN i % 4 = 0 THEN 'http://x.example/' || i END, "
        "CASE WHEN i % 9 = 0 THEN 'Serie XK-' || (i * 7919 % 100000) END FROM n"));
    const SearchIndex index = SearchIndex::build(catalogue.dbPath());
    ASSERT_EQ(index.size(), 25000);
    std::vector<std::array<QString, SearchIndex::FieldCount>> folded(size_t(index.size()));
    for (int p = 0; p < index.size(); ++p)
        for (int f = 0; f < SearchIndex::FieldCount; ++f)
            folded[size_t(p)][size_t(f)] = SearchIndex::fold(index.text(p, SearchIndex::Field(f)));
    for (const char *typed : {"c", "7", "-", ".", "ca", "nandu-2", "xk-1", "empresa 3", "serie",
                              "zq", "2.4", "http", "CÁMARA 12", "fotografia 5", "caja prog 7"}) {
        const QStringList words = SearchIndex::words(QString::fromUtf8(typed));
        std::vector<int> expected;
        for (int p = 0; p < index.size(); ++p)
            if (std::all_of(words.begin(), words.end(), [&](const QString &word) {
                    return std::any_of(folded[size_t(p)].begin(), folded[size_t(p)].end(),
                                       [&](const QString &field) { return field.contains(word); });
                }))
                expected.push_back(p);
        EXPECT_EQ(index.find(QString::fromUtf8(typed)), expected) << typed;
    }
}

namespace {

class SearchWindowTest : public AppFixture {
protected:
    void SetUp() override {
        start(true, false, arrange);
        window = std::make_unique<CatalogueSearch>(fake.services(), data(), nullptr);
        window->show();
        QApplication::processEvents();
    }
    // The catalogue is read behind the open window.
    [[nodiscard]] bool waitUntilRead() {
        return waitFor([this] { return window->ready(); }, "the catalogue to be read", 10000);
    }
    void TearDown() override {
        window.reset();
        AppFixture::TearDown();
    }
    void type(const char *text) {
        window->Palabras->clear();
        // A key at a time, as typed; QTest's own clicks know no ñ.
        for (const QChar c : QString::fromUtf8(text)) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(window->Palabras, &press);
        }
        window->Resultados->viewport()->repaint(); // the marking delegate paints every cell
    }
    // A cell's text in the column of the given title.
    QString cell(int row, const char *title) {
        QAbstractItemModel *model = window->Resultados->model();
        for (int column = 0; column < model->columnCount(); ++column)
            if (model->headerData(column, Qt::Horizontal).toString() == QString::fromUtf8(title))
                return model->index(row, column).data().toString();
        ADD_FAILURE() << "no column " << title;
        return {};
    }
    std::unique_ptr<CatalogueSearch> window;
};

} // namespace

TEST_F(SearchWindowTest, ListsMatchesAsTheUserTypesAndCountsThem) {
    // In the box as the window opens, before the catalogue is read: looked for once it is.
    window->close();
    window->Palabras->setText(QStringLiteral("aventura"));
    window->show();
    EXPECT_EQ(window->Cuenta->text(), QStringLiteral("Leyendo el catálogo…"));
    EXPECT_EQ(window->Resultados->model()->rowCount(), 0);
    ASSERT_TRUE(waitUntilRead());
    EXPECT_EQ(window->Resultados->model()->rowCount(), 1);

    const struct {
        const char *typed;
        int rows;
        const char *count;
    } cases[] = {
        {"ñandu", 2, "2 programas en 2 CDs"},
        {"abc-123", 2, "2 programas en 1 CD"},
        {"SHAREWARE", 1, "1 programa en 1 CD"},
        {"01/01/2003", 2, "2 programas en 1 CD"}, // the CD's date, as the column shows it
        {"2003-01-01", 2, "2 programas en 1 CD"},
        {"zzz  ", 0, "Ningún programa contiene «zzz»"},
    };
    for (const auto &c : cases) {
        type(c.typed);
        EXPECT_EQ(window->Resultados->model()->rowCount(), c.rows) << c.typed;
        EXPECT_EQ(window->Cuenta->text(), QString::fromUtf8(c.count)) << c.typed;
    }
    type("");
    EXPECT_EQ(window->Resultados->model()->rowCount(), 0);
    EXPECT_FALSE(window->Cuenta->text().contains(QStringLiteral("programa ")));
    type("kodak");
    EXPECT_EQ(cell(0, "Fecha"), QStringLiteral("01/01/2003"));
}

TEST_F(SearchWindowTest, EverySaveShowsInTheOpenWindowAndItsDetailsWithoutReadingAgain) {
    ASSERT_TRUE(waitUntilRead());
    TDataModule2 &m = data();
    auto edit = [](store::TableCursor &rows, const char *key, int number, const char *field,
                   const char *value) {
        ASSERT_TRUE(rows.FindRow(QString::fromUtf8(key), number, false));
        rows.EditRow();
        rows.FieldByName(QString::fromUtf8(field)).setAsString(QString::fromUtf8(value));
        rows.PostRow();
    };
    QString details;
    fake.modal.inside = [&](QDialog *shown) {
        details = shown->findChild<QLineEdit *>(QStringLiteral("Edit1"))->text();
    };
    const struct {
        const char *typed; // before the save
        std::function<void()> save;
        std::vector<QString> names; // in CD order; the first one's details are opened
    } cases[] = {
        {"aventura",
         [&] { edit(m.TProgramas, "NroPrograma", 3, "NombrePrograma", "Visor Aventura"); },
         {"Visor Aventura"}},
        {"arcade",
         [&] { edit(m.TDiscos, "NroDisco", 2, "DescripcionDisco", "Juegos de arcade"); },
         {"Visor Aventura"}},
        {"visor", // added on an earlier CD than the renamed one
         [&] {
             m.TProgramas.InsertRow({5, 1, "Visor Extra", "", "", "Demo", 2004, "", ""});
         },
         {"Visor Extra", "Visor Aventura"}},
        {"14/03/2004",
         [&] { edit(m.TDiscos, "NroDisco", 1, "FechaDisco", "14/03/2004"); },
         {"Cámara Digital", "Editor de fotos", "Visor Extra"}},
        {"visor",
         [&] {
             ASSERT_TRUE(m.TProgramas.FindRow(QStringLiteral("NroPrograma"), 3, false));
             m.TProgramas.DeleteRow();
         },
         {"Visor Extra"}},
        {"ñandu", // on the last CD, found by its comment after the others' changes
         [&] { edit(m.TProgramas, "NroPrograma", 4, "NombrePrograma", "Oficina"); },
         {"Oficina"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        type(c.typed);
        m.writingPrograms(c.save);
        QApplication::processEvents(); // no time for a reading of the whole catalogue
        std::vector<QString> shown;
        for (int row = 0; row < window->Resultados->model()->rowCount(); ++row)
            shown.push_back(cell(row, "Programa"));
        EXPECT_EQ(shown, c.names);
        QTest::keyClick(window->Palabras, Qt::Key_Return);
        EXPECT_EQ(details, c.names.front());
    }
}

TEST_F(SearchWindowTest, EscapeClosesTheWindowFromTheBoxAndFromTheList) {
    for (QWidget *focus : std::initializer_list<QWidget *>{window->Palabras, window->Resultados}) {
        window->show();
        QTest::keyClick(focus, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible()) << focus->objectName().toStdString();
    }
}

// The marked word stays readable on its mark (contrast as web guidelines measure it), in the
// selected row as in any other.
TEST_F(SearchWindowTest, MarkedWordsAreReadableInSelectedRowsAndOthers) {
    ASSERT_TRUE(waitUntilRead());
    auto luminance = [](QRgb c) {
        auto channel = [](int v) {
            return v <= 10 ? v / 255.0 / 12.92 : std::pow((v / 255.0 + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) +
               0.0722 * channel(qBlue(c)) + 0.05;
    };
    for (const bool selected : {false, true}) {
        QImage cells[2]; // one row's name cell, found by its publisher, then by its name
        for (int marked = 0; marked < 2; ++marked) {
            type(marked ? "office" : "microsoft");
            if (selected)
                window->Resultados->selectRow(0);
            const QModelIndex name = window->Resultados->model()->index(0, 0);
            cells[marked] = window->Resultados->viewport()
                                ->grab(window->Resultados->visualRect(name))
                                .toImage();
        }
        // Where they differ: the mark, most of it, and the word on it.
        QHash<QRgb, int> counts;
        for (int y = 0; y < cells[1].height(); ++y)
            for (int x = 0; x < cells[1].width(); ++x)
                if (cells[0].pixel(x, y) != cells[1].pixel(x, y))
                    ++counts[cells[1].pixel(x, y)];
        const QRgb mark =
            std::max_element(counts.keyValueBegin(), counts.keyValueEnd(), [](auto a, auto b) {
                return a.second < b.second;
            })->first;
        double best = 1;
        for (const QRgb c : counts.keys())
            best = std::max(best, std::max(luminance(c), luminance(mark)) /
                                      std::min(luminance(c), luminance(mark)));
        EXPECT_GE(best, 4.5) << (selected ? "selected" : "not selected");
    }
}

TEST_F(SearchWindowTest, EnterShowsTheChosenProgramsDetails) {
    ASSERT_TRUE(waitUntilRead());
    QString name, cd;
    fake.modal.inside = [&](QDialog *details) {
        name = details->findChild<QLineEdit *>(QStringLiteral("Edit1"))->text();
        cd = details->findChild<QLineEdit *>(QStringLiteral("Edit7"))->text();
    };
    type("ñandu");
    QTest::keyClick(window->Palabras, Qt::Key_Return); // the first row
    EXPECT_EQ(name, QStringLiteral("Ñandú Aventura"));
    EXPECT_EQ(cd, QStringLiteral("2"));

    window->Resultados->setFocus();
    window->Resultados->setCurrentIndex(window->Resultados->model()->index(1, 0));
    QTest::keyClick(window->Resultados, Qt::Key_Return);
    EXPECT_EQ(name, QStringLiteral("Office"));
    EXPECT_EQ(cd, QStringLiteral("3"));
    EXPECT_EQ(fake.modal.opened.size(), 2u);
}

TEST_F(SearchWindowTest, OpeningAgainReadsTheCatalogueAgain) {
    ASSERT_TRUE(waitUntilRead());
    type("aventura");
    EXPECT_EQ(window->Resultados->model()->rowCount(), 1);
    catalogue->exec(QStringLiteral("INSERT INTO Programas VALUES (5, 2, 'Aventura Dos', NULL,"
                                   " NULL, NULL, NULL, NULL, NULL)"));
    window->close();
    window->show();
    QApplication::processEvents();
    ASSERT_TRUE(waitUntilRead());
    EXPECT_EQ(window->Resultados->model()->rowCount(), 2);
    // Written behind the program's back, then every list read again: the search too.
    catalogue->exec(
        QStringLiteral("UPDATE Programas SET Empresa = 'Aventura' WHERE NroPrograma = 4"));
    data().rereadAll();
    EXPECT_TRUE(waitFor([&] { return window->Resultados->model()->rowCount() == 3; }, "3 rows"));
}
