// libFuzzer entry point for --vary specifications: any bytes as the text of one varied line. Every
// specification accepted must give values that are plain decimals (what the parser reads and a
// variant's name holds) a script number can hold, at most MaxValues of them, and a label of
// file-name-safe characters; a refused one says why.
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sweep/VariedLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    VariedLine varied;
    std::string error;
    if (!varied.Parse(text, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    if (varied.Values.empty() || varied.Values.size() > size_t(VariedLine::MaxValues) ||
        varied.Words.empty()) {
        std::abort();
    }
    for (const std::string &value : varied.Values) {
        if (!SweepText::IsPlainNumber(value) ||
            std::fabs(std::strtod(value.c_str(), nullptr)) > double(FLT_MAX)) {
            std::abort();
        }
    }
    for (char c : varied.Label) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (!plain) std::abort();
    }
    return 0;
}
