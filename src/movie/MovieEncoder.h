// MovieEncoder: what every movie format offers the programs (one frame after the other into a
// file named at Begin, committed at End), and which format a file name asks for. Owns nothing;
// each format's class owns its library state and its temporary file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One picture to add: indexed pixels with their palette (an 8-bit image and its colour map), or
// blue-green-red bytes (a 24-bit image). The encoders copy what they keep.
struct MovieFrame {
    enum class Layout { Indexed8, Bgr8 };
    uint32_t Width = 0;
    uint32_t Height = 0;
    Layout Kind = Layout::Bgr8;
    const uint8_t *Pixels = nullptr;
    size_t RowStride = 0;                   // bytes from one row to the next
    const uint8_t (*Palette)[3] = nullptr;  // red, green, blue; Indexed8 only
    int PaletteSize = 0;                    // 1 .. 256 entries
};

// How a movie is made: its rate and, for the lossy formats, its quality.
struct MovieSettings {
    static constexpr double MinFps = 0.1;
    static constexpr double MaxFps = 120.0;
    double Fps = 30.0;
    // 1 .. 100, higher is better; 0: each format's default (H.264 at CRF 18, WebP lossless,
    // GIF 24-bit frames reduced at the quantizer's best).
    int Quality = 0;
};

class MovieEncoder {
public:
    // What the operations answer; a failure leaves an errno-like cause (EIO when the library
    // gave none, EINVAL for a frame unlike the first, EFBIG for sides the format cannot hold).
    enum class Result { Failed = 0, Done = 1 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    enum class Format { None, Mp4, Webp, Gif };

    virtual ~MovieEncoder() = default;

    // Opens a temporary file beside path for a movie of width x height pixels: Done; Failed with
    // the cause.
    [[nodiscard]] virtual Result Begin(const char *path, uint32_t width, uint32_t height,
                                       const MovieSettings &settings, int &error) = 0;
    // Encodes the next frame, of the size given to Begin: Done; Failed with the cause.
    [[nodiscard]] virtual Result Add(const MovieFrame &frame, int &error) = 0;
    // Writes what is left and renames the file into place: Done; Failed with the cause, the
    // temporary file removed. The encoder can Begin again afterwards.
    [[nodiscard]] virtual Result End(int &error) = 0;
    // Drops the movie begun: the temporary file is removed, the target left as it was.
    virtual void Discard() = 0;

    // The format of a file name by its extension, any case: .mp4, .webp, .gif; None otherwise.
    static Format FormatOf(const std::string &path);
    // The extension word of a format: "mp4", "webp", "gif" ("" for None).
    static const char *FormatName(Format format);
    // The longest side a format holds (0 for None).
    static uint32_t MaxSideOf(Format format);
    // A new encoder for format; null for None or when memory is short.
    static std::unique_ptr<MovieEncoder> Make(Format format);
    // Frame k's start in units of 1/scale second at fps frames a second, rounded: the formats
    // that count milliseconds (WebP) or hundredths (GIF) keep the rate on average.
    static int64_t FrameStart(int64_t k, double fps, int scale);
    // The frame's pixels as red, green, blue (and alpha 255 when alpha), rows of width pixels
    // one after the other, into out (resized).
    static void ToRgb(const MovieFrame &frame, bool alpha, std::vector<uint8_t> &out);
};
