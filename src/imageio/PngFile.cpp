#include "imageio/PngFile.h"

#include <spng.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"

namespace {

// A picture of more bytes than this is not read (the contact sheet and the tests read
// pictures this program writes, 16384 x 16384 at most).
constexpr uint64_t MaxReadBytes = uint64_t(1) << 30;

struct WriteState {
    const PngFile::Sink *Target;
    int Error;
};

int OnWrite(spng_ctx * /*ctx*/, void *user, void *bytes, size_t length) {
    auto *state = static_cast<WriteState *>(user);
    const int cause =
        state->Target->Write(state->Target->Context, static_cast<const uint8_t *>(bytes), length);
    if (cause != 0) {
        state->Error = cause;
        return SPNG_IO_ERROR;
    }
    return 0;
}

size_t BytesPerPixel(PngFile::Layout kind) {
    return kind == PngFile::Layout::Indexed8 ? 1 : kind == PngFile::Layout::Gray16 ? 2 : 3;
}

bool IsValid(const PngFile::Picture &picture) {
    if (picture.Pixels == nullptr || picture.Width == 0 || picture.Height == 0) return false;
    if (picture.Width > 0x7FFFFFFFu || picture.Height > 0x7FFFFFFFu) return false;
    if (picture.RowStride < size_t(picture.Width) * BytesPerPixel(picture.Kind)) return false;
    if (picture.Kind == PngFile::Layout::Indexed8) {
        if (picture.Palette == nullptr || picture.PaletteSize < 1 || picture.PaletteSize > 256) {
            return false;
        }
    }
    return true;
}

// Header, palette and rows through ctx, row by row (the rows need not be contiguous; BGR rows
// are turned into RGB in row first): 0, or libspng's error.
int EncodeRows(spng_ctx *ctx, const PngFile::Picture &picture, int level, PngFile::Filters filters,
               std::vector<uint8_t> &row) {
    const bool indexed = picture.Kind == PngFile::Layout::Indexed8;
    spng_ihdr header = {};
    header.width = picture.Width;
    header.height = picture.Height;
    header.bit_depth = picture.Kind == PngFile::Layout::Gray16 ? 16 : 8;
    header.color_type = indexed                                   ? SPNG_COLOR_TYPE_INDEXED
                        : picture.Kind == PngFile::Layout::Gray16 ? SPNG_COLOR_TYPE_GRAYSCALE
                                                                  : SPNG_COLOR_TYPE_TRUECOLOR;
    int error = spng_set_ihdr(ctx, &header);
    if (error == 0 && indexed) {
        spng_plte palette = {};
        palette.n_entries = uint32_t(picture.PaletteSize);
        for (int i = 0; i < picture.PaletteSize; ++i) {
            palette.entries[i].red = picture.Palette[i][0];
            palette.entries[i].green = picture.Palette[i][1];
            palette.entries[i].blue = picture.Palette[i][2];
        }
        error = spng_set_plte(ctx, &palette);
    }
    if (filters == PngFile::Filters::Chosen) filters = PngFile::ChosenFilters(level, picture.Kind);
    const int choice = filters == PngFile::Filters::All     ? SPNG_FILTER_CHOICE_ALL
                       : filters == PngFile::Filters::Paeth ? SPNG_FILTER_CHOICE_PAETH
                                                            : SPNG_FILTER_CHOICE_NONE;
    if (error == 0) error = spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, level);
    if (error == 0) {
        error = spng_set_option(ctx, SPNG_FILTER_CHOICE, choice);
    }
    // SPNG_FMT_PNG takes 16-bit samples in host order.
    if (error == 0) {
        error = spng_encode_image(ctx, nullptr, 0, SPNG_FMT_PNG,
                                  SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
    }
    const size_t rowBytes = size_t(picture.Width) * BytesPerPixel(picture.Kind);
    if (picture.Kind == PngFile::Layout::Bgr8) row.resize(rowBytes);
    for (uint32_t y = 0; y < picture.Height && error == 0; ++y) {
        const uint8_t *from = picture.Pixels + size_t(y) * picture.RowStride;
        if (picture.Kind == PngFile::Layout::Bgr8) {
            for (size_t i = 0; i < rowBytes; i += 3) {
                row[i] = from[i + 2];
                row[i + 1] = from[i + 1];
                row[i + 2] = from[i];
            }
            from = row.data();
        }
        error = spng_encode_row(ctx, from, rowBytes);
        // The last row ends the image.
        if (error == SPNG_EOI && y + 1 == picture.Height) error = 0;
    }
    return error;
}

struct FileSinkState {
    AtomicFileWriter *Writer;
};

int WriteToFile(void *context, const uint8_t *bytes, size_t count) {
    auto *writer = static_cast<FileSinkState *>(context)->Writer;
    if (writer->Write(reinterpret_cast<const char *>(bytes), count) != AtomicFileWriter::Done) {
        return writer->LastErrno() != 0 ? writer->LastErrno() : EIO;
    }
    return 0;
}

struct ReadHeader {
    uint32_t Width = 0;
    uint32_t Height = 0;
    int BitDepth = 0;
    int ColorType = 0;
    size_t RowBytes = 0;
};

// Decodes the file at path into rows: 8-bit RGB with toRgb (alpha dropped), otherwise as stored
// (16-bit samples in host order) with the palette. Done; Failed with an errno-like cause.
// A PNG being read: the file opened as a regular file (a FIFO or a device is refused, never
// waited on or read without end) and the decoder on it, its header read and checked against the
// limits before anything is allocated for its pixels.
class PngSource {
public:
    ~PngSource() {
        if (Context != nullptr) spng_ctx_free(Context);
        if (File != nullptr) std::fclose(File);
    }
    // Opens path and reads its header: true; false with error (ENOENT-like, NotRegular, EINVAL
    // for no PNG, EFBIG for sides beyond MaxReadSide or more pixel bytes than the file's
    // compressed stream can hold).
    bool Open(const char *path, int &error) {
        FileFault fault;
        const int descriptor = OpenRegularFile(path, fault);
        if (descriptor < 0) {
            error = fault.Error;
            return false;
        }
        struct stat status = {};
        (void)fstat(descriptor, &status);
        File = fdopen(descriptor, "rb");
        if (File == nullptr) {
            error = errno;
            close(descriptor);
            return false;
        }
        Context = spng_ctx_new(0);
        if (Context == nullptr) {
            error = ENOMEM;
            return false;
        }
        size_t raw = 0;
        if (spng_set_image_limits(Context, PngFile::MaxReadSide, PngFile::MaxReadSide) != 0 ||
            spng_set_png_file(Context, File) != 0) {
            error = EINVAL;
            return false;
        }
        const int header = spng_get_ihdr(Context, &Header);
        if (header == SPNG_EUSER_WIDTH || header == SPNG_EUSER_HEIGHT) {
            error = EFBIG;
            return false;
        }
        if (header != 0 || spng_decoded_image_size(Context, SPNG_FMT_PNG, &raw) != 0) {
            error = EINVAL;
            return false;
        }
        // Deflate packs at most 1032 bytes into one: a header that promises more pixel bytes
        // than the whole file could unpack to is a bomb or a cut file, refused before any
        // allocation (a 68-byte file must not cost a gigabyte).
        if (uint64_t(raw) > MaxDeflateRatio * uint64_t(status.st_size) + 4096) {
            error = EFBIG;
            return false;
        }
        return true;
    }
    spng_ctx *Context = nullptr;
    FILE *File = nullptr;
    spng_ihdr Header = {};

private:
    static constexpr uint64_t MaxDeflateRatio = 1032;
};

PngFile::Result ReadFile(const char *path, bool toRgb, ReadHeader &header,
                         std::vector<uint8_t> &rows, std::vector<uint8_t> &palette, int &error) {
    error = 0;
    header = ReadHeader{};
    PngSource source;
    if (!source.Open(path, error)) return PngFile::Failed;
    spng_ctx *ctx = source.Context;
    const spng_ihdr &ihdr = source.Header;
    const int fmt = toRgb ? SPNG_FMT_RGB8 : SPNG_FMT_PNG;
    size_t bytes = 0;
    if (spng_decoded_image_size(ctx, fmt, &bytes) != 0) {
        error = EINVAL;
        return PngFile::Failed;
    }
    if (uint64_t(bytes) > MaxReadBytes) {
        error = EFBIG;
        return PngFile::Failed;
    }
    rows.assign(bytes, 0);
    palette.clear();
    spng_plte plte = {};
    if (!toRgb && spng_get_plte(ctx, &plte) == 0) {
        for (uint32_t i = 0; i < plte.n_entries; ++i) {
            palette.insert(palette.end(),
                           {plte.entries[i].red, plte.entries[i].green, plte.entries[i].blue});
        }
    }
    if (spng_decode_image(ctx, rows.data(), rows.size(), fmt, 0) != 0) {
        error = EINVAL;
        return PngFile::Failed;
    }
    header.Width = ihdr.width;
    header.Height = ihdr.height;
    header.BitDepth = ihdr.bit_depth;
    header.ColorType = ihdr.color_type;
    header.RowBytes = ihdr.height > 0 ? bytes / ihdr.height : 0;
    return PngFile::Done;
}

}  // namespace

namespace PngFile {

Filters ChosenFilters(int level, Layout kind) {
    // Filters only help a compressor: stored rows go unfiltered, as earlier versions wrote them.
    (void)kind;
    return level > 0 ? Filters::Paeth : Filters::None;
}

Result Encode(const Picture &picture, int level, const Sink &sink, int &error, Filters filters) {
    error = 0;
    if (!IsValid(picture) || sink.Write == nullptr || level < 0 || level > 9) {
        error = EINVAL;
        return Failed;
    }
    spng_ctx *ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    if (ctx == nullptr) {
        error = ENOMEM;
        return Failed;
    }
    WriteState state{&sink, 0};
    std::vector<uint8_t> row;
    int failure = spng_set_png_stream(ctx, OnWrite, &state);
    if (failure == 0) failure = EncodeRows(ctx, picture, level, filters, row);
    spng_ctx_free(ctx);
    if (failure != 0) {
        error = state.Error != 0 ? state.Error : failure == SPNG_EMEM ? ENOMEM : EINVAL;
        return Failed;
    }
    return Done;
}

Result Write(const char *path, const Picture &picture, int level, int &error) {
    error = 0;
    if (path == nullptr || path[0] == '\0' || !IsValid(picture)) {
        error = EINVAL;
        return Failed;
    }
    AtomicFileWriter writer;
    if (writer.Open(path) != AtomicFileWriter::Done) {
        error = writer.LastErrno() != 0 ? writer.LastErrno() : EIO;
        return Failed;
    }
    FileSinkState state{&writer};
    Sink sink;
    sink.Context = &state;
    sink.Write = WriteToFile;
    if (Encode(picture, level, sink, error) != Done) {
        writer.Discard();
        return Failed;
    }
    if (writer.Commit() != AtomicFileWriter::Done) {
        error = writer.LastErrno() != 0 ? writer.LastErrno() : EIO;
        return Failed;
    }
    return Done;
}

Result WriteIndexed(const char *path, uint32_t width, uint32_t height, const uint8_t *indexes,
                    size_t rowStride, const uint8_t (*paletteRgb)[3], int paletteSize, int &error) {
    Picture picture;
    picture.Width = width;
    picture.Height = height;
    picture.Kind = Layout::Indexed8;
    picture.Pixels = indexes;
    picture.RowStride = rowStride;
    picture.Palette = paletteRgb;
    picture.PaletteSize = paletteSize;
    return Write(path, picture, DefaultCompression, error);
}

Result WriteRgb(const char *path, uint32_t width, uint32_t height, const uint8_t *rgb,
                size_t rowStride, int &error) {
    Picture picture;
    picture.Width = width;
    picture.Height = height;
    picture.Kind = Layout::Rgb8;
    picture.Pixels = rgb;
    picture.RowStride = rowStride;
    return Write(path, picture, DefaultCompression, error);
}

Result WriteGray16(const char *path, uint32_t width, uint32_t height, const uint16_t *gray,
                   size_t rowStride, int &error) {
    Picture picture;
    picture.Width = width;
    picture.Height = height;
    picture.Kind = Layout::Gray16;
    picture.Pixels = reinterpret_cast<const uint8_t *>(gray);
    picture.RowStride = rowStride;
    return Write(path, picture, DefaultCompression, error);
}

Result ReadRgb(const char *path, uint32_t &width, uint32_t &height, std::vector<uint8_t> &rgb,
               int &error) {
    ReadHeader header{};
    std::vector<uint8_t> palette;
    if (ReadFile(path, true, header, rgb, palette, error) != Done) return Failed;
    width = header.Width;
    height = header.Height;
    return Done;
}

Result CheckWhole(const char *path, uint32_t &width, uint32_t &height, int &error) {
    error = 0;
    width = height = 0;
    PngSource source;
    if (!source.Open(path, error)) return Failed;
    spng_ctx *ctx = source.Context;
    const spng_ihdr &ihdr = source.Header;
    size_t bytes = 0;
    error = EINVAL;
    if (spng_decoded_image_size(ctx, SPNG_FMT_PNG, &bytes) != 0 || ihdr.height == 0 ||
        spng_decode_image(ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_DECODE_PROGRESSIVE) != 0) {
        return Failed;
    }
    // Row by row through one line: every row decoded, then the chunks up to the end chunk.
    std::vector<uint8_t> row(bytes / ihdr.height);
    int status = 0;
    do {
        status = spng_decode_row(ctx, row.data(), row.size());
    } while (status == 0);
    // The decoder stops at the end chunk's type; its checksum, always the same, is the file's
    // last four bytes.
    static const uint8_t End[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    uint8_t tail[12] = {};
    if (status != SPNG_EOI || spng_decode_chunks(ctx) != 0 ||
        std::fseek(source.File, -long(sizeof tail), SEEK_END) != 0 ||
        std::fread(tail, 1, sizeof tail, source.File) != sizeof tail ||
        std::memcmp(tail, End, sizeof tail) != 0) {
        return Failed;
    }
    width = ihdr.width;
    height = ihdr.height;
    error = 0;
    return Done;
}

Result ReadRaw(const char *path, RawImage &image, int &error) {
    ReadHeader header{};
    if (ReadFile(path, false, header, image.Rows, image.Palette, error) != Done) return Failed;
    image.Width = header.Width;
    image.Height = header.Height;
    image.BitDepth = header.BitDepth;
    image.ColorType = header.ColorType;
    image.RowBytes = header.RowBytes;
    return Done;
}

}  // namespace PngFile
