#include "vadrel-db/scan/FileFacts.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <locale.h>
#include <tuple>
#include <vector>

using namespace disc;

namespace {

QByteArray discFile(const char *path) {
    return fileBytes(QStringLiteral(VADREL_DISC_FIXTURES "/revista-marzo-2004/") +
                     QString::fromUtf8(path));
}

// Each reader reduced to its result and its fields, the one naming the program first.
struct Facts {
    ReadResult result;
    QStringList fields;
};
Facts versionFacts(const QByteArray &bytes) {
    const VersionFacts f = readVersionResource(bytes);
    return {f.result,
            {f.productName, f.companyName, f.productVersion, f.fileVersion, f.fileDescription,
             f.legalCopyright, f.comments}};
}
Facts msiFacts(const QByteArray &bytes) {
    const MsiFacts f = readMsi(bytes);
    return {f.result, {f.productName, f.productVersion, f.manufacturer, f.aboutUrl, f.comments}};
}
Facts debFacts(const QByteArray &bytes) {
    const DebFacts f = readDebControl(bytes);
    return {f.result, {f.package, f.version, f.maintainer, f.homepage, f.description, f.section}};
}
Facts zipFacts(const QByteArray &bytes) {
    const ZipFacts f = listZip(bytes);
    return {f.result, f.names};
}

struct SoundCase {
    const char *path;
    Facts (*read)(const QByteArray &);
    Facts expected;
};
void PrintTo(const SoundCase &c, std::ostream *out) {
    *out << c.path;
}

class SoundFactsTest : public testing::TestWithParam<SoundCase> {};

TEST_P(SoundFactsTest, ReadsEveryField) {
    const Facts facts = GetParam().read(discFile(GetParam().path));
    EXPECT_EQ(facts.result, GetParam().expected.result);
    EXPECT_EQ(facts.fields, GetParam().expected.fields);
}

INSTANTIATE_TEST_SUITE_P(
    OnTheDisc, SoundFactsTest,
    testing::Values(
        SoundCase{"COMPRESOR/SETUP.EXE",
                  versionFacts,
                  {ReadResult::Read,
                   {"CompresorX", "Ejemplo Software S.A.", "8.1", "8.1.0.3105",
                    "Instalación de CompresorX", "© 2003 Ejemplo Software S.A.",
                    "Versión de evaluación de 30 días"}}},
        SoundCase{
            "MENU.EXE",
            versionFacts,
            {ReadResult::Read,
             {"Menú Revista", "Revista Ejemplo", "1.0", "", "Menú del CD de la revista", "", ""}}},
        SoundCase{
            "JUEGOS/AJEDREZ/AJEDREZ.EXE", versionFacts, {ReadResult::Missing, QStringList(7)}},
        // The package names no web page.
        SoundCase{"OFIMATICA/SUITE.MSI",
                  msiFacts,
                  {ReadResult::Read,
                   {"Suite Ofimática Libre", "2.0.1", "Comunidad Ofimática", "",
                    "Procesador de textos y hoja de cálculo"}}},
        // The description's first line only, its synopsis.
        SoundCase{"LINUX/editor-texto_1.4-2_all.deb",
                  debFacts,
                  {ReadResult::Read,
                   {"editor-texto", "1.4-2", "Equipo Editor <editor@example.org>",
                    "https://editor.example.org/", "Editor de textos sencillo", "editors"}}},
        SoundCase{"UTILES/LIMPIA23.ZIP", zipFacts, {ReadResult::Read, {"LIMPIA.EXE"}}}));

TEST(DebTest, TheUpstreamIsWhoTheCopyrightFileNames) {
    const struct {
        const char *copyright, *upstream;
    } cases[] = {
        {"Format: https://x/\nUpstream-Contact:\n Ana P\xc3\xa9rez <ana@x>\n\nFiles: *\n"
         "Copyright: 2001 Otro\n",
         "Ana Pérez"},
        {"Format: https://x/\nUpstream-Name: a\n\nFiles: *\nCopyright: 1998-2003, Luis Gil "
         "<l@x>\n  2004 Otro\n",
         "Luis Gil"},
        {"This package was debianized by P <p@x>.\n\nCopyright (C) 1999 Gente Libre S.A.\n",
         "Gente Libre S.A"},
        {"This package was debianized by P <p@x>.\nLicense: GPL\n", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(upstreamOf(c.copyright), QString::fromUtf8(c.upstream)) << c.copyright;
}

TEST(MsiTest, APackageThatCrashesLibmsiIsOnlyDamaged) {
    // Zeros over one of its sectors: libmsi crashes opening it.
    QByteArray bytes = discFile("OFIMATICA/SUITE.MSI");
    bytes.replace(6144, 64, QByteArray(64, '\0'));
    EXPECT_EQ(readMsi(bytes).result, ReadResult::Damaged);
    EXPECT_EQ(readMsi(discFile("OFIMATICA/SUITE.MSI")).productVersion, QStringLiteral("2.0.1"));
}

struct Format {
    const char *label, *file, *otherFormat;
    Facts (*read)(const QByteArray &);
};
const Format formats[] = {
    {"Program", "COMPRESOR/SETUP.EXE", "OFIMATICA/SUITE.MSI", versionFacts},
    {"Msi", "OFIMATICA/SUITE.MSI", "COMPRESOR/SETUP.EXE", msiFacts},
    {"Deb", "LINUX/editor-texto_1.4-2_all.deb", "UTILES/LIMPIA23.ZIP", debFacts},
    {"Zip", "UTILES/LIMPIA23.ZIP", "LINUX/editor-texto_1.4-2_all.deb", zipFacts},
};
void PrintTo(const Format &format, std::ostream *out) {
    *out << format.label;
}

enum class Damage { Empty, CutInHalf, FlippedInTheMiddle, OtherFormat };
const char *const damageNames[] = {"Empty", "CutInHalf", "FlippedInTheMiddle", "OtherFormat"};

class DamagedFactsTest : public testing::TestWithParam<std::tuple<Format, Damage>> {};

// Damage never crashes a reader nor makes up a name: it says Damaged, or keeps what it read
// before the damage.
TEST_P(DamagedFactsTest, SaysDamagedOrKeepsOnlySoundFacts) {
    const auto &[format, damage] = GetParam();
    const QByteArray sound = discFile(format.file);
    QByteArray flipped = sound;
    for (qsizetype i = sound.size() / 2 - 64; i < sound.size() / 2 + 64; ++i)
        flipped[i] = char(~sound[i]);
    const QByteArray bytes = damage == Damage::Empty         ? QByteArray()
                             : damage == Damage::CutInHalf   ? sound.left(sound.size() / 2)
                             : damage == Damage::OtherFormat ? discFile(format.otherFormat)
                                                             : flipped;
    const auto [result, fields] = format.read(bytes);
    const QString name = fields.value(0), soundName = format.read(sound).fields.value(0);
    ASSERT_FALSE(soundName.isEmpty());
    if (damage == Damage::Empty || damage == Damage::OtherFormat)
        EXPECT_EQ(result, ReadResult::Damaged);
    else
        EXPECT_TRUE(result == ReadResult::Damaged || name == soundName) << int(result);
    EXPECT_TRUE(name.isEmpty() || name == soundName) << name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(EveryReader, DamagedFactsTest,
                         testing::Combine(testing::ValuesIn(formats),
                                          testing::Values(Damage::Empty, Damage::CutInHalf,
                                                          Damage::FlippedInTheMiddle,
                                                          Damage::OtherFormat)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).label) + "_" +
                                    damageNames[int(std::get<1>(info.param))];
                         });

// A zip written by libarchive in memory, its names in `charset`; each entry's data is written
// `times` over.
struct Entry {
    QString name;
    QByteArray data;
    int times = 1;
};
QByteArray writtenZip(const std::vector<Entry> &entries, const char *charset = "UTF-8") {
    // libarchive converts names through the thread's locale: a UTF-8 one, whatever the machine's.
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    const locale_t previous = uselocale(utf8);
    std::vector<char> buffer(8 * 1024 * 1024);
    size_t used = 0;
    archive *writer = archive_write_new();
    archive_write_set_format_zip(writer);
    archive_write_set_format_option(writer, "zip", "hdrcharset", charset);
    archive_write_open_memory(writer, buffer.data(), buffer.size(), &used);
    for (const Entry &e : entries) {
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, e.name.toUtf8().constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, e.data.size() * e.times);
        archive_write_header(writer, entry);
        for (int i = 0; i < e.times; ++i)
            archive_write_data(writer, e.data.constData(), size_t(e.data.size()));
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    uselocale(previous);
    freelocale(utf8);
    return QByteArray(buffer.data(), qsizetype(used));
}

TEST(ZipTest, ListsNamesWithoutUnpacking) {
    const QByteArray program = discFile("JUEGOS/AJEDREZ/AJEDREZ.EXE");
    const QByteArray made =
        writtenZip({{"LIMPIA.EXE", program}, {"LÉAME.TXT", "Limpiador de disco\r\n"}});
    // DOS-era tools wrote names in the OEM code page, without the UTF-8 flag.
    const QByteArray dos = writtenZip({{"LÉAME.TXT", "Léame\r\n"}}, "CP437");
    const QByteArray bomb =
        writtenZip({{"CEROS.BIN", QByteArray(1024 * 1024, '\0'), 200}, {"FIN.TXT", "fin"}});
    ASSERT_LT(bomb.size(), 1024 * 1024) << "the bomb must be small packed";
    const auto withoutDirectory = [](const QByteArray &zip) {
        return zip.left(zip.indexOf("PK\x01\x02"));
    };
    const struct {
        const char *label;
        QByteArray bytes;
        ReadResult result;
        QStringList names;
    } cases[] = {
        {"made here", made, ReadResult::Read, {"LIMPIA.EXE", "LÉAME.TXT"}},
        {"names in CP437", dos, ReadResult::Read, {"LÉAME.TXT"}},
        {"a 200 MB entry", bomb, ReadResult::Read, {"CEROS.BIN", "FIN.TXT"}},
        // Without the central directory the entries are walked one by one: the names before the
        // damage are kept, but a bomb is not unpacked to find the name after it.
        {"central directory lost",
         withoutDirectory(made),
         ReadResult::Damaged,
         {"LIMPIA.EXE", "LÉAME.TXT"}},
        {"a bomb's directory lost", withoutDirectory(bomb), ReadResult::Damaged, {"CEROS.BIN"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const ZipFacts facts = listZip(c.bytes);
        EXPECT_EQ(facts.result, c.result);
        EXPECT_EQ(facts.names, c.names);
    }
}

} // namespace
