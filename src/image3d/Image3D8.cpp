#include "image3d/Image3D8.h"

#include <algorithm>
#include <cstring>

#include "image3d/PixelPlane.h"

namespace {

uint32_t ReadLE32(const unsigned char *b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

uint32_t ReadLE16(const unsigned char *b) { return uint32_t(b[0]) | uint32_t(b[1]) << 8; }

}  // namespace

Image3D8::Image3D8(const char *name, unsigned short x, unsigned short y, unsigned short z,
                   unsigned short border)
    : GenImage3D(name, 1, 1, border), ColorMapRGBA8(PaletteEntries), PtrFirstPixel(nullptr) {
    IntegerText[0] = '\0';
    // A failed sizing leaves the image in its error state, which callers test.
    (void)SetNewSize(x, y, z);
}

Frame3D::SizeResult Image3D8::UpdateSize() {
    const SizeResult sized = GenImage3D::UpdateSize();
    if (sized == SizeResult::Failed) {
        PtrFirstPixel = nullptr;
        return SizeResult::Failed;
    }
    PtrFirstPixel =
        Data == nullptr ? nullptr : reinterpret_cast<unsigned char *>(Data) + InitOffset;
    return SizeResult::Done;
}

MemoryTable *Image3D8::GetPtrRawColorMap() { return ColorMapRGBA8::GetPtrRawColorMap(); }

void Image3D8::SetPixelValue(int value, unsigned short x, unsigned short y, unsigned short z) {
    if (PtrFirstPixel == nullptr || AllocationError || x >= SizeX || y >= SizeY || z >= SizeZ) {
        return;
    }
    PtrFirstPixel[size_t(z) * size_t(PlaneOffset) + size_t(y) * size_t(LineOffset) + x] =
        static_cast<unsigned char>(value);
}

PixelPlane Image3D8::Plane() const {
    return MakePixelPlane(PtrFirstPixel, SizeX, SizeY, size_t(LineOffset));
}

GenImage3D::Result Image3D8::Clip(const Image3D8 &source, unsigned short x, unsigned short y) {
    if (AllocationError || source.AllocationError) return ErrorState;
    if (source.DataSize == 0 || source.PtrFirstPixel == nullptr) return Empty;
    return CopyPlane<1>(Plane(), source.Plane(), x, y) ? Done : Refused;
}

GenImage3D::Result Image3D8::Tile(const Image3D8 &source) {
    if (AllocationError || source.AllocationError) return ErrorState;
    if (source.DataSize == 0 || source.PtrFirstPixel == nullptr) return Empty;
    // A source without pixels would never advance the copy position.
    if (source.SizeX == 0 || source.SizeY == 0) return Refused;
    TilePlane<1>(Plane(), source.Plane());
    return Done;
}

GenImage3D::Result Image3D8::DrawColorMap(unsigned short x, unsigned short y, unsigned short width,
                                          unsigned short height) {
    if (AllocationError) return ErrorState;
    if (DataSize == 0 || PtrFirstPixel == nullptr) return Empty;
    const bool drawn = DrawRamp<1>(
        Plane(), GetColorCount(), x, y, width, height,
        [](unsigned char *pixel, int index) { *pixel = static_cast<unsigned char>(index); });
    return drawn ? Done : Refused;
}

GenImage3D::Result Image3D8::DrawInteger(int value, const char *format, unsigned short x,
                                         unsigned short y, unsigned char colour,
                                         unsigned char background, Image3D8 &glyphs,
                                         unsigned short glyphWidth) {
    if (glyphs.AllocationError) return ErrorState;
    if (glyphs.DataSize == 0 || glyphs.PtrFirstPixel == nullptr) return Empty;
    // A glyph line may be read up to the end of its stride (the padding), never further.
    return DrawDigits(value, format, x, y, colour, background, glyphs.PtrFirstPixel,
                      glyphs.LineOffset, glyphs.LineOffset - glyphs.BorderSize, glyphs.SizeY,
                      glyphWidth, IntegerText, TextBufferSize);
}

GenImage3D::Result Image3D8::LoadFileBMP(const char *path) {
    if (path == nullptr) return Refused;
    FILE *file = std::fopen(path, "rb");
    if (file == nullptr) return Refused;

    unsigned char header[BMPHeaderBytes];
    unsigned char palette[4 * PaletteEntries];
    int32_t width = 0;
    int32_t height = 0;
    int64_t entries = 0;
    bool accepted = std::fread(header, 1, sizeof header, file) == sizeof header;
    if (accepted) {
        const int64_t dataOffset = ReadLE32(header + 10);
        entries = (dataOffset - int64_t(BMPHeaderBytes)) / 4;  // truncated toward zero
        width = int32_t(ReadLE32(header + 18));
        height = int32_t(ReadLE32(header + 22));
        accepted = header[0] == 'B' && header[1] == 'M' && entries >= 0 &&
                   entries <= PaletteEntries && ReadLE32(header + 14) == 40 &&
                   ReadLE16(header + 28) == 8 && ReadLE32(header + 30) == 0 && width >= 1 &&
                   width <= MaxBMPSide && height != 0 && height >= -MaxBMPSide &&
                   height <= MaxBMPSide;
        // The palette is read completely before anything in the image changes. The pixels start
        // at the data offset, which can lie up to 3 bytes past the palette, never inside it.
        accepted =
            accepted && std::fread(palette, 4, size_t(entries), file) == size_t(entries) &&
            std::fseek(file, long(std::max(dataOffset, int64_t(BMPHeaderBytes) + 4 * entries)),
                       SEEK_SET) == 0;
    }
    const bool topDown = height < 0;
    if (!accepted || SetNewSize(static_cast<unsigned short>(width),
                                static_cast<unsigned short>(topDown ? -height : height),
                                1) == SizeResult::Failed) {
        std::fclose(file);
        return Refused;
    }

    // A palette that views a smaller colour map only takes the entries it has.
    const int64_t stored = entries < GetColorCount() ? entries : GetColorCount();
    if (stored > 0) std::memcpy(GetPtrFirstEntry(), palette, size_t(stored) * 4);

    // Lines are stored bottom-up unless the height is negative; each is padded to 4 bytes.
    unsigned char padding[4];
    for (int k = 0; k < int(SizeY); ++k) {
        const int y = topDown ? k : int(SizeY) - 1 - k;
        if (std::fread(PtrFirstPixel + size_t(y) * size_t(LineOffset), 1, SizeX, file) == 0) break;
        if (AlignedBytes > 0 &&
            std::fread(padding, 1, size_t(AlignedBytes), file) != size_t(AlignedBytes)) {
            break;
        }
    }
    std::fclose(file);
    return Done;
}

GenImage3D::Result Image3D8::SaveFileBMP(const char *path, unsigned short /*unused*/) {
    return WriteImageFile(path, false, GetPtrFirstEntry(), uint32_t(GetColorCount()));
}

GenImage3D::Result Image3D8::SaveFileTGA(const char *path, unsigned short /*unused*/) {
    return WriteImageFile(path, true, GetPtrFirstEntry(), uint32_t(GetColorCount()));
}
