// Vadrel: the program entry. No arguments are read; the catalogue is db.mdb in the working
// directory.
#include "Application.h"
#include "QtPlatform.h"
#include "Startup.h"
#include "cds_.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    platform::prepareApplication(application);
    QIcon icon;
    for (int size : {32, 64, 128})
        icon.addFile(QStringLiteral(":/icons/vadrel-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    platform::QtPlatform desktop;
    Startup windows(desktop.services());
    windows.mainWindow().show();
    return QApplication::exec();
}
