#include "vadrel-db/scan/FileFacts.h"

#include <rpm/header.h>
#include <rpm/rpmtag.h>

#include <QtEndian>

#include <memory>

namespace disc {

namespace {

constexpr qint64 leadSize = 96;
constexpr qint64 introSize = 16; // a header's magic, then its count of entries and data size
// Far above a sound package's header (its file list included); more is not read.
constexpr qint64 headerLimit = 32 * 1024 * 1024;

struct Free {
    void operator()(headerToken_s *header) const { headerFree(header); }
};
using Owned = std::unique_ptr<headerToken_s, Free>;

// A header's size after its magic, or -1 when `intro` is not one.
qint64 headerSize(const QByteArray &intro) {
    if (intro.size() < introSize || !intro.startsWith("\x8e\xad\xe8\x01"))
        return -1;
    const auto *bytes = reinterpret_cast<const uchar *>(intro.constData());
    const qint64 entries = qFromBigEndian<quint32>(bytes + 8);
    const qint64 data = qFromBigEndian<quint32>(bytes + 12);
    return 8 + entries * 16 + data;
}

QString text(Header header, rpmTagVal tag) {
    return QString::fromUtf8(headerGetString(header, tag)).trimmed();
}

} // namespace

// The lead, then the signature header padded to eight bytes, then the header that describes the
// package; librpm checks that one as it imports it.
RpmFacts readRpm(const Pieces &file) {
    RpmFacts facts;
    if (!file.read(0, 4).startsWith("\xed\xab\xee\xdb"))
        return facts;
    const qint64 signature = headerSize(file.read(leadSize, introSize));
    if (signature < 0)
        return facts;
    const qint64 at = leadSize + 8 + (signature + 7) / 8 * 8;
    const qint64 size = headerSize(file.read(at, introSize));
    if (size < 0)
        return facts;
    if (size > headerLimit) {
        facts.result = ReadResult::TooLarge;
        return facts;
    }
    QByteArray blob = file.read(at + 8, size);
    if (blob.size() != size)
        return facts;
    const Owned header(headerImport(blob.data(), unsigned(blob.size()), HEADERIMPORT_COPY));
    if (!header)
        return facts;
    facts.name = text(header.get(), RPMTAG_NAME);
    facts.version = text(header.get(), RPMTAG_VERSION);
    facts.vendor = text(header.get(), RPMTAG_VENDOR);
    facts.licence = text(header.get(), RPMTAG_LICENSE);
    facts.summary = text(header.get(), RPMTAG_SUMMARY);
    facts.url = text(header.get(), RPMTAG_URL);
    // Every package names itself; a header without that describes none.
    if (facts.name.isEmpty())
        return RpmFacts();
    facts.result = ReadResult::Read;
    return facts;
}

} // namespace disc
