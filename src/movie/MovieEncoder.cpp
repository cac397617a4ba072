#include "movie/MovieEncoder.h"

#include <strings.h>

#include <cmath>
#include <new>

#include "movie/GifEncoder.h"
#include "movie/Mp4Encoder.h"
#include "movie/WebpEncoder.h"

MovieEncoder::Format MovieEncoder::FormatOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return Format::None;
    }
    const std::string extension = path.substr(dot + 1);
    for (Format format : {Format::Mp4, Format::Webp, Format::Gif}) {
        if (strcasecmp(extension.c_str(), FormatName(format)) == 0) return format;
    }
    return Format::None;
}

const char *MovieEncoder::FormatName(Format format) {
    switch (format) {
        case Format::Mp4:
            return "mp4";
        case Format::Webp:
            return "webp";
        case Format::Gif:
            return "gif";
        case Format::None:
            break;
    }
    return "";
}

uint32_t MovieEncoder::MaxSideOf(Format format) {
    switch (format) {
        case Format::Mp4:
            return Mp4Encoder::MaxSide;
        case Format::Webp:
            return WebpEncoder::MaxSide;
        case Format::Gif:
            return GifEncoder::MaxSide;
        case Format::None:
            break;
    }
    return 0;
}

std::unique_ptr<MovieEncoder> MovieEncoder::Make(Format format) {
    switch (format) {
        case Format::Mp4:
            return std::unique_ptr<MovieEncoder>(new (std::nothrow) Mp4Encoder());
        case Format::Webp:
            return std::unique_ptr<MovieEncoder>(new (std::nothrow) WebpEncoder());
        case Format::Gif:
            return std::unique_ptr<MovieEncoder>(new (std::nothrow) GifEncoder());
        case Format::None:
            break;
    }
    return nullptr;
}

int64_t MovieEncoder::FrameStart(int64_t k, double fps, int scale) {
    return int64_t(std::llround(double(k) * double(scale) / fps));
}

void MovieEncoder::ToRgb(const MovieFrame &frame, bool alpha, std::vector<uint8_t> &out) {
    const size_t channels = alpha ? 4 : 3;
    out.resize(size_t(frame.Width) * frame.Height * channels);
    uint8_t *to = out.data();
    for (uint32_t y = 0; y < frame.Height; ++y) {
        const uint8_t *row = frame.Pixels + size_t(y) * frame.RowStride;
        for (uint32_t x = 0; x < frame.Width; ++x, to += channels) {
            if (frame.Kind == MovieFrame::Layout::Indexed8) {
                // Indexes past the palette's end show black, as in the images.
                const int index = row[x];
                const bool known = index < frame.PaletteSize;
                to[0] = known ? frame.Palette[index][0] : 0;
                to[1] = known ? frame.Palette[index][1] : 0;
                to[2] = known ? frame.Palette[index][2] : 0;
            } else {
                // Blue, green, red in the picture.
                to[0] = row[3 * x + 2];
                to[1] = row[3 * x + 1];
                to[2] = row[3 * x];
            }
            if (alpha) to[3] = 255;
        }
    }
}
