// GifEncoder: animated GIF through giflib. An 8-bit picture keeps its palette (the colour map):
// its colours are exact; a 24-bit picture is reduced to 256 colours by libimagequant, frame by
// frame. Owns the giflib handle, the temporary file and the conversion buffers.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "movie/MovieEncoder.h"
#include "toolkit/AtomicFileWriter.h"

struct GifFileType;

class GifEncoder : public MovieEncoder {
public:
    // The largest side the format holds.
    static constexpr uint32_t MaxSide = 65535;

    GifEncoder() = default;
    ~GifEncoder() override;
    GifEncoder(const GifEncoder &) = delete;
    GifEncoder &operator=(const GifEncoder &) = delete;

    [[nodiscard]] Result Begin(const char *path, uint32_t width, uint32_t height,
                               const MovieSettings &settings, int &error) override;
    [[nodiscard]] Result Add(const MovieFrame &frame, int &error) override;
    [[nodiscard]] Result End(int &error) override;
    void Discard() override;

private:
    using Palette = std::array<uint8_t, 256 * 3>;
    // Indexes and palette of a 24-bit frame, reduced: Done; Failed (ENOMEM) otherwise.
    Result Reduce(const MovieFrame &frame, Palette &palette, int &error);
    // Writes one frame of Indexes with palette, lasting hundredths: Done; Failed with the cause.
    Result PutFrame(const Palette &palette, int hundredths, int &error);
    // The cause of a giflib failure: the file's own when a write failed.
    int CauseOf() const;
    static int Output(GifFileType *gif, const uint8_t *bytes, int count);

    AtomicFileWriter File;
    GifFileType *Gif = nullptr;
    int IoError = 0;
    MovieSettings Settings;
    uint32_t Width = 0;
    uint32_t Height = 0;
    int64_t Index = 0;
    std::vector<uint8_t> Indexes;  // the frame's palette indexes, rows one after the other
    std::vector<uint8_t> Rgba;
};
