#include "image3d/FieldStencils.h"

namespace {

// The walk both filters share. newValue(S9, c) gives the new value of a pixel from the sum of
// its 3 x 3 block and its own old value, both in double.
//
// In place with one scratch line: border line -1 of the plane always holds the old values of
// the line above the one being written. The column sum at x + 1 is formed (and the scratch
// updated with line y's old value at x + 1) before pixel x is stored, so every sum sees old
// values only. Column sums are (above + same) + below, S9 is (left + middle) + right: the
// fast kernels add in this order too, so the bits agree.
template <typename NewValue>
void Filter9InPlace(float *firstPixel, const FloatPlanes &planes, NewValue newValue) {
    const ptrdiff_t lineOffset = planes.LineOffset;
    for (int32_t z = 0; z < planes.SizeZ; ++z) {
        float *plane = firstPixel + ptrdiff_t(z) * planes.PlaneOffset;
        float *scratch = plane - lineOffset;
        for (int32_t y = 0; y < planes.SizeY; ++y) {
            float *line = plane + ptrdiff_t(y) * lineOffset;
            const float *below = line + lineOffset;
            auto columnSum = [&](ptrdiff_t x) {
                const double sum = (double(scratch[x]) + double(line[x])) + double(below[x]);
                scratch[x] = line[x];
                return sum;
            };
            double left = columnSum(-1);
            double middle = columnSum(0);
            for (int32_t x = 0; x < planes.SizeX; ++x) {
                const double right = columnSum(x + 1);
                // line[x] is still old: it is the one value this iteration writes.
                line[x] = float(newValue((left + middle) + right, double(line[x])));
                left = middle;
                middle = right;
            }
        }
    }
}

}  // namespace

void PeriodiseBorder1(float *firstPixel, const FloatPlanes &planes) {
    const ptrdiff_t lineOffset = planes.LineOffset;
    const int32_t sx = planes.SizeX, sy = planes.SizeY;
    for (int32_t z = planes.SizeZ - 1; z >= 0; --z) {
        float *plane = firstPixel + ptrdiff_t(z) * planes.PlaneOffset;
        float *top = plane - lineOffset;                     // border line -1
        float *bottom = plane + ptrdiff_t(sy) * lineOffset;  // border line SizeY
        for (int32_t x = 0; x < sx; ++x) {
            bottom[x] = plane[x];
            top[x] = plane[ptrdiff_t(sy - 1) * lineOffset + x];
        }
        // The columns last, border lines included, so each corner takes the opposite corner.
        for (int32_t y = -1; y <= sy; ++y) {
            float *line = plane + ptrdiff_t(y) * lineOffset;
            line[-1] = line[sx - 1];
            line[sx] = line[0];
        }
    }
}

void NinePointFilter(float *firstPixel, const FloatPlanes &planes, double centre,
                     double neighbour) {
    const double k = centre - neighbour;
    Filter9InPlace(firstPixel, planes,
                   [neighbour, k](double s9, double c) { return neighbour * s9 + k * c; });
}

void NinePointMean(float *firstPixel, const FloatPlanes &planes) {
    Filter9InPlace(firstPixel, planes, [](double s9, double c) { return (s9 - c) * 0.125; });
}
