// PngFile: writes and reads PNG pictures for the programs, above the core (which stays free of the
// PNG library). Rows are top-down; every writer goes through AtomicFileWriter, so the target is
// replaced in one step or left as it was. Results Failed / Done; error: an errno cause.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace PngFile {
// What the operations answer.
enum class Result { Failed = 0, Done = 1 };
constexpr Result Failed = Result::Failed;
constexpr Result Done = Result::Done;

// zlib level of the writers, chosen by measurement on the gallery's pictures and maps (see
// bench/README.md): level 1 takes the files to about half their stored size (a fifth for
// normal maps) at a third of the time of level 6, which saves 7 to 11 % more. The levels run
// from 0 (stored blocks) to MaxCompression.
constexpr int DefaultCompression = 1;
constexpr int MaxCompression = 9;

// Largest side the readers take, as for the BMP and TGA pictures a sweep reads; a larger
// header is refused with EFBIG before anything is allocated for it.
constexpr uint32_t MaxReadSide = 20000;

// Colour types of the PNG format, as ReadRaw reports them.
constexpr int ColorGray = 0;
constexpr int ColorRgb = 2;
constexpr int ColorIndexed = 3;

// Where an encoder puts its bytes: Write returns 0, or an errno cause that stops the encoding.
struct Sink {
    void *Context = nullptr;
    int (*Write)(void *context, const uint8_t *bytes, size_t count) = nullptr;
};

// How the pixels handed to an encoder are laid out.
enum class Layout {
    Indexed8,  // one palette index a pixel
    Rgb8,      // red, green, blue
    Bgr8,      // blue, green, red (the order of the core's true-colour pictures)
    Gray16,    // one uint16_t a pixel, host byte order
};

// A picture to encode: rowStride in bytes between the starts of two rows. The palette (Indexed8
// only) holds paletteSize red-green-blue triples, 1 .. 256.
struct Picture {
    uint32_t Width = 0;
    uint32_t Height = 0;
    Layout Kind = Layout::Rgb8;
    const uint8_t *Pixels = nullptr;
    size_t RowStride = 0;
    const uint8_t (*Palette)[3] = nullptr;
    int PaletteSize = 0;
};

// The row filters an encoder applies before deflate: the writers' rule (Chosen: see
// ChosenFilters), none, Paeth on every row, or libspng's choice among all five for each row.
enum class Filters { Chosen, None, Paeth, All };
// The writers' rule, by measurement on the gallery (bench/README.md): no filter at level 0,
// where the rows are stored as they are; Paeth otherwise, palette indexes included (the colour
// maps are ramps, so neighbouring indexes are near colours): as small as trying all five, at
// two thirds of the time.
Filters ChosenFilters(int level, Layout kind);

// Encodes picture through sink at zlib level 0 .. 9: Done; Failed with error EINVAL for a picture
// without pixels, sizes beyond the format or a bad palette, ENOMEM, or the sink's cause.
[[nodiscard]] Result Encode(const Picture &picture, int level, const Sink &sink, int &error,
                            Filters filters = Filters::Chosen);
// Encodes picture into the file at path through the atomic writer: Done; Failed with the cause.
[[nodiscard]] Result Write(const char *path, const Picture &picture, int level, int &error);

[[nodiscard]] Result WriteIndexed(const char *path, uint32_t width, uint32_t height,
                                  const uint8_t *indexes, size_t rowStride,
                                  const uint8_t (*paletteRgb)[3], int paletteSize, int &error);
[[nodiscard]] Result WriteRgb(const char *path, uint32_t width, uint32_t height, const uint8_t *rgb,
                              size_t rowStride, int &error);
[[nodiscard]] Result WriteGray16(const char *path, uint32_t width, uint32_t height,
                                 const uint16_t *gray, size_t rowStride, int &error);

// Reads any PNG (paletted, gray, RGB, with or without alpha, 8 or 16 bits) as 8-bit RGB rows,
// width * 3 bytes each, alpha dropped: Done; Failed with ENOENT-like causes, FileFault::NotRegular
// for a FIFO, device or folder (never waited on), EFBIG for a side beyond MaxReadSide or a header
// promising more pixels than the file's bytes can unpack to (checked before allocating), or
// EINVAL for a file that is no valid PNG.
[[nodiscard]] Result ReadRgb(const char *path, uint32_t &width, uint32_t &height,
                             std::vector<uint8_t> &rgb, int &error);

// Whether the file at path is a whole PNG: every row decodes (checksums included) and the chunks
// after the pixels run to the end chunk; one row at a time, without keeping the picture. Done
// with its size; Failed with EINVAL for a file cut short or damaged (EFBIG for one cut far
// short: its header promises more than its bytes hold), or the cause it could not be read.
[[nodiscard]] Result CheckWhole(const char *path, uint32_t &width, uint32_t &height, int &error);

// What a reader sees of a PNG file without converting it, for the tests: bit depth, colour
// type (Color*), palette (RGB triples) and the raw rows (indexes, samples; 16-bit
// samples as host-order uint16_t bytes).
struct RawImage {
    uint32_t Width = 0;
    uint32_t Height = 0;
    int BitDepth = 0;
    int ColorType = 0;
    std::vector<uint8_t> Palette;
    std::vector<uint8_t> Rows;
    size_t RowBytes = 0;
};
[[nodiscard]] Result ReadRaw(const char *path, RawImage &image, int &error);
}  // namespace PngFile
