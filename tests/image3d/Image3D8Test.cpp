#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "ImageFileFixture.h"
#include "image3d/Image3D8.h"

namespace {

unsigned char &Pixel(Image3D8 &image, int x, int y) {
    return image.GetPtrFirstPixel()[y * image.GetLineOffset() + x];
}

void FillPattern(Image3D8 &image, int seed) {
    for (int y = 0; y < image.GetSizeY(); ++y)
        for (int x = 0; x < image.GetSizeX(); ++x)
            image.SetPixelValue(seed + 7 * x + 13 * y, x, y, 0);
}

// Ten 3 x 2 glyphs: digit d has its pixel (column d % 3, line d % 2) set, the rest clear.
void MakeGlyphs(Image3D8 &glyphs) {
    for (int d = 0; d < 10; ++d) glyphs.SetPixelValue(1, d * 3 + d % 3, d % 2, 0);
}

}  // namespace

TEST(Image3D8Test, FirstPixelFollowsLayoutAndEmptyImageHasNone) {
    Image3D8 bordered("i", 5, 3, 1, 1);
    EXPECT_EQ(bordered.GetPtrFirstPixel(),
              reinterpret_cast<unsigned char *>(bordered.GetData()) + bordered.GetLineOffset() + 1);
    EXPECT_EQ(bordered.GetColorCount(), 256);
    EXPECT_EQ(bordered.GetPtrRawColorMap()->GetDataSize(), 256u);
    Image3D8 empty("i", 0, 0, 1, 0);
    EXPECT_EQ(empty.SetNewSize(0, 0, 1), Frame3D::SizeResult::Done);
    EXPECT_EQ(empty.GetPtrFirstPixel(), nullptr);
    EXPECT_EQ(empty.SetNewSize(60000, 60000, 1), Frame3D::SizeResult::Failed);
    EXPECT_EQ(empty.GetPtrFirstPixel(), nullptr);
    empty.SetPixelValue(1, 0, 0, 0);  // must not write through the missing store
}

TEST(Image3D8Test, ClipCopiesTheOverlapOnly) {
    Image3D8 source("s", 64, 64, 1, 0), target("t", 100, 100, 1, 0);
    FillPattern(source, 1);
    ASSERT_EQ(target.Clip(source, 80, 90), Image3D8::Done);
    int copied = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            const bool inside = x >= 80 && y >= 90;
            copied += inside;
            ASSERT_EQ(Pixel(target, x, y), inside ? Pixel(source, x - 80, y - 90) : 0)
                << x << "," << y;
        }
    }
    EXPECT_EQ(copied, 200);
    EXPECT_EQ(target.Clip(source, 100, 0), Image3D8::Refused);
    EXPECT_EQ(target.Clip(source, 0, 100), Image3D8::Refused);
    Image3D8 empty("e", 0, 0, 1, 0);
    EXPECT_EQ(target.Clip(empty, 0, 0), Image3D8::Empty);
    Image3D8 failed("f", 0, 0, 1, 0);
    (void)failed.SetNewSize(60000, 60000, 1);
    EXPECT_EQ(target.Clip(failed, 0, 0), Image3D8::ErrorState);
    EXPECT_EQ(failed.Clip(source, 0, 0), Image3D8::ErrorState);
}

TEST(Image3D8Test, ClipIntoItselfShiftsWithoutSmearing) {
    Image3D8 image("i", 5, 4, 1, 0);
    FillPattern(image, 0);
    Image3D8 before("b", 5, 4, 1, 0);
    ASSERT_EQ(before.Clip(image, 0, 0), Image3D8::Done);
    ASSERT_EQ(image.Clip(image, 1, 1), Image3D8::Done);
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 5; ++x) EXPECT_EQ(Pixel(image, x, y), Pixel(before, x - 1, y - 1));
}

TEST(Image3D8Test, TileRepeatsSourceAndCutsAtEdges) {
    Image3D8 source("s", 64, 64, 1, 0), target("t", 100, 100, 1, 1);
    FillPattern(source, 3);
    ASSERT_EQ(target.Tile(source), Image3D8::Done);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) ASSERT_EQ(Pixel(target, x, y), Pixel(source, x % 64, y % 64));
    EXPECT_EQ(Pixel(target, -1, -1), 0);  // borders are not written
    EXPECT_EQ(Pixel(target, 100, 5), 0);
}

TEST(Image3D8Test, TileOfPixelFreeSourceIsRefusedInsteadOfLooping) {
    Image3D8 borderOnly("s", 0, 3, 1, 1), target("t", 10, 10, 1, 0);
    EXPECT_EQ(target.Tile(borderOnly), Image3D8::Refused);
}

TEST(Image3D8Test, ColourBarRunsThroughRampEntries) {
    Image3D8 image("i", 256, 256, 1, 0);
    ASSERT_EQ(image.DrawColorMap(0, 0, 0, 0), Image3D8::Done);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const int want = 1 + int(x * 253.0 / 255.0 + 0.49);
            ASSERT_EQ(Pixel(image, x, y), want) << x << "," << y;
        }
    }
    EXPECT_EQ(Pixel(image, 0, 0), 1);
    EXPECT_EQ(Pixel(image, 255, 255), 254);
    EXPECT_EQ(image.DrawColorMap(256 - 9, 0, 0, 0), Image3D8::Refused);
    EXPECT_EQ(image.DrawColorMap(0, 256 - 9, 0, 0), Image3D8::Refused);
    EXPECT_EQ(image.DrawColorMap(0, 0, 1, 0), Image3D8::Refused);
}

TEST(Image3D8Test, ColourBarFromSharedSmallMaps) {
    Image3D8 image("i", 20, 12, 1, 0);
    ColorMapRGBA8 two(2), three(3);
    ASSERT_EQ(image.ShareColorMap(two), ColorMapRGBA8::MapDone);
    EXPECT_EQ(image.DrawColorMap(0, 0, 0, 0), Image3D8::Refused);
    ASSERT_EQ(image.ShareColorMap(three), ColorMapRGBA8::MapDone);
    ASSERT_EQ(image.DrawColorMap(2, 1, 100, 100), Image3D8::Done);  // cut at the edges
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) EXPECT_EQ(Pixel(image, x, y), x >= 2 && y >= 1 ? 1 : 0);
}

TEST(Image3D8Test, DrawIntegerCopiesDigitGlyphs) {
    Image3D8 glyphs("g", 30, 2, 1, 0), image("i", 13, 3, 1, 0);
    MakeGlyphs(glyphs);
    ASSERT_EQ(image.DrawInteger(-907, "%d", 1, 1, 5, 200, glyphs, 3), Image3D8::Done);
    // "-907": the sign counts in the width but neither draws nor moves; digits 9, 0, 7 follow.
    const int digits[3] = {9, 0, 7};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 13; ++x) {
            int want = 0;
            if (y >= 1 && x >= 1 && x < 10) {
                const int d = digits[(x - 1) / 3], gx = (x - 1) % 3, gy = y - 1;
                want = gx == d % 3 && gy == d % 2 ? 5 : 200;
            }
            EXPECT_EQ(Pixel(image, x, y), want) << x << "," << y;
        }
    }
}

struct DrawIntegerRefusal {
    const char *label;
    int value;
    const char *format;
    unsigned short x, y, glyphWidth;
};

void PrintTo(const DrawIntegerRefusal &row, std::ostream *os) { *os << row.label; }

class Image3D8DrawIntegerRefusal : public testing::TestWithParam<DrawIntegerRefusal> {};

TEST_P(Image3D8DrawIntegerRefusal, RefusesWithoutDrawing) {
    const DrawIntegerRefusal c = GetParam();
    Image3D8 glyphs("g", 30, 2, 1, 0), image("i", 39, 3, 1, 0);
    MakeGlyphs(glyphs);
    EXPECT_EQ(image.DrawInteger(c.value, c.format, c.x, c.y, 5, 200, glyphs, c.glyphWidth),
              Image3D8::Refused);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 39; ++x) ASSERT_EQ(Pixel(image, x, y), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Image3D8DrawIntegerRefusal,
    testing::Values(DrawIntegerRefusal{"TooWide", 7, "%04d", 0, 0, 10},
                    DrawIntegerRefusal{"SignCountsInWidth", -1234, "%d", 30, 0, 2},
                    DrawIntegerRefusal{"TooLow", 7, "%d", 0, 2, 3},
                    DrawIntegerRefusal{"TextLongerThanBuffer", INT_MIN, "%0200d", 0, 0, 0},
                    DrawIntegerRefusal{"StringConversion", 7, "%s", 0, 0, 3},
                    DrawIntegerRefusal{"TwoConversions", 7, "%d%d", 0, 0, 3},
                    DrawIntegerRefusal{"WidthFromArgument", 7, "%*d", 0, 0, 3},
                    DrawIntegerRefusal{"NoConversion", 7, "abc", 0, 0, 3},
                    DrawIntegerRefusal{"StoreConversion", 7, "%n", 0, 0, 3},
                    DrawIntegerRefusal{"GlyphPastLineEnd", 9, "%d", 0, 0, 4},
                    DrawIntegerRefusal{"NullFormat", 7, nullptr, 0, 0, 3}),
    [](const testing::TestParamInfo<DrawIntegerRefusal> &row) { return row.param.label; });

TEST(Image3D8Test, DigitCounterFitsExactlyWhenWideEnough) {
    // The preview counter: "%04d" of 7 with 10-pixel glyphs from a 99-pixel digit row, where
    // digit 9's last column is each line's padding byte.
    Image3D8 digits("d", 99, 12, 1, 0), image("i", 40, 12, 1, 0);
    for (int y = 0; y < 12; ++y) digits.GetPtrFirstPixel()[y * digits.GetLineOffset() + 99] = 1;
    ASSERT_EQ(image.DrawInteger(7, "%04d", 0, 0, 0, 255, digits, 10), Image3D8::Done);
    EXPECT_EQ(Pixel(image, 39, 0), 255);
    ASSERT_EQ(image.DrawInteger(9, "%04d", 0, 0, 0, 255, digits, 10), Image3D8::Done);
    EXPECT_EQ(Pixel(image, 39, 11), 0);  // padding byte of the glyph line read as ink
}

class Image3D8File : public ImageFileTest {};

TEST_F(Image3D8File, BMPRoundTripKeepsPixelsAndPalette) {
    Image3D8 image("i", 10, 5, 1, 0);
    FillPattern(image, 2);
    ASSERT_EQ(image.SetLinearRGBColorMap(0, 255, 30, 60, 255, 0), ColorMapRGBA8::MapDone);
    ASSERT_EQ(image.SetColorRGBA(7, 1, 2, 3, 0), ColorMapRGBA8::MapDone);
    const std::string path = PathOf("a.bmp");
    ASSERT_EQ(image.SaveFileBMP(path.c_str(), 0), Image3D8::Done);
    const std::vector<unsigned char> bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 1138u);
    EXPECT_EQ(0, std::memcmp(bytes.data() + 54, image.GetPtrFirstEntry(), 1024));
    // Bottom line first, 2 padding bytes after each line.
    EXPECT_EQ(bytes[1078], Pixel(image, 0, 4));
    EXPECT_EQ(bytes[1078 + 12], Pixel(image, 0, 3));

    Image3D8 back("b", 3, 3, 1, 1);  // another size, and a border it keeps
    ASSERT_EQ(back.LoadFileBMP(path.c_str()), Image3D8::Done);
    ASSERT_EQ(back.GetSizeX(), 10);
    ASSERT_EQ(back.GetSizeY(), 5);
    EXPECT_EQ(back.GetBorderSize(), 1);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(Pixel(back, x, y), Pixel(image, x, y));
    EXPECT_EQ(0, std::memcmp(back.GetPtrFirstEntry(), image.GetPtrFirstEntry(), 1024));
    EXPECT_EQ(Listing(), std::vector<std::string>{"a.bmp"});
}

TEST_F(Image3D8File, TGAHasColourMapOfThreeBytesAndUnpaddedLines) {
    Image3D8 image("i", 10, 5, 1, 0);
    FillPattern(image, 4);
    ASSERT_EQ(image.SetGrayColorMap(), ColorMapRGBA8::MapDone);
    ASSERT_EQ(image.SetColorRGBA(3, 10, 20, 30, 0), ColorMapRGBA8::MapDone);
    const std::string path = PathOf("a.tga");
    ASSERT_EQ(image.SaveFileTGA(path.c_str(), 0), Image3D8::Done);
    const std::vector<unsigned char> bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 18u + 768u + 50u);
    EXPECT_EQ(bytes[1], 1);
    EXPECT_EQ(bytes[18 + 9], 30);  // entry 3: blue, green, red
    EXPECT_EQ(bytes[18 + 10], 20);
    EXPECT_EQ(bytes[18 + 11], 10);
    EXPECT_EQ(bytes[786], Pixel(image, 0, 4));
    EXPECT_EQ(bytes[786 + 10], Pixel(image, 0, 3));
}

TEST_F(Image3D8File, PaletteViewingAnotherSizeOfMapStillWrites256Entries) {
    Image3D8 image("i", 4, 4, 1, 0);
    ColorMapRGBA8 small(3), large(1000);
    ASSERT_EQ(small.SetGrayColorMap(), ColorMapRGBA8::MapDone);
    ASSERT_EQ(image.ShareColorMap(small), ColorMapRGBA8::MapDone);
    ASSERT_EQ(image.SaveFileBMP(PathOf("s.bmp").c_str(), 0), Image3D8::Done);
    const std::vector<unsigned char> bytes = ReadBytes(PathOf("s.bmp"));
    ASSERT_EQ(bytes.size(), 54u + 1024u + 16u);
    EXPECT_EQ(bytes[54 + 8], 255);  // entry 2 white, entry 3 on black
    EXPECT_EQ(bytes[54 + 12], 0);
    ASSERT_EQ(image.ShareColorMap(large), ColorMapRGBA8::MapDone);
    ASSERT_EQ(image.SaveFileTGA(PathOf("l.tga").c_str(), 0), Image3D8::Done);
    EXPECT_EQ(ReadBytes(PathOf("l.tga")).size(), 18u + 768u + 16u);
    // Loading a full palette into a view of the 3-entry map fills only its 3 entries.
    ASSERT_EQ(image.ShareColorMap(small), ColorMapRGBA8::MapDone);
    ASSERT_EQ(image.LoadFileBMP(PathOf("s.bmp").c_str()), Image3D8::Done);
}

TEST_F(Image3D8File, SaversRefuseBadTargetsAndLeaveNoFile) {
    Image3D8 image("i", 4, 4, 1, 0);
    EXPECT_EQ(image.SaveFileBMP(PathOf("missing/a.bmp").c_str(), 0), Image3D8::Refused);
    EXPECT_EQ(image.SaveFileTGA(PathOf("missing/a.tga").c_str(), 0), Image3D8::Refused);
    std::filesystem::create_directory(Dir / "taken.bmp");
    EXPECT_EQ(image.SaveFileBMP(PathOf("taken.bmp").c_str(), 0), Image3D8::Refused);
    WriteBytes(PathOf("plain"), {1});
    EXPECT_EQ(image.SaveFileBMP(PathOf("plain/a.bmp").c_str(), 0), Image3D8::Refused);
    EXPECT_EQ(image.SaveFileBMP(nullptr, 0), Image3D8::Refused);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"plain", "taken.bmp"}));

    Image3D8 empty("e", 0, 0, 1, 0);
    EXPECT_EQ(empty.SaveFileBMP(PathOf("e.bmp").c_str(), 0), Image3D8::Empty);
    (void)empty.SetNewSize(60000, 60000, 1);
    EXPECT_EQ(empty.SaveFileTGA(PathOf("e.tga").c_str(), 0), Image3D8::ErrorState);
}

TEST_F(Image3D8File, SavingReplacesAnExistingFile) {
    const std::string path = PathOf("a.bmp");
    WriteBytes(path, std::vector<unsigned char>(5000, 9));
    Image3D8 image("i", 2, 2, 1, 0);
    ASSERT_EQ(image.SaveFileBMP(path.c_str(), 0), Image3D8::Done);
    EXPECT_EQ(ReadBytes(path).size(), 54u + 1024u + 8u);
}

// A valid 8-bit BMP of 3 x 2 pixels with a 2-entry palette (data offset 62), lines padded to 4.
std::vector<unsigned char> SmallBMP() {
    std::vector<unsigned char> b(62 + 8, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, uint32_t(b.size()));
    put32(10, 62);
    put32(14, 40);
    put32(18, 3);
    put32(22, 2);
    b[26] = 1;
    b[28] = 8;
    put32(54, 0x00112233);  // entry 0: blue 0x33, green 0x22, red 0x11
    put32(58, 0x00445566);
    const unsigned char pixels[8] = {1, 2, 3, 0, 4, 5, 6, 0};  // bottom line first
    std::memcpy(b.data() + 62, pixels, 8);
    return b;
}

struct BMPRefusal {
    const char *label;
    size_t at;       // byte to change, or the length to cut the file to when cut is set
    uint32_t value;  // 32-bit little-endian value written at "at"
    bool cut;
};

void PrintTo(const BMPRefusal &row, std::ostream *os) { *os << row.label; }

class Image3D8BMPRefusal : public ImageFileTest, public testing::WithParamInterface<BMPRefusal> {};

TEST_P(Image3D8BMPRefusal, LeavesImageAndPaletteUnchanged) {
    const BMPRefusal c = GetParam();
    std::vector<unsigned char> bytes = SmallBMP();
    if (c.cut) {
        bytes.resize(c.at);
    } else {
        for (int i = 0; i < 4; ++i)
            bytes[c.at + i] = static_cast<unsigned char>(c.value >> (8 * i));
    }
    const std::string path = PathOf("bad.bmp");
    WriteBytes(path, bytes);
    Image3D8 image("i", 4, 4, 1, 0);
    Pixel(image, 0, 0) = 77;
    ASSERT_EQ(image.SetColorRGBA(0, 9, 9, 9, 0), ColorMapRGBA8::MapDone);
    EXPECT_EQ(image.LoadFileBMP(path.c_str()), Image3D8::Refused);
    EXPECT_EQ(image.GetSizeX(), 4);
    EXPECT_EQ(Pixel(image, 0, 0), 77);
    EXPECT_EQ(image.GetPtrFirstEntry()[0], 9);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Image3D8BMPRefusal,
    testing::Values(BMPRefusal{"Signature", 0, 0x4D41, false},
                    BMPRefusal{"DataOffsetBeforeHeader", 10, 40, false},
                    BMPRefusal{"DataOffsetHugeAsSigned", 10, 0xFFFFFFF0u, false},
                    BMPRefusal{"PaletteOf257", 10, 54 + 4 * 257, false},
                    BMPRefusal{"InfoHeader124", 14, 124, false},
                    BMPRefusal{"Width5001", 18, 5001, false}, BMPRefusal{"WidthZero", 18, 0, false},
                    BMPRefusal{"WidthNegative", 18, uint32_t(-3), false},
                    BMPRefusal{"HeightZero", 22, 0, false},
                    BMPRefusal{"HeightBelowMinus5000", 22, uint32_t(-5001), false},
                    BMPRefusal{"HeightMostNegative", 22, 0x80000000u, false},
                    BMPRefusal{"TwentyFourBits", 28, 0x00000018, false},
                    BMPRefusal{"RunLengthCompressed", 30, 1, false},
                    BMPRefusal{"EmptyFile", 0, 0, true}, BMPRefusal{"HeaderCut", 30, 0, true},
                    BMPRefusal{"PaletteCut", 58, 0, true}),
    [](const testing::TestParamInfo<BMPRefusal> &row) { return row.param.label; });

TEST_F(Image3D8File, MissingFileAndDirectoryAreRefused) {
    Image3D8 image("i", 4, 4, 1, 0);
    EXPECT_EQ(image.LoadFileBMP(PathOf("none.bmp").c_str()), Image3D8::Refused);
    EXPECT_EQ(image.LoadFileBMP(Dir.string().c_str()), Image3D8::Refused);
    EXPECT_EQ(image.LoadFileBMP(nullptr), Image3D8::Refused);
    EXPECT_EQ(image.GetSizeX(), 4);
}

TEST_F(Image3D8File, ShortPixelAreaLoadsWhatIsThere) {
    std::vector<unsigned char> bytes = SmallBMP();
    bytes.resize(62 + 5);  // the bottom line and one pixel of the top line
    WriteBytes(PathOf("short.bmp"), bytes);
    Image3D8 image("i", 3, 2, 1, 0);
    image.SetPixelValue(99, 1, 0, 0);
    image.SetPixelValue(98, 2, 0, 0);
    ASSERT_EQ(image.LoadFileBMP(PathOf("short.bmp").c_str()), Image3D8::Done);
    EXPECT_EQ(Pixel(image, 0, 1), 1);
    EXPECT_EQ(Pixel(image, 2, 1), 3);
    EXPECT_EQ(Pixel(image, 0, 0), 4);
    EXPECT_EQ(Pixel(image, 1, 0), 99);
    EXPECT_EQ(Pixel(image, 2, 0), 98);
}

TEST_F(Image3D8File, NegativeHeightLoadsTopDown) {
    std::vector<unsigned char> bytes = SmallBMP();
    const uint32_t minusTwo = uint32_t(-2);
    for (int i = 0; i < 4; ++i) bytes[22 + i] = static_cast<unsigned char>(minusTwo >> (8 * i));
    WriteBytes(PathOf("top.bmp"), bytes);
    Image3D8 image("i", 1, 1, 1, 0);
    ASSERT_EQ(image.LoadFileBMP(PathOf("top.bmp").c_str()), Image3D8::Done);
    ASSERT_EQ(image.GetSizeY(), 2);
    EXPECT_EQ(Pixel(image, 0, 0), 1);
    EXPECT_EQ(Pixel(image, 2, 1), 6);
}

TEST_F(Image3D8File, PaletteOffsetRulesWhichEntriesChange) {
    Image3D8 image("i", 1, 1, 1, 0);
    ASSERT_EQ(image.SetColorRGBA(0, 7, 7, 7, 0), ColorMapRGBA8::MapDone);
    ASSERT_EQ(image.SetColorRGBA(2, 8, 8, 8, 0), ColorMapRGBA8::MapDone);

    std::vector<unsigned char> bytes = SmallBMP();
    WriteBytes(PathOf("two.bmp"), bytes);
    ASSERT_EQ(image.LoadFileBMP(PathOf("two.bmp").c_str()), Image3D8::Done);
    EXPECT_EQ(image.GetPtrFirstEntry()[0], 0x33);
    EXPECT_EQ(image.GetPtrFirstEntry()[2], 0x11);
    EXPECT_EQ(image.GetPtrFirstEntry()[8], 8);  // entry 2 keeps its colour

    // Data offset 54: no palette; the pixels follow the header.
    std::vector<unsigned char> bare(bytes.begin(), bytes.begin() + 54);
    bare.insert(bare.end(), bytes.begin() + 62, bytes.end());
    bare[10] = 54;
    ASSERT_EQ(image.SetColorRGBA(0, 7, 7, 7, 0), ColorMapRGBA8::MapDone);
    WriteBytes(PathOf("bare.bmp"), bare);
    ASSERT_EQ(image.LoadFileBMP(PathOf("bare.bmp").c_str()), Image3D8::Done);
    EXPECT_EQ(image.GetPtrFirstEntry()[0], 7);
    EXPECT_EQ(Pixel(image, 0, 1), 1);

    // Data offset 2 bytes past the palette: the pixels are read where the offset says.
    std::vector<unsigned char> gap(bytes.begin(), bytes.begin() + 62);
    gap.push_back(0xEE);
    gap.push_back(0xEE);
    gap.insert(gap.end(), bytes.begin() + 62, bytes.end());
    gap[10] = 64;
    WriteBytes(PathOf("gap.bmp"), gap);
    ASSERT_EQ(image.LoadFileBMP(PathOf("gap.bmp").c_str()), Image3D8::Done);
    EXPECT_EQ(Pixel(image, 0, 1), 1);
    EXPECT_EQ(Pixel(image, 2, 0), 6);
}
