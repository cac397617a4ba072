#include "rdsimul/kernels/ReferenceKernels.h"

#include <cmath>
#include <cstddef>

namespace {

// Calls visit(offset) for every interior pixel in store order (planes, lines, pixels); offset
// counts floats from pixel (0, 0, 0) and is the same for every field of the layout.
template <typename Visit>
void WalkInterior(const FieldLayout &layout, Visit visit) {
    for (int32_t z = 0; z < layout.SizeZ; ++z) {
        for (int32_t y = 0; y < layout.SizeY; ++y) {
            const ptrdiff_t line =
                ptrdiff_t(z) * layout.PlaneOffset + ptrdiff_t(y) * layout.LineOffset;
            for (int32_t x = 0; x < layout.SizeX; ++x) visit(line + x);
        }
    }
}

// The shared walk of both nine-point filters. newValue(S9, c) gives the new value of a pixel from
// the sum of its 3 x 3 block and its own old value, both in double.
//
// In place with one scratch line: border line -1 of the plane always holds the old values of
// the line above the one being written. The column sum at x + 1 is formed (and the scratch
// updated with line y's old value at x + 1) before pixel x is stored, so every sum sees old
// values only.
template <typename NewValue>
void Convolve9InPlace(float *firstPixel, const FieldLayout &layout, NewValue newValue) {
    const ptrdiff_t lineOffset = layout.LineOffset;
    for (int32_t z = 0; z < layout.SizeZ; ++z) {
        float *plane = firstPixel + ptrdiff_t(z) * layout.PlaneOffset;
        float *scratch = plane - lineOffset;
        for (int32_t y = 0; y < layout.SizeY; ++y) {
            float *line = plane + ptrdiff_t(y) * lineOffset;
            const float *below = line + lineOffset;
            // Column sum at x: (above + same line) + below.
            auto columnSum = [&](ptrdiff_t x) {
                const double sum = (double(scratch[x]) + double(line[x])) + double(below[x]);
                scratch[x] = line[x];
                return sum;
            };
            double left = columnSum(-1);
            double middle = columnSum(0);
            for (int32_t x = 0; x < layout.SizeX; ++x) {
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

const KernelSet &ReferenceKernels() {
#define VORNA_REFERENCE_KERNEL(Id, ...) Reference##Id,
    static const KernelSet set = {"reference",
                                  {VORNA_REACTION_MODELS(VORNA_REFERENCE_KERNEL)},
                                  ReferenceDiffusion,
                                  nullptr};
#undef VORNA_REFERENCE_KERNEL
    return set;
}

void ReferenceSchlogl(float *const *fields, const FieldLayout &layout, const ReactionConstants &k) {
    float *fa = fields[0];
    const double kA = k.Strength[0];
    WalkInterior(layout, [&](ptrdiff_t o) {
        const double a = fa[o];
        const double f = ((-0.030625 * a + 0.07125) * a - 0.039) * a + 0.002;
        // The increment is rounded to float and added in float.
        const float increment = float(kA * f);
        fa[o] = fa[o] + increment;
    });
}

void ReferenceGinzburgLandau(float *const *fields, const FieldLayout &layout,
                             const ReactionConstants &k) {
    float *fa = fields[0];
    float *fb = fields[1];
    const double kA = k.Strength[0], kB = k.Strength[1];
    WalkInterior(layout, [&](ptrdiff_t o) {
        const double a = fa[o], b = fb[o];
        const double r = a * a + b * b;
        fa[o] = float(a + kA * (k.Alpha * a - k.Gamma * b + r * (k.Delta * b - a)));
        fb[o] = float(b + kB * (k.Alpha * b + k.Gamma * a - r * (b + k.Delta * a)));
    });
}

void ReferenceGinzburgLandauDer1(float *const *fields, const FieldLayout &layout,
                                 const ReactionConstants &k) {
    float *fa = fields[0];
    float *fb = fields[1];
    float *fc = fields[2];
    const double kA = k.Strength[0], kB = k.Strength[1], kC = k.Strength[2];
    WalkInterior(layout, [&](ptrdiff_t o) {
        const double a = fa[o], b = fb[o], c = fc[o];
        const double r = a * a + b * b + c * c;
        fa[o] = float(a + kA * (k.Alpha * a - k.Gamma * b + r * (k.Delta * b - a)));
        fb[o] = float(b + kB * (k.Alpha * b + k.Gamma * a - r * (b + k.Delta * a)));
        fc[o] = float(c + kC * (2.0 * a - b - c));
    });
}

void ReferenceGinzburgLandauDer2(float *const *fields, const FieldLayout &layout,
                                 const ReactionConstants &k) {
    float *fa = fields[0];
    float *fb = fields[1];
    float *fc = fields[2];
    float *fd = fields[3];
    const double kA = k.Strength[0], kB = k.Strength[1], kC = k.Strength[2], kD = k.Strength[3];
    WalkInterior(layout, [&](ptrdiff_t o) {
        const double a = fa[o], b = fb[o], c = fc[o], d = fd[o];
        const double r = a * a + b * b + c * c + d * d;
        fa[o] = float(a + kA * (k.A1 * b - k.A2 * d + r * (k.B2 * b - k.B1 * a)));
        fb[o] = float(b + kB * (k.A1 * a + k.A2 * c - r * (k.B1 * b + k.B2 * a)));
        fc[o] = float(c + kC * (k.C1 * a - k.C2 * d + r * (k.D2 * d - k.D1 * c)));
        fd[o] = float(d + kD * (k.C1 * c + k.C2 * b - r * (k.D1 * d + k.D2 * c)));
    });
}

void ReferenceMaginu(float *const *fields, const FieldLayout &layout, const ReactionConstants &k) {
    float *fa = fields[0];
    float *fb = fields[1];
    const double g = k.Strength[0] / k.C;  // infinite when "c" is 0: the run then overflows
    const double kB = k.Strength[1];
    WalkInterior(layout, [&](ptrdiff_t o) {
        const double a = fa[o], b = fb[o];
        fa[o] = float(a + g * (a - a * a * a / 3.0 - b));
        fb[o] = float(b + kB * (a - k.K * b));
    });
}

void ReferenceMaginuDer1(float *const *fields, const FieldLayout &layout,
                         const ReactionConstants &k) {
    float *fa = fields[0];
    float *fb = fields[1];
    const double g = k.Strength[0] / k.C;
    const double kB = k.Strength[1];
    WalkInterior(layout, [&](ptrdiff_t o) {
        const double a = fa[o], b = fb[o];
        fa[o] = float(a + g * (a - a * a * a / 3.0 - b + k.D * std::sin(k.P * b)));
        fb[o] = float(b + kB * (a - k.K * b + k.E * std::sin(k.P * a)));
    });
}

void ReferenceBrusselator(float *const *fields, const FieldLayout &layout,
                          const ReactionConstants &k) {
    float *fa = fields[0];
    float *fb = fields[1];
    const double kA = k.Strength[0], kB = k.Strength[1];
    WalkInterior(layout, [&](ptrdiff_t o) {
        const double a = fa[o], b = fb[o];
        const double x = a * (k.Beta - a * b);
        fa[o] = float(a + kA * (k.Alpha - a - x));
        fb[o] = float(b + kB * x);
    });
}

void ReferenceBrusselatorDer1(float *const *fields, const FieldLayout &layout,
                              const ReactionConstants &k) {
    float *fa = fields[0];
    float *fb = fields[1];
    const double kA = k.Strength[0], kB = k.Strength[1];
    WalkInterior(layout, [&](ptrdiff_t o) {
        const double a = fa[o], b = fb[o];
        const double x = a * (k.Beta - a * b);
        fa[o] = float(a + kA * (k.Alpha - x - a * (k.Gamma * a * a * a + 1.0)));
        fb[o] = float(b + kB * x);
    });
}

void ReferencePeriodiseBorder(float *firstPixel, const FieldLayout &layout) {
    const ptrdiff_t lineOffset = layout.LineOffset;
    const int32_t sx = layout.SizeX, sy = layout.SizeY;
    for (int32_t z = layout.SizeZ - 1; z >= 0; --z) {
        float *plane = firstPixel + ptrdiff_t(z) * layout.PlaneOffset;
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

void ReferenceConvolve9(float *firstPixel, const FieldLayout &layout, double centre,
                        double neighbour) {
    const double k = centre - neighbour;
    Convolve9InPlace(firstPixel, layout,
                     [neighbour, k](double s9, double c) { return neighbour * s9 + k * c; });
}

void ReferenceConvolve9NoCentre(float *firstPixel, const FieldLayout &layout) {
    Convolve9InPlace(firstPixel, layout, [](double s9, double c) { return (s9 - c) * 0.125; });
}

void ReferenceDiffusion(float *firstPixel, const FieldLayout &layout, double coefficient) {
    ReferencePeriodiseBorder(firstPixel, layout);
    if (coefficient == 0.0) return;
    if (coefficient == 1.0) {
        ReferenceConvolve9NoCentre(firstPixel, layout);
    } else {
        ReferenceConvolve9(firstPixel, layout, 1.0 - coefficient, coefficient * 0.125);
    }
}
