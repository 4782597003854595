#include "store/order/TextOrder.h"

#include "store/order/LatinKeys.h"
#include "store/order/RowSorter.h"
#include "store/order/Utf8Text.h"

#include <QByteArray>
#include <QString>

#include <unicode/ucol.h>

#include <mutex>

namespace store {

namespace {

// From these many distinct texts (as guessed) the table of Latin characters is worth making.
constexpr size_t kLatinFrom = 2048;

} // namespace

struct TextOrder::Collation {
    QByteArray name;
    UCollator *collator = nullptr; // null: the "C" locale's folded code units
    std::once_flag latinOnce;
    std::shared_ptr<order::LatinKeys> latin;

    order::LatinKeys *latinKeys() {
        if (!collator)
            return nullptr;
        std::call_once(latinOnce, [this] { latin = order::latinKeysFor(name, collator); });
        return latin && latin->trusted.load(std::memory_order_relaxed) ? latin.get() : nullptr;
    }
};

TextOrder::TextOrder(const QLocale &locale)
    : collation_(std::make_unique<Collation>()) {
    // As QCollator: no collator for the "C" locale, ICU's for the locale's BCP 47 name (which
    // keeps the script: sr_Latn_RS is "sr_Latn", its name() "sr_RS"), and these attributes.
    if (locale.language() == QLocale::C)
        return;
    const QByteArray name = locale.bcp47Name().toLatin1().replace('-', '_');
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_open(name.constData(), &status);
    if (U_FAILURE(status))
        return;
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_SECONDARY, &status);
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return;
    }
    collation_->name = name;
    collation_->collator = collator;
}

TextOrder::~TextOrder() {
    if (collation_->collator)
        ucol_close(collation_->collator);
}

int TextOrder::compare(std::string_view a, std::string_view b) const {
    using order::readsEmpty;
    if (readsEmpty(a) || readsEmpty(b))
        return readsEmpty(a) ? (readsEmpty(b) ? 0 : -1) : 1;
    const UCollator *collator = collation_->collator;
    if (!collator) {
        const int result =
            QString::compare(QString::fromUtf8(a.data(), qsizetype(a.size())),
                             QString::fromUtf8(b.data(), qsizetype(b.size())), Qt::CaseInsensitive);
        return (result > 0) - (result < 0);
    }
    UErrorCode status = U_ZERO_ERROR;
    if (order::wellFormedUtf8(a) && order::wellFormedUtf8(b)) {
        const std::string_view qa = order::withoutByteOrderMark(a),
                               qb = order::withoutByteOrderMark(b);
        const UCollationResult result = ucol_strcollUTF8(collator, qa.data(), int32_t(qa.size()),
                                                         qb.data(), int32_t(qb.size()), &status);
        if (U_SUCCESS(status))
            return int(result);
        status = U_ZERO_ERROR;
    }
    // ICU reads bad UTF-8 its own way; QCollator sees what QString::fromUtf8 made of it.
    const QString qa = QString::fromUtf8(a.data(), qsizetype(a.size()));
    const QString qb = QString::fromUtf8(b.data(), qsizetype(b.size()));
    return int(ucol_strcoll(collator, reinterpret_cast<const UChar *>(qa.utf16()),
                            int32_t(qa.size()), reinterpret_cast<const UChar *>(qb.utf16()),
                            int32_t(qb.size())));
}

std::vector<uint32_t>
TextOrder::sortRows(uint32_t count, const std::function<std::string_view(uint32_t)> &text) const {
    if (count == 0)
        return {};
    order::RowSorter sorter(count, text);
    const size_t guess = sorter.hash();
    order::LatinKeys *latin = guess >= kLatinFrom ? collation_->latinKeys() : nullptr;
    if (!sorter.writeKeys(collation_->collator, latin, guess)) {
        latin->trusted.store(false);
        sorter.writeKeys(collation_->collator, nullptr, guess);
    }
    return sorter.order();
}

} // namespace store
