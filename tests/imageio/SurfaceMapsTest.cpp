#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "image3d/Image3DFloat.h"
#include "imageio/SurfaceMaps.h"

namespace {

// A lopsided field of width x height from value(x, y).
template <typename Value>
void Fill(Image3DFloat &field, uint16_t width, uint16_t height, Value value) {
    ASSERT_NE(field.SetNewSize(width, height, 1), Frame3D::SizeResult::Failed);
    for (uint16_t y = 0; y < height; ++y) {
        for (uint16_t x = 0; x < width; ++x) field.SetPixelValue(float(value(x, y)), x, y, 0);
    }
}

// The field rolled by (dx, dy): pixel (x, y) of the result is pixel (x - dx, y - dy).
void Roll(const Image3DFloat &from, int dx, int dy, Image3DFloat &to) {
    const int w = from.GetSizeX();
    const int h = from.GetSizeY();
    Fill(to, uint16_t(w), uint16_t(h), [&](int x, int y) {
        return from.GetPixelValue(uint16_t((x - dx + w) % w), uint16_t((y - dy + h) % h), 0);
    });
}

template <typename T>
std::vector<T> RollRows(const std::vector<T> &rows, int w, int h, int channels, int dx, int dy) {
    std::vector<T> out(rows.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < channels; ++c) {
                out[size_t(((y + dy) % h * w + (x + dx) % w) * channels + c)] =
                    rows[size_t((y * w + x) * channels + c)];
            }
        }
    }
    return out;
}

double Noise(int x, int y) {
    return std::sin(12.9898 * x + 78.233 * y) * 43758.5453 -
           std::floor(std::sin(12.9898 * x + 78.233 * y) * 43758.5453);
}

TEST(SurfaceMaps, HeightsAutoscaledOrThroughTheScriptScale) {
    Image3DFloat field("f", 0, 0, 1, 1);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float values[5] = {-2.0f, 3.0f, 0.5f, 1.0f, nan};
    Fill(field, 5, 1, [&](int x, int) { return values[x]; });
    struct Case {
        double Scale, Offset;
        uint16_t Expected[5];
    };
    const Case cases[] = {
        // min -2 is 0, max 3 is 65535; NaN is 0.
        {0.0, 0.0, {0, 65535, 32768, 39321, 0}},
        // Index 100 v + 100: -100 below the palette, 400 above, 150 and 200 inside.
        {100.0, 100.0, {0, 65535, 38550, 51400, 0}},
    };
    for (const Case &c : cases) {
        std::vector<float> heights;
        ASSERT_EQ(SurfaceMaps::FieldHeights(field, c.Scale, c.Offset, heights), SurfaceMaps::Done);
        std::vector<uint16_t> samples;
        SurfaceMaps::HeightSamples(heights, samples);
        EXPECT_EQ(samples, std::vector<uint16_t>(c.Expected, c.Expected + 5)) << c.Scale;
    }
    // A uniform field is flat at 0.
    Fill(field, 4, 3, [](int, int) { return 7.0; });
    std::vector<float> heights;
    ASSERT_EQ(SurfaceMaps::FieldHeights(field, 0.0, 0.0, heights), SurfaceMaps::Done);
    EXPECT_EQ(heights, std::vector<float>(12, 0.0f));
}

TEST(SurfaceMaps, TiltedPlaneGivesOneNormalAndDirectXFlipsGreen) {
    // u = x / 6 across a 7 x 5 field: du/dx = 1/6 everywhere but at the wrapped columns.
    Image3DFloat field("f", 0, 0, 1, 1);
    Fill(field, 7, 5, [](int x, int) { return x; });
    std::vector<float> heights;
    ASSERT_EQ(SurfaceMaps::FieldHeights(field, 0.0, 0.0, heights), SurfaceMaps::Done);
    const double s = 3.0;
    const double nx = -s / 6.0 / std::sqrt(s * s / 36.0 + 1.0);
    const double nz = 1.0 / std::sqrt(s * s / 36.0 + 1.0);
    const uint8_t red = uint8_t(std::floor(127.5 * (nx + 1.0) + 0.5));
    const uint8_t blue = uint8_t(std::floor(127.5 * (nz + 1.0) + 0.5));
    std::vector<uint8_t> rgb;
    SurfaceMaps::NormalMap(heights, 7, 5, s, false, rgb);
    for (int y = 0; y < 5; ++y) {
        for (int x = 1; x < 6; ++x) {
            const uint8_t *p = &rgb[size_t((y * 7 + x) * 3)];
            EXPECT_EQ(p[0], red);
            EXPECT_EQ(p[1], 128);
            EXPECT_EQ(p[2], blue);
        }
    }
    // Rising down the picture: the surface faces up the picture, +Y in OpenGL, -Y in DirectX.
    Fill(field, 3, 9, [](int, int y) { return y; });
    ASSERT_EQ(SurfaceMaps::FieldHeights(field, 0.0, 0.0, heights), SurfaceMaps::Done);
    std::vector<uint8_t> gl, dx;
    SurfaceMaps::NormalMap(heights, 3, 9, 8.0, false, gl);
    SurfaceMaps::NormalMap(heights, 3, 9, 8.0, true, dx);
    const uint8_t *centre = &gl[size_t((4 * 3 + 1) * 3)];
    EXPECT_EQ(centre[0], 128);
    EXPECT_EQ(centre[1], uint8_t(std::floor(127.5 * (1.0 / std::sqrt(2.0) + 1.0) + 0.5)));
    EXPECT_EQ(dx[size_t((4 * 3 + 1) * 3 + 1)], 255 - centre[1]);
    // Flat: straight up.
    SurfaceMaps::NormalMap(std::vector<float>(4, 0.5f), 2, 2, 1.0, false, rgb);
    EXPECT_EQ(rgb,
              std::vector<uint8_t>({128, 128, 255, 128, 128, 255, 128, 128, 255, 128, 128, 255}));
}

TEST(SurfaceMaps, MapsOfARolledFieldAreTheMapsRolled) {
    Image3DFloat field("f", 0, 0, 1, 1), rolled("r", 0, 0, 1, 1);
    Fill(field, 12, 8, Noise);
    Roll(field, 6, 4, rolled);
    std::vector<float> h1, h2;
    ASSERT_EQ(SurfaceMaps::FieldHeights(field, 0.0, 0.0, h1), SurfaceMaps::Done);
    ASSERT_EQ(SurfaceMaps::FieldHeights(rolled, 0.0, 0.0, h2), SurfaceMaps::Done);
    EXPECT_EQ(RollRows(h1, 12, 8, 1, 6, 4), h2);
    std::vector<uint8_t> n1, n2;
    SurfaceMaps::NormalMap(h1, 12, 8, 4.0, false, n1);
    SurfaceMaps::NormalMap(h2, 12, 8, 4.0, false, n2);
    EXPECT_EQ(RollRows(n1, 12, 8, 3, 6, 4), n2);

    // Upscaled 3 times: the picture of the rolled field is the picture rolled by 3 times as much.
    Image3DFloat big1("b", 0, 0, 1, 1), big2("b", 0, 0, 1, 1);
    ASSERT_EQ(SurfaceMaps::Upscale(field, 3, big1), SurfaceMaps::Done);
    ASSERT_EQ(SurfaceMaps::Upscale(rolled, 3, big2), SurfaceMaps::Done);
    ASSERT_EQ(big1.GetSizeX(), 36);
    ASSERT_EQ(big1.GetSizeY(), 24);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 36; ++x) {
            ASSERT_EQ(big2.GetPixelValue(uint16_t((x + 18) % 36), uint16_t((y + 12) % 24), 0),
                      big1.GetPixelValue(uint16_t(x), uint16_t(y), 0))
                << x << "," << y;
        }
    }
}

TEST(SurfaceMaps, UpscaleIsCatmullRomAroundTheTorusAndExactAtOne) {
    // An impulse at x = 0 of a 6-pixel row, upscaled twice: output X samples the row at
    // (X + 0.5) / 2 - 0.5, so the weights of t = 0.75 and t = 0.25 spread the impulse both ways
    // and across the edge.
    Image3DFloat field("f", 0, 0, 1, 1), big("b", 0, 0, 1, 1);
    Fill(field, 6, 2, [](int x, int) { return x == 0 ? 1.0 : 0.0; });
    ASSERT_EQ(SurfaceMaps::Upscale(field, 2, big), SurfaceMaps::Done);
    const float expected[12] = {0.8671875f, 0.8671875f, 0.2265625f,  -0.0703125f, -0.0234375f, 0, 0,
                                0,          0,          -0.0234375f, -0.0703125f, 0.2265625f};
    for (uint16_t y = 0; y < 4; ++y) {
        for (uint16_t x = 0; x < 12; ++x) {
            EXPECT_EQ(big.GetPixelValue(x, y, 0), expected[x]) << x << "," << y;
        }
    }
    // Factor 1 is the field itself, bit for bit, NaN included.
    Fill(field, 5, 3, Noise);
    field.SetPixelValue(std::numeric_limits<float>::quiet_NaN(), 2, 1, 0);
    ASSERT_EQ(SurfaceMaps::Upscale(field, 1, big), SurfaceMaps::Done);
    ASSERT_EQ(big.GetSizeX(), 5);
    for (uint16_t y = 0; y < 3; ++y) {
        for (uint16_t x = 0; x < 5; ++x) {
            const float a = field.GetPixelValue(x, y, 0);
            const float b = big.GetPixelValue(x, y, 0);
            EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << x << "," << y;
        }
    }
}

TEST(SurfaceMaps, UpscaleRefusesFactorsAndSidesBeyondTheLimits) {
    EXPECT_TRUE(SurfaceMaps::UpscaleFits(2048, 600, 8));
    EXPECT_TRUE(SurfaceMaps::UpscaleFits(16384, 10, 1));
    EXPECT_FALSE(SurfaceMaps::UpscaleFits(2049, 600, 8));
    EXPECT_FALSE(SurfaceMaps::UpscaleFits(600, 8193, 2));
    EXPECT_FALSE(SurfaceMaps::UpscaleFits(10, 10, 0));
    EXPECT_FALSE(SurfaceMaps::UpscaleFits(10, 10, 9));
    Image3DFloat field("f", 0, 0, 1, 1), big("b", 0, 0, 1, 1);
    Fill(field, 4, 4, Noise);
    EXPECT_EQ(SurfaceMaps::Upscale(field, 9, big), SurfaceMaps::Failed);
    Image3DFloat empty("e", 0, 0, 1, 1);
    EXPECT_EQ(SurfaceMaps::Upscale(empty, 2, big), SurfaceMaps::Failed);
}

// Any output size: a periodic wave resampled by 2048 / 300 along x and 7 / 5 along y lands on
// the wave at every output pixel, the last ones across the seam included, and the sizes that
// would skip points or exceed the limit are refused.
TEST(SurfaceMaps, ResampleToAnySizeFollowsThePeriodicField) {
    constexpr double Pi = 3.14159265358979323846;
    auto wave = [](double x, double y, double w, double h) {
        return std::sin(2.0 * Pi * x / w) + 0.5 * std::cos(2.0 * Pi * y / h);
    };
    Image3DFloat field("f", 0, 0, 1, 1), big("b", 0, 0, 1, 1);
    Fill(field, 300, 5, [&](int x, int y) { return wave(x, y, 300, 5); });
    ASSERT_EQ(SurfaceMaps::Resample(field, 2048, 7, big), SurfaceMaps::Done);
    ASSERT_EQ(big.GetSizeX(), 2048);
    ASSERT_EQ(big.GetSizeY(), 7);
    double worst = 0.0;
    for (uint16_t y = 0; y < 7; ++y) {
        for (uint16_t x = 0; x < 2048; ++x) {
            // Where output pixel (x, y) samples the field, in field points.
            const double fx = (x + 0.5) * 300.0 / 2048.0 - 0.5;
            const double fy = (y + 0.5) * 5.0 / 7.0 - 0.5;
            // The cubic follows the x wave closely; the y wave has 5 points a period only.
            const double expected = wave(fx, fy, 300, 5);
            worst = std::max(worst, std::fabs(big.GetPixelValue(x, y, 0) - expected));
        }
    }
    EXPECT_LT(worst, 0.05);
    // A whole multiple is the upscale itself, bit for bit.
    Image3DFloat twice("t", 0, 0, 1, 1);
    Fill(field, 6, 4, Noise);
    ASSERT_EQ(SurfaceMaps::Resample(field, 12, 8, big), SurfaceMaps::Done);
    ASSERT_EQ(SurfaceMaps::Upscale(field, 2, twice), SurfaceMaps::Done);
    for (uint16_t y = 0; y < 8; ++y) {
        for (uint16_t x = 0; x < 12; ++x) {
            EXPECT_EQ(big.GetPixelValue(x, y, 0), twice.GetPixelValue(x, y, 0)) << x << "," << y;
        }
    }
    EXPECT_FALSE(SurfaceMaps::ResampleFits(300, 5, 299, 7));
    EXPECT_FALSE(SurfaceMaps::ResampleFits(300, 5, 16385, 7));
    EXPECT_TRUE(SurfaceMaps::ResampleFits(300, 5, 16384, 5));
    EXPECT_EQ(SurfaceMaps::Resample(field, 5, 8, big), SurfaceMaps::Failed);
}

}  // namespace
