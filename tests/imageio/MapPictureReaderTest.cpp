// The maps' picture reader: PNG of every colour type the maps meet (gray of 1 and 16 bits,
// RGB, palette), BMP and TGA of both depths, each read as the values the core keeps; and the
// causes of the pictures it cannot read.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "imageio/MapPictureReader.h"
#include "imageio/PngFile.h"
#include "rdsimul/PictureMap.h"
#include "rdsimul/ScriptTestSupport.h"

namespace {

using scripttest::TempDirTest;
using scripttest::WriteFile;

class MapPictureReaderTest : public TempDirTest {
protected:
    // The values the reader and the core make of the picture at path.
    std::vector<double> Values(const std::string &path, uint32_t &width, uint32_t &height) {
        PictureMap::Samples samples;
        int error = 0;
        EXPECT_TRUE(MapPictureReader::Read(path.c_str(), samples, error)) << error;
        PictureMap map;
        EXPECT_EQ(map.SetSamples(samples, error), PictureMap::Done);
        width = map.Width();
        height = map.Height();
        if (map.Values() == nullptr) return {};
        return std::vector<double>(map.Values(), map.Values() + size_t(width) * height);
    }
};

double Luminance(int r, int g, int b) { return (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255.0; }

TEST_F(MapPictureReaderTest, PngOfEveryKindGivesGrayOverItsMaximumAndColourLuminance) {
    uint32_t w = 0, h = 0;
    int error = 0;
    // 16-bit gray, 3 x 2: over 65535.
    const uint16_t gray[6] = {0, 65535, 1000, 30000, 65534, 7};
    ASSERT_EQ(PngFile::WriteGray16(PathOf("g16.png").c_str(), 3, 2, gray, 6, error), PngFile::Done);
    std::vector<double> v = Values(PathOf("g16.png"), w, h);
    ASSERT_EQ(w, 3u);
    ASSERT_EQ(h, 2u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(v[size_t(i)], gray[i] / 65535.0) << i;
    // RGB, 2 x 2: a gray pixel is its level, the others their luminance.
    const uint8_t rgb[12] = {255, 0, 0, 9, 9, 9, 0, 255, 0, 10, 20, 30};
    ASSERT_EQ(PngFile::WriteRgb(PathOf("rgb.png").c_str(), 2, 2, rgb, 6, error), PngFile::Done);
    v = Values(PathOf("rgb.png"), w, h);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0], Luminance(255, 0, 0));
    EXPECT_EQ(v[1], 9 / 255.0);
    EXPECT_EQ(v[2], Luminance(0, 255, 0));
    EXPECT_EQ(v[3], Luminance(10, 20, 30));
    // A palette: each index through its colour.
    const uint8_t palette[2][3] = {{0, 0, 255}, {200, 200, 200}};
    const uint8_t indexes[3] = {1, 0, 1};
    ASSERT_EQ(PngFile::WriteIndexed(PathOf("pal.png").c_str(), 3, 1, indexes, 3, palette, 2, error),
              PngFile::Done);
    v = Values(PathOf("pal.png"), w, h);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0], 200 / 255.0);
    EXPECT_EQ(v[1], Luminance(0, 0, 255));
    // 1-bit gray, 3 x 2, rows 101 and 011 packed from the high bit: over 1.
    const unsigned char oneBit[] = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
        0x44, 0x52, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x00, 0x00,
        0x00, 0xb5, 0x0f, 0x5b, 0xb7, 0x00, 0x00, 0x00, 0x0c, 0x49, 0x44, 0x41, 0x54, 0x78,
        0x9c, 0x63, 0x58, 0xc0, 0x90, 0x00, 0x00, 0x02, 0x44, 0x01, 0x01, 0x6e, 0x45, 0xf3,
        0xc0, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    WriteFile(PathOf("bits.png"),
              std::string(reinterpret_cast<const char *>(oneBit), sizeof oneBit));
    v = Values(PathOf("bits.png"), w, h);
    EXPECT_EQ(v, (std::vector<double>{1, 0, 1, 0, 1, 1}));
}

TEST_F(MapPictureReaderTest, BmpAndTgaOfBothDepthsReadTopRowFirst) {
    // 2 x 2, lopsided: the BMP files are stored bottom-up, so a flipped picture shows.
    Image3D24 colour("c", 2, 2, 1, 0);
    colour.SetPixelValue(255, 0, 0, 0, 0, 0);
    colour.SetPixelValue(4, 4, 4, 1, 0, 0);
    colour.SetPixelValue(0, 0, 255, 0, 1, 0);
    colour.SetPixelValue(10, 20, 30, 1, 1, 0);
    Image3D8 indexed("i", 2, 2, 1, 0);
    ASSERT_EQ(indexed.SetColorRGBA(1, 0, 255, 0, 0), ColorMapRGBA8::MapDone);
    ASSERT_EQ(indexed.SetColorRGBA(2, 100, 100, 100, 0), ColorMapRGBA8::MapDone);
    indexed.SetPixelValue(1, 0, 0, 0);
    indexed.SetPixelValue(2, 1, 0, 0);
    indexed.SetPixelValue(0, 0, 1, 0);
    indexed.SetPixelValue(2, 1, 1, 0);
    ASSERT_EQ(colour.SaveFileBMP(PathOf("c.bmp").c_str(), 0), GenImage3D::Done);
    ASSERT_EQ(colour.SaveFileTGA(PathOf("c.TGA").c_str(), 0), GenImage3D::Done);
    ASSERT_EQ(indexed.SaveFileBMP(PathOf("i.bmp").c_str(), 0), GenImage3D::Done);
    ASSERT_EQ(indexed.SaveFileTGA(PathOf("i.tga").c_str(), 0), GenImage3D::Done);
    const std::vector<double> colourValues = {Luminance(255, 0, 0), 4 / 255.0, Luminance(0, 0, 255),
                                              Luminance(10, 20, 30)};
    const std::vector<double> indexedValues = {Luminance(0, 255, 0), 100 / 255.0, 0.0, 100 / 255.0};
    uint32_t w = 0, h = 0;
    EXPECT_EQ(Values(PathOf("c.bmp"), w, h), colourValues);
    EXPECT_EQ(Values(PathOf("c.TGA"), w, h), colourValues);
    EXPECT_EQ(Values(PathOf("i.bmp"), w, h), indexedValues);
    EXPECT_EQ(Values(PathOf("i.tga"), w, h), indexedValues);
}

TEST_F(MapPictureReaderTest, UnreadablePicturesGiveTheirCause) {
    std::filesystem::create_directories(Dir / "folder.png");
    WriteFile(PathOf("text.png"), "hello, not a picture");
    WriteFile(PathOf("cut.png"), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    // One pixel too wide, refused from its header.
    const std::vector<uint16_t> row(PictureMap::MaxSide + 1, 7);
    int written = 0;
    ASSERT_EQ(PngFile::WriteGray16(PathOf("wide.png").c_str(), PictureMap::MaxSide + 1, 1,
                                   row.data(), row.size() * 2, written),
              PngFile::Done);
    const std::pair<const char *, int> cases[] = {{"gone.png", ENOENT},
                                                  {"folder.png", EISDIR},
                                                  {"text.png", EINVAL},
                                                  {"cut.png", EINVAL},
                                                  {"wide.png", EFBIG}};
    for (const auto &[name, cause] : cases) {
        SCOPED_TRACE(name);
        PictureMap::Samples samples;
        int error = 0;
        EXPECT_FALSE(MapPictureReader::Read(PathOf(name).c_str(), samples, error));
        EXPECT_EQ(error, cause);
    }
}

}  // namespace
