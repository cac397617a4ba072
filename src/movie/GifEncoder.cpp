#include "movie/GifEncoder.h"

#include <gif_lib.h>
#include <libimagequant.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr int Hundredths = 100;

}  // namespace

GifEncoder::~GifEncoder() { Discard(); }

int GifEncoder::Output(GifFileType *gif, const uint8_t *bytes, int count) {
    auto *self = static_cast<GifEncoder *>(gif->UserData);
    FILE *stream = self->File.GetStream();
    if (stream == nullptr || count < 0) return 0;
    const size_t written = std::fwrite(bytes, 1, size_t(count), stream);
    if (written != size_t(count) && self->IoError == 0) self->IoError = errno != 0 ? errno : EIO;
    return int(written);
}

int GifEncoder::CauseOf() const { return IoError != 0 ? IoError : EIO; }

MovieEncoder::Result GifEncoder::Begin(const char *path, uint32_t width, uint32_t height,
                                       const MovieSettings &settings, int &error) {
    Discard();
    error = 0;
    if (width == 0 || height == 0 || width > MaxSide || height > MaxSide) {
        error = EFBIG;
        return Failed;
    }
    if (File.Open(path) != AtomicFileWriter::Done) {
        error = File.LastErrno() != 0 ? File.LastErrno() : EIO;
        return Failed;
    }
    int code = 0;
    Gif = EGifOpen(this, &GifEncoder::Output, &code);
    if (Gif == nullptr) {
        error = ENOMEM;
        Discard();
        return Failed;
    }
    EGifSetGifVersion(Gif, true);
    // No global colour map: every frame carries its own, so a 24-bit frame's reduction is its.
    // The application block makes the movie loop for ever.
    static const uint8_t netscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const uint8_t loop[] = {1, 0, 0};
    if (EGifPutScreenDesc(Gif, int(width), int(height), 8, 0, nullptr) != GIF_OK ||
        EGifPutExtensionLeader(Gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
        EGifPutExtensionBlock(Gif, sizeof netscape, netscape) != GIF_OK ||
        EGifPutExtensionBlock(Gif, sizeof loop, loop) != GIF_OK ||
        EGifPutExtensionTrailer(Gif) != GIF_OK) {
        error = CauseOf();
        Discard();
        return Failed;
    }
    Settings = settings;
    Width = width;
    Height = height;
    Index = 0;
    return Done;
}

MovieEncoder::Result GifEncoder::Reduce(const MovieFrame &frame, Palette &palette, int &error) {
    ToRgb(frame, true, Rgba);
    liq_attr *attr = liq_attr_create();
    liq_image *image = attr != nullptr
                           ? liq_image_create_rgba(attr, Rgba.data(), int(Width), int(Height), 0.0)
                           : nullptr;
    liq_result *reduced = nullptr;
    if (attr != nullptr && Settings.Quality > 0) (void)liq_set_quality(attr, 0, Settings.Quality);
    bool done = image != nullptr && liq_image_quantize(image, attr, &reduced) == LIQ_OK;
    if (done) {
        done = liq_write_remapped_image(reduced, image, Indexes.data(), Indexes.size()) == LIQ_OK;
    }
    if (done) {
        const liq_palette *colours = liq_get_palette(reduced);
        palette.fill(0);
        for (unsigned i = 0; i < colours->count && i < 256; ++i) {
            palette[3 * i] = colours->entries[i].r;
            palette[3 * i + 1] = colours->entries[i].g;
            palette[3 * i + 2] = colours->entries[i].b;
        }
    }
    if (reduced != nullptr) liq_result_destroy(reduced);
    if (image != nullptr) liq_image_destroy(image);
    if (attr != nullptr) liq_attr_destroy(attr);
    if (!done) error = ENOMEM;
    return done ? Done : Failed;
}

MovieEncoder::Result GifEncoder::Add(const MovieFrame &frame, int &error) {
    error = 0;
    if (Gif == nullptr || frame.Width != Width || frame.Height != Height) {
        error = EINVAL;
        return Failed;
    }
    Indexes.resize(size_t(Width) * Height);
    Palette palette{};
    if (frame.Kind == MovieFrame::Layout::Indexed8) {
        // The colour map is the palette: every pixel keeps its exact colour.
        for (int i = 0; i < frame.PaletteSize && i < 256; ++i) {
            std::memcpy(&palette[3 * size_t(i)], frame.Palette[i], 3);
        }
        for (uint32_t y = 0; y < Height; ++y) {
            std::memcpy(Indexes.data() + size_t(y) * Width, frame.Pixels + y * frame.RowStride,
                        Width);
        }
    } else if (Reduce(frame, palette, error) != Done) {
        return Failed;
    }
    // Frame k lasts from its start to the next one's, in whole hundredths: the rate holds on
    // average. Viewers treat a delay of 0 as "as slow as they like"; 1 is the least.
    int hundredths = int(FrameStart(Index + 1, Settings.Fps, Hundredths) -
                         FrameStart(Index, Settings.Fps, Hundredths));
    if (hundredths < 1) hundredths = 1;
    if (PutFrame(palette, hundredths, error) != Done) return Failed;
    ++Index;
    return Done;
}

MovieEncoder::Result GifEncoder::PutFrame(const Palette &palette, int hundredths, int &error) {
    GifColorType colours[256];
    for (int i = 0; i < 256; ++i) {
        colours[i].Red = palette[3 * size_t(i)];
        colours[i].Green = palette[3 * size_t(i) + 1];
        colours[i].Blue = palette[3 * size_t(i) + 2];
    }
    ColorMapObject *map = GifMakeMapObject(256, colours);
    if (map == nullptr) {
        error = ENOMEM;
        return Failed;
    }
    GraphicsControlBlock control;
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = hundredths;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    bool put = EGifPutExtension(Gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK &&
               EGifPutImageDesc(Gif, 0, 0, int(Width), int(Height), false, map) == GIF_OK;
    for (uint32_t y = 0; put && y < Height; ++y) {
        put = EGifPutLine(Gif, Indexes.data() + size_t(y) * Width, int(Width)) == GIF_OK;
    }
    GifFreeMapObject(map);
    if (!put) {
        error = CauseOf();
        return Failed;
    }
    return Done;
}

MovieEncoder::Result GifEncoder::End(int &error) {
    error = 0;
    if (Gif == nullptr) {
        error = EINVAL;
        return Failed;
    }
    int code = 0;
    // Writes the trailer and frees the handle, whatever it answers.
    const bool closed = EGifCloseFile(Gif, &code) == GIF_OK;
    Gif = nullptr;
    Result result = Done;
    if (!closed || IoError != 0) {
        error = CauseOf();
        result = Failed;
    } else if (File.Commit() != AtomicFileWriter::Done) {
        error = File.LastErrno() != 0 ? File.LastErrno() : EIO;
        result = Failed;
    }
    Discard();
    return result;
}

void GifEncoder::Discard() {
    if (Gif != nullptr) {
        int code = 0;
        (void)EGifCloseFile(Gif, &code);
        Gif = nullptr;
    }
    File.Discard();
    IoError = 0;
}
