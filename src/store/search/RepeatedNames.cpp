#include "store/search/RepeatedNames.h"

#include "store/search/SearchIndex.h"

#include <algorithm>
#include <string>
#include <thread>

namespace store::search {

namespace {

// Leading and trailing blanks are not part of a name.
std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

struct Keyed {
    size_t hash;
    int row;
};

} // namespace

std::vector<std::vector<int>> findRepeatedNames(int rows,
                                                const std::function<std::string_view(int)> &name,
                                                const std::function<qint64(int)> &cd) {
    // Hash every folded name (two threads, each on half the rows), sort by hash, and look closely
    // only at runs of equal hashes: a million names need no string kept per row.
    auto folded = [&name](int row, std::string &out) {
        out.clear();
        appendFolded(out, trimmed(name(row)));
    };
    std::vector<Keyed> keyed(size_t(std::max(rows, 0)));
    auto hashRange = [&](int from, int to) {
        std::string buffer;
        for (int row = from; row < to; ++row) {
            folded(row, buffer);
            keyed[size_t(row)] = {std::hash<std::string>{}(buffer), row};
        }
    };
    const int half = rows / 2;
    if (rows >= 20000) {
        std::thread other(hashRange, half, rows);
        hashRange(0, half);
        other.join();
    } else {
        hashRange(0, rows);
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        return a.hash != b.hash ? a.hash < b.hash : a.row < b.row;
    });

    struct Group {
        std::string key;
        std::vector<int> rows;
    };
    std::vector<Group> groups;
    std::vector<std::pair<std::string, int>> run;
    for (size_t i = 0; i < keyed.size();) {
        size_t j = i + 1;
        while (j < keyed.size() && keyed[j].hash == keyed[i].hash)
            ++j;
        if (j - i > 1) {
            // Names that only share a hash are told apart here.
            run.clear();
            for (size_t k = i; k < j; ++k) {
                std::string key;
                folded(keyed[k].row, key);
                run.emplace_back(std::move(key), keyed[k].row);
            }
            std::stable_sort(run.begin(), run.end(),
                             [](const auto &a, const auto &b) { return a.first < b.first; });
            for (size_t a = 0; a < run.size();) {
                size_t b = a + 1;
                while (b < run.size() && run[b].first == run[a].first)
                    ++b;
                Group group{run[a].first, {}};
                for (size_t k = a; k < b; ++k)
                    group.rows.push_back(run[k].second);
                std::stable_sort(group.rows.begin(), group.rows.end(),
                                 [&cd](int x, int y) { return cd(x) < cd(y); });
                const bool onSeveralCds = cd(group.rows.front()) != cd(group.rows.back());
                if (onSeveralCds && !group.key.empty())
                    groups.push_back(std::move(group));
                a = b;
            }
        }
        i = j;
    }
    std::sort(groups.begin(), groups.end(),
              [](const Group &a, const Group &b) { return a.key < b.key; });
    std::vector<std::vector<int>> result;
    result.reserve(groups.size());
    for (Group &group : groups)
        result.push_back(std::move(group.rows));
    return result;
}

} // namespace store::search
