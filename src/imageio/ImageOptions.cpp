#include "imageio/ImageOptions.h"

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
