// PNG files of the image writer, decoded by Qt: the 8-bit ones must hold the indexes and the
// palette of the BMP of the same field (Qt reads both), the 24-bit ones its colours, the height
// map its 16-bit samples.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "imageio/ImageOutput.h"
#include "imageio/PngFile.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptTestSupport.h"
#include "rdsimul/SimulationTestSupport.h"

namespace {

class PngInQtTest : public scripttest::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        PrepareRun(Sim, FindModel("diffusion"), 9, 4, 10, 11);
        ASSERT_EQ(Sim.FileBaseName.Init(PathOf("tex").c_str(), 300), ProcString::Done);
        ASSERT_EQ(Sim.ColorMaps8[0]->SetLinearHSLColorMap(0, 300, 1, 1, 60, 200),
                  ColorMapRGBA8::MapDone);
        ASSERT_EQ(Sim.ColorMaps24[0]->SetLinearHSLColorMap(0, 300, 1, 1, 60, 200),
                  ColorMapRGBA8::MapDone);
        Sim.ImageComponent = 'A';
        for (uint16_t y = 0; y < 4; ++y) {
            for (uint16_t x = 0; x < 9; ++x) {
                Sim.Components[0]->SetPixelValue(float(std::cos(x * 0.9 + y * y * 1.1)), x, y, 0);
            }
        }
        ImageOptions options;
        options.Height = true;
        Writer = std::make_unique<ImageOutput>(options, nullptr);
        Sim.SetImageWriter(Writer.get());
    }
    void TearDown() override {
        Sim.SetImageWriter(nullptr);
        TempDirTest::TearDown();
    }
    // Writes the image at iteration time in format; the decoded file.
    QImage Save(char format, int32_t time) {
        Sim.ImageFormat = format;
        Sim.CurrentTime = time;
        EXPECT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done);
        QImage image(QString::fromStdString(Sim.ImageFileName));
        EXPECT_FALSE(image.isNull()) << Sim.ImageFileName;
        return image;
    }

    std::unique_ptr<ImageOutput> Writer;  // outlives Sim, which points at it
    ReaDifSimulation Sim{4};
};

TEST_F(PngInQtTest, EightBitPngHasTheBmpIndexesAndPalette) {
    const QImage bmp = Save('B', 1);
    const QImage png = Save('P', 2);
    ASSERT_EQ(png.format(), QImage::Format_Indexed8);
    ASSERT_EQ(png.size(), QSize(9, 4));
    EXPECT_EQ(png.colorTable(), bmp.colorTable());
    EXPECT_EQ(png.colorCount(), 256);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 9; ++x) EXPECT_EQ(png.pixelIndex(x, y), bmp.pixelIndex(x, y)) << x;
    }
}

TEST_F(PngInQtTest, TrueColourPngHasTheBmpColoursAndTheHeightMapItsSamples) {
    Sim.TrueColor = 1;
    const QImage bmp = Save('B', 1);
    const QImage png = Save('P', 2);
    ASSERT_EQ(png.size(), QSize(9, 4));
    EXPECT_FALSE(png.hasAlphaChannel());
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 9; ++x) EXPECT_EQ(png.pixel(x, y), bmp.pixel(x, y)) << x << "," << y;
    }
    const std::string height = PathOf("tex_A000002_height.png");
    const QImage gray(QString::fromStdString(height));
    ASSERT_EQ(gray.format(), QImage::Format_Grayscale16);
    PngFile::RawImage raw;
    int error = 0;
    ASSERT_EQ(PngFile::ReadRaw(height.c_str(), raw, error), PngFile::Done);
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(
            std::memcmp(gray.constScanLine(y), raw.Rows.data() + size_t(y) * raw.RowBytes, 9 * 2),
            0)
            << y;
    }
}

}  // namespace
