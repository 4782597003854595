#include "support/AppFixture.h"

#include "mainwin/cds_.h"
#include "utilities/backup.h"

#include "store/catalogue/HelpPages.h"

#include <QFile>
#include <QTreeWidget>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

void AppFixture::start(bool withDatabase, bool sample,
                       const std::function<void(TempCatalogue &)> &arrange) {
    TearDown(); // a test may start the program again, on a fresh catalogue
    catalogue = std::make_unique<TempCatalogue>(sample, withDatabase, engine);
    if (arrange)
        arrange(*catalogue);
    cwd = std::make_unique<ScopedCwd>(catalogue->dir());
    app = std::make_unique<Startup>(fake.services(), importer, true, catalogue->address());
    form1()->show(); // as the program entry does
}

QByteArray AppFixture::startInFolderNamed(const QByteArray &name) {
    TearDown();
    catalogue = std::make_unique<TempCatalogue>(true);
    const QByteArray root = QFile::encodeName(catalogue->dir());
    byteFolder_ = root + '/' + name.left(name.indexOf('/'));
    const QByteArray folder = root + '/' + name;
    for (qsizetype at = root.size() + 1; at <= folder.size(); ++at)
        if (at == folder.size() || folder[at] == '/')
            ::mkdir(folder.left(at).constData(), 0777);
    if (::access(folder.constData(), F_OK) != 0 ||
        ::rename((root + "/db.mdb").constData(), (folder + "/db.mdb").constData()) != 0)
        throw std::runtime_error("cannot make the catalogue folder");
    cwd = std::make_unique<ScopedCwd>(catalogue->dir());
    if (::chdir(name.constData()) != 0)
        throw std::runtime_error("cannot enter the catalogue folder");
    store::installHelpPages(QStringLiteral("."));
    app = std::make_unique<Startup>(fake.services(), importer);
    form1()->show();
    return folder;
}

void AppFixture::TearDown() {
    app.reset();
    cwd.reset();
    if (!byteFolder_.isEmpty()) {
        std::error_code ignored;
        std::filesystem::remove_all(byteFolder_.constData(), ignored);
        byteFolder_.clear();
    }
}

void AppFixture::selectBackupFolder(const QString &path) {
    QTreeWidgetItem *node =
        child<QTreeWidget>(form9(), "TreeView")->topLevelItem(0)->child(0); // "/"
    for (const QString &name : path.split(u'/', Qt::SkipEmptyParts)) {
        node->setExpanded(true);
        QTreeWidgetItem *next = nullptr;
        for (int i = 0; i < node->childCount() && !next; ++i)
            if (node->child(i)->text(0) == name)
                next = node->child(i);
        ASSERT_NE(next, nullptr) << name.toStdString();
        node = next;
    }
    child<QTreeWidget>(form9(), "TreeView")->setCurrentItem(node);
}
