#include "mainwin/Herramientas.h"
#include "mainwin/cds_.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ToolsTest : public AppFixture {
protected:
    void TearDown() override {
        qputenv("PATH", path_);
        AppFixture::TearDown();
    }
    void trigger(const char *name) {
        QAction *item = form1()->menuBar()->findChild<QAction *>(QLatin1String(name));
        ASSERT_TRUE(item && item->isEnabled()) << name;
        item->trigger();
    }
    // A fresh folder holding the given programs; a name starting with '-' is not executable.
    QString folder(std::initializer_list<const char *> files) {
        const QString dir = QDir(root_.path()).filePath(QString::number(++folders_));
        QDir().mkpath(dir);
        for (const char *file : files) {
            QFile f(QDir(dir).filePath(QLatin1String(file[0] == '-' ? file + 1 : file)));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.setPermissions(file[0] == '-' ? QFile::ReadOwner
                                            : QFile::ReadOwner | QFile::ExeOwner);
        }
        return dir;
    }

private:
    QByteArray path_ = qgetenv("PATH");
    QTemporaryDir root_;
    int folders_ = 0;
};

} // namespace

// The desktop's default program for the job comes first (plain text for the editor, folders for
// the file manager; the calculator has none). Without one, the first candidate in the tool's order
// found anywhere on PATH wins; a later candidate only when every earlier one is missing; nothing
// found starts nothing and shows nothing.
TEST_F(ToolsTest, ToolCommandsStartTheDesktopDefaultElseTheFirstCandidateOnThePath) {
    start();
    const struct {
        const char *command;
        QStringList defaults; // the MIME types the desktop names a program for
        QStringList path;     // an empty entry is skipped, not taken as the working directory
        QStringList asked;    // the defaults the command asks the desktop for, in order
        int at;               // the folder of `path` the program is started from; -1: none
        const char *program;
    } cases[] = {
        {"Blockdenotas1",
         {},
         {folder({"mousepad"}), folder({"gedit", "gnome-text-editor"})},
         {"text/plain"},
         1,
         "gnome-text-editor"},
        {"Blockdenotas1",
         {},
         {folder({"-gedit", "vim"}), folder({"leafpad"})},
         {"text/plain"},
         1,
         "leafpad"},
        {"ExploradordeWindows1",
         {},
         {folder({"nautilus"}), folder({"nautilus"})},
         {"inode/directory"},
         0,
         "nautilus"},
        {"Calculadorqa1", {}, {folder({"bc"}), "", folder({"mate-calc"})}, {}, 2, "mate-calc"},
        {"Calculadorqa1", {}, {folder({"calc.exe", "-gnome-calculator"})}, {}, -1, ""},
        // The desktop's own choice wins over every program on PATH.
        {"Blockdenotas1", {"text/plain"}, {folder({"gedit"})}, {"text/plain"}, -1, ""},
        {"ExploradordeWindows1",
         {"inode/directory"},
         {folder({"nautilus"})},
         {"inode/directory"},
         -1,
         ""},
        // A default for another job is not this tool's.
        {"ExploradordeWindows1",
         {"text/plain"},
         {folder({"thunar"})},
         {"inode/directory"},
         0,
         "thunar"},
        {"Calculadorqa1", {"text/plain", "inode/directory"}, {folder({"kcalc"})}, {}, 0, "kcalc"},
    };
    for (const auto &c : cases) {
        qputenv("PATH", QFile::encodeName(c.path.join(u':')));
        fake.shell.defaults = QSet<QString>(c.defaults.begin(), c.defaults.end());
        fake.shell.askedDefault.clear();
        fake.shell.started.clear();
        trigger(c.command);
        EXPECT_EQ(QStringList(fake.shell.askedDefault.begin(), fake.shell.askedDefault.end()),
                  c.asked)
            << c.command;
        if (c.at < 0) {
            EXPECT_TRUE(fake.shell.started.empty()) << c.command;
            continue;
        }
        ASSERT_EQ(fake.shell.started.size(), 1u) << c.program;
        EXPECT_EQ(fake.shell.started[0], QDir(c.path[c.at]).filePath(c.program));
    }
    EXPECT_TRUE(fake.shell.opened.empty());
    EXPECT_TRUE(fake.dialogs.boxes.empty());

    qunsetenv("PATH"); // the system's default search path stands in
    EXPECT_TRUE(RutaWindows().contains("/usr/bin"));
}

TEST_F(ToolsTest, BrowserMailAndContactGoThroughTheShell) {
    start();
    const struct {
        const char *command;
        QString target;
        QString verb;
        platform::Shell::ShowMode mode;
    } cases[] = {
        {"Navegadorpredeterminado1", "about:blank", "", platform::Shell::Normal},
        {"Clientedecorreo1", "mailto:", "open", platform::Shell::Maximized},
        {"Contacto1", "mailto:vadrel@example.org", "open", platform::Shell::Maximized},
    };
    for (const auto &c : cases) {
        fake.shell.opened.clear();
        trigger(c.command);
        ASSERT_EQ(fake.shell.opened.size(), 1u) << c.command;
        EXPECT_EQ(fake.shell.opened[0].target, c.target);
        EXPECT_EQ(fake.shell.opened[0].verb, c.verb);
        EXPECT_EQ(fake.shell.opened[0].mode, c.mode);
    }
    EXPECT_TRUE(fake.shell.started.empty() && fake.shell.askedDefault.empty() &&
                fake.dialogs.boxes.empty());
}
