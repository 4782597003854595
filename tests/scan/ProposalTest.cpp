// What reading a disc proposes: the fixture disc catalogued as its README says a person would,
// through `vadrel-db scan` as scripts call it, and the rules that read words, years and text files.
#include "../tools/RunTool.h"
#include "DiscImages.h"
#include "store/disc/ProposalJson.h"
#include "support/Fixture.h"
#include "vadrel-db/scan/DescriptionFiles.h"
#include "vadrel-db/scan/Proposer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kFixtures = QStringLiteral(VADREL_DISC_FIXTURES);

// The fixture's folder copied with the times its README gives: a copy of the repository need
// not keep them.
QByteArray folderCopy(const QTemporaryDir &temporary) {
    const QString from = kFixtures + QStringLiteral("/revista-marzo-2004");
    const QString to = temporary.path() + QStringLiteral("/revista-marzo-2004");
    const QDateTime disc(QDate(2004, 3, 15), QTime(12, 0), Qt::UTC);
    const std::map<QString, QDateTime> own{
        {QStringLiteral("COMPRESOR/SETUP.EXE"),
         QDateTime(QDate(2003, 11, 20), QTime(12, 0), Qt::UTC)},
        {QStringLiteral("UTILES/FILE_ID.DIZ"), QDateTime(QDate(2002, 6, 1), QTime(12, 0), Qt::UTC)},
        {QStringLiteral("UTILES/LIMPIA23.ZIP"),
         QDateTime(QDate(2002, 6, 1), QTime(12, 0), Qt::UTC)}};
    QDir().mkpath(to);
    for (QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        const QString relative = QDir(from).relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            QDir().mkpath(to + u'/' + relative);
            continue;
        }
        QFile::copy(path, to + u'/' + relative);
        QFile copy(to + u'/' + relative);
        copy.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        copy.open(QIODevice::ReadWrite);
        const auto time = own.find(relative);
        copy.setFileTime(time == own.end() ? disc : time->second,
                         QFileDevice::FileModificationTime);
    }
    return QFile::encodeName(to);
}

struct Expected {
    const char *origin;
    const char *name;
    const char *version;
    const char *publisher;
    const char *licence;
    std::optional<int> year; // nothing: not fixed by what the disc says
    const char *link;
    bool checked;
    const char *inComment;
};

// The README's table: what a person cataloguing the disc would record.
const Expected kFixtureTable[] = {
    {"MENU.EXE", "Menú Revista", "1.0", "Revista Ejemplo", nullptr, {}, "", false, "MENU.EXE"},
    {"COMPRESOR/SETUP.EXE", "CompresorX", "8.1", "Ejemplo Software S.A.", "Trial", 2003, "", true,
     "Versión de evaluación de 30 días"},
    {"JUEGOS/AJEDREZ/AJEDREZ.EXE",
     "Ajedrez",
     "",
     "",
     "Freeware",
     {},
     "",
     true,
     "Ajedrez en 3D para dos jugadores"},
    // Its maintainer packaged it; the package names no one who made it.
    {"LINUX/editor-texto_1.4-2_all.deb",
     "editor-texto",
     "1.4-2",
     "",
     "Freeware",
     {},
     "https://editor.example.org/",
     true,
     "Editor de textos sencillo"},
    {"OFIMATICA/SUITE.MSI",
     "Suite Ofimática Libre",
     "2.0.1",
     "Comunidad Ofimática",
     nullptr,
     {},
     "",
     true,
     "Procesador de textos y hoja de cálculo"},
    {"UTILES/LIMPIA23.ZIP", "Limpiador de disco", "2.3", "Utiles Ltda.", "Shareware", 2002, "",
     true, "registre su copia"},
};

class FixtureScan : public ::testing::TestWithParam<bool> {};

TEST_P(FixtureScan, ProposesWhatAPersonWouldRecord) {
    SKIP_OR_FAIL_WITHOUT_FIXTURE(QFile::exists(kFixtures), kFixtures);
    QTemporaryDir temporary;
    const bool image = GetParam();
    const QByteArray source =
        image ? QFile::encodeName(kFixtures) + "/revista-marzo-2004.iso" : folderCopy(temporary);
    const ToolRun run = runTool(VADREL_DB, {"scan", source});
    ASSERT_EQ(run.status, 0) << run.err.constData();

    // Every line is a JSON object of its own, the CD first.
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    for (const QByteArray &line : lines)
        EXPECT_TRUE(QJsonDocument::fromJson(line).isObject()) << line.constData();
    ASSERT_TRUE(QJsonDocument::fromJson(lines.first()).object().contains(QStringLiteral("cd")));

    const disc::Proposal proposal = disc::readProposal(run.out);
    EXPECT_EQ(proposal.cd.description, QStringLiteral("Revista Marzo 2004"));
    EXPECT_EQ(proposal.cd.date, QDate(2004, 3, 15));
    ASSERT_EQ(proposal.programs.size(), std::size(kFixtureTable));
    for (size_t i = 0; i < proposal.programs.size(); ++i) {
        const disc::ProposedProgram &got = proposal.programs[i];
        const Expected &want = kFixtureTable[i];
        SCOPED_TRACE(want.origin);
        EXPECT_EQ(got.origin, QString::fromUtf8(want.origin));
        EXPECT_EQ(got.name, QString::fromUtf8(want.name));
        EXPECT_EQ(got.version, QString::fromUtf8(want.version));
        EXPECT_EQ(got.publisher, QString::fromUtf8(want.publisher));
        if (want.licence) {
            EXPECT_EQ(got.licence, QString::fromUtf8(want.licence));
        }
        if (want.year) {
            EXPECT_EQ(got.year, want.year);
        }
        EXPECT_EQ(got.link, QString::fromUtf8(want.link));
        EXPECT_EQ(got.checked, want.checked);
        EXPECT_TRUE(got.comment.contains(QString::fromUtf8(want.inComment)))
            << got.comment.toStdString();
        EXPECT_TRUE(got.comment.contains(QStringLiteral("En el disco: ") + got.origin));
    }
}

INSTANTIATE_TEST_SUITE_P(ImageAndFolder, FixtureScan, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "Image" : "Folder"; });

TEST(ScanCommand, RefusesWhatIsNoDisc) {
    QTemporaryDir temporary;
    const QByteArray text = QFile::encodeName(temporary.path()) + "/notas.txt";
    QFile file(QFile::decodeName(text));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("no es un disco\n");
    file.close();
    for (const QByteArray &source : {text, QFile::encodeName(temporary.path()) + "/falta.iso"}) {
        const ToolRun run = runTool(VADREL_DB, {"scan", source});
        EXPECT_EQ(run.status, 1) << source.constData();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(source)) << run.err.constData();
    }
}

// A folder disc with a link leading off it, folders nested past the deepest level read and a
// label holding escape sequences: nothing of the computer's own is read, what was left out is
// said in scan's output, on stderr and in add-disc's report, and the terminal never gets the
// label's raw control characters.
TEST(ScanCommand, SaysWhatItLeftOutAndKeepsOffTheComputer) {
    QTemporaryDir temporary;
    const QByteArray base = QFile::encodeName(temporary.path());
    const QByteArray discFolder = base + "/REV\x1b]0;x\x07ISTA\x1b[2J";
    QByteArray deep = discFolder + "/PROFUNDO";
    for (int level = 0; level < 80; ++level)
        deep += "/d";
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(deep)));
    QFile secret(QFile::decodeName(base + "/passwd"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly) && secret.write("root:x:0:0:secreto\n") > 0);
    secret.close();
    ASSERT_EQ(::symlink((base + "/passwd").constData(), (discFolder + "/FILE_ID.DIZ").constData()),
              0);

    const ToolRun scan = runTool(VADREL_DB, {"scan", discFolder});
    ASSERT_EQ(scan.status, 0) << scan.err.constData();
    EXPECT_FALSE(scan.out.contains("secreto"));
    EXPECT_TRUE(scan.out.trimmed().split('\n').last().startsWith("{\"sin_leer\""));
    const disc::Proposal proposal = disc::readProposal(scan.out);
    QStringList said;
    for (const disc::UnreadPart &part : proposal.unread)
        said << part.path.left(12) + u':' + part.why;
    ASSERT_EQ(said.size(), 2) << said.join('|').toStdString();
    EXPECT_TRUE(said[0].startsWith(QStringLiteral("FILE_ID.DIZ:enlace"))) << said[0].toStdString();
    EXPECT_TRUE(said[1].startsWith(QStringLiteral("PROFUNDO/d/d:carpeta a más de")))
        << said[1].toStdString();
    EXPECT_TRUE(scan.err.contains("not read: FILE_ID.DIZ")) << scan.err.constData();

    const QByteArray catalogue = base + "/catalogo";
    ASSERT_EQ(runTool(VADREL_DB, {"init", catalogue}).status, 0);
    const ToolRun add = runTool(VADREL_DB, {"add-disc", catalogue, discFolder});
    ASSERT_EQ(add.status, 0) << add.err.constData();
    EXPECT_TRUE(add.out.contains("REV\\x1b]0;x\\x07ISTA\\x1b[2J")) << add.out.constData();
    EXPECT_FALSE(add.out.contains('\x1b') || add.err.contains('\x1b'));
    EXPECT_TRUE(add.err.contains("not read: FILE_ID.DIZ")) << add.err.constData();
}

// Latin-1 names, as a Windows of the time wrote them on a folder or a Rock Ridge disc, give the
// program the name a person reads, never U+FFFD.
TEST(ScanCommand, Latin1NamesReadAsTheirCodePage) {
    DiscImages disc;
    ASSERT_TRUE(disc.put("Dise\xf1o Gr\xe1"
                         "fico/SETUP.EXE",
                         "MZ"));
    DiscImages::Options rockRidge;
    rockRidge.joliet = false;
    for (const QByteArray &source : {disc.folder(), disc.makeImage("latin1.iso", rockRidge)}) {
        SCOPED_TRACE(source.constData());
        const ToolRun run = runTool(VADREL_DB, {"scan", source});
        ASSERT_EQ(run.status, 0) << run.err.constData();
        const disc::Proposal proposal = disc::readProposal(run.out);
        ASSERT_EQ(proposal.programs.size(), 1u);
        EXPECT_EQ(proposal.programs[0].name, QStringLiteral("Diseño Gráfico"));
        EXPECT_EQ(proposal.programs[0].origin, QStringLiteral("Diseño Gráfico/SETUP.EXE"));
    }
}

// Discs a user may well put in: each ends in a proposal, never a crash or a hang, and what
// could not be read is proposed by its folder's name with a word saying so.
TEST(HostileDiscs, EndInAProposal) {
    SKIP_OR_FAIL_WITHOUT_FIXTURE(QFile::exists(kFixtures), kFixtures);
    QFile setupFile(kFixtures + QStringLiteral("/revista-marzo-2004/COMPRESOR/SETUP.EXE"));
    ASSERT_TRUE(setupFile.open(QIODevice::ReadOnly));
    const QByteArray setup = setupFile.readAll();

    DiscImages disc;
    ASSERT_TRUE(disc.put("ROTO/SETUP.EXE", setup.left(setup.size() / 3)));
    ASSERT_TRUE(disc.put("Programas útiles/Mi programa/INSTALAR.EXE", setup));
    ASSERT_TRUE(disc.put("VACIO/LEAME.TXT", "nada"));
    const QByteArray image = disc.makeImage("hostil.iso");
    ASSERT_FALSE(image.isEmpty());
    QFile cut(QFile::decodeName(disc.makeImage("cortado.iso")));
    ASSERT_TRUE(cut.resize(cut.size() - 20 * 1024));
    // Only in the folder: a 2 GB program (sparse, so cheap) and a loop of links.
    ASSERT_TRUE(disc.put("GRANDE.EXE", "MZ"));
    ASSERT_TRUE(QFile(QFile::decodeName(disc.folder()) + QStringLiteral("/GRANDE.EXE"))
                    .resize(qint64(2) << 30));
    ASSERT_EQ(::symlink("..", (disc.folder() + "/VACIO/arriba").constData()), 0);

    const struct {
        QByteArray source;
        int programs;
    } cases[] = {{image, 2}, {QFile::encodeName(cut.fileName()), -1}, {disc.folder(), 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.source.constData());
        const ToolRun run = runTool(VADREL_DB, {"scan", c.source});
        ASSERT_EQ(run.status, 0) << run.err.constData();
        const disc::Proposal proposal = disc::readProposal(run.out);
        if (c.programs >= 0) {
            ASSERT_EQ(int(proposal.programs.size()), c.programs);
        }
        for (const disc::ProposedProgram &program : proposal.programs) {
            if (program.origin == u"ROTO/SETUP.EXE" || program.origin == u"GRANDE.EXE") {
                EXPECT_EQ(program.name, program.origin == u"GRANDE.EXE" ? u"Grande" : u"Roto");
                EXPECT_TRUE(program.comment.startsWith(QStringLiteral("Archivo dañado")));
                EXPECT_FALSE(program.checked);
            } else {
                EXPECT_EQ(program.name, QStringLiteral("CompresorX"));
                EXPECT_EQ(program.origin,
                          QStringLiteral("Programas útiles/Mi programa/INSTALAR.EXE"));
            }
        }
    }
}

TEST(ProposalRules, LicenceFromTheDiscsWords) {
    const struct {
        const char *words;
        const char *licence;
    } cases[] = {
        {"Versión de evaluación de 30 días", "Trial"},
        {"TRIAL VERSION", "Trial"},
        {"Demo jugable del primer nivel", "Demo"},
        {"Shareware: registre su copia.", "Shareware"},
        {"Shareware, 30 días de prueba", "Shareware"},
        {"Programa comercial", "Comercial"},
        {"Suite Ofimática Libre", "Freeware"},
        {"Freeware for personal use", "Freeware"},
        // Words inside other words say nothing.
        {"Freezer demolition registry", ""},
        {"Instalación de CompresorX", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(disc::licenceFromWords(QString::fromUtf8(c.words)), QString::fromUtf8(c.licence))
            << c.words;
}

TEST(ProposalRules, CopyrightGivesItsLastYear) {
    const struct {
        const char *text;
        std::optional<int> year;
    } cases[] = {{"© 2003 Ejemplo Software S.A.", 2003},
                 {"Copyright (C) 1998-2001, 2004 Alguien", 2004},
                 {"(c) Utiles Ltda.", std::nullopt},
                 {"Serie 12345, versión 20001", std::nullopt}};
    for (const auto &c : cases)
        EXPECT_EQ(disc::copyrightYear(QString::fromUtf8(c.text)), c.year) << c.text;
}

TEST(DescriptionFiles, ReadAsDosWroteThem) {
    // Windows-1252, CR LF, a name with blanks in quotes, 4DOS's own data after Ctrl+D.
    const auto descriptions =
        disc::readDescriptIon("AJEDREZ Ajedrez en 3D\r\n\"MIS JUEGOS\" Colecci\xf3n\x04\xc2"
                              "datos\r\nsolo.txt\r\n");
    EXPECT_EQ(descriptions.size(), 2u);
    EXPECT_EQ(descriptions.at(QStringLiteral("AJEDREZ")), QStringLiteral("Ajedrez en 3D"));
    EXPECT_EQ(descriptions.at(QStringLiteral("MIS JUEGOS")), QStringLiteral("Colección"));

    const disc::Autorun autorun = disc::readAutorun(
        "[other]\r\nlabel=No\r\n[AutoRun]\r\nopen=\"setup\\men\xfa.exe\" /auto\r\nlabel=Revista "
        "\x80 1\r\n");
    EXPECT_EQ(autorun.label, QStringLiteral("Revista € 1"));
    EXPECT_EQ(autorun.open, QStringLiteral("setup/menú.exe"));

    EXPECT_EQ(disc::readFileIdDiz("  Uno v1.0 \r\n\r\n(c) 2002 X\x1a basura"),
              QStringList({QStringLiteral("Uno v1.0"), QStringLiteral("(c) 2002 X")}));
}

TEST(ProposalJson, ReadsBackWhatItWritesAndRefusesTheRest) {
    disc::ProposedProgram program;
    program.name = QStringLiteral("Ñandú \"2\"\nsegunda línea");
    program.licence = QStringLiteral("Demo");
    program.year = 1999;
    program.checked = false;
    program.origin = QStringLiteral("A B/ÁRBOL.EXE");
    const std::vector<disc::UnreadPart> unread{
        {QStringLiteral("Ñ/\"x\""), QStringLiteral("por qué")},
        {QString(), QStringLiteral("todo")}};
    const QByteArray lines = disc::cdLine({QStringLiteral("Disco"), QDate(2001, 2, 3), {}}) +
                             disc::programLine(program) + disc::unreadLine(unread);
    EXPECT_EQ(lines.count('\n'), 3);
    const disc::Proposal read = disc::readProposal(lines);
    ASSERT_EQ(read.programs.size(), 1u);
    EXPECT_EQ(read.cd.date, QDate(2001, 2, 3));
    EXPECT_EQ(read.programs[0].name, program.name);
    EXPECT_EQ(read.programs[0].year, 1999);
    EXPECT_FALSE(read.programs[0].checked);
    EXPECT_EQ(read.programs[0].origin, program.origin);
    ASSERT_EQ(read.unread.size(), 2u);
    EXPECT_EQ(read.unread[0].path, unread[0].path);
    EXPECT_EQ(read.unread[1].why, unread[1].why);

    const QByteArray cd = disc::cdLine({});
    for (const QByteArray &bad :
         {QByteArray(), QByteArray("{\"programa\":\"x\"}\n"), cd + "no es json\n",
          cd + R"({"programa":"x","version":"","empresa":"","licencia":"Gratis","anio":null,)"
               R"("link":"","comentario":"","marcado":true,"origen":""})",
          cd + R"({"programa":"x","version":"","empresa":"","licencia":"Demo","anio":"1999",)"
               R"("link":"","comentario":"","marcado":true,"origen":""})",
          cd + R"({"sin_leer":{"ruta":"a"}})", cd + R"({"sin_leer":[{"ruta":"a"}]})"})
        EXPECT_THROW(disc::readProposal(bad), disc::ProposalFormatError) << bad.constData();
}

} // namespace
