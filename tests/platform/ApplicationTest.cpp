#include "Application.h"
#include "QtPrinters.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <gtest/gtest.h>

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
