// ClosestWord: the "did you mean" of the messages: the known word a mistyped one most likely
// stands for, by edit distance; owns nothing.
#pragma once

#include <string_view>
#include <vector>

namespace ClosestWord {

// Edits (a character inserted, removed or replaced) that turn a into b, letters compared without
// regard to case.
int Distance(std::string_view a, std::string_view b);

// The candidate nearest to word, when it is near enough to be the one meant: at most MaxEdits
// edits and fewer than half the word's length (so a short word is never matched to anything). The
// first of equally near candidates; null when none is near, or when word is itself a candidate.
constexpr int MaxEdits = 2;
const char *Find(std::string_view word, const std::vector<const char *> &candidates);

}  // namespace ClosestWord
