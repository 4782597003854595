#include "platform/Application.h"

#include "platform/Accessibility.h"
#include "platform/Look.h"
#include "platform/ScrollBarLook.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>
#include <climits>
#include <unistd.h>

namespace platform {

QLocale regionalLocale(const QLocale &system) {
    if (system.language() == QLocale::C)
        return QLocale(QLocale::Spanish, QLocale::Spain);
    return system;
}

void prepareApplication(QApplication &application) {
    const QLocale locale = regionalLocale();
    QLocale::setDefault(locale);
    // Qt's own texts (the date picker, context menus) in the language of that setting.
    auto *translator = new QTranslator(&application);
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    useDistinctScrollBarThumbs();
    applyWindowFont();
    installAccessibility();
}

QByteArray programFolder() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || length == sizeof path)
        return QFile::encodeName(QCoreApplication::applicationDirPath());
    const QByteArray self(path, length);
    return self.left(self.lastIndexOf('/'));
}

} // namespace platform
