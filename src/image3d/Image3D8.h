// Image3D8: an 8-bit paletted picture in DIB line layout that is its own 256-entry palette;
// owns its pixel store and its palette (or views another colour map's entries).
#pragma once

#include "image3d/ColorMapRGBA8.h"
#include "image3d/GenImage3D.h"

struct PixelPlane;

class Image3D8 : public GenImage3D, public ColorMapRGBA8 {
public:
    static constexpr int PaletteEntries = 256;
    static constexpr int32_t MaxBMPSide = 5000;  // largest width or height LoadFileBMP accepts

    // Base GenImage3D(name, 1, 1, border), a 256-entry palette (all black), then
    // SetNewSize(x, y, z).
    Image3D8(const char *name, unsigned short x, unsigned short y, unsigned short z,
             unsigned short border);
    ~Image3D8() override = default;

    // Base layout and store sizing, then PtrFirstPixel = store start + InitOffset bytes: Done or
    // Kept; 0 and PtrFirstPixel null on failure.
    [[nodiscard]] SizeResult UpdateSize() override;
    // The palette's entry store.
    MemoryTable *GetPtrRawColorMap() override;
    // Draws value formatted with format (one int conversion) from the digit glyphs of glyphs,
    // glyph pixels non-zero as colour, zero as background. Done; Refused when the text does not
    // fit, cannot be formatted or the glyphs lie outside the glyph image; 3; 4.
    [[nodiscard]] Result DrawInteger(int value, const char *format, unsigned short x,
                                     unsigned short y, unsigned char colour,
                                     unsigned char background, Image3D8 &glyphs,
                                     unsigned short glyphWidth) override;

    unsigned char *GetPtrFirstPixel() const { return PtrFirstPixel; }
    // Stores the low byte of value at pixel (x, y, z); a position outside writes nothing.
    void SetPixelValue(int value, unsigned short x, unsigned short y, unsigned short z);

    // Copies source with its pixel (0, 0) at (x, y), cut at the right and bottom edges:
    // Done; Refused when (x, y) is not inside this image; ErrorState either image in the error
    // state; Empty source empty.
    [[nodiscard]] Result Clip(const Image3D8 &source, unsigned short x, unsigned short y);
    // Fills this image with copies of source edge to edge from (0, 0): Done; Refused source of zero
    // width or height; 3; 4.
    [[nodiscard]] Result Tile(const Image3D8 &source);
    // Horizontal bar of palette indexes 1 .. n - 2 (width, height 0: the image's size):
    // Done; Refused when n <= 2, width < 2 or less than 10 pixels of room from (x, y);
    // ErrorState; Empty.
    [[nodiscard]] Result DrawColorMap(unsigned short x, unsigned short y, unsigned short width,
                                      unsigned short height);

    // Reads an uncompressed 8-bit BMP into the image (resized, border kept) and the first
    // palette entries: Done (a truncated pixel area loads with the missing lines unchanged);
    // 0 file missing, unreadable, not such a BMP, header or palette cut short, width not 1 ..
    // 5000, height 0 or beyond +-5000, or resize failed. A negative height loads top-down.
    [[nodiscard]] Result LoadFileBMP(const char *path);
    // First plane with the 256-entry palette as an 8-bit BMP or TGA file (second argument not
    // used): Done; Refused the file could not be written (no partial file is left); ErrorState;
    // Empty.
    [[nodiscard]] Result SaveFileBMP(const char *path, unsigned short unused);
    [[nodiscard]] Result SaveFileTGA(const char *path, unsigned short unused);

private:
    static constexpr int TextBufferSize = 64;

    // The first plane's pixels for the loops shared with the other pixel depth.
    PixelPlane Plane() const;

    unsigned char *PtrFirstPixel;
    char IntegerText[TextBufferSize];  // DrawInteger formats here instead of allocating
};
