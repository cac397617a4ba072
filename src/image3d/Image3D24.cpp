#include "image3d/Image3D24.h"

#include <cstring>

#include "image3d/ColorMapRGBA8.h"
#include "image3d/Image3D8.h"
#include "image3d/PixelPlane.h"

Image3D24::Image3D24(const char *name, unsigned short x, unsigned short y, unsigned short z,
                     unsigned short border)
    : GenImage3D(name, 3, 3, border), PtrFirstPixel(nullptr), PtrCurrentPixel(nullptr) {
    IntegerText[0] = '\0';
    // A failed sizing leaves the image in its error state, which callers test.
    (void)SetNewSize(x, y, z);
}

int Image3D24::UpdateSize() {
    const int sized = GenImage3D::UpdateSize();
    if (sized != int(MemoryTable::Done) && sized != int(MemoryTable::NothingToDo)) {
        PtrFirstPixel = nullptr;
        PtrCurrentPixel = nullptr;
        return Refused;
    }
    PtrFirstPixel =
        Data == nullptr ? nullptr : reinterpret_cast<unsigned char *>(Data) + InitOffset;
    PtrCurrentPixel = PtrFirstPixel;
    return Done;
}

void Image3D24::SetPixelValue(int red, int green, int blue, unsigned short x, unsigned short y,
                              unsigned short z) {
    if (PtrFirstPixel == nullptr || AllocationError || x >= SizeX || y >= SizeY || z >= SizeZ) {
        return;
    }
    PtrCurrentPixel = PtrFirstPixel + size_t(z) * size_t(PlaneOffset) +
                      size_t(y) * size_t(LineOffset) + size_t(x) * 3;
    PtrCurrentPixel[0] = static_cast<unsigned char>(blue);
    PtrCurrentPixel[1] = static_cast<unsigned char>(green);
    PtrCurrentPixel[2] = static_cast<unsigned char>(red);
    PtrCurrentPixel += 2;
}

PixelPlane Image3D24::Plane() const {
    return MakePixelPlane(PtrFirstPixel, SizeX, SizeY, size_t(LineOffset));
}

int Image3D24::Clip(const Image3D24 &source, unsigned short x, unsigned short y) {
    if (AllocationError || source.AllocationError) return ErrorState;
    if (source.DataSize == 0 || source.PtrFirstPixel == nullptr) return Empty;
    return CopyPlane<3>(Plane(), source.Plane(), x, y) ? Done : Refused;
}

int Image3D24::Tile(const Image3D24 &source) {
    if (AllocationError || source.AllocationError) return ErrorState;
    if (source.DataSize == 0 || source.PtrFirstPixel == nullptr) return Empty;
    // A source without pixels would never advance the copy position.
    if (source.SizeX == 0 || source.SizeY == 0) return Refused;
    TilePlane<3>(Plane(), source.Plane());
    return Done;
}

int Image3D24::DrawColorMap(const ColorMapRGBA8 &map, unsigned short x, unsigned short y,
                            unsigned short width, unsigned short height) {
    if (AllocationError) return ErrorState;
    if (DataSize == 0 || PtrFirstPixel == nullptr) return Empty;
    const unsigned char *entries = map.GetPtrFirstEntry();
    if (entries == nullptr) return Refused;
    // Blue, green, red of the entry; its fourth byte is not a pixel's.
    const bool drawn = DrawRamp<3>(Plane(), map.GetColorCount(), x, y, width, height,
                                   [entries](unsigned char *pixel, int index) {
                                       std::memcpy(pixel, entries + size_t(index) * 4, 3);
                                   });
    return drawn ? Done : Refused;
}

int Image3D24::DrawInteger(int value, const char *format, unsigned short x, unsigned short y,
                           unsigned char colour, unsigned char background, Image3D8 &glyphs,
                           unsigned short glyphWidth) {
    if (glyphs.HasAllocationError()) return ErrorState;
    if (glyphs.GetDataSize() == 0 || glyphs.GetPtrFirstPixel() == nullptr) return Empty;
    return DrawDigits(value, format, x, y, colour, background, glyphs.GetPtrFirstPixel(),
                      glyphs.GetLineOffset(), glyphs.GetLineOffset() - glyphs.GetBorderSize(),
                      glyphs.GetSizeY(), glyphWidth, IntegerText, TextBufferSize);
}

int Image3D24::SaveFileBMP(const char *path, unsigned short /*unused*/) {
    return WriteImageFile(path, false, nullptr, 0);
}

int Image3D24::SaveFileTGA(const char *path, unsigned short /*unused*/) {
    return WriteImageFile(path, true, nullptr, 0);
}
