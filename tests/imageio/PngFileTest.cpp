#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imageio/PngFile.h"
#include "rdsimul/ScriptTestSupport.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"

namespace {

using scripttest::ReadFile;
using scripttest::TempDirTest;
using scripttest::WriteFile;

// A lopsided 5 x 3 picture whose rows are padded to 7 pixels, so a stride or axis mix-up shows.
constexpr uint32_t Width = 5;
constexpr uint32_t Height = 3;
constexpr size_t StridePixels = 7;

uint8_t Sample(uint32_t x, uint32_t y, int channel) {
    return uint8_t(40 * y + 7 * x + 3 * channel);
}

const uint8_t Palette[3][3] = {{10, 20, 30}, {200, 100, 0}, {1, 2, 255}};

struct Case {
    const char *Name;
    PngFile::Layout Kind;
    int BitDepth;
    int ColorType;
};

class PngFileRoundTrip : public TempDirTest, public testing::WithParamInterface<Case> {};

// Builds the rows of the picture in the layout of kind: indexes cycle through the palette,
// gray samples use both bytes, RGB and BGR carry the same colours.
std::vector<uint8_t> MakeRows(PngFile::Layout kind, size_t &stride) {
    const size_t bytes = kind == PngFile::Layout::Indexed8 ? 1
                         : kind == PngFile::Layout::Gray16 ? 2
                                                           : 3;
    stride = StridePixels * bytes;
    std::vector<uint8_t> rows(stride * Height, 0xEE);
    for (uint32_t y = 0; y < Height; ++y) {
        for (uint32_t x = 0; x < Width; ++x) {
            uint8_t *p = rows.data() + y * stride + x * bytes;
            if (kind == PngFile::Layout::Indexed8) {
                p[0] = uint8_t((x + 2 * y) % 3);
            } else if (kind == PngFile::Layout::Gray16) {
                const uint16_t value = uint16_t(1000 * y + 257 * x + 1);
                std::memcpy(p, &value, 2);
            } else {
                const bool bgr = kind == PngFile::Layout::Bgr8;
                for (int c = 0; c < 3; ++c) p[bgr ? 2 - c : c] = Sample(x, y, c);
            }
        }
    }
    return rows;
}

TEST_P(PngFileRoundTrip, ReadsBackDepthPaletteAndPixels) {
    const Case &c = GetParam();
    size_t stride = 0;
    const std::vector<uint8_t> rows = MakeRows(c.Kind, stride);
    PngFile::Picture picture;
    picture.Width = Width;
    picture.Height = Height;
    picture.Kind = c.Kind;
    picture.Pixels = rows.data();
    picture.RowStride = stride;
    picture.Palette = Palette;
    picture.PaletteSize = 3;
    const std::string path = PathOf("p.png");
    int error = -1;
    ASSERT_EQ(PngFile::Write(path.c_str(), picture, PngFile::DefaultCompression, error),
              PngFile::Done);
    EXPECT_EQ(error, 0);

    PngFile::RawImage raw;
    ASSERT_EQ(PngFile::ReadRaw(path.c_str(), raw, error), PngFile::Done);
    EXPECT_EQ(raw.Width, Width);
    EXPECT_EQ(raw.Height, Height);
    EXPECT_EQ(raw.BitDepth, c.BitDepth);
    EXPECT_EQ(raw.ColorType, c.ColorType);
    if (c.Kind == PngFile::Layout::Indexed8) {
        EXPECT_EQ(raw.Palette, std::vector<uint8_t>(&Palette[0][0], &Palette[0][0] + 9));
    }

    std::vector<uint8_t> rgb;
    uint32_t w = 0, h = 0;
    ASSERT_EQ(PngFile::ReadRgb(path.c_str(), w, h, rgb, error), PngFile::Done);
    ASSERT_EQ(rgb.size(), size_t(Width * Height * 3));
    for (uint32_t y = 0; y < Height; ++y) {
        for (uint32_t x = 0; x < Width; ++x) {
            const uint8_t *in = rows.data() + y * stride;
            const uint8_t *out = rgb.data() + (y * Width + x) * 3;
            for (int ch = 0; ch < 3; ++ch) {
                uint8_t expected = Sample(x, y, ch);
                if (c.Kind == PngFile::Layout::Indexed8) {
                    expected = Palette[in[x]][ch];
                } else if (c.Kind == PngFile::Layout::Gray16) {
                    uint16_t value = 0;
                    std::memcpy(&value, in + 2 * x, 2);
                    expected = uint8_t(value >> 8);
                    // Raw 16-bit samples come back exactly.
                    uint16_t stored = 0;
                    std::memcpy(&stored, raw.Rows.data() + y * raw.RowBytes + 2 * x, 2);
                    EXPECT_EQ(stored, value);
                }
                EXPECT_EQ(out[ch], expected) << x << "," << y << " channel " << ch;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PngFileRoundTrip,
    testing::Values(Case{"Indexed", PngFile::Layout::Indexed8, 8, PngFile::ColorIndexed},
                    Case{"Rgb", PngFile::Layout::Rgb8, 8, PngFile::ColorRgb},
                    Case{"Bgr", PngFile::Layout::Bgr8, 8, PngFile::ColorRgb},
                    Case{"Gray16", PngFile::Layout::Gray16, 16, PngFile::ColorGray}),
    [](const testing::TestParamInfo<Case> &row) { return std::string(row.param.Name); });

class PngFileErrors : public TempDirTest {};

TEST_F(PngFileErrors, FailedWriteLeavesTheTargetAsItWas) {
    const std::string path = PathOf("old.png");
    WriteFile(path, "old content");
    const uint8_t rgb[3 * 4] = {};
    for (AtomicFileWriter::Step step : {AtomicFileWriter::Step::Write, AtomicFileWriter::Step::Sync,
                                        AtomicFileWriter::Step::Rename}) {
        AtomicFileWriter::FailStepForTesting(step);
        int error = 0;
        EXPECT_EQ(PngFile::WriteRgb(path.c_str(), 2, 2, rgb, 6, error), PngFile::Failed);
        AtomicFileWriter::FailStepForTesting(AtomicFileWriter::Step::None);
        EXPECT_NE(error, 0);
        EXPECT_EQ(ReadFile(path), "old content");
    }
    int error = 0;
    const std::string missing = PathOf("no/such/dir.png");
    EXPECT_EQ(PngFile::WriteRgb(missing.c_str(), 2, 2, rgb, 6, error), PngFile::Failed);
    EXPECT_EQ(error, ENOENT);
}

TEST_F(PngFileErrors, RefusesBadPicturesWithoutCreatingAFile) {
    const uint8_t pixels[16] = {};
    const std::string path = PathOf("bad.png");
    struct Bad {
        uint32_t W, H;
        const uint8_t *Pixels;
        size_t Stride;
        int PaletteSize;
    };
    for (const Bad &bad :
         {Bad{0, 2, pixels, 2, 3}, Bad{2, 0, pixels, 2, 3}, Bad{2, 2, nullptr, 2, 3},
          Bad{3, 2, pixels, 2, 3}, Bad{2, 2, pixels, 2, 0}, Bad{2, 2, pixels, 2, 257}}) {
        int error = 0;
        EXPECT_EQ(PngFile::WriteIndexed(path.c_str(), bad.W, bad.H, bad.Pixels, bad.Stride, Palette,
                                        bad.PaletteSize, error),
                  PngFile::Failed);
        EXPECT_EQ(error, EINVAL);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

TEST_F(PngFileErrors, SinkCauseStopsTheEncoding) {
    const uint8_t rgb[3] = {1, 2, 3};
    PngFile::Picture picture;
    picture.Width = 1;
    picture.Height = 1;
    picture.Pixels = rgb;
    picture.RowStride = 3;
    PngFile::Sink sink;
    sink.Write = [](void *, const uint8_t *, size_t) { return ENOSPC; };
    int error = 0;
    EXPECT_EQ(PngFile::Encode(picture, 1, sink, error), PngFile::Failed);
    EXPECT_EQ(error, ENOSPC);
}

TEST_F(PngFileErrors, ReaderRefusesMissingAndForeignFiles) {
    std::vector<uint8_t> rgb;
    uint32_t w = 0, h = 0;
    int error = 0;
    EXPECT_EQ(PngFile::ReadRgb(PathOf("none.png").c_str(), w, h, rgb, error), PngFile::Failed);
    EXPECT_EQ(error, ENOENT);
    WriteFile(PathOf("text.png"), "BM not a png at all");
    EXPECT_EQ(PngFile::ReadRgb(PathOf("text.png").c_str(), w, h, rgb, error), PngFile::Failed);
    EXPECT_EQ(error, EINVAL);
}

TEST_F(PngFileErrors, WholeCheckRefusesEveryCutAndAChangedByte) {
    std::vector<uint8_t> rgb(Width * Height * 3, 0x5A);
    int error = 0;
    ASSERT_EQ(
        PngFile::WriteRgb(PathOf("p.png").c_str(), Width, Height, rgb.data(), Width * 3, error),
        PngFile::Done);
    uint32_t w = 0, h = 0;
    ASSERT_EQ(PngFile::CheckWhole(PathOf("p.png").c_str(), w, h, error), PngFile::Done);
    EXPECT_EQ(w, Width);
    EXPECT_EQ(h, Height);
    const std::string whole = ReadFile(PathOf("p.png"));
    for (size_t length = 0; length < whole.size(); ++length) {
        WriteFile(PathOf("cut.png"), whole.substr(0, length));
        EXPECT_EQ(PngFile::CheckWhole(PathOf("cut.png").c_str(), w, h, error), PngFile::Failed)
            << length;
    }
    // A pixel changed in the stored data: the checksums no longer match.
    std::string changed = whole;
    changed[whole.size() / 2] ^= 0x01;
    WriteFile(PathOf("changed.png"), changed);
    EXPECT_EQ(PngFile::CheckWhole(PathOf("changed.png").c_str(), w, h, error), PngFile::Failed);
    EXPECT_EQ(error, EINVAL);
    EXPECT_EQ(PngFile::CheckWhole(PathOf("none.png").c_str(), w, h, error), PngFile::Failed);
    EXPECT_EQ(error, ENOENT);
}

// A PNG file of chunks with correct checksums: the signature, IHDR of width x height 8-bit RGB,
// one IDAT holding idat, IEND.
std::string HandMadePng(uint32_t width, uint32_t height, const std::string &idat) {
    auto crc = [](const std::string &bytes) {
        uint32_t c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
        return c ^ 0xFFFFFFFFu;
    };
    auto be32 = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    auto chunk = [&](const std::string &type, const std::string &data) {
        return be32(uint32_t(data.size())) + type + data + be32(crc(type + data));
    };
    const std::string ihdr = be32(width) + be32(height) + std::string{8, 2, 0, 0, 0};
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", idat) +
           chunk("IEND", "");
}

// A header that promises far more pixels than its bytes could unpack to (7 x 51,000,000 in a
// file of a few dozen bytes), or a side beyond the readers' limit, is refused before anything is
// allocated for it; a FIFO or a device named as a PNG is never waited on or read.
TEST_F(PngFileErrors, BombsHugeSidesAndNonRegularFilesAreRefusedBeforeReading) {
    // A zlib stream of one empty stored block: the start of a valid stream, far too short.
    const std::string idat("\x78\x01\x01\x00\x00\xff\xff", 7);
    WriteFile(PathOf("bomb.png"), HandMadePng(7, 51000000, idat));
    WriteFile(PathOf("wide.png"), HandMadePng(PngFile::MaxReadSide + 1, 1, idat));
    ASSERT_EQ(mkfifo(PathOf("fifo.png").c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/zero", PathOf("zero.png"));
    const struct {
        const char *Name;
        int Cause;
    } cases[] = {{"bomb.png", EFBIG},
                 {"wide.png", EFBIG},
                 {"fifo.png", FileFault::NotRegular},
                 {"zero.png", FileFault::NotRegular}};
    for (const auto &c : cases) {
        std::vector<uint8_t> rgb;
        uint32_t w = 0, h = 0;
        int error = 0;
        EXPECT_EQ(PngFile::ReadRgb(PathOf(c.Name).c_str(), w, h, rgb, error), PngFile::Failed);
        EXPECT_EQ(error, c.Cause) << c.Name;
        EXPECT_TRUE(rgb.empty()) << c.Name;
        error = 0;
        EXPECT_EQ(PngFile::CheckWhole(PathOf(c.Name).c_str(), w, h, error), PngFile::Failed);
        EXPECT_EQ(error, c.Cause) << c.Name;
        PngFile::RawImage raw;
        EXPECT_EQ(PngFile::ReadRaw(PathOf(c.Name).c_str(), raw, error), PngFile::Failed);
        EXPECT_EQ(error, c.Cause) << c.Name;
    }
}

}  // namespace
