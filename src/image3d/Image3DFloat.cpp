#include "image3d/Image3DFloat.h"

#include <cstring>
#include <vector>

#include "image3d/ColorMapRGBA8.h"
#include "image3d/FieldStencils.h"
#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "toolkit/RandomGenerator.h"

namespace {

// The picture index of a value before truncation: scale x v + (offset + 0.499), in double.
double IndexOf(float v, double scale, double roundedOffset) {
    return scale * double(v) + roundedOffset;
}

const unsigned char White[3] = {255, 255, 255};
const unsigned char Black[3] = {0, 0, 0};

// The colour of index t before truncation in a map of n entries: an entry i < n, n for white
// (above its last entry) or n + 1 for black (below 0, and NaN).
int ColourIndex(double t, int n) {
    if (t >= double(n)) return n;
    if (!(t > -1.0)) return n + 1;
    const int i = int(t);
    return i > n - 1 ? n : i;
}

// That colour (blue, green, red).
const unsigned char *ColourOf(double t, int n, const unsigned char *entries) {
    const int i = ColourIndex(t, n);
    return i < n ? entries + size_t(i) * 4 : i == n ? White : Black;
}

// One axis of InitFromImage: how many pixels to copy and where they start in each.
struct CentredSpan {
    int count, fieldStart, imageStart;
};

CentredSpan Centre(int fieldSize, int imageSize) {
    const int d = fieldSize - imageSize;
    if (d > 0) return {imageSize, d / 2, 0};
    return {fieldSize, 0, -d / 2};
}

}  // namespace

Image3DFloat::Image3DFloat(const char *name, unsigned short x, unsigned short y, unsigned short z,
                           unsigned short border)
    : GenImage3D(name, 4, 1, border), PtrFirstPixel(nullptr) {
    // A failed sizing leaves the image in its error state, which callers test.
    (void)SetNewSize(x, y, z);
}

Frame3D::SizeResult Image3DFloat::UpdateSize() {
    const SizeResult sized = GenImage3D::UpdateSize();
    if (sized == SizeResult::Failed) {
        PtrFirstPixel = nullptr;
        return SizeResult::Failed;
    }
    // An empty store of a 0 x 0 field without border gives the (null) store start.
    PtrFirstPixel = Data == nullptr ? nullptr : reinterpret_cast<float *>(Data) + InitOffset;
    return SizeResult::Done;
}

GenImage3D::Result Image3DFloat::StoreState() const {
    if (AllocationError) return ErrorState;
    if (DataSize == 0 || PtrFirstPixel == nullptr) return Empty;
    return Done;
}

void Image3DFloat::SetPixelValue(float value, unsigned short x, unsigned short y,
                                 unsigned short z) {
    if (StoreState() != Done || x >= SizeX || y >= SizeY || z >= SizeZ) return;
    PtrFirstPixel[z * PlaneOffset + y * LineOffset + x] = value;
}

float Image3DFloat::GetPixelValue(unsigned short x, unsigned short y, unsigned short z) const {
    if (StoreState() != Done || x >= SizeX || y >= SizeY || z >= SizeZ) return 0.0f;
    return PtrFirstPixel[z * PlaneOffset + y * LineOffset + x];
}

FloatPlanes Image3DFloat::Planes() const {
    FloatPlanes planes;
    planes.SizeX = SizeX;
    planes.SizeY = SizeY;
    planes.SizeZ = SizeZ;
    planes.LineOffset = LineOffset;
    planes.PlaneOffset = PlaneOffset;
    return planes;
}

GenImage3D::Result Image3DFloat::PeriodiseBorderXY1() {
    if (AllocationError || BorderSize != 1) return ErrorState;
    if (StoreState() != Done) return Empty;
    if (SizeX == 0 || SizeY == 0) return Done;
    PeriodiseBorder1(PtrFirstPixel, Planes());
    return Done;
}

GenImage3D::Result Image3DFloat::InitRandomNoise(float mean, float amplitude) {
    const Result state = StoreState();
    if (state != Done) return state;
    const double a = double(mean) - double(amplitude);
    const double w = 2.0 * double(amplitude);
    float *p = PtrFirstPixel;
    for (int z = 0; z < SizeZ; ++z) {
        for (int y = 0; y < SizeY; ++y) {
            for (int x = 0; x < SizeX; ++x) {
                const double r = RandomGenerator::Rand();
                *p++ = float(r * w / 32767.0 + a);
            }
            p += LineBorderOffset;
        }
        p += PlaneBorderOffset;
    }
    return Done;
}

GenImage3D::Result Image3DFloat::FastConvolution2D9(double centre, double neighbour) {
    const Result state = StoreState();
    if (state != Done) return state;
    if (BorderSize == 0) return Refused;
    NinePointFilter(PtrFirstPixel, Planes(), centre, neighbour);
    return Done;
}

GenImage3D::Result Image3DFloat::FastConvolution2D9NCEN() {
    const Result state = StoreState();
    if (state != Done) return state;
    if (BorderSize == 0) return Refused;
    NinePointMean(PtrFirstPixel, Planes());
    return Done;
}

GenImage3D::Result Image3DFloat::FindMinMax(double &minimum, double &maximum) const {
    if (StoreState() != Done || PixelCount == 0) return ErrorState;
    // Four vectors of lanes (the compiler's generic vectors: SSE at least): each lane sees
    // every sixteenth value of a line, and a value replaces a lane's limit only when it lies
    // beyond it, so that NaN is passed over (unless the first value is NaN) as one running pair
    // of limits passes it over. Which of 0 and -0 is kept may differ; neither changes a scale.
    typedef float Lane4 __attribute__((vector_size(16)));
    constexpr int Width = 4;
    constexpr int Vectors = 4;
    const float first = *PtrFirstPixel;
    Lane4 low[Vectors], high[Vectors];
    for (int k = 0; k < Vectors; ++k) low[k] = high[k] = Lane4{first, first, first, first};
    float lowest = first;
    float highest = first;
    const float *plane = PtrFirstPixel;
    for (int z = 0; z < SizeZ; ++z, plane += PlaneOffset) {
        for (int y = 0; y < SizeY; ++y) {
            const float *line = plane + ptrdiff_t(y) * LineOffset;
            int x = 0;
            for (; x + Width * Vectors <= SizeX; x += Width * Vectors) {
                for (int k = 0; k < Vectors; ++k) {
                    Lane4 v;
                    std::memcpy(&v, line + x + Width * k, sizeof v);
                    low[k] = v < low[k] ? v : low[k];
                    high[k] = v > high[k] ? v : high[k];
                }
            }
            for (; x < SizeX; ++x) {
                const float v = line[x];
                lowest = v < lowest ? v : lowest;
                highest = v > highest ? v : highest;
            }
        }
    }
    for (int k = 0; k < Vectors; ++k) {
        for (int i = 0; i < Width; ++i) {
            lowest = low[k][i] < lowest ? low[k][i] : lowest;
            highest = high[k][i] > highest ? high[k][i] : highest;
        }
    }
    minimum = lowest;
    maximum = highest;
    return Done;
}

Image3DFloat::Overflow Image3DFloat::NumericOverflowDetected(double /*limit*/) const {
    const Result state = StoreState();
    if (state == ErrorState) return Overflow::ErrorState;
    if (state == Empty) return Overflow::None;
    const float *p = PtrFirstPixel;
    for (int z = 0; z < SizeZ; ++z) {
        for (int y = 0; y < SizeY; ++y) {
            if (LineHoldsNaN(p, SizeX)) return Overflow::Found;
            p += SizeX + LineBorderOffset;
        }
        p += PlaneBorderOffset;
    }
    return Overflow::None;
}

// The walk both conversions share: put(pixel, t) writes the picture pixel of the field value
// whose index before truncation is t.
template <int PixelBytes, typename Picture, typename Put>
GenImage3D::Result Image3DFloat::ConvertWith(Picture &image, float scale, float offset,
                                             Put put) const {
    const Result state = StoreState();
    if (state != Done) return state;
    if (image.Clone(*this) == SizeResult::Failed) return Refused;
    if (PixelCount == 0 || image.GetPtrFirstPixel() == nullptr) return Done;
    const double s = scale;
    const double o = double(offset) + 0.499;
    const float *from = PtrFirstPixel;
    unsigned char *planeTo = image.GetPtrFirstPixel();
    for (int z = 0; z < SizeZ; ++z, planeTo += image.GetPlaneOffset()) {
        unsigned char *lineTo = planeTo;
        for (int y = 0; y < SizeY; ++y, lineTo += image.GetLineOffset()) {
            for (int x = 0; x < SizeX; ++x) {
                put(lineTo + size_t(x) * PixelBytes, IndexOf(*from++, s, o));
            }
            from += LineBorderOffset;
        }
        from += PlaneBorderOffset;
    }
    return Done;
}

GenImage3D::Result Image3DFloat::ConvertTo(Image3D8 &image, float scale, float offset) const {
    const Result state = StoreState();
    if (state != Done) return state;
    if (image.Clone(*this) == SizeResult::Failed) return Refused;
    if (PixelCount == 0 || image.GetPtrFirstPixel() == nullptr) return Done;
    // Limits are tested before the truncation, which would be undefined for NaN and huge values:
    // t >= 256 truncates above 255, t <= -1 below 0. Four points at a time in the compiler's
    // generic vectors, each with the arithmetic of one: the same bytes.
    typedef float Float4 __attribute__((vector_size(16)));
    typedef double Double4 __attribute__((vector_size(32)));
    typedef int32_t Int4 __attribute__((vector_size(16)));
    const double s = scale;
    const double o = double(offset) + 0.499;
    auto index = [s, o](float v) -> unsigned char {
        const double t = IndexOf(v, s, o);
        if (t >= 256.0) return 255;
        return t > -1.0 ? static_cast<unsigned char>(int(t)) : 0;
    };
    const float *plane = PtrFirstPixel;
    unsigned char *planeTo = image.GetPtrFirstPixel();
    for (int z = 0; z < SizeZ; ++z, plane += PlaneOffset, planeTo += image.GetPlaneOffset()) {
        for (int y = 0; y < SizeY; ++y) {
            const float *from = plane + ptrdiff_t(y) * LineOffset;
            unsigned char *to = planeTo + ptrdiff_t(y) * image.GetLineOffset();
            int x = 0;
            for (; x + 4 <= SizeX; x += 4) {
                Float4 v;
                std::memcpy(&v, from + x, sizeof v);
                const Double4 t = s * __builtin_convertvector(v, Double4) + o;
                const Double4 inRange = t > -1.0 ? t : Double4{} + 0.0;
                const Double4 limited = t >= 256.0 ? Double4{} + 255.0 : inRange;
                const Int4 i = __builtin_convertvector(limited, Int4);
                for (int k = 0; k < 4; ++k) to[x + k] = static_cast<unsigned char>(i[k]);
            }
            for (; x < SizeX; ++x) to[x] = index(from[x]);
        }
    }
    return Done;
}

GenImage3D::Result Image3DFloat::ConvertTo(Image3D24 &image, const ColorMapRGBA8 &map, float scale,
                                           float offset) const {
    const int n = map.GetColorCount();
    const unsigned char *entries = map.GetPtrFirstEntry();
    return ConvertWith<3>(image, scale, offset, [n, entries](unsigned char *pixel, double t) {
        std::memcpy(pixel, ColourOf(t, n, entries), 3);
    });
}

GenImage3D::Result Image3DFloat::ConvertToPixels(uint32_t *pixels, ptrdiff_t stride,
                                                 const ColorMapRGBA8 &map, float scale,
                                                 float offset) const {
    const Result state = StoreState();
    if (state != Done) return state;
    if (PixelCount == 0 || pixels == nullptr) return Done;
    const int n = map.GetColorCount();
    const unsigned char *entries = map.GetPtrFirstEntry();
    // Every colour once as a pixel (white and black after the entries), then one look-up per
    // point.
    std::vector<uint32_t> colours(size_t(n) + 2);
    auto pixel = [](const unsigned char *c) {
        return 0xff000000u | uint32_t(c[2]) << 16 | uint32_t(c[1]) << 8 | uint32_t(c[0]);
    };
    for (int i = 0; i < n; ++i) colours[size_t(i)] = pixel(entries + size_t(i) * 4);
    colours[size_t(n)] = pixel(White);
    colours[size_t(n) + 1] = pixel(Black);
    const double s = scale;
    const double o = double(offset) + 0.499;
    for (int y = 0; y < SizeY; ++y) {
        const float *from = PtrFirstPixel + ptrdiff_t(y) * LineOffset;
        uint32_t *to = pixels + ptrdiff_t(y) * stride;
        for (int x = 0; x < SizeX; ++x)
            to[x] = colours[size_t(ColourIndex(IndexOf(from[x], s, o), n))];
    }
    return Done;
}

GenImage3D::Result Image3DFloat::ConvertAutoScaleTo(Image3D8 &image) const {
    double minimum = 0.0;
    double maximum = 0.0;
    if (FindMinMax(minimum, maximum) != Done) return ErrorState;
    if (minimum == maximum) minimum -= 1.0;
    const float scale = float(253.0 / (maximum - minimum));
    const float offset = float(1.0 - minimum * double(scale));
    return ConvertTo(image, scale, offset);
}

GenImage3D::Result Image3DFloat::ConvertAutoScaleTo(Image3D24 &image,
                                                    const ColorMapRGBA8 &map) const {
    float scale = 0.0f;
    float offset = 0.0f;
    const Result scaled = AutoScaleFor(map, scale, offset);
    if (scaled != Done) return scaled;
    return ConvertTo(image, map, scale, offset);
}

GenImage3D::Result Image3DFloat::ConvertAutoScaleToPixels(uint32_t *pixels, ptrdiff_t stride,
                                                          const ColorMapRGBA8 &map) const {
    float scale = 0.0f;
    float offset = 0.0f;
    const Result scaled = AutoScaleFor(map, scale, offset);
    if (scaled != Done) return scaled;
    return ConvertToPixels(pixels, stride, map, scale, offset);
}

GenImage3D::Result Image3DFloat::AutoScaleFor(const ColorMapRGBA8 &map, float &scale,
                                              float &offset) const {
    const int n = map.GetColorCount();
    if (n <= 3) return Refused;
    double minimum = 0.0;
    double maximum = 0.0;
    if (FindMinMax(minimum, maximum) != Done) return ErrorState;
    if (minimum == maximum) minimum -= 1.0;
    scale = float(double(n - 3) / (maximum - minimum));
    offset = float(1.0 - minimum * double(scale));
    return Done;
}

GenImage3D::Result Image3DFloat::InitFromImage(const Image3D8 &image, float scale, float offset) {
    if (AllocationError || image.HasAllocationError()) return ErrorState;
    if (StoreState() != Done || image.GetDataSize() == 0 || image.GetPtrFirstPixel() == nullptr) {
        return Empty;
    }
    if (scale == 0.0f) return Refused;
    const double shift = double(offset) + 0.4999999999;
    const double inverse = 1.0 / double(scale);
    const CentredSpan sx = Centre(SizeX, image.GetSizeX());
    const CentredSpan sy = Centre(SizeY, image.GetSizeY());
    const CentredSpan sz = Centre(SizeZ, image.GetSizeZ());
    for (int k = 0; k < sz.count; ++k) {
        for (int j = 0; j < sy.count; ++j) {
            float *to = PtrFirstPixel + (sz.fieldStart + k) * PlaneOffset +
                        (sy.fieldStart + j) * LineOffset + sx.fieldStart;
            const unsigned char *from = image.GetPtrFirstPixel() +
                                        size_t(sz.imageStart + k) * size_t(image.GetPlaneOffset()) +
                                        size_t(sy.imageStart + j) * size_t(image.GetLineOffset()) +
                                        size_t(sx.imageStart);
            for (int i = 0; i < sx.count; ++i) to[i] = float((double(from[i]) - shift) * inverse);
        }
    }
    return Done;
}
