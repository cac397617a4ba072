#include "image3d/Image3D24.h"

#include <cstring>

#include "image3d/ColorMapRGBA8.h"
#include "image3d/Image3D8.h"

Image3D24::Image3D24(const char *name, unsigned short x, unsigned short y, unsigned short z,
                     unsigned short border)
    : GenImage3D(name, 3, 3, border), PtrFirstPixel(nullptr), PtrCurrentPixel(nullptr) {
    IntegerText[0] = '\0';
    // A failed sizing leaves the image in its error state, which callers test.
    (void)SetNewSize(x, y, z);
}

int Image3D24::UpdateSize() {
    const int sized = GenImage3D::UpdateSize();
    if (sized != MemoryTable::Done && sized != MemoryTable::NothingToDo) {
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

int Image3D24::Clip(const Image3D24 &source, unsigned short x, unsigned short y) {
    if (AllocationError || source.AllocationError) return ErrorState;
    if (source.DataSize == 0 || source.PtrFirstPixel == nullptr) return Empty;
    const int w = int(SizeX) - int(x);
    const int h = int(SizeY) - int(y);
    if (w <= 0 || h <= 0 || PtrFirstPixel == nullptr) return Refused;
    const int copyWidth = source.SizeX < w ? source.SizeX : w;
    const int copyHeight = source.SizeY < h ? source.SizeY : h;
    const size_t bytes = size_t(copyWidth) * 3;
    unsigned char *to = PtrFirstPixel + size_t(y) * size_t(LineOffset) + size_t(x) * 3;
    // A copy of the image into itself moves lines downwards: go from the last line up so that
    // no line is overwritten before it has been copied.
    for (int k = 0; k < copyHeight; ++k) {
        const int i = &source == this ? copyHeight - 1 - k : k;
        std::memmove(to + size_t(i) * size_t(LineOffset),
                     source.PtrFirstPixel + size_t(i) * size_t(source.LineOffset), bytes);
    }
    return Done;
}

int Image3D24::Tile(const Image3D24 &source) {
    if (AllocationError || source.AllocationError) return ErrorState;
    if (source.DataSize == 0 || source.PtrFirstPixel == nullptr) return Empty;
    // A source without pixels would never advance the copy position.
    if (source.SizeX == 0 || source.SizeY == 0) return Refused;
    for (int y = 0; y < int(SizeY); y += source.SizeY) {
        for (int x = 0; x < int(SizeX); x += source.SizeX) {
            if (Clip(source, static_cast<unsigned short>(x), static_cast<unsigned short>(y)) !=
                Done) {
                break;
            }
        }
    }
    return Done;
}

int Image3D24::DrawColorMap(const ColorMapRGBA8 &map, unsigned short x, unsigned short y,
                            unsigned short width, unsigned short height) {
    if (AllocationError) return ErrorState;
    if (DataSize == 0 || PtrFirstPixel == nullptr) return Empty;
    const int n = map.GetColorCount();
    const unsigned char *entries = map.GetPtrFirstEntry();
    int w = width == 0 ? SizeX : width;
    int h = height == 0 ? SizeY : height;
    if (n <= 2 || entries == nullptr || int(x) + 10 > int(SizeX) || int(y) + 10 > int(SizeY) ||
        w < 2) {
        return Refused;
    }
    if (w > int(SizeX) - int(x)) w = int(SizeX) - int(x);
    if (h > int(SizeY) - int(y)) h = int(SizeY) - int(y);
    // The bar runs through the ramp entries 1 .. n - 2, leaving out the black and white ends.
    const double step = double(n - 3) / double(w - 1);
    for (int line = 0; line < h; ++line) {
        unsigned char *p =
            PtrFirstPixel + size_t(int(y) + line) * size_t(LineOffset) + size_t(x) * 3;
        double a = 0.0;
        for (int i = 0; i < w; ++i) {
            int index = 1 + int(a + 0.49);
            if (index > n - 2) index = n - 2;
            std::memcpy(p + size_t(i) * 3, entries + size_t(index) * 4, 3);
            a += step;
        }
    }
    return Done;
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
