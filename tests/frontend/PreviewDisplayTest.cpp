#include "FrontEndTestSupport.h"
#include "frontend/PreviewDisplay.h"
#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "rdsimul/ReaDifSimulation.h"

using frontendtest::FrontEndTest;

namespace {

struct Rect {
    int X, Y, W, H;
    bool operator==(const Rect &o) const { return X == o.X && Y == o.Y && W == o.W && H == o.H; }
};

std::ostream &operator<<(std::ostream &os, const Rect &r) {
    return os << r.X << "," << r.Y << " " << r.W << "x" << r.H;
}

class PreviewDisplay : public FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        Start();
        H->Blits.clear();
    }
    std::vector<Rect> Blits() const {
        std::vector<Rect> r;
        for (const auto &b : H->Blits) r.push_back({b.X, b.Y, b.Width, b.Height});
        return r;
    }
};

TEST_F(PreviewDisplay, NormalModeClipsToTheClientArea) {
    Image3D8 image("preview", 256, 256, 1, 0);
    H->MainWidth = 200;
    H->MainHeight = 150;
    DisplayMode = 1;
    FastDisplay(WindowId::Main, image, MainRDSim.CurrentTime);
    EXPECT_EQ(Blits(), (std::vector<Rect>{{5, 16, 195, 134}}));
    EXPECT_EQ(H->BitmapFormat.Width, 256);
    EXPECT_EQ(H->BitmapFormat.Height, 256);
    EXPECT_EQ(H->BitmapFormat.Bits, 8);
    EXPECT_EQ(H->BitmapFormat.Stride, 256);
    EXPECT_EQ(H->BitmapPixels.size(), 256u * 256u);
}

TEST_F(PreviewDisplay, TileModeFillsTheWindowAndCountsOnTheFirstTileOnly) {
    Image3D8 image("preview", 100, 100, 1, 0);
    H->MainWidth = 330;
    H->MainHeight = 250;
    H->KeepBlitPixels = true;
    DisplayMode = 2;
    DisplayCounter = 1;
    MainRDSim.CurrentTime = 42;
    FastDisplay(WindowId::Main, image, MainRDSim.CurrentTime);
    std::vector<Rect> expected = {{105, 16, 100, 100}, {205, 16, 100, 100},  {305, 16, 20, 100},
                                  {5, 116, 100, 100},  {105, 116, 100, 100}, {205, 116, 100, 100},
                                  {305, 116, 20, 100}, {5, 216, 100, 30},    {105, 216, 100, 30},
                                  {205, 216, 100, 30}, {305, 216, 20, 30},   {5, 16, 100, 100}};
    EXPECT_EQ(Blits(), expected);
    // Glyph pixels (colour 0) only in the last copy, the first tile.
    auto ink = [](const std::vector<uint8_t> &pixels) {
        return std::count(pixels.begin(), pixels.begin() + 12 * 100, 255);
    };
    EXPECT_EQ(ink(H->Blits.front().Pixels), 0);
    EXPECT_GT(ink(H->Blits.back().Pixels), 0);
}

TEST_F(PreviewDisplay, AlbumModeLinesUpImagesAndWrapsToTheTop) {
    Image3D8 image("preview", 100, 100, 1, 0);
    H->MainWidth = 330;
    H->MainHeight = 250;
    DisplayMode = 3;
    InitDisplayDone = 0;
    for (int i = 0; i < 7; ++i) FastDisplay(WindowId::Main, image, MainRDSim.CurrentTime);
    std::vector<Rect> expected = {{5, 16, 100, 100},  {115, 16, 100, 100},  {225, 16, 100, 100},
                                  {5, 126, 100, 100}, {115, 126, 100, 100}, {225, 126, 100, 100},
                                  {5, 16, 100, 100}};
    EXPECT_EQ(Blits(), expected);
}

TEST_F(PreviewDisplay, CounterStampsFourDigitsInTheTopLeftCorner) {
    Image3D8 image("preview", 60, 20, 1, 0);
    DisplayMode = 1;
    DisplayCounter = 1;
    MainRDSim.CurrentTime = 42;
    FastDisplay(WindowId::Main, image, MainRDSim.CurrentTime);
    const uint8_t *p = H->BitmapPixels.data();
    const int line = 60;
    // Cells 0, 0, 4, 2: row 1 of a 0 has glyph pixels at columns 2 to 5, of a 4 at 2 and 6.
    EXPECT_EQ(p[line * 1 + 2], 0);
    EXPECT_EQ(p[line * 1 + 1], 255);
    EXPECT_EQ(p[line * 1 + 20 + 2], 0);
    EXPECT_EQ(p[line * 1 + 20 + 3], 255);
    EXPECT_EQ(p[line * 1 + 20 + 6], 0);
    EXPECT_EQ(p[line * 1 + 40 + 2], 0);
    // Outside the 40 x 12 corner the picture is untouched.
    EXPECT_EQ(p[line * 1 + 45], 0);
    EXPECT_EQ(p[line * 12 + 2], 0);
    EXPECT_EQ(p[line * 11 + 2], 255);
}

TEST_F(PreviewDisplay, ChangedPictureKindRebuildsTheBitmap) {
    Image3D8 image8("preview8", 30, 20, 1, 0);
    Image3D24 image24("preview24", 30, 20, 1, 0);
    FastDisplay(WindowId::Main, image8, MainRDSim.CurrentTime);
    EXPECT_EQ(H->BitmapsCreated, 1);
    // Rows padded to 4 bytes: 30 bytes take 32, 90 bytes take 92.
    EXPECT_EQ(H->BitmapFormat.Stride, 32);
    FastDisplay(WindowId::Main, image8, MainRDSim.CurrentTime);
    EXPECT_EQ(H->BitmapsCreated, 1);
    FastDisplay(WindowId::Main, image24, MainRDSim.CurrentTime);
    EXPECT_EQ(H->BitmapsCreated, 2);
    EXPECT_EQ(H->BitmapFormat.Bits, 24);
    EXPECT_EQ(H->BitmapFormat.Width, 30);
    EXPECT_EQ(H->BitmapFormat.Stride, 92);
    EXPECT_EQ(H->BitmapPixels.size(), 92u * 20u);
    InitDisplayDone = 0;
    FastDisplay(WindowId::Main, image24, MainRDSim.CurrentTime);
    EXPECT_EQ(H->BitmapsCreated, 3);
}

TEST_F(PreviewDisplay, TooSmallWindowShowsNothing) {
    Image3D8 image("preview", 50, 50, 1, 0);
    H->MainWidth = 5;
    H->MainHeight = 16;
    for (int mode = 1; mode <= 3; ++mode) {
        DisplayMode = mode;
        FastDisplay(WindowId::Main, image, MainRDSim.CurrentTime);
    }
    EXPECT_TRUE(H->Blits.empty());
}

TEST_F(PreviewDisplay, PaletteGoesIntoTheColourTable) {
    Image3D8 image("preview", 8, 8, 1, 0);
    MemoryTable *palette = image.GetPtrRawColorMap();
    ASSERT_NE(palette, nullptr);
    palette->GetData()[7] = 0x00112233;
    SimpleDisplay(WindowId::Editor, image);
    const PaletteEntry &entry = H->BitmapFormat.Palette[7];
    EXPECT_EQ(entry.Blue, 0x33);
    EXPECT_EQ(entry.Green, 0x22);
    EXPECT_EQ(entry.Red, 0x11);
    EXPECT_EQ(entry.Alpha, 0x00);
    EXPECT_EQ(Blits(), (std::vector<Rect>{{0, 0, 8, 8}}));
    EXPECT_EQ(H->BitmapTarget, WindowId::Editor);
}

TEST(LoadDigits, WritesGlyphsOnlyIntoATableLargeEnough) {
    MemoryTable small("small", 299, 4);
    ASSERT_EQ(small.RawInit(0), MemoryTable::Done);
    EXPECT_EQ(LoadDigits(small), 0);
    for (uint32_t i = 0; i < 299; ++i) EXPECT_EQ(small.GetData()[i], 0);
    MemoryTable table("glyphs", 300, 4);
    ASSERT_EQ(table.RawInit(0), MemoryTable::Done);
    ASSERT_EQ(LoadDigits(table), 1);
    const auto *bytes = reinterpret_cast<const uint8_t *>(table.GetData());
    // Digit 1, row 1: a single pixel at column 4; digit 8, row 5: columns 1 to 6.
    for (int c = 0; c < 10; ++c) {
        EXPECT_EQ(bytes[100 + 10 + c], c == 4 ? 215 : 0);
        EXPECT_EQ(bytes[500 + 80 + c], c >= 1 && c <= 6 ? 215 : 0);
    }
    int glyphPixels = 0;
    for (int i = 0; i < 1200; ++i) glyphPixels += bytes[i] == 215;
    EXPECT_EQ(glyphPixels, 370);
}

}  // namespace
