#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "image3d/ColorMapRGBA8.h"
#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "image3d/Image3DFloat.h"

namespace {

unsigned char PixelAt(const Image3D8 &image, int x, int y) {
    return image.GetPtrFirstPixel()[y * image.GetLineOffset() + x];
}

const unsigned char *PixelAt(const Image3D24 &image, int x, int y) {
    return image.GetPtrFirstPixel() + y * image.GetLineOffset() + 3 * x;
}

// A 256-entry map whose entry i is (red i, green 255 - i, blue i / 2).
void Distinct(ColorMapRGBA8 &map) {
    for (int i = 0; i < map.GetColorCount(); ++i)
        ASSERT_EQ(map.SetColorRGBA(i, i & 255, 255 - (i & 255), (i / 2) & 255, 0),
                  ColorMapRGBA8::MapDone);
}

}  // namespace

struct IndexCase {
    float value;
    int index;
};

void PrintTo(const IndexCase &row, std::ostream *os) { *os << row.value << " -> " << row.index; }

class Image3DFloatIndex : public testing::TestWithParam<IndexCase> {};

TEST_P(Image3DFloatIndex, TruncatesTowardZeroAndLimits) {
    const IndexCase c = GetParam();
    // Seven points: a whole vector of four and a tail of three.
    Image3DFloat field("f", 7, 1, 1, 1);
    for (unsigned short x = 0; x < 7; ++x) field.SetPixelValue(c.value, x, 0, 0);
    Image3D8 image("i", 0, 0, 1, 1);  // resized to the field, keeping its own border
    ASSERT_EQ(field.ConvertTo(image, 1.0f, 0.0f), Image3DFloat::Done);
    ASSERT_EQ(image.GetSizeX(), 7);
    for (int x = 0; x < 7; ++x) EXPECT_EQ(PixelAt(image, x, 0), c.index) << x;
    EXPECT_EQ(PixelAt(image, -1, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Values, Image3DFloatIndex,
                         testing::Values(IndexCase{-0.9f, 0}, IndexCase{0.4f, 0},
                                         IndexCase{0.6f, 1}, IndexCase{254.0f, 254},
                                         IndexCase{255.4f, 255}, IndexCase{300.0f, 255},
                                         IndexCase{-1e30f, 0},
                                         IndexCase{std::numeric_limits<float>::infinity(), 255},
                                         IndexCase{std::numeric_limits<float>::quiet_NaN(), 0}));

TEST(Image3DFloatTest, AutoScaleMapsRangeTo1Through254) {
    Image3DFloat field("f", 4, 3, 1, 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) field.SetPixelValue(float((x + y) % 2), x, y, 0);
    Image3D8 image("i", 0, 0, 1, 0);
    ASSERT_EQ(field.ConvertAutoScaleTo(image), Image3DFloat::Done);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(image, x, y), (x + y) % 2 ? 254 : 1);

    Image3DFloat uniform("u", 3, 2, 1, 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) uniform.SetPixelValue(-7.25f, x, y, 0);
    ASSERT_EQ(uniform.ConvertAutoScaleTo(image), Image3DFloat::Done);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(image, x, y), 254);
}

TEST(Image3DFloatTest, TrueColourLooksUpMapEntries) {
    Image3DFloat field("f", 4, 1, 1, 1);
    const float values[4] = {300.0f, -2.0f, 5.2f, std::numeric_limits<float>::quiet_NaN()};
    for (int x = 0; x < 4; ++x) field.SetPixelValue(values[x], x, 0, 0);
    ColorMapRGBA8 map(256);
    Distinct(map);
    Image3D24 image("i", 0, 0, 1, 0);
    ASSERT_EQ(field.ConvertTo(image, map, 1.0f, 0.0f), Image3DFloat::Done);
    const unsigned char white[3] = {255, 255, 255}, black[3] = {0, 0, 0};
    EXPECT_EQ(0, std::memcmp(PixelAt(image, 0, 0), white, 3));
    EXPECT_EQ(0, std::memcmp(PixelAt(image, 1, 0), black, 3));
    EXPECT_EQ(0, std::memcmp(PixelAt(image, 2, 0), map.GetPtrFirstEntry() + 4 * 5, 3));
    EXPECT_EQ(0, std::memcmp(PixelAt(image, 3, 0), black, 3));
}

TEST(Image3DFloatTest, TrueColourAutoScaleUsesEntries1ToNMinus2) {
    Image3DFloat field("f", 3, 1, 1, 1);
    field.SetPixelValue(-1.0f, 0, 0, 0);
    field.SetPixelValue(3.0f, 1, 0, 0);
    field.SetPixelValue(1.0f, 2, 0, 0);
    ColorMapRGBA8 map(1000);
    Distinct(map);
    Image3D24 image("i", 0, 0, 1, 0);
    ASSERT_EQ(field.ConvertAutoScaleTo(image, map), Image3DFloat::Done);
    EXPECT_EQ(0, std::memcmp(PixelAt(image, 0, 0), map.GetPtrFirstEntry() + 4 * 1, 3));
    EXPECT_EQ(0, std::memcmp(PixelAt(image, 1, 0), map.GetPtrFirstEntry() + 4 * 998, 3));
    ColorMapRGBA8 three(3);
    EXPECT_EQ(field.ConvertAutoScaleTo(image, three), Image3DFloat::Refused);
}

TEST(Image3DFloatTest, ConversionsReportFieldStateAndFailedResize) {
    Image3DFloat empty("e", 0, 0, 1, 0), failed("x", 0, 0, 1, 1), field("f", 2, 2, 1, 1);
    (void)failed.SetNewSize(60000, 60000, 1);
    Image3D8 image("i", 0, 0, 1, 0);
    ColorMapRGBA8 map(256);
    Image3D24 image24("t", 0, 0, 1, 0);
    EXPECT_EQ(empty.ConvertTo(image, 1, 0), Image3DFloat::Empty);
    EXPECT_EQ(failed.ConvertTo(image24, map, 1, 0), Image3DFloat::ErrorState);
    EXPECT_EQ(empty.ConvertAutoScaleTo(image), Image3DFloat::ErrorState);
    // A picture that cannot take the field's size: a border too wide for 16-bit line offsets.
    Image3D8 unsizable("u", 0, 0, 1, 40000);
    EXPECT_EQ(field.ConvertTo(unsizable, 1, 0), Image3DFloat::Refused);
}

TEST(Image3DFloatTest, InitFromImageCentresAxisByAxis) {
    Image3DFloat field("f", 5, 3, 1, 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) field.SetPixelValue(-1.0f, x, y, 0);
    Image3D8 image("i", 3, 5, 1, 0);  // narrower and taller than the field
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x) image.SetPixelValue(10 * y + x, x, y, 0);
    ASSERT_EQ(field.InitFromImage(image, 2.0f, 0.5f), Image3DFloat::Done);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const float got = field.GetPixelValue(x, y, 0);
            if (x < 1 || x > 3) {
                EXPECT_EQ(got, -1.0f) << x << "," << y;
            } else {
                const int p = 10 * (y + 1) + (x - 1);
                EXPECT_EQ(got, float((p - (0.5 + 0.4999999999)) * 0.5)) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(field.InitFromImage(image, 0.0f, 0.0f), Image3DFloat::Refused);
    Image3D8 empty("e", 0, 0, 1, 0);
    EXPECT_EQ(field.InitFromImage(empty, 1.0f, 0.0f), Image3DFloat::Empty);
}

TEST(Image3DFloatTest, InitFromImageInvertsConvertTo) {
    Image3DFloat field("f", 4, 2, 1, 1), back("b", 4, 2, 1, 1);
    for (int i = 0; i < 8; ++i) field.SetPixelValue(0.1f * float(i), i % 4, i / 4, 0);
    Image3D8 image("i", 0, 0, 1, 0);
    ASSERT_EQ(field.ConvertTo(image, 100.0f, 3.0f), Image3DFloat::Done);
    ASSERT_EQ(back.InitFromImage(image, 100.0f, 3.0f), Image3DFloat::Done);
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(back.GetPixelValue(i % 4, i / 4, 0), field.GetPixelValue(i % 4, i / 4, 0),
                    0.01);
}

TEST(Image3DFloatTest, ScreenPixelsHaveTheColoursOfThe24BitPicture) {
    // Values inside and beyond the map, NaN and infinity, over a width with a tail; at a fixed
    // scale and scaled automatically.
    Image3DFloat field("f", 37, 3, 1, 1);
    const float specials[] = {-5.0f,
                              1e9f,
                              std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              999.6f,
                              0.0f};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 37; ++x)
            field.SetPixelValue(x < 6 && y == 1 ? specials[x] : float(x * 27 + y * 5) * 0.75f, x, y,
                                0);
    ColorMapRGBA8 map(1000);
    Distinct(map);
    const ptrdiff_t stride = 40;
    for (const bool automatic : {false, true}) {
        if (automatic) field.SetPixelValue(0.5f, 3, 1, 0);  // no infinity to scale by
        Image3D24 image("i", 0, 0, 1, 0);
        std::vector<uint32_t> pixels(size_t(stride) * 3, 0x12345678u);
        if (automatic) {
            ASSERT_EQ(field.ConvertAutoScaleTo(image, map), Image3DFloat::Done);
            ASSERT_EQ(field.ConvertAutoScaleToPixels(pixels.data(), stride, map),
                      Image3DFloat::Done);
        } else {
            ASSERT_EQ(field.ConvertTo(image, map, 1.3f, 2.0f), Image3DFloat::Done);
            ASSERT_EQ(field.ConvertToPixels(pixels.data(), stride, map, 1.3f, 2.0f),
                      Image3DFloat::Done);
        }
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 37; ++x) {
                const unsigned char *bgr = PixelAt(image, x, y);
                const uint32_t expected =
                    0xff000000u | uint32_t(bgr[2]) << 16 | uint32_t(bgr[1]) << 8 | bgr[0];
                EXPECT_EQ(pixels[size_t(y * stride + x)], expected) << x << "," << y;
            }
            EXPECT_EQ(pixels[size_t(y * stride + 37)], 0x12345678u);  // past the line: untouched
        }
    }
    ColorMapRGBA8 three(3);
    std::vector<uint32_t> pixels(size_t(stride) * 3);
    EXPECT_EQ(field.ConvertAutoScaleToPixels(pixels.data(), stride, three), Image3DFloat::Refused);
}
