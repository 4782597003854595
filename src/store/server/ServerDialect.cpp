#include "store/server/ServerDialect.h"

#include <algorithm>
#include <utility>

namespace store::server {

using Cause = DatabaseError::Cause;
using Kind = DatabaseError::Kind;

QByteArray numberedParameters(const QByteArray &sql, int &count) {
    QByteArray out;
    out.reserve(sql.size() + 8);
    int next = 0;
    char quote = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote) {
            out += c;
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            out += c;
            continue;
        }
        if (c != '?') {
            out += c;
            continue;
        }
        qsizetype end = i + 1;
        while (end < sql.size() && sql[end] >= '0' && sql[end] <= '9')
            ++end;
        const int number = end > i + 1 ? sql.mid(i + 1, end - i - 1).toInt() : ++next;
        next = std::max(next, number);
        out += '$' + QByteArray::number(number);
        i = end - 1;
    }
    count = next;
    return out;
}

Cause causeOf(const QByteArray &state) {
    static const std::pair<const char *, Cause> causes[] = {
        {"23505", Cause::DuplicateKey},   {"23503", Cause::Relation},
        {"23502", Cause::MissingValue},   {"23514", Cause::OutOfRange},
        {"22003", Cause::OutOfRange},     {"42P01", Cause::MissingTable},
        {"25006", Cause::NotAllowed},     {"42501", Cause::NotAllowed},
        {"53100", Cause::DiskFull},       {"57014", Cause::Timeout},
        {"55P03", Cause::Locked},         {"40001", Cause::Locked},
        {"40P01", Cause::Locked},         {"57P01", Cause::ConnectionLost},
        {"57P02", Cause::ConnectionLost}, {"57P03", Cause::ConnectionLost},
    };
    for (const auto &[code, cause] : causes)
        if (state == code)
            return cause;
    if (state.startsWith("08"))
        return Cause::ConnectionLost;
    return Cause::Unknown;
}

Kind kindOf(Cause cause) {
    switch (cause) {
    case Cause::DuplicateKey:
    case Cause::Relation:
    case Cause::MissingValue:
    case Cause::OutOfRange:
        return Kind::Refused;
    case Cause::NotAllowed:
    case Cause::DiskFull:
    case Cause::ConnectionLost:
        return Kind::Io;
    case Cause::Timeout:
    case Cause::Locked:
        return Kind::Busy;
    default:
        return Kind::Other;
    }
}

} // namespace store::server
