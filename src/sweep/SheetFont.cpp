#include "sweep/SheetFont.h"

#include <stb_truetype.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "toolkit/FileCheck.h"

struct SheetFont::State {
    std::vector<unsigned char> Bytes;
    stbtt_fontinfo Info = {};
    float Scale = 0.0F;
    int Ascent = 0;  // in pixels, from the top of a line to its baseline
    int Height = 0;
};

namespace {

uint32_t BigEndian(const std::vector<unsigned char> &bytes, size_t at, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | bytes[at + size_t(i)];
    return value;
}

// stb_truetype trusts the offsets of the table directory: a file whose tables do not all lie
// within it is refused before the font is opened.
bool TablesWithin(const std::vector<unsigned char> &bytes) {
    if (bytes.size() < 12) return false;
    const uint32_t tables = BigEndian(bytes, 4, 2);
    if (tables == 0 || 12 + uint64_t(tables) * 16 > bytes.size()) return false;
    for (uint32_t t = 0; t < tables; ++t) {
        const size_t entry = 12 + size_t(t) * 16;
        const uint64_t offset = BigEndian(bytes, entry + 8, 4);
        const uint64_t length = BigEndian(bytes, entry + 12, 4);
        if (offset + length > bytes.size()) return false;
    }
    return true;
}

// The code point at text[at], and at moved past it; '?' for a byte that starts no valid
// UTF-8 sequence (at moves by one).
int NextCodePoint(const std::string &text, size_t &at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    int length = lead < 0x80           ? 1
                 : (lead >> 5) == 0x6  ? 2
                 : (lead >> 4) == 0xE  ? 3
                 : (lead >> 3) == 0x1E ? 4
                                       : 0;
    if (length == 0 || at + size_t(length) > text.size()) {
        ++at;
        return length == 1 ? lead : '?';
    }
    int code = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + size_t(i)]);
        if ((next >> 6) != 0x2) {
            ++at;
            return '?';
        }
        code = (code << 6) | (next & 0x3F);
    }
    at += size_t(length);
    return code;
}

}  // namespace

SheetFont::SheetFont() = default;
SheetFont::~SheetFont() = default;

SheetFont::Result SheetFont::Load(const std::string &path, float pixelHeight) {
    Face.reset();
    Error.clear();
    FileFault fault;
    const int descriptor = OpenRegularFile(path.c_str(), fault);
    if (descriptor < 0) {
        Error = path + ": " + FaultText(fault);
        return Failed;
    }
    auto state = std::make_unique<State>();
    struct stat status = {};
    if (fstat(descriptor, &status) != 0 || status.st_size > MaxFileBytes) {
        close(descriptor);
        Error = path + ": too large for a font";
        return Failed;
    }
    state->Bytes.resize(size_t(status.st_size));
    size_t got = 0;
    ssize_t count = 0;
    while (got < state->Bytes.size() &&
           (count = read(descriptor, state->Bytes.data() + got, state->Bytes.size() - got)) > 0) {
        got += size_t(count);
    }
    close(descriptor);
    if (got != state->Bytes.size()) {
        Error = path + ": cannot be read";
        return Failed;
    }
    if (!TablesWithin(state->Bytes) || stbtt_InitFont(&state->Info, state->Bytes.data(), 0) == 0) {
        Error = path + ": not a TrueType font";
        return Failed;
    }
    state->Scale = stbtt_ScaleForPixelHeight(&state->Info, pixelHeight);
    int ascent = 0;
    int descent = 0;
    int gap = 0;
    stbtt_GetFontVMetrics(&state->Info, &ascent, &descent, &gap);
    state->Ascent = int(std::ceil(float(ascent) * state->Scale));
    state->Height = state->Ascent + int(std::ceil(float(-descent) * state->Scale));
    if (state->Scale <= 0.0F || state->Height <= 0) {
        Error = path + ": not a TrueType font";
        return Failed;
    }
    Face = std::move(state);
    return Done;
}

uint32_t SheetFont::LineHeight() const { return Face ? uint32_t(Face->Height) : 0; }

uint32_t SheetFont::Width(const std::string &text) const {
    if (!Face) return 0;
    float x = 0.0F;
    int previous = 0;
    for (size_t at = 0; at < text.size();) {
        const int glyph = stbtt_FindGlyphIndex(&Face->Info, NextCodePoint(text, at));
        int advance = 0;
        int bearing = 0;
        stbtt_GetGlyphHMetrics(&Face->Info, glyph, &advance, &bearing);
        if (previous != 0) {
            x += float(stbtt_GetGlyphKernAdvance(&Face->Info, previous, glyph)) * Face->Scale;
        }
        x += float(advance) * Face->Scale;
        previous = glyph;
    }
    return uint32_t(std::ceil(x));
}

void SheetFont::Draw(SweepPicture &picture, int x, int y, const std::string &text, uint8_t r,
                     uint8_t g, uint8_t b, int right) const {
    if (!Face) return;
    right = std::min(right, int(picture.Width));
    const int baseline = y + Face->Ascent;
    float pen = float(x);
    int previous = 0;
    std::vector<unsigned char> coverage;
    for (size_t at = 0; at < text.size();) {
        const int glyph = stbtt_FindGlyphIndex(&Face->Info, NextCodePoint(text, at));
        if (previous != 0) {
            pen += float(stbtt_GetGlyphKernAdvance(&Face->Info, previous, glyph)) * Face->Scale;
        }
        int advance = 0;
        int bearing = 0;
        stbtt_GetGlyphHMetrics(&Face->Info, glyph, &advance, &bearing);
        // The glyph's box relative to the pen on the baseline; the pen's fraction of a pixel
        // goes into the rendering so that letters keep their spacing.
        const int whole = int(std::floor(pen));
        const float shift = pen - float(whole);
        int x0 = 0;
        int y0 = 0;
        int x1 = 0;
        int y1 = 0;
        stbtt_GetGlyphBitmapBoxSubpixel(&Face->Info, glyph, Face->Scale, Face->Scale, shift, 0.0F,
                                        &x0, &y0, &x1, &y1);
        const int w = x1 - x0;
        const int h = y1 - y0;
        if (w > 0 && h > 0) {
            coverage.assign(size_t(w) * size_t(h), 0);
            stbtt_MakeGlyphBitmapSubpixel(&Face->Info, coverage.data(), w, h, w, Face->Scale,
                                          Face->Scale, shift, 0.0F, glyph);
            for (int row = 0; row < h; ++row) {
                const int py = baseline + y0 + row;
                if (py < 0 || py >= int(picture.Height)) continue;
                for (int column = 0; column < w; ++column) {
                    const int px = whole + x0 + column;
                    if (px < x || px < 0 || px >= right) continue;
                    const unsigned alpha = coverage[size_t(row) * size_t(w) + size_t(column)];
                    if (alpha == 0) continue;
                    uint8_t *p = picture.Rgb.data() + (size_t(py) * picture.Width + size_t(px)) * 3;
                    const uint8_t ink[3] = {r, g, b};
                    for (int c = 0; c < 3; ++c) {
                        p[c] = uint8_t((ink[c] * alpha + p[c] * (255 - alpha) + 127) / 255);
                    }
                }
            }
        }
        pen += float(advance) * Face->Scale;
        previous = glyph;
    }
}
