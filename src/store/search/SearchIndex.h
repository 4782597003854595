#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace store::engine {
class Database;
class Statement;
} // namespace store::engine

namespace store::search {

// Appends UTF-8 text to `out` folded as SearchIndex::fold folds it, without going through QString
// for the characters most texts are made of.
void appendFolded(std::string &out, std::string_view utf8);

// Every program of the catalogue with its CD's texts, read once and folded (lower case, no
// accents) so that a search by words is a scan of bytes in memory. Programs are kept in CD
// order, then by number; a match list holds their indexes in that order.
class SearchIndex {
public:
    // What a program shows, in the order the search window lists it.
    enum Field : int {
        Name,
        Version,
        Publisher,
        Licence,
        Year,
        Link,
        Comment,
        CdNumber,
        CdDescription,
        CdDate,
        CdComment,
        FieldCount
    };

    // Reads every program joined to its CD in one statement (one read transaction), on a
    // connection of the caller's own: the reading may run on another thread. A CD's date is shown
    // in `dateFormat` (the short date format when empty) and found typed so or as yyyy-mm-dd.
    static SearchIndex build(engine::Database *db, const QString &dateFormat = {});
    static SearchIndex build(const QString &path, const QString &dateFormat = {});

    // Brings the index up to date with rows saved since it was read: each program and CD by its
    // key, read again as `db` holds it now. A changed or removed program leaves a dead entry
    // behind and a changed one is added at the end; find() still lists in CD order.
    void patch(engine::Database *db, const std::vector<qint64> &programs,
               const std::vector<qint64> &cds);

    // Lower case without accents: "Ñandú" and "ÑANDU" both give "nandu".
    static QString fold(const QString &text);
    // The folded words of what the user typed, split on blanks, without repeats.
    static QStringList words(const QString &typed);
    // True when every program holding all of `next`'s words also holds all of `previous`'s, so
    // the search for `next` may look only among the matches of `previous`.
    static bool narrows(const QString &previous, const QString &next);

    // The programs holding every typed word somewhere in their fields, in CD order, then by
    // number; only among `within` when given (a list find() gave), whose programs all hold the
    // folded words `held`, so that a typed word found inside one of those needs no looking for.
    // No words, no programs.
    std::vector<int> find(const QString &typed, const std::vector<int> *within = nullptr,
                          const QStringList &held = {}) const;

    // Entries, dead ones included: indexes run below it.
    int size() const { return int(programNumbers_.size()); }
    bool live(int program) const { return programCds_[size_t(program)] >= 0; }
    QString text(int program, Field field) const;
    int programNumber(int program) const { return programNumbers_[size_t(program)]; }
    int cdNumber(int program) const { return cdNumbers_[size_t(cdOf(program))]; }
    // How many CDs the programs of a match list are on.
    int cdCount(const std::vector<int> &matches) const;

    // Which bytes and which pairs of adjacent bytes a folded text holds, as bits: a program
    // lacking a bit of a word cannot hold the word, so most programs are ruled out without
    // reading their text. A letter or digit has a bit of its own.
    struct Sketch {
        uint64_t bytes = 0;
        uint64_t pairs[4] = {};
        void add(std::string_view folded);
        bool covers(const Sketch &needed) const;
    };

private:
    static constexpr int kOwnFields = CdNumber; // the fields of the program's own row
    static SearchIndex read(engine::Database *db, const QString &path, const QString &dateFormat);
    static QByteArray joinedSelect(const char *tail);
    void addProgram(const char *const *texts, const int *lengths);
    // A joined row's program, on the CD entry `cd`.
    void appendProgram(const engine::Statement &row, int cd);
    void kill(size_t program);
    // A CD from its description, comment and date in the row's columns from `first` on.
    void appendCd(const engine::Statement &row, int first, int cd);
    void updateCd(size_t cd, const engine::Statement &row, int first);
    std::string foldedCd(size_t cd) const;
    std::vector<uint8_t> cdsHolding(std::string_view word) const;
    // A dead entry keeps its CD's index below zero, as ~index.
    int cdOf(int program) const {
        const int cd = programCds_[size_t(program)];
        return cd >= 0 ? cd : ~cd;
    }
    // Entries added since the reading, in CD order, into the ordered ones of `found`.
    void mergeAdded(std::vector<int> &found) const;
    bool before(int a, int b) const {
        const int cdA = cdNumber(a), cdB = cdNumber(b);
        return cdA != cdB ? cdA < cdB : programNumbers_[size_t(a)] < programNumbers_[size_t(b)];
    }

    // Folded texts, fields and programs (or CDs) ended by a byte no word holds.
    std::string programFolded_;
    std::vector<uint64_t> programFoldedStarts_{0};
    // Each program's sketch in two parts: a lone letter needs only the bytes.
    std::vector<uint64_t> byteMasks_;
    std::vector<std::array<uint64_t, 4>> pairMasks_;
    Sketch sketchAt(size_t program) const {
        Sketch sketch;
        sketch.bytes = byteMasks_[program];
        std::copy(pairMasks_[program].begin(), pairMasks_[program].end(), sketch.pairs);
        return sketch;
    }
    std::string cdFolded_;
    std::vector<uint64_t> cdFoldedStarts_{0};
    // The texts as stored: each program's own fields one after another.
    std::string originals_;
    std::vector<uint64_t> originalStarts_{0};
    std::vector<uint32_t> fieldEnds_; // kOwnFields per program, from its start
    std::vector<int> programNumbers_;
    std::vector<int> programCds_; // index into the CD vectors
    std::vector<int> cdNumbers_;
    std::vector<QString> cdTexts_; // description and comment per CD
    static constexpr qint64 kNoDate = INT64_MIN;
    std::vector<qint64> cdDates_; // as date serials
    QString dateFormat_;
    int ordered_ = 0; // the entries read in CD order; later ones were added by patch()
};

} // namespace store::search
