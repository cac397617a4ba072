#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "image3d/Image3DFloat.h"
#include "toolkit/RandomGenerator.h"

namespace {

// Any pixel of plane 0, border included (x and y from -BorderSize).
float &At(Image3DFloat &field, int x, int y) {
    return field.GetPtrFirstPixel()[y * field.GetLineOffset() + x];
}

uint32_t Bits(float v) {
    uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}

void FillDistinct(Image3DFloat &field) {
    for (int y = 0; y < field.GetSizeY(); ++y)
        for (int x = 0; x < field.GetSizeX(); ++x) At(field, x, y) = float(10 * y + x + 1);
}

// Straightforward out-of-place 3 x 3 stencil on a torus with the same summation order.
std::vector<float> ReferenceStencil(const std::vector<float> &in, int w, int h, bool ncen,
                                    double centre, double neighbour) {
    std::vector<float> out(in.size());
    const double k = centre - neighbour;
    auto v = [&](int x, int y) { return double(in[((y + h) % h) * w + (x + w) % w]); };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double col[3];
            for (int i = 0; i < 3; ++i) {
                col[i] = (v(x - 1 + i, y - 1) + v(x - 1 + i, y)) + v(x - 1 + i, y + 1);
            }
            const double s9 = (col[0] + col[1]) + col[2];
            const double c = v(x, y);
            out[y * w + x] = ncen ? float((s9 - c) * 0.125) : float(neighbour * s9 + k * c);
        }
    }
    return out;
}

}  // namespace

TEST(Image3DFloatTest, FieldLinesAreNeverPaddedAndFirstPixelFollowsLayout) {
    for (unsigned short width = 1; width <= 6; ++width) {
        Image3DFloat field("f", width, 3, 1, 1);
        EXPECT_EQ(field.GetLineOffset(), width + 2);
        EXPECT_EQ(field.GetPtrFirstPixel(),
                  reinterpret_cast<float *>(field.GetData()) + field.GetInitOffset());
    }
}

TEST(Image3DFloatTest, EmptyFieldHasNullFirstPixelAndRefusesWithEmpty) {
    Image3DFloat field("f", 0, 0, 1, 0);
    EXPECT_EQ(field.SetNewSize(0, 0, 1), Frame3D::SizeResult::Done);
    EXPECT_EQ(field.GetPtrFirstPixel(), nullptr);
    double lo = 0, hi = 0;
    EXPECT_EQ(field.PeriodiseBorderXY1(), Image3DFloat::ErrorState);  // border is not 1
    EXPECT_EQ(field.InitRandomNoise(0, 1), Image3DFloat::Empty);
    EXPECT_EQ(field.FastConvolution2D9(1, 0), Image3DFloat::Empty);
    EXPECT_EQ(field.FastConvolution2D9NCEN(), Image3DFloat::Empty);
    EXPECT_EQ(field.FindMinMax(lo, hi), Image3DFloat::ErrorState);
    EXPECT_EQ(field.NumericOverflowDetected(1000.0), Image3DFloat::Overflow::None);
    field.SetPixelValue(1.0f, 0, 0, 0);  // nowhere to write; must not touch memory
}

TEST(Image3DFloatTest, FailedResizeLeavesNoStoreToIndex) {
    Image3DFloat field("f", 4, 4, 1, 1);
    EXPECT_EQ(field.SetNewSize(60000, 60000, 1), Frame3D::SizeResult::Failed);
    EXPECT_EQ(field.GetPtrFirstPixel(), nullptr);
    double lo = 0, hi = 0;
    EXPECT_EQ(field.PeriodiseBorderXY1(), Image3DFloat::ErrorState);
    EXPECT_EQ(field.InitRandomNoise(0, 1), Image3DFloat::ErrorState);
    EXPECT_EQ(field.FastConvolution2D9(1, 0), Image3DFloat::ErrorState);
    EXPECT_EQ(field.FastConvolution2D9NCEN(), Image3DFloat::ErrorState);
    EXPECT_EQ(field.FindMinMax(lo, hi), Image3DFloat::ErrorState);
    EXPECT_EQ(field.NumericOverflowDetected(1000.0), Image3DFloat::Overflow::ErrorState);
    field.SetPixelValue(1.0f, 1, 1, 0);
    EXPECT_EQ(field.GetPixelValue(1, 1, 0), 0.0f);
    EXPECT_EQ(field.SetNewSize(5, 3, 1), Frame3D::SizeResult::Done);
    field.SetPixelValue(2.5f, 4, 2, 0);
    EXPECT_EQ(At(field, 4, 2), 2.5f);
}

TEST(Image3DFloatTest, PeriodiseMakesATorusIncludingCorners) {
    Image3DFloat field("f", 5, 3, 1, 1);
    FillDistinct(field);
    ASSERT_EQ(field.PeriodiseBorderXY1(), Image3DFloat::Done);
    for (int y = -1; y <= 3; ++y) {
        for (int x = -1; x <= 5; ++x) {
            EXPECT_EQ(At(field, x, y), At(field, (x + 5) % 5, (y + 3) % 3)) << x << "," << y;
        }
    }
    EXPECT_EQ(At(field, -1, -1), At(field, 4, 2));
    EXPECT_EQ(At(field, 5, 3), At(field, 0, 0));
}

TEST(Image3DFloatTest, PeriodiseTreatsEachPlaneAsItsOwnPicture) {
    Image3DFloat field("f", 3, 2, 2, 1);
    field.SetPixelValue(1.0f, 0, 0, 0);
    field.SetPixelValue(2.0f, 0, 0, 1);
    ASSERT_EQ(field.PeriodiseBorderXY1(), Image3DFloat::Done);
    const float *plane1 = field.GetPtrFirstPixel() + field.GetPlaneOffset();
    EXPECT_EQ(At(field, 3, 2), 1.0f);
    EXPECT_EQ(plane1[2 * field.GetLineOffset() + 3], 2.0f);
}

TEST(Image3DFloatTest, WrongBorderIsRefusedWithoutWriting) {
    Image3DFloat wide("f", 3, 3, 1, 2);
    FillDistinct(wide);
    std::vector<int32_t> before(wide.GetData(), wide.GetData() + wide.GetDataSize());
    EXPECT_EQ(wide.PeriodiseBorderXY1(), Image3DFloat::ErrorState);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), wide.GetData()));

    Image3DFloat bare("f", 3, 3, 1, 0);
    EXPECT_EQ(bare.FastConvolution2D9(0.5, 0.1), Image3DFloat::Refused);
    EXPECT_EQ(bare.FastConvolution2D9NCEN(), Image3DFloat::Refused);
}

TEST(Image3DFloatTest, IdentityFilterKeepsInteriorAndLeavesOldLastLineAbove) {
    Image3DFloat field("f", 5, 3, 1, 1);
    FillDistinct(field);
    ASSERT_EQ(field.PeriodiseBorderXY1(), Image3DFloat::Done);
    At(field, 2, 2) = 0.1f;  // not in the border any more: the scratch copy must still show it
    ASSERT_EQ(field.FastConvolution2D9(1, 0), Image3DFloat::Done);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(At(field, x, y), x == 2 && y == 2 ? 0.1f : 10 * y + x + 1);
    for (int x = -1; x <= 5; ++x) EXPECT_EQ(At(field, x, -1), At(field, x, 2)) << x;
}

struct ImpulseCase {
    const char *label;
    int x, y;
};

void PrintTo(const ImpulseCase &row, std::ostream *os) { *os << row.label; }

class Image3DFloatImpulse : public testing::TestWithParam<ImpulseCase> {};

TEST_P(Image3DFloatImpulse, SpreadsAnEighthToTheEightPeriodicNeighbours) {
    const ImpulseCase c = GetParam();
    const int w = 5, h = 4;
    Image3DFloat field("f", w, h, 1, 1);
    field.SetPixelValue(1.0f, c.x, c.y, 0);
    ASSERT_EQ(field.PeriodiseBorderXY1(), Image3DFloat::Done);
    ASSERT_EQ(field.FastConvolution2D9NCEN(), Image3DFloat::Done);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int dx = (x - c.x + w) % w, dy = (y - c.y + h) % h;
            const bool near = (dx <= 1 || dx == w - 1) && (dy <= 1 || dy == h - 1);
            const float want = near && (dx || dy) ? 0.125f : 0.0f;
            EXPECT_EQ(At(field, x, y), want) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Positions, Image3DFloatImpulse,
                         testing::Values(ImpulseCase{"Inside", 2, 1}, ImpulseCase{"TopEdge", 2, 0},
                                         ImpulseCase{"RightEdge", 4, 2},
                                         ImpulseCase{"TopLeftCorner", 0, 0},
                                         ImpulseCase{"BottomRightCorner", 4, 3}),
                         [](const testing::TestParamInfo<ImpulseCase> &row) {
                             return row.param.label;
                         });

TEST(Image3DFloatTest, UniformFieldStaysUniformUnderBothFilters) {
    Image3DFloat field("f", 6, 5, 1, 1);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) field.SetPixelValue(0.75f, x, y, 0);
    ASSERT_EQ(field.PeriodiseBorderXY1(), Image3DFloat::Done);
    ASSERT_EQ(field.FastConvolution2D9NCEN(), Image3DFloat::Done);
    ASSERT_EQ(field.PeriodiseBorderXY1(), Image3DFloat::Done);
    ASSERT_EQ(field.FastConvolution2D9(0.2, 0.1), Image3DFloat::Done);  // 0.2 + 8 x 0.1 = 1
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_FLOAT_EQ(At(field, x, y), 0.75f);
}

TEST(Image3DFloatTest, NeighbourOnlyFilterMatchesMeanOfNeighbours) {
    Image3DFloat a("a", 7, 5, 1, 1), b("b", 7, 5, 1, 1);
    MainRandom.Randomize(99);
    ASSERT_EQ(a.InitRandomNoise(0.5f, 0.5f), Image3DFloat::Done);
    MainRandom.Randomize(99);
    ASSERT_EQ(b.InitRandomNoise(0.5f, 0.5f), Image3DFloat::Done);
    ASSERT_EQ(a.PeriodiseBorderXY1(), Image3DFloat::Done);
    ASSERT_EQ(b.PeriodiseBorderXY1(), Image3DFloat::Done);
    ASSERT_EQ(a.FastConvolution2D9(0, 0.125), Image3DFloat::Done);
    ASSERT_EQ(b.FastConvolution2D9NCEN(), Image3DFloat::Done);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_FLOAT_EQ(At(a, x, y), At(b, x, y));
}

struct StencilCase {
    const char *label;
    bool ncen;
    double centre, neighbour;
    bool wideRange;
};

void PrintTo(const StencilCase &row, std::ostream *os) { *os << row.label; }

class Image3DFloatStencil : public testing::TestWithParam<StencilCase> {};

TEST_P(Image3DFloatStencil, InPlaceFilterEqualsOutOfPlaceStencilBitForBit) {
    const StencilCase c = GetParam();
    const int w = 7, h = 5;
    Image3DFloat field("f", w, h, 1, 1);
    MainRandom.Randomize(12345);
    ASSERT_EQ(field.InitRandomNoise(0.3f, 0.7f), Image3DFloat::Done);
    if (c.wideRange) {
        // Tiny values between +2^40 and -2^40: whether the large ones cancel before a tiny one
        // is added depends on the order of the sums.
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int kind = RandomGenerator::Rand() % 3;
                float &v = At(field, x, y);
                v = kind == 0 ? 0x1p40f : kind == 1 ? -0x1p40f : v * 1e-6f;
            }
        }
    }
    std::vector<float> expect(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) expect[y * w + x] = At(field, x, y);
    for (int pass = 0; pass < 5; ++pass) {
        expect = ReferenceStencil(expect, w, h, c.ncen, c.centre, c.neighbour);
        ASSERT_EQ(field.PeriodiseBorderXY1(), Image3DFloat::Done);
        ASSERT_EQ(c.ncen ? field.FastConvolution2D9NCEN()
                         : field.FastConvolution2D9(c.centre, c.neighbour),
                  Image3DFloat::Done);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(Bits(At(field, x, y)), Bits(expect[y * w + x]))
                    << "pass " << pass << " at " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Coefficients, Image3DFloatStencil,
                         testing::Values(StencilCase{"NeighbourMean", true, 0, 0, false},
                                         StencilCase{"Diffusion", false, 0.6, 0.05, false},
                                         StencilCase{"Lopsided", false, -0.37, 0.113, false},
                                         StencilCase{"NeighbourMeanWideRange", true, 0, 0, true},
                                         StencilCase{"DiffusionWideRange", false, 0.6, 0.05, true}),
                         [](const testing::TestParamInfo<StencilCase> &row) {
                             return row.param.label;
                         });

TEST(Image3DFloatTest, FilterOnWideBorderLeavesOuterRingsUntouched) {
    Image3DFloat field("f", 3, 3, 1, 2);
    FillDistinct(field);
    At(field, -2, -2) = 9.0f;
    At(field, 4, 1) = 8.0f;
    ASSERT_EQ(field.FastConvolution2D9(0.5, 0.0625), Image3DFloat::Done);
    EXPECT_EQ(At(field, -2, -2), 9.0f);
    EXPECT_EQ(At(field, 4, 1), 8.0f);
}

TEST(Image3DFloatTest, RandomNoiseFollowsFormulaInWalkOrder) {
    Image3DFloat field("f", 3, 2, 2, 1);
    MainRandom.Randomize(7);
    ASSERT_EQ(field.InitRandomNoise(2.0f, 0.5f), Image3DFloat::Done);
    MainRandom.Randomize(7);
    for (int z = 0; z < 2; ++z) {
        const float *plane = field.GetPtrFirstPixel() + z * field.GetPlaneOffset();
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                const double r = RandomGenerator::Rand();
                EXPECT_EQ(plane[y * field.GetLineOffset() + x], float(r * 1.0 / 32767.0 + 1.5));
            }
        }
    }
    EXPECT_EQ(At(field, -1, 0), 0.0f);  // the border is not filled
}

TEST(Image3DFloatTest, ZeroAmplitudeNoiseIsExactButStillDrawsPerPixel) {
    Image3DFloat field("f", 4, 3, 1, 1);
    MainRandom.Randomize(5);
    ASSERT_EQ(field.InitRandomNoise(0.5f, 0.0f), Image3DFloat::Done);
    const int32_t next = RandomGenerator::Rand();
    MainRandom.Randomize(5);
    for (int i = 0; i < 12; ++i) RandomGenerator::Rand();
    EXPECT_EQ(RandomGenerator::Rand(), next);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(At(field, x, y), 0.5f);
}

TEST(Image3DFloatTest, FindMinMaxPassesOverNaN) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Image3DFloat field("f", 3, 2, 1, 1);
    const float values[6] = {0.5f, nan, -2.0f, 7.0f, nan, 1.0f};
    for (int i = 0; i < 6; ++i) field.SetPixelValue(values[i], i % 3, i / 3, 0);
    At(field, -1, 0) = 100.0f;  // border values do not count
    double lo = 0, hi = 0;
    ASSERT_EQ(field.FindMinMax(lo, hi), Image3DFloat::Done);
    EXPECT_EQ(lo, -2.0);
    EXPECT_EQ(hi, 7.0);
    field.SetPixelValue(nan, 0, 0, 0);
    ASSERT_EQ(field.FindMinMax(lo, hi), Image3DFloat::Done);
    EXPECT_TRUE(std::isnan(lo));
    EXPECT_TRUE(std::isnan(hi));
}

TEST(Image3DFloatTest, OverflowMeansNaNNotInfinity) {
    Image3DFloat field("f", 4, 3, 1, 1);
    field.SetPixelValue(std::numeric_limits<float>::infinity(), 1, 1, 0);
    field.SetPixelValue(-std::numeric_limits<float>::infinity(), 2, 1, 0);
    At(field, -1, -1) = std::numeric_limits<float>::quiet_NaN();  // border: not looked at
    EXPECT_EQ(field.NumericOverflowDetected(1000.0), Image3DFloat::Overflow::None);
    field.SetPixelValue(std::numeric_limits<float>::quiet_NaN(), 3, 2, 0);
    EXPECT_EQ(field.NumericOverflowDetected(1000.0), Image3DFloat::Overflow::Found);
}

TEST(Image3DFloatTest, FindMinMaxOverWholeVectorsAndTailsAgreesWithOneRunningPair) {
    // Widths with and without a tail past the blocks of sixteen, several planes, NaN here and
    // there and border values that must not count.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        unsigned short x, y, z;
    } sizes[] = {{1, 1, 1}, {16, 2, 1}, {37, 3, 3}, {64, 5, 2}};
    for (const auto &size : sizes) {
        Image3DFloat field("f", size.x, size.y, size.z, 1);
        uint32_t state = 12345;
        float low = 0, high = 0;
        bool first = true;
        for (int z = 0; z < size.z; ++z)
            for (int y = 0; y < size.y; ++y)
                for (int x = 0; x < size.x; ++x) {
                    state = state * 1664525u + 1013904223u;
                    const bool hole = !first && (state >> 8) % 11 == 0;
                    const float v = hole ? nan : float(int(state >> 12 & 0xfff) - 2000);
                    field.SetPixelValue(v, x, y, z);
                    if (first) {
                        low = high = v;
                        first = false;
                    } else if (v > high) {
                        high = v;
                    } else if (v < low) {
                        low = v;
                    }
                }
        At(field, -1, 0) = 1e9f;
        double lo = 0, hi = 0;
        ASSERT_EQ(field.FindMinMax(lo, hi), Image3DFloat::Done);
        EXPECT_EQ(lo, low) << size.x << "x" << size.y << "x" << size.z;
        EXPECT_EQ(hi, high) << size.x << "x" << size.y << "x" << size.z;
    }
}
