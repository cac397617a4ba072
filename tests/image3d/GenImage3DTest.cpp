#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "image3d/GenImage3D.h"

namespace {

std::vector<unsigned char> Written(const GenImage3D &image, bool tga, GenImage3D::Result *result) {
    FILE *file = std::tmpfile();
    *result = tga ? image.SaveTGAHeader(file) : image.SaveBMPHeader(file);
    std::vector<unsigned char> bytes(size_t(std::ftell(file)));
    std::rewind(file);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return bytes;
}

uint32_t LE32(const std::vector<unsigned char> &b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

uint32_t LE16(const std::vector<unsigned char> &b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8;
}

}  // namespace

TEST(Frame3DTest, ZeroPlanesBecomeOne) {
    Frame3D frame;
    EXPECT_EQ(frame.GetPixelCount(), 0u);
    EXPECT_EQ(frame.SetNewSize(8, 8, 0), Frame3D::SizeResult::Done);
    EXPECT_EQ(frame.GetSizeZ(), 1);
    EXPECT_EQ(frame.GetPixelCount(), 64u);
    Frame3D copy(1, 2, 3);
    EXPECT_EQ(copy.Clone(frame), Frame3D::SizeResult::Done);
    EXPECT_EQ(copy.GetSizeX(), 8);
    EXPECT_EQ(copy.GetSizeZ(), 1);
}

TEST(Frame3DTest, PixelCountBeyond32BitsIsRefused) {
    Frame3D frame;
    EXPECT_EQ(frame.SetNewSize(65535, 65535, 2), Frame3D::SizeResult::Failed);
    EXPECT_EQ(frame.GetPixelCount(), UINT32_MAX);
}

struct LayoutCase {
    const char *label;
    int depth, units;
    unsigned short x, y, z, border;
    int aligned, lineBorder, line, plane, init;
    uint32_t real, storeBytes, storeWords;
};

void PrintTo(const LayoutCase &row, std::ostream *os) { *os << row.label; }

class GenImage3DLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(GenImage3DLayout, MatchesWorkedLayout) {
    const LayoutCase c = GetParam();
    GenImage3D image("t", c.depth, c.units, c.border);
    EXPECT_EQ(image.SetNewSize(c.x, c.y, c.z), Frame3D::SizeResult::Done);
    EXPECT_EQ(image.GetAlignedBytes(), c.aligned);
    EXPECT_EQ(image.GetLineBorderOffset(), c.lineBorder);
    EXPECT_EQ(image.GetLineOffset(), c.line);
    EXPECT_EQ(image.GetPlaneOffset(), c.plane);
    EXPECT_EQ(image.GetPlaneBorderOffset(), 2 * c.border * c.line);
    EXPECT_EQ(image.GetInitOffset(), c.init);
    EXPECT_EQ(image.GetRealPixelCount(), c.real);
    EXPECT_EQ(image.GetByteSize(), c.storeBytes);
    EXPECT_EQ(image.GetDataSize(), c.storeWords);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GenImage3DLayout,
    testing::Values(
        LayoutCase{"Bits8_10x5", 1, 1, 10, 5, 1, 0, 2, 2, 12, 60, 0, 60, 60, 15},
        LayoutCase{"Bits24_10x5", 3, 3, 10, 5, 1, 0, 2, 2, 32, 160, 0, 53, 159, 40},
        LayoutCase{"Float10x5Border1", 4, 1, 10, 5, 1, 1, 2, 2, 12, 84, 13, 84, 336, 84},
        LayoutCase{"Float4x4x4Border1", 4, 1, 4, 4, 4, 1, 0, 2, 6, 36, 43, 216, 864, 216},
        LayoutCase{"Bits8_1x1", 1, 1, 1, 1, 1, 0, 3, 3, 4, 4, 0, 4, 4, 1},
        LayoutCase{"Bits24_4x2", 3, 3, 4, 2, 1, 0, 0, 0, 12, 24, 0, 8, 24, 6},
        // A single plane has no border planes: InitOffset = LineOffset + 1.
        LayoutCase{"Bits8_5x3Border1", 1, 1, 5, 3, 1, 1, 3, 5, 10, 50, 11, 50, 50, 13},
        LayoutCase{"Float7x1Border1", 4, 1, 7, 1, 1, 1, 1, 2, 9, 27, 10, 27, 108, 27}),
    [](const testing::TestParamInfo<LayoutCase> &p) { return p.param.label; });

TEST(GenImage3DTest, TwentyFourBitStoreCoversEveryAddressedByte) {
    // 5 x 3 with border 1: PlaneOffset 110 bytes, RealPixelCount 36 would hold only 108.
    GenImage3D image("t", 3, 3, 5, 3, 1, 1);
    EXPECT_EQ(image.GetPlaneOffset(), 110);
    EXPECT_EQ(image.GetRealPixelCount(), 36u);
    EXPECT_GE(image.GetByteSize(), 110u);
}

TEST(GenImage3DTest, EmptyImageHasEmptyStore) {
    GenImage3D image("t", 1, 1, 0);
    EXPECT_EQ(image.SetNewSize(0, 0, 1), Frame3D::SizeResult::Kept);
    EXPECT_EQ(image.GetDataSize(), 0u);
    EXPECT_EQ(image.GetData(), nullptr);
}

TEST(GenImage3DTest, GrowingZeroesFittingKeepsOldBytes) {
    GenImage3D image("t", 1, 1, 4, 4, 1, 0);
    auto *bytes = reinterpret_cast<unsigned char *>(image.GetData());
    std::memset(bytes, 7, 16);
    EXPECT_EQ(image.SetNewSize(2, 2, 1), Frame3D::SizeResult::Kept);
    EXPECT_EQ(reinterpret_cast<unsigned char *>(image.GetData())[0], 7);
    EXPECT_EQ(image.SetNewSize(40, 40, 1), Frame3D::SizeResult::Done);
    bytes = reinterpret_cast<unsigned char *>(image.GetData());
    for (int i = 0; i < 1600; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(GenImage3DTest, LayoutBeyondLimitsFailsIntoErrorStateAndRecovers) {
    GenImage3D image("t", 4, 1, 1);
    EXPECT_EQ(image.SetNewSize(65535, 65535, 65535), Frame3D::SizeResult::Failed);
    EXPECT_TRUE(image.HasAllocationError());
    EXPECT_EQ(image.GetData(), nullptr);
    EXPECT_EQ(image.GetLineOffset(), 0);
    EXPECT_EQ(image.SetNewSize(5000, 5000, 1),
              Frame3D::SizeResult::Failed);  // 100 MB: over the store's limit
    EXPECT_TRUE(image.HasAllocationError());
    EXPECT_EQ(image.SetNewSize(3, 3, 1), Frame3D::SizeResult::Done);
    EXPECT_FALSE(image.HasAllocationError());
    EXPECT_EQ(image.GetLineOffset(), 5);
}

TEST(GenImage3DTest, BMPHeaderOf8BitImage) {
    GenImage3D image("t", 1, 1, 10, 5, 1, 0);
    GenImage3D::Result result = GenImage3D::Refused;
    const std::vector<unsigned char> b = Written(image, false, &result);
    EXPECT_EQ(result, GenImage3D::Done);
    ASSERT_EQ(b.size(), 54u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(LE32(b, 2), 1138u);
    EXPECT_EQ(LE32(b, 6), 0u);
    EXPECT_EQ(LE32(b, 10), 1078u);
    EXPECT_EQ(LE32(b, 14), 40u);
    EXPECT_EQ(LE32(b, 18), 10u);
    EXPECT_EQ(LE32(b, 22), 5u);
    EXPECT_EQ(LE16(b, 26), 1u);
    EXPECT_EQ(LE16(b, 28), 8u);
    EXPECT_EQ(LE32(b, 30), 0u);
    EXPECT_EQ(LE32(b, 34), 60u);
    EXPECT_EQ(LE32(b, 38), 5000u);
    EXPECT_EQ(LE32(b, 42), 5000u);
    EXPECT_EQ(LE32(b, 46), 0u);
    EXPECT_EQ(LE32(b, 50), 0u);
}

TEST(GenImage3DTest, BMPHeaderOf24BitImageHasNoPalette) {
    GenImage3D image("t", 3, 3, 10, 5, 1, 0);
    GenImage3D::Result result = GenImage3D::Refused;
    const std::vector<unsigned char> b = Written(image, false, &result);
    ASSERT_EQ(b.size(), 54u);
    EXPECT_EQ(LE32(b, 2), 54u + 160u);
    EXPECT_EQ(LE32(b, 10), 54u);
    EXPECT_EQ(LE16(b, 28), 24u);
    EXPECT_EQ(LE32(b, 34), 160u);
}

TEST(GenImage3DTest, TGAHeaders) {
    GenImage3D::Result result = GenImage3D::Refused;
    GenImage3D paletted("t", 1, 1, 300, 2, 1, 0);
    const std::vector<unsigned char> p = Written(paletted, true, &result);
    EXPECT_EQ(result, GenImage3D::Done);
    EXPECT_EQ(p,
              (std::vector<unsigned char>{0, 1, 1, 0, 0, 0, 1, 24, 0, 0, 0, 0, 44, 1, 2, 0, 8, 0}));
    GenImage3D trueColour("t", 3, 3, 10, 5, 1, 0);
    const std::vector<unsigned char> t = Written(trueColour, true, &result);
    EXPECT_EQ(t,
              (std::vector<unsigned char>{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 0, 5, 0, 24, 0}));
    GenImage3D wide("t", 8, 1, 2, 2, 1, 0);
    EXPECT_TRUE(Written(wide, true, &result).empty());
    EXPECT_EQ(result, GenImage3D::Refused);
}
