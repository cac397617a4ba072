#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "rdsimul/kernels/ReferenceKernels.h"

namespace {

// A single-plane field with a one-pixel border in a plain vector; at(x, y) takes border
// positions -1 and Size too.
struct TestField {
    TestField(int w, int h, float value = 0.0f) : Store(size_t((w + 2) * (h + 2)), value) {
        Layout.SizeX = w;
        Layout.SizeY = h;
        Layout.SizeZ = 1;
        Layout.LineOffset = w + 2;
        Layout.PlaneOffset = (w + 2) * (h + 2);
    }
    float *First() { return Store.data() + Layout.LineOffset + 1; }
    float &At(int x, int y) { return First()[y * Layout.LineOffset + x]; }

    std::vector<float> Store;
    FieldLayout Layout;
};

}  // namespace

TEST(ReferenceKernels, SchloglOnZeroGivesItsConstantTermAndZeroStrengthChangesNothing) {
    TestField a(3, 2, 0.0f);
    float *fields[1] = {a.First()};
    ReactionConstants k;
    k.Strength[0] = 1.0;
    ReferenceSchlogl(fields, a.Layout, k);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(a.At(x, y), 0.002f);
    // The border is neither read nor written.
    EXPECT_EQ(a.At(-1, 0), 0.0f);
    EXPECT_EQ(a.At(1, 2), 0.0f);

    TestField b(3, 2, 0.3f);
    float *bFields[1] = {b.First()};
    k.Strength[0] = 0.0;
    ReferenceSchlogl(bFields, b.Layout, k);
    EXPECT_EQ(b.At(2, 1), 0.3f);
}

TEST(ReferenceKernels, SchloglRoundsTheIncrementToFloatBeforeAdding) {
    // At 0.205 with strength 0.7 the two roundings differ: A + float(kA f) in float gives
    // 0.202714831, float(A + kA f) would give 0.202714816.
    TestField a(1, 1, 0.205f);
    float *fields[1] = {a.First()};
    ReactionConstants k;
    k.Strength[0] = 0.7;
    ReferenceSchlogl(fields, a.Layout, k);
    const double v = 0.205f;
    const double f = ((-0.030625 * v + 0.07125) * v - 0.039) * v + 0.002;
    ASSERT_NE(0.205f + float(0.7 * f), float(v + 0.7 * f));
    EXPECT_EQ(a.At(0, 0), 0.205f + float(0.7 * f));
}

TEST(ReferenceKernels, FixedPointsOfTheModelsStayPut) {
    ReactionConstants k;
    k.Strength[0] = k.Strength[1] = k.Strength[2] = 1.0;

    // Ginzburg-Landau: (0, 0) stays; with alpha 1 and gamma = delta = 0, (1, 0) stays.
    TestField a(2, 2, 0.0f), b(2, 2, 0.0f);
    float *gl[2] = {a.First(), b.First()};
    ReferenceGinzburgLandau(gl, a.Layout, k);
    EXPECT_EQ(a.At(1, 1), 0.0f);
    EXPECT_EQ(b.At(1, 1), 0.0f);
    k.Alpha = 1.0;
    a.At(0, 1) = 1.0f;
    ReferenceGinzburgLandau(gl, a.Layout, k);
    EXPECT_EQ(a.At(0, 1), 1.0f);
    EXPECT_EQ(b.At(0, 1), 0.0f);

    // First derived model: C unchanged wherever C = 2A - B.
    TestField ca(2, 1), cb(2, 1), cc(2, 1);
    ca.At(0, 0) = 0.25f, cb.At(0, 0) = 0.125f, cc.At(0, 0) = 0.375f;
    ca.At(1, 0) = -0.5f, cb.At(1, 0) = 0.25f, cc.At(1, 0) = -1.25f;
    float *gld1[3] = {ca.First(), cb.First(), cc.First()};
    k.Gamma = 0.3;
    k.Delta = 0.2;
    ReferenceGinzburgLandauDer1(gld1, ca.Layout, k);
    EXPECT_EQ(cc.At(0, 0), 0.375f);
    EXPECT_EQ(cc.At(1, 0), -1.25f);

    // Maginu: (0, 0) stays when "c" is not 0.
    TestField ma(2, 2, 0.0f), mb(2, 2, 0.0f);
    float *mag[2] = {ma.First(), mb.First()};
    k.C = 0.5;
    k.K = 2.0;
    ReferenceMaginu(mag, ma.Layout, k);
    EXPECT_EQ(ma.At(1, 0), 0.0f);
    EXPECT_EQ(mb.At(1, 0), 0.0f);
}

TEST(ReferenceKernels, BrusselatorKeepsItsSteadyState) {
    ReactionConstants k;
    k.Strength[0] = 0.1;
    k.Strength[1] = 0.05;
    k.Alpha = 2.0;
    k.Beta = 4.5;
    TestField a(4, 3, 2.0f), b(4, 3, 2.25f);  // A = alpha, B = beta / alpha
    float *fields[2] = {a.First(), b.First()};
    for (int i = 0; i < 100; ++i) ReferenceBrusselator(fields, a.Layout, k);
    EXPECT_FLOAT_EQ(a.At(3, 2), 2.0f);
    EXPECT_FLOAT_EQ(b.At(3, 2), 2.25f);
}

TEST(ReferenceKernels, MaginuWithoutItsParameterCBlowsUpAtOnce) {
    ReactionConstants k;
    k.Strength[0] = 1.0;
    k.Strength[1] = 1.0;
    TestField a(2, 1), b(2, 1);
    a.At(1, 0) = 0.5f;  // a non-zero bracket gives an infinity, a zero one (pixel 0) NaN
    float *fields[2] = {a.First(), b.First()};
    ReferenceMaginu(fields, a.Layout, k);
    EXPECT_TRUE(std::isnan(a.At(0, 0)));
    EXPECT_TRUE(std::isinf(a.At(1, 0)));
}

// Diffusion of a single 1 in a field of 0, for several places of the 1 (inside, on an edge, in a
// corner) and several coefficients: the 8 periodic neighbours each get d / 8, the place 1 - d.
struct SpotCase {
    int x, y;
    double coefficient;
    float centre, neighbour;
};

class ReferenceKernelsSpot : public testing::TestWithParam<SpotCase> {};

TEST_P(ReferenceKernelsSpot, SingleOneSpreadsToItsEightPeriodicNeighbours) {
    const SpotCase c = GetParam();
    const int w = 5, h = 4;
    TestField f(w, h);
    f.At(c.x, c.y) = 1.0f;
    ReferenceDiffusion(f.First(), f.Layout, c.coefficient);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int dx = (x - c.x + w) % w, dy = (y - c.y + h) % h;
            const bool near = (dx <= 1 || dx == w - 1) && (dy <= 1 || dy == h - 1);
            const float expected = dx == 0 && dy == 0 ? c.centre : near ? c.neighbour : 0.0f;
            EXPECT_EQ(f.At(x, y), expected) << "at " << x << ", " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, ReferenceKernelsSpot,
    testing::Values(SpotCase{2, 1, 0.5, 0.5f, 0.0625f}, SpotCase{0, 0, 0.5, 0.5f, 0.0625f},
                    SpotCase{4, 3, 0.5, 0.5f, 0.0625f}, SpotCase{4, 1, 0.5, 0.5f, 0.0625f},
                    SpotCase{0, 3, 1.0, 0.0f, 0.125f}, SpotCase{2, 2, 1.0, 0.0f, 0.125f},
                    SpotCase{1, 0, 0.0, 1.0f, 0.0f}));

TEST(ReferenceKernels, BorderCopyMakesATorus) {
    TestField f(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) f.At(x, y) = float(10 * y + x);
    ReferencePeriodiseBorder(f.First(), f.Layout);
    EXPECT_EQ(f.At(-1, -1), f.At(2, 2));
    EXPECT_EQ(f.At(3, 3), f.At(0, 0));
    EXPECT_EQ(f.At(3, -1), f.At(0, 2));
    EXPECT_EQ(f.At(3, 1), f.At(0, 1));
    EXPECT_EQ(f.At(1, 3), f.At(1, 0));
    EXPECT_EQ(f.At(-1, 2), f.At(2, 2));
}

TEST(ReferenceKernels, DiffusionKeepsAUniformFieldAndTheSumOfAPattern) {
    for (double d : {0.05, 0.5, 1.0}) {
        TestField u(5, 3, 0.7f);
        ReferenceDiffusion(u.First(), u.Layout, d);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) EXPECT_FLOAT_EQ(u.At(x, y), 0.7f) << d;
    }
    TestField f(5, 3);
    double before = 0.0;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) before += f.At(x, y) = float((x * 7 + y * 3) % 5) * 0.25f;
    for (int i = 0; i < 20; ++i) ReferenceDiffusion(f.First(), f.Layout, 0.3);
    double after = 0.0;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) after += f.At(x, y);
    EXPECT_NEAR(after, before, 1e-5);
}

TEST(ReferenceKernels, ConvolutionWalksEveryPlaneOfAThreeDimensionalField) {
    // Two planes of 3 x 2 with their own border lines: plane 1 holds a single 1, plane 0 zeros.
    const int w = 3, h = 2, planes = 2;
    const int lineOffset = w + 2, planeOffset = (h + 2) * lineOffset;
    std::vector<float> store(size_t((planes + 2) * planeOffset), 0.0f);
    FieldLayout layout;
    layout.SizeX = w;
    layout.SizeY = h;
    layout.SizeZ = planes;
    layout.LineOffset = lineOffset;
    layout.PlaneOffset = planeOffset;
    float *first = store.data() + planeOffset + lineOffset + 1;
    first[planeOffset + 1 * lineOffset + 1] = 1.0f;
    ReferenceDiffusion(first, layout, 1.0);
    double plane0 = 0.0, plane1 = 0.0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            plane0 += first[y * lineOffset + x];
            plane1 += first[planeOffset + y * lineOffset + x];
        }
    }
    EXPECT_EQ(plane0, 0.0);
    // On 3 x 2 the 8 periodic neighbours of (1, 1) fold onto 5 pixels; the sum stays 1.
    EXPECT_EQ(plane1, 1.0);
    // (1, 1) is both the upper and the lower neighbour of (1, 0), and not its own neighbour.
    EXPECT_EQ(first[planeOffset + 0 * lineOffset + 1], 0.25f);
    EXPECT_EQ(first[planeOffset + 1 * lineOffset + 1], 0.0f);
}
