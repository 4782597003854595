#include "QtPlatform.h"
#include "QtPrinters.h"
#include "TempCatalogue.h"

#include <QDesktopServices>
#include <QDir>
#include <gtest/gtest.h>

namespace {

// Stands in for the desktop's handlers: records what the shell was asked to open.
class Recorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

} // namespace

TEST(Shell, LinksOpenAsAddressesOrAsPathsFromTheWorkingDirectory) {
    const QString cwd = QStringLiteral("/srv/catálogo");
    const struct {
        const char *link;
        QUrl expected;
    } cases[] = {
        {"http://winzip.example/", QUrl("http://winzip.example/")},
        {"https://paint.example/a?b=1&c=2", QUrl("https://paint.example/a?b=1&c=2")},
        {"ftp://ftp.example/pub", QUrl("ftp://ftp.example/pub")},
        {"mailto:alguien@example.com", QUrl("mailto:alguien@example.com")},
        {"about:blank", QUrl("about:blank")},
        {"file:///media/cdrom/LEEME.html", QUrl("file:///media/cdrom/LEEME.html")},
        {"docs/Léeme ahora.txt", QUrl::fromLocalFile("/srv/catálogo/docs/Léeme ahora.txt")},
        {"../otro/archivo.pdf", QUrl::fromLocalFile("/srv/catálogo/../otro/archivo.pdf")},
        {"/media/cdrom/setup.sh", QUrl::fromLocalFile("/media/cdrom/setup.sh")},
        {"C:\\Programas\\setup.exe", QUrl::fromLocalFile("/srv/catálogo/C:\\Programas\\setup.exe")},
        {"www.example.com", QUrl::fromLocalFile("/srv/catálogo/www.example.com")},
    };
    for (const auto &c : cases) {
        const QUrl url = platform::shellTarget(QString::fromUtf8(c.link), cwd);
        EXPECT_EQ(url, c.expected) << c.link << " -> " << url.toString().toStdString();
    }
}

TEST(Shell, OpenHandsTheDesktopAFileForARelativeLink) {
    TempCatalogue folder(false, false);
    ScopedCwd cwd(folder.dir());
    Recorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "open");
    platform::QtShell shell;
    shell.open(nullptr, QStringLiteral("docs/Léeme ahora.txt"), QString(), platform::Shell::Normal);
    shell.open(nullptr, QStringLiteral("http://docs/"), QString(), platform::Shell::Normal);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    ASSERT_EQ(recorder.opened.size(), 2);
    EXPECT_TRUE(recorder.opened[0].isLocalFile());
    EXPECT_EQ(recorder.opened[0].toLocalFile(), QDir::current().filePath("docs/Léeme ahora.txt"));
    EXPECT_EQ(recorder.opened[1], QUrl("http://docs/"));
}

#include "ShellTest.moc"
