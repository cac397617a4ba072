// ColorMapRGBA8: the palette type, an array of 4-byte colour entries (blue, green, red, alpha)
// filled with ramps through a colour space; owns its entry store or views another map's entries.
#pragma once

#include <cstdint>
#include <cstdio>

#include "toolkit/MemoryTable.h"

// A plain class with no base, so it can be the second base of the 8-bit image (the image is its
// own palette). The entry store is a member, not a base: the image's first base is already a
// MemoryTable (its pixels). The result codes carry a "Map" prefix for the same reason, so that
// they never collide with the pixel store's codes inside the image.
class ColorMapRGBA8 {
public:
    // What the operations answer: MapFailed (bad index, bad input, null stream, error state),
    // MapDone, MapTooFewEntries (too few entries for the builder, or no store).
    enum class MapResult { MapFailed = 0, MapDone = 1, MapTooFewEntries = 3 };
    static constexpr MapResult MapFailed = MapResult::MapFailed;
    static constexpr MapResult MapDone = MapResult::MapDone;
    static constexpr MapResult MapTooFewEntries = MapResult::MapTooFewEntries;

    // Number of micro-steps of a ramp from its start to its end colour.
    static constexpr int32_t RampSteps = 253000;

    // count entries, all black with alpha 0; ColorCount is 0 when the store cannot be had
    // (or count is negative).
    explicit ColorMapRGBA8(int count);
    virtual ~ColorMapRGBA8() = default;
    ColorMapRGBA8(const ColorMapRGBA8 &) = delete;
    ColorMapRGBA8 &operator=(const ColorMapRGBA8 &) = delete;

    // The entry store (never null); its bytes are the entries, 4 per entry.
    virtual MemoryTable *GetPtrRawColorMap();

    int GetColorCount() const { return ColorCount; }
    // Bytes of entry 0 (blue, green, red, alpha, then entry 1, ...); null when there are none.
    unsigned char *GetPtrFirstEntry() const;

    // Stores (b, g, r, a) in entry index: MapDone; index outside 0 .. ColorCount - 1:
    // MapFailed.
    [[nodiscard]] MapResult SetColorRGBA(int index, unsigned char r, unsigned char g,
                                         unsigned char b, unsigned char a);

    // The builders write entry 0 black, the last entry white, all alphas 0, and the ramp between.
    // Gray ramp: MapDone; MapTooFewEntries when ColorCount is below 2.
    [[nodiscard]] MapResult SetGrayColorMap();
    // Channels 0 .. 255; 1, or 3 when ColorCount is below 4 (the same for every ramp below).
    [[nodiscard]] MapResult SetLinearRGBColorMap(double r0, double r1, double g0, double g1,
                                                 double b0, double b1);
    // Hue in degrees (unbounded), saturation 0 .. 1, lightness 0 .. 255.
    [[nodiscard]] MapResult SetLinearHSLColorMap(double h0, double h1, double s0, double s1,
                                                 double l0, double l1);
    // X, Y, Z 0 .. 1 each.
    [[nodiscard]] MapResult SetLinearXYZColorMap(double x0, double x1, double y0, double y1,
                                                 double z0, double z1);
    // Cyan, magenta, yellow, black 0 .. 255 each.
    [[nodiscard]] MapResult SetLinearCMYKColorMap(double c0, double c1, double m0, double m1,
                                                  double y0, double y1, double k0, double k1);
    // Luma 0 .. 1, Cb and Cr -0.5 .. 0.5.
    [[nodiscard]] MapResult SetLinearYCBCRColorMap(double y0, double y1, double cb0, double cb1,
                                                   double cr0, double cr1);
    // Entries drawn from RandomGenerator::Rand() within the per-channel ranges: MapDone;
    // MapTooFewEntries when ColorCount is below 2.
    [[nodiscard]] MapResult SetRandomColorMap(unsigned char rMin, unsigned char rMax,
                                              unsigned char gMin, unsigned char gMax,
                                              unsigned char bMin, unsigned char bMax);

    // Colour conversions to 0 .. 255 channels. HSL and XYZ always give MapDone; CMYK and YCbCr
    // give MapFailed (and black) for inputs outside their ranges, else MapDone.
    static MapResult ConvertHSLtoRGB(float h, float s, float l, int &r, int &g, int &b);
    static MapResult ConvertXYZtoRGB(float x, float y, float z, int &r, int &g, int &b);
    static MapResult ConvertCMYKtoRGB(int c, int m, int y, int k, int &r, int &g, int &b);
    static MapResult ConvertYCBCRtoRGB(float y, float cb, float cr, int &r, int &g, int &b);

    // Makes this map a view of other's entries (changes through either are seen by both):
    // MapDone; MapFailed when other's store is in the error state, nothing changed. other must
    // outlive it.
    [[nodiscard]] MapResult ShareColorMap(ColorMapRGBA8 &other);

    // Reads count entries (0 or above ColorCount: all) into the first entries: Done, ShortRead,
    // Failed (error state or null stream), NoData (no entries).
    [[nodiscard]] MemoryTable::Result RawReadFile(FILE *stream, int count);
    // Writes every entry as 4 bytes (blue, green, red, alpha): Done, Failed, NoData as above.
    [[nodiscard]] MemoryTable::Result RawWriteFileRGBA(FILE *stream) const;
    // Writes blue, green, red of every entry, 3 bytes each: Done; Failed on a null stream or a
    // store in the error state.
    [[nodiscard]] MemoryTable::Result RawWriteFileRGB(FILE *stream) const;
    // Decimal dump, one entry per line: Done; NoData no entries ("empty" written); Failed file
    // not created.
    [[nodiscard]] MemoryTable::Result DumpTextFile(const char *path) const;

private:
    int32_t ColorCount;
    MemoryTable Entries;
};
