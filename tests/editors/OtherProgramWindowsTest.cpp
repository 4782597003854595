// Two programs on one catalogue, through the windows: the other program writes with plain SQL
// while this one has a window open.
#include "editors/ACd.h"
#include "editors/AProg.h"
#include "editors/MCD.h"
#include "editors/MProg.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "widgets/DBEdit.h"
#include "widgets/DBMemo.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// The box names the first field that differs from what the window showed.
QString changed(const char *field) {
    return QStringLiteral(" Otro programa cambió o borró este registro mientras usted lo tenía "
                          "abierto; no se hizo ningún cambio. Los datos se leyeron de nuevo: "
                          "revíselos antes de intentarlo otra vez (cambió el campo %1) ")
        .arg(QLatin1String(field));
}
const QString kGone = " No se pudo guardar el registro: ya no está en la base de datos (otro "
                      "programa lo eliminó) ";

// On a catalogue file and on a server's catalogue.
class OtherProgramWindowsTest : public AppFixture,
                                public ::testing::WithParamInterface<TestEngine> {
protected:
    void SetUp() override {
        engine = GetParam();
        SKIP_WITHOUT_SERVER(engine);
    }
    void startWithOurRows() {
        start(true, true, [](TempCatalogue &c) {
            c.exec("INSERT INTO Discos VALUES (100, 'Nuestro CD', '2003-03-15', 'nota')");
            c.exec("INSERT INTO Programas (NroPrograma, NroDisco, NombrePrograma, Version) "
                   "VALUES (1000, 1, 'Nuestro programa', '1.0')");
        });
        data().TDiscos.GoLast();
        data().TProgramas.GoLast();
    }
    void inside(const char *button, const std::function<void()> &act) {
        fake.modal.inside = [&](QDialog *) { act(); };
        form1()->findChild<QToolButton *>(QLatin1String(button))->click();
        fake.modal.inside = nullptr;
    }
    QString stored(const QString &sql) { return catalogue->queryText(sql); }
    QStringList boxTexts() {
        QStringList texts;
        for (const auto &box : fake.dialogs.boxes)
            if (box.kind != FakeDialogs::Box::Confirm)
                texts << box.text;
        return texts;
    }
};

// One modify window, named by what the test needs of it.
struct ModifyWindow {
    const char *what;
    const char *button;
    std::function<QDialog *()> window;
    std::function<QLineEdit *()> box; // the name or description the user retypes
    const char *readBack;             // that field in the file
    const char *sameField, *deleted;  // what the other program does
    const char *field;                // what the box says changed
};

VADREL_ON_BOTH_ENGINES(OtherProgramWindowsTest);

} // namespace

TEST_P(OtherProgramWindowsTest, ModifyWindowsKeepTheTypingWhenAnotherProgramGotThereFirst) {
    const ModifyWindow windows[] = {
        {"CD", "SpeedButton3", [this] { return form3(); },
         [this] { return child<DBEdit>(form3(), "DBEdit2"); },
         "SELECT DescripcionDisco FROM Discos WHERE NroDisco = 100",
         "UPDATE Discos SET DescripcionDisco = 'de B' WHERE NroDisco = 100",
         "DELETE FROM Discos WHERE NroDisco = 100", "DescripcionDisco"},
        {"program", "SpeedButton6", [this] { return form6(); },
         [this] { return child<DBEdit>(form6(), "DBEdit1"); },
         "SELECT NombrePrograma FROM Programas WHERE NroPrograma = 1000",
         "UPDATE Programas SET NombrePrograma = 'de B' WHERE NroPrograma = 1000",
         "DELETE FROM Programas WHERE NroPrograma = 1000", "NombrePrograma"},
    };
    for (const ModifyWindow &w : windows) {
        for (const bool gone : {false, true}) {
            SCOPED_TRACE(std::string(w.what) + (gone ? ", deleted" : ", same field changed"));
            fake.dialogs.boxes.clear();
            startWithOurRows();
            const int rowsBefore = int(catalogue->queryInt(w.button == std::string("SpeedButton3")
                                                               ? "SELECT count(*) FROM Discos"
                                                               : "SELECT count(*) FROM Programas"));
            inside(w.button, [&] {
                QLineEdit *box = w.box();
                box->selectAll();
                QTest::keyClicks(box, "Mio");
                catalogue->exec(gone ? w.deleted : w.sameField);
                w.window()->findChild<QToolButton *>("SpeedButton1")->click();
                // Told, not saved; the window stays with what the user typed.
                EXPECT_EQ(boxTexts(), QStringList{gone ? kGone : changed(w.field)});
                EXPECT_TRUE(w.window()->isVisible());
                EXPECT_EQ(w.box()->text(), "Mio");
                EXPECT_EQ(stored(w.readBack), gone ? "" : "de B");
                // Pressed again: over a changed row the user's choice is saved; a deleted row
                // is never brought back, nor is another row changed in its place.
                w.window()->findChild<QToolButton *>("SpeedButton1")->click();
                EXPECT_EQ(w.window()->isVisible(), gone);
                if (gone)
                    w.window()->findChild<QToolButton *>("SpeedButton2")->click();
            });
            EXPECT_EQ(stored(w.readBack), gone ? "" : "Mio");
            if (gone) {
                EXPECT_EQ(boxTexts(), (QStringList{kGone, kGone}));
                EXPECT_EQ(catalogue->queryInt(w.button == std::string("SpeedButton3")
                                                  ? "SELECT count(*) FROM Discos"
                                                  : "SELECT count(*) FROM Programas"),
                          rowsBefore - 1);
                EXPECT_EQ(stored("SELECT count(*) FROM Discos WHERE DescripcionDisco = 'Mio' OR "
                                 "Comentario = 'Mio'") +
                              stored("SELECT count(*) FROM Programas WHERE NombrePrograma = "
                                     "'Mio'"),
                          "00");
            }
        }
    }
}

TEST_P(OtherProgramWindowsTest, DeletionsSkipARowAnotherProgramChangedAndReadTheListsAgain) {
    const struct {
        const char *what;
        const char *button;
        const char *other;
        const char *count;
        const char *field; // the first that differs
    } cases[] = {
        {"CD changed", "SpeedButton2",
         "UPDATE Discos SET DescripcionDisco = 'de B' WHERE NroDisco = 100",
         "SELECT count(*) FROM Discos WHERE NroDisco = 100 AND DescripcionDisco = 'de B'",
         "DescripcionDisco"},
        {"CD number reused", "SpeedButton2",
         "DELETE FROM Discos WHERE NroDisco = 100; INSERT INTO Discos VALUES (100, 'de B', NULL, "
         "NULL)",
         "SELECT count(*) FROM Discos WHERE NroDisco = 100 AND DescripcionDisco = 'de B'",
         "DescripcionDisco"},
        {"program changed", "SpeedButton5",
         "UPDATE Programas SET NombrePrograma = 'de B' WHERE NroPrograma = 1000",
         "SELECT count(*) FROM Programas WHERE NroPrograma = 1000 AND NombrePrograma = 'de B'",
         "NombrePrograma"},
        {"program number reused", "SpeedButton5",
         "DELETE FROM Programas WHERE NroPrograma = 1000; INSERT INTO Programas (NroPrograma, "
         "NroDisco, NombrePrograma) VALUES (1000, 2, 'de B')",
         "SELECT count(*) FROM Programas WHERE NroPrograma = 1000 AND NombrePrograma = 'de B'",
         "NroDisco"},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.what);
        fake.dialogs.boxes.clear();
        startWithOurRows();
        catalogue->exec(test.other);
        fake.dialogs.answers.push_back(true);
        form1()->findChild<QToolButton *>(QLatin1String(test.button))->click();
        EXPECT_EQ(boxTexts(), QStringList{changed(test.field)});
        EXPECT_EQ(catalogue->queryInt(test.count), 1);
        // The lists show the file as it is now.
        EXPECT_TRUE(data().TDiscos.FindRow("DescripcionDisco", "de B", false) ||
                    data().TProgDisc.FindRow("NombrePrograma", "de B", false));
        EXPECT_EQ(data().TDiscos.RecordCount(), catalogue->queryInt("SELECT count(*) FROM Discos"));
        EXPECT_EQ(data().TProgDisc.RecordCount(),
                  catalogue->queryInt("SELECT count(*) FROM Programas"));
    }
}

TEST_P(OtherProgramWindowsTest, NewCdProposesTheNextNumberWhenAnotherProgramTookIt) {
    start(true, true);
    const qint64 last = catalogue->queryInt("SELECT max(NroDisco) FROM Discos");
    inside("SpeedButton1", [&] {
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit1")->text(), QString::number(last + 1));
        QTest::keyClicks(child<QLineEdit>(form2(), "Edit2"), "Mi CD");
        child<QPlainTextEdit>(form2(), "Memo1")->setPlainText("mi nota");
        catalogue->exec(
            QStringLiteral("INSERT INTO Discos VALUES (%1, 'de B', NULL, NULL)").arg(last + 1));
        child<QToolButton>(form2(), "SpeedButton1")->click();
        EXPECT_EQ(boxTexts(), QStringList{QStringLiteral(" El número %1 ya lo usó otro programa; "
                                                         "se propone el %2. Revise los datos y "
                                                         "pulse ACEPTAR de nuevo. ")
                                              .arg(last + 1)
                                              .arg(last + 2)});
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit1")->text(), QString::number(last + 2));
        EXPECT_EQ(child<QLineEdit>(form2(), "Edit2")->text(), "Mi CD");
        EXPECT_EQ(child<QPlainTextEdit>(form2(), "Memo1")->toPlainText(), "mi nota");
        child<QToolButton>(form2(), "SpeedButton1")->click();
        child<QToolButton>(form2(), "SpeedButton2")->click();
    });
    EXPECT_EQ(boxTexts().size(), 2);
    EXPECT_EQ(stored(QStringLiteral("SELECT DescripcionDisco || '|' || Comentario FROM Discos "
                                    "WHERE NroDisco = %1")
                         .arg(last + 2)),
              "Mi CD|mi nota");
    EXPECT_EQ(stored(QStringLiteral("SELECT DescripcionDisco FROM Discos WHERE NroDisco = %1")
                         .arg(last + 1)),
              "de B");
}

TEST_P(OtherProgramWindowsTest, NewProgramTakesTheNextNumberWhenAnotherProgramTookIt) {
    start(true, true);
    const qint64 last = catalogue->queryInt("SELECT max(NroPrograma) FROM Programas");
    inside("SpeedButton4", [&] {
        QTest::keyClicks(child<QLineEdit>(form4(), "Edit1"), "Mi programa");
        catalogue->exec(QStringLiteral("INSERT INTO Programas (NroPrograma, NroDisco, "
                                       "NombrePrograma) VALUES (%1, 1, 'de B')")
                            .arg(last + 1));
        child<QToolButton>(form4(), "SpeedButton1")->click();
        child<QToolButton>(form4(), "SpeedButton2")->click();
    });
    EXPECT_EQ(boxTexts(),
              QStringList{"\r\n Los datos del Programa se guardaron correctamente \r\n"});
    EXPECT_EQ(stored(QStringLiteral("SELECT NombrePrograma FROM Programas WHERE NroPrograma = %1")
                         .arg(last + 2)),
              "Mi programa");
    EXPECT_EQ(stored(QStringLiteral("SELECT NombrePrograma FROM Programas WHERE NroPrograma = %1")
                         .arg(last + 1)),
              "de B");
    EXPECT_TRUE(data().TProgDisc.FindRow("NombrePrograma", "Mi programa", false));
}
