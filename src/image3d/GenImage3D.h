// GenImage3D: a bordered X x Y x Z pixel block with 4-byte aligned lines, its derived layout
// (line, plane and border offsets) and the fixed BMP/TGA headers; owns its pixel store.
#pragma once

#include <cstdint>
#include <cstdio>

#include "image3d/Frame3D.h"
#include "toolkit/MemoryTable.h"

class Image3D8;

class GenImage3D : public MemoryTable, public Frame3D {
public:
    // Result codes of the image operations.
    static constexpr int Refused = 0;  // bad position, size, argument or file; failed resize
    static constexpr int Done = 1;
    static constexpr int ErrorState = 3;  // a pixel store is in the allocation-error state
    static constexpr int Empty = 4;       // a pixel store holds no data

    static constexpr uint32_t BMPHeaderBytes = 54;
    static constexpr uint32_t TGAHeaderBytes = 18;
    // An 8-bit file always carries 256 palette entries: 4 bytes each in a BMP, 3 in a TGA.
    static constexpr uint32_t FilePaletteEntries = 256;
    static constexpr uint32_t BMPPaletteEntryBytes = 4;
    static constexpr uint32_t TGAPaletteEntryBytes = 3;

    // Empty store, sizes 0, every layout field 0; no UpdateSize. depth: bytes per pixel (>= 1),
    // pixelUnits: offset units per pixel (>= 1), border: pixels on each side.
    GenImage3D(const char *name, int depth, int pixelUnits, unsigned short border);
    // As above, then SetNewSize(x, y, z).
    GenImage3D(const char *name, int depth, int pixelUnits, unsigned short x, unsigned short y,
               unsigned short z, unsigned short border);
    ~GenImage3D() override = default;

    // Recomputes the layout and sizes the store: 1 new block (all zero), 4 the block held fits
    // (old bytes stay), 0 failure (store in the error state, layout fields 0).
    [[nodiscard]] int UpdateSize() override;
    // Palette entry table of images that carry one; null here.
    virtual MemoryTable *GetPtrRawColorMap();
    // Draws a number from digit glyphs; nothing here (0).
    [[nodiscard]] virtual int DrawInteger(int value, const char *format, unsigned short x,
                                          unsigned short y, unsigned char colour,
                                          unsigned char background, Image3D8 &glyphs,
                                          unsigned short glyphWidth);

    // 54-byte BMP header (bottom-up lines, 1024-byte palette for Depth 1): 1. Stream not checked.
    [[nodiscard]] int SaveBMPHeader(FILE *stream) const;
    // 18-byte TGA header: 1; 0 without writing when Depth is above 4. Stream not checked.
    [[nodiscard]] int SaveTGAHeader(FILE *stream) const;
    // Bytes of pixel data a BMP file of this image carries: SizeY lines of SizeX x Depth +
    // AlignedBytes bytes.
    uint32_t GetBMPDataBytes() const;
    // Size of the file the savers write for a sizeX x sizeY picture of depth bytes per pixel:
    // BMP header, 1024-byte palette for depth 1, lines padded to 4 bytes; TGA header, 768-byte
    // colour map for depth 1, unpadded lines. Tells the disk use of files not written yet.
    static uint64_t BMPFileBytes(uint32_t sizeX, uint32_t sizeY, int depth);
    static uint64_t TGAFileBytes(uint32_t sizeX, uint32_t sizeY, int depth);
    // At most the size of a PNG file of such a picture (depth 2: 16-bit gray): its rows
    // uncompressed with their filter bytes, plus 1/256 for deflate's worst-case growth and the
    // frames of the 8 KB IDAT chunks, the other chunks and a 768-byte palette for depth 1.
    static uint64_t PNGFileBytes(uint32_t sizeX, uint32_t sizeY, int depth);

    int GetDepth() const { return Depth; }
    int GetPixelUnits() const { return PixelUnits; }
    int GetAlignedBytes() const { return AlignedBytes; }
    unsigned short GetBorderSize() const { return BorderSize; }
    unsigned short GetLineBorderOffset() const { return LineBorderOffset; }
    int GetLineOffset() const { return LineOffset; }
    int GetPlaneOffset() const { return PlaneOffset; }
    int GetPlaneBorderOffset() const { return PlaneBorderOffset; }
    int GetInitOffset() const { return InitOffset; }
    uint32_t GetRealPixelCount() const { return RealPixelCount; }
    // The errno that made the last image file fail to be written; 0 after a good save, or when
    // the failure was no system error (empty store, bad argument).
    int GetSaveErrno() const { return SaveErrno; }

protected:
    // Writes the first plane as a BMP (lines padded to 4 bytes) or TGA file, lines bottom-up,
    // with palette entries (blue, green, red, alpha) for an 8-bit image: always 256 of them,
    // missing ones black. The file is written under a temporary name in the same directory and
    // renamed into place once complete: 1; 3 error state; 4 empty store; 0 the file could not
    // be written (no partial file is left).
    [[nodiscard]] int WriteImageFile(const char *path, bool tga, const unsigned char *palette,
                                     uint32_t paletteEntries) const;
    // Formats value with format into text (one int conversion, as printf; anything else is
    // refused) and draws its digits at (x, y) from a row of ten glyphs: glyph pixel non-zero
    // gives colour, zero gives background, in every byte of a pixel. Other characters count in
    // the width check but neither draw nor move the drawing position. glyphFirst: the glyph image's
    // first pixel, glyphStride: its line stride, glyphLineBytes: bytes readable from the start of
    // each glyph line. 1; 0 text or glyphs do not fit; 3 error state; 4 empty store.
    [[nodiscard]] int DrawDigits(int value, const char *format, unsigned short x, unsigned short y,
                                 unsigned char colour, unsigned char background,
                                 const unsigned char *glyphFirst, int glyphStride,
                                 int glyphLineBytes, int glyphHeight, unsigned short glyphWidth,
                                 char *text, int textSize);
    // Bytes of a file's palette (0 above depth 1) and of one BMP line with its padding.
    static uint32_t FilePaletteBytes(bool tga, int depth);
    static uint64_t BMPLineBytes(uint32_t sizeX, int depth);
    // Little-endian field writers for the file headers.
    static void WriteLE16(FILE *stream, uint32_t value);
    static void WriteLE32(FILE *stream, uint32_t value);

    int Depth;
    int PixelUnits;
    int AlignedBytes;
    unsigned short BorderSize;
    unsigned short LineBorderOffset;
    uint32_t RealPixelCount;
    int LineOffset;
    int PlaneOffset;
    int PlaneBorderOffset;
    int InitOffset;

private:
    void ClearLayout();

    mutable int SaveErrno = 0;
};
