// Vadrel: the program entry. `vadrel [CARPETA]`: the catalogue is db.mdb in the working
// directory, which CARPETA, when given, becomes before anything else. `vadrel URI`: the catalogue
// is on a server, and the user's own folder is the working directory.
#include "mainwin/CatalogueFolder.h"
#include "mainwin/CommandLine.h"
#include "mainwin/Startup.h"
#include "mainwin/cds_.h"
#include "platform/Application.h"
#include "platform/QtPlatform.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>

int main(int argc, char **argv) {
    const Invocation invocation = readArguments(argc, argv);
    switch (invocation.action) {
    case Invocation::Action::Help:
        std::fputs(usageText().toLocal8Bit().constData(), stdout);
        return 0;
    case Invocation::Action::Version:
        std::fputs(versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case Invocation::Action::Wrong:
        std::fprintf(stderr, "vadrel: %s\n\n%s", invocation.problem.toLocal8Bit().constData(),
                     usageText().toLocal8Bit().constData());
        return 2;
    case Invocation::Action::Run:
        break;
    }

    QApplication application(argc, argv);
    platform::prepareApplication(application);
    QIcon icon = QIcon::fromTheme(QStringLiteral("vadrel"));
    for (int size : {32, 64, 128})
        icon.addFile(QStringLiteral(":/icons/vadrel-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    platform::QtPlatform desktop;
    const bool onServer = !invocation.server.isEmpty();
    const bool inFolder = onServer
                              ? enterOwnFolder(desktop.services())
                              : invocation.folder.isEmpty() ||
                                    enterCatalogueFolder(invocation.folder, desktop.services());
    Startup windows(desktop.services(), QString(), inFolder, invocation.server);
    windows.mainWindow().show();
    return QApplication::exec();
}
