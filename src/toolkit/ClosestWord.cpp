#include "toolkit/ClosestWord.h"

#include <algorithm>

namespace {

char Folded(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

}  // namespace

namespace ClosestWord {

int Distance(std::string_view a, std::string_view b) {
    // One row of the edit table at a time: row[j] is the distance from a's prefix read so far to
    // the first j characters of b.
    std::vector<int> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = int(j);
    for (size_t i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (size_t j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            const int replace = diagonal + (Folded(a[i - 1]) == Folded(b[j - 1]) ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, replace});
            diagonal = above;
        }
    }
    return row[b.size()];
}

const char *Find(std::string_view word, const std::vector<const char *> &candidates) {
    const char *best = nullptr;
    int bestDistance = MaxEdits + 1;
    for (const char *candidate : candidates) {
        if (word == candidate) return nullptr;
        // Words far longer than any candidate cannot be near one; the table stays small.
        if (word.size() > std::string_view(candidate).size() + size_t(MaxEdits)) continue;
        const int distance = Distance(word, candidate);
        if (distance < bestDistance && 2 * size_t(distance) < word.size()) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace ClosestWord
