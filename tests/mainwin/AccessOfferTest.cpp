// An old Access catalogue as db.mdb at start-up: converted when the user says yes, with the old
// file kept byte for byte under a free name; left exactly as it was when the user says no or the
// conversion fails, the program then running as without a catalogue.
#include "AppFixture.h"
#include "Fixture.h"
#include "Modulo.h"
#include "QtPrinters.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QByteArray read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

void write(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// Every file of the folder with its bytes.
QMap<QString, QByteArray> contents(const QString &folder) {
    QMap<QString, QByteArray> files;
    for (const QString &name :
         QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        files[name] = read(QDir(folder).filePath(name));
    return files;
}

class AccessOfferTest : public AppFixture {};

} // namespace

TEST_F(AccessOfferTest, DeclinedOrFailedChangesNothingAndSaysHowToConvert) {
    const QByteArray old = read(legacyFixturePath());
    SKIP_OR_FAIL_WITHOUT_FIXTURE(old.size() >= 8192, legacyFixturePath());
    // A converter stuck on a damaged file.
    QTemporaryDir tools;
    const QString hanging = QDir(tools.path()).filePath(QStringLiteral("vadrel-db"));
    write(hanging, "#!/bin/sh\nexec sleep 60\n");
    QFile::setPermissions(hanging, QFile::ReadOwner | QFile::ExeOwner);
    const struct {
        const char *what;
        bool yes;
        QString importer;
        QByteArray file;
        const char *detail;  // part of the error box's technical line
        bool cancel = false; // the user presses "Cancelar" while it runs
    } cases[] = {
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
            write(c.dbPath(), test.file);
            before = contents(c.dir());
        });
        const auto &boxes = fake.dialogs.boxes;
        ASSERT_EQ(boxes.size(), 2u); // the offer, then why nothing is open
        EXPECT_EQ(boxes[0].kind, FakeDialogs::Box::Confirm);
        EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("catálogo antiguo de Microsoft Access")));
        EXPECT_EQ(boxes[1].kind, FakeDialogs::Box::Error);
        EXPECT_TRUE(boxes[1].text.contains(QStringLiteral("vadrel-db import db.mdb CARPETA")))
            << boxes[1].text.toStdString();
        if (test.detail) {
            EXPECT_TRUE(boxes[1].text.contains(QString::fromUtf8(test.detail)))
                << boxes[1].text.toStdString();
        }
        EXPECT_EQ(contents(catalogue->dir()), before);
        EXPECT_FALSE(data().TDiscos.Active());
    }
}

TEST_F(AccessOfferTest, AcceptedConvertsAndKeepsTheOldFileUnderAFreeName) {
    const QByteArray old = read(legacyFixturePath());
    SKIP_OR_FAIL_WITHOUT_FIXTURE(old.size() >= 8192, legacyFixturePath());
    importer = QStringLiteral(VADREL_DB);
    fake.dialogs.answers = {true};
    const QByteArray taken = "an earlier db-access.mdb of the user's";
    start(false, false, [&](TempCatalogue &c) {
        write(c.dbPath(), old);
        write(QDir(c.dir()).filePath(QStringLiteral("db-access.mdb")), taken);
    });
    const QDir folder(catalogue->dir());
    const auto &boxes = fake.dialogs.boxes;
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].kind, FakeDialogs::Box::Information);
    EXPECT_TRUE(boxes[1].text.contains(folder.filePath(QStringLiteral("db-access-2.mdb"))))
        << boxes[1].text.toStdString();
    EXPECT_TRUE(read(folder.filePath(QStringLiteral("db-access-2.mdb"))) == old);
    EXPECT_EQ(read(folder.filePath(QStringLiteral("db-access.mdb"))), taken);
    EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"ayuda", "db-access-2.mdb", "db-access.mdb", "db.mdb"}));
    // The program runs on the converted catalogue.
    EXPECT_EQ(catalogue->queryText("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(data().TDiscos.RecordCount(), 6);
    data().ADOConnection.finishBackgroundRead();
    EXPECT_EQ(data().TProgramas.RecordCount(), 25);
}
