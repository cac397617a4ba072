// Image3DFloat: the concentration field of one chemical component, 32-bit floats with a
// one-pixel periodic border; owns its pixel store and carries the whole-field numerical kernels.
#pragma once

#include "image3d/GenImage3D.h"

class ColorMapRGBA8;
struct FloatPlanes;
class Image3D8;
class Image3D24;

class Image3DFloat : public GenImage3D {
public:
    // Base GenImage3D(name, 4, 1, border), then SetNewSize(x, y, z).
    Image3DFloat(const char *name, unsigned short x, unsigned short y, unsigned short z,
                 unsigned short border);
    ~Image3DFloat() override = default;

    // Base layout and store sizing, then PtrFirstPixel = Data + InitOffset floats: 1 (store
    // sizing 1 or 4); 0 and PtrFirstPixel null on failure.
    [[nodiscard]] int UpdateSize() override;
    float *GetPtrFirstPixel() const { return PtrFirstPixel; }
    // Stores value at interior pixel (x, y, z); a position outside the interior writes nothing.
    void SetPixelValue(float value, unsigned short x, unsigned short y, unsigned short z);
    // Interior pixel (x, y, z); 0 for a position outside the interior or a field without store.
    float GetPixelValue(unsigned short x, unsigned short y, unsigned short z) const;

    // Copies the opposite edges into the one-pixel border ring, corners diagonally, so the field
    // is a torus: 1; 3 error state or BorderSize not 1 (nothing written); 4 empty.
    [[nodiscard]] int PeriodiseBorderXY1();
    // Uniform noise r x (2 amplitude) / 32767 + (mean - amplitude), r drawn from
    // RandomGenerator::Rand() per interior pixel in walk order: 1; 3; 4.
    [[nodiscard]] int InitRandomNoise(float mean, float amplitude);
    // In place: pixel = centre x itself + neighbour x (sum of its 8 neighbours), reading the
    // border as it stands and leaving a copy of the old last line in border line -1:
    // 1; 3; 4; 0 when BorderSize is 0.
    [[nodiscard]] int FastConvolution2D9(double centre, double neighbour);
    // In place: pixel = mean of its 8 neighbours, itself not counted. Results as above.
    [[nodiscard]] int FastConvolution2D9NCEN();
    // Smallest and largest interior value (NaN pixels passed over unless the first is NaN):
    // 1; 3 error state or empty.
    [[nodiscard]] int FindMinMax(double &minimum, double &maximum) const;
    // 1 when some interior pixel is NaN, else 0; 3 error state; 0 empty. limit is not used:
    // infinities compare equal to themselves and soon turn into NaN in the reaction steps.
    [[nodiscard]] int NumericOverflowDetected(double limit) const;

    // Field to picture. Index i = trunc(scale x v + (offset + 0.499)) per interior pixel, in
    // double. The picture is resized to the field (keeping its border) and its palette is not
    // touched. 8 bits: pixel = i limited to 0 .. 255. 24 bits: map entry i (blue, green, red),
    // white above the map's last entry, black below 0. NaN counts as below 0.
    // 1; 3 field in the error state; 4 field empty; 0 the picture could not be resized.
    [[nodiscard]] int ConvertTo(Image3D8 &image, float scale, float offset) const;
    [[nodiscard]] int ConvertTo(Image3D24 &image, const ColorMapRGBA8 &map, float scale,
                                float offset) const;
    // As ConvertTo with the field's minimum at index 1 and its maximum at 254 (24 bits: at
    // entry N - 2 of an N-entry map); a uniform field maps to the maximum. 3 when FindMinMax
    // fails; 24 bits: 0 when N is 3 or less; else the result of ConvertTo.
    [[nodiscard]] int ConvertAutoScaleTo(Image3D8 &image) const;
    [[nodiscard]] int ConvertAutoScaleTo(Image3D24 &image, const ColorMapRGBA8 &map) const;
    // Picture to field, centred axis by axis: pixel = (p - (offset + 0.4999999999)) / scale.
    // Field pixels outside the picture keep their values. 1; 3 either store in the error
    // state; 4 either store empty; 0 scale 0.
    [[nodiscard]] int InitFromImage(const Image3D8 &image, float scale, float offset);

private:
    // 3 error state, 4 empty, else 1.
    [[nodiscard]] int StoreState() const;
    // Sizes and strides of the interior, for the plain loops of FieldStencils.
    FloatPlanes Planes() const;
    // The walk of both ConvertTo: results as theirs.
    template <int PixelBytes, typename Picture, typename Put>
    int ConvertWith(Picture &image, float scale, float offset, Put put) const;

    float *PtrFirstPixel;
};
