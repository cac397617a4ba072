#include "image3d/Image3DFloat.h"

#include <cstring>

#include "image3d/ColorMapRGBA8.h"
#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "toolkit/RandomGenerator.h"

namespace {

// The picture index of a value before truncation: scale x v + (offset + 0.499), in double.
double IndexOf(float v, double scale, double roundedOffset) {
    return scale * double(v) + roundedOffset;
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

int Image3DFloat::UpdateSize() {
    const int sized = GenImage3D::UpdateSize();
    if (sized != MemoryTable::Done && sized != MemoryTable::NothingToDo) {
        PtrFirstPixel = nullptr;
        return Refused;
    }
    // An empty store of a 0 x 0 field without border gives the (null) store start.
    PtrFirstPixel = Data == nullptr ? nullptr : reinterpret_cast<float *>(Data) + InitOffset;
    return Done;
}

int Image3DFloat::StoreState() const {
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

int Image3DFloat::PeriodiseBorderXY1() {
    if (AllocationError || BorderSize != 1) return ErrorState;
    if (StoreState() != Done) return Empty;
    if (SizeX == 0 || SizeY == 0) return Done;
    const int sx = SizeX;
    const int sy = SizeY;
    for (int z = SizeZ - 1; z >= 0; --z) {
        float *first = PtrFirstPixel + z * PlaneOffset;  // pixel (0, 0) of the plane
        float *lastLine = first + (sy - 1) * LineOffset;
        float *lineAbove = first - LineOffset;       // border line -1
        float *lineBelow = first + sy * LineOffset;  // border line SizeY
        for (int x = 0; x < sx; ++x) {
            lineBelow[x] = first[x];
            lineAbove[x] = lastLine[x];
        }
        // The border lines are included, so each corner takes the diagonally opposite pixel.
        for (float *line = lineAbove; line <= lineBelow; line += LineOffset) {
            line[-1] = line[sx - 1];
            line[sx] = line[0];
        }
    }
    return Done;
}

int Image3DFloat::InitRandomNoise(float mean, float amplitude) {
    const int state = StoreState();
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

// Both filters walk one plane at a time, line by line, with rolling 3-pixel column sums. Border
// line -1 is the scratch line: while line y is processed it holds the old values of line y - 1,
// and each old value of line y is moved into it just after its column sum has been formed and
// before any new value that would need it is stored. Column sums are (above + same) + below,
// the 3 x 3 sum S9 is (left + middle) + right, all in double, rounded to float once.
int Image3DFloat::FastConvolution2D9(double centre, double neighbour) {
    const int state = StoreState();
    if (state != Done) return state;
    if (BorderSize == 0) return Refused;
    const double k = centre - neighbour;
    const int sx = SizeX;
    for (int z = 0; z < SizeZ; ++z) {
        float *first = PtrFirstPixel + z * PlaneOffset;
        float *scratch = first - LineOffset;
        for (int y = 0; y < SizeY; ++y) {
            float *line = first + y * LineOffset;
            const float *below = line + LineOffset;
            double left = (double(scratch[-1]) + double(line[-1])) + double(below[-1]);
            scratch[-1] = line[-1];
            double middle = (double(scratch[0]) + double(line[0])) + double(below[0]);
            scratch[0] = line[0];
            for (int x = 0; x < sx; ++x) {
                const double right =
                    (double(scratch[x + 1]) + double(line[x + 1])) + double(below[x + 1]);
                scratch[x + 1] = line[x + 1];
                const double c = line[x];
                const double s9 = (left + middle) + right;
                line[x] = float(neighbour * s9 + k * c);
                left = middle;
                middle = right;
            }
        }
    }
    return Done;
}

int Image3DFloat::FastConvolution2D9NCEN() {
    const int state = StoreState();
    if (state != Done) return state;
    if (BorderSize == 0) return Refused;
    const int sx = SizeX;
    for (int z = 0; z < SizeZ; ++z) {
        float *first = PtrFirstPixel + z * PlaneOffset;
        float *scratch = first - LineOffset;
        for (int y = 0; y < SizeY; ++y) {
            float *line = first + y * LineOffset;
            const float *below = line + LineOffset;
            double left = (double(scratch[-1]) + double(line[-1])) + double(below[-1]);
            scratch[-1] = line[-1];
            double middle = (double(scratch[0]) + double(line[0])) + double(below[0]);
            scratch[0] = line[0];
            for (int x = 0; x < sx; ++x) {
                const double right =
                    (double(scratch[x + 1]) + double(line[x + 1])) + double(below[x + 1]);
                scratch[x + 1] = line[x + 1];
                const double c = line[x];
                const double s9 = (left + middle) + right;
                line[x] = float((s9 - c) * 0.125);
                left = middle;
                middle = right;
            }
        }
    }
    return Done;
}

int Image3DFloat::FindMinMax(double &minimum, double &maximum) const {
    if (StoreState() != Done || PixelCount == 0) return ErrorState;
    float low = *PtrFirstPixel;
    float high = low;
    const float *p = PtrFirstPixel;
    for (int z = 0; z < SizeZ; ++z) {
        for (int y = 0; y < SizeY; ++y) {
            for (int x = 0; x < SizeX; ++x) {
                const float v = *p++;
                if (v > high) {
                    high = v;
                } else if (v < low) {
                    low = v;
                }
            }
            p += LineBorderOffset;
        }
        p += PlaneBorderOffset;
    }
    minimum = low;
    maximum = high;
    return Done;
}

int Image3DFloat::NumericOverflowDetected(double /*limit*/) const {
    const int state = StoreState();
    if (state == ErrorState) return ErrorState;
    if (state == Empty) return 0;
    const float *p = PtrFirstPixel;
    for (int z = 0; z < SizeZ; ++z) {
        for (int y = 0; y < SizeY; ++y) {
            // A whole line without an early exit, so that the compiler vectorises the test;
            // the answer is the same.
            int found = 0;
            for (int x = 0; x < SizeX; ++x) found |= p[x] != p[x];  // NaN is unequal to itself
            if (found != 0) return 1;
            p += SizeX + LineBorderOffset;
        }
        p += PlaneBorderOffset;
    }
    return 0;
}

int Image3DFloat::ConvertTo(Image3D8 &image, float scale, float offset) const {
    const int state = StoreState();
    if (state != Done) return state;
    if (image.Clone(*this) != Done) return Refused;
    if (PixelCount == 0 || image.GetPtrFirstPixel() == nullptr) return Done;
    const double s = scale;
    const double o = double(offset) + 0.499;
    const float *from = PtrFirstPixel;
    unsigned char *planeTo = image.GetPtrFirstPixel();
    for (int z = 0; z < SizeZ; ++z, planeTo += image.GetPlaneOffset()) {
        unsigned char *lineTo = planeTo;
        for (int y = 0; y < SizeY; ++y, lineTo += image.GetLineOffset()) {
            for (int x = 0; x < SizeX; ++x) {
                const double t = IndexOf(*from++, s, o);
                // Limits are tested before the truncation, which would be undefined for NaN
                // and huge values: t >= 256 truncates above 255, t <= -1 below 0.
                unsigned char index = 0;
                if (t >= 256.0) {
                    index = 255;
                } else if (t > -1.0) {
                    index = static_cast<unsigned char>(int(t));
                }
                lineTo[x] = index;
            }
            from += LineBorderOffset;
        }
        from += PlaneBorderOffset;
    }
    return Done;
}

int Image3DFloat::ConvertTo(Image3D24 &image, const ColorMapRGBA8 &map, float scale,
                            float offset) const {
    const int state = StoreState();
    if (state != Done) return state;
    if (image.Clone(*this) != Done) return Refused;
    if (PixelCount == 0 || image.GetPtrFirstPixel() == nullptr) return Done;
    const int n = map.GetColorCount();
    const unsigned char *entries = map.GetPtrFirstEntry();
    static const unsigned char white[3] = {255, 255, 255};
    static const unsigned char black[3] = {0, 0, 0};
    const double s = scale;
    const double o = double(offset) + 0.499;
    const float *from = PtrFirstPixel;
    unsigned char *planeTo = image.GetPtrFirstPixel();
    for (int z = 0; z < SizeZ; ++z, planeTo += image.GetPlaneOffset()) {
        unsigned char *lineTo = planeTo;
        for (int y = 0; y < SizeY; ++y, lineTo += image.GetLineOffset()) {
            for (int x = 0; x < SizeX; ++x) {
                const double t = IndexOf(*from++, s, o);
                const unsigned char *colour = black;  // below 0, and NaN
                if (t >= double(n)) {
                    colour = white;
                } else if (t > -1.0) {
                    const int i = int(t);
                    colour = i > n - 1 ? white : entries + size_t(i) * 4;
                }
                std::memcpy(lineTo + size_t(x) * 3, colour, 3);
            }
            from += LineBorderOffset;
        }
        from += PlaneBorderOffset;
    }
    return Done;
}

int Image3DFloat::ConvertAutoScaleTo(Image3D8 &image) const {
    double minimum = 0.0;
    double maximum = 0.0;
    if (FindMinMax(minimum, maximum) != Done) return ErrorState;
    if (minimum == maximum) minimum -= 1.0;
    const float scale = float(253.0 / (maximum - minimum));
    const float offset = float(1.0 - minimum * double(scale));
    return ConvertTo(image, scale, offset);
}

int Image3DFloat::ConvertAutoScaleTo(Image3D24 &image, const ColorMapRGBA8 &map) const {
    const int n = map.GetColorCount();
    if (n <= 3) return Refused;
    double minimum = 0.0;
    double maximum = 0.0;
    if (FindMinMax(minimum, maximum) != Done) return ErrorState;
    if (minimum == maximum) minimum -= 1.0;
    const float scale = float(double(n - 3) / (maximum - minimum));
    const float offset = float(1.0 - minimum * double(scale));
    return ConvertTo(image, map, scale, offset);
}

int Image3DFloat::InitFromImage(const Image3D8 &image, float scale, float offset) {
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
