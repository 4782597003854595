#include "Application.h"

#include "Accessibility.h"
#include "Look.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

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
    applyWindowFont();
    installAccessibility();
}

} // namespace platform
