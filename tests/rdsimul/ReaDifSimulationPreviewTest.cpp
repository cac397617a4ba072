#include <gtest/gtest.h>

#include <set>

#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "rdsimul/ReaDifSimulation.h"

namespace {

unsigned char Pixel8(const GenImage3D *image, int x, int y) {
    const Image3D8 *picture = static_cast<const Image3D8 *>(image);
    return picture->GetPtrFirstPixel()[y * picture->GetLineOffset() + x];
}

const unsigned char *Pixel24(const GenImage3D *image, int x, int y) {
    const Image3D24 *picture = static_cast<const Image3D24 *>(image);
    return picture->GetPtrFirstPixel() + y * picture->GetLineOffset() + 3 * x;
}

// A two-component simulation of width x height whose component A holds 0 on the left half and
// 1 on the right, and component B 0.5 everywhere.
class PreviewTest : public testing::Test {
protected:
    void Build(unsigned short width, unsigned short height) {
        ASSERT_EQ(Sim.SetReactionModel("brusselator"), ReaDifSimulation::Done);
        ASSERT_EQ(Sim.SetDomainSize(width, height, 1), ReaDifSimulation::Done);
        ASSERT_EQ(Sim.ColorMaps8[0]->SetGrayColorMap(), ColorMapRGBA8::MapDone);
        ASSERT_EQ(Sim.ColorMaps24[0]->SetLinearRGBColorMap(0, 255, 0, 255, 0, 255),
                  ColorMapRGBA8::MapDone);
        for (unsigned short y = 0; y < height; ++y) {
            for (unsigned short x = 0; x < width; ++x) {
                Sim.Components[0]->SetPixelValue(x < width / 2 ? 0.0f : 1.0f, x, y, 0);
                Sim.Components[1]->SetPixelValue(0.5f, x, y, 0);
            }
        }
    }
    ReaDifSimulation Sim{4};
};

}  // namespace

TEST_F(PreviewTest, AutoscaledPreviewUsesIndexes1And254AndTheStripTheLastLines) {
    Build(100, 100);
    Sim.CurrentTime = 42;
    GenImage3D *image = Sim.GetPreviewImage(1, 0);
    ASSERT_EQ(image, &Sim.PreviewImage8);
    EXPECT_EQ(Sim.PreviewTime, 42);
    ASSERT_EQ(image->GetSizeX(), 100);
    ASSERT_EQ(image->GetSizeY(), 100);
    std::set<int> texture;
    for (int y = 0; y < 82; ++y) {
        for (int x = 0; x < 100; ++x) texture.insert(Pixel8(image, x, y));
    }
    EXPECT_EQ(texture, (std::set<int>{1, 254}));
    // Lines 82 to 99 show the palette from entry 1 on the left to 254 on the right.
    for (int y = 82; y < 100; ++y) {
        EXPECT_EQ(Pixel8(image, 0, y), 1);
        EXPECT_EQ(Pixel8(image, 99, y), 254);
        EXPECT_EQ(Pixel8(image, 50, y), Pixel8(image, 50, 82));
    }
    // The palette is the script's colour map itself.
    EXPECT_EQ(Sim.PreviewImage8.GetPtrRawColorMap()->GetData(),
              Sim.ColorMaps8[0]->GetPtrRawColorMap()->GetData());
}

TEST_F(PreviewTest, ShowsImageComponentOrAWhenThereIsNone) {
    Build(20, 20);
    EXPECT_EQ(Pixel8(Sim.GetPreviewImage(0, 0), 19, 0), 254);  // '?' shows A
    Sim.ImageComponent = 'B';
    EXPECT_EQ(Pixel8(Sim.GetPreviewImage(0, 0), 0, 0), 254);  // uniform B: all 254
    EXPECT_EQ(Pixel8(Sim.GetPreviewImage(0, 0), 19, 0), 254);
}

TEST_F(PreviewTest, FieldOfFewerThan18LinesHasNoStrip) {
    Build(10, 12);
    GenImage3D *image = Sim.GetPreviewImage(1, 0);
    EXPECT_EQ(Pixel8(image, 0, 11), 1);
    EXPECT_EQ(Pixel8(image, 9, 11), 254);
}

TEST_F(PreviewTest, TrueColorPreviewScalesOntoTheLargeMap) {
    Build(40, 20);
    Sim.ImageScale = 2.0;
    Sim.ImageOffset = 0.5;
    Sim.Components[0]->SetPixelValue(0.6f, 0, 0, 0);    // entry trunc(120 - 49 + 0.499) = 71
    Sim.Components[0]->SetPixelValue(200.0f, 1, 0, 0);  // beyond the last entry: white
    Sim.Components[0]->SetPixelValue(-1.0f, 2, 0, 0);   // below entry 0: black
    GenImage3D *image = Sim.GetPreviewImage(0, 1);
    ASSERT_EQ(image, &Sim.PreviewImage24);
    const unsigned char *entry = reinterpret_cast<const unsigned char *>(
                                     Sim.ColorMaps24[0]->GetPtrRawColorMap()->GetData()) +
                                 4 * 71;
    EXPECT_EQ(Pixel24(image, 0, 0)[0], entry[0]);
    EXPECT_EQ(Pixel24(image, 0, 0)[1], entry[1]);
    EXPECT_EQ(Pixel24(image, 0, 0)[2], entry[2]);
    EXPECT_EQ(Pixel24(image, 1, 0)[0], 255);
    EXPECT_EQ(Pixel24(image, 2, 0)[2], 0);
}

TEST_F(PreviewTest, ColorMapPictureHasAFrameAndTheNextPreviewTheFieldSize) {
    Build(30, 20);
    GenImage3D *image = Sim.GetPreviewColorMap(200, 100, 0);
    ASSERT_EQ(image->GetSizeX(), 200);
    ASSERT_EQ(image->GetSizeY(), 100);
    EXPECT_EQ(Pixel8(image, 14, 50), 0);
    EXPECT_EQ(Pixel8(image, 185, 50), 0);
    EXPECT_EQ(Pixel8(image, 100, 14), 0);
    EXPECT_EQ(Pixel8(image, 100, 85), 0);
    EXPECT_EQ(Pixel8(image, 15, 15), 1);
    EXPECT_EQ(Pixel8(image, 184, 84), 254);
    image = Sim.GetPreviewImage(0, 0);
    EXPECT_EQ(image->GetSizeX(), 30);
    EXPECT_EQ(image->GetSizeY(), 20);
}

TEST_F(PreviewTest, SmallColorMapPictureStaysBlack) {
    Build(30, 20);
    GenImage3D *image = Sim.GetPreviewColorMap(20, 20, 1);
    ASSERT_EQ(image->GetSizeX(), 20);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            EXPECT_EQ(Pixel24(image, x, y)[0] | Pixel24(image, x, y)[1] | Pixel24(image, x, y)[2],
                      0);
        }
    }
}
