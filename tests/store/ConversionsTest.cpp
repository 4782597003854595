#include "store/engine/Conversions.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>
#include <limits>

using namespace store;

TEST(WholeNumberRule, AcceptsEveryAllowedForm) {
    const struct {
        const char16_t *text;
        qint32 value;
    } cases[] = {
        {u"0", 0},
        {u"123", 123},
        {u"007", 7},
        {u"   42", 42},
        {u" 12", 12},
        {u"+7", 7},
        {u"-3", -3},
        {u"2147483647", std::numeric_limits<qint32>::max()},
        {u"-2147483648", std::numeric_limits<qint32>::min()},
        {u"00000000000000000001", 1},
        {u"$1F", 31},
        {u"$ff", 255},
        {u"x10", 16},
        {u"X10", 16},
        {u"0x1f", 31},
        {u"0XFF", 255},
        {u"-$10", -16},
        {u"  -0x1", -1},
        {u"$7FFFFFFF", std::numeric_limits<qint32>::max()},
        {u"-$80000000", std::numeric_limits<qint32>::min()},
    };
    for (const auto &c : cases) {
        const QString text = QString::fromUtf16(c.text);
        const auto value = parseWholeNumber(text);
        ASSERT_TRUE(value.has_value()) << text.toStdString();
        EXPECT_EQ(*value, c.value) << text.toStdString();
    }
}

TEST(WholeNumberRule, RefusesEverythingElse) {
    const char16_t *cases[] = {
        u"",           u" ",
        u"+",          u"-",
        u"12a",        u"1 2",
        u"12 ",        u"\t5",
        u"2147483648", u"-2147483649",
        u"$80000000",  u"$FFFFFFFF",
        u"0x",         u"$",
        u"x",          u"1.5",
        u"1e3",        u"--1",
        u"+-1",        u"0x-1",
        u"$G",         u"99999999999999999999",
        u" + 1",       u"1,000",
        u"\u0663",     u"0b101",
        u"$ 1",        u"12\n",
    };
    for (const char16_t *c : cases) {
        const QString text = QString::fromUtf16(c);
        EXPECT_FALSE(parseWholeNumber(text).has_value())
            << "accepted: [" << text.toStdString() << "]";
    }
}

TEST(DateText, ShortFormatIsWidenedFromTheLocale) {
    EXPECT_EQ(shortDateFormat(QLocale("es_AR")), "dd/MM/yyyy");
    EXPECT_EQ(shortDateFormat(QLocale("en_US")), "MM/dd/yyyy");
    EXPECT_EQ(shortDateFormat(QLocale("de_DE")), "dd.MM.yyyy");
}

TEST(DateText, TimeIsShownOnlyWhenNotMidnight) {
    const QLocale es("es_AR");
    const QString format = shortDateFormat(es);
    EXPECT_EQ(serialToText(toSerial(QDate(2026, 12, 6)), format, es), "06/12/2026");
    EXPECT_EQ(serialToText(toSerial(QDate(2026, 12, 6), QTime(14, 30, 5)), format, es),
              "06/12/2026 14:30:05");
    EXPECT_EQ(serialToText(0, format, es), "30/12/1899");
    // Without the time zone, bracketed or not.
    for (const char *name : {"es_ES", "C", "zh_CN"}) {
        const QLocale locale(name);
        EXPECT_EQ(serialToText(toSerial(QDate(2005, 7, 8), QTime(21, 45)), "dd/MM/yyyy", locale),
                  "08/07/2005 21:45:00")
            << name;
    }
}

// Whatever separators, blanks or month names a regional format holds, the text it writes is
// read back whole, with or without a time of day.
TEST(DateText, WhatAFormatWritesItReadsBack) {
    const QLocale locales[] = {QLocale("es_AR"), QLocale::c(),     QLocale("hu_HU"),
                               QLocale("en_US"), QLocale("de_DE"), QLocale("es_ES")};
    const DateSerial serials[] = {toSerial(QDate(2003, 3, 15)),
                                  toSerial(QDate(2026, 12, 6), QTime(14, 30, 5)),
                                  toSerial(QDate(1999, 1, 2), QTime(9, 5))};
    for (const QLocale &locale : locales) {
        const QString format = shortDateFormat(locale);
        for (DateSerial serial : serials) {
            const QString text = serialToText(serial, format, locale);
            EXPECT_EQ(textToSerial(text, format, locale), serial)
                << locale.name().toStdString() << ": " << text.toStdString();
        }
    }
    EXPECT_EQ(
        serialToText(toSerial(QDate(2003, 3, 15)), shortDateFormat(QLocale::c()), QLocale::c()),
        "15 Mar 2003");
}

TEST(DateText, ReadsWhatTheUserTypes) {
    const QLocale es("es_AR");
    const QString format = shortDateFormat(es);
    EXPECT_EQ(textToSerial(u"6/1/2026", format, es), toSerial(QDate(2026, 1, 6)));
    EXPECT_EQ(textToSerial(u" 06/12/2026 ", format, es), toSerial(QDate(2026, 12, 6)));
    for (const char16_t *bad :
         {u"31/02/2026", u"2026-12-06", u"", u"06/12/2026 25:00", u"06/12/2026 x", u"06/12"})
        EXPECT_FALSE(textToSerial(bad, format, es)) << QString::fromUtf16(bad).toStdString();
}

TEST(DateText, StoredFormRoundTrips) {
    const struct {
        const char *iso;
        QDate date;
        QTime time;
    } cases[] = {
        {"1899-12-30", QDate(1899, 12, 30), QTime(0, 0)},
        {"2004-02-29", QDate(2004, 2, 29), QTime(0, 0)},
        {"2003-12-31 23:59:00", QDate(2003, 12, 31), QTime(23, 59)},
        {"2038-01-19 03:14:08", QDate(2038, 1, 19), QTime(3, 14, 8)},
        {"1850-06-01", QDate(1850, 6, 1), QTime(0, 0)},
    };
    for (const auto &c : cases) {
        const DateSerial serial = toSerial(c.date, c.time);
        EXPECT_EQ(serialToIso(serial), QByteArray(c.iso));
        EXPECT_EQ(isoToSerial(c.iso, int(qstrlen(c.iso))), serial) << c.iso;
        EXPECT_EQ(fromSerial(serial), QDateTime(c.date, c.time)) << c.iso;
    }
    EXPECT_EQ(toSerial(QDate(1899, 12, 30)), 0);
    for (const char *bad :
         {"2026-13-01", "2026-02-30", "26-12-06", "2026-12-06x", "hoy", "2026-12-06 1:00"})
        EXPECT_FALSE(isoToSerial(bad, int(qstrlen(bad)))) << bad;
}
