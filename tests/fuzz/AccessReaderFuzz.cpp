// The Access reader on damaged copies of an old catalogue (the run script seeds it with the
// legacy fixture): it either reads both tables or refuses with a reason; whatever it hands over
// is well formed. Crashes inside libmdb itself are why the program runs the import as a child.
#include "AccessReader.h"
#include "Check.h"
#include "Import.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <unistd.h>

namespace {

using Kind = AccessReader::Kind;

const QString &scratch() {
    static const QString path =
        QDir::temp().filePath(QStringLiteral("vadrel-access-fuzz-%1.mdb").arg(::getpid()));
    return path;
}

void check(const std::vector<AccessValue> &values, const std::vector<AccessReader::Column> &kinds) {
    FUZZ_CHECK(values.size() == kinds.size());
    for (size_t i = 0; i < values.size(); ++i) {
        if (std::holds_alternative<std::monostate>(values[i]))
            continue;
        switch (kinds[i].kind) {
        case Kind::Number:
            FUZZ_CHECK(std::holds_alternative<qint64>(values[i]));
            break;
        case Kind::Date:
            FUZZ_CHECK(std::holds_alternative<JetDate>(values[i]));
            break;
        case Kind::Text:
            FUZZ_CHECK(std::holds_alternative<QByteArray>(values[i]));
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    {
        QFile file(scratch());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    try {
        AccessReader reader(QFile::encodeName(scratch()));
        reader.prepare("Discos", kAccessCdColumns);
        reader.prepare("Programas", kAccessProgramColumns);
        reader.read("Discos", [](const std::vector<AccessValue> &values) {
            check(values, kAccessCdColumns);
        });
        reader.read("Programas", [](const std::vector<AccessValue> &values) {
            check(values, kAccessProgramColumns);
        });
    } catch (const ImportError &) {
        // A refusal with its reason is a good outcome for a damaged file.
    }
    return 0;
}
