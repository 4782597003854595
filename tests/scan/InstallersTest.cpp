// Installers and packages as the tools of their formats make them, read by `vadrel-db scan`:
// large ones whole, archives that describe themselves, packages of other systems.
#include "../tools/RunTool.h"
#include "DiscImages.h"
#include "store/disc/ProposalJson.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

// Runs a tool in `folder`; a test failure saying why when it fails.
bool ran(const QString &folder, const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool done = process.waitForFinished(120000) &&
                      process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    EXPECT_TRUE(done) << program.toStdString() << ": " << process.readAll().constData();
    return done;
}

bool written(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Bytes no packer makes smaller, so that a package holding them is as large as they are.
QByteArray noise(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(40).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

TEST(Installers, ReadWhateverTheirSize) {
    DiscImages disc;
    const QString root = QFile::decodeName(disc.folder());
    QTemporaryDir work;
    const QString w = work.path();
    const QByteArray payload = noise(40 * 1000 * 1000);

    // A 40 MB Windows Installer package, its cabinet inside it.
    ASSERT_TRUE(written(w + "/datos.cab", payload));
    ASSERT_TRUE(written(w + "/Property.idt", "Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\n"
                                             "ProductName\tArchivo Grande\r\nProductVersion\t3.2.1"
                                             "\r\nManufacturer\tGente Grande\r\n"));
    ASSERT_TRUE(ran(w, "msibuild",
                    {root + "/GRANDE.MSI", "-i", "Property.idt", "-a", "datos.cab", "datos.cab"}));
    // A 40 MB zip that describes itself by the BBS convention.
    ASSERT_TRUE(written(w + "/zip/COMPRIME.EXE", payload));
    ASSERT_TRUE(written(w + "/zip/FILE_ID.DIZ", "Compresor Grande v1.2\r\n(c) 2001 Gente Grande\r\n"
                                                "Shareware: 30 d\xed"
                                                "as de prueba\r\n"));
    ASSERT_TRUE(ran(w + "/zip", "zip",
                    {"-0", "-q", root + "/COMPRIME.ZIP", "COMPRIME.EXE", "FILE_ID.DIZ"}));
    // A jar holds no Windows program, but its DESCRIPT.ION names one.
    ASSERT_TRUE(written(w + "/jar/Dibujo.class", "\xca\xfe\xba\xbe"));
    ASSERT_TRUE(written(w + "/jar/DESCRIPT.ION", "Dibujo.class Dibujo v1.0, freeware\r\n"));
    ASSERT_TRUE(QDir().mkpath(root + "/JAVA"));
    ASSERT_TRUE(
        ran(w + "/jar", "zip", {"-q", root + "/JAVA/DIBUJO.JAR", "Dibujo.class", "DESCRIPT.ION"}));
    // An RPM package and a Debian one whose copyright file names who made the program.
    ASSERT_TRUE(written(w + "/hoja.receta",
                        "Name: hoja-calculo\nVersion: 2.5\nRelease: 1\nSummary: Hoja de c\xc3\xa1"
                        "lculo\nLicense: GPL\nVendor: Gente Libre\nURL: https://hoja.example.org/\n"
                        "BuildArch: noarch\n%description\nUna hoja.\n%files\n"));
    ASSERT_TRUE(ran(w, "rpmbuild",
                    {"-bb", "--quiet", "--define", "_topdir " + w + "/rpm", "--define",
                     "_rpmdir " + root + "/LINUX", "--define", "_build_name_fmt %{NAME}.rpm",
                     "hoja.receta"}));
    ASSERT_TRUE(
        written(w + "/deb/DEBIAN/control",
                "Package: visor\nVersion: 1.0-1\nArchitecture: all\nMaintainer: Empaquetador "
                "<p@example.org>\nSection: graphics\nDescription: Visor de im\xc3\xa1genes\n"));
    ASSERT_TRUE(written(w + "/deb/usr/share/doc/visor/copyright",
                        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
                        "\nUpstream-Name: visor\nUpstream-Contact: Visores Unidos <v@example.org>\n"
                        "\nFiles: *\nCopyright: 2003 Ana P\xc3\xa9rez\nLicense: GPL-2+\n"));
    ASSERT_TRUE(ran(
        w, "dpkg-deb",
        {"--root-owner-group", "-Zgzip", "--build", "deb", root + "/LINUX/visor_1.0-1_all.deb"}));
    // Nullsoft installers without a version resource: one names its product in the list of
    // installed programs, the other only in its Name, packed in one stream with its files.
    const QByteArray key =
        "WriteRegStr HKLM \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ed\" ";
    ASSERT_TRUE(QDir().mkpath(root + "/EDITOR") && QDir().mkpath(root + "/PINTOR"));
    ASSERT_TRUE(written(w + "/a.nsi", "Name \"Editor Sencillo 2.4\"\nOutFile \"" + disc.folder() +
                                          "/EDITOR/INSTALA.EXE\"\nSection\nFile a.nsi\n" + key +
                                          "DisplayVersion 2.4.1\n" + key +
                                          "Publisher \"Gente Sencilla\"\nSectionEnd\n"));
    ASSERT_TRUE(written(w + "/b.nsi", "SetCompressor /SOLID lzma\nName \"Pintor Libre 1.3\"\n"
                                      "OutFile \"" +
                                          disc.folder() +
                                          "/PINTOR/P.EXE\"\nSection\n"
                                          "File a.nsi\nSectionEnd\n"));
    ASSERT_TRUE(ran(w, "makensis", {"-V1", "a.nsi"}) && ran(w, "makensis", {"-V1", "b.nsi"}));
    // Past what is copied for libmsi: sparse, so cheap.
    ASSERT_TRUE(written(root + "/ENORME.MSI", "x"));
    ASSERT_TRUE(QFile(root + "/ENORME.MSI").resize(qint64(600) << 20));

    const ToolRun run = runTool(VADREL_DB, {"scan", disc.folder()});
    ASSERT_EQ(run.status, 0) << run.err.constData();
    const disc::Proposal proposal = disc::readProposal(run.out);

    const struct {
        const char *origin, *name, *version, *publisher, *licence;
        bool guessed;
        QString unread;
    } expected[] = {
        {"GRANDE.MSI", "Archivo Grande", "3.2.1", "Gente Grande", "Freeware", true, {}},
        {"COMPRIME.ZIP", "Compresor Grande", "1.2", "Gente Grande", "Shareware", false, {}},
        {"ENORME.MSI", "Enorme", "", "", "Freeware", true, disc::tooLargeReason()},
        {"EDITOR/INSTALA.EXE", "Editor Sencillo", "2.4.1", "Gente Sencilla", "Freeware", true, {}},
        {"PINTOR/P.EXE", "Pintor Libre", "1.3", "", "Freeware", false, {}},
        {"JAVA/DIBUJO.JAR", "Dibujo", "1.0", "", "Freeware", false, {}},
        {"LINUX/hoja-calculo.rpm", "hoja-calculo", "2.5", "Gente Libre", "Freeware", false, {}},
        {"LINUX/visor_1.0-1_all.deb", "visor", "1.0-1", "Visores Unidos", "Freeware", false, {}},
    };
    EXPECT_EQ(proposal.programs.size(), std::size(expected));
    for (const auto &e : expected) {
        SCOPED_TRACE(e.origin);
        const auto found = std::find_if(proposal.programs.begin(), proposal.programs.end(),
                                        [&](const disc::ProposedProgram &p) {
                                            return p.origin == QString::fromUtf8(e.origin);
                                        });
        ASSERT_NE(found, proposal.programs.end());
        EXPECT_EQ(found->name, QString::fromUtf8(e.name));
        EXPECT_EQ(found->version, QString::fromUtf8(e.version));
        EXPECT_EQ(found->publisher, QString::fromUtf8(e.publisher));
        EXPECT_EQ(found->licence, QString::fromUtf8(e.licence));
        EXPECT_EQ(found->licenceGuessed, e.guessed);
        EXPECT_EQ(disc::unreadReason(*found), e.unread);
    }
}

} // namespace
