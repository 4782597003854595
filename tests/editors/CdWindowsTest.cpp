#include "editors/ACd.h"
#include "editors/MCD.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"
#include "store/cursor/DataSource.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "store/schema/Schema.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/DBMemo.h"

#include <QApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

namespace {

class CdWindowsTest : public AppFixture {
protected:
    void addCds(int from, int to) {
        for (int n = from; n <= to; ++n)
            catalogue->exec(
                QStringLiteral("INSERT INTO Discos VALUES (%1, 'CD %1', '2003-03-15', NULL)")
                    .arg(n));
        data().TDiscos.Close();
        data().TDiscos.Open();
    }
    // Opens the New CD window as the ALTAS button does and runs `inside` while it is open.
    void newCd(const std::function<void()> &inside) {
        fake.modal.inside = [&](QDialog *) { inside(); };
        form1()->findChild<QToolButton *>("SpeedButton1")->click();
        fake.modal.inside = nullptr;
    }
    void modifyCd(const std::function<void()> &inside) {
        fake.modal.inside = [&](QDialog *) { inside(); };
        form1()->findChild<QToolButton *>("SpeedButton3")->click();
        fake.modal.inside = nullptr;
    }
    QString proposal() {
        QString number;
        newCd([&] { number = child<QLineEdit>(form2(), "Edit1")->text(); });
        return number;
    }
    QString stored(const QString &sql) { return catalogue->queryText(sql); }
    size_t boxCount() { return fake.dialogs.boxes.size(); }
};

} // namespace

TEST_F(CdWindowsTest, NumbersFollowTheLastCd) {
    start(true, false);
    EXPECT_EQ(proposal(), "1");
    addCds(1, 5);
    EXPECT_EQ(proposal(), "6");
    data().TDiscos.GoLast();
    data().TDiscos.DeleteRow();
    EXPECT_EQ(proposal(), "5");
}

// A catalogue of older making may hold a number past the whole-number rule: there is then no
// next number, which New CD says instead of proposing a wrapped one.
TEST_F(CdWindowsTest, NoNumberIsProposedPastTheLargestOne) {
    const struct {
        const char *last;
        QString proposal;
        size_t boxes;
    } cases[] = {
        {"2147483646", "2147483647", 0}, {"2147483647", "", 1}, {"9223372036854775807", "", 1}};
    for (const auto &test : cases) {
        SCOPED_TRACE(test.last);
        fake.dialogs.boxes.clear();
        start(true, false, [&](TempCatalogue &c) {
            c.exec(QStringLiteral("PRAGMA ignore_check_constraints = ON; INSERT INTO Discos VALUES "
                                  "(1, 'a', NULL, NULL), (%1, 'b', NULL, NULL)")
                       .arg(QLatin1String(test.last)));
        });
        EXPECT_EQ(proposal(), test.proposal);
        ASSERT_EQ(boxCount(), test.boxes);
        if (test.boxes) {
            EXPECT_EQ(fake.dialogs.boxes[0].text,
                      QStringLiteral(" No hay un número para el nuevo CD: el último CD tiene el "
                                     "número %1, y un CD no puede llevar uno mayor que "
                                     "2147483647 ")
                          .arg(QLatin1String(test.last)));
        }
        EXPECT_EQ(data().TDiscos.RecordCount(), 2); // nothing saved
    }
}

TEST_F(CdWindowsTest, AcceptStoresTheCdAndPreparesTheNext) {
    start(true);
    const int rows = form1()->findChild<DBGrid *>("DBGrid2")->model()->rowCount();
    newCd([&] {
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit1")->text(), "13");
        EXPECT_TRUE(child<QLineEdit>(form2(), "Edit1")->isReadOnly());
        EXPECT_EQ(child<QDateEdit>(form2(), "Date1")->date(), QDate(2026, 12, 7));
        QTest::keyClicks(child<QLineEdit>(form2(), "Edit2"), "Respaldo");
        QTest::keyClicks(child<QPlainTextEdit>(form2(), "Memo1"), "a");
        QTest::keyClick(child<QPlainTextEdit>(form2(), "Memo1"), Qt::Key_Return);
        QTest::keyClicks(child<QPlainTextEdit>(form2(), "Memo1"), "b");
        child<QToolButton>(form2(), "SpeedButton1")->click();
        ASSERT_EQ(boxCount(), 1u);
        EXPECT_EQ(fake.dialogs.boxes[0].kind, FakeDialogs::Box::Information);
        EXPECT_EQ(fake.dialogs.boxes[0].text,
                  "\r\n Los datos del CD se guardaron correctamente \r\n");
        // Ready for the next CD, still open.
        EXPECT_TRUE(form2()->isVisible());
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit1")->text(), "14");
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit2")->text(), "");
        EXPECT_EQ(child<QPlainTextEdit>(form2(), "Memo1")->toPlainText(), "");
        EXPECT_EQ(form2()->focusWidget(), child<QLineEdit>(form2(), "Edit2"));
    });
    EXPECT_EQ(stored("SELECT DescripcionDisco || '|' || FechaDisco || '|' || hex(Comentario) "
                     "FROM Discos WHERE NroDisco = 13"),
              "Respaldo|2026-12-07|610D0A62");
    EXPECT_EQ(form1()->findChild<DBGrid *>("DBGrid2")->model()->rowCount(), rows + 1);
    EXPECT_EQ(data().TDiscos.Fields(0).AsInteger(), 13); // left on the last row
}

TEST_F(CdWindowsTest, EmptyDescriptionAndCommentAreAccepted) {
    start(true, false);
    newCd([&] { child<QToolButton>(form2(), "SpeedButton1")->click(); });
    EXPECT_EQ(catalogue->queryInt("SELECT count(*) FROM Discos WHERE NroDisco = 1 AND "
                                  "DescripcionDisco = '' AND Comentario = ''"),
              1);
}

TEST_F(CdWindowsTest, ReopeningAfterCancelShowsAFreshEntry) {
    start(true);
    newCd([&] {
        QTest::keyClicks(child<QLineEdit>(form2(), "Edit2"), "A medias");
        QTest::keyClicks(child<QPlainTextEdit>(form2(), "Memo1"), "sin guardar");
        child<QDateEdit>(form2(), "Date1")->setDate(QDate(2001, 1, 1));
        child<QToolButton>(form2(), "SpeedButton2")->click();
        EXPECT_FALSE(form2()->isVisible());
    });
    fake.clock.date = QDate(2027, 3, 4);
    newCd([&] {
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit1")->text(), "13");
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit2")->text(), "");
        EXPECT_EQ(child<QPlainTextEdit>(form2(), "Memo1")->toPlainText(), "");
        EXPECT_EQ(child<QDateEdit>(form2(), "Date1")->date(), QDate(2027, 3, 4));
    });
    EXPECT_EQ(catalogue->queryInt("SELECT count(*) FROM Discos"), 12);
    EXPECT_EQ(boxCount(), 0u);
}

TEST_F(CdWindowsTest, EnterAndEscapeNeitherSaveNorClose) {
    start(true);
    newCd([&] {
        QTest::keyClicks(child<QLineEdit>(form2(), "Edit2"), "x");
        QTest::keyClick(child<QLineEdit>(form2(), "Edit2"), Qt::Key_Return);
        QTest::keyClick(child<QLineEdit>(form2(), "Edit2"), Qt::Key_Escape);
        QTest::keyClick(form2(), Qt::Key_Escape);
        EXPECT_TRUE(form2()->isVisible());
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit2")->text(), "x");
    });
    EXPECT_EQ(catalogue->queryInt("SELECT count(*) FROM Discos"), 12);
    EXPECT_EQ(boxCount(), 0u);
}

TEST_F(CdWindowsTest, ARefusedCdKeepsTheInputsAsTyped) {
    start(true);
    newCd([&] {
        // Another program takes number 13 meanwhile.
        catalogue->exec("INSERT INTO Discos VALUES (13, 'Otro', '2026-01-01', NULL)");
        QTest::keyClicks(child<QLineEdit>(form2(), "Edit2"), "Mio");
        child<QToolButton>(form2(), "SpeedButton1")->click();
        ASSERT_EQ(boxCount(), 1u);
        EXPECT_EQ(fake.dialogs.boxes[0].kind, FakeDialogs::Box::Error);
        EXPECT_TRUE(form2()->isVisible());
        // The CDs were read again and the next free number is proposed.
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit1")->text(), "14");
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit2")->text(), "Mio");
    });
    EXPECT_EQ(data().TDiscos.RecordCount(), 13);
    EXPECT_EQ(data().TDiscos.state(), store::TableCursor::State::Browse);
}

TEST_F(CdWindowsTest, ModifyCancelOrCloseBoxLeavesTheCdAsItWas) {
    start(true);
    for (bool closeBox : {false, true}) {
        modifyCd([&] {
            QTest::keyClicks(child<DBEdit>(form3(), "DBEdit2"), " cambiado");
            QTest::keyClicks(child<DBMemo>(form3(), "DBMemo1"), "nota");
            EXPECT_EQ(data().TDiscos.state(), store::TableCursor::State::Edit);
            if (closeBox)
                form3()->close();
            else
                child<QToolButton>(form3(), "SpeedButton2")->click();
        });
        EXPECT_EQ(data().TDiscos.state(), store::TableCursor::State::Browse);
        EXPECT_EQ(data().TDiscos.Fields(1).AsString(), "Utilidades del sistema");
    }
    EXPECT_EQ(stored("SELECT DescripcionDisco FROM Discos WHERE NroDisco = 1"),
              "Utilidades del sistema");
    EXPECT_EQ(boxCount(), 0u);
}

TEST_F(CdWindowsTest, ModifyShowsAndKeepsTheStoredDate) {
    start(true);
    modifyCd([&] {
        EXPECT_EQ(child<QDateEdit>(form3(), "Date1")->date(), QDate(2003, 3, 15));
        EXPECT_EQ(child<DBEdit>(form3(), "DBEdit1")->text(), "1");
        EXPECT_EQ(form3()->focusWidget(), child<DBEdit>(form3(), "DBEdit2"));
        QTest::keyClicks(child<DBMemo>(form3(), "DBMemo1"), "Revisado. ");
        child<QToolButton>(form3(), "SpeedButton1")->click();
        EXPECT_FALSE(form3()->isVisible());
    });
    EXPECT_EQ(stored("SELECT FechaDisco || '|' || substr(Comentario, 1, 10) FROM Discos WHERE "
                     "NroDisco = 1"),
              "2003-03-15|Revisado. ");
    // The CD list shows the change at once.
    auto *grid = form1()->findChild<DBGrid *>("DBGrid2");
    EXPECT_EQ(data().TDiscos.Fields(0).AsInteger(), 1);
    EXPECT_EQ(grid->model()->index(0, 2).data().toString(), "15/03/2003");
}

TEST_F(CdWindowsTest, ModifyStoresAPickedDateAtMidnight) {
    start(true);
    data().TDiscos.FindRow("NroDisco", 7); // stored with a time of day
    modifyCd([&] {
        child<DBEdit>(form3(), "DBEdit2")->selectAll();
        QTest::keyClicks(child<DBEdit>(form3(), "DBEdit2"), "Juegos");
        child<QDateEdit>(form3(), "Date1")->setDate(QDate(2026, 1, 2));
        child<QToolButton>(form3(), "SpeedButton1")->click();
    });
    EXPECT_EQ(stored("SELECT DescripcionDisco || '|' || FechaDisco FROM Discos WHERE NroDisco = 7"),
              "Juegos|2026-01-02");
    auto *grid = form1()->findChild<DBGrid *>("DBGrid2");
    EXPECT_EQ(grid->model()->index(data().TDiscos.currentIndex(), 1).data().toString(), "Juegos");
}

TEST_F(CdWindowsTest, ModifyCannotChangeTheNumber) {
    start(true);
    modifyCd([&] {
        child<DBEdit>(form3(), "DBEdit1")->setFocus();
        QTest::keyClicks(child<DBEdit>(form3(), "DBEdit1"), "9");
        EXPECT_EQ(child<DBEdit>(form3(), "DBEdit1")->text(), "1");
        EXPECT_EQ(data().TDiscos.state(), store::TableCursor::State::Browse);
        child<QToolButton>(form3(), "SpeedButton1")->click();
    });
    EXPECT_EQ(catalogue->queryInt("SELECT count(*) FROM Discos WHERE NroDisco = 1"), 1);
}

// Typed into or not, "ACEPTAR" says there is nothing to change instead of closing as a save would.
TEST_F(CdWindowsTest, ModifyOnAnEmptyTableWritesNothingAndSaysSo) {
    start(true, false);
    for (const char *typed : {"fantasma", ""}) {
        SCOPED_TRACE(typed);
        fake.dialogs.boxes.clear();
        modifyCd([&] {
            EXPECT_EQ(child<DBEdit>(form3(), "DBEdit2")->text(), "");
            QTest::keyClicks(child<DBEdit>(form3(), "DBEdit2"), typed);
            child<QToolButton>(form3(), "SpeedButton1")->click();
            EXPECT_FALSE(form3()->isVisible());
        });
        EXPECT_EQ(catalogue->queryInt("SELECT count(*) FROM Discos"), 0);
        EXPECT_EQ(data().TDiscos.RecordCount(), 0);
        EXPECT_EQ(data().TDiscos.state(), store::TableCursor::State::Browse);
        ASSERT_EQ(boxCount(), 1u);
        EXPECT_EQ(fake.dialogs.boxes[0].kind, FakeDialogs::Box::Information);
        EXPECT_EQ(fake.dialogs.boxes[0].text, "\r\n No hay ningún CD para modificar: el catálogo "
                                              "todavía no tiene CDs. \r\n");
    }
}

TEST_F(CdWindowsTest, TypingSurvivesMinimisingAndRestoring) {
    start(true);
    modifyCd([&] {
        child<QDateEdit>(form3(), "Date1")->setDate(QDate(2001, 2, 3));
        form3()->setWindowState(Qt::WindowMinimized);
        form3()->setWindowState(Qt::WindowNoState);
        child<QToolButton>(form3(), "SpeedButton1")->click();
    });
    EXPECT_EQ(stored("SELECT FechaDisco FROM Discos WHERE NroDisco = 1"), "2001-02-03");
    newCd([&] {
        QTest::keyClicks(child<QLineEdit>(form2(), "Edit2"), "A medio escribir");
        form2()->setWindowState(Qt::WindowMinimized);
        form2()->setWindowState(Qt::WindowNoState);
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit2")->text(), "A medio escribir");
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit1")->text(), "13");
    });
}

TEST_F(CdWindowsTest, ModifyCdSavesWhateverTheDateFormat) {
    for (const char *format : {"dd MMM yyyy", "yyyy. MM. dd.", "MM/dd/yyyy", "dd.MM.yyyy"}) {
        SCOPED_TRACE(format);
        fake.clock.format = QString::fromLatin1(format);
        fake.dialogs.boxes.clear();
        start(true);
        modifyCd([&] {
            child<QDateEdit>(form3(), "Date1")->setDate(QDate(2026, 1, 2));
            child<QToolButton>(form3(), "SpeedButton1")->click();
            EXPECT_FALSE(form3()->isVisible());
        });
        EXPECT_EQ(boxCount(), 0u);
        EXPECT_EQ(stored("SELECT FechaDisco FROM Discos WHERE NroDisco = 1"), "2026-01-02");
        EXPECT_EQ(form1()->findChild<DBGrid *>("DBGrid2")->model()->index(0, 2).data().toString(),
                  QLocale().toString(QDate(2026, 1, 2), fake.clock.format));
    }
}

TEST_F(CdWindowsTest, ARefusedPostKeepsModifyCdOpenWithTheTyping) {
    start(true);
    data().TDiscos.GoLast(); // CD 12, without programs
    modifyCd([&] {
        QTest::keyClicks(child<DBEdit>(form3(), "DBEdit2"), " y mas");
        catalogue->exec("DELETE FROM Discos WHERE NroDisco = 12"); // by another program
        child<QToolButton>(form3(), "SpeedButton1")->click();
        ASSERT_EQ(boxCount(), 1u);
        EXPECT_EQ(fake.dialogs.boxes[0].text.toStdString(),
                  " No se pudo guardar el registro: ya no está en la base de datos (otro "
                  "programa lo eliminó) ");
        EXPECT_TRUE(form3()->isVisible());
        // The CDs were read again, without the removed one; the typing stays in the window.
        EXPECT_EQ(data().TDiscos.RecordCount(), 11);
        EXPECT_TRUE(child<DBEdit>(form3(), "DBEdit2")->text().endsWith(" y mas"));
    });
    EXPECT_EQ(data().TDiscos.state(), store::TableCursor::State::Browse);
}

TEST_F(CdWindowsTest, ModifyWritesOnlyWhatTheUserChanged) {
    start(true, true, [](TempCatalogue &c) {
        c.exec("UPDATE Discos SET Comentario = 'a' || char(10) || 'b' WHERE NroDisco = 1");
    });
    modifyCd([&] {
        QTest::keyClicks(child<DBEdit>(form3(), "DBEdit2"), " (revisado)");
        // The comment is touched but left as it was.
        QTest::keyClicks(child<DBMemo>(form3(), "DBMemo1"), "x");
        QTest::keyClick(child<DBMemo>(form3(), "DBMemo1"), Qt::Key_Backspace);
        child<QToolButton>(form3(), "SpeedButton1")->click();
    });
    EXPECT_EQ(stored("SELECT DescripcionDisco || '|' || hex(Comentario) FROM Discos WHERE "
                     "NroDisco = 1"),
              " (revisado)|610A62");
}

// A date stored in a form the program cannot read shows empty and stays as stored when another
// field of the CD changes; a date the user picks replaces it.
TEST_F(CdWindowsTest, ModifyKeepsADateItCannotReadUnlessOneIsPicked) {
    start(true, false, [](TempCatalogue &c) {
        c.exec("INSERT INTO Discos VALUES (1, 'Uno', 'el martes', NULL), "
               "(2, 'Dos', '15.03.2003', NULL)");
    });
    auto *grid = form1()->findChild<DBGrid *>("DBGrid2");
    EXPECT_EQ(grid->model()->index(0, 2).data().toString(), "");
    modifyCd([&] {
        QTest::keyClicks(child<DBMemo>(form3(), "DBMemo1"), "Revisado.");
        child<QToolButton>(form3(), "SpeedButton1")->click();
    });
    EXPECT_EQ(stored("SELECT FechaDisco || '|' || Comentario FROM Discos WHERE NroDisco = 1"),
              "el martes|Revisado.");

    data().TDiscos.FindRow("NroDisco", 2);
    modifyCd([&] {
        child<QDateEdit>(form3(), "Date1")->setDate(QDate(2026, 1, 2));
        child<QToolButton>(form3(), "SpeedButton1")->click();
    });
    EXPECT_EQ(stored("SELECT FechaDisco FROM Discos WHERE NroDisco = 2"), "2026-01-02");
}

// Modify CD needs no data module: over a bare cursor it edits that cursor's current row.
TEST(BareCursorTest, ModifyCdEditsTheRowOfTheCursorItIsGiven) {
    TempCatalogue catalogue(true);
    store::Connection connection;
    catalogue.point(connection);
    connection.setConnected(true);
    store::TableCursor cds(store::schema::table(store::schema::cds::table));
    cds.setConnection(&connection);
    cds.setActive(true);
    store::TDataSource source(&cds);
    FakePlatform fake;
    TForm3 window(fake.services(), source);
    window.showStoredDate(QDate(2003, 3, 15));
    window.show();
    child<DBEdit>(&window, "DBEdit2")->selectAll();
    QTest::keyClicks(child<DBEdit>(&window, "DBEdit2"), "Revisadas");
    child<QToolButton>(&window, "SpeedButton1")->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(catalogue.queryText("SELECT DescripcionDisco || '|' || FechaDisco FROM Discos "
                                  "WHERE NroDisco = 1"),
              "Revisadas|2003-03-15");
}
