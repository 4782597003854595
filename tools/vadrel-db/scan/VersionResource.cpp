#include "vadrel-db/scan/FileFacts.h"

#include <LIEF/PE.hpp>
#include <LIEF/logging.hpp>

#include <algorithm>
#include <vector>

namespace disc {

namespace {

// Resource compilers often count the closing NUL into a value's length, and padding is common.
QString cleaned(const std::u16string &text) {
    QString value = QString::fromStdU16String(text);
    // A damaged string may hold half a surrogate pair, which no UTF-8 text can carry.
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i].isHighSurrogate() && i + 1 < value.size() && value[i + 1].isLowSurrogate())
            ++i;
        else if (value[i].isSurrogate())
            value[i] = QChar::ReplacementCharacter;
    }
    while (!value.isEmpty() && (value.back().isNull() || value.back().isSpace()))
        value.chop(1);
    return value.trimmed();
}

// A section whose data runs past the end of the bytes: the file was cut short.
bool cutShort(const LIEF::PE::Binary &binary, qsizetype size) {
    for (const LIEF::PE::Section &section : binary.sections()) {
        if (qint64(section.pointerto_raw_data()) + section.sizeof_raw_data() > size)
            return true;
    }
    return false;
}

void readStrings(const LIEF::PE::ResourceStringFileInfo &info, VersionFacts &facts) {
    const std::pair<const char16_t *, QString VersionFacts::*> fields[] = {
        {u"ProductName", &VersionFacts::productName},
        {u"ProductVersion", &VersionFacts::productVersion},
        {u"FileVersion", &VersionFacts::fileVersion},
        {u"CompanyName", &VersionFacts::companyName},
        {u"FileDescription", &VersionFacts::fileDescription},
        {u"LegalCopyright", &VersionFacts::legalCopyright},
        {u"Comments", &VersionFacts::comments},
    };
    // Blocks in their stored order: a field missing from the first one may be in a later one.
    for (const LIEF::PE::LangCodeItem &block : info.langcode_items()) {
        const auto &items = block.items();
        for (const auto &[key, member] : fields) {
            if (!(facts.*member).isEmpty())
                continue;
            if (const auto found = items.find(key); found != items.end())
                facts.*member = cleaned(found->second);
        }
    }
}

} // namespace

qint64 programExtent(const QByteArray &head) {
    try {
        LIEF::Logger::disable();
        const std::vector<uint8_t> data(head.begin(), head.end());
        if (!LIEF::PE::is_pe(data))
            return 0;
        const std::unique_ptr<LIEF::PE::Binary> binary = LIEF::PE::Parser::parse(data, "");
        if (!binary)
            return 0;
        qint64 end = binary->optional_header().sizeof_headers();
        for (const LIEF::PE::Section &section : binary->sections())
            end = std::max(end, qint64(section.pointerto_raw_data()) + section.sizeof_raw_data());
        return end;
    } catch (...) {
        return 0;
    }
}

VersionFacts readVersionResource(const QByteArray &bytes) {
    VersionFacts facts;
    try {
        // A no-op in builds without logging; in others LIEF would log to standard output,
        // which carries the scan's results.
        LIEF::Logger::disable();

        const std::vector<uint8_t> data(bytes.begin(), bytes.end());
        if (!LIEF::PE::is_pe(data))
            return facts;
        const std::unique_ptr<LIEF::PE::Binary> binary = LIEF::PE::Parser::parse(data, "");
        if (!binary)
            return facts;
        if (binary->has_resources()) {
            const LIEF::PE::ResourcesManager resources = binary->resources_manager();
            if (resources.has_version()) {
                const LIEF::PE::ResourceVersion version = resources.version();
                if (version.has_string_file_info())
                    readStrings(version.string_file_info(), facts);
            }
        }
        const bool any = !facts.productName.isEmpty() || !facts.productVersion.isEmpty() ||
                         !facts.fileVersion.isEmpty() || !facts.companyName.isEmpty() ||
                         !facts.fileDescription.isEmpty() || !facts.legalCopyright.isEmpty() ||
                         !facts.comments.isEmpty();
        if (any)
            facts.result = ReadResult::Read;
        else
            facts.result =
                cutShort(*binary, bytes.size()) ? ReadResult::Damaged : ReadResult::Missing;
    } catch (...) {
        // LIEF throws its own exceptions and standard ones alike on bytes it cannot follow.
        facts = VersionFacts();
    }
    return facts;
}

} // namespace disc
