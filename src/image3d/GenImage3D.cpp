#include "image3d/GenImage3D.h"

#include <cstring>

#include "toolkit/AtomicFileWriter.h"

namespace {

// True when format holds exactly one conversion of an int ("%d", "%04d", "%-5i", "%x"...) and
// otherwise only plain characters and "%%": anything else would read arguments that are not
// there.
bool IsSingleIntFormat(const char *format) {
    int conversions = 0;
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p != '\0' && std::strchr("-+ 0#", *p) != nullptr) ++p;
        while (*p >= '0' && *p <= '9') ++p;
        if (*p == '.') {
            ++p;
            while (*p >= '0' && *p <= '9') ++p;
        }
        if (*p == '\0' || std::strchr("diouxXc", *p) == nullptr) return false;
        ++conversions;
    }
    return conversions == 1;
}

}  // namespace

GenImage3D::GenImage3D(const char *name, int depth, int pixelUnits, unsigned short border)
    : MemoryTable(name, 0, depth), Frame3D() {
    Depth = depth < 1 ? 1 : depth;
    PixelUnits = pixelUnits < 1 ? 1 : pixelUnits;
    BorderSize = border;
    ClearLayout();
}

GenImage3D::GenImage3D(const char *name, int depth, int pixelUnits, unsigned short x,
                       unsigned short y, unsigned short z, unsigned short border)
    : GenImage3D(name, depth, pixelUnits, border) {
    // A failed sizing leaves the image in its error state, which callers test.
    (void)SetNewSize(x, y, z);
}

void GenImage3D::ClearLayout() {
    AlignedBytes = 0;
    LineBorderOffset = 0;
    RealPixelCount = 0;
    LineOffset = 0;
    PlaneOffset = 0;
    PlaneBorderOffset = 0;
    InitOffset = 0;
}

Frame3D::SizeResult GenImage3D::UpdateSize() {
    const bool pixelCountFits = Frame3D::UpdateSize() == SizeResult::Done;
    if (Depth % PixelUnits != 0) PixelUnits = 1;

    // The layout is formed in 64 bits: a wide border or a large 3-D block can pass the 32-bit
    // offsets, and such an image is refused rather than addressed through wrapped offsets.
    const int64_t units = PixelUnits;
    const int64_t b2 = 2 * int64_t(BorderSize);
    const int64_t lineUnits = int64_t(SizeX) * units;
    const int64_t aligned = (4 - lineUnits % 4) % 4;
    // For 8-bit and 24-bit images the padding term is AlignedBytes; a float line is never padded.
    const int64_t lineBorder = b2 * units + (aligned * units) / Depth;
    const int64_t line = lineUnits + lineBorder;
    const int64_t plane = (int64_t(SizeY) + b2) * line;
    const int64_t planeBorder = b2 * line;
    // The first pixel sits BorderSize lines down and BorderSize pixels in.
    int64_t init = int64_t(BorderSize) * (line + units);
    int64_t real = plane / units;
    int64_t addressedUnits = plane;
    if (SizeZ > 1) {
        // Only a 3-D image has border planes before and after its planes.
        real = (int64_t(SizeZ) + b2) * real;
        init = int64_t(BorderSize) * plane + init;
        addressedUnits = (int64_t(SizeZ) + b2) * plane;
    }
    // The store must hold every byte the layout addresses. For a 24-bit image with a border or
    // several planes RealPixelCount x 3 can fall short of that by a few bytes per plane.
    const int64_t addressedBytes = addressedUnits * (Depth / units);
    const int64_t realBytes = real * Depth;

    const int64_t maxBytes = int64_t(MemoryTable::GetWordLimit()) * 4;
    if (!pixelCountFits || lineBorder > UINT16_MAX || init > INT32_MAX || plane > INT32_MAX ||
        addressedBytes > maxBytes || realBytes > maxBytes) {
        ClearLayout();
        // Puts the store into the error state: a request far over the table's limit.
        (void)MemoryTable::SetNewDataSize(UINT32_MAX, 4);
        return SizeResult::Failed;
    }

    AlignedBytes = int(aligned);
    LineBorderOffset = static_cast<unsigned short>(lineBorder);
    LineOffset = int(line);
    PlaneOffset = int(plane);
    PlaneBorderOffset = int(planeBorder);
    InitOffset = int(init);
    RealPixelCount = uint32_t(real);

    const int64_t roundedRealBytes = (realBytes + 3) / 4 * 4;
    // The store's answer: a new block, the block held fits (NothingToDo), or refused.
    const MemoryTable::Result sized = addressedBytes <= roundedRealBytes
                                          ? SetNewDataSize(RealPixelCount, Depth)
                                          : SetNewDataSize(uint32_t(addressedBytes), 1);
    return sized == MemoryTable::Done          ? SizeResult::Done
           : sized == MemoryTable::NothingToDo ? SizeResult::Kept
                                               : SizeResult::Failed;
}

MemoryTable *GenImage3D::GetPtrRawColorMap() { return nullptr; }

GenImage3D::Result GenImage3D::DrawInteger(int /*value*/, const char * /*format*/,
                                           unsigned short /*x*/, unsigned short /*y*/,
                                           unsigned char /*colour*/, unsigned char /*background*/,
                                           Image3D8 & /*glyphs*/, unsigned short /*glyphWidth*/) {
    return Refused;
}

void GenImage3D::WriteLE16(FILE *stream, uint32_t value) {
    std::fputc(int(value & 0xFF), stream);
    std::fputc(int((value >> 8) & 0xFF), stream);
}

void GenImage3D::WriteLE32(FILE *stream, uint32_t value) {
    WriteLE16(stream, value & 0xFFFF);
    WriteLE16(stream, value >> 16);
}

uint32_t GenImage3D::FilePaletteBytes(bool tga, int depth) {
    if (depth != 1) return 0;
    return FilePaletteEntries * (tga ? TGAPaletteEntryBytes : BMPPaletteEntryBytes);
}

uint64_t GenImage3D::BMPLineBytes(uint32_t sizeX, int depth) {
    const uint64_t bytes = uint64_t(sizeX) * uint64_t(depth);
    return (bytes + 3) / 4 * 4;
}

uint64_t GenImage3D::BMPFileBytes(uint32_t sizeX, uint32_t sizeY, int depth) {
    return BMPHeaderBytes + FilePaletteBytes(false, depth) +
           uint64_t(sizeY) * BMPLineBytes(sizeX, depth);
}

uint64_t GenImage3D::PNGFileBytes(uint32_t sizeX, uint32_t sizeY, int depth) {
    const uint64_t rows = uint64_t(sizeY) * (1 + uint64_t(sizeX) * uint64_t(depth));
    // 1024 bytes cover the signature, the header and end chunks and zlib's frame.
    return rows + rows / 256 + 1024 + (depth == 1 ? 768 : 0);
}

uint64_t GenImage3D::TGAFileBytes(uint32_t sizeX, uint32_t sizeY, int depth) {
    return TGAHeaderBytes + FilePaletteBytes(true, depth) +
           uint64_t(sizeY) * uint64_t(sizeX) * uint64_t(depth);
}

uint32_t GenImage3D::GetBMPDataBytes() const {
    return uint32_t(uint64_t(SizeY) * BMPLineBytes(SizeX, Depth));
}

GenImage3D::Result GenImage3D::SaveBMPHeader(FILE *stream) const {
    const uint32_t paletteBytes = FilePaletteBytes(false, Depth);
    const uint32_t dataBytes = GetBMPDataBytes();
    const uint32_t fileBytes = uint32_t(BMPFileBytes(SizeX, SizeY, Depth));
    std::fputc('B', stream);
    std::fputc('M', stream);
    WriteLE32(stream, fileBytes);                      // file size
    WriteLE32(stream, 0);                              // reserved
    WriteLE32(stream, BMPHeaderBytes + paletteBytes);  // offset of the pixel data
    WriteLE32(stream, 40);                             // info header size
    WriteLE32(stream, SizeX);                          // width
    WriteLE32(stream, SizeY);                          // height > 0: bottom-up
    WriteLE16(stream, 1);                              // planes
    WriteLE16(stream, uint32_t(8 * Depth));            // bits per pixel
    WriteLE32(stream, 0);                              // no compression
    WriteLE32(stream, dataBytes);                      // image size
    WriteLE32(stream, 5000);                           // horizontal resolution
    WriteLE32(stream, 5000);                           // vertical resolution
    WriteLE32(stream, 0);                              // colours used
    WriteLE32(stream, 0);                              // important colours
    return Done;
}

GenImage3D::Result GenImage3D::SaveTGAHeader(FILE *stream) const {
    if (Depth > 4) return Refused;
    const bool mapped = Depth == 1;
    std::fputc(0, stream);                // identification length
    std::fputc(mapped ? 1 : 0, stream);   // colour map type
    std::fputc(mapped ? 1 : 2, stream);   // uncompressed, colour-mapped or true colour
    WriteLE16(stream, 0);                 // first colour map entry
    WriteLE16(stream, mapped ? 256 : 0);  // colour map length
    std::fputc(mapped ? 24 : 0, stream);  // colour map entry size
    WriteLE16(stream, 0);                 // x origin
    WriteLE16(stream, 0);                 // y origin
    WriteLE16(stream, SizeX);             // width
    WriteLE16(stream, SizeY);             // height
    std::fputc(8 * Depth, stream);        // pixel depth
    std::fputc(0, stream);                // origin bottom left, no attribute bits
    return Done;
}

GenImage3D::Result GenImage3D::WriteImageFile(const char *path, bool tga,
                                              const unsigned char *palette,
                                              uint32_t paletteEntries) const {
    SaveErrno = 0;
    if (AllocationError) return ErrorState;
    if (DataSize == 0 || Data == nullptr) return Empty;
    if (path == nullptr || path[0] == '\0') return Refused;
    if (tga && Depth > 4) return Refused;

    // A crash or a full disk must not leave a half-written image under the final name.
    AtomicFileWriter writer;
    if (writer.Open(path) != AtomicFileWriter::Done) {
        SaveErrno = writer.LastErrno();
        return Refused;
    }
    FILE *file = writer.GetStream();

    if ((tga ? SaveTGAHeader(file) : SaveBMPHeader(file)) != Done) return Refused;
    if (FilePaletteBytes(tga, Depth) != 0) {
        // The palette is always 256 entries, whatever the size of a map the image views.
        for (uint32_t i = 0; i < FilePaletteEntries; ++i) {
            const unsigned char *entry =
                palette != nullptr && i < paletteEntries ? palette + 4 * i : nullptr;
            const unsigned char black[4] = {0, 0, 0, 0};
            if (entry == nullptr) entry = black;
            std::fputc(entry[0], file);  // blue
            std::fputc(entry[1], file);  // green
            std::fputc(entry[2], file);  // red
            if (!tga) std::fputc(0, file);
        }
    }

    // One offset unit is Depth / PixelUnits bytes.
    const size_t unitBytes = size_t(Depth / PixelUnits);
    const auto *first =
        reinterpret_cast<const unsigned char *>(Data) + size_t(InitOffset) * unitBytes;
    const size_t lineBytes = size_t(SizeX) * size_t(Depth);
    const unsigned char padding[4] = {0, 0, 0, 0};
    const size_t paddingBytes = tga ? 0 : size_t(BMPLineBytes(SizeX, Depth)) - lineBytes;
    for (int y = SizeY - 1; y >= 0; --y) {
        std::fwrite(first + size_t(y) * size_t(LineOffset) * unitBytes, 1, lineBytes, file);
        std::fwrite(padding, 1, paddingBytes, file);
    }

    if (writer.Commit() != AtomicFileWriter::Done) {
        SaveErrno = writer.LastErrno();
        return Refused;
    }
    return Done;
}

GenImage3D::Result GenImage3D::DrawDigits(int value, const char *format, unsigned short x,
                                          unsigned short y, unsigned char colour,
                                          unsigned char background, const unsigned char *glyphFirst,
                                          int glyphStride, int glyphLineBytes, int glyphHeight,
                                          unsigned short glyphWidth, char *text, int textSize) {
    if (AllocationError) return ErrorState;
    if (DataSize == 0 || Data == nullptr) return Empty;
    if (format == nullptr || glyphFirst == nullptr || !IsSingleIntFormat(format)) return Refused;
    if (int(y) + glyphHeight > int(SizeY)) return Refused;
    const int length = std::snprintf(text, size_t(textSize), format, value);
    if (length < 0 || length >= textSize) return Refused;
    if (int64_t(x) + int64_t(glyphWidth) * length > int64_t(SizeX)) return Refused;
    // Every glyph used must lie within the glyph lines before anything is drawn.
    for (int i = 0; i < length; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9' && (c - '0' + 1) * int(glyphWidth) > glyphLineBytes) {
            return Refused;
        }
    }

    const int unitBytes = Depth / PixelUnits;
    const int pixelBytes = PixelUnits * unitBytes;
    auto *first = reinterpret_cast<unsigned char *>(Data) + size_t(InitOffset) * size_t(unitBytes);
    const size_t stride = size_t(LineOffset) * size_t(unitBytes);
    unsigned char *position = first + size_t(y) * stride + size_t(x) * size_t(pixelBytes);
    for (int i = 0; i < length; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') continue;  // a sign or a space is counted in the width only
        const unsigned char *glyph = glyphFirst + (c - '0') * int(glyphWidth);
        for (int line = 0; line < glyphHeight; ++line) {
            const unsigned char *from = glyph + size_t(line) * size_t(glyphStride);
            unsigned char *to = position + size_t(line) * stride;
            for (int column = 0; column < glyphWidth; ++column) {
                const unsigned char shade = from[column] != 0 ? colour : background;
                for (int b = 0; b < pixelBytes; ++b) *to++ = shade;
            }
        }
        position += size_t(glyphWidth) * size_t(pixelBytes);
    }
    return Done;
}
