#include "AppFixture.h"
#include "Contact.h"
#include "Herramientas.h"
#include "QtPrinters.h"
#include "cds_.h"

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
        QAction *item = Form1->menuBar()->findChild<QAction *>(QLatin1String(name));
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

// The first candidate in the tool's order found anywhere on PATH wins; a later candidate only
// when every earlier one is missing; nothing found starts nothing and shows nothing.
TEST_F(ToolsTest, ToolCommandsStartTheFirstCandidateOnThePath) {
    start();
    const struct {
        const char *command;
        QStringList path; // an empty entry is skipped, not taken as the working directory
        int at;           // the folder of `path` the program is started from; -1: none
        const char *program;
    } cases[] = {
        {"Blockdenotas1",
         {folder({"mousepad"}), folder({"gedit", "gnome-text-editor"})},
         1,
         "gnome-text-editor"},
        {"Blockdenotas1", {folder({"-gedit", "vim"}), folder({"leafpad"})}, 1, "leafpad"},
        {"ExploradordeWindows1", {folder({"nautilus"}), folder({"nautilus"})}, 0, "nautilus"},
        {"Calculadorqa1", {folder({"bc"}), "", folder({"mate-calc"})}, 2, "mate-calc"},
        {"Calculadorqa1", {folder({"calc.exe", "-gnome-calculator"})}, -1, ""},
    };
    for (const auto &c : cases) {
        qputenv("PATH", QFile::encodeName(c.path.join(u':')));
        fake.shell.started.clear();
        trigger(c.command);
        if (c.at < 0) {
            EXPECT_TRUE(fake.shell.started.empty());
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
        {"Contacto1", "mailto:" + kContactAddress, "open", platform::Shell::Maximized},
    };
    for (const auto &c : cases) {
        fake.shell.opened.clear();
        trigger(c.command);
        ASSERT_EQ(fake.shell.opened.size(), 1u) << c.command;
        EXPECT_EQ(fake.shell.opened[0].target, c.target);
        EXPECT_EQ(fake.shell.opened[0].verb, c.verb);
        EXPECT_EQ(fake.shell.opened[0].mode, c.mode);
    }
    EXPECT_TRUE(fake.shell.started.empty() && fake.dialogs.boxes.empty());
}
