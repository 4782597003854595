// Dates as text: what is typed under a locale's short format, what is stored, and what is
// shown. Any text the program accepts names a date it shows back and reads again as the same
// moment; any stored text it accepts is written back and read as the same moment.
#include "Check.h"
#include "store/engine/Conversions.h"

#include <QLocale>
#include <QString>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Regional {
    QLocale locale;
    QString format;
};

const std::vector<Regional> &regionals() {
    static const std::vector<Regional> all = [] {
        std::vector<Regional> list;
        for (const char *name : {"es_AR", "es_ES", "C", "en_US", "de_DE", "hu_HU", "ja_JP"}) {
            const QLocale locale{QString::fromLatin1(name)};
            list.push_back({locale, store::shortDateFormat(locale)});
        }
        return list;
    }();
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const Regional &regional = regionals()[data[0] % regionals().size()];
    const char *rest = reinterpret_cast<const char *>(data + 1);
    const int length = int(size - 1);

    // Typed text.
    const QString typed = QString::fromUtf8(rest, length);
    if (const auto serial = store::textToSerial(typed, regional.format, regional.locale)) {
        FUZZ_CHECK(store::fromSerial(*serial).isValid());
        const QString shown = store::serialToText(*serial, regional.format, regional.locale);
        FUZZ_CHECK(store::textToSerial(shown, regional.format, regional.locale) == serial);
    }

    // Stored text.
    if (const auto serial = store::isoToSerial(rest, length)) {
        const QByteArray stored = store::serialToIso(*serial);
        FUZZ_CHECK(store::isoToSerial(stored.constData(), int(stored.size())) == serial);
    }

    // Any moment within the years a date box can hold is shown and read back.
    if (size >= 9) {
        qint64 raw;
        std::memcpy(&raw, data + 1, sizeof raw);
        const qint64 span = store::toSerial(QDate(9999, 12, 31), QTime(23, 59, 59)) -
                            store::toSerial(QDate(100, 1, 1)) + 1;
        const store::DateSerial serial =
            store::toSerial(QDate(100, 1, 1)) + qint64(quint64(raw) % quint64(span));
        const QString shown = store::serialToText(serial, regional.format, regional.locale);
        FUZZ_CHECK(store::textToSerial(shown, regional.format, regional.locale) == serial);
        const QByteArray stored = store::serialToIso(serial);
        FUZZ_CHECK(store::isoToSerial(stored.constData(), int(stored.size())) == serial);
    }
    return 0;
}
