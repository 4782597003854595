#include "platform/Application.h"
#include "platform/Guard.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <gtest/gtest.h>
#include <stdexcept>

// The program speaks Spanish even where the machine has no regional setting; a real setting is
// always kept.
TEST(Application, RegionalSettingFallsBackToSpanishOnlyWithoutOne) {
    EXPECT_EQ(platform::regionalLocale(QLocale::c()), QLocale(QLocale::Spanish, QLocale::Spain));
    for (const char *name : {"es_AR", "de_DE", "en_US"})
        EXPECT_EQ(platform::regionalLocale(QLocale(name)), QLocale(name)) << name;
}

// Runs once with the tests' own LANG and once with LANG=C: either way dates, the date picker
// and Qt's own texts come out in Spanish.
TEST(Application, PreparedApplicationSpeaksSpanish) {
    EXPECT_EQ(QLocale(), platform::regionalLocale());
    EXPECT_EQ(QLocale().language(), QLocale::Spanish);
    QDateEdit picker(QDate(2003, 3, 15));
    picker.setCalendarPopup(true);
    EXPECT_EQ(picker.calendarWidget()->locale().standaloneMonthName(3), "marzo");
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Undo"), "&Deshacer");
    EXPECT_EQ(QApplication::font().pixelSize(), 11);
}

// A guarded handler gets the signal's arguments when it takes them; what it throws reaches the
// error handler with the signal's sender.
TEST(Guard, HandlersTakeTheSignalsArgumentsAndTheirErrorsAreReported) {
    QObject sender;
    QStringList heard;
    QObject *blamed = nullptr;
    platform::installErrorHandler([&](QObject *from, std::exception_ptr) { blamed = from; });
    platform::connectGuarded(&sender, &QObject::objectNameChanged, &sender,
                             [&](const QString &name) { heard << name; });
    platform::connectGuarded(&sender, &QObject::objectNameChanged, &sender, [&] {
        heard << QStringLiteral("-");
        throw std::runtime_error("refused");
    });
    sender.setObjectName(QStringLiteral("uno"));
    platform::installErrorHandler({});
    EXPECT_EQ(heard, QStringList({QStringLiteral("uno"), QStringLiteral("-")}));
    EXPECT_EQ(blamed, &sender);
}
