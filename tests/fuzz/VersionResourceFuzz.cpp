// A Windows program's version resource from damaged copies of the disc fixture's programs (the run
// script seeds it with them): the reader never throws, says Read exactly when it found a field,
// and hands over trimmed text that survives the JSON lines' UTF-8; what the proposal then makes
// of the words (a licence, a copyright year) stays within what the catalogue holds.
#include "Check.h"
#include "store/schema/Schema.h"
#include "vadrel-db/scan/FileFacts.h"
#include "vadrel-db/scan/Proposer.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace {

bool sound(const QString &text) {
    return QString::fromUtf8(text.toUtf8()) == text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const disc::VersionFacts facts = disc::readVersionResource(bytes);
    const QString *fields[] = {&facts.productName, &facts.productVersion,  &facts.fileVersion,
                               &facts.companyName, &facts.fileDescription, &facts.legalCopyright,
                               &facts.comments};

    bool any = false;
    for (const QString *field : fields) {
        any = any || !field->isEmpty();
        FUZZ_CHECK(*field == field->trimmed());
        FUZZ_CHECK(!field->endsWith(QChar(0)));
        FUZZ_CHECK(sound(*field));
    }
    // A damaged file or one without the resource carries no facts.
    FUZZ_CHECK((facts.result == disc::ReadResult::Read) == any);

    QString words;
    for (const QString *field : fields)
        words += *field + u' ';
    const QString licence = disc::licenceFromWords(words);
    FUZZ_CHECK(licence.isEmpty() || store::schema::licences().contains(licence));
    if (const auto year = disc::copyrightYear(facts.legalCopyright))
        FUZZ_CHECK(*year >= 1970 && *year <= 2099);
    return 0;
}
