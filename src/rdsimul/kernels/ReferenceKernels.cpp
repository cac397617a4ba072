#include "rdsimul/kernels/ReferenceKernels.h"

#include <cmath>
#include <cstddef>

#include "image3d/FieldStencils.h"

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

// The same interior as the image3d loops see it.
FloatPlanes PlanesOf(const FieldLayout &layout) {
    FloatPlanes planes;
    planes.SizeX = layout.SizeX;
    planes.SizeY = layout.SizeY;
    planes.SizeZ = layout.SizeZ;
    planes.LineOffset = layout.LineOffset;
    planes.PlaneOffset = layout.PlaneOffset;
    return planes;
}

}  // namespace

const KernelSet &ReferenceKernels() {
#define VORNA_REFERENCE_KERNEL(Id, ...) Reference##Id,
    static const KernelSet set = {
        "reference", {VORNA_REACTION_MODELS(VORNA_REFERENCE_KERNEL)}, ReferenceDiffusion, nullptr};
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

void ReferenceFormula(float *const *fields, const FieldLayout &layout, const ReactionConstants &k) {
    if (k.Formula == nullptr) return;
    const FormulaProgram &program = *k.Formula;
    const int n = program.ComponentCount();
    for (int32_t z = 0; z < layout.SizeZ; ++z) {
        for (int32_t row = 0; row < layout.SizeY; ++row) {
            const ptrdiff_t line =
                ptrdiff_t(z) * layout.PlaneOffset + ptrdiff_t(row) * layout.LineOffset;
            for (int32_t column = 0; column < layout.SizeX; ++column) {
                const ptrdiff_t o = line + column;
                double old[FormulaProgram::MaxComponents] = {};
                double terms[FormulaProgram::MaxComponents];
                for (int c = 0; c < n; ++c) old[c] = fields[c][o];
                program.EvaluateAt(old, column, row, layout.SizeX, layout.SizeY, k.Named, terms);
                for (int c = 0; c < n; ++c) fields[c][o] = float(old[c] + k.Strength[c] * terms[c]);
            }
        }
    }
}

void ReferencePeriodiseBorder(float *firstPixel, const FieldLayout &layout) {
    PeriodiseBorder1(firstPixel, PlanesOf(layout));
}

void ReferenceConvolve9(float *firstPixel, const FieldLayout &layout, double centre,
                        double neighbour) {
    NinePointFilter(firstPixel, PlanesOf(layout), centre, neighbour);
}

void ReferenceConvolve9NoCentre(float *firstPixel, const FieldLayout &layout) {
    NinePointMean(firstPixel, PlanesOf(layout));
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
