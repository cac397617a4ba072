// What a rewrite may change in a script: only whole annotation lines. The oracle of the rewrite
// tests and of the script parser's fuzz target, written apart from the parser on purpose.
#pragma once

#include <string>

namespace scripttest {

inline const std::string Bom = "\xEF\xBB\xBF";

// The text without the lines whose first non-blank characters are "#ERR" (a byte-order mark in
// front of the first line stays).
inline std::string WithoutAnnotations(const std::string &text) {
    std::string out;
    size_t at = 0;
    if (text.compare(0, Bom.size(), Bom) == 0) {
        out = Bom;
        at = Bom.size();
    }
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        size_t first = text.find_first_not_of(" \t", at);
        if (first >= end || text.compare(first, 4, "#ERR") != 0) out += text.substr(at, end - at);
        at = end;
    }
    return out;
}

}  // namespace scripttest
