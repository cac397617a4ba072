#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ImageFileFixture.h"
#include "image3d/GenImage3D.h"
#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"

using ImageFileSize = ImageFileTest;

TEST_F(ImageFileSize, RuleGivesTheSizeOfEveryFileTheSaversWrite) {
    // Every line padding of a BMP (widths 1 .. 5 at one and three bytes a pixel), bordered
    // pictures whose border is not written, and both formats.
    for (unsigned short border : {0, 2}) {
        for (unsigned short x = 1; x <= 5; ++x) {
            for (unsigned short y : {1, 3}) {
                Image3D8 gray("g", x, y, 1, border);
                Image3D24 colour("c", x, y, 1, border);
                const std::string name =
                    std::to_string(border) + "_" + std::to_string(x) + "_" + std::to_string(y);
                ASSERT_EQ(gray.SaveFileBMP(PathOf(name + "g.bmp").c_str(), 0), GenImage3D::Done);
                ASSERT_EQ(gray.SaveFileTGA(PathOf(name + "g.tga").c_str(), 0), GenImage3D::Done);
                ASSERT_EQ(colour.SaveFileBMP(PathOf(name + "c.bmp").c_str(), 0), GenImage3D::Done);
                ASSERT_EQ(colour.SaveFileTGA(PathOf(name + "c.tga").c_str(), 0), GenImage3D::Done);
                EXPECT_EQ(std::filesystem::file_size(PathOf(name + "g.bmp")),
                          GenImage3D::BMPFileBytes(x, y, 1))
                    << name;
                EXPECT_EQ(std::filesystem::file_size(PathOf(name + "g.tga")),
                          GenImage3D::TGAFileBytes(x, y, 1))
                    << name;
                EXPECT_EQ(std::filesystem::file_size(PathOf(name + "c.bmp")),
                          GenImage3D::BMPFileBytes(x, y, 3))
                    << name;
                EXPECT_EQ(std::filesystem::file_size(PathOf(name + "c.tga")),
                          GenImage3D::TGAFileBytes(x, y, 3))
                    << name;
            }
        }
    }
    // Worked sizes, so that a rule and a writer wrong in the same way still fail.
    EXPECT_EQ(GenImage3D::BMPFileBytes(10, 10, 1), 54u + 1024u + 10u * 12u);
    EXPECT_EQ(GenImage3D::BMPFileBytes(5, 3, 3), 54u + 3u * 16u);
    EXPECT_EQ(GenImage3D::TGAFileBytes(10, 12, 1), 18u + 768u + 120u);
    EXPECT_EQ(GenImage3D::TGAFileBytes(13, 11, 3), 18u + 13u * 11u * 3u);
    // Sizes past 4 GB are counted, not wrapped.
    EXPECT_EQ(GenImage3D::BMPFileBytes(65535, 65535, 3), 54u + 65535ull * 196608ull);
}
