#include "editors/AProg.h"
#include "editors/MProg.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Catalogue.h"
#include "store/catalogue/Modulo.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "widgets/DBEdit.h"
#include "widgets/DBMemo.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using store::TableCursor;

namespace {

const QString kHeading = "\r\n Se encontraron errores en los siguientes campos: \r\n\r\n";
const QString kSaved = "\r\n Los datos del Programa se guardaron correctamente \r\n";
const QString kNoName = "\r\n Debe ingresar un nombre de Programa \r\n";

class ProgramWindowsTest : public AppFixture {
protected:
    // Opens a window as the Programs page's ALTAS or MODIFICACIONES button does and runs
    // `inside` while it is open.
    void open(const char *button, const std::function<void()> &inside) {
        fake.modal.inside = [&](QDialog *) { inside(); };
        form1()->findChild<QToolButton *>(QLatin1String(button))->click();
        fake.modal.inside = nullptr;
    }
    void newProgram(const std::function<void()> &inside) { open("SpeedButton4", inside); }
    void modifyProgram(const std::function<void()> &inside) { open("SpeedButton6", inside); }
    static void pick(QComboBox *combo, const QString &entry) {
        const int index = combo->findText(entry);
        ASSERT_GE(index, 0) << entry.toStdString();
        combo->setCurrentIndex(index);
    }
    static void retype(QLineEdit *box, const QString &text) {
        box->setFocus();
        box->selectAll();
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        else
            QTest::keyClicks(box, text);
    }
    QString stored(const QString &sql) { return catalogue->queryText(sql); }
    qint64 programs() { return catalogue->queryInt("SELECT count(*) FROM Programas"); }
    const std::vector<FakeDialogs::Box> &boxes() { return fake.dialogs.boxes; }
};

} // namespace

TEST_F(ProgramWindowsTest, ChecksListEveryFailingFieldInOrder) {
    const struct {
        bool cds; // CDs recorded
        const char *name, *year;
        QString errors;
        const char *yearAfter;
    } cases[] = {
        {true, "", "", "- Programa\r\n", "0"},
        {false, "Editor", "", "- Nro. CD\r\n", "0"},
        {true, "Editor", "7 ", "- Año\r\n", "7 "},
        {true, "Editor", "12a", "- Año\r\n", "12a"},
        {false, "", "x", "- Programa\r\n- Nro. CD\r\n- Año\r\n", "x"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "[" << c.name << "] [" << c.year << "]");
        fake.dialogs.boxes.clear();
        start(true, c.cds);
        QSignalSpy view(&data().TProgDisc, &TableCursor::dataSetChanged);
        newProgram([&] {
            EXPECT_EQ(child<QComboBox>(form4(), "ComboBox2")->count(), c.cds ? 12 : 0);
            QTest::keyClicks(child<QLineEdit>(form4(), "Edit1"), c.name);
            QTest::keyClicks(child<QLineEdit>(form4(), "Edit4"), c.year);
            child<QToolButton>(form4(), "SpeedButton1")->click();
            ASSERT_EQ(boxes().size(), 1u);
            EXPECT_EQ(boxes()[0].kind, FakeDialogs::Box::Error);
            EXPECT_EQ(boxes()[0].text.toStdString(), (kHeading + c.errors).toStdString());
            EXPECT_EQ(child<QLineEdit>(form4(), "Edit4")->text(), c.yearAfter);
            EXPECT_EQ(child<QLineEdit>(form4(), "Edit1")->text(), c.name);
            EXPECT_TRUE(form4()->isVisible());
        });
        EXPECT_EQ(programs(), c.cds ? 84 : 0);
        EXPECT_EQ(view.count(), 0); // the joined view was not touched
    }
}

// Each save takes the next number, stores the year as its value (0 when none was given) and
// prepares the window for the next program: Freeware, the highest CD, empty boxes.
TEST_F(ProgramWindowsTest, SavesOneProgramPerAcceptAndPreparesTheNext) {
    start(true);
    const struct {
        const char *name, *year;
        int stored;
    } cases[] = {{"   ", "", 0}, {"Uno", " 7", 7}, {"Dos", "-5", -5}, {"Tres", "12345", 1234}};
    newProgram([&] {
        int number = 85;
        for (const auto &c : cases) {
            SCOPED_TRACE(c.year);
            EXPECT_EQ(child<QComboBox>(form4(), "ComboBox1")->currentText(), "Freeware");
            EXPECT_EQ(child<QComboBox>(form4(), "ComboBox2")->currentText(), "12");
            EXPECT_EQ(form4()->focusWidget(), child<QLineEdit>(form4(), "Edit1"));
            QTest::keyClicks(child<QLineEdit>(form4(), "Edit1"), c.name);
            QTest::keyClicks(child<QLineEdit>(form4(), "Edit4"), c.year);
            child<QToolButton>(form4(), "SpeedButton1")->click();
            ASSERT_FALSE(boxes().empty());
            EXPECT_EQ(boxes().back().text, kSaved);
            EXPECT_EQ(stored(QStringLiteral("SELECT NombrePrograma || '|' || NroDisco || '|' || "
                                            "Licencia || '|' || Anio FROM Programas WHERE "
                                            "NroPrograma = %1")
                                 .arg(number++)),
                      QStringLiteral("%1|12|Freeware|%2").arg(c.name).arg(c.stored));
            EXPECT_TRUE(form4()->isVisible());
            EXPECT_EQ(child<QLineEdit>(form4(), "Edit1")->text(), "");
            EXPECT_EQ(child<QLineEdit>(form4(), "Edit4")->text(), "");
        }
    });
    EXPECT_EQ(programs(), 88);
    EXPECT_EQ(data().TDiscos.Fields(0).AsInteger(), 12); // the CD list left it on the last CD
}

TEST_F(ProgramWindowsTest, EveryFieldReachesTheRowAndTheQueriesPage) {
    start(true);
    newProgram([&] {
        QTest::keyClicks(child<QLineEdit>(form4(), "Edit1"), "Editor de textos");
        QTest::keyClicks(child<QLineEdit>(form4(), "Edit2"), "2.0");
        QTest::keyClicks(child<QLineEdit>(form4(), "Edit3"), "ACME");
        pick(child<QComboBox>(form4(), "ComboBox1"), "Shareware");
        QTest::keyClicks(child<QLineEdit>(form4(), "Edit4"), "2024");
        child<QLineEdit>(form4(), "Edit5")->setText(QStringLiteral("docs/Léeme ahora.txt"));
        pick(child<QComboBox>(form4(), "ComboBox2"), "3");
        QTest::keyClicks(child<QPlainTextEdit>(form4(), "Memo1"), "a");
        QTest::keyClick(child<QPlainTextEdit>(form4(), "Memo1"), Qt::Key_Return);
        QTest::keyClicks(child<QPlainTextEdit>(form4(), "Memo1"), "b");
        child<QToolButton>(form4(), "SpeedButton1")->click();
    });
    EXPECT_EQ(stored("SELECT NroDisco || '|' || NombrePrograma || '|' || Version || '|' || "
                     "Empresa || '|' || Licencia || '|' || Anio || '|' || Link || '|' || "
                     "hex(Comentario) FROM Programas WHERE NroPrograma = 85"),
              "3|Editor de textos|2.0|ACME|Shareware|2024|docs/Léeme ahora.txt|610D0A62");
    EXPECT_EQ(data().TProgramas.Fields(2).AsString(), "Editor de textos"); // the new row is current
    EXPECT_EQ(data().TProgDisc.RecordCount(), 85);
    ASSERT_TRUE(data().TProgDisc.FindRow("NombrePrograma", "Editor de textos", false));
    EXPECT_EQ(data().TProgDisc.Fields(1).AsString(), "Diseño gráfico"); // CD 3's description
}

TEST_F(ProgramWindowsTest, NumbersFollowTheLastProgram) {
    start(true, false, [](TempCatalogue &c) {
        c.exec("INSERT INTO Discos VALUES (1, 'Uno', '2026-01-01', NULL)");
    });
    auto save = [&](const char *name) {
        newProgram([&] {
            QTest::keyClicks(child<QLineEdit>(form4(), "Edit1"), name);
            child<QToolButton>(form4(), "SpeedButton1")->click();
        });
    };
    save("Primero");
    save("Segundo");
    EXPECT_EQ(stored("SELECT group_concat(NroPrograma || NombrePrograma) FROM Programas"),
              "1Primero,2Segundo");
    fake.dialogs.answers = {true};
    form1()->findChild<QToolButton *>("SpeedButton5")->click(); // deletes the current, last one
    save("Tercero");
    EXPECT_EQ(stored("SELECT group_concat(NroPrograma || NombrePrograma) FROM Programas"),
              "1Primero,2Tercero");
}

// Numbers past the 32-bit range are read whole: listed as stored, never wrapped into a number
// already in use. Our own catalogues refuse them, and the largest number has no next one: each
// says so, saves nothing and keeps what was typed.
TEST_F(ProgramWindowsTest, NumbersPastThirtyTwoBitsStayWholeOrAreRefused) {
    const struct {
        bool checks; // a catalogue of ours, with the checks on numbers
        const char *last;
        const char *stored;
        const char *refusal;
    } cases[] = {
        {false, "2147483647", "2147483647 2147483648 2147483649", nullptr},
        {true, "2147483647", "2147483647", "un número está fuera del rango"},
        {false, "9223372036854775807", "9223372036854775807",
         "el último programa tiene el número 9223372036854775807 "},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.stored);
        start(true, false, [&](TempCatalogue &c) {
            if (!test.checks)
                c.exec("PRAGMA foreign_keys = OFF; DROP VIEW ProgDisc; DROP TABLE Programas; "
                       "DROP TABLE Discos;" +
                       QString::fromUtf8(store::catalogueSchema())
                           .remove(QRegularExpression(QStringLiteral(" CHECK \\([^)]*\\)"))));
            c.exec(QStringLiteral("PRAGMA ignore_check_constraints = ON;"
                                  "INSERT INTO Discos VALUES (4294967297, 'Grande', NULL, NULL);"
                                  "INSERT INTO Programas VALUES (%1, 4294967297, 'Ultimo', '', "
                                  "'', '', 0, '', NULL)")
                       .arg(QLatin1String(test.last)));
        });
        fake.dialogs.boxes.clear();
        newProgram([&] {
            EXPECT_EQ(child<QComboBox>(form4(), "ComboBox2")->currentText(), "4294967297");
            for (const char *name : {"Uno", "Dos"}) {
                child<QLineEdit>(form4(), "Edit1")->clear();
                QTest::keyClicks(child<QLineEdit>(form4(), "Edit1"), name);
                child<QToolButton>(form4(), "SpeedButton1")->click();
            }
            if (test.refusal) {
                EXPECT_EQ(child<QLineEdit>(form4(), "Edit1")->text(), "Dos");
            }
        });
        EXPECT_EQ(stored("SELECT group_concat(NroPrograma, ' ') FROM Programas"), test.stored);
        if (test.refusal) {
            ASSERT_EQ(fake.dialogs.boxes.size(), 2u);
            EXPECT_EQ(fake.dialogs.boxes[0].kind, FakeDialogs::Box::Error);
            EXPECT_TRUE(fake.dialogs.boxes[0].text.contains(QString::fromUtf8(test.refusal)))
                << fake.dialogs.boxes[0].text.toStdString();
        }
    }
}

TEST_F(ProgramWindowsTest, ARefusedSaveSaysWhyAndKeepsTheInputsAndTheJoinedView) {
    start(true);
    newProgram([&] {
        QTest::keyClicks(child<QLineEdit>(form4(), "Edit1"), "Huerfano");
        catalogue->exec("DELETE FROM Discos WHERE NroDisco = 12"); // by another program
        child<QToolButton>(form4(), "SpeedButton1")->click();
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].text.toStdString(),
                  " No se pudo guardar el registro: el CD indicado no existe ");
        EXPECT_TRUE(form4()->isVisible());
        EXPECT_EQ(child<QLineEdit>(form4(), "Edit1")->text(), "Huerfano");
        EXPECT_EQ(child<QComboBox>(form4(), "ComboBox2")->currentText(), "12");
    });
    EXPECT_EQ(programs(), 84);
    EXPECT_EQ(data().TProgramas.RecordCount(), 84);
    EXPECT_TRUE(data().TProgDisc.Active());
    EXPECT_EQ(data().TProgDisc.RecordCount(), 84);
}

// The lists open on the stored licence (exact, case-sensitive) and CD; when none matches they
// show no selection and "ACEPTAR" keeps the stored value.
TEST_F(ProgramWindowsTest, ModifyOpensOnTheStoredLicenceAndCd) {
    start(true, true, [](TempCatalogue &c) {
        c.exec("UPDATE Programas SET Licencia = 'Shareware', NroDisco = 3 WHERE NroPrograma = 1;"
               "UPDATE Programas SET Licencia = 'freeware' WHERE NroPrograma = 2");
    });
    const struct {
        int program;
        const char *licence, *cd; // selected entries; "" for none
        const char *storedAfter;
    } cases[] = {{1, "Shareware", "3", "Shareware|3"}, {2, "", "1", "freeware|1"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.program);
        ASSERT_TRUE(data().TProgramas.FindRow("NroPrograma", c.program));
        modifyProgram([&] {
            EXPECT_EQ(child<QComboBox>(form6(), "ComboBox1")->currentText(), c.licence);
            EXPECT_EQ(child<QComboBox>(form6(), "ComboBox2")->currentText(), c.cd);
            EXPECT_EQ(child<QComboBox>(form6(), "ComboBox2")->count(), 12);
            EXPECT_EQ(form6()->focusWidget(), child<DBEdit>(form6(), "DBEdit1"));
            QTest::keyClicks(child<DBMemo>(form6(), "DBMemo1"), "Revisado. ");
            child<QToolButton>(form6(), "SpeedButton1")->click();
            EXPECT_FALSE(form6()->isVisible());
        });
        EXPECT_EQ(stored(QStringLiteral("SELECT Licencia || '|' || NroDisco || '|' || "
                                        "substr(Comentario, 1, 10) FROM Programas WHERE "
                                        "NroPrograma = %1")
                             .arg(c.program)),
                  QString::fromLatin1(c.storedAfter) + "|Revisado. ");
    }
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ProgramWindowsTest, ModifyWritesTheChangesAndMovesTheProgram) {
    start(true);
    data().TProgramas.FindRow("NroPrograma", 2); // WinRAR on CD 1
    modifyProgram([&] {
        retype(child<DBEdit>(form6(), "DBEdit1"), "WinRAR 5");
        retype(child<DBEdit>(form6(), "DBEdit5"), "");
        pick(child<QComboBox>(form6(), "ComboBox1"), "Trial");
        pick(child<QComboBox>(form6(), "ComboBox2"), "5");
        child<QToolButton>(form6(), "SpeedButton1")->click();
    });
    EXPECT_EQ(stored("SELECT NombrePrograma || '|' || Licencia || '|' || NroDisco || '|' || "
                     "ifnull(Anio, 'vacío') FROM Programas WHERE NroPrograma = 2"),
              "WinRAR 5|Trial|5|vacío");
    // The queries page lists it under its new CD.
    form1()->findChild<QAction *>("Consultas1")->trigger();
    auto *cds = form1()->findChild<QComboBox *>("ComboBox2");
    pick(cds, "5");
    emit cds->activated(cds->currentIndex());
    ASSERT_TRUE(data().TProgDisc.FindRow("NombrePrograma", "WinRAR 5", false));
    EXPECT_EQ(data().TProgDisc.Fields(0).AsInteger(), 5);
    EXPECT_EQ(data().TProgDisc.RecordCount(), 11);
}

// Whatever stops "ACEPTAR" leaves the window open with the edits pending and the joined view
// open; "CANCELAR" then brings the whole row back.
TEST_F(ProgramWindowsTest, AStoppedModifyKeepsTheEditsUntilCancel) {
    const struct {
        const char *what;
        std::function<void()> act;
        QString box;
    } cases[] = {
        {"empty name", [this] { retype(child<DBEdit>(form6(), "DBEdit1"), ""); }, kNoName},
        {"year that is no number", [this] { retype(child<DBEdit>(form6(), "DBEdit5"), "1-2"); },
         " '1-2' no es un número entero válido para el campo Anio "},
        {"CD deleted meanwhile",
         [this] {
             pick(child<QComboBox>(form6(), "ComboBox2"), "12");
             catalogue->exec("DELETE FROM Discos WHERE NroDisco = 12");
         },
         " No se pudo guardar el registro: el CD indicado no existe "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake.dialogs.boxes.clear();
        start(true);
        const QString before = stored("SELECT quote(NombrePrograma) || Version || Licencia || "
                                      "NroDisco || Anio FROM Programas WHERE NroPrograma = 1");
        modifyProgram([&] {
            QTest::keyClicks(child<DBEdit>(form6(), "DBEdit2"), "b");
            pick(child<QComboBox>(form6(), "ComboBox1"), "Warez");
            c.act();
            child<QToolButton>(form6(), "SpeedButton1")->click();
            ASSERT_EQ(boxes().size(), 1u);
            EXPECT_EQ(boxes()[0].text.toStdString(), c.box.toStdString());
            EXPECT_TRUE(form6()->isVisible());
            EXPECT_EQ(data().TProgramas.state(), TableCursor::State::Edit);
            EXPECT_TRUE(data().TProgDisc.Active());
            EXPECT_EQ(data().TProgDisc.RecordCount(), 84);
            child<QToolButton>(form6(), "SpeedButton2")->click();
        });
        EXPECT_EQ(data().TProgramas.state(), TableCursor::State::Browse);
        EXPECT_EQ(data().TProgramas.Fields(2).AsString(), "7-Zip");
        EXPECT_EQ(stored("SELECT quote(NombrePrograma) || Version || Licencia || NroDisco || "
                         "Anio FROM Programas WHERE NroPrograma = 1"),
                  before);
    }
}

TEST_F(ProgramWindowsTest, ModifyOnAnEmptyTableCreatesNoRowAndSaysSo) {
    start(true, false, [](TempCatalogue &c) {
        c.exec("INSERT INTO Discos VALUES (1, 'Uno', '2026-01-01', NULL)");
    });
    for (const char *typed : {"Fantasma", ""}) {
        SCOPED_TRACE(typed);
        fake.dialogs.boxes.clear();
        modifyProgram([&] {
            EXPECT_EQ(child<DBEdit>(form6(), "DBEdit1")->text(), "");
            QTest::keyClicks(child<DBEdit>(form6(), "DBEdit1"), typed);
            child<QToolButton>(form6(), "SpeedButton1")->click();
            EXPECT_FALSE(form6()->isVisible());
        });
        EXPECT_EQ(programs(), 0);
        EXPECT_EQ(data().TProgramas.RecordCount(), 0);
        // Not the missing name's error: there is nothing to modify, and it says so.
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].kind, FakeDialogs::Box::Information);
        EXPECT_EQ(boxes()[0].text, "\r\n No hay ningún programa para modificar: el catálogo "
                                   "todavía no tiene programas. \r\n");
    }
}
