#pragma once

#include <QLocale>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace store {

// The order of texts under a locale's case-insensitive collation, the same order QCollator
// gives with Qt::CaseInsensitive for that QLocale: ICU's collator for the locale at secondary
// strength (accents count, case does not), the empty text before every other one, and in the
// "C" locale Qt's comparison of case-folded UTF-16 code units. Texts are UTF-8, read as
// QString::fromUtf8 reads them: a byte order mark at the start is dropped, and each byte that is
// not UTF-8 counts as one U+FFFD.
//
// compare() and sortRows() may be called from several threads at once.
class TextOrder {
public:
    explicit TextOrder(const QLocale &locale);
    ~TextOrder();
    TextOrder(const TextOrder &) = delete;
    TextOrder &operator=(const TextOrder &) = delete;

    // <0, 0 or >0 as QCollator::compare would say.
    int compare(std::string_view a, std::string_view b) const;

    // Row numbers 0..count-1 in ascending order of text(row); rows whose texts are equal under
    // the collation keep their order. text(row) is called from two threads at once, and what it
    // returns must stay valid until sortRows returns.
    std::vector<uint32_t> sortRows(uint32_t count,
                                   const std::function<std::string_view(uint32_t)> &text) const;

private:
    struct Collation;
    std::unique_ptr<Collation> collation_;
};

} // namespace store
