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

Frame3D::SizeResult Image3D24::UpdateSize() {
    const SizeResult sized = GenImage3D::UpdateSize();
    if (sized == SizeResult::Failed) {
        PtrFirstPixel = nullptr;
        PtrCurrentPixel = nullptr;
        return SizeResult::Failed;
    }
    PtrFirstPixel =
        Data == nullptr ? nullptr : reinterpret_cast<unsigned char *>(Data) + InitOffset;
    PtrCurrentPixel = PtrFirstPixel;
    return SizeResult::Done;
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

GenImage3D::Result Image3D24::Clip(const Image3D24 &source, unsigned short x, unsigned short y) {
    if (AllocationError || source.AllocationError) return ErrorState;
    if (source.DataSize == 0 || source.PtrFirstPixel == nullptr) return Empty;
    return CopyPlane<3>(Plane(), source.Plane(), x, y) ? Done : Refused;
}

GenImage3D::Result Image3D24::Tile(const Image3D24 &source) {
    if (AllocationError || source.AllocationError) return ErrorState;
    if (source.DataSize == 0 || source.PtrFirstPixel == nullptr) return Empty;
    // A source without pixels would never advance the copy position.
    if (source.SizeX == 0 || source.SizeY == 0) return Refused;
    TilePlane<3>(Plane(), source.Plane());
    return Done;
}

GenImage3D::Result Image3D24::DrawColorMap(const ColorMapRGBA8 &map, unsigned short x,
                                           unsigned short y, unsigned short width,
                                           unsigned short height) {
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

GenImage3D::Result Image3D24::DrawInteger(int value, const char *format, unsigned short x,
                                          unsigned short y, unsigned char colour,
                                          unsigned char background, Image3D8 &glyphs,
                                          unsigned short glyphWidth) {
    if (glyphs.HasAllocationError()) return ErrorState;
    if (glyphs.GetDataSize() == 0 || glyphs.GetPtrFirstPixel() == nullptr) return Empty;
    return DrawDigits(value, format, x, y, colour, background, glyphs.GetPtrFirstPixel(),
                      glyphs.GetLineOffset(), glyphs.GetLineOffset() - glyphs.GetBorderSize(),
                      glyphs.GetSizeY(), glyphWidth, IntegerText, TextBufferSize);
}

GenImage3D::Result Image3D24::SaveFileBMP(const char *path, unsigned short /*unused*/) {
    return WriteImageFile(path, false, nullptr, 0);
}

GenImage3D::Result Image3D24::SaveFileTGA(const char *path, unsigned short /*unused*/) {
    return WriteImageFile(path, true, nullptr, 0);
}
