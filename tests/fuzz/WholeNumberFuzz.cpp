// The whole-number rule against a plain reading of it: leading blanks, a sign, decimal digits
// or hexadecimal ones after "$", "x", "X", "0x" or "0X", nothing else, within 32 bits.
#include "Check.h"
#include "store/engine/Conversions.h"

#include <QRegularExpression>
#include <QString>
#include <cstdint>
#include <optional>

namespace {

std::optional<qint64> reference(const QString &text) {
    static const QRegularExpression form(
        QStringLiteral("\\A *([+-]?)(?:(?:\\$|[xX]|0[xX])([0-9a-fA-F]+)|([0-9]+))\\z"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const bool hex = match.capturedLength(2) > 0;
    QString digits = hex ? match.captured(2) : match.captured(3);
    while (digits.size() > 1 && digits.front() == u'0')
        digits.remove(0, 1);
    if (digits.size() > (hex ? 8 : 10))
        return std::nullopt;
    const qint64 magnitude = digits.toLongLong(nullptr, hex ? 16 : 10);
    const qint64 value = match.captured(1) == u"-" ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<qint32> parsed = store::parseWholeNumber(text);
    const std::optional<qint64> expected = reference(text);
    FUZZ_CHECK(parsed.has_value() == expected.has_value());
    if (parsed) {
        FUZZ_CHECK(*parsed == *expected);
        // What the program writes back is read as the same number.
        FUZZ_CHECK(store::parseWholeNumber(QString::number(*parsed)) == parsed);
    }
    return 0;
}
