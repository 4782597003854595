// The Access reader on damaged copies of an old catalogue (the run script seeds it with the
// legacy fixture): it either reads both tables or refuses with a reason; whatever it hands over
// is well formed. Crashes inside libmdb itself are why the program runs the import as a child.
#include "Check.h"
#include "store/files/StaleFiles.h"
#include "vadrel-db/AccessReader.h"
#include "vadrel-db/Import.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

using Kind = AccessReader::Kind;

// The input as a file of its own, gone again after the input: with -fork each job is a process,
// so a name kept for the whole run would stay behind once per job. A job that crashed leaves
// its file; the next run removes those.
class Scratch {
public:
    Scratch(const uint8_t *data, size_t size) {
        static const QByteArray folder = [] {
            const QByteArray temp = QFile::encodeName(QDir::tempPath());
            store::removeStaleFiles(temp, "vadrel-access-fuzz-");
            return temp;
        }();
        path_ = folder + "/vadrel-access-fuzz-XXXXXX";
        const int fd = ::mkstemp(path_.data());
        if (fd < 0) {
            path_.clear();
            return;
        }
        const bool written = ::write(fd, data, size) == ssize_t(size);
        ::close(fd);
        if (!written) {
            ::unlink(path_.constData());
            path_.clear();
        }
    }
    ~Scratch() {
        if (!path_.isEmpty())
            ::unlink(path_.constData());
    }
    const QByteArray &path() const { return path_; } // empty when it could not be written

private:
    QByteArray path_;
};

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
    const Scratch scratch(data, size);
    if (scratch.path().isEmpty())
        return 0;
    try {
        AccessReader reader(scratch.path());
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
