#include "imageio/ImageOptions.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

const char *ImageOptions::FormatName(char format) {
    return format == 'P' ? "png" : format == 'T' ? "tga" : "bmp";
}

std::vector<std::string> ImageOptions::ToArguments() const {
    std::vector<std::string> words;
    if (Format != 0) words.insert(words.end(), {"--format", FormatName(Format)});
    if (SizeX != 0) {
        words.insert(words.end(), {"--size", std::to_string(SizeX) + "x" + std::to_string(SizeY)});
    }
    if (Upscale != 1) words.insert(words.end(), {"--upscale", std::to_string(Upscale)});
    if (UpscaleToX != 0) {
        std::string size = std::to_string(UpscaleToX);
        if (UpscaleToY != 0) size.append(1, 'x').append(std::to_string(UpscaleToY));
        words.push_back("--upscale-to");
        words.push_back(size);
    }
    if (Height) words.push_back("--height");
    if (Normal) {
        // The shortest text that reads back to the very strength parsed (0.3, not 0.2999...).
        char strength[32];
        for (int digits = 6; digits <= 17; ++digits) {
            std::snprintf(strength, sizeof strength, "%.*g", digits, NormalStrength);
            if (std::strtod(strength, nullptr) == NormalStrength) break;
        }
        words.push_back(std::string("--normal=") + strength);
    }
    if (NormalDirectX) words.push_back("--normal-dx");
    if (ScaleRun) words.push_back("--scale=run");
    if (PngLevel != PngFile::DefaultCompression) {
        words.insert(words.end(), {"--png-level", std::to_string(PngLevel)});
    }
    if (Last) words.push_back("--last");
    return words;
}

void ImageOptions::OutputSize(uint32_t fieldX, uint32_t fieldY, uint32_t &x, uint32_t &y) const {
    if (UpscaleToX <= 0 || fieldX == 0 || fieldY == 0) {
        const uint32_t factor = Upscale > 1 ? uint32_t(Upscale) : 1;
        x = fieldX * factor;
        y = fieldY * factor;
    } else if (UpscaleToY > 0) {
        x = uint32_t(UpscaleToX);
        y = uint32_t(UpscaleToY);
    } else if (fieldX >= fieldY) {
        x = uint32_t(UpscaleToX);
        y = uint32_t(std::max<uint64_t>(1, (uint64_t(fieldY) * x * 2 + fieldX) / (2 * fieldX)));
    } else {
        y = uint32_t(UpscaleToX);
        x = uint32_t(std::max<uint64_t>(1, (uint64_t(fieldX) * y * 2 + fieldY) / (2 * fieldY)));
    }
}

void ImageOptions::ScaledSize(uint32_t fieldX, uint32_t fieldY, uint32_t sideX, uint32_t sideY,
                              uint32_t &x, uint32_t &y) const {
    uint32_t outX = 0, outY = 0;
    OutputSize(fieldX, fieldY, outX, outY);
    if (fieldX == 0 || fieldY == 0) {
        x = sideX;
        y = sideY;
        return;
    }
    // Rounded to the nearest pixel: a whole factor gives the side times the factor.
    x = uint32_t((uint64_t(sideX) * outX * 2 + fieldX) / (2 * uint64_t(fieldX)));
    y = uint32_t((uint64_t(sideY) * outY * 2 + fieldY) / (2 * uint64_t(fieldY)));
}
