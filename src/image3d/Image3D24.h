// Image3D24: a true-colour picture, blue-green-red byte triples in DIB line layout, for output
// images and previews; owns its pixel store.
#pragma once

#include "image3d/GenImage3D.h"

class ColorMapRGBA8;
class Image3D8;
struct PixelPlane;

class Image3D24 : public GenImage3D {
public:
    // Base GenImage3D(name, 3, 3, border), then SetNewSize(x, y, z).
    Image3D24(const char *name, unsigned short x, unsigned short y, unsigned short z,
              unsigned short border);
    ~Image3D24() override = default;

    // Base layout and store sizing, then PtrFirstPixel = PtrCurrentPixel = store start +
    // InitOffset bytes: Done or Kept; Failed with both pointers null.
    [[nodiscard]] SizeResult UpdateSize() override;
    // Draws value formatted with format (one int conversion) from the digit glyphs of glyphs,
    // glyph pixels non-zero in gray colour, zero in gray background. Done; Refused when the text
    // does not fit, cannot be formatted or the glyphs lie outside the glyph image; 3; 4.
    [[nodiscard]] Result DrawInteger(int value, const char *format, unsigned short x,
                                     unsigned short y, unsigned char colour,
                                     unsigned char background, Image3D8 &glyphs,
                                     unsigned short glyphWidth) override;

    unsigned char *GetPtrFirstPixel() const { return PtrFirstPixel; }
    unsigned char *GetPtrCurrentPixel() const { return PtrCurrentPixel; }
    // Moves the cursor to pixel (x, y, z) and writes blue, green, red there, leaving the cursor
    // on the red byte. A position outside the image writes nothing and leaves the cursor.
    void SetPixelValue(int red, int green, int blue, unsigned short x, unsigned short y,
                       unsigned short z);

    // Copies source with its pixel (0, 0) at (x, y), cut at the right and bottom edges:
    // Done; Refused when (x, y) is not inside this image; ErrorState either image in the error
    // state; Empty source empty.
    [[nodiscard]] Result Clip(const Image3D24 &source, unsigned short x, unsigned short y);
    // Fills this image with copies of source edge to edge from (0, 0): Done; Refused source of zero
    // width or height; 3; 4.
    [[nodiscard]] Result Tile(const Image3D24 &source);
    // Horizontal colour bar through entries 1 .. n - 2 of map (width, height 0: the image's
    // size): Done; Refused when n <= 2, width < 2 or less than 10 pixels of room from (x, y);
    // ErrorState; Empty.
    [[nodiscard]] Result DrawColorMap(const ColorMapRGBA8 &map, unsigned short x, unsigned short y,
                                      unsigned short width, unsigned short height);

    // First plane as a 24-bit BMP or TGA file (the second argument is not used): Done; Refused the
    // file could not be written (no partial file is left); 3; 4.
    [[nodiscard]] Result SaveFileBMP(const char *path, unsigned short unused);
    [[nodiscard]] Result SaveFileTGA(const char *path, unsigned short unused);

private:
    static constexpr int TextBufferSize = 64;

    // The first plane's pixels for the loops shared with the other pixel depth.
    PixelPlane Plane() const;

    unsigned char *PtrFirstPixel;
    unsigned char *PtrCurrentPixel;
    char IntegerText[TextBufferSize];  // DrawInteger formats here instead of allocating
};
