#include "store/engine/Conversions.h"

#include <QRegularExpression>
#include <cstdio>

namespace store {

std::optional<qint32> parseWholeNumber(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return std::nullopt; // no digit at all
    // The magnitude may reach 2^31 for a negative number; anything beyond fails.
    const qint64 limit = negative ? qint64(1) << 31 : (qint64(1) << 31) - 1;
    qint64 value = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<qint32>(negative ? -value : value);
}

QDate dateZero() {
    return QDate(1899, 12, 30);
}

DateSerial toSerial(const QDate &date, const QTime &time) {
    const qint64 days = date.toJulianDay() - dateZero().toJulianDay();
    return days * 86400 + (time.isValid() ? time.msecsSinceStartOfDay() / 1000 : 0);
}

DateSerial toSerial(const QDateTime &value) {
    return toSerial(value.date(), value.time());
}

static void split(DateSerial serial, QDate &date, QTime &time) {
    qint64 days = serial / 86400;
    qint64 secs = serial % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    date = QDate::fromJulianDay(dateZero().toJulianDay() + days);
    time = QTime::fromMSecsSinceStartOfDay(int(secs) * 1000);
}

QDateTime fromSerial(DateSerial serial) {
    QDate date;
    QTime time;
    split(serial, date, time);
    return QDateTime(date, time);
}

QByteArray serialToIso(DateSerial serial) {
    QDate date;
    QTime time;
    split(serial, date, time);
    char buffer[40];
    int length;
    if (time == QTime(0, 0))
        length = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year(), date.month(),
                               date.day());
    else
        length = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", date.year(),
                               date.month(), date.day(), time.hour(), time.minute(), time.second());
    return QByteArray(buffer, length);
}

// Hot path while a cursor opens, so no QDateTime parsing here.
std::optional<DateSerial> isoToSerial(const char *text, int length) {
    auto number = [&](int at, int digits, int &out) {
        if (at + digits > length)
            return false;
        out = 0;
        for (int k = at; k < at + digits; ++k) {
            if (text[k] < '0' || text[k] > '9')
                return false;
            out = out * 10 + (text[k] - '0');
        }
        return true;
    };
    int y, m, d, hh = 0, mm = 0, ss = 0;
    if (!number(0, 4, y) || length < 10 || text[4] != '-' || !number(5, 2, m) || text[7] != '-' ||
        !number(8, 2, d))
        return std::nullopt;
    if (length > 10) {
        if ((text[10] != ' ' && text[10] != 'T') || !number(11, 2, hh) || length < 16 ||
            text[13] != ':' || !number(14, 2, mm))
            return std::nullopt;
        if (length > 16 && (text[16] != ':' || !number(17, 2, ss)))
            return std::nullopt;
        // Fractions of a second are dropped; nothing else may follow.
        if (length > 19 && text[19] != '.')
            return std::nullopt;
    }
    const QDate date(y, m, d);
    const QTime time(hh, mm, ss);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return toSerial(date, time);
}

QString shortDateFormat(const QLocale &locale) {
    // Grids format a date per cell drawn, so the last answer is kept.
    static thread_local QString lastLocale, lastFormat;
    if (locale.name() == lastLocale && !lastFormat.isEmpty())
        return lastFormat;
    QString format = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression day(QStringLiteral("(?<!d)d{1,2}(?!d)"));
    static const QRegularExpression month(QStringLiteral("(?<!M)M{1,2}(?!M)"));
    static const QRegularExpression year(QStringLiteral("y+"));
    format.replace(day, QStringLiteral("dd"));
    format.replace(month, QStringLiteral("MM"));
    format.replace(year, QStringLiteral("yyyy"));
    lastLocale = locale.name();
    lastFormat = format;
    return format;
}

QString longTimeFormat(const QLocale &locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    // The zone may come bracketed, as in Spain's "H:mm:ss (t)".
    static const QRegularExpression zone(QStringLiteral("\\s*[(\\[]?t+[)\\]]?\\s*"));
    format.replace(zone, QStringLiteral(" "));
    return format.trimmed();
}

QString serialToText(DateSerial serial, const QString &dateFormat, const QLocale &locale) {
    QDate date;
    QTime time;
    split(serial, date, time);
    QString text = locale.toString(date, dateFormat);
    if (time != QTime(0, 0))
        text += u' ' + locale.toString(time, longTimeFormat(locale));
    return text;
}

std::optional<DateSerial> textToSerial(QStringView text, const QString &dateFormat,
                                       const QLocale &locale) {
    const QString trimmed = text.trimmed().toString();
    if (trimmed.isEmpty())
        return std::nullopt;
    // "d" and "M" read one or two digits; longer runs (MMM, month names) stay as they are.
    static const QRegularExpression day(QStringLiteral("(?<!d)dd(?!d)"));
    static const QRegularExpression month(QStringLiteral("(?<!M)MM(?!M)"));
    QString format = dateFormat;
    format.replace(day, QStringLiteral("d"));
    format.replace(month, QStringLiteral("M"));
    const QDate date = locale.toDate(trimmed, format);
    if (date.isValid())
        return toSerial(date);
    for (const QString &timeFormat :
         {longTimeFormat(locale), locale.timeFormat(QLocale::ShortFormat),
          QStringLiteral("H:mm:ss"), QStringLiteral("H:mm")}) {
        const QDateTime value = locale.toDateTime(trimmed, format + u' ' + timeFormat);
        if (value.isValid())
            return toSerial(value);
    }
    return std::nullopt;
}

QString toStoredLines(const QString &shown) {
    QString stored = shown;
    stored.replace(u'\n', QStringLiteral("\r\n"));
    return stored;
}

QString toShownLines(const QString &stored) {
    QString shown = stored;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

} // namespace store
