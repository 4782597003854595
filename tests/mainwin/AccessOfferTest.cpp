// An old Access catalogue as db.mdb at start-up: converted when the user says yes, with the old
// file kept byte for byte under a free name; left exactly as it was when the user says no or the
// conversion fails, the program then running as without a catalogue.
#include "mainwin/AccessOffer.h"
#include "store/catalogue/Modulo.h"
#include "support/AppFixture.h"
#include "support/FileBytes.h"
#include "support/Fixture.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Every file of the folder with its bytes.
QMap<QString, QByteArray> contents(const QString &folder) {
    QMap<QString, QByteArray> files;
    for (const QString &name :
         QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        files[name] = fileBytes(QDir(folder).filePath(name));
    return files;
}

class AccessOfferTest : public AppFixture {};

} // namespace

TEST_F(AccessOfferTest, DeclinedOrFailedChangesNothingAndSaysHowToConvert) {
    const QByteArray old = fileBytes(legacyFixturePath());
    SKIP_OR_FAIL_WITHOUT_FIXTURE(old.size() >= 8192, legacyFixturePath());
    // A converter stuck on a damaged file.
    QTemporaryDir tools;
    const QString hanging = QDir(tools.path()).filePath(QStringLiteral("vadrel-db"));
    putFileBytes(hanging, "#!/bin/sh\nexec sleep 60\n");
    QFile::setPermissions(hanging, QFile::ReadOwner | QFile::ExeOwner);
    // One whose reason is followed by the library's remarks, as a damaged file makes them.
    const QString noisy = QDir(tools.path()).filePath(QStringLiteral("noisy"));
    putFileBytes(noisy,
                 "#!/bin/sh\necho 'vadrel-db: warning: the column Foto is not brought across' >&2\n"
                 "echo 'vadrel-db: the table Discos of db.mdb cannot be read' >&2\n"
                 "i=0; while [ $i -lt 40 ]; do echo \"Unhandled memo field flags = 20000000\" >&2;"
                 " i=$((i+1)); done\nexit 1\n");
    QFile::setPermissions(noisy, QFile::ReadOwner | QFile::ExeOwner);
    QByteArray damagedMemo = old;
    damagedMemo[139190] = '\x80'; // the flags of CD 2's long memo
    const struct {
        const char *what;
        bool yes;
        QString importer;
        QByteArray file;
        const char *detail;           // part of the error box's technical line
        bool cancel = false;          // the user presses "Cancelar" while it runs
        const char *unsaid = nullptr; // what the box must not show
    } cases[] = {
        {"a damaged memo", true, QStringLiteral(VADREL_DB), damagedMemo,
         "the memo in the column Comentario of the row with NroDisco 2 of the table Discos of "
         "db.mdb is damaged: its stored length is 42000 bytes, but the file gives 0"},
        {"a reason among the library's remarks", true, noisy, old,
         "the table Discos of db.mdb cannot be read", false, "Unhandled"},
        {"declined", false, QStringLiteral(VADREL_DB), old, nullptr},
        {"a damaged file", true, QStringLiteral(VADREL_DB), old.left(8192), "Detalle técnico"},
        {"a converter that fails", true, QStringLiteral("/bin/false"), old,
         "el conversor terminó con error"},
        {"no converter", true, QStringLiteral("/nonexistent/vadrel-db"), old,
         "no se pudo ejecutar"},
        {"a converter that never ends, cancelled", true, hanging, old, "se canceló", true},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.what);
        if (test.cancel)
            QTimer::singleShot(200, [] {
                for (QWidget *window : QApplication::topLevelWidgets())
                    if (auto *progress = qobject_cast<QProgressDialog *>(window))
                        progress->findChild<QPushButton *>()->click();
            });
        importer = test.importer;
        fake.dialogs.boxes.clear();
        fake.dialogs.answers = {test.yes};
        QMap<QString, QByteArray> before;
        start(false, false, [&](TempCatalogue &c) {
            putFileBytes(c.dbPath(), test.file);
            before = contents(c.dir());
        });
        const auto &boxes = fake.dialogs.boxes;
        ASSERT_EQ(boxes.size(), 2u); // the offer, then why nothing is open
        EXPECT_EQ(boxes[0].kind, FakeDialogs::Box::Confirm);
        EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("catálogo antiguo de Microsoft Access")));
        // A question of ours opens as Spanish opens one.
        EXPECT_TRUE(boxes[0].text.contains(QRegularExpression(QStringLiteral("¿[^?¿]+\\?"))));
        EXPECT_EQ(boxes[1].kind, FakeDialogs::Box::Error);
        EXPECT_TRUE(boxes[1].text.contains(QStringLiteral("vadrel-db import db.mdb CARPETA")))
            << boxes[1].text.toStdString();
        if (test.detail) {
            EXPECT_TRUE(boxes[1].text.contains(QString::fromUtf8(test.detail)))
                << boxes[1].text.toStdString();
        }
        if (test.unsaid) {
            EXPECT_FALSE(boxes[1].text.contains(QString::fromUtf8(test.unsaid)))
                << boxes[1].text.toStdString();
        }
        EXPECT_EQ(contents(catalogue->dir()), before);
        EXPECT_FALSE(data().TDiscos.Active());
    }
}

TEST_F(AccessOfferTest, AcceptedConvertsAndKeepsTheOldFileUnderAFreeName) {
    const QByteArray old = fileBytes(legacyFixturePath());
    SKIP_OR_FAIL_WITHOUT_FIXTURE(old.size() >= 8192, legacyFixturePath());
    importer = QStringLiteral(VADREL_DB);
    fake.dialogs.answers = {true};
    const QByteArray taken = "an earlier db-access.mdb of the user's";
    start(false, false, [&](TempCatalogue &c) {
        putFileBytes(c.dbPath(), old);
        putFileBytes(QDir(c.dir()).filePath(QStringLiteral("db-access.mdb")), taken);
    });
    const QDir folder(catalogue->dir());
    const auto &boxes = fake.dialogs.boxes;
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].kind, FakeDialogs::Box::Information);
    EXPECT_TRUE(boxes[1].text.contains(folder.filePath(QStringLiteral("db-access-2.mdb"))))
        << boxes[1].text.toStdString();
    EXPECT_TRUE(fileBytes(folder.filePath(QStringLiteral("db-access-2.mdb"))) == old);
    EXPECT_EQ(fileBytes(folder.filePath(QStringLiteral("db-access.mdb"))), taken);
    EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"ayuda", "db-access-2.mdb", "db-access.mdb", "db.mdb"}));
    // The program runs on the converted catalogue.
    EXPECT_EQ(catalogue->queryText("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(data().TDiscos.RecordCount(), 6);
    data().Reads.finishBackgroundRead();
    EXPECT_EQ(data().TProgramas.RecordCount(), 25);
}

// What a conversion or a listing killed part way left in the catalogue folder goes at the next
// start: only our own names, and only what is older than this process (another Vadrel may be
// at work in the folder).
TEST_F(AccessOfferTest, AStartRemovesWhatAKilledConversionLeft) {
    const struct {
        const char *name;
        bool folder, old, removed;
    } cases[] = {
        {".vadrel-import-k3Jd9a", true, true, true},  {".vadrel-import-k3Jd9b", true, false, false},
        {".vadrel-import-k3Jd9", true, true, false},  {".Listado.txt.u7Yt5r", false, true, true},
        {".Listado.txt.u7Yt5s", false, false, false}, {".Listado.txt.u7Yt5rr", false, true, false},
    };
    start(true, true, [&](TempCatalogue &c) {
        const QDir dir(c.dir());
        for (const auto &test : cases) {
            const QString path = dir.filePath(test.name);
            if (test.folder) {
                ASSERT_TRUE(dir.mkdir(test.name));
                putFileBytes(path + "/db.mdb", "half a catalogue");
            } else {
                putFileBytes(path, "half a listing");
            }
            if (test.old) {
                const timespec times[2] = {{978307200, 0}, {978307200, 0}};
                ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
            }
        }
    });
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(QFileInfo::exists(QDir(catalogue->dir()).filePath(test.name)), !test.removed);
    }
    EXPECT_TRUE(data().TDiscos.Active());
}

// The other side of the next test: run as its own process, it starts a child as the conversion
// does and waits to be killed.
TEST(ChildOfAKilledProgram, StartsAChildAndWaits) {
    if (qEnvironmentVariableIsEmpty("VADREL_TEST_PARENT"))
        GTEST_SKIP() << "only run by ItEndsWithTheProgram";
    QProcess child;
    endsWithThisProcess(child);
    child.start(QStringLiteral("/bin/sleep"), {QStringLiteral("600")});
    ASSERT_TRUE(child.waitForStarted());
    std::printf("child %lld\n", static_cast<long long>(child.processId()));
    std::fflush(stdout);
    ::sleep(600);
}

// kill -9 of the program while the importer runs ends the importer too.
TEST(ChildOfAKilledProgram, ItEndsWithTheProgram) {
    // Orphans come to this process, which can then see how the child ended.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    QProcess parent;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VADREL_TEST_PARENT"), QStringLiteral("1"));
    parent.setProcessEnvironment(environment);
    parent.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_filter=ChildOfAKilledProgram.StartsAChildAndWaits")});
    pid_t child = 0;
    QByteArray output;
    for (int i = 0; i < 100 && child == 0 && parent.state() != QProcess::NotRunning; ++i) {
        parent.waitForReadyRead(200);
        output += parent.readAllStandardOutput();
        const qsizetype at = output.indexOf("child ");
        if (at >= 0 && output.indexOf('\n', at) > at)
            child = pid_t(output.mid(at + 6, output.indexOf('\n', at) - at - 6).toLongLong());
    }
    ASSERT_GT(child, 0);
    ::kill(pid_t(parent.processId()), SIGKILL);
    parent.waitForFinished();

    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 100 && ended == 0; ++i) {
        ended = ::waitpid(child, &status, WNOHANG);
        if (ended == 0)
            ::usleep(100000);
    }
    if (ended != child) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    ASSERT_EQ(ended, child) << "the child outlived its parent";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}
