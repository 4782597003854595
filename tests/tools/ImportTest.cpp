// vadrel-db import on the legacy Access fixture, run as the user runs it: every row read back
// from the new catalogue, the refusals that leave nothing behind, a program whose CD the old
// file lacks, texts in UTF-8 whatever libmdb is told, and folders whose names are no valid text.
#include "RunTool.h"
#include "store/catalogue/Catalogue.h"
#include "support/Fixture.h"
#include "support/QtPrinters.h"
#include "support/TempCatalogue.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray fixture() {
    QFile file(legacyFixturePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Outcome {
    int status;
    QString out;
    QString err;
};

Outcome import(const QString &oldFile, const QString &directory) {
    QProcess process;
    process.start(QStringLiteral(VADREL_DB), {QStringLiteral("import"), oldFile, directory});
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// A value as SQL's quote() writes it: NULL, a number, or a text in quotes.
QString q(const char *text) {
    if (!text)
        return QStringLiteral("NULL");
    return u'\'' + QString::fromUtf8(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}
QString q(long long number) {
    return QString::number(number);
}

// Every row of a table, each as its quoted fields joined by tabs.
QStringList rows(const TempCatalogue &catalogue, const char *table, const QStringList &fields,
                 const char *key) {
    QString fieldList;
    for (const QString &field : fields)
        fieldList += (fieldList.isEmpty() ? QString() : QStringLiteral(" || char(9) || ")) +
                     QStringLiteral("quote(%1)").arg(field);
    return catalogue
        .queryText(QStringLiteral("SELECT group_concat(r, char(30)) FROM (SELECT %1 AS r FROM %2 "
                                  "ORDER BY %3)")
                       .arg(fieldList, QLatin1String(table), QLatin1String(key)))
        .split(QChar(30));
}

QString row(std::initializer_list<QString> fields) {
    return QStringList(fields).join(u'\t');
}

// CD 2's long memo: its stored length (42 000 bytes) and, in the byte after, its flags.
constexpr qsizetype kMemoFlags = 139190;
// The number of rows the table Programas says it holds (25), in its definition page.
constexpr qsizetype kProgramasRowCount = 27 * 4096 + 16;

QByteArray withByte(QByteArray bytes, qsizetype at, char value) {
    if (at < bytes.size())
        bytes[at] = value;
    return bytes;
}

const char *const kLongMemoSha256 =
    "f2798d290a24dda2842ed36c7aabc5d09cbe36bee448feac7cab3bdc14606ef3";

class ImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_OR_FAIL_WITHOUT_FIXTURE(!fixture().isEmpty(), legacyFixturePath());
    }
};

} // namespace

TEST_F(ImportTest, EveryRowOfTheFixtureComesAcrossAsItWas) {
    TempCatalogue catalogue(false, false);
    const QByteArray before = fixture();
    const Outcome run = import(legacyFixturePath(), catalogue.dir());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Read 6 CDs and 25 programs")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Wrote 6 CDs and 25 programs")) << run.out.toStdString();
    EXPECT_TRUE(fixture() == before); // only ever read
    EXPECT_EQ(catalogue.queryText("PRAGMA integrity_check"), "ok");
    // Exactly as init makes it: the same tables, checks and view.
    EXPECT_EQ(catalogue.queryText("SELECT group_concat(sql, ';') FROM sqlite_schema"), [] {
        TempCatalogue fresh(false);
        return fresh.queryText("SELECT group_concat(sql, ';') FROM sqlite_schema");
    }());

    const QString memo1 = QStringLiteral("Recopilación de utilidades para Windows 98.\r\nIncluye "
                                         "compresores y antivirus.\r\nRevisado en diciembre.");
    EXPECT_EQ(
        rows(catalogue, "Discos",
             {"NroDisco", "DescripcionDisco", "FechaDisco",
              "CASE WHEN NroDisco = 2 THEN length(Comentario) ELSE Comentario END"},
             "NroDisco"),
        QStringList({
            row({q(1), q("Utilidades año 2003"), q("1899-12-30"), q(memo1.toUtf8().constData())}),
            row({q(2), q("Gráficos y diseño"), q("2004-02-29"), q(21000)}),
            row({q(3), q("Juegos clásicos"), q("2003-12-31 23:59:00"),
                 q("Precio: 12 € ✓ revisado. Edición japonesa: 日本")}),
            row({q(5), q("Programación (C++, Pascal; SQL)"), q("1998-07-15"),
                 q("Copiado del CD \"Súper Utilidades\" de O'Brien.\r\nSegunda línea: "
                   "¿funciona? ¡Sí!")}),
            row({q(8), q(nullptr), q("2038-01-19 03:14:08"),
                 q("Disco sin etiqueta; contenido sin clasificar.")}),
            row({q(9), q("Controladores e impresoras"), q("2002-05-20 10:30:00"), q(nullptr)}),
        }));
    // The long memo whole: its lines, its end and its digest.
    const QByteArray memo =
        catalogue.queryText("SELECT Comentario FROM Discos WHERE NroDisco = 2").toUtf8();
    EXPECT_EQ(memo.size(), 22902);
    EXPECT_EQ(memo.count("\r\n"), 319);
    EXPECT_TRUE(memo.startsWith("INICIO\r\nLínea 00001: ") && memo.endsWith(".\r\nFIN"));
    EXPECT_EQ(QCryptographicHash::hash(memo, QCryptographicHash::Sha256).toHex(), kLongMemoSha256);

    const QString link25 = QStringLiteral("https://descargas.example.com/controladores/sonido/") +
                           QString(179, u'x') + QStringLiteral("/instalar-controlador.zip");
    ASSERT_EQ(link25.size(), 255);
    const auto p = [](long long n, long long cd, const char *name, const char *version,
                      const char *company, const char *licence, const long long *year,
                      const char *link, const char *comment) {
        return row({q(n), q(cd), q(name), q(version), q(company), q(licence),
                    year ? q(*year) : q(nullptr), q(link), q(comment)});
    };
    const long long y[] = {2003, 2002, 2001, 0, 2004, 1998, 1999, 1997, 1996, -1, 2000};
    enum { Y2003, Y2002, Y2001, Y0, Y2004, Y1998, Y1999, Y1997, Y1996, YM1, Y2000 };
    EXPECT_EQ(
        rows(catalogue, "Programas",
             QStringLiteral("NroPrograma NroDisco NombrePrograma Version Empresa Licencia Anio "
                            "Link Comentario")
                 .split(u' '),
             "NroPrograma"),
        QStringList({
            p(1, 1, "Compresor Rápido", "2.1", "Señal Software S.L.", "Freeware", &y[Y2003],
              "http://www.senal-software.example/compresor", "Comprime ficheros ZIP y ARJ."),
            p(2, 1, "Antivirus Centinela", "7.0 SP2", "Centinela Seguridad", "Comercial", &y[Y2003],
              "https://centinela.example.com/descargas",
              "Licencia para un puesto.\r\nCaduca en 2004."),
            p(3, 1, "Limpiador de Registro", "1.05", "Utilidades Ibéricas", "Shareware", &y[Y2002],
              "http://utilidades-ibericas.example.net/limpiador.html", nullptr),
            p(4, 1, "Gestor de Arranque", "0.9 beta", nullptr, "freeware", &y[Y2001], nullptr,
              "Licencia escrita en minúsculas a propósito."),
            p(5, 1, "Reloj Atómico", "3.2", "Hora Exacta", "Trial", &y[Y0],
              "C:\\Programas\\setup.exe", "Año desconocido: se guardó como 0."),
            p(6, 2, "Pincel Mágico", "5.5", "Estudio Ñandú", "Comercial", &y[Y2004],
              "https://pincel.example.es/", "Editor de mapas de bits."),
            p(7, 2, "Vector Diseño", "2004", "Trazos S.A.", "Demo", &y[Y2004],
              "http://trazos.example.com/demo", "Demo limitada a 30 días."),
            p(8, 2, "Visor de Imágenes", "1.0", "Juan Pérez", "Freeware", &y[Y1998],
              "http://visor.example.org/", nullptr),
            p(9, 2, "   ", "1.0", nullptr, "Warez", nullptr, nullptr,
              "Nombre en blanco: solo tres espacios."),
            p(10, 2, "Iconos y Cursores", "2.0", "Diseños Güemes", "Shareware", &y[Y1999],
              "http://iconos.example.com/", nullptr),
            p(11, 2, "Conversor de Formatos Gráficos", "3.1", "Trazos S.A.", "Trial", &y[Y2004],
              "https://trazos.example.com/conversor", "Versión de prueba de 15 días."),
            p(12, 3, "Ajedrez Clásico", "1.2", "Tablero Soft", "Freeware", &y[Y1998],
              "http://ajedrez.example.com/", nullptr),
            p(13, 3, "Buscaminas Plus", "4.0", "Tablero Soft", "Shareware", &y[Y2000],
              "http://tablero.example.com/buscaminas", nullptr),
            p(14, 3, "Aventura en la Cueva", "1.0", "Espeleo Juegos", "Demo", &y[Y1997],
              "https://espeleo.example.net/cueva", "Solo el primer nivel."),
            p(15, 3, "Carreras 3D", "2003", "Velocidad Digital", "Warez", &y[Y2003], nullptr,
              "Copia sin licencia encontrada en el disco."),
            p(16, 3, "Solitario Español", "1.1", "Naipes S.L.", nullptr, &y[Y1996],
              "http://naipes.example.com/", "Licencia desconocida (nula)."),
            p(17, 3, "Bloques que Caen", "0.1", nullptr, "Freeware", &y[YM1],
              "https://bloques.example.org/", "Año -1 por error de captura."),
            p(18, 5, "Compilador Pascal Libre", "1.0.10", "Grupo Pascal", "Freeware", &y[Y2003],
              "https://pascal.example.org/", nullptr),
            p(19, 5, "Entorno C++ Estudiante", "6.0", "Compiladores Unidos", "Comercial", &y[Y1998],
              "http://compiladores.example.com/estudiante", nullptr),
            p(20, 5, "Depurador Visual", "2.3", "Compiladores Unidos", "Trial", &y[Y2002],
              "http://compiladores.example.com/depurador", "Caduca a los 30 días."),
            p(21, 5, "Editor de Textos Ñu", "1.4", "Ñu Software", "Shareware", &y[Y2004],
              "https://nu.example.es/editor", nullptr),
            p(22, 5, "Curso completo de programación orientada a objetos", "2.0",
              "Academia Digital", "Comercial", &y[Y2004], nullptr,
              "Nombre de exactamente 50 caracteres."),
            p(23, 8, "Programa sin identificar", nullptr, nullptr, "Demo", &y[Y1998], nullptr,
              nullptr),
            p(24, 8, "Instalador Desconocido", "?", nullptr, "Warez", &y[Y2000],
              "http://warez.example.invalid/instalador", nullptr),
            p(25, 8, "Controlador de Sonido", "1.0", "Audio Ibérica", "Freeware", &y[Y2004],
              link25.toUtf8().constData(), "Enlace de exactamente 255 caracteres."),
        }));
}

// Each refusal says why, exits with 1 and leaves the folder as it was; the old file is only read.
TEST_F(ImportTest, RefusalsSayWhyAndLeaveNothingBehind) {
    const QByteArray original = fixture();
    auto utf16 = [](const char *text) {
        const QString s = QString::fromLatin1(text);
        return QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2);
    };
    const struct {
        const char *what;
        QByteArray old;   // the old file's bytes
        bool catalogue;   // the folder already holds a db.mdb
        const char *said; // part of the message
    } cases[] = {
        {"a catalogue already there", original, true, "db.mdb already exists"},
        {"a text file", "NroDisco;DescripcionDisco\r\n1;Uno\r\n", false,
         "is not a Microsoft Access file"},
        {"an SQLite catalogue",
         [] {
             TempCatalogue ours(true);
             return ours.fileBytes();
         }(),
         false, "is not a Microsoft Access file"},
        {"no table Programas",
         QByteArray(original)
             .replace("Programas", "Programaz")
             .replace(utf16("Programas"), utf16("Programaz")),
         false, "has no table Programas"},
        {"no column Link", QByteArray(original).replace(utf16("Link"), utf16("Lino")), false,
         "the table Programas of"},
        // The library reads past the end without a word: the tables' own counts tell.
        // Cut inside CD 2's long memo, whose pages then end early.
        {"a file cut short", original.left(150000), false,
         "/viejo.mdb is damaged: its stored length is 42000 bytes, but the file gives 8144\n"},
        // CD 2's memo claiming a gigabyte: refused, not read into a buffer that size.
        {"a memo length out of bounds",
         QByteArray(original).replace(QByteArray("\x10\xa4\x00\x00", 4),
                                      QByteArray("\xff\xff\xff\x3f", 4)),
         false,
         "the memo in the column Comentario of the row with NroDisco 2 of the table Discos of "},
        // One bit of the same memo's flags: the library would hand over an empty text or a NUL.
        {"a memo said to lie within its row", withByte(original, kMemoFlags, '\x80'), false,
         "/viejo.mdb is damaged: its stored length is 42000 bytes, but the file gives 0\n"},
        {"a memo said to fill one page", withByte(original, kMemoFlags, '\x40'), false,
         "/viejo.mdb is damaged: its stored length is 42000 bytes, but the file gives 4076\n"},
        // The table's own count of its rows, in its definition page, against what was read.
        {"a table that counts fewer rows than it holds",
         withByte(original, kProgramasRowCount, '\x14'), false,
         "/viejo.mdb counts 20 rows, but 25 were read: the file is damaged\n"},
        // A bit the library takes for a flag it does not know, and for us is part of the length.
        {"a memo with flags the library does not know", withByte(original, kMemoFlags, '\x20'),
         false,
         "/viejo.mdb is damaged: its stored length is 536912912 bytes, but the file gives 0\n"},
        {"a table that counts more rows than it holds",
         withByte(original, kProgramasRowCount, '\x28'), false,
         "/viejo.mdb counts 40 rows, but 25 were read: the file is damaged\n"},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.what);
        QTemporaryDir source, target;
        const QString oldFile = QDir(source.path()).filePath(QStringLiteral("viejo.mdb"));
        QFile file(oldFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(test.old) == test.old.size());
        file.close();
        std::unique_ptr<TempCatalogue> existing;
        QString directory = target.path();
        if (test.catalogue) {
            existing = std::make_unique<TempCatalogue>(true);
            directory = existing->dir();
        }
        const QStringList before =
            QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        const QByteArray catalogueBefore = existing ? existing->fileBytes() : QByteArray();

        const Outcome run = import(oldFile, directory);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(test.said))) << run.err.toStdString();
        EXPECT_EQ(QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  before);
        if (existing) {
            EXPECT_TRUE(existing->fileBytes() == catalogueBefore);
        }
        QFile again(oldFile);
        ASSERT_TRUE(again.open(QIODevice::ReadOnly));
        EXPECT_TRUE(again.readAll() == test.old);
    }
}

// An old file without the relation may hold programs on a CD it lacks (here CD 8 renumbered to
// 7 behind the relation's back): the programs are kept, and the CD is made and listed.
TEST_F(ImportTest, AProgramWhoseCdIsMissingGetsItsCd) {
    QByteArray old = fixture();
    const double cd8Date = 50424.13481481482; // unique in the file, right after CD 8's number
    const qsizetype at = old.indexOf(QByteArray(reinterpret_cast<const char *>(&cd8Date), 8));
    ASSERT_GT(at, 4);
    ASSERT_EQ(old.mid(at - 4, 4), QByteArray("\x08\x00\x00\x00", 4));
    old[at - 4] = '\x07';
    QTemporaryDir source;
    const QString oldFile = QDir(source.path()).filePath(QStringLiteral("viejo.mdb"));
    QFile file(oldFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    file.close();

    TempCatalogue catalogue(false, false);
    const Outcome run = import(oldFile, catalogue.dir());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Added CD 8")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Read 6 CDs and 25 programs")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Wrote 7 CDs and 25 programs")) << run.out.toStdString();
    EXPECT_EQ(rows(catalogue, "Discos", {"NroDisco", "DescripcionDisco", "FechaDisco"}, "NroDisco")
                  .mid(4, 2),
              QStringList({row({q(7), q(nullptr), q("2038-01-19 03:14:08")}),
                           row({q(8), q(""), q("1899-12-30")})}));
    EXPECT_TRUE(catalogue.queryText("SELECT Comentario FROM Discos WHERE NroDisco = 8")
                    .startsWith(QStringLiteral("Añadido al importar")));
    EXPECT_EQ(catalogue.queryText("SELECT group_concat(NroPrograma) FROM Programas WHERE "
                                  "NroDisco = 8"),
              "23,24,25");
}

// mdbtools' own commands write texts in the code set MDBICONV names; a user who set it for them
// must still get a catalogue in UTF-8.
TEST_F(ImportTest, TextsComeAcrossInUtf8WhateverMdbiconvSays) {
    TempCatalogue catalogue(false, false);
    qputenv("MDBICONV", "ISO-8859-1");
    const ToolRun run = runTool(VADREL_DB, {"import", QFile::encodeName(legacyFixturePath()),
                                            QFile::encodeName(catalogue.dir())});
    qunsetenv("MDBICONV");
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(catalogue.queryText("SELECT hex(DescripcionDisco) FROM Discos WHERE NroDisco = 1"),
              QString::fromLatin1(QByteArray("Utilidades año 2003").toHex().toUpper()));
}

// The old file and the new catalogue in folders whose names are no valid text (Latin-1, from an
// older system), given as the shell gives them; a relative old file is read from where the user
// was, though the import goes on inside the new folder.
TEST_F(ImportTest, FolderNamesThatAreNoValidText) {
    const QByteArray old = fixture();
    const QByteArray oldFolder = "dep\xf3sito", target = "caf\xe9";
    for (const bool relative : {false, true}) {
        SCOPED_TRACE(relative ? "relative paths" : "absolute paths");
        ByteTempDir parent;
        const QByteArray root = parent.path();
        ASSERT_EQ(::mkdir((root + '/' + oldFolder).constData(), 0777), 0);
        ASSERT_EQ(::mkdir((root + '/' + target).constData(), 0777), 0);
        ASSERT_TRUE(writeFile(root + '/' + oldFolder + "/viejo.mdb", old));
        const QByteArray base = relative ? QByteArray() : root + '/';
        const QByteArray oldFile = base + oldFolder + "/viejo.mdb", folder = base + target;

        const ToolRun run = runTool(VADREL_DB, {"import", oldFile, folder}, root);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, "Read 6 CDs and 25 programs from " + oldFile +
                               "\nWrote 6 CDs and 25 programs into " + folder +
                               "/db.mdb\nWrote the help pages into " + folder + "/ayuda\n");
        EXPECT_TRUE(store::catalogueHolds(root + '/' + target + "/db.mdb", 6, 25));
        EXPECT_TRUE(isFile(root + '/' + target + "/ayuda/ayuda.htm"));
        EXPECT_EQ(entries(root), std::set<QByteArray>({oldFolder, target}));
        EXPECT_EQ(entries(root + '/' + oldFolder), std::set<QByteArray>({"viejo.mdb"}));
        EXPECT_TRUE(readFile(root + '/' + oldFolder + "/viejo.mdb") == old);

        // Refused again, naming the folder as typed, the catalogue untouched.
        const QByteArray made = readFile(root + '/' + target + "/db.mdb");
        const ToolRun again = runTool(VADREL_DB, {"import", oldFile, folder}, root);
        EXPECT_EQ(again.status, 1);
        EXPECT_EQ(again.err, "vadrel-db: " + folder +
                                 "/db.mdb already exists; it was left "
                                 "untouched\n");
        EXPECT_TRUE(readFile(root + '/' + target + "/db.mdb") == made);
    }

    // An old file that is not there: refused, nothing made in the folder.
    ByteTempDir parent;
    const QByteArray folder = parent.path() + '/' + target;
    ASSERT_EQ(::mkdir(folder.constData(), 0777), 0);
    const ToolRun run = runTool(VADREL_DB, {"import", folder + "/nada.mdb", folder});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.startsWith("vadrel-db: ") && run.err.endsWith("nada.mdb does not exist\n"))
        << run.err.toStdString();
    EXPECT_TRUE(entries(folder).empty());
}

// An old file that is no file at all is named for what it is; a FIFO is never waited on.
TEST_F(ImportTest, AnOldFileThatIsNoFileIsNamedForWhatItIs) {
    ByteTempDir parent;
    const QByteArray root = parent.path();
    ASSERT_EQ(::mkdir((root + "/carpeta.mdb").constData(), 0777), 0);
    ASSERT_EQ(::mkfifo((root + "/tubo.mdb").constData(), 0666), 0);
    ASSERT_EQ(::mkdir((root + "/destino").constData(), 0777), 0);
    const struct {
        const char *old;
        QByteArray said;
    } cases[] = {
        {"carpeta.mdb", "vadrel-db: " + root + "/carpeta.mdb is a folder, not an Access file\n"},
        {"tubo.mdb", "vadrel-db: " + root + "/tubo.mdb is not a regular file\n"},
        {"nada.mdb", "vadrel-db: " + root + "/nada.mdb does not exist\n"},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.old);
        QProcess process;
        process.start(QStringLiteral(VADREL_DB),
                      {QStringLiteral("import"), QFile::decodeName(root + '/' + test.old),
                       QFile::decodeName(root + "/destino")});
        ASSERT_TRUE(process.waitForFinished(20000)) << "still waiting";
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_EQ(process.readAllStandardError(), test.said);
        EXPECT_TRUE(entries(root + "/destino").empty());
    }
}

// The disk fills up after the catalogue was written, while the help pages are: the import
// fails and takes its catalogue away again; an ayuda already there is neither needed nor
// touched.
TEST_F(ImportTest, AFailureAfterTheCatalogueWasWrittenLeavesNothing) {
    ByteTempDir parent;
    const QByteArray folder = parent.path() + "/nuevo";
    ASSERT_EQ(::mkdir(folder.constData(), 0777), 0);
    const QByteArray asan = qgetenv("ASAN_OPTIONS");
    qputenv("LD_PRELOAD", VADREL_NO_ROOM_FOR_HELP);
    // The sanitized build's runtime must otherwise come first.
    qputenv("ASAN_OPTIONS", asan + (asan.isEmpty() ? "" : ":") + "verify_asan_link_order=0");
    const ToolRun run =
        runTool(VADREL_DB, {"import", QFile::encodeName(legacyFixturePath()), folder});
    const std::set<QByteArray> left = entries(folder);
    ASSERT_EQ(::mkdir((folder + "/ayuda").constData(), 0777), 0);
    ASSERT_TRUE(writeFile(folder + "/ayuda/mia.htm", "<p>mine</p>"));
    const ToolRun kept =
        runTool(VADREL_DB, {"import", QFile::encodeName(legacyFixturePath()), folder});
    qunsetenv("LD_PRELOAD");
    if (asan.isEmpty())
        qunsetenv("ASAN_OPTIONS");
    else
        qputenv("ASAN_OPTIONS", asan);

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "vadrel-db: cannot write in the folder " + folder + ": No space left on device\n");
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_TRUE(left.empty());
    ASSERT_EQ(kept.status, 0) << kept.err.toStdString();
    EXPECT_EQ(entries(folder), std::set<QByteArray>({"ayuda", "db.mdb"}));
    EXPECT_EQ(entries(folder + "/ayuda"), std::set<QByteArray>({"mia.htm"}));
    EXPECT_TRUE(store::catalogueHolds(folder + "/db.mdb", 6, 25));
}
