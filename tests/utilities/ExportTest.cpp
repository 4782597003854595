#include "FileLimit.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "utilities/exportar.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

const QByteArray kRule = QByteArray(109, '-') + "\r\n";
const QByteArray kTitle = "LISTADO DE PROGRAMAS :\r\n";

class ExportTest : public AppFixture {
protected:
    // Shows the queries page, opens the export window from its icon, checks the given boxes
    // (2 to 8) and presses "GENERAR"; the listing's bytes are returned.
    QByteArray generate(std::initializer_list<int> boxes) {
        form1()->findChild<QAction *>("Consultas1")->trigger();
        fake.modal.inside = [&](QDialog *) {
            for (int n = 2; n <= 8; ++n)
                EXPECT_FALSE(checkBox(n)->isChecked()) << n; // cleared at every opening
            for (int n : boxes)
                checkBox(n)->setChecked(true);
            child<QToolButton>(form8(), "SpeedButton1")->click();
        };
        form1()->findChild<QWidget *>("ExportarProg")->setFocus();
        QTest::keyClick(form1()->findChild<QWidget *>("ExportarProg"), Qt::Key_Space);
        fake.modal.inside = nullptr;
        return listing();
    }
    QCheckBox *checkBox(int n) {
        return form8()->findChild<QCheckBox *>(QStringLiteral("CheckBox%1").arg(n));
    }
    QString path() { return QDir::current().filePath("Listado.txt"); }
    QByteArray listing() {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
    }
    static void programs(TempCatalogue &c, const char *rows) {
        c.exec("INSERT INTO Discos VALUES (1, 'Utilidades', '2003-03-15', NULL),"
               "(2, 'Diseño', '2003-03-15', NULL)");
        c.exec(QStringLiteral("INSERT INTO Programas VALUES ") + QString::fromUtf8(rows));
    }
};

} // namespace

TEST_F(ExportTest, TheWorkedExampleByteForByte) {
    start(true, false, [](TempCatalogue &c) {
        programs(c, "(1, 1, 'Editor', '2.1', 'E', 'Freeware', 2001, NULL, NULL),"
                    "(2, 1, 'Compresor', '5.0', 'E', 'Freeware', 1999, NULL, NULL)");
    });
    fake.dialogs.answers = {true};
    const QByteArray bytes = generate({2, 5});
    EXPECT_EQ(bytes, kTitle + kRule + " Programa      Versi\xF3n      A\xF1o      \r\n" + kRule +
                         "\r\n Editor      2.1      2001      \r\n"
                         " Compresor      5.0      1999      \r\n");
    EXPECT_EQ(bytes.size(), 358);
    ASSERT_EQ(fake.dialogs.boxes.size(), 2u);
    EXPECT_EQ(fake.dialogs.boxes[0].text, "\r\n El Listado de Programas se generó en " +
                                              QDir::currentPath() + "/Listado.txt \r\n");
    EXPECT_EQ(fake.dialogs.boxes[1].text, "\r\n Desea ver el Listado ?\r\n");
    ASSERT_EQ(fake.shell.opened.size(), 1u);
    EXPECT_EQ(fake.shell.opened[0].target, path());
    EXPECT_EQ(fake.shell.opened[0].verb, "open");
    EXPECT_EQ(fake.shell.opened[0].mode, platform::Shell::Normal);
    EXPECT_TRUE(form8()->isHidden()); // the test's modal seam closed it; generating did not
}

TEST_F(ExportTest, EveryColumnInItsPlaceAndTheCodePage) {
    start(true, false, [](TempCatalogue &c) {
        programs(c, "(1, 2, 'Compresión', NULL, 'Año Cero', 'Demo', NULL, 'http://x/', NULL),"
                    "(2, 1, '漢字 😀', '1', '', 'Trial', 2004, '', NULL)");
    });
    const QByteArray bytes = generate({2, 3, 4, 5, 6, 7, 8});
    const QByteArray heading =
        " Programa      Versi\xF3n      Empresa      Licencia      A\xF1o      "
        "Link      Nro. CD      CD      ";
    EXPECT_EQ(heading.size(), 95);
    EXPECT_EQ(bytes, kTitle + kRule + heading + "\r\n" + kRule + "\r\n" +
                         " ?? ?      1            Trial      2004            1      "
                         "Utilidades      \r\n"
                         // An empty version leaves two runs of six spaces; no year reads 0.
                         " Compresi\xF3n            A\xF1o Cero      Demo      0      "
                         "http://x/      2      Dise\xF1o      \r\n");
}

TEST_F(ExportTest, TheOrderAndFilterOfTheQueriesPageAndNothingElse) {
    start(true, false, [](TempCatalogue &c) {
        programs(c, "(1, 1, 'A', '', '', '', 2005, '', NULL), (2, 2, 'B', '', '', '', 2001, '', "
                    "NULL), (3, 1, 'C', '', '', '', 1999, '', NULL), (4, 1, 'D', '', '', '', 2003, "
                    "'', NULL)");
        QFile old(QDir(c.dir()).filePath("Listado.txt")); // a longer listing from before
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
    });
    form1()->findChild<QAction *>("Consultas1")->trigger();
    auto choose = [](QComboBox *combo, const QString &entry) {
        combo->setCurrentIndex(combo->findText(entry));
        emit combo->activated(combo->currentIndex());
    };
    choose(form1()->findChild<QComboBox *>("ComboBox1"), "Año");
    choose(form1()->findChild<QComboBox *>("ComboBox2"), "1");
    fake.modal.inside = [&](QDialog *) {
        checkBox(5)->setChecked(true);
        child<QToolButton>(form8(), "SpeedButton1")->click();
    };
    form1()->ExportarProgClick();
    EXPECT_EQ(listing(),
              kTitle + kRule + " Programa      A\xF1o      \r\n" + kRule +
                  "\r\n C      1999      \r\n D      2003      \r\n A      2005      \r\n");
    // The walk leaves the joined view on its last row, its order and filter as they were.
    store::TableCursor &view = data().TProgDisc;
    EXPECT_EQ(view.currentIndex(), 2);
    EXPECT_EQ(view.IndexFieldNames(), "Anio");
    EXPECT_EQ(view.RecordCount(), 3);
}

TEST_F(ExportTest, AnEmptyListAndAFailedWrite) {
    start(true, false);
    EXPECT_EQ(generate({}), kTitle + kRule + " Programa      \r\n" + kRule + "\r\n");
    EXPECT_EQ(listing().size(), 265);

    // The disk fills up part way through the next listing: the earlier one stays whole.
    start(true, true);
    const QByteArray before = generate({});
    fake.dialogs.boxes.clear();
    {
        FileSizeLimit limit(300);
        generate({2, 3, 4, 5, 6, 7, 8});
    }
    EXPECT_TRUE(listing() == before);
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes[0].kind, FakeDialogs::Box::Error);
    EXPECT_TRUE(fake.dialogs.boxes[0].text.startsWith(" No se puede escribir el archivo \"" +
                                                      path() + "\": el disco está lleno "))
        << fake.dialogs.boxes[0].text.toStdString();
    EXPECT_EQ(QDir::current().entryList(QDir::Files | QDir::Hidden),
              QStringList({"db.mdb", "Listado.txt"})); // no half-written file left behind
}

// A view of the file's own making: the year computed, so without a declared type.
TEST_F(ExportTest, AViewWithAComputedYearIsListedWithoutFault) {
    start(true, false, [](TempCatalogue &c) {
        programs(c, "(1, 1, 'Editor', '2.1', 'E', 'Freeware', 2001, 'http://x/', NULL)");
        c.exec("DROP VIEW ProgDisc; CREATE VIEW ProgDisc AS SELECT p.NroDisco, "
               "d.DescripcionDisco, p.NombrePrograma, p.Version, p.Empresa, p.Licencia, "
               "p.Anio + 0 AS Anio, p.Link, p.Comentario FROM Programas p LEFT JOIN Discos d "
               "ON d.NroDisco = p.NroDisco");
    });
    EXPECT_EQ(generate({5, 6, 7}),
              kTitle + kRule + " Programa      A\xF1o      Link      Nro. CD      \r\n" + kRule +
                  "\r\n Editor      2001      http://x/      1      \r\n");
}
