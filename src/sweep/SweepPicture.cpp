#include "sweep/SweepPicture.h"

#include <stb_image.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "image3d/GenImage3D.h"
#include "toolkit/FileCheck.h"

namespace {

constexpr uint32_t MaxSide = 20000;

// The size the run loop's writer gives a picture of width x height of the file's kind: BMP or TGA,
// 8 bits with a palette or 24 bits; 0 for another kind. The depth comes from the header, as the
// decoder reports both kinds as RGB.
uint64_t WriterBytes(const std::vector<uint8_t> &bytes, bool tga, uint32_t width, uint32_t height) {
    const size_t bitsPerPixel = tga ? 16 : 28;
    if (bytes.size() <= bitsPerPixel) return 0;
    const int depth = bytes[bitsPerPixel] / 8;
    if (depth != 1 && depth != 3) return 0;
    return tga ? GenImage3D::TGAFileBytes(width, height, depth)
               : GenImage3D::BMPFileBytes(width, height, depth);
}

}  // namespace

bool SweepPicture::ReadBmpOrTga(const std::string &path, std::string &why) {
    // A FIFO would block and a device read without end: only regular files, and none larger
    // than the largest picture read.
    FileFault fault;
    const int descriptor = OpenRegularFile(path.c_str(), fault);
    if (descriptor < 0) {
        why = fault.Error == FileFault::NotRegular ? "is not a regular file" : "cannot be opened";
        return false;
    }
    struct stat status = {};
    if (fstat(descriptor, &status) != 0 ||
        uint64_t(status.st_size) > GenImage3D::BMPFileBytes(MaxSide, MaxSide, 3)) {
        close(descriptor);
        why = "is larger than the contact sheet reads";
        return false;
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(size_t(status.st_size));
    uint8_t buffer[65536];
    ssize_t count;
    while ((count = read(descriptor, buffer, sizeof buffer)) > 0 &&
           bytes.size() + size_t(count) <= size_t(status.st_size)) {
        bytes.insert(bytes.end(), buffer, buffer + count);
    }
    close(descriptor);

    // TGA has no signature: the name tells it; the decoder would take other formats too.
    const bool tga = path.size() >= 4 && path.compare(path.size() - 4, 4, ".tga") == 0;
    const bool bmp = bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
    int width = 0;
    int height = 0;
    int channels = 0;
    if ((!tga && !bmp) || bytes.size() > size_t(INT_MAX) ||
        stbi_info_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels) == 0) {
        why = "is no BMP or TGA picture";
        return false;
    }
    if (width <= 0 || height <= 0 || uint32_t(width) > MaxSide || uint32_t(height) > MaxSide) {
        why = "is larger than the contact sheet reads";
        return false;
    }
    // The decoder fills what a cut file lacks with black instead of refusing it.
    if (bytes.size() != WriterBytes(bytes, tga, uint32_t(width), uint32_t(height))) {
        why = "is cut short or damaged";
        return false;
    }
    stbi_uc *rgb =
        stbi_load_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels, 3);
    if (rgb == nullptr) {
        why = std::string("cannot be decoded (") + stbi_failure_reason() + ")";
        return false;
    }
    Width = uint32_t(width);
    Height = uint32_t(height);
    Rgb.assign(rgb, rgb + size_t(Width) * Height * 3);
    stbi_image_free(rgb);
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
