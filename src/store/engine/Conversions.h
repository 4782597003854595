#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <optional>

// The one place where values become text and text becomes values. Every window uses these;
// none parses numbers or dates on its own.
namespace store {

// Whole-number rule: leading spaces, optional sign, then decimal digits or hexadecimal digits
// after "$", "x", "X", "0x" or "0X"; at least one digit, nothing after the digits, and the value
// must fit in a signed 32-bit integer. The empty text does not convert.
std::optional<qint32> parseWholeNumber(QStringView text);

// Dates are kept as whole seconds from the date zero, 30 December 1899 00:00:00, with no time
// zone: what the user typed is what is stored.
using DateSerial = qint64;
QDate dateZero();
DateSerial toSerial(const QDate &date, const QTime &time = QTime(0, 0));
DateSerial toSerial(const QDateTime &value);
QDateTime fromSerial(DateSerial serial);

// Stored form: "2026-12-06", or "2026-12-06 14:30:00" when the time is not midnight.
QByteArray serialToIso(DateSerial serial);
std::optional<DateSerial> isoToSerial(const char *text, int length);

// The one place that decides the short date format: the locale's, widened to two-digit day and
// month and four-digit year, so "d/M/yy" becomes "dd/MM/yyyy". The platform's clock hands it to
// the windows and to the store, so text written with it is read back with exactly it.
QString shortDateFormat(const QLocale &locale = QLocale());
// The locale's long time format without its time-zone part.
QString longTimeFormat(const QLocale &locale = QLocale());

// The date in `dateFormat`, then a blank and the long time only when the time is not midnight.
QString serialToText(DateSerial serial, const QString &dateFormat,
                     const QLocale &locale = QLocale());
// Reads the whole text as a date in `dateFormat` (blanks, month names and all), optionally
// followed by a blank and a time. Day and month may also be typed with one digit.
std::optional<DateSerial> textToSerial(QStringView text, const QString &dateFormat,
                                       const QLocale &locale = QLocale());

// Memo boxes show lines separated by LF; the catalogue keeps them separated by CR LF.
QString toStoredLines(const QString &shown);
QString toShownLines(const QString &stored);

} // namespace store
