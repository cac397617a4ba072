#include "toolkit/EditorText.h"

int32_t EditorLength(const char *text, int32_t length) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    int32_t count = 0;
    int32_t i = 0;
    while (i < length) {
        const unsigned char c = bytes[i];
        if (c == '\r' && i + 1 < length && bytes[i + 1] == '\n') {
            ++i;  // CR LF is one line break: the LF counts it
            continue;
        }
        // Trail bytes the lead byte announces; overlong leads (C0, C1) and F5..FF announce none.
        const int trail = c >= 0xF0 && c <= 0xF4   ? 3
                          : c >= 0xE0 && c <= 0xEF ? 2
                          : c >= 0xC2 && c <= 0xDF ? 1
                                                   : 0;
        int j = 1;
        while (j <= trail && i + j < length && (bytes[i + j] & 0xC0) == 0x80) ++j;
        if (trail > 0 && j == trail + 1) {
            count += trail == 3 ? 2 : 1;  // outside the basic plane: a surrogate pair
            i += j;
        } else {
            count += 1;
            i += 1;
        }
    }
    return count;
}
