// Image3DFloat: the concentration field of one chemical component, 32-bit floats with a
// one-pixel periodic border; owns its pixel store and carries the whole-field numerical kernels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image3d/GenImage3D.h"

class ColorMapRGBA8;
struct FloatPlanes;
class Image3D8;
class Image3D24;

class Image3DFloat : public GenImage3D {
public:
    // What NumericOverflowDetected finds.
    enum class Overflow { None = 0, Found = 1, ErrorState = 3 };

    // Base GenImage3D(name, 4, 1, border), then SetNewSize(x, y, z).
    Image3DFloat(const char *name, unsigned short x, unsigned short y, unsigned short z,
                 unsigned short border);
    ~Image3DFloat() override = default;

    // Base layout and store sizing, then PtrFirstPixel = Data + InitOffset floats: Done or
    // Kept (as the store's sizing); Failed and PtrFirstPixel null.
    [[nodiscard]] SizeResult UpdateSize() override;
    float *GetPtrFirstPixel() const { return PtrFirstPixel; }
    // Stores value at interior pixel (x, y, z); a position outside the interior writes nothing.
    void SetPixelValue(float value, unsigned short x, unsigned short y, unsigned short z);
    // Interior pixel (x, y, z); 0 for a position outside the interior or a field without store.
    float GetPixelValue(unsigned short x, unsigned short y, unsigned short z) const;

    // Copies the opposite edges into the one-pixel border ring, corners diagonally, so the field
    // is a torus: Done; ErrorState error state or BorderSize not 1 (nothing written); Empty.
    [[nodiscard]] Result PeriodiseBorderXY1();
    // Uniform noise r x (2 amplitude) / 32767 + (mean - amplitude), r drawn from
    // RandomGenerator::Rand() per interior pixel in walk order: Done; ErrorState; Empty.
    [[nodiscard]] Result InitRandomNoise(float mean, float amplitude);
    // In place: pixel = centre x itself + neighbour x (sum of its 8 neighbours), reading the
    // border as it stands and leaving a copy of the old last line in border line -1:
    // Done; ErrorState; Empty; Refused when BorderSize is 0.
    [[nodiscard]] Result FastConvolution2D9(double centre, double neighbour);
    // In place: pixel = mean of its 8 neighbours, itself not counted. Results as above.
    [[nodiscard]] Result FastConvolution2D9NCEN();
    // Smallest and largest interior value (NaN pixels passed over unless the first is NaN):
    // Done; ErrorState (error state or empty).
    [[nodiscard]] Result FindMinMax(double &minimum, double &maximum) const;
    // Found when some interior pixel is NaN, else None; ErrorState; None when empty. limit is
    // not used: infinities compare equal to themselves and soon turn into NaN in the reaction
    // steps.
    [[nodiscard]] Overflow NumericOverflowDetected(double limit) const;

    // Field to picture. Index i = trunc(scale x v + (offset + 0.499)) per interior pixel, in
    // double. The picture is resized to the field (keeping its border) and its palette is not
    // touched. 8 bits: pixel = i limited to 0 .. 255. 24 bits: map entry i (blue, green, red),
    // white above the map's last entry, black below 0. NaN counts as below 0.
    // Done; ErrorState field in the error state; Empty field empty; Refused the picture could
    // not be resized.
    [[nodiscard]] Result ConvertTo(Image3D8 &image, float scale, float offset) const;
    [[nodiscard]] Result ConvertTo(Image3D24 &image, const ColorMapRGBA8 &map, float scale,
                                   float offset) const;
    // As ConvertTo with the field's minimum at index 1 and its maximum at 254 (24 bits: at
    // entry N - 2 of an N-entry map); a uniform field maps to the maximum. 3 when FindMinMax
    // fails; 24 bits: Refused when N is 3 or less; else the result of
    // ConvertTo.
    [[nodiscard]] Result ConvertAutoScaleTo(Image3D8 &image) const;
    [[nodiscard]] Result ConvertAutoScaleTo(Image3D24 &image, const ColorMapRGBA8 &map) const;
    // The first plane into 32-bit pixels 0xffRRGGBB (a screen's own format), lines stride
    // pixels apart: the colours the 24-bit ConvertTo and ConvertAutoScaleTo give, in one pass
    // without a picture between. Results as theirs (nothing is resized).
    [[nodiscard]] Result ConvertToPixels(uint32_t *pixels, ptrdiff_t stride,
                                         const ColorMapRGBA8 &map, float scale, float offset) const;
    [[nodiscard]] Result ConvertAutoScaleToPixels(uint32_t *pixels, ptrdiff_t stride,
                                                  const ColorMapRGBA8 &map) const;
    // Picture to field, centred axis by axis: pixel = (p - (offset + 0.4999999999)) / scale.
    // Field pixels outside the picture keep their values. Done; ErrorState either store in
    // the error state; Empty either store empty; Refused scale 0.
    [[nodiscard]] Result InitFromImage(const Image3D8 &image, float scale, float offset);

private:
    // The scale and offset of the automatic conversions through map: Refused for a map of 3
    // entries or fewer, ErrorState when FindMinMax fails.
    Result AutoScaleFor(const ColorMapRGBA8 &map, float &scale, float &offset) const;
    // ErrorState, Empty, else Done.
    [[nodiscard]] Result StoreState() const;
    // Sizes and strides of the interior, for the plain loops of FieldStencils.
    FloatPlanes Planes() const;
    // The walk of both ConvertTo: results as theirs.
    template <int PixelBytes, typename Picture, typename Put>
    Result ConvertWith(Picture &image, float scale, float offset, Put put) const;

    float *PtrFirstPixel;
};
