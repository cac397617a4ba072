#include "imageio/MapPictureReader.h"

#include <stb_image.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "imageio/PngFile.h"

namespace {

bool EndsWithTga(const char *path) {
    const size_t length = std::strlen(path);
    if (length < 4) return false;
    std::string tail(path + length - 4);
    for (char &c : tail) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return tail == ".tga";
}

// Sample index of a row of bitDepth-bit samples: packed from the high bits for depths below 8,
// host-order uint16_t for 16.
uint16_t SampleAt(const uint8_t *row, int bitDepth, size_t index) {
    if (bitDepth == 16) {
        uint16_t value;
        std::memcpy(&value, row + 2 * index, sizeof value);
        return value;
    }
    if (bitDepth == 8) return row[index];
    const size_t bit = index * size_t(bitDepth);
    const int shift = 8 - bitDepth - int(bit % 8);
    return uint16_t((row[bit / 8] >> shift) & ((1 << bitDepth) - 1));
}

bool ReadPng(const char *path, PictureMap::Samples &samples, int &error) {
    PngFile::RawImage raw;
    if (PngFile::ReadRaw(path, raw, error) != PngFile::Done) {
        if (error < 0) error = EISDIR;
        return false;
    }
    const int type = raw.ColorType;
    const int channelsIn = type == 0 ? 1 : type == 2 ? 3 : type == 3 ? 1 : type == 4 ? 2 : 4;
    samples.Width = raw.Width;
    samples.Height = raw.Height;
    samples.Channels = type == 0 || type == 4 ? 1 : 3;
    samples.Maximum = type == 3 ? 255u : (1u << raw.BitDepth) - 1u;
    samples.Values.resize(size_t(raw.Width) * raw.Height * size_t(samples.Channels));
    uint16_t *to = samples.Values.data();
    for (uint32_t y = 0; y < raw.Height; ++y) {
        const uint8_t *row = raw.Rows.data() + size_t(y) * raw.RowBytes;
        for (uint32_t x = 0; x < raw.Width; ++x) {
            const size_t first = size_t(x) * size_t(channelsIn);
            if (type == 3) {
                const size_t entry = SampleAt(row, raw.BitDepth, x);
                if (3 * entry + 2 >= raw.Palette.size()) {
                    error = EINVAL;
                    return false;
                }
                for (int c = 0; c < 3; ++c) *to++ = raw.Palette[3 * entry + size_t(c)];
                continue;
            }
            // Alpha, the last channel of types 4 and 6, is left out.
            for (int c = 0; c < samples.Channels; ++c) {
                *to++ = SampleAt(row, raw.BitDepth, first + size_t(c));
            }
        }
    }
    return true;
}

bool ReadBmpOrTga(const char *path, PictureMap::Samples &samples, int &error) {
    FILE *file = std::fopen(path, "rb");
    if (file == nullptr) {
        error = errno != 0 ? errno : EIO;
        return false;
    }
    int width = 0, height = 0, channels = 0;
    // The header first, so that a picture too large is refused before it is allocated.
    if (stbi_info_from_file(file, &width, &height, &channels) == 0) {
        std::fclose(file);
        error = EINVAL;
        return false;
    }
    if (width <= 0 || height <= 0 || uint32_t(width) > PictureMap::MaxSide ||
        uint32_t(height) > PictureMap::MaxSide) {
        std::fclose(file);
        error = EFBIG;
        return false;
    }
    stbi_uc *rgb = stbi_load_from_file(file, &width, &height, &channels, 3);
    std::fclose(file);
    if (rgb == nullptr) {
        error = EINVAL;
        return false;
    }
    samples.Width = uint32_t(width);
    samples.Height = uint32_t(height);
    samples.Channels = 3;
    samples.Maximum = 255;
    samples.Values.assign(rgb, rgb + size_t(width) * size_t(height) * 3);
    stbi_image_free(rgb);
    return true;
}

}  // namespace

namespace MapPictureReader {

bool Read(const char *path, PictureMap::Samples &samples, int &error) {
    error = 0;
    if (!PictureMap::CheckFile(path, error)) return false;
    // The signature, and for a PNG its first chunk's width and height (IHDR comes first).
    uint8_t head[24] = {};
    FILE *file = std::fopen(path, "rb");
    if (file == nullptr) {
        error = errno != 0 ? errno : EIO;
        return false;
    }
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    static const uint8_t Png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (got >= sizeof Png && std::memcmp(head, Png, sizeof Png) == 0) {
        // A side too large is refused before the picture is unpacked.
        auto side = [&](int at) {
            return uint32_t(head[at]) << 24 | uint32_t(head[at + 1]) << 16 |
                   uint32_t(head[at + 2]) << 8 | uint32_t(head[at + 3]);
        };
        if (got == sizeof head &&
            (side(16) > PictureMap::MaxSide || side(20) > PictureMap::MaxSide)) {
            error = EFBIG;
            return false;
        }
        return ReadPng(path, samples, error);
    }
    // TGA has no signature: its name tells it; the decoder would take other formats too.
    if ((got >= 2 && head[0] == 'B' && head[1] == 'M') || EndsWithTga(path)) {
        return ReadBmpOrTga(path, samples, error);
    }
    error = EINVAL;
    return false;
}

void Install() { PictureMap::InstallReader(Read); }

}  // namespace MapPictureReader
