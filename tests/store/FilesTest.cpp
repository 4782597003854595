#include "QtPrinters.h"
#include "ReplacementFile.h"
#include "TempCatalogue.h"
#include "Windows1252.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace store;

TEST(Windows1252, OneByteACharacterAndAQuestionMarkForTheRest) {
    const struct {
        QByteArray utf8, expected;
    } cases[] = {
        {"Versi\xC3\xB3n A\xC3\xB1o", "Versi\xF3n A\xF1o"},
        {"\xE2\x82\xAC 5", "\x80 5"}, // the euro sign has a byte of its own
        {"\xE6\xBC\xA2\xF0\x9F\x98\x80!", "??"
                                          "!"}, // a CJK letter, an emoji
        {"Caf\xE9 Bar", "Caf? Bar"},            // a stray Latin-1 byte swallows nothing
        {"A\xC3"
         "BC",
         "A?BC"}, // a cut sequence
        {QByteArray(), QByteArray()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(utf8ToWindows1252(c.utf8), c.expected) << c.utf8.toStdString();
}

TEST(ReplacementFile, ReplacesWholeThroughALinkAndKeepsThePermissions) {
    TempCatalogue folder(false, false);
    const QDir dir(folder.dir());
    QFile real(dir.filePath("real.txt"));
    ASSERT_TRUE(real.open(QIODevice::WriteOnly));
    real.write("old contents, longer than the new");
    real.close();
    ASSERT_EQ(::chmod(QFile::encodeName(real.fileName()).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(real.fileName(), dir.filePath("Listado.txt")));

    {
        ReplacementFile dropped(dir.filePath("Listado.txt"));
        dropped.write("never committed");
    } // dropped: nothing changes, nothing is left behind
    EXPECT_EQ(dir.entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);

    ReplacementFile file(dir.filePath("Listado.txt"));
    file.write("new");
    file.commit();
    EXPECT_TRUE(QFileInfo(dir.filePath("Listado.txt")).isSymLink());
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    EXPECT_EQ(real.readAll(), "new");
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(real.fileName()).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
}
