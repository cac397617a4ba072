#include "imageio/PngFile.h"

#include <spng.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "toolkit/AtomicFileWriter.h"

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
int EncodeRows(spng_ctx *ctx, const PngFile::Picture &picture, int level,
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
    // Filters only help a compressor; stored rows and palette indexes go unfiltered.
    const bool filter = level > 0 && !indexed;
    if (error == 0) error = spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, level);
    if (error == 0) {
        error = spng_set_option(ctx, SPNG_FILTER_CHOICE,
                                filter ? SPNG_FILTER_CHOICE_ALL : SPNG_FILTER_CHOICE_NONE);
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
int ReadFile(const char *path, bool toRgb, ReadHeader &header, std::vector<uint8_t> &rows,
             std::vector<uint8_t> &palette, int &error) {
    error = 0;
    header = ReadHeader{};
    FILE *file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        error = path != nullptr && errno != 0 ? errno : ENOENT;
        return PngFile::Failed;
    }
    spng_ctx *ctx = spng_ctx_new(0);
    const int fmt = toRgb ? SPNG_FMT_RGB8 : SPNG_FMT_PNG;
    spng_ihdr ihdr = {};
    size_t bytes = 0;
    int result = PngFile::Failed;
    if (ctx == nullptr) {
        error = ENOMEM;
    } else if (spng_set_png_file(ctx, file) != 0 || spng_get_ihdr(ctx, &ihdr) != 0 ||
               spng_decoded_image_size(ctx, fmt, &bytes) != 0) {
        error = EINVAL;
    } else if (uint64_t(bytes) > MaxReadBytes) {
        error = EFBIG;
    } else {
        rows.assign(bytes, 0);
        palette.clear();
        spng_plte plte = {};
        if (!toRgb && spng_get_plte(ctx, &plte) == 0) {
            for (uint32_t i = 0; i < plte.n_entries; ++i) {
                palette.insert(palette.end(),
                               {plte.entries[i].red, plte.entries[i].green, plte.entries[i].blue});
            }
        }
        if (spng_decode_image(ctx, rows.data(), rows.size(), fmt, 0) == 0) {
            header.Width = ihdr.width;
            header.Height = ihdr.height;
            header.BitDepth = ihdr.bit_depth;
            header.ColorType = ihdr.color_type;
            header.RowBytes = ihdr.height > 0 ? bytes / ihdr.height : 0;
            result = PngFile::Done;
        } else {
            error = EINVAL;
        }
    }
    spng_ctx_free(ctx);
    std::fclose(file);
    return result;
}

}  // namespace

namespace PngFile {

int Encode(const Picture &picture, int level, const Sink &sink, int &error) {
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
    if (failure == 0) failure = EncodeRows(ctx, picture, level, row);
    spng_ctx_free(ctx);
    if (failure != 0) {
        error = state.Error != 0 ? state.Error : failure == SPNG_EMEM ? ENOMEM : EINVAL;
        return Failed;
    }
    return Done;
}

int Write(const char *path, const Picture &picture, int level, int &error) {
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

int WriteIndexed(const char *path, uint32_t width, uint32_t height, const uint8_t *indexes,
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

int WriteRgb(const char *path, uint32_t width, uint32_t height, const uint8_t *rgb,
             size_t rowStride, int &error) {
    Picture picture;
    picture.Width = width;
    picture.Height = height;
    picture.Kind = Layout::Rgb8;
    picture.Pixels = rgb;
    picture.RowStride = rowStride;
    return Write(path, picture, DefaultCompression, error);
}

int WriteGray16(const char *path, uint32_t width, uint32_t height, const uint16_t *gray,
                size_t rowStride, int &error) {
    Picture picture;
    picture.Width = width;
    picture.Height = height;
    picture.Kind = Layout::Gray16;
    picture.Pixels = reinterpret_cast<const uint8_t *>(gray);
    picture.RowStride = rowStride;
    return Write(path, picture, DefaultCompression, error);
}

int ReadRgb(const char *path, uint32_t &width, uint32_t &height, std::vector<uint8_t> &rgb,
            int &error) {
    ReadHeader header{};
    std::vector<uint8_t> palette;
    if (ReadFile(path, true, header, rgb, palette, error) != Done) return Failed;
    width = header.Width;
    height = header.Height;
    return Done;
}

int CheckWhole(const char *path, uint32_t &width, uint32_t &height, int &error) {
    error = 0;
    width = height = 0;
    FILE *file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        error = path != nullptr && errno != 0 ? errno : ENOENT;
        return Failed;
    }
    spng_ctx *ctx = spng_ctx_new(0);
    spng_ihdr ihdr = {};
    size_t bytes = 0;
    int result = Failed;
    error = EINVAL;
    if (ctx == nullptr) {
        error = ENOMEM;
    } else if (spng_set_png_file(ctx, file) == 0 && spng_get_ihdr(ctx, &ihdr) == 0 &&
               spng_decoded_image_size(ctx, SPNG_FMT_PNG, &bytes) == 0 && ihdr.height > 0 &&
               spng_decode_image(ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_DECODE_PROGRESSIVE) == 0) {
        // Row by row through one line: every row decoded, then the chunks up to the end chunk.
        std::vector<uint8_t> row(bytes / ihdr.height);
        int status = 0;
        do {
            status = spng_decode_row(ctx, row.data(), row.size());
        } while (status == 0);
        // The decoder stops at the end chunk's type; its checksum, always the same, is the
        // file's last four bytes.
        static const uint8_t End[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
        uint8_t tail[12] = {};
        if (status == SPNG_EOI && spng_decode_chunks(ctx) == 0 &&
            std::fseek(file, -long(sizeof tail), SEEK_END) == 0 &&
            std::fread(tail, 1, sizeof tail, file) == sizeof tail &&
            std::memcmp(tail, End, sizeof tail) == 0) {
            width = ihdr.width;
            height = ihdr.height;
            error = 0;
            result = Done;
        }
    }
    spng_ctx_free(ctx);
    std::fclose(file);
    return result;
}

int ReadRaw(const char *path, RawImage &image, int &error) {
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
