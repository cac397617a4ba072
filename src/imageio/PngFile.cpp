#include "imageio/PngFile.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "toolkit/AtomicFileWriter.h"

// libpng reports errors by longjmp. The functions that call setjmp below hold only plain data,
// so that no destructor is skipped; containers are sized by their callers between the steps.

namespace {

// A picture of more bytes than this is not read (the contact sheet and the tests read
// pictures this program writes, 8192 x 8192 at most).
constexpr uint64_t MaxReadBytes = uint64_t(1) << 30;

struct WriteState {
    const PngFile::Sink *Target;
    int Error;
};

void OnError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }
void OnWarning(png_structp /*png*/, png_const_charp /*message*/) {}

void OnWrite(png_structp png, png_bytep data, size_t length) {
    auto *state = static_cast<WriteState *>(png_get_io_ptr(png));
    const int cause = state->Target->Write(state->Target->Context, data, length);
    if (cause != 0) {
        state->Error = cause;
        png_error(png, "write failed");
    }
}

void OnFlush(png_structp /*png*/) {}

bool IsValid(const PngFile::Picture &picture) {
    if (picture.Pixels == nullptr || picture.Width == 0 || picture.Height == 0) return false;
    if (picture.Width > PNG_UINT_31_MAX || picture.Height > PNG_UINT_31_MAX) return false;
    const size_t bytesPerPixel = picture.Kind == PngFile::Layout::Indexed8 ? 1
                                 : picture.Kind == PngFile::Layout::Gray16 ? 2
                                                                           : 3;
    if (picture.RowStride < size_t(picture.Width) * bytesPerPixel) return false;
    if (picture.Kind == PngFile::Layout::Indexed8) {
        if (picture.Palette == nullptr || picture.PaletteSize < 1 || picture.PaletteSize > 256) {
            return false;
        }
    }
    return true;
}

// Writes the header, rows and end through png; false when libpng failed (state.Error set by
// the sink, or left 0 for libpng's own failures).
bool EncodeRows(png_structp png, png_infop info, const PngFile::Picture &picture, int level,
                WriteState &state) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &state, OnWrite, OnFlush);
    png_set_compression_level(png, level);
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    switch (picture.Kind) {
        case PngFile::Layout::Indexed8:
            colorType = PNG_COLOR_TYPE_PALETTE;
            break;
        case PngFile::Layout::Gray16:
            colorType = PNG_COLOR_TYPE_GRAY;
            bitDepth = 16;
            break;
        case PngFile::Layout::Rgb8:
        case PngFile::Layout::Bgr8:
            break;
    }
    // Paletted rows do not gain from filters; for the others the Sub filter alone keeps most of
    // the adaptive choice's size at a fraction of its time.
    png_set_filter(png, PNG_FILTER_TYPE_BASE,
                   colorType == PNG_COLOR_TYPE_PALETTE ? PNG_FILTER_NONE : PNG_FILTER_SUB);
    png_set_IHDR(png, info, picture.Width, picture.Height, bitDepth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_color palette[256];
        for (int i = 0; i < picture.PaletteSize; ++i) {
            palette[i].red = picture.Palette[i][0];
            palette[i].green = picture.Palette[i][1];
            palette[i].blue = picture.Palette[i][2];
        }
        png_set_PLTE(png, info, palette, picture.PaletteSize);
    }
    png_write_info(png, info);
    if (picture.Kind == PngFile::Layout::Bgr8) png_set_bgr(png);
    // PNG samples are big-endian; the rows hold host-order uint16_t.
    const uint16_t probe = 1;
    if (picture.Kind == PngFile::Layout::Gray16 &&
        *reinterpret_cast<const uint8_t *>(&probe) == 1) {
        png_set_swap(png);
    }
    for (uint32_t y = 0; y < picture.Height; ++y) {
        png_write_row(png, picture.Pixels + size_t(y) * picture.RowStride);
    }
    png_write_end(png, info);
    return true;
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
    uint32_t Width;
    uint32_t Height;
    int BitDepth;
    int ColorType;
    size_t RowBytes;
};

// Reads the header of the file opened in png; with toRgb the rows are set to come out as 8-bit
// RGB, otherwise as stored (16-bit samples in host order). false when it is no valid PNG.
bool ReadInfo(png_structp png, png_infop info, FILE *file, bool toRgb, ReadHeader &header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_info(png, info);
    header.BitDepth = png_get_bit_depth(png, info);
    header.ColorType = png_get_color_type(png, info);
    if (toRgb) {
        png_set_expand(png);  // palette to RGB, low gray depths to 8 bits, tRNS to alpha
        png_set_strip_16(png);
        png_set_strip_alpha(png);
        png_set_gray_to_rgb(png);
    } else {
        const uint16_t probe = 1;
        if (header.BitDepth == 16 && *reinterpret_cast<const uint8_t *>(&probe) == 1) {
            png_set_swap(png);
        }
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    header.Width = png_get_image_width(png, info);
    header.Height = png_get_image_height(png, info);
    header.RowBytes = png_get_rowbytes(png, info);
    return true;
}

bool ReadRows(png_structp png, png_infop info, png_bytep *rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

// Reads path into rows (RowBytes each, top-down) through libpng; header describes them.
int ReadFile(const char *path, bool toRgb, ReadHeader &header, std::vector<uint8_t> &rows,
             std::vector<uint8_t> &palette, int &error) {
    error = 0;
    FILE *file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        error = path != nullptr && errno != 0 ? errno : ENOENT;
        return PngFile::Failed;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    int result = PngFile::Failed;
    header = ReadHeader{};
    if (info == nullptr) {
        error = ENOMEM;
    } else if (!ReadInfo(png, info, file, toRgb, header)) {
        error = EINVAL;
    } else if (uint64_t(header.RowBytes) * header.Height > MaxReadBytes) {
        error = EFBIG;
    } else {
        rows.assign(header.RowBytes * header.Height, 0);
        std::vector<png_bytep> pointers(header.Height);
        for (uint32_t y = 0; y < header.Height; ++y) {
            pointers[y] = rows.data() + size_t(y) * header.RowBytes;
        }
        palette.clear();
        png_colorp entries = nullptr;
        int count = 0;
        if (!toRgb && png_get_PLTE(png, info, &entries, &count) != 0) {
            for (int i = 0; i < count; ++i) {
                palette.insert(palette.end(), {entries[i].red, entries[i].green, entries[i].blue});
            }
        }
        if (ReadRows(png, info, pointers.data())) {
            result = PngFile::Done;
        } else {
            error = EINVAL;
        }
    }
    png_destroy_read_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr,
                            nullptr);
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
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    WriteState state{&sink, 0};
    int result = Failed;
    if (info == nullptr) {
        error = ENOMEM;
    } else if (EncodeRows(png, info, picture, level, state)) {
        result = Done;
    } else {
        error = state.Error != 0 ? state.Error : EINVAL;
    }
    png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
    return result;
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
