// A Debian package's control fields: Read exactly when the package names itself; each field is
// one trimmed line of text that survives the JSON lines' UTF-8; and a package cut short either
// is found damaged or gives the very fields of the whole one, never others.
#include "Check.h"
#include "vadrel-db/scan/FileFacts.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace {

bool sound(const QString &text) {
    return QString::fromUtf8(text.toUtf8()) == text;
}

bool same(const disc::DebFacts &a, const disc::DebFacts &b) {
    return a.result == b.result && a.package == b.package && a.version == b.version &&
           a.maintainer == b.maintainer && a.homepage == b.homepage &&
           a.description == b.description && a.section == b.section;
}

void check(const disc::DebFacts &facts) {
    FUZZ_CHECK((facts.result == disc::ReadResult::Read) == !facts.package.isEmpty());
    FUZZ_CHECK(facts.result != disc::ReadResult::Missing);
    for (const QString *field : {&facts.package, &facts.version, &facts.maintainer, &facts.homepage,
                                 &facts.description, &facts.section}) {
        FUZZ_CHECK(*field == field->trimmed());
        FUZZ_CHECK(!field->contains(u'\n'));
        FUZZ_CHECK(sound(*field));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const disc::DebFacts whole = disc::readDebControl(bytes);
    check(whole);

    // One cut per input, where its bytes say: the fuzzer varies where.
    if (size == 0)
        return 0;
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    const disc::DebFacts cut = disc::readDebControl(bytes.left(qsizetype(hash % size)));
    check(cut);
    if (cut.result == disc::ReadResult::Read)
        FUZZ_CHECK(same(cut, whole));
    return 0;
}
