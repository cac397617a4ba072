#include <gtest/gtest.h>

#include <cstring>

#include "ImageFileFixture.h"
#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"

namespace {

const unsigned char *PixelAt(const Image3D24 &image, int x, int y) {
    return image.GetPtrFirstPixel() + y * image.GetLineOffset() + 3 * x;
}

void FillPattern(Image3D24 &image) {
    for (int y = 0; y < image.GetSizeY(); ++y)
        for (int x = 0; x < image.GetSizeX(); ++x) image.SetPixelValue(x, y, x + y, x, y, 0);
}

}  // namespace

TEST(Image3D24Test, SetPixelValueWritesBlueGreenRedAndLeavesCursorOnRed) {
    Image3D24 image("i", 4, 3, 1, 0);
    image.SetPixelValue(10, 20, 30, 2, 1, 0);
    const unsigned char *p = PixelAt(image, 2, 1);
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    EXPECT_EQ(image.GetPtrCurrentPixel(), p + 2);
    image.SetPixelValue(1, 1, 1, 4, 0, 0);  // outside: nothing written, cursor kept
    EXPECT_EQ(image.GetPtrCurrentPixel(), p + 2);
}

TEST(Image3D24Test, ClipAndTileCopyWholeTriples) {
    Image3D24 source("s", 3, 2, 1, 0), target("t", 7, 5, 1, 0);
    FillPattern(source);
    ASSERT_EQ(target.Tile(source), Image3D24::Done);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(0, std::memcmp(PixelAt(target, x, y), PixelAt(source, x % 3, y % 2), 3));
    Image3D24 small("c", 4, 3, 1, 0);
    ASSERT_EQ(small.Clip(source, 2, 2), Image3D24::Done);
    EXPECT_EQ(0, std::memcmp(PixelAt(small, 2, 2), PixelAt(source, 0, 0), 6));
    EXPECT_EQ(PixelAt(small, 1, 2)[0], 0);
    EXPECT_EQ(small.Clip(source, 4, 0), Image3D24::Refused);
}

TEST(Image3D24Test, ColourBarTakesMapColours) {
    ColorMapRGBA8 map(5);
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(map.SetColorRGBA(i, 10 * i, 20 * i, 30 * i, 0), ColorMapRGBA8::MapDone);
    Image3D24 image("i", 12, 10, 1, 0);
    ASSERT_EQ(image.DrawColorMap(map, 2, 0, 3, 1), Image3D24::Done);
    // Entries 1 .. 3 over 3 pixels; blue, green, red.
    for (int x = 0; x < 3; ++x) {
        const unsigned char *p = PixelAt(image, 2 + x, 0);
        EXPECT_EQ(p[0], 30 * (x + 1));
        EXPECT_EQ(p[1], 20 * (x + 1));
        EXPECT_EQ(p[2], 10 * (x + 1));
    }
    EXPECT_EQ(PixelAt(image, 2, 1)[0], 0);
    ColorMapRGBA8 two(2);
    EXPECT_EQ(image.DrawColorMap(two, 0, 0, 0, 0), Image3D24::Refused);
    EXPECT_EQ(image.DrawColorMap(map, 3, 0, 0, 0), Image3D24::Refused);
}

TEST(Image3D24Test, DrawIntegerWritesGrayLevels) {
    Image3D8 glyphs("g", 20, 1, 1, 0);
    glyphs.SetPixelValue(1, 10, 0, 0);  // digit 5 with 2-pixel glyphs: ink, then paper
    Image3D24 image("i", 4, 2, 1, 0);
    ASSERT_EQ(image.DrawInteger(5, "%d", 1, 1, 40, 200, glyphs, 2), Image3D24::Done);
    const unsigned char ink[3] = {40, 40, 40}, paper[3] = {200, 200, 200};
    EXPECT_EQ(0, std::memcmp(PixelAt(image, 1, 1), ink, 3));
    EXPECT_EQ(0, std::memcmp(PixelAt(image, 2, 1), paper, 3));
    EXPECT_EQ(PixelAt(image, 0, 1)[0], 0);
    EXPECT_EQ(image.DrawInteger(55, "%d", 1, 1, 40, 200, glyphs, 2), Image3D24::Refused);
}

class Image3D24File : public ImageFileTest {};

TEST_F(Image3D24File, FilesHoldBottomUpTriples) {
    Image3D24 image("i", 10, 5, 1, 0);
    FillPattern(image);
    ASSERT_EQ(image.SaveFileTGA(PathOf("a.tga").c_str(), 0), Image3D24::Done);
    const std::vector<unsigned char> tga = ReadBytes(PathOf("a.tga"));
    ASSERT_EQ(tga.size(), 18u + 150u);
    EXPECT_EQ(0, std::memcmp(tga.data() + 18, PixelAt(image, 0, 4), 30));
    EXPECT_EQ(0, std::memcmp(tga.data() + 48, PixelAt(image, 0, 3), 30));

    ASSERT_EQ(image.SaveFileBMP(PathOf("a.bmp").c_str(), 0), Image3D24::Done);
    const std::vector<unsigned char> bmp = ReadBytes(PathOf("a.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 160u);
    EXPECT_EQ(0, std::memcmp(bmp.data() + 54, PixelAt(image, 0, 4), 30));
    EXPECT_EQ(0, std::memcmp(bmp.data() + 54 + 32, PixelAt(image, 0, 3), 30));
    EXPECT_EQ(Listing(), (std::vector<std::string>{"a.bmp", "a.tga"}));
}

TEST_F(Image3D24File, BorderedImageWritesOnlyItsPixels) {
    Image3D24 image("i", 3, 2, 1, 1);
    FillPattern(image);
    std::memset(image.GetData(), 0xAB, image.GetLineOffset());  // top border line
    ASSERT_EQ(image.SaveFileBMP(PathOf("b.bmp").c_str(), 0), Image3D24::Done);
    const std::vector<unsigned char> bmp = ReadBytes(PathOf("b.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 2u * 12u);
    EXPECT_EQ(0, std::memcmp(bmp.data() + 54, PixelAt(image, 0, 1), 9));
    EXPECT_EQ(0, std::memcmp(bmp.data() + 66, PixelAt(image, 0, 0), 9));
    EXPECT_EQ(bmp[63], 0);  // padding
}

TEST_F(Image3D24File, SaversRefuseMissingDirectoryAndEmptyImage) {
    Image3D24 image("i", 2, 2, 1, 0), empty("e", 0, 0, 1, 0);
    EXPECT_EQ(image.SaveFileTGA(PathOf("no/a.tga").c_str(), 0), Image3D24::Refused);
    EXPECT_EQ(empty.SaveFileBMP(PathOf("e.bmp").c_str(), 0), Image3D24::Empty);
    EXPECT_TRUE(Listing().empty());
}
