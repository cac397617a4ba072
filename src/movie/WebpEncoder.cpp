#include "movie/WebpEncoder.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <cerrno>

#include "toolkit/AtomicFileWriter.h"

namespace {

constexpr int Milliseconds = 1000;

}  // namespace

WebpEncoder::~WebpEncoder() { Discard(); }

MovieEncoder::Result WebpEncoder::Begin(const char *path, uint32_t width, uint32_t height,
                                        const MovieSettings &settings, int &error) {
    Discard();
    error = 0;
    if (width == 0 || height == 0 || width > MaxSide || height > MaxSide) {
        error = EFBIG;
        return Failed;
    }
    // The folder is tried now, so that an unwritable one fails before the run and not after.
    AtomicFileWriter probe;
    if (probe.Open(path) != AtomicFileWriter::Done) {
        error = probe.LastErrno() != 0 ? probe.LastErrno() : EIO;
        return Failed;
    }
    probe.Discard();
    WebPAnimEncoderOptions options;
    if (!WebPAnimEncoderOptionsInit(&options)) {
        error = ENOTSUP;
        return Failed;
    }
    options.anim_params.loop_count = 0;  // loops for ever
    options.allow_mixed = 0;
    Encoder = WebPAnimEncoderNew(int(width), int(height), &options);
    if (Encoder == nullptr) {
        error = ENOMEM;
        return Failed;
    }
    Path = path;
    Settings = settings;
    Width = width;
    Height = height;
    Index = 0;
    return Done;
}

MovieEncoder::Result WebpEncoder::Add(const MovieFrame &frame, int &error) {
    error = 0;
    if (Encoder == nullptr || frame.Width != Width || frame.Height != Height) {
        error = EINVAL;
        return Failed;
    }
    WebPConfig config;
    if (!WebPConfigInit(&config)) {
        error = ENOTSUP;
        return Failed;
    }
    if (Settings.Quality > 0) {
        config.lossless = 0;
        config.quality = float(Settings.Quality);
    } else {
        config.lossless = 1;
        // Lossless effort: a middle one, as fast as the run's frames come.
        config.quality = 25.0f;
        config.method = 2;
    }
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) {
        error = ENOTSUP;
        return Failed;
    }
    picture.use_argb = 1;
    picture.width = int(Width);
    picture.height = int(Height);
    ToRgb(frame, true, Rgba);
    bool added = WebPPictureImportRGBA(&picture, Rgba.data(), int(Width) * 4) != 0;
    added = added &&
            WebPAnimEncoderAdd(Encoder, &picture,
                               int(FrameStart(Index, Settings.Fps, Milliseconds)), &config) != 0;
    WebPPictureFree(&picture);
    if (!added) {
        error = ENOMEM;
        return Failed;
    }
    ++Index;
    return Done;
}

MovieEncoder::Result WebpEncoder::End(int &error) {
    error = 0;
    if (Encoder == nullptr) {
        error = EINVAL;
        return Failed;
    }
    // The end's time stamp gives the last frame its duration.
    WebPData data;
    WebPDataInit(&data);
    bool made =
        WebPAnimEncoderAdd(Encoder, nullptr, int(FrameStart(Index, Settings.Fps, Milliseconds)),
                           nullptr) != 0 &&
        WebPAnimEncoderAssemble(Encoder, &data) != 0;
    Result result = Done;
    if (!made) {
        error = ENOMEM;
        result = Failed;
    } else if (AtomicFileWriter::WriteWhole(Path.c_str(),
                                            reinterpret_cast<const char *>(data.bytes), data.size,
                                            error) != AtomicFileWriter::Done) {
        if (error == 0) error = EIO;
        result = Failed;
    }
    WebPDataClear(&data);
    Discard();
    return result;
}

void WebpEncoder::Discard() {
    if (Encoder != nullptr) WebPAnimEncoderDelete(Encoder);
    Encoder = nullptr;
    Rgba.clear();
}
