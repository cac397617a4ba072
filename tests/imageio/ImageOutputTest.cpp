#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "imageio/ImageOutput.h"
#include "imageio/PngFile.h"
#include "imageio/WriterThread.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptTestSupport.h"
#include "rdsimul/SimulationTestSupport.h"
#include "toolkit/AtomicFileWriter.h"

namespace {

using scripttest::ReadFile;
using scripttest::TempDirTest;
using scripttest::WriteFile;

// A 7 x 5 field with a lopsided pattern under Dir/tex, images of A at iteration 3.
class ImageOutputTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        PrepareRun(Sim, FindModel("diffusion"), 7, 5, 10, 11);
        ASSERT_EQ(Sim.FileBaseName.Init(PathOf("tex").c_str(), 300), ProcString::Done);
        SetUpMaps();
        Sim.ImageComponent = 'A';
        Sim.CurrentTime = 3;
        for (uint16_t y = 0; y < 5; ++y) {
            for (uint16_t x = 0; x < 7; ++x) {
                Sim.Components[0]->SetPixelValue(float(std::sin(x * 1.3 + y * y * 0.7)), x, y, 0);
            }
        }
    }
    void TearDown() override {
        Sim.SetImageWriter(nullptr);
        TempDirTest::TearDown();
    }
    void SetUpMaps() {
        ASSERT_EQ(Sim.ColorMaps8[0]->SetLinearHSLColorMap(0, 300, 1, 1, 60, 200),
                  ColorMapRGBA8::MapDone);
        ASSERT_EQ(Sim.ColorMaps24[0]->SetLinearHSLColorMap(0, 300, 1, 1, 60, 200),
                  ColorMapRGBA8::MapDone);
    }
    std::vector<float> FieldValues() const {
        std::vector<float> values;
        for (uint16_t y = 0; y < 5; ++y) {
            for (uint16_t x = 0; x < 7; ++x)
                values.push_back(Sim.Components[0]->GetPixelValue(x, y, 0));
        }
        return values;
    }
    void SetFieldValues(const std::vector<float> &values) {
        for (uint16_t y = 0; y < 5; ++y) {
            for (uint16_t x = 0; x < 7; ++x)
                Sim.Components[0]->SetPixelValue(values[y * 7 + x], x, y, 0);
        }
    }
    // Hands Sim a writer with options, recording the files it reports.
    void Install(const ImageOptions &options) {
        Writer = std::make_unique<ImageOutput>(
            options, [this](const std::string &path) { Written.push_back(path); });
        Sim.SetImageWriter(Writer.get());
    }
    // The RGB rows of a 24-bit BMP the core wrote (bottom-up, lines padded to 4 bytes).
    static std::vector<uint8_t> BmpRgb(const std::string &path, uint32_t w, uint32_t h) {
        const std::string bytes = ReadFile(path);
        const size_t line = (w * 3 + 3) / 4 * 4;
        std::vector<uint8_t> rgb(size_t(w) * h * 3);
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                for (int c = 0; c < 3; ++c) {
                    rgb[(y * w + x) * 3 + c] =
                        uint8_t(bytes[54 + (h - 1 - y) * line + x * 3 + 2 - c]);
                }
            }
        }
        return rgb;
    }

    std::unique_ptr<ImageOutput> Writer;  // outlives Sim, which points at it
    ReaDifSimulation Sim{4};
    std::vector<std::string> Written;
};

TEST_F(ImageOutputTest, PngHoldsTheBmpIndexesPaletteAndPixels) {
    Install(ImageOptions{});
    // 8 bits: the same indexes and the same 256-entry palette as the BMP of the same field.
    ASSERT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done);
    Sim.ImageFormat = 'P';
    ASSERT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done);
    EXPECT_EQ(Written,
              std::vector<std::string>({PathOf("tex_A000003.bmp"), PathOf("tex_A000003.png")}));
    Image3D8 bmp("bmp", 0, 0, 1, 0);
    ASSERT_EQ(bmp.LoadFileBMP(PathOf("tex_A000003.bmp").c_str()), GenImage3D::Done);
    PngFile::RawImage png;
    int error = 0;
    ASSERT_EQ(PngFile::ReadRaw(PathOf("tex_A000003.png").c_str(), png, error), PngFile::Done);
    EXPECT_EQ(png.ColorType, PngFile::ColorIndexed);
    EXPECT_EQ(png.BitDepth, 8);
    ASSERT_EQ(png.Width, 7u);
    ASSERT_EQ(png.Height, 5u);
    ASSERT_EQ(png.Palette.size(), 256u * 3);
    const unsigned char *entries = Sim.ColorMaps8[0]->GetPtrFirstEntry();
    for (int i = 0; i < 256; ++i) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(png.Palette[i * 3 + c], entries[4 * i + 2 - c]) << i;
    }
    std::set<int> indexes;
    for (uint32_t y = 0; y < 5; ++y) {
        for (uint32_t x = 0; x < 7; ++x) {
            const int index = png.Rows[y * png.RowBytes + x];
            EXPECT_EQ(index, bmp.GetPtrFirstPixel()[y * bmp.GetLineOffset() + x]) << x << "," << y;
            indexes.insert(index);
        }
    }
    EXPECT_GT(indexes.size(), 10u);  // the pattern is not flat

    // 24 bits: the same colours as the BMP.
    Sim.TrueColor = 1;
    Sim.ImageFormat = 'B';
    ASSERT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done);
    Sim.ImageFormat = 'P';
    ASSERT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done);
    std::vector<uint8_t> rgb;
    uint32_t w = 0, h = 0;
    ASSERT_EQ(PngFile::ReadRaw(PathOf("tex_A000003.png").c_str(), png, error), PngFile::Done);
    EXPECT_EQ(png.ColorType, PngFile::ColorRgb);
    ASSERT_EQ(PngFile::ReadRgb(PathOf("tex_A000003.png").c_str(), w, h, rgb, error), PngFile::Done);
    EXPECT_EQ(rgb, BmpRgb(PathOf("tex_A000003.bmp"), 7, 5));
}

TEST_F(ImageOutputTest, MapsBesideEveryImageAndUpscaledSizes) {
    ImageOptions options;
    options.Height = true;
    options.Normal = true;
    options.Upscale = 3;
    Install(options);
    Sim.ImageFormat = 'T';  // the maps are PNG whatever the image's type
    ASSERT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done);
    const std::string height = PathOf("tex_A000003_height.png");
    const std::string normal = PathOf("tex_A000003_normal.png");
    EXPECT_EQ(Written, std::vector<std::string>({PathOf("tex_A000003.tga"), height, normal}));
    // TGA: 18-byte header, 768-byte colour map, 21 x 15 pixels.
    EXPECT_EQ(ReadFile(PathOf("tex_A000003.tga")).size(), 18u + 768 + 21 * 15);
    PngFile::RawImage raw;
    int error = 0;
    ASSERT_EQ(PngFile::ReadRaw(height.c_str(), raw, error), PngFile::Done);
    EXPECT_EQ(raw.BitDepth, 16);
    EXPECT_EQ(raw.ColorType, PngFile::ColorGray);
    EXPECT_EQ(raw.Width, 21u);
    EXPECT_EQ(raw.Height, 15u);
    // Autoscaled: the lowest point is 0, the highest 65535.
    const auto *samples = reinterpret_cast<const uint16_t *>(raw.Rows.data());
    uint16_t low = 65535, high = 0;
    for (size_t i = 0; i < 21 * 15; ++i) {
        low = std::min(low, samples[i]);
        high = std::max(high, samples[i]);
    }
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 65535);
    ASSERT_EQ(PngFile::ReadRaw(normal.c_str(), raw, error), PngFile::Done);
    EXPECT_EQ(raw.BitDepth, 8);
    EXPECT_EQ(raw.ColorType, PngFile::ColorRgb);
    EXPECT_EQ(raw.Width, 21u);

    // A mosaic's tile picture grows as well; the maps stay one copy of the field.
    Sim.Mosaic = 1;
    ASSERT_EQ(Sim.TmpTileImage2D8.SetNewSize(10, 12, 1), Frame3D::SizeResult::Done);
    Sim.CurrentTime = 5;
    ASSERT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done);
    EXPECT_EQ(ReadFile(PathOf("tex_A000005.tga")).size(), 18u + 768 + 30 * 36);
    ASSERT_EQ(PngFile::ReadRaw(PathOf("tex_A000005_height.png").c_str(), raw, error),
              PngFile::Done);
    EXPECT_EQ(raw.Width, 21u);
    EXPECT_EQ(raw.Height, 15u);
    Sim.Mosaic = 0;

    // The disk-space note counts the three files at the upscaled size.
    Sim.ImageStart = 0;
    Sim.ImagePeriod = 10;
    const uint64_t bytes = GenImage3D::TGAFileBytes(21, 15, 1) +
                           GenImage3D::PNGFileBytes(21, 15, 2) +
                           GenImage3D::PNGFileBytes(21, 15, 3);
    EXPECT_EQ(Sim.GetImageWriter()->FileBytes('T', 7, 5, 1, 7, 5), bytes);

    // Beyond 16384 pixels a side: refused with EFBIG before anything is written.
    options.Upscale = 8;
    Install(options);
    ASSERT_EQ(Sim.SetDomainSize(2049, 10, 1), ReaDifSimulation::Done);
    Sim.CurrentTime = 4;
    EXPECT_EQ(Sim.SaveImage2D('A'), GenImage3D::Refused);
    EXPECT_EQ(Sim.LastImageErrno, EFBIG);
    EXPECT_FALSE(std::filesystem::exists(PathOf("tex_A000004.tga")));
}

// Slopes are per field point: an upscaled normal map is as steep as the field's at the points
// where both sample the field itself (factor 3: output pixel 3x + 1 lies on point x).
TEST_F(ImageOutputTest, UpscaledNormalMapKeepsTheFieldsSlopes) {
    constexpr uint16_t W = 24, H = 6;
    ASSERT_EQ(Sim.SetDomainSize(W, H, 1), ReaDifSimulation::Done);
    for (uint16_t y = 0; y < H; ++y) {
        for (uint16_t x = 0; x < W; ++x) {
            // One smooth period across, a gentler one down: both slopes matter.
            const double v = std::sin(2 * M_PI * x / W) + 0.5 * std::cos(2 * M_PI * y / H);
            Sim.Components[0]->SetPixelValue(float(v), x, y, 0);
        }
    }
    Sim.ImageScale = 60.0;  // a fixed scale: the same heights at every size
    Sim.ImageOffset = 128.0;
    auto normals = [&](int factor, int32_t time) {
        ImageOptions options;
        options.Normal = true;
        options.NormalStrength = 4.0;
        options.Upscale = factor;
        Install(options);
        Sim.CurrentTime = time;
        EXPECT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done);
        PngFile::RawImage raw;
        int error = 0;
        char name[64];
        std::snprintf(name, sizeof name, "tex_A%06d_normal.png", int(time));
        EXPECT_EQ(PngFile::ReadRaw(PathOf(name).c_str(), raw, error), PngFile::Done);
        return raw;
    };
    const PngFile::RawImage field = normals(1, 7);
    const PngFile::RawImage upscaled = normals(3, 8);
    ASSERT_EQ(upscaled.Width, 3u * W);
    int steepest = 0;
    for (uint32_t y = 0; y < H; ++y) {
        for (uint32_t x = 0; x < W; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int a = field.Rows[y * field.RowBytes + 3 * x + c];
                const int b = upscaled.Rows[(3 * y + 1) * upscaled.RowBytes + 3 * (3 * x + 1) + c];
                // The two differ only by the finer difference step of the resampled field.
                EXPECT_NEAR(a, b, 6) << "point " << x << "," << y << " channel " << c;
                steepest = std::max(steepest, std::abs(a - 128));
            }
        }
    }
    EXPECT_GT(steepest, 60);  // the fixture's slopes are far from flat
}

TEST_F(ImageOutputTest, FailedWriteKeepsTheOldFileAndNamesIt) {
    ImageOptions options;
    options.Height = true;
    Install(options);
    Sim.ImageFormat = 'P';
    const std::string height = PathOf("tex_A000003_height.png");
    WriteFile(PathOf("tex_A000003.png"), "old image");
    // The colour image fails: nothing else is written.
    AtomicFileWriter::FailStepForTesting(AtomicFileWriter::Step::Rename);
    EXPECT_EQ(Sim.SaveImage2D('A'), GenImage3D::Refused);
    AtomicFileWriter::FailStepForTesting(AtomicFileWriter::Step::None);
    EXPECT_NE(Sim.LastImageErrno, 0);
    EXPECT_EQ(std::string(Sim.FailedImageName), PathOf("tex_A000003.png"));
    EXPECT_EQ(ReadFile(PathOf("tex_A000003.png")), "old image");
    EXPECT_FALSE(std::filesystem::exists(height));
    // A map that cannot be written is the one named.
    std::filesystem::create_directory(height);
    EXPECT_EQ(Sim.SaveImage2D('A'), GenImage3D::Refused);
    EXPECT_EQ(std::string(Sim.FailedImageName), height);
    EXPECT_EQ(Written, std::vector<std::string>({PathOf("tex_A000003.png")}));
}

TEST_F(ImageOutputTest, ImageMagickReadsWhatWasWritten) {
    if (std::system("identify -version > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ImageMagick's identify is not installed";
    }
    ImageOptions options;
    options.Height = true;
    Install(options);
    Sim.ImageFormat = 'P';
    ASSERT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done);
    Sim.TrueColor = 1;
    Sim.CurrentTime = 4;
    ASSERT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done);
    auto run = [](const std::string &command) {
        std::string out;
        FILE *pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) return out;
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
        return out;
    };
    struct Expect {
        std::string File;
        std::vector<std::string> Lines;
    };
    const Expect expects[] = {
        {"tex_A000003.png",
         {"Geometry: 7x5+0+0", "Type: Palette", "Depth: 8-bit", "png:IHDR.color_type: 3"}},
        {"tex_A000004.png", {"Geometry: 7x5+0+0", "Depth: 8-bit", "png:IHDR.color_type: 2"}},
        {"tex_A000004_height.png",
         {"Geometry: 7x5+0+0", "Type: Grayscale", "Depth: 16-bit", "png:IHDR.bit_depth: 16"}},
    };
    for (const Expect &e : expects) {
        const std::string text = run("identify -verbose '" + PathOf(e.File) + "' 2>&1");
        for (const std::string &line : e.Lines)
            EXPECT_NE(text.find(line), std::string::npos) << e.File << ": " << line;
        // ImageMagick's pixels are ours: 8-bit RGB, or the 16-bit samples (host order).
        const bool gray16 = e.File.find("_height") != std::string::npos;
        const std::string pixels =
            run(std::string("stream -map ") + (gray16 ? "i" : "rgb") + " -storage-type " +
                (gray16 ? "short" : "char") + " '" + PathOf(e.File) + "' - 2>/dev/null");
        int error = 0;
        std::vector<uint8_t> ours;
        if (gray16) {
            PngFile::RawImage raw;
            ASSERT_EQ(PngFile::ReadRaw(PathOf(e.File).c_str(), raw, error), PngFile::Done);
            ours = raw.Rows;
        } else {
            uint32_t w = 0, h = 0;
            ASSERT_EQ(PngFile::ReadRgb(PathOf(e.File).c_str(), w, h, ours, error), PngFile::Done);
        }
        EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.end()), ours) << e.File;
    }
}

}  // namespace

namespace {

// The files a folder holds, by name.
std::map<std::string, std::string> FilesOf(const std::string &folder) {
    std::map<std::string, std::string> files;
    for (const auto &item : std::filesystem::directory_iterator(folder)) {
        files[item.path().filename().string()] = ReadFile(item.path().string());
    }
    return files;
}

}  // namespace

// An image handed to the writer thread is written from copies taken at hand-over: the field
// and the colour maps changed before the thread gets to it change nothing, and the files are
// byte for byte those written directly, colour image and maps, 8 and 24 bits, upscaled or not.
TEST_F(ImageOutputTest, ThreadWritesTheBytesOfADirectWriteOfTheImageHandedOver) {
    const struct {
        int TrueColor;
        int Upscale;
        char Format;
    } cases[] = {{0, 1, 'P'}, {1, 1, 'P'}, {0, 3, 'P'}, {1, 2, 'P'}, {0, 1, 'B'}, {1, 2, 'T'}};
    for (const auto &c : cases) {
        const std::string label = std::to_string(c.TrueColor) + " x" + std::to_string(c.Upscale) +
                                  " " + std::string(1, c.Format);
        ImageOptions options;
        options.Upscale = c.Upscale;
        options.Height = true;
        options.Normal = true;
        Sim.TrueColor = c.TrueColor;
        Sim.ImageFormat = c.Format;
        std::filesystem::create_directories(PathOf("direct"));
        std::filesystem::create_directories(PathOf("thread"));
        ASSERT_EQ(Sim.FileBaseName.Init(PathOf("direct/tex").c_str(), 300), ProcString::Done);
        Install(options);
        ASSERT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done) << label;

        WriterThread thread;
        Install(options);
        Written.clear();
        std::vector<std::pair<std::string, int>> failures;
        Writer->WriteInBackground(thread, [&](const std::string &path, int error) {
            failures.emplace_back(path, error);
        });
        // The thread is kept busy until the simulation has moved on; however the case ends,
        // the gate opens and the writer goes before the thread it uses.
        std::promise<void> gate;
        std::shared_future<void> open = gate.get_future().share();
        thread.Push([open] { open.wait(); });
        struct Closing {
            std::function<void()> Work;
            ~Closing() { Work(); }
        } closing{[&] {
            if (open.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                gate.set_value();
            }
            Sim.SetImageWriter(nullptr);
            Writer.reset();
        }};
        ASSERT_EQ(Sim.FileBaseName.Init(PathOf("thread/tex").c_str(), 300), ProcString::Done);
        ASSERT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done) << label;
        const std::vector<float> before = FieldValues();
        for (uint16_t y = 0; y < 5; ++y) {
            for (uint16_t x = 0; x < 7; ++x) Sim.Components[0]->SetPixelValue(0.5f, x, y, 0);
        }
        ASSERT_EQ(Sim.ColorMaps8[0]->SetGrayColorMap(), ColorMapRGBA8::MapDone);
        ASSERT_EQ(Sim.ColorMaps24[0]->SetGrayColorMap(), ColorMapRGBA8::MapDone);
        EXPECT_EQ(Writer->ImagesDone(), 0);
        gate.set_value();
        Writer->Finish();
        EXPECT_TRUE(failures.empty()) << label;
        EXPECT_EQ(Writer->ImagesDone(), 1);
        const auto direct = FilesOf(PathOf("direct"));
        EXPECT_EQ(direct.size(), 3u) << label;
        EXPECT_EQ(FilesOf(PathOf("thread")), direct) << label;
        // The written paths are told on this thread, colour image first.
        ASSERT_EQ(Written.size(), 3u);
        EXPECT_EQ(Written[0].rfind(PathOf("thread/tex_A000003."), 0), 0u) << Written[0];

        // Back to the fixture's field and maps for the next case.
        SetFieldValues(before);
        SetUpMaps();
        std::filesystem::remove_all(PathOf("direct"));
        std::filesystem::remove_all(PathOf("thread"));
    }
}

// A file the thread cannot write reaches the failed callback with its name and cause when the
// outcomes are delivered; the image is not counted, the files before it are told as written.
TEST_F(ImageOutputTest, ThreadFailureIsDeliveredWithTheFileAndItsCause) {
    ImageOptions options;
    options.Height = true;
    WriterThread thread;
    Install(options);
    std::vector<std::pair<std::string, int>> failures;
    Writer->WriteInBackground(
        thread, [&](const std::string &path, int error) { failures.emplace_back(path, error); });
    // The writer goes before the thread it uses.
    struct Closing {
        std::unique_ptr<ImageOutput> &Writer;
        ReaDifSimulation &Sim;
        ~Closing() {
            Sim.SetImageWriter(nullptr);
            Writer.reset();
        }
    } closing{Writer, Sim};
    Sim.ImageFormat = 'P';
    const std::string height = PathOf("tex_A000003_height.png");
    std::filesystem::create_directory(height);
    ASSERT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done);  // handed over
    thread.Wait();
    EXPECT_TRUE(failures.empty());  // nothing is told before Deliver
    Writer->Deliver();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].first, height);
    EXPECT_NE(failures[0].second, 0);
    EXPECT_EQ(Written, std::vector<std::string>({PathOf("tex_A000003.png")}));
    EXPECT_EQ(Writer->ImagesDone(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(height));
}

// Every zlib level gives the same pixels, palette and maps; the level reaches the colour image
// and both maps, and level 0 keeps the stored blocks of earlier versions.
TEST_F(ImageOutputTest, EveryPngLevelDecodesToTheSamePixels) {
    for (int trueColor : {0, 1}) {
        Sim.TrueColor = trueColor;
        Sim.ImageFormat = 'P';
        std::map<std::string, PngFile::RawImage> atZero;
        std::map<std::string, std::string> bytesAtZero;
        for (int level = 0; level <= PngFile::MaxCompression; ++level) {
            ImageOptions options;
            options.Height = true;
            options.Normal = true;
            options.PngLevel = level;
            Install(options);
            Written.clear();
            ASSERT_EQ(Sim.SaveImage2D('A'), GenImage3D::Done);
            ASSERT_EQ(Written.size(), 3u);
            for (const std::string &path : Written) {
                PngFile::RawImage image;
                int error = 0;
                ASSERT_EQ(PngFile::ReadRaw(path.c_str(), image, error), PngFile::Done) << path;
                const std::string bytes = ReadFile(path);
                if (level == 0) {
                    atZero[path] = image;
                    bytesAtZero[path] = bytes;
                    // Stored blocks, as earlier versions wrote: zlib's header of the fastest
                    // level, then a deflate block of type 0 holding the rows as they are.
                    const size_t idat = bytes.find("IDAT");
                    ASSERT_NE(idat, std::string::npos) << path;
                    EXPECT_EQ(uint8_t(bytes[idat + 4]), 0x78);
                    EXPECT_EQ(uint8_t(bytes[idat + 5]), 0x01);
                    EXPECT_EQ(uint8_t(bytes[idat + 6]) & 0x06, 0) << path;
                    EXPECT_GT(bytes.size(), image.Rows.size() + image.Height) << path;
                    continue;
                }
                const PngFile::RawImage &zero = atZero[path];
                EXPECT_EQ(image.Rows, zero.Rows) << path << " level " << level;
                EXPECT_EQ(image.Palette, zero.Palette) << path << " level " << level;
                EXPECT_EQ(image.ColorType, zero.ColorType);
                EXPECT_EQ(image.BitDepth, zero.BitDepth);
                // zlib's header names the level (a picture this small may stay in stored blocks).
                if (level == PngFile::MaxCompression) {
                    EXPECT_NE(bytes, bytesAtZero[path]) << path;
                }
            }
        }
    }
}
