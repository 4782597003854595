#include "platform/DialogFolders.h"
#include "platform/QtPlatform.h"
#include "support/QtPrinters.h"
#include "support/TempCatalogue.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Stands in for the desktop's handlers: records what the shell was asked to open.
class Recorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

// A desktop of this test program's own, made of the same files a real one is: desktop entries
// and the defaults of mimeapps.list in the XDG directories. Each entry's program writes down the
// arguments it was started with. GLib reads the XDG directories once, at its first use in the
// process, so they are set before main.
class TestDesktop {
public:
    TestDesktop() {
        const QDir root(dir_.path());
        for (const char *sub : {"data/applications", "config", "config-dirs", "system"})
            root.mkpath(QLatin1String(sub));
        write("record",
              "#!/bin/sh\n"
              "# record NAME ARGS...: NAME.args gets the number of ARGS, then each on a line.\n"
              "dir=$(dirname \"$0\"); name=$1; shift\n"
              "{ echo $#; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } >\"$dir/$name.tmp\"\n"
              "mv \"$dir/$name.tmp\" \"$dir/$name.args\"\n",
              true);
        // Browsers that claim the web's schemes and pages, a mail program, a text editor that
        // takes files and a file manager that takes folders.
        entry("browser", "%u", "x-scheme-handler/https;x-scheme-handler/http;text/html;");
        entry("oldbrowser", "%u", "x-scheme-handler/http;text/html;");
        entry("mail", "%u", "x-scheme-handler/mailto;");
        entry("editor", "%F", "text/plain;");
        entry("files", "%U", "inode/directory;");
        write("config/mimeapps.list", "[Default Applications]\n"
                                      "x-scheme-handler/https=vadrel-test-browser.desktop\n"
                                      "x-scheme-handler/http=vadrel-test-oldbrowser.desktop\n"
                                      "x-scheme-handler/mailto=vadrel-test-mail.desktop\n"
                                      "text/plain=vadrel-test-editor.desktop\n"
                                      "inode/directory=vadrel-test-files.desktop\n");
        qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath("data")));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(root.filePath("system")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath("config")));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root.filePath("config-dirs")));
        qunsetenv("XDG_CURRENT_DESKTOP");
    }

    // The arguments `app` was started with, once it has written them down; the record is taken
    // away, so the next start is seen afresh. Nothing when it was not started.
    std::optional<QByteArrayList> started(const char *app) const {
        QFile record(QDir(dir_.path()).filePath(QLatin1String(app) + QStringLiteral(".args")));
        if (!QTest::qWaitFor([&] { return record.exists(); }, 10000) ||
            !record.open(QIODevice::ReadOnly))
            return std::nullopt;
        QByteArrayList lines = record.readAll().split('\n');
        record.remove();
        lines.removeLast(); // after the last line's end
        if (lines.isEmpty() || lines.takeFirst().toInt() != lines.size())
            return QByteArrayList{"(damaged record)"};
        return lines;
    }
    // The records nobody took: programs started that should not have been.
    QStringList untaken() const { return QDir(dir_.path()).entryList({QStringLiteral("*.args")}); }

private:
    void write(const QString &name, const QByteArray &text, bool program = false) {
        QFile file(QDir(dir_.path()).filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            qFatal("cannot write the test desktop's %s", qPrintable(name));
        if (program)
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void entry(const char *name, const char *field, const char *types) {
        write(QStringLiteral("data/applications/vadrel-test-%1.desktop").arg(QLatin1String(name)),
              QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=\"%2\" %1 %3\n"
                             "MimeType=%4\n")
                  .arg(QLatin1String(name), QDir(dir_.path()).filePath("record"),
                       QLatin1String(field), QLatin1String(types))
                  .toUtf8());
    }
    QTemporaryDir dir_;
};

// A folder named in Latin-1 ("café", no valid text) holding a text file; made and removed by its
// bytes, which QTemporaryDir cannot do.
struct Latin1Folder {
    explicit Latin1Folder(const QByteArray &parent)
        : path(parent + "/caf\xe9")
        , file(path + "/LEEME.txt") {
        std::FILE *text = ::mkdir(path, 0700) == 0 ? std::fopen(file, "w") : nullptr;
        made = text && std::fputs("Léame primero.\n", text) >= 0;
        if (text)
            std::fclose(text);
    }
    ~Latin1Folder() {
        ::unlink(file);
        ::rmdir(path);
    }
    QByteArray path, file;
    bool made;
};

const TestDesktop &testDesktop() {
    static const TestDesktop desktop;
    return desktop;
}
[[maybe_unused]] const TestDesktop &setBeforeMain = testDesktop();

} // namespace

TEST(Shell, LinksOpenAsAddressesOrAsPathsFromTheWorkingDirectory) {
    const QByteArray cwd = QByteArrayLiteral("/srv/catálogo");
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
        {"100% #1?.txt", QUrl::fromLocalFile("/srv/catálogo/100% #1?.txt")},
    };
    for (const auto &c : cases) {
        const QUrl url = platform::shellTarget(QString::fromUtf8(c.link), cwd);
        EXPECT_EQ(url, c.expected) << c.link << " -> " << url.toString().toStdString();
    }
}

// A working directory whose name is no valid text (Latin-1 "café") keeps its bytes in the
// address; an absolute path never looks at it.
TEST(Shell, RelativeLinksKeepTheWorkingDirectorysOwnBytes) {
    const struct {
        QByteArray cwd;
        const char *link;
        QByteArray expected;
    } cases[] = {
        {"/srv/caf\xe9", "LEEME.txt", "file:///srv/caf%E9/LEEME.txt"},
        {"/srv/caf\xe9/", "docs/Léeme.txt", "file:///srv/caf%E9/docs/L%C3%A9eme.txt"},
        {"/", "LEEME.txt", "file:///LEEME.txt"},
        {"/srv/caf\xe9", "/media/cdrom/LEEME.txt", "file:///media/cdrom/LEEME.txt"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(platform::shellTarget(QString::fromUtf8(c.link), c.cwd).toEncoded(), c.expected)
            << c.link;
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

// The real shell against the test desktop: each address reaches the program its defaults name,
// as that program's argument. Offscreen, Qt itself has no desktop to hand links to, so web links
// and files take the way they take where xdg-open is missing.
TEST(Shell, TheDesktopsDefaultProgramsReceiveTheirAddresses) {
    const TestDesktop &desktop = testDesktop();
    platform::QtShell shell;

    // Nothing is named for this type: nothing starts, and the caller hears so.
    EXPECT_FALSE(shell.startDefault(QStringLiteral("application/x-vadrel-unknown")));

    // A relative file name is opened from a working directory whose name is no valid text.
    QTemporaryDir root;
    const Latin1Folder folder(QFile::encodeName(root.path()));
    ASSERT_TRUE(folder.made);
    const std::unique_ptr<char, decltype(&std::free)> here(::getcwd(nullptr, 0), std::free);
    ASSERT_TRUE(here && ::chdir(folder.path) == 0);

    const struct {
        const char *target; // opened; a MIME type started when `startDefault`
        bool startDefault;
        const char *program;
        QByteArrayList arguments;
    } cases[] = {
        {"about:blank", false, "browser", {"about:blank"}},
        {"mailto:", false, "mail", {"mailto:"}},
        {"mailto:someone@example.org", false, "mail", {"mailto:someone@example.org"}},
        {"http://winzip.example/", false, "oldbrowser", {"http://winzip.example/"}},
        {"LEEME.txt", false, "editor", {folder.file}},
        {"text/plain", true, "editor", {}},
        {"inode/directory", true, "files", {}},
    };
    for (const auto &c : cases) {
        if (c.startDefault)
            EXPECT_TRUE(shell.startDefault(QLatin1String(c.target))) << c.target;
        else
            shell.open(nullptr, QString::fromUtf8(c.target), QString(), platform::Shell::Normal);
        EXPECT_EQ(desktop.started(c.program), c.arguments) << c.target;
    }
    // The whole path as the windows build it from the working directory's text, in which the
    // folder's stray byte became U+FFFD.
    shell.open(nullptr, QFile::decodeName(folder.file), QString(), platform::Shell::Normal);
    EXPECT_EQ(desktop.started("editor"), QByteArrayList{folder.file});
    EXPECT_EQ(::chdir(here.get()), 0);
    EXPECT_EQ(desktop.untaken(), QStringList());
}

#include "ShellTest.moc"

// Each kind of file dialog starts in the folder last chosen for that kind, and never in a folder
// that is not there (the dialog would show its name as the file's).
TEST(DialogFoldersTest, StartWhereThatKindWasLastChosen) {
    QTemporaryDir dir;
    platform::Preferences preferences(dir.filePath(QStringLiteral("vadrel.conf")));
    platform::DialogFolders folders(preferences);
    const QByteArray odd = QFile::encodeName(dir.path()) + "/caf\xc3\xa9 & co \xe2\x80\x94 [1]";
    ASSERT_EQ(::mkdir(odd.constData(), 0700), 0);
    const QString csvs = dir.filePath(QStringLiteral("listas"));
    ASSERT_TRUE(QDir().mkpath(csvs));
    const QString gone = dir.filePath(QStringLiteral("borrada"));
    ASSERT_TRUE(QDir().mkpath(gone));

    EXPECT_EQ(platform::DialogFolders::kindOf(QStringLiteral("CSV (*.csv *.txt);;Todos (*)")),
              "csv");
    EXPECT_EQ(platform::DialogFolders::kindOf(QStringLiteral("Todos los archivos (*)")), "otros");
    // Nothing chosen yet: the suggestion where its folder exists, else a folder that does.
    EXPECT_EQ(folders.startFile("csv", csvs + "/catalogo.csv"), csvs + "/catalogo.csv");
    const QFileInfo fallback(folders.startFile("csv", dir.filePath("falta/catalogo.csv")));
    EXPECT_EQ(fallback.fileName(), "catalogo.csv");
    EXPECT_TRUE(fallback.dir().exists());

    const struct {
        const char *kind;
        QByteArray chosen;
        bool isFolder;
        QByteArray startsIn;
    } chosen[] = {
        {"csv", QFile::encodeName(csvs) + "/a.csv", false, QFile::encodeName(csvs)},
        {"pdf", odd + "/informe.pdf", false, odd},
        {"catalogo", odd, false, QFile::encodeName(dir.path())},
        {"png", QFile::encodeName(gone) + "/g.png", false, {}},
    };
    for (const auto &c : chosen)
        folders.chose(c.kind, c.chosen, c.isFolder);
    ASSERT_TRUE(QDir(gone).removeRecursively());
    for (const auto &c : chosen) {
        SCOPED_TRACE(c.kind);
        const QString start = folders.startFolder(c.kind);
        if (c.startsIn.isEmpty())
            EXPECT_TRUE(QFileInfo(start).isDir()) << start.toStdString();
        else
            EXPECT_EQ(QFile::encodeName(start), c.startsIn);
    }
    // Another kind's suggestion does not move this kind's start.
    EXPECT_EQ(folders.startFile("csv", dir.filePath("falta/consulta.csv")), csvs + "/consulta.csv");
}
