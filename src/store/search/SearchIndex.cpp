#include "store/search/SearchIndex.h"

#include "store/engine/Conversions.h"
#include "store/engine/Engine.h"
#include "store/schema/Schema.h"

#include <QSet>
#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace store::search {

namespace {

constexpr char kEnd = '\x01'; // ends every field; folding turns it into a blank

// The folded UTF-8 of each character below the combining marks, made by fold() itself so that
// both ways agree. Texts with other characters are folded whole.
struct FoldTable {
    static constexpr char32_t kChars = 0x300;
    std::array<std::string, kChars> folded;
    std::array<char, 0x80> ascii; // each ASCII character folds to one
    FoldTable() {
        for (char32_t c = 0; c < kChars; ++c)
            folded[c] = SearchIndex::fold(QString(QChar(char16_t(c)))).toStdString();
        folded[char32_t(kEnd)].assign(1, ' ');
        for (char32_t c = 0; c < 0x80; ++c)
            ascii[c] = folded[c].size() == 1 ? folded[c][0] : char(c);
    }
};

const FoldTable &foldTable() {
    static const FoldTable table;
    return table;
}

// The first place at or after `from` where `needle` (not empty) starts, or npos. Compares its
// first and last bytes sixteen places at a time, the rest only where both agree.
size_t findFrom(std::string_view hay, size_t from, std::string_view needle) {
    const size_t k = needle.size();
    if (hay.size() < k || from > hay.size() - k)
        return std::string_view::npos;
    const char *p = hay.data();
    const size_t last = hay.size() - k; // the last place a match may start
    size_t i = from;
#ifdef __SSE2__
    const __m128i first = _mm_set1_epi8(needle.front());
    const __m128i end = _mm_set1_epi8(needle.back());
    for (; i + 15 <= last; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i + k - 1));
        unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, end))));
        for (; mask != 0; mask &= mask - 1) {
            const size_t at = i + size_t(__builtin_ctz(mask));
            size_t j = 1; // the first and last bytes agree already
            while (j + 1 < k && p[at + j] == needle[j])
                ++j;
            if (j + 1 >= k)
                return at;
        }
    }
#endif
    for (; i <= last; ++i)
        if (p[i] == needle.front() && std::memcmp(p + i, needle.data(), k) == 0)
            return i;
    return std::string_view::npos;
}

// Calls `hit` with the index of every span of `starts` (ascending offsets into `hay`, one more
// than there are spans) from `first` to before `last` that holds `word`.
template <class Hit>
void scan(std::string_view hay, const std::vector<uint64_t> &starts, std::string_view word, Hit hit,
          size_t first = 0, size_t last = size_t(-1)) {
    last = std::min(last, starts.size() - 1);
    if (first >= last)
        return;
    hay = hay.substr(0, size_t(starts[last]));
    size_t from = size_t(starts[first]);
    auto span = starts.begin() + std::ptrdiff_t(first);
    for (;;) {
        const size_t at = findFrom(hay, from, word);
        if (at == std::string_view::npos)
            return;
        // Hits come in order and most are in the next span or close to it: look there first.
        auto ahead = span + 1;
        for (int step = 0; step < 8 && ahead + 1 != starts.end() && *(ahead + 1) <= at; ++step)
            ++ahead;
        if (ahead + 1 != starts.end() && *(ahead + 1) <= at)
            ahead = std::upper_bound(ahead, starts.end(), uint64_t(at)) - 1;
        else if (*ahead > at)
            ahead = span;
        span = ahead;
        const size_t index = size_t(span - starts.begin());
        hit(index);
        from = size_t(starts[index + 1]);
    }
}

// Runs `slice(i, slices)` for every i below `slices`, each on a thread of its own but the first.
template <class Slice> void inSlices(size_t slices, Slice slice) {
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < slices; ++i)
        helpers.emplace_back(slice, i, slices);
    slice(0, slices);
    for (std::thread &helper : helpers)
        helper.join();
}

// Letters and digits have bits 0 to 35 each; any other byte shares one of the rest.
int byteBit(unsigned char c) {
    if (c >= 'a' && c <= 'z')
        return c - 'a';
    if (c >= '0' && c <= '9')
        return 26 + (c - '0');
    return 36 + c % 28;
}

bool ownBit(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

int pairBit(unsigned char a, unsigned char b) {
    return int(((uint32_t(a) << 8 | b) * 2654435761u) >> 24);
}

// Room for `more` at the end, growing by a little at a time: entries added one save at a time
// must not double the memory of an index of a million programs.
template <class Buffer> void roomFor(Buffer &buffer, size_t more) {
    if (buffer.size() + more > buffer.capacity())
        buffer.reserve(buffer.size() + more + std::max<size_t>(64, buffer.size() / 64));
}

namespace p = schema::programs;
namespace c = schema::cds;

// A joined row holds the program's fields, then its CD's description, comment and date.
constexpr int kCdTexts = p::Comment + 1;

qint64 dateAt(const engine::Statement &row, int column) {
    const std::optional<std::string_view> text = row.textOrNull(column);
    if (!text)
        return INT64_MIN;
    // An unreadable date shows as none, as the lists show it.
    return isoToSerial(text->data(), int(text->size())).value_or(INT64_MIN);
}

} // namespace

void SearchIndex::Sketch::add(std::string_view folded) {
    const auto *p = reinterpret_cast<const unsigned char *>(folded.data());
    const size_t n = folded.size();
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == uint8_t(kEnd))
            continue;
        bytes |= uint64_t(1) << byteBit(p[i]);
        if (i + 1 < n && p[i + 1] != uint8_t(kEnd)) {
            const int bit = pairBit(p[i], p[i + 1]);
            pairs[bit >> 6] |= uint64_t(1) << (bit & 63);
        }
    }
}

bool SearchIndex::Sketch::covers(const Sketch &needed) const {
    return (bytes & needed.bytes) == needed.bytes &&
           (pairs[0] & needed.pairs[0]) == needed.pairs[0] &&
           (pairs[1] & needed.pairs[1]) == needed.pairs[1] &&
           (pairs[2] & needed.pairs[2]) == needed.pairs[2] &&
           (pairs[3] & needed.pairs[3]) == needed.pairs[3];
}

void appendFolded(std::string &out, std::string_view utf8) {
    const char *text = utf8.data();
    const auto length = qsizetype(utf8.size());
    const FoldTable &table = foldTable();
    const size_t mark = out.size();
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    const auto *end = p + length;
    while (p < end) {
        char32_t c = *p;
        if (c < 0x80) {
            out += table.ascii[c];
            ++p;
        } else if ((c & 0xE0) == 0xC0 && end - p >= 2 && (p[1] & 0xC0) == 0x80 &&
                   (c = ((c & 0x1F) << 6) | (p[1] & 0x3F)) >= 0x80 && c < FoldTable::kChars) {
            out += table.folded[c];
            p += 2;
        } else { // beyond the table, or not UTF-8: as QString reads it
            out.resize(mark);
            QString whole = SearchIndex::fold(QString::fromUtf8(text, length));
            whole.replace(QChar(kEnd), QChar(u' '));
            out += whole.toStdString();
            return;
        }
    }
}

QString SearchIndex::fold(const QString &text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString bare;
    bare.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            bare.append(c);
    return bare.toCaseFolded();
}

QStringList SearchIndex::words(const QString &typed) {
    QString clean = fold(typed);
    for (QChar &c : clean)
        if (c.unicode() < 0x20)
            c = QChar(u' '); // no word may reach across fields
    QStringList found = clean.split(QChar(u' '), Qt::SkipEmptyParts);
    found.removeDuplicates();
    return found;
}

bool SearchIndex::narrows(const QString &previous, const QString &next) {
    const QStringList before = words(previous);
    const QStringList after = words(next);
    if (before.isEmpty())
        return false;
    return std::all_of(before.begin(), before.end(), [&](const QString &old) {
        return std::any_of(after.begin(), after.end(),
                           [&](const QString &word) { return word.contains(old); });
    });
}

SearchIndex SearchIndex::build(engine::Database *db, const QString &dateFormat) {
    return read(db, db->path(), dateFormat);
}

SearchIndex SearchIndex::build(const QString &path, const QString &dateFormat) {
    const engine::DbHandle db = engine::open(path, false);
    return read(db.get(), path, dateFormat);
}

QByteArray SearchIndex::joinedSelect(const char *tail) {
    QByteArray sql = "SELECT ";
    for (int f = p::Number; f <= p::Comment; ++f)
        sql += QByteArray("p.") + p::fields[f] + ", ";
    sql += QByteArray("d.") + c::fields[c::Description] + ", d." + c::fields[c::Comment] + ", d." +
           c::fields[c::Date] + " FROM " + p::table + " p LEFT JOIN " + c::table + " d ON d." +
           c::fields[c::Number] + " = p." + p::fields[p::Cd] + tail;
    return sql;
}

SearchIndex SearchIndex::read(engine::Database *db, const QString &path,
                              const QString &dateFormat) {
    const QByteArray order =
        QByteArray(" ORDER BY p.") + p::fields[p::Cd] + ", p." + p::fields[p::Number];
    engine::Statement select(db, joinedSelect(order.constData()), path);
    SearchIndex index;
    index.dateFormat_ = dateFormat.isEmpty() ? shortDateFormat() : dateFormat;
    while (select.step()) {
        const int cd = int(select.int64(p::Cd));
        if (index.cdNumbers_.empty() || index.cdNumbers_.back() != cd)
            index.appendCd(select, kCdTexts, cd);
        index.appendProgram(select, int(index.cdNumbers_.size()) - 1);
    }
    index.ordered_ = index.size();
    return index;
}

void SearchIndex::appendProgram(const engine::Statement &row, int cd) {
    const char *texts[kOwnFields];
    int lengths[kOwnFields];
    // The program's own fields from the name on, as the table orders them.
    constexpr int kFirst = p::Name;
    static_assert(p::Comment - kFirst + 1 == kOwnFields);
    for (int f = 0; f < kOwnFields; ++f) {
        const std::string_view text = row.text(kFirst + f);
        texts[f] = text.data();
        lengths[f] = int(text.size());
    }
    programNumbers_.push_back(int(row.int64(p::Number)));
    programCds_.push_back(cd);
    addProgram(texts, lengths);
}

void SearchIndex::appendCd(const engine::Statement &row, int first, int cd) {
    cdNumbers_.push_back(cd);
    cdTexts_.push_back(row.string(first));
    cdTexts_.push_back(row.string(first + 1));
    cdDates_.push_back(dateAt(row, first + 2));
    cdFolded_ += foldedCd(cdNumbers_.size() - 1);
    cdFoldedStarts_.push_back(cdFolded_.size());
}

void SearchIndex::updateCd(size_t cd, const engine::Statement &row, int first) {
    const QString description = row.string(first);
    const QString comment = row.string(first + 1);
    const qint64 date = dateAt(row, first + 2);
    if (cdTexts_[cd * 2] == description && cdTexts_[cd * 2 + 1] == comment && cdDates_[cd] == date)
        return;
    cdTexts_[cd * 2] = description;
    cdTexts_[cd * 2 + 1] = comment;
    cdDates_[cd] = date;
    // Its folded texts in place, the CDs after it moved along.
    const std::string folded = foldedCd(cd);
    const uint64_t from = cdFoldedStarts_[cd];
    const uint64_t length = cdFoldedStarts_[cd + 1] - from;
    cdFolded_.replace(size_t(from), size_t(length), folded);
    for (size_t later = cd + 1; later < cdFoldedStarts_.size(); ++later)
        cdFoldedStarts_[later] = cdFoldedStarts_[later] - length + folded.size();
}

// The number, the texts and the date both as shown and as stored, each ended apart.
std::string SearchIndex::foldedCd(size_t cd) const {
    std::string out;
    const qint64 date = cdDates_[cd];
    const QString texts[] = {QString::number(cdNumbers_[cd]), cdTexts_[cd * 2],
                             cdTexts_[cd * 2 + 1],
                             date == kNoDate ? QString() : serialToText(date, dateFormat_),
                             date == kNoDate ? QString() : QString::fromLatin1(serialToIso(date))};
    for (const QString &text : texts) {
        const QByteArray utf8 = text.toUtf8();
        appendFolded(out, std::string_view(utf8.constData(), size_t(utf8.size())));
        out += kEnd;
    }
    return out;
}

void SearchIndex::patch(engine::Database *db, const std::vector<qint64> &programs,
                        const std::vector<qint64> &cds) {
    auto cdEntry = [&](qint64 cd) {
        return std::find(cdNumbers_.begin(), cdNumbers_.end(), cd) - cdNumbers_.begin();
    };
    if (!cds.empty()) {
        const QByteArray sql = QByteArray("SELECT ") + c::fields[c::Description] + ", " +
                               c::fields[c::Comment] + ", " + c::fields[c::Date] + " FROM " +
                               c::table + " WHERE " + c::fields[c::Number] + " = ?";
        engine::Statement select(db, sql, db->path());
        for (const qint64 cd : cds) {
            const auto entry = size_t(cdEntry(cd));
            if (entry == cdNumbers_.size())
                continue; // none of its programs is known: a program read later brings its texts
            select.reset();
            select.bindInt(1, cd);
            if (select.step()) // a CD removed has no programs left to show it
                updateCd(entry, select, 0);
        }
    }
    if (!programs.empty()) {
        const QByteArray tail = QByteArray(" WHERE p.") + p::fields[p::Number] + " = ?";
        engine::Statement select(db, joinedSelect(tail.constData()), db->path());
        for (const qint64 key : programs) {
            for (size_t i = 0; i < programNumbers_.size(); ++i)
                if (programNumbers_[i] == key && programCds_[i] >= 0)
                    kill(i);
            select.reset();
            select.bindInt(1, key);
            if (!select.step())
                continue;
            const int cd = int(select.int64(p::Cd));
            const auto entry = size_t(cdEntry(cd));
            if (entry == cdNumbers_.size())
                appendCd(select, kCdTexts, cd);
            else
                updateCd(entry, select, kCdTexts);
            size_t length = 0;
            for (int f = p::Name; f <= p::Comment; ++f)
                length += select.text(f).size();
            roomFor(programNumbers_, 1);
            roomFor(programCds_, 1);
            roomFor(byteMasks_, 1);
            roomFor(pairMasks_, 1);
            roomFor(fieldEnds_, kOwnFields);
            roomFor(originalStarts_, 1);
            roomFor(programFoldedStarts_, 1);
            roomFor(originals_, length);
            roomFor(programFolded_, length * 2 + kOwnFields);
            appendProgram(select, int(entry));
        }
    }
}

// Its texts stay for a list found before, but no search finds it again.
void SearchIndex::kill(size_t program) {
    programCds_[program] = ~programCds_[program];
    byteMasks_[program] = 0;
    pairMasks_[program] = {};
}

void SearchIndex::mergeAdded(std::vector<int> &found) const {
    if (ordered_ == size())
        return;
    const auto added = std::lower_bound(found.begin(), found.end(), ordered_);
    auto order = [this](int a, int b) { return before(a, b); };
    std::sort(added, found.end(), order);
    std::inplace_merge(found.begin(), added, found.end(), order);
}

void SearchIndex::addProgram(const char *const *texts, const int *lengths) {
    const size_t start = originals_.size();
    for (int f = 0; f < kOwnFields; ++f) {
        if (texts[f] != nullptr) {
            originals_.append(texts[f], size_t(lengths[f]));
            appendFolded(programFolded_, std::string_view(texts[f], size_t(lengths[f])));
        }
        programFolded_ += kEnd;
        fieldEnds_.push_back(uint32_t(originals_.size() - start));
    }
    originalStarts_.push_back(originals_.size());
    const size_t foldedStart = programFoldedStarts_.back();
    programFoldedStarts_.push_back(programFolded_.size());
    Sketch sketch;
    sketch.add(
        std::string_view(programFolded_).substr(foldedStart, programFolded_.size() - foldedStart));
    byteMasks_.push_back(sketch.bytes);
    pairMasks_.push_back({sketch.pairs[0], sketch.pairs[1], sketch.pairs[2], sketch.pairs[3]});
}

QString SearchIndex::text(int program, Field field) const {
    const auto p = size_t(program);
    switch (field) {
    case CdNumber:
        return QString::number(cdNumber(program));
    case CdDescription:
    case CdComment:
        return cdTexts_[size_t(cdOf(program)) * 2 + (field == CdComment)];
    case CdDate: {
        const qint64 date = cdDates_[size_t(cdOf(program))];
        return date == kNoDate ? QString() : serialToText(date, dateFormat_);
    }
    default: {
        const uint64_t start = originalStarts_[p];
        const uint32_t from = field == 0 ? 0 : fieldEnds_[p * kOwnFields + size_t(field) - 1];
        const uint32_t to = fieldEnds_[p * kOwnFields + size_t(field)];
        return QString::fromUtf8(originals_.data() + start + from, qsizetype(to - from));
    }
    }
}

int SearchIndex::cdCount(const std::vector<int> &matches) const {
    int count = 0;
    int previous = -1;
    for (const int program : matches) {
        const int cd = cdOf(program);
        count += cd != previous; // programs of a CD are next to each other
        previous = cd;
    }
    return count;
}

std::vector<uint8_t> SearchIndex::cdsHolding(std::string_view word) const {
    std::vector<uint8_t> holding(cdNumbers_.size(), 0);
    scan(cdFolded_, cdFoldedStarts_, word, [&](size_t cd) { holding[cd] = 1; });
    return holding;
}

std::vector<int> SearchIndex::find(const QString &typed, const std::vector<int> *within,
                                   const QStringList &held) const {
    const QStringList all = words(typed);
    if (all.isEmpty())
        return {};
    std::vector<std::string> folded;
    for (const QString &word : all)
        if (within == nullptr || std::none_of(held.begin(), held.end(),
                                              [&](const QString &h) { return h.contains(word); }))
            folded.push_back(word.toStdString());
    // The longest word first: it usually leaves the fewest programs for the others.
    std::sort(folded.begin(), folded.end(),
              [](const std::string &a, const std::string &b) { return a.size() > b.size(); });
    const size_t programs = programNumbers_.size();
    std::vector<int> current;
    bool everyProgram = within == nullptr;
    if (within != nullptr)
        current = *within;
    for (const std::string &word : folded) {
        const std::vector<uint8_t> cds = cdsHolding(word);
        const size_t candidates = everyProgram ? programs : current.size();
        auto candidate = [&](size_t c) { return everyProgram ? c : size_t(current[c]); };
        const std::string_view allText(programFolded_);
        auto own = [&](size_t p) {
            return allText.substr(programFoldedStarts_[p],
                                  programFoldedStarts_[p + 1] - programFoldedStarts_[p]);
        };
        Sketch needed;
        needed.add(word);
        // A lone letter or digit is known from the sketches alone. For other words the sketches
        // pay only when they rule out most programs: a sample of the candidates tells.
        const bool sketchSuffices = word.size() == 1 && ownBit(uint8_t(word[0]));
        bool bySketch = sketchSuffices;
        if (!bySketch && candidates > 0) {
            size_t tried = 0;
            size_t passed = 0;
            const size_t step = std::max<size_t>(1, candidates / 512);
            for (size_t c = 0; c < candidates; c += step, ++tried)
                passed += sketchAt(candidate(c)).covers(needed);
            bySketch = passed * 4 <= tried;
        }
        std::vector<uint8_t> holding(programs, 0);
        // One slice of the candidates per core when there are many: this is most of a keystroke.
        const size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
        auto sliced = [&](auto &&mark) {
            inSlices(candidates < 20000 ? 1 : cores, [&](size_t i, size_t slices) {
                const size_t end = candidates * (i + 1) / slices;
                for (size_t c = candidates * i / slices; c < end; ++c)
                    mark(candidate(c));
            });
        };
        if (bySketch) {
            sliced([&](size_t p) {
                holding[p] = sketchSuffices
                                 ? (byteMasks_[p] & needed.bytes) == needed.bytes
                                 : sketchAt(p).covers(needed) &&
                                       findFrom(own(p), 0, word) != std::string_view::npos;
            });
        } else if (candidates * 8 >= programs) {
            // Many candidates: one pass over all the text beats one search per program.
            inSlices(cores, [&](size_t i, size_t slices) {
                scan(
                    programFolded_, programFoldedStarts_, word, [&](size_t p) { holding[p] = 1; },
                    programs * i / slices, programs * (i + 1) / slices);
            });
        } else {
            sliced([&](size_t p) {
                holding[p] = findFrom(own(p), 0, word) != std::string_view::npos;
            });
        }
        std::vector<int> next;
        next.reserve(candidates);
        for (size_t c = 0; c < candidates; ++c) {
            const size_t p = candidate(c);
            const int cd = programCds_[p];
            if (cd >= 0 && (holding[p] || cds[size_t(cd)]))
                next.push_back(int(p));
        }
        current = std::move(next);
        everyProgram = false;
        if (current.empty())
            break;
    }
    if (folded.empty()) // every word held already: only entries left dead meanwhile go
        current.erase(std::remove_if(current.begin(), current.end(),
                                     [this](int program) { return !live(program); }),
                      current.end());
    if (within == nullptr)
        mergeAdded(current);
    return current;
}

} // namespace store::search
