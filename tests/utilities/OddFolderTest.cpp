// A catalogue folder whose name is no valid text (Latin-1 bytes): the listing, the help pages and
// the backup reach the folder by its own bytes, and what the user reads names it as best it can.
#include "mainwin/cds_.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "utilities/ayuda.h"
#include "utilities/backup.h"
#include "utilities/exportar.h"

#include <QAction>
#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using OddFolderTest = AppFixture;

QByteArray readBytes(const QByteArray &path) {
    std::ifstream in(path.constData(), std::ios::binary);
    return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}));
}

} // namespace

TEST_F(OddFolderTest, ListingHelpAndBackupUseTheFolderByItsBytes) {
    const QByteArray folder = startInFolderNamed("cat\xe1logo");
    const QString shown = QFile::decodeName(folder); // what the boxes can show of it
    EXPECT_TRUE(fake.dialogs.boxes.empty());

    // The listing is written in the folder; the desktop is handed the path the box shows, which
    // the shell takes back to the folder's bytes.
    fake.dialogs.answers = {true};
    child<QToolButton>(form8(), "SpeedButton1")->click();
    EXPECT_TRUE(readBytes(folder + "/Listado.txt").startsWith("LISTADO DE PROGRAMAS :\r\n"));
    ASSERT_EQ(fake.dialogs.boxes.size(), 2u);
    EXPECT_EQ(fake.dialogs.boxes[0].text,
              "\r\n El Listado de Programas se generó en " + shown + "/Listado.txt \r\n");
    ASSERT_EQ(fake.shell.opened.size(), 1u);
    EXPECT_EQ(fake.shell.opened[0].target, shown + "/Listado.txt");

    // The help pages show, and their links lead from page to page.
    form1()->menuBar()->findChild<QAction *>("Ayuda2")->trigger();
    EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->documentTitle(), "Ayuda de Vadrel");
    emit child<QTextBrowser>(form10(), "WebBrowser")->anchorClicked(QUrl("cds.htm"));
    EXPECT_EQ(child<QTextBrowser>(form10(), "WebBrowser")->documentTitle(), "Los CDs");
    EXPECT_EQ(fake.shell.opened.size(), 1u);

    // The backup of the open catalogue, into an ordinary folder and into the folder itself,
    // picked in the tree by the name it shows.
    QTemporaryDir elsewhere;
    for (const QByteArray &target : {QFile::encodeName(elsewhere.path()), folder}) {
        SCOPED_TRACE(target.toStdString());
        fake.dialogs.boxes.clear();
        fake.modal.inside = [&](QDialog *) {
            selectBackupFolder(QFile::decodeName(target));
            child<QToolButton>(form9(), "SpeedButton1")->click();
        };
        form1()->findChild<QAction *>("RepararBasededatos1")->trigger();
        ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
        EXPECT_EQ(fake.dialogs.boxes[0].text,
                  "La copia de seguridad se llevo a cabo correctamente en: \r\n\r\n" +
                      QFile::decodeName(target) + "/07_12_2026.mdb");
        EXPECT_EQ(readBytes(target + "/07_12_2026.mdb").left(16),
                  QByteArray("SQLite format 3", 16));
    }
}
