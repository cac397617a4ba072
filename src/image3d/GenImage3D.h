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
    // What the image operations answer: Refused (bad position, size, argument or file),
    // Done, ErrorState (a pixel store is in the allocation-error state), Empty (a pixel store
    // holds no data).
    enum class Result { Refused = 0, Done = 1, ErrorState = 3, Empty = 4 };
    static constexpr Result Refused = Result::Refused;
    static constexpr Result Done = Result::Done;
    static constexpr Result ErrorState = Result::ErrorState;
    static constexpr Result Empty = Result::Empty;

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

    // Recomputes the layout and sizes the store: Done a new block (all zero), Kept the block
    // held fits (old bytes stay), Failed (store in the error state, layout fields 0).
    [[nodiscard]] SizeResult UpdateSize() override;
    // Palette entry table of images that carry one; null here.
    virtual MemoryTable *GetPtrRawColorMap();
    // Draws a number from digit glyphs; nothing here (Refused).
    [[nodiscard]] virtual Result DrawInteger(int value, const char *format, unsigned short x,
                                             unsigned short y, unsigned char colour,
                                             unsigned char background, Image3D8 &glyphs,
                                             unsigned short glyphWidth);

    // 54-byte BMP header (bottom-up lines, 1024-byte palette for Depth 1): Done. Stream not
    // checked.
    [[nodiscard]] Result SaveBMPHeader(FILE *stream) const;
    // 18-byte TGA header: Done; Refused without writing when Depth is above 4. Stream not checked.
    [[nodiscard]] Result SaveTGAHeader(FILE *stream) const;
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
    // renamed into place once complete: Done; ErrorState; Empty store; Refused the file could not
    // be written (no partial file is left).
    [[nodiscard]] Result WriteImageFile(const char *path, bool tga, const unsigned char *palette,
                                        uint32_t paletteEntries) const;
    // Formats value with format into text (one int conversion, as printf; anything else is
    // refused) and draws its digits at (x, y) from a row of ten glyphs: glyph pixel non-zero
    // gives colour, zero gives background, in every byte of a pixel. Other characters count in
    // the width check but neither draw nor move the drawing position. glyphFirst: the glyph image's
    // first pixel, glyphStride: its line stride, glyphLineBytes: bytes readable from the start of
    // each glyph line. Done; Refused text or glyphs do not fit; ErrorState; Empty store.
    [[nodiscard]] Result DrawDigits(int value, const char *format, unsigned short x,
                                    unsigned short y, unsigned char colour,
                                    unsigned char background, const unsigned char *glyphFirst,
                                    int glyphStride, int glyphLineBytes, int glyphHeight,
                                    unsigned short glyphWidth, char *text, int textSize);
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
