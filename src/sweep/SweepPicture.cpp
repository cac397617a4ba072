#include "sweep/SweepPicture.h"

#include <algorithm>
#include <cstdio>

namespace {

uint32_t LE16(const std::vector<uint8_t> &b, size_t at) {
    return b[at] | (uint32_t(b[at + 1]) << 8);
}
uint32_t LE32(const std::vector<uint8_t> &b, size_t at) {
    return LE16(b, at) | (LE16(b, at + 2) << 16);
}

constexpr uint32_t MaxSide = 20000;

}  // namespace

bool SweepPicture::ReadBmpOrTga(const std::string &path, std::string &why) {
    std::vector<uint8_t> bytes;
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        why = "cannot be opened";
        return false;
    }
    uint8_t buffer[65536];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + count);
    }
    std::fclose(file);

    // Where each stored line goes, its bytes per pixel, and the palette (BGR entries of stride).
    uint32_t width = 0;
    uint32_t height = 0;
    int depth = 0;
    size_t pixels = 0;
    size_t lineBytes = 0;
    bool bottomUp = true;
    size_t palette = 0;
    size_t paletteStride = 0;
    size_t paletteEntries = 0;
    if (bytes.size() >= 54 && bytes[0] == 'B' && bytes[1] == 'M') {
        int32_t h = int32_t(LE32(bytes, 22));
        width = LE32(bytes, 18);
        height = uint32_t(h < 0 ? -int64_t(h) : h);
        bottomUp = h > 0;
        depth = int(LE16(bytes, 28)) / 8;
        if (LE32(bytes, 30) != 0 || (depth != 1 && depth != 3)) {
            why = "is a BMP of a kind the contact sheet does not read";
            return false;
        }
        pixels = LE32(bytes, 10);
        lineBytes = (size_t(width) * size_t(depth) + 3) / 4 * 4;
        palette = 14 + LE32(bytes, 14);
        paletteStride = 4;
        paletteEntries = LE32(bytes, 46) != 0 ? LE32(bytes, 46) : 256;
    } else if (bytes.size() >= 18 && (bytes[2] == 1 || bytes[2] == 2)) {
        // TGA: uncompressed colour-mapped (8-bit, 24-bit map) or true colour (24-bit).
        const bool mapped = bytes[2] == 1;
        width = LE16(bytes, 12);
        height = LE16(bytes, 14);
        depth = bytes[16] / 8;
        bottomUp = (bytes[17] & 0x20) == 0;
        if ((mapped && (depth != 1 || bytes[1] != 1 || bytes[7] != 24)) ||
            (!mapped && depth != 3)) {
            why = "is a TGA of a kind the contact sheet does not read";
            return false;
        }
        paletteEntries = mapped ? LE16(bytes, 5) : 0;
        paletteStride = 3;
        pixels = 18 + size_t(bytes[0]) + (mapped ? paletteEntries * 3 : 0);
        palette = 18 + size_t(bytes[0]);
        lineBytes = size_t(width) * size_t(depth);
    } else {
        why = "is no BMP or TGA picture";
        return false;
    }
    if (width == 0 || height == 0 || width > MaxSide || height > MaxSide ||
        pixels + lineBytes * height > bytes.size() ||
        (depth == 1 && palette + paletteEntries * paletteStride > bytes.size())) {
        why = "is cut short or damaged";
        return false;
    }
    Width = width;
    Height = height;
    Rgb.assign(size_t(width) * height * 3, 0);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t *line = bytes.data() + pixels + lineBytes * (bottomUp ? height - 1 - y : y);
        uint8_t *out = Rgb.data() + size_t(y) * width * 3;
        for (uint32_t x = 0; x < width; ++x, out += 3) {
            const uint8_t *bgr = line + size_t(x) * 3;
            if (depth == 1) {
                // Indexes past the palette stay black.
                if (line[x] >= paletteEntries) continue;
                bgr = bytes.data() + palette + size_t(line[x]) * paletteStride;
            }
            out[0] = bgr[2];
            out[1] = bgr[1];
            out[2] = bgr[0];
        }
    }
    return true;
}

SweepPicture SweepPicture::Fitted(uint32_t side) const {
    if (Width <= side && Height <= side) return *this;
    SweepPicture out;
    // The longer side becomes side; the other keeps the proportion, at least one pixel.
    if (Width >= Height) {
        out.Width = side;
        out.Height = uint32_t(uint64_t(Height) * side / Width);
    } else {
        out.Height = side;
        out.Width = uint32_t(uint64_t(Width) * side / Height);
    }
    if (out.Width == 0) out.Width = 1;
    if (out.Height == 0) out.Height = 1;
    out.Rgb.assign(size_t(out.Width) * out.Height * 3, 0);
    for (uint32_t y = 0; y < out.Height; ++y) {
        // Output pixel (x, y) covers the source box [x0, x1) x [y0, y1), at least one pixel.
        uint32_t y0 = uint32_t(uint64_t(y) * Height / out.Height);
        uint32_t y1 = uint32_t(uint64_t(y + 1) * Height / out.Height);
        if (y1 <= y0) y1 = y0 + 1;
        for (uint32_t x = 0; x < out.Width; ++x) {
            uint32_t x0 = uint32_t(uint64_t(x) * Width / out.Width);
            uint32_t x1 = uint32_t(uint64_t(x + 1) * Width / out.Width);
            if (x1 <= x0) x1 = x0 + 1;
            uint64_t sum[3] = {0, 0, 0};
            for (uint32_t sy = y0; sy < y1; ++sy) {
                const uint8_t *p = Rgb.data() + (size_t(sy) * Width + x0) * 3;
                for (uint32_t sx = x0; sx < x1; ++sx, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            const uint64_t area = uint64_t(x1 - x0) * (y1 - y0);
            uint8_t *o = out.Rgb.data() + (size_t(y) * out.Width + x) * 3;
            for (int c = 0; c < 3; ++c) o[c] = uint8_t((sum[c] + area / 2) / area);
        }
    }
    return out;
}

void SweepPicture::Paste(const SweepPicture &from, uint32_t x, uint32_t y) {
    for (uint32_t row = 0; row < from.Height && y + row < Height; ++row) {
        if (x >= Width) break;
        uint32_t count = from.Width < Width - x ? from.Width : Width - x;
        const uint8_t *source = from.Rgb.data() + size_t(row) * from.Width * 3;
        uint8_t *target = Rgb.data() + (size_t(y + row) * Width + x) * 3;
        std::copy(source, source + size_t(count) * 3, target);
    }
}

void SweepPicture::Fill(uint8_t r, uint8_t g, uint8_t b) {
    for (size_t i = 0; i + 2 < Rgb.size(); i += 3) {
        Rgb[i] = r;
        Rgb[i + 1] = g;
        Rgb[i + 2] = b;
    }
}
