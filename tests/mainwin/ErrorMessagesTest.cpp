#include "editors/ACd.h"
#include "editors/MCD.h"
#include "mainwin/cds_.h"
#include "platform/Guard.h"
#include "store/catalogue/Modulo.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "widgets/DBEdit.h"

#include "store/engine/SqliteEngine.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

// Each failure is caused for real in the running program; the test reads the box it ends in.
class ErrorMessagesTest : public AppFixture {
protected:
    void engine(const char *sql) {
        ASSERT_EQ(sqlite3_exec(store::engine::sqliteHandle(data().ADOConnection.handle()), sql,
                               nullptr, nullptr, nullptr),
                  SQLITE_OK)
            << sql;
    }
    void click(QWidget *window, const char *button) {
        window->findChild<QToolButton *>(QLatin1String(button))->click();
    }
    // Saves a new CD through the New CD window, as the user does.
    void saveNewCd() {
        fake.modal.inside = [this](QDialog *) {
            QTest::keyClicks(child<QLineEdit>(form2(), "Edit2"), QStringLiteral("Copia"));
            child<QPlainTextEdit>(form2(), "Memo1")
                ->setPlainText(QString(100000, u'x')); // more than the file has free
            click(form2(), "SpeedButton1");
        };
        click(form1(), "SpeedButton1");
        fake.modal.inside = nullptr;
    }
    QString file() { return u'"' + QDir::current().filePath(QStringLiteral("db.mdb")) + u'"'; }
};

} // namespace

TEST_F(ErrorMessagesTest, EveryFailureSaysInSpanishWhatFailed) {
    const struct {
        const char *what;
        bool withDatabase;
        std::function<void(TempCatalogue &)> arrange; // before the program opens the file
        std::function<void()> act;                    // in the running program
        QString box;                                  // %1: the catalogue file, quoted
        bool othersWrite = false;                     // another program changes the file meanwhile
    } cases[] = {
        {"not a database",
         false,
         [](TempCatalogue &c) {
             QFile garbage(c.dbPath());
             ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
             garbage.write(QByteArray("Standard Jet DB").repeated(400));
         },
         {},
         " El archivo %1 no es una base de datos válida o está dañado "},
        {"view missing",
         true,
         [](TempCatalogue &c) { c.exec("DROP VIEW ProgDisc"); },
         {},
         " La base de datos %1 no contiene la tabla o consulta ProgDisc "},
        {"view of another shape",
         true,
         [](TempCatalogue &c) {
             c.exec("DROP VIEW ProgDisc; CREATE VIEW ProgDisc AS SELECT p.NroDisco, "
                    "d.DescripcionDisco, p.NombrePrograma, p.Version, p.Empresa, p.Licencia, "
                    "p.Anio, p.Comentario, p.Link FROM Programas p LEFT JOIN Discos d ON "
                    "d.NroDisco = p.NroDisco");
         },
         {},
         " La tabla o consulta ProgDisc de la base de datos %1 no tiene el campo Link "},
        {"disk full",
         true,
         {},
         [this] {
             engine("PRAGMA max_page_count = 1");
             saveNewCd();
         },
         " No se puede escribir en la base de datos %1: el disco está lleno "},
        {"read-only",
         true,
         {},
         [this] {
             engine("PRAGMA query_only = 1");
             saveNewCd();
         },
         " No se puede escribir en la base de datos %1: el archivo o su carpeta son de sólo "
         "lectura "},
        {"locked by another program",
         true,
         {},
         [this] {
             data().Reads.finishBackgroundRead(); // its read lock would stop the other
             sqlite3_busy_timeout(store::engine::sqliteHandle(data().ADOConnection.handle()), 0);
             sqlite3 *other = nullptr;
             sqlite3_open(QFile::encodeName(catalogue->dbPath()).constData(), &other);
             sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
             saveNewCd();
             sqlite3_close(other);
         },
         " La base de datos %1 está bloqueada por otro programa; intente nuevamente "},
        {"number taken meanwhile",
         true,
         {},
         [this] {
             fake.modal.inside = [this](QDialog *) {
                 catalogue->exec("INSERT INTO Discos VALUES (13, 'Otro', '2026-01-01', NULL)");
                 click(form2(), "SpeedButton1");
             };
             click(form1(), "SpeedButton1");
         },
         " El número 13 ya lo usó otro programa; se propone el 14. Revise los datos y pulse "
         "ACEPTAR de nuevo. ",
         true},
        {"CD changed by another program meanwhile",
         true,
         {},
         [this] {
             data().TDiscos.GoLast();
             catalogue->exec("UPDATE Discos SET Comentario = 'otro' WHERE NroDisco = 12");
             fake.dialogs.answers = {true};
             click(form1(), "SpeedButton2");
         },
         " Otro programa cambió o borró este registro mientras usted lo tenía abierto; no se "
         "hizo ningún cambio. Los datos se leyeron de nuevo: revíselos antes de intentarlo otra "
         "vez (cambió el campo Comentario) ",
         true},
        {"program on a CD that is not there",
         true,
         {},
         [this] {
             platform::guarded(nullptr, [this] {
                 data().TProgramas.InsertRow({100, 999, "Huérfano", "", "", "Demo", 0, "", ""});
             });
         },
         " No se pudo guardar el registro: el CD indicado no existe "},
        {"program deletion refused by a trigger", true,
         [](TempCatalogue &c) {
             c.exec("CREATE TRIGGER keep BEFORE DELETE ON Programas "
                    "BEGIN SELECT RAISE(ABORT, 'no'); END");
         },
         [this] {
             fake.dialogs.answers = {true};
             click(form1(), "SpeedButton5");
         },
         " La base de datos no permitió eliminar el registro de Programas \r\n Detalle técnico: "
         "no "},
        {"a typed number that does not convert",
         true,
         {},
         [this] {
             DBEdit box(form1());
             QLineEdit other(form1());
             box.setDataSource(&data().DataDiscos);
             box.setDataField(QStringLiteral("NroDisco"));
             box.show();
             other.show();
             QApplication::setActiveWindow(form1());
             box.setFocus();
             box.selectAll();
             QTest::keyClicks(&box, "1-2");
             other.setFocus(); // the text reaches the field when the box loses focus
             data().TDiscos.CancelRow();
         },
         " '1-2' no es un número entero válido para el campo NroDisco "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake.dialogs.boxes.clear();
        start(c.withDatabase, true, c.arrange);
        const QByteArray before = catalogue->fileBytes();
        if (c.act)
            c.act();
        ASSERT_FALSE(fake.dialogs.boxes.empty());
        EXPECT_EQ(fake.dialogs.boxes.back().kind, FakeDialogs::Box::Error);
        EXPECT_EQ(fake.dialogs.boxes.back().text.toStdString(),
                  QString(c.box).replace("%1", file()).toStdString());
        if (!c.othersWrite) {
            EXPECT_TRUE(catalogue->fileBytes() == before); // a failure leaves the file as it was
        }
    }
}

// A catalogue deeper than the engine's longest path: the box says so, not "read-only".
TEST_F(ErrorMessagesTest, ACatalogueTooDeepForTheEngineSaysSo) {
    QByteArray deep;
    for (int level = 0; deep.size() < 600; ++level)
        deep += (level ? "/" : "") + QByteArray("una-carpeta-con-un-nombre-largo-") +
                QByteArray::number(level);
    const QByteArray folder = startInFolderNamed(deep);
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes[0].text,
              " No se puede abrir la base de datos \"" + QFile::decodeName(folder) +
                  "/db.mdb\": su ruta es más larga de lo que admite el motor de la base de datos "
                  "(512 bytes); lleve el catálogo a una carpeta de ruta más corta ");
}
