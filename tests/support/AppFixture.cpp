#include "AppFixture.h"

#include "backup.h"
#include "cds_.h"

#include <QTreeWidget>

void AppFixture::start(bool withDatabase, bool sample,
                       const std::function<void(TempCatalogue &)> &arrange) {
    TearDown(); // a test may start the program again, on a fresh catalogue
    catalogue = std::make_unique<TempCatalogue>(sample, withDatabase);
    if (arrange)
        arrange(*catalogue);
    cwd = std::make_unique<ScopedCwd>(catalogue->dir());
    app = std::make_unique<Startup>(fake.services(), importer);
    Form1->show(); // as the program entry does
}

void AppFixture::TearDown() {
    app.reset();
    cwd.reset();
}

void AppFixture::selectBackupFolder(const QString &path) {
    QTreeWidgetItem *node = Form9->TreeView->topLevelItem(0)->child(0); // "/"
    for (const QString &name : path.split(u'/', Qt::SkipEmptyParts)) {
        node->setExpanded(true);
        QTreeWidgetItem *next = nullptr;
        for (int i = 0; i < node->childCount() && !next; ++i)
            if (node->child(i)->text(0) == name)
                next = node->child(i);
        ASSERT_NE(next, nullptr) << name.toStdString();
        node = next;
    }
    Form9->TreeView->setCurrentItem(node);
}
