#include "rdsimul/ReactionModels.h"

namespace {

char FoldToSmall(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

// ASCII comparison without regard to case; the model names are plain letters and digits.
bool SameNameIgnoringCase(const char *a, const char *b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (FoldToSmall(*a) != FoldToSmall(*b)) return false;
    }
    return *a == *b;
}

}  // namespace

int FindReactionModel(const char *name) {
    if (name == nullptr) return -1;
    for (int m = 0; m < ReactionModelCount; ++m) {
        if (SameNameIgnoringCase(name, ReactionModelTable[m].Name)) return m;
    }
    return -1;
}
