// The readers that take a file by pieces (RPM headers, Nullsoft installers, zip listings with
// their description members): whatever the bytes, each ends with a result of its own, its texts
// trimmed and whole in UTF-8, and the fields it names only when it says Read.
#include "Check.h"
#include "vadrel-db/scan/FileFacts.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <initializer_list>

#ifndef VADREL_FUZZ_READER
#error "each target names its reader"
#endif

namespace {

bool sound(const QString &text) {
    return QString::fromUtf8(text.toUtf8()) == text && text == text.trimmed();
}

void check(disc::ReadResult result, std::initializer_list<const QString *> fields) {
    FUZZ_CHECK(result == disc::ReadResult::Read || result == disc::ReadResult::Missing ||
               result == disc::ReadResult::Damaged || result == disc::ReadResult::TooLarge);
    for (const QString *field : fields) {
        FUZZ_CHECK(sound(*field));
        if (result != disc::ReadResult::Read && result != disc::ReadResult::Missing)
            FUZZ_CHECK(field->isEmpty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const disc::Pieces file =
        disc::piecesOf(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
#if VADREL_FUZZ_READER == 0
    const disc::RpmFacts f = disc::readRpm(file);
    check(f.result, {&f.name, &f.version, &f.vendor, &f.licence, &f.summary, &f.url});
    FUZZ_CHECK((f.result == disc::ReadResult::Read) == !f.name.isEmpty());
#elif VADREL_FUZZ_READER == 1
    const disc::NsisFacts f = disc::readNsis(file);
    check(f.result, {&f.name, &f.version, &f.publisher});
    FUZZ_CHECK((f.result == disc::ReadResult::Read) == !f.name.isEmpty());
#else
    // A zip cut short keeps the names read before the damage.
    const disc::ZipFacts f = disc::listZip(file);
    check(f.result, {});
    FUZZ_CHECK(f.fileIdDiz.size() <= 64 * 1024 && f.descriptIon.size() <= 64 * 1024);
#endif
    return 0;
}
