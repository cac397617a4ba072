#include "movie/MovieRecorder.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

// What a queued frame is made of: its pixels and palette, which the run overwrites as it goes on.
struct MovieRecorder::Copy {
    MovieFrame Frame;
    std::vector<uint8_t> Pixels;
    uint8_t Palette[256][3] = {};
};

MovieRecorder::MovieRecorder(std::string path, const MovieSettings &settings)
    : FilePath(std::move(path)),
      Settings(settings),
      Kind(MovieEncoder::FormatOf(FilePath)),
      Encoder(MovieEncoder::Make(Kind)),
      Thread(new (std::nothrow) WriterThread(QueueBound)) {
    if (Encoder == nullptr || Thread == nullptr) {
        Cause = Kind == MovieEncoder::Format::None ? EINVAL : ENOMEM;
    }
}

MovieRecorder::~MovieRecorder() { Discard(); }

MovieEncoder::Result MovieRecorder::Add(const MovieFrame &frame) {
    if (Finished || Cause.load() != 0) return MovieEncoder::Failed;
    // A picture the format cannot hold is refused before it is copied: at the largest upscaled
    // sizes a copy is hundreds of MB.
    const uint32_t most = MovieEncoder::MaxSideOf(Kind);
    if (frame.Width == 0 || frame.Height == 0 || frame.Width > most || frame.Height > most) {
        Cause = EFBIG;
        return MovieEncoder::Failed;
    }
    const size_t row = size_t(frame.Width) * (frame.Kind == MovieFrame::Layout::Bgr8 ? 3 : 1);
    std::shared_ptr<Copy> copy;
    try {
        copy = std::make_shared<Copy>();
        copy->Pixels.resize(row * frame.Height);
    } catch (const std::bad_alloc &) {
        Cause = ENOMEM;
        return MovieEncoder::Failed;
    }
    for (uint32_t y = 0; y < frame.Height; ++y) {
        std::memcpy(copy->Pixels.data() + y * row, frame.Pixels + y * frame.RowStride, row);
    }
    copy->Frame = frame;
    copy->Frame.Pixels = copy->Pixels.data();
    copy->Frame.RowStride = row;
    if (frame.Kind == MovieFrame::Layout::Indexed8) {
        const int count = frame.PaletteSize < 256 ? frame.PaletteSize : 256;
        if (count > 0) std::memcpy(copy->Palette, frame.Palette, size_t(count) * 3);
        copy->Frame.Palette = copy->Palette;
    }
    const bool first = !Begun;
    Begun = true;
    Thread->Push([this, copy, first] {
        if (Cause.load() != 0) return;
        int error = 0;
        if (first && Encoder->Begin(FilePath.c_str(), copy->Frame.Width, copy->Frame.Height,
                                    Settings, error) != MovieEncoder::Done) {
            Cause = error != 0 ? error : EIO;
            return;
        }
        if (Encoder->Add(copy->Frame, error) != MovieEncoder::Done) {
            Cause = error != 0 ? error : EIO;
            Encoder->Discard();
            return;
        }
        ++Encoded;
    });
    return MovieEncoder::Done;
}

MovieEncoder::Result MovieRecorder::Finish() {
    if (Finished) return Cause.load() == 0 ? MovieEncoder::Done : MovieEncoder::Failed;
    Finished = true;
    if (Thread != nullptr) Thread->Wait();
    if (Cause.load() == 0 && !Begun) Cause = ENODATA;
    if (Cause.load() != 0) {
        if (Encoder != nullptr) Encoder->Discard();
        return MovieEncoder::Failed;
    }
    int error = 0;
    if (Encoder->End(error) != MovieEncoder::Done) {
        Cause = error != 0 ? error : EIO;
        return MovieEncoder::Failed;
    }
    return MovieEncoder::Done;
}

void MovieRecorder::Discard() {
    // The frames still queued are skipped.
    if (!Finished && Cause.load() == 0) Cause = ECANCELED;
    if (Thread != nullptr) Thread->Wait();
    if (Encoder != nullptr && !Finished) Encoder->Discard();
    Finished = true;
}
