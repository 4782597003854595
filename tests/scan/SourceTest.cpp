#include "DiscImages.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "vadrel-db/scan/DiscSource.h"
#include "vadrel-db/scan/UdfSource.h"

#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace disc;

namespace {

const QByteArray kFixtures = VADREL_DISC_FIXTURES;
const QDateTime kMarch2004(QDate(2004, 3, 15), QTime(12, 0), Qt::UTC);

// Every name, folders ending in '/'; and each folder comes before what it holds, sorted by name.
QStringList listing(const DiscSource &source) {
    QStringList names;
    QSet<QByteArray> folders{QByteArray()};
    QHash<QByteArray, QByteArray> lastIn;
    for (const DiscFile &file : source.files()) {
        const qsizetype slash = file.path.lastIndexOf('/');
        const QByteArray parent = slash < 0 ? QByteArray() : file.path.left(slash);
        EXPECT_TRUE(folders.contains(parent)) << file.path.toStdString() << " before its folder";
        EXPECT_LT(lastIn.value(parent), file.path.mid(slash + 1)) << file.path.toStdString();
        lastIn[parent] = file.path.mid(slash + 1);
        if (file.folder)
            folders.insert(file.path);
        names << file.name + (file.folder ? QStringLiteral("/") : QString());
    }
    return names;
}

const DiscFile *find(const DiscSource &source, const QByteArray &path) {
    for (const DiscFile &file : source.files())
        if (file.path == path)
            return &file;
    ADD_FAILURE() << path.toStdString() << " is not listed";
    return nullptr;
}

QString describe(const Volume &volume) {
    return QStringList{volume.identifier, volume.volumeSet, volume.publisher,
                       volume.created.toString(Qt::ISODate)}
        .join('|');
}

// Sets TZ for a scope: libcdio hands file times over as local time.
struct Zone {
    const QByteArray old = qgetenv("TZ");
    explicit Zone(const char *zone) { qputenv("TZ", zone), tzset(); }
    ~Zone() { qputenv("TZ", old), tzset(); }
};

// Bytes that differ from block to block, so a read from the wrong place shows.
QByteArray pattern(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 2048);
    return bytes;
}

} // namespace

TEST(SourceFixture, ImageAndFolderHoldTheSameFilesAndBytes) {
    const auto image = openDiscSource(kFixtures + "/revista-marzo-2004.iso");
    const auto folder = openDiscSource(kFixtures + "/revista-marzo-2004");
    EXPECT_EQ(listing(*image), listing(*folder));
    EXPECT_TRUE(listing(*image).contains("LINUX/editor-texto_1.4-2_all.deb")); // not 8.3
    int compared = 0;
    for (const DiscFile &file : folder->files()) {
        if (file.folder)
            continue;
        const QByteArray bytes = folder->read(file, 1 << 30);
        EXPECT_EQ(bytes.size(), file.size) << file.path.toStdString();
        EXPECT_EQ(image->read(file, 1 << 30), bytes) << file.path.toStdString();
        ++compared;
    }
    EXPECT_EQ(compared, 10);
}

// The fixture image, also copied under other names with its creation time's offset from GMT
// (in quarter hours) changed; and the folder copy, which keeps no volume fields nor times.
TEST(SourceFixture, VolumeFieldsNameAndTimesInAnyTimeZone) {
    DiscImages copies;
    const QByteArray iso = fileBytes(QFile::decodeName(kFixtures) + "/revista-marzo-2004.iso");
    constexpr qsizetype kCreationOffset = 16 * 2048 + 813 + 16; // in the primary descriptor
    ASSERT_GT(iso.size(), kCreationOffset);
    const struct {
        const char *path, *zone;
        qint8 quarters;
        const char *name, *created;
    } cases[] = {
        {"revista-marzo-2004.iso", "UTC", 0, "revista-marzo-2004", "2004-03-15T12:00:00Z"},
        {"revista-marzo-2004.iso", "America/Argentina/Buenos_Aires", 0, "revista-marzo-2004",
         "2004-03-15T12:00:00Z"},
        {"revista-marzo-2004.iso", "Asia/Kolkata", 0, "revista-marzo-2004", "2004-03-15T12:00:00Z"},
        {"Revista.ISO", "UTC", -12, "Revista", "2004-03-15T15:00:00Z"},
        {"revista.2004.iso", "Asia/Kolkata", 22, "revista.2004", "2004-03-15T06:30:00Z"},
        {"disco.img", "UTC", 100, "disco.img", "2004-03-15T12:00:00Z"}, // no such offset: GMT
        {"revista-marzo-2004/", "UTC", 0, "revista-marzo-2004", nullptr},
        {"revista-marzo-2004/JUEGOS/..", "Asia/Kolkata", 0, "revista-marzo-2004", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.path) + " in " + c.zone);
        const Zone zone(c.zone);
        QByteArray path = kFixtures + '/' + c.path;
        if (c.quarters != 0) {
            QByteArray patched = iso;
            patched[kCreationOffset] = char(c.quarters);
            path = copies.folder() + '/' + c.path;
            putFileBytes(QFile::decodeName(path), patched);
        }
        const auto source = openDiscSource(path);
        EXPECT_EQ(source->sourceName(), c.name);
        if (!c.created) {
            EXPECT_EQ(describe(source->volume()), "|||");
            continue;
        }
        EXPECT_EQ(describe(source->volume()),
                  QStringLiteral("REVISTA_0304|Revista Marzo 2004|REVISTA EJEMPLO|") + c.created);
        ASSERT_TRUE(find(*source, "MENU.EXE") && find(*source, "COMPRESOR/SETUP.EXE"));
        EXPECT_EQ(find(*source, "MENU.EXE")->modified, kMarch2004);
        EXPECT_EQ(find(*source, "COMPRESOR/SETUP.EXE")->modified.date(), QDate(2003, 11, 20));
    }
}

// Names as a burning program writes them: Rock Ridge, Joliet, both, or ISO 9660 alone.
TEST(ImageNames, ComeOutWholeAsUtf8WithTheFilesTimes) {
    const QList<QByteArray> spanish{
        "Programas útiles/Instalación de prueba.txt",
        "Un nombre de archivo muy largo, con acentos, más de sesenta y cuatro letras en él.txt",
        "a/b/c/d/e/f/profundo.txt"};
    const QStringList names =
        QString::fromUtf8("Programas útiles/|" + spanish[0] + '|' + spanish[1] +
                          "|a/|a/b/|a/b/c/|a/b/c/d/|a/b/c/d/e/|a/b/c/d/e/f/|" + spanish[2])
            .split('|');
    // Longer than Joliet's 103 characters: only Rock Ridge keeps it whole.
    const QByteArray longest = "zeta, un nombre larguísimo que Joliet no guarda entero porque "
                               "pasa de ciento tres letras, como este de aquí.txt";
    const QList<QByteArray> plain{"LEEME.TXT", "DOCS/MANUAL.TXT"}; // 8.3 and upper case
    const struct {
        const char *what;
        bool joliet, rockRidge;
        QList<QByteArray> files;
        QStringList expected;
    } cases[] = {
        {"Joliet and Rock Ridge", true, true, spanish + QList{longest},
         names + QStringList{longest}},
        {"Joliet alone", true, false, spanish, names},
        {"Rock Ridge alone", false, true, spanish + QList{longest}, names + QStringList{longest}},
        {"ISO 9660 alone", false, false, plain, {"DOCS/", "DOCS/MANUAL.TXT", "LEEME.TXT"}},
        {"an empty disc", true, true, {}, {}},
    };
    const QDateTime written(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        DiscImages disc;
        for (const QByteArray &path : c.files)
            ASSERT_TRUE(disc.put(path, "bytes of " + path) && disc.setTime(path, written));
        DiscImages::Options options;
        options.joliet = c.joliet, options.rockRidge = c.rockRidge, options.created = kMarch2004;
        options.volumeId = "DISCO_1", options.volumeSet = "Serie Uno",
        options.publisher = "EDITORA";
        const QByteArray path = disc.makeImage("disco.iso", options);
        ASSERT_FALSE(path.isEmpty());

        const auto image = openDiscSource(path);
        EXPECT_EQ(listing(*image), c.expected);
        EXPECT_EQ(describe(image->volume()), "DISCO_1|Serie Uno|EDITORA|2004-03-15T12:00:00Z");
        for (const QByteArray &file : c.files) {
            const DiscFile *listed = find(*image, file);
            ASSERT_TRUE(listed);
            EXPECT_EQ(image->read(*listed, 1000), "bytes of " + file);
            EXPECT_EQ(listed->size, ("bytes of " + file).size());
            EXPECT_EQ(listed->modified, written);
        }
        EXPECT_EQ(listing(*openDiscSource(disc.folder())), c.expected); // the same disc, mounted
    }
}

// At most the limit from the start of a file, in pieces; and from an image cut short, the part
// before the cut or a ScanError, never wrong bytes.
TEST(SourceRead, GivesAtMostTheLimitAndNothingPastACut) {
    DiscImages disc;
    const QByteArray large = pattern(2'500'000);
    ASSERT_TRUE(disc.put("GRANDE.BIN", large) && disc.put("PEQUENO.TXT", "poco"));
    const QByteArray whole = disc.makeImage("entero.iso");
    ASSERT_FALSE(whole.isEmpty());
    for (const QByteArray &path : {whole, disc.folder()}) {
        const auto source = openDiscSource(path);
        for (const qint64 limit : {0, 1, 2047, 2048, 2049, 1 << 20, 1 << 30})
            EXPECT_EQ(source->read(*find(*source, "GRANDE.BIN"), limit),
                      large.left(qsizetype(limit)))
                << path.toStdString() << " " << limit;
        // A piece from anywhere: inside a block, across blocks, the tail, past the end.
        for (const auto &[offset, length] : std::vector<std::pair<qint64, qint64>>{
                 {1, 10}, {2047, 2}, {4000, 5000}, {2'499'990, 100}, {3'000'000, 10}, {-5, 3}})
            EXPECT_EQ(source->readAt(*find(*source, "GRANDE.BIN"), offset, length),
                      large.mid(qsizetype(std::max<qint64>(offset, 0)), qsizetype(length)))
                << path.toStdString() << " " << offset;
    }
    const QByteArray bytes = fileBytes(QString::fromUtf8(whole));
    const struct {
        const char *what;
        qsizetype size;
        bool opens;
    } cases[] = {
        {"cut in half", bytes.size() / 2, true},
        {"cut inside a block", bytes.size() / 2 + 1000, true},
        {"cut before its folders", 18 * 2048, false},
        {"cut inside the system area", 10'000, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray cut = whole.left(whole.lastIndexOf('/')) + "/cortado.iso";
        putFileBytes(QString::fromUtf8(cut), bytes.left(c.size));
        if (!c.opens) {
            EXPECT_THROW(openDiscSource(cut), ScanError);
            continue;
        }
        std::unique_ptr<DiscSource> image;
        ASSERT_NO_THROW(image = openDiscSource(cut));
        const DiscFile *grande = find(*image, "GRANDE.BIN"), *pequeno = find(*image, "PEQUENO.TXT");
        ASSERT_TRUE(grande && pequeno);
        EXPECT_EQ(image->read(*grande, 4096), large.left(4096));
        EXPECT_THROW(image->read(*grande, 1 << 30), ScanError);
        try {
            EXPECT_EQ(image->read(*pequeno, 100), "poco");
        } catch (const ScanError &) {
        }
    }
}

TEST(SourceOpening, WhatIsNoDiscFailsNamingIt) {
    DiscImages disc;
    const QByteArray base = disc.folder();
    ASSERT_TRUE(disc.put("leeme.txt", "Léame") && disc.put("vacio.iso", {}));
    ASSERT_EQ(::mkfifo((base + "/tubo").constData(), 0600), 0);
    const struct {
        const char *name, *message;
    } cases[] = {
        {"/leeme.txt", "not a disc image or folder: "},
        {"/vacio.iso", "not a disc image or folder: "},
        {"/tubo", "not a disc image or folder: "},
        {"/no-esta.iso", "no such file or folder: "},
        {"/no-esta/disco.iso", "no such file or folder: "},
    };
    for (const auto &c : cases) {
        try {
            openDiscSource(base + c.name);
            ADD_FAILURE() << c.name << " opened";
        } catch (const ScanError &error) {
            EXPECT_EQ(error.what(), c.message + base + c.name);
        }
    }
}

// Reasons are read by a person; a test looks for their words.
QStringList unreadPaths(const DiscSource &source, const QString &word) {
    QStringList paths;
    for (const UnreadPart &part : source.unread())
        if (part.why.contains(word))
            paths << part.path;
    return paths;
}

TEST(FolderSource, ListsByTheNamesBytesAndNeverLeavesTheFolder) {
    DiscImages disc;
    ASSERT_TRUE(disc.put("caf\xe9/men\xfa.txt", "carta") && disc.put("real.txt", "datos") &&
                disc.put("sub/x.txt", "x"));
    const QByteArray root = disc.folder();
    QTemporaryDir elsewhere;
    const QByteArray outside = QFile::encodeName(elsewhere.path());
    // 2 GB, of which only what is asked for may be read.
    ASSERT_EQ(::truncate((root + "/real.txt").constData(), qint64(2) << 30), 0);
    const struct {
        QByteArray target, link;
        const char *word; // of the reason it is left out; null: left out silently, read elsewhere
    } links[] = {{".", "/a", nullptr},
                 {"real.txt", "/enlace", nullptr},
                 {"../real.txt", "/sub/enlace", nullptr},
                 {"..", "/b", "fuera del disco"},
                 {outside, "/sub/FILE_ID.DIZ", "fuera del disco"},
                 {"falta.txt", "/roto", "no existe"}};
    for (const auto &l : links)
        ASSERT_EQ(::symlink(l.target.constData(), (root + l.link).constData()), 0);
    const auto source = openDiscSource(root);
    QList<QByteArray> paths;
    for (const DiscFile &file : source->files())
        paths << file.path;
    EXPECT_EQ(paths, QList<QByteArray>(
                         {"caf\xe9", "caf\xe9/men\xfa.txt", "real.txt", "sub", "sub/x.txt"}));
    for (const auto &l : links) {
        const QString path = QString::fromUtf8(l.link.mid(1));
        EXPECT_EQ(unreadPaths(*source, QString::fromUtf8(l.word ? l.word : "")).contains(path),
                  l.word != nullptr)
            << l.link.constData();
    }
    EXPECT_EQ(source->files()[1].name, QStringLiteral("café/menú.txt")); // Latin-1, not U+FFFD
    EXPECT_EQ(source->read(source->files()[1], 100), "carta");
    EXPECT_EQ(source->read(source->files()[2], 5), "datos");
    EXPECT_EQ(source->files()[2].size, qint64(2) << 30);
}

// An image whose folder record was damaged on purpose: the folder is left out and said so, and
// what lies beside it is still listed.
TEST(ImageSource, SaysWhichFolderRecordItLeftOut) {
    const auto le32 = [](const QByteArray &bytes, qsizetype at) {
        return qFromLittleEndian<quint32>(bytes.constData() + at);
    };
    const auto set32 = [](QByteArray &bytes, qsizetype at, quint32 value) {
        qToLittleEndian(value, bytes.data() + at);
        qToBigEndian(value, bytes.data() + at + 4); // ISO 9660 writes both byte orders
    };
    const struct {
        const char *what;
        int field;  // of B's record: 2, its extent; 10, its size
        bool root;  // the extent made the root's; else the value made 40 MB
        bool grown; // the image made 64 MB (sparse), so that 40 MB lie inside it
        const char *word;
        QStringList listed;
    } cases[] = {{"a folder holding the root", 2, true, false, "ya leída", {"B/"}},
                 {"a folder claiming 40 MB", 10, false, true, "demasiado grande", {"B/"}},
                 {"a folder past the image's end", 10, false, false, "final de la imagen", {}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        DiscImages disc;
        ASSERT_TRUE(disc.put("A/UNO.TXT", "1") && disc.put("B/DOS.TXT", "2") &&
                    disc.put("C/TRES.TXT", "3"));
        DiscImages::Options options;
        options.joliet = options.rockRidge = false;
        const QByteArray path = disc.makeImage("roto.iso", options);
        QFile file(QFile::decodeName(path));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray image = file.readAll();
        const qsizetype rootRecord = 16 * 2048 + 156;
        const quint32 rootBlock = le32(image, rootRecord + 2);
        qsizetype at = qsizetype(rootBlock) * 2048;
        while (image[at] != 0 && !(image[at + 32] == 1 && image[at + 33] == 'B'))
            at += uchar(image[at]);
        ASSERT_NE(image[at], 0) << "no record for B";
        set32(image, at + c.field, c.root ? rootBlock : 40u << 20);
        ASSERT_TRUE(file.seek(0) && file.write(image) == image.size());
        ASSERT_TRUE(!c.grown || file.resize(64 << 20));
        file.close();

        const auto source = openDiscSource(path);
        EXPECT_EQ(listing(*source),
                  QStringList({"A/", "A/UNO.TXT"}) + c.listed + QStringList({"C/", "C/TRES.TXT"}));
        EXPECT_EQ(unreadPaths(*source, QString::fromUtf8(c.word)), QStringList{"B"});
    }
}

// A DVD image with UDF alone, as mkudffs makes one: read by its label, where an ISO 9660 reader
// finds no disc.
TEST(UdfSource, AnImageWithUdfAloneIsADisc) {
    QTemporaryDir temporary;
    const QString path = temporary.filePath(QStringLiteral("pelicula.udf"));
    QFile image(path);
    ASSERT_TRUE(image.open(QIODevice::WriteOnly) && image.resize(1 << 20));
    image.close();
    QProcess make;
    make.start(QStringLiteral("mkudffs"),
               {QStringLiteral("--media-type=dvd"), QStringLiteral("--udfrev=0x0102"),
                QStringLiteral("--label=DVD_2004"), path});
    ASSERT_TRUE(make.waitForFinished() && make.exitCode() == 0)
        << make.readAllStandardError().constData();
    const auto source = openDiscSource(QFile::encodeName(path));
    EXPECT_EQ(source->volume().identifier, QStringLiteral("DVD_2004"));
    EXPECT_TRUE(source->files().empty());
    EXPECT_TRUE(source->unread().empty());
}

// The UDF side of a bridge disc (genisoimage -udf), read as the UDF reader reads a DVD: the same
// files and bytes as the folder it was made of.
TEST(UdfSource, ListsAndReadsWhatTheFolderHolds) {
    DiscImages disc;
    const QByteArray large = pattern(3'000'000);
    ASSERT_TRUE(disc.put("SUB/GRANDE.BIN", large) && disc.put("LEEME.TXT", "hola"));
    QTemporaryDir temporary;
    const QString path = temporary.filePath(QStringLiteral("puente.iso"));
    QProcess make;
    make.start(QStringLiteral("genisoimage"),
               {QStringLiteral("-quiet"), QStringLiteral("-udf"), QStringLiteral("-V"),
                QStringLiteral("DVD_UDF"), QStringLiteral("-o"), path,
                QFile::decodeName(disc.folder())});
    ASSERT_TRUE(make.waitForFinished() && make.exitCode() == 0)
        << make.readAllStandardError().constData();
    const auto udf = UdfSource::open(QFile::encodeName(path));
    ASSERT_TRUE(udf);
    const auto folder = openDiscSource(disc.folder());
    std::vector<QByteArray> listed, expected;
    for (const DiscFile &file : udf->files())
        listed.push_back(file.path + (file.folder ? "/" : ""));
    for (const DiscFile &file : folder->files())
        expected.push_back(file.path + (file.folder ? "/" : ""));
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(udf->read(*find(*udf, "LEEME.TXT"), 100), "hola");
    EXPECT_EQ(udf->read(*find(*udf, "SUB/GRANDE.BIN"), 1 << 30), large);
    EXPECT_EQ(udf->readAt(*find(*udf, "SUB/GRANDE.BIN"), 2'047'000, 5000),
              large.mid(2'047'000, 5000));
}

// A disc's names are all in one encoding: UTF-8 when every name is valid UTF-8, else the code
// page of the system that wrote it, and a name valid in both is read as the rest are.
TEST(DiscNames, OneEncodingForTheWholeDisc) {
    const struct {
        const char *what;
        QList<QByteArray> names;
        CodePage fallback;
        QStringList expected;
    } cases[] = {
        {"Windows-1252", {"Dise\xf1o", "\x80uro"}, CodePage::Windows1252, {"Diseño", "€uro"}},
        // "Ã±" is valid UTF-8 on its own, but not on a disc whose other names are Latin-1.
        {"mixed", {"Dise\xf1o", "\xc3\xb1"}, CodePage::Windows1252, {"Diseño", "Ã±"}},
        {"CP850", {"DISE\xa5O.TXT", "MEN\xa3"}, CodePage::Cp850, {"DISEÑO.TXT", "MENú"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<QByteArray> names(c.names.begin(), c.names.end());
        const bool utf8 = allUtf8(names);
        QStringList texts;
        for (const QByteArray &name : names)
            texts << nameText(name, utf8, c.fallback);
        EXPECT_EQ(texts, c.expected);
    }
}

TEST(DiscNames, PrintedWithoutControlCharacters) {
    const struct {
        QString text;
        QByteArray printed;
    } cases[] = {
        {QStringLiteral("REVISTA 2004"), "REVISTA 2004"},
        {QStringLiteral("Año ñandú"), "Año ñandú"},
        {QStringLiteral("\x1b[2J\x1b]0;titulo\x07X"), "\\x1b[2J\\x1b]0;titulo\\x07X"},
        {QStringLiteral("a\\x1b"), "a\\\\x1b"}, // a backslash the disc wrote stays told apart
        {QString(QChar(0x9b)) + QStringLiteral("31m\r\n"), "\\u{9b}31m\\x0d\\x0a"},
        {QString(QChar(0x202e)) + QStringLiteral("exe.txt"), "\\u{202e}exe.txt"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(printable(c.text), c.printed) << c.text.toStdString();
}
