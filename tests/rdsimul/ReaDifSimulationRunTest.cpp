#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "SimulationTestSupport.h"
#include "toolkit/Timer.h"

namespace fs = std::filesystem;

namespace {

// A fresh directory per test, removed afterwards.
class TempDirectory {
public:
    TempDirectory() {
        const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("vorna_run_") + info->test_suite_name() + "_" + info->name();
        for (char &c : name) {
            if (c == '/') c = '_';  // parameterised names carry slashes
        }
        Path = fs::path(testing::TempDir()) / name;
        fs::remove_all(Path);
        fs::create_directories(Path);
    }
    ~TempDirectory() { fs::remove_all(Path); }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(Path)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    fs::path Path;
};

// A run of model (diffusion only by default) on a small domain with images of component A under
// dir/tex, 6 x 5 points unless sides are given.
void PrepareImages(ReaDifSimulation &sim, const TempDirectory &dir, int32_t start, int32_t period,
                   int32_t end, const char *model = "diffusion", uint16_t sizeX = 6,
                   uint16_t sizeY = 5) {
    PrepareRun(sim, FindModel(model), sizeX, sizeY, end, 11);
    ASSERT_EQ(sim.FileBaseName.Init((dir.Path / "tex").string().c_str(), 300), ProcString::Done);
    sim.ImageComponent = 'A';
    sim.ImageStart = start;
    sim.ImagePeriod = period;
}

uint32_t FakeSeconds = 1000;
uint32_t FakeClock() { return FakeSeconds; }

long FileSize(const fs::path &p) { return long(fs::file_size(p)); }

}  // namespace

TEST(ReaDifSimulationRun, WholeRunInOneCallThenComplete) {
    ReaDifSimulation sim(4);
    PrepareRun(sim, FindModel("schlogl"), 5, 4, 100, 3);
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(sim.CurrentTime, 100);
    const uint64_t done = FieldChecksum(sim);
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Complete);
    EXPECT_EQ(sim.RunSimulation(5), ReaDifSimulation::RunResult::Complete);
    EXPECT_EQ(sim.CurrentTime, 100);
    EXPECT_EQ(FieldChecksum(sim), done);
}

TEST(ReaDifSimulationRun, SlicesStopAtTheirEndAndNeverPassEndTime) {
    ReaDifSimulation sliced(4), whole(4);
    PrepareRun(sliced, FindModel("gld1"), 5, 4, 100, 8);
    PrepareRun(whole, FindModel("gld1"), 5, 4, 100, 8);
    for (int32_t expected : {30, 60, 90, 100}) {
        ASSERT_EQ(sliced.RunSimulation(30), ReaDifSimulation::RunResult::Ran);
        EXPECT_EQ(sliced.CurrentTime, expected);
    }
    EXPECT_EQ(sliced.RunSimulation(30), ReaDifSimulation::RunResult::Complete);
    ASSERT_EQ(whole.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(FieldChecksum(sliced), FieldChecksum(whole));
}

TEST(ReaDifSimulationRun, EndTimeZeroIsCompleteAtOnce) {
    ReaDifSimulation sim(4);
    PrepareRun(sim, FindModel("schlogl"), 5, 4, 0, 3);
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Complete);
}

TEST(ReaDifSimulationRun, RefusalsChangeNothingAndLeaveTheObjectUsable) {
    ReaDifSimulation sim(4);
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Refused);  // no model

    // A plane over 361,972 pixels (a script never asks for more than 600 x 600).
    PrepareRun(sim, FindModel("schlogl"), 700, 600, 10, 3);
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Refused);
    EXPECT_EQ(sim.CurrentTime, 0);
    PrepareRun(sim, FindModel("schlogl"), 602, 602, 10, 3);  // 362,404 pixels
    EXPECT_EQ(sim.RunSimulation(1), ReaDifSimulation::RunResult::Refused);
    PrepareRun(sim, FindModel("schlogl"), 601, 602, 2, 3);  // 361,802 pixels
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);

    PrepareRun(sim, FindModel("schlogl"), 6, 5, 10, 3);
    EXPECT_EQ(sim.RunSimulation(-1), ReaDifSimulation::RunResult::Refused);
    EXPECT_EQ(sim.CurrentTime, 0);
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(sim.CurrentTime, 10);
}

TEST(ReaDifSimulationRun, RefusedStepEndsTheSliceWithoutCountingTheIteration) {
    ReaDifSimulation sim(4);
    PrepareRun(sim, FindModel("ginzburglandau"), 6, 5, 20, 3);
    ASSERT_EQ(sim.RunSimulation(4), ReaDifSimulation::RunResult::Ran);
    // A four-component step on a two-component model refuses.
    sim.ReactionStep = &ReaDifSimulation::ReactionStep_GinzburgLandauDer2;
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Refused);
    EXPECT_EQ(sim.CurrentTime, 4);
    sim.ReactionStep = &ReaDifSimulation::ReactionStep_GinzburgLandau;
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(sim.CurrentTime, 20);
}

TEST(ReaDifSimulationRun, NaNAppearingAtFortyIsFoundAtFortyFive) {
    // Maginu with A = B = 0 stays at 0 while g = kA / c is finite; "c" falls by 1 per iteration
    // from 40, so the iteration that starts at 40 divides by 0 and A becomes 0 x inf = NaN.
    ReaDifSimulation sim(4);
    EXPECT_EQ(sim.SetReactionModel("maginu"), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionStrength('A', 1.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionStrength('B', 1.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetInitConcentration('A', 0.0, 0.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetInitConcentration('B', 0.0, 0.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionParameter("c", 40.0, -1.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionParameter("k", 1.0, 0.0), ReaDifSimulation::Done);
    sim.VaryParameters = 1;
    EXPECT_EQ(sim.SetDomainSize(5, 4, 1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetEndTime(100), ReaDifSimulation::Done);
    EXPECT_EQ(sim.Initialize(), GenImage3D::Done);

    ASSERT_EQ(sim.RunSimulation(41), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(sim.ErrorStatus, 0);
    EXPECT_TRUE(std::isnan(Interior(sim, 0)[0]));  // already there, not yet looked for
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(sim.CurrentTime, 45);
    EXPECT_EQ(sim.ErrorStatus, ReaDifSimulation::StatusOverflow);
    EXPECT_EQ(sim.ReactionStep_Maginu(), ReaDifSimulation::Refused);
}

TEST(ReaDifSimulationRun, DiffusionCoefficientsDriftAndAreClampedToZeroOne) {
    ReaDifSimulation sim(4);
    PrepareRun(sim, FindModel("brusselator"), 5, 4, 10, 3);
    EXPECT_EQ(sim.SetDiffusionCoeff('A', 0.95, 0.1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDiffusionCoeff('B', 0.2, -0.5), ReaDifSimulation::Done);
    ASSERT_EQ(sim.RunSimulation(1), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(sim.DiffusionCoeff[0], 1.0);
    EXPECT_EQ(sim.DiffusionCoeff[1], 0.0);
    ASSERT_EQ(sim.RunSimulation(3), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(sim.DiffusionCoeff[0], 1.0);
    EXPECT_EQ(sim.DiffusionCoeff[1], 0.0);
}

TEST(ReaDifSimulationRun, ParametersDriftOnlyWhenVaryParametersIsSet) {
    ReaDifSimulation sim(1);
    EXPECT_EQ(sim.SetReactionParameter("alpha", 1.0, 0.25), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionParameter("z9", -1.0, -0.5), ReaDifSimulation::Done);
    EXPECT_EQ(sim.VaryReactionParameters(), ReaDifSimulation::VaryResult::NothingToDo);
    EXPECT_EQ(sim.GetReactionParameter("alpha"), 1.0);
    sim.VaryParameters = 1;
    EXPECT_EQ(sim.VaryReactionParameters(), ReaDifSimulation::VaryResult::Done);
    EXPECT_EQ(sim.GetReactionParameter("alpha"), 1.25);
    EXPECT_EQ(sim.GetReactionParameter("z9"), -1.5);
}

TEST(ReaDifSimulationRun, InitializeDrawsAllOfABeforeB) {
    ReaDifSimulation sim(2);
    EXPECT_EQ(sim.SetReactionModel("maginu"), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDomainSize(3, 2, 1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetInitConcentration('A', 1.0, 0.5), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetInitConcentration('B', -2.0, 0.25), ReaDifSimulation::Done);
    sim.CurrentTime = 9;
    sim.PreviewTime = 4;
    sim.CurrentSpeed = sim.AverageSpeed = 3.0;
    MainRandom.Randomize(77);
    EXPECT_EQ(sim.Initialize(), GenImage3D::Done);
    EXPECT_EQ(sim.CurrentTime, 0);
    EXPECT_EQ(sim.PreviewTime, 0);
    EXPECT_EQ(sim.CurrentSpeed, 0.0);
    EXPECT_EQ(sim.AverageSpeed, 0.0);

    MainRandom.Randomize(77);
    std::vector<float> a, b;
    for (int i = 0; i < 6; ++i) a.push_back(float(RandomGenerator::Rand() * 1.0 / 32767.0 + 0.5));
    for (int i = 0; i < 6; ++i) {
        b.push_back(float(RandomGenerator::Rand() * 0.5 / 32767.0 + -2.25));
    }
    EXPECT_EQ(Interior(sim, 0), a);
    EXPECT_EQ(Interior(sim, 1), b);

    ReaDifSimulation none(1);
    EXPECT_EQ(none.Initialize(), GenImage3D::Refused);
}

// Which iterations get an image, and that the final one is added only when due.
struct ImageTimingCase {
    int32_t Start, Period, End;
    std::set<std::string> Files;
};

class ReaDifSimulationImageTiming : public testing::TestWithParam<ImageTimingCase> {};

TEST_P(ReaDifSimulationImageTiming, ImagesAtTheirIterationsPlusTheFinalOne) {
    const ImageTimingCase c = GetParam();
    TempDirectory dir;
    ReaDifSimulation sim(4);
    PrepareImages(sim, dir, c.Start, c.Period, c.End);
    // In uneven slices: the timing must not depend on them.
    while (sim.RunSimulation(7) == ReaDifSimulation::RunResult::Ran) {
    }
    EXPECT_EQ(sim.CurrentTime, c.End);
    EXPECT_EQ(dir.Files(), c.Files);
    EXPECT_EQ(sim.ImagesWritten, int32_t(c.Files.size()));
    EXPECT_EQ(sim.ImageCount(), int64_t(c.Files.size()));
}

TEST(ReaDifSimulationRun, ImageCountIsTheNumberOfIterationsWithAnImageDue) {
    ReaDifSimulation sim(4);
    for (int32_t end = 0; end <= 40; ++end) {
        sim.EndTime = end;
        for (int32_t period = -1; period <= 12; ++period) {
            for (int32_t start = -25; start <= 45; start += 3) {
                sim.ImagePeriod = period;
                sim.ImageStart = start;
                int64_t due = 0;
                for (int32_t t = 1; t <= end; ++t) due += sim.ImageDue(t) ? 1 : 0;
                ASSERT_EQ(sim.ImageCount(), due) << start << " " << period << " " << end;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReaDifSimulationImageTiming,
    testing::Values(
        ImageTimingCase{0, 10, 25, {"tex_A000010.bmp", "tex_A000020.bmp", "tex_A000025.bmp"}},
        ImageTimingCase{5, 10, 30, {"tex_A000005.bmp", "tex_A000015.bmp", "tex_A000025.bmp"}},
        // The final image falls on a periodic one: one file, counted once.
        ImageTimingCase{5, 10, 25, {"tex_A000005.bmp", "tex_A000015.bmp", "tex_A000025.bmp"}},
        // 20 is on no periodic image but is a multiple of the period: no final image either.
        ImageTimingCase{-15, 10, 20, {"tex_A000005.bmp", "tex_A000015.bmp"}},
        ImageTimingCase{0, 0, 12, {}},  // no image line: no image at all
        ImageTimingCase{20, 5, 12, {"tex_A000012.bmp"}}));

// The frame hook: with every image, or every period iterations and at the end, however the run
// is sliced (a whole run in one call batches the quiet iterations between them); never in a
// pass without images. Each frame is the picture the image gets.
TEST(ReaDifSimulationRun, FramesFollowTheImagesOrTheirPeriodInAnySlices) {
    struct Case {
        int32_t Period;
        int32_t Slice;  // 0: the whole run in one call
        std::vector<int32_t> Times;
    };
    const Case cases[] = {
        {0, 0, {10, 20, 25}},    {0, 7, {10, 20, 25}},        {7, 0, {7, 14, 21, 25}},
        {7, 3, {7, 14, 21, 25}}, {5, 0, {5, 10, 15, 20, 25}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "period " << c.Period << ", slice " << c.Slice);
        TempDirectory dir;
        ReaDifSimulation sim(4);
        // A model and a size the fast kernels run many iterations at a time.
        PrepareImages(sim, dir, 0, 10, 25, "brusselator", 64, 48);
        struct Seen {
            std::vector<int32_t> Times;
            bool Pictures = true;  // every frame the field's 64 x 48 picture, without a name
        } seen;
        sim.SetFrameHook(
            [](void *context, const ImageJob &frame, int32_t time) {
                auto *s = static_cast<Seen *>(context);
                s->Times.push_back(time);
                s->Pictures = s->Pictures && frame.Picture != nullptr &&
                              frame.Picture->GetSizeX() == 64 && frame.Picture->GetSizeY() == 48 &&
                              frame.Field != nullptr && std::string(frame.Path).empty();
            },
            &seen, c.Period);
        ASSERT_EQ(sim.EmitFrame(), ReaDifSimulation::Done);
        while (sim.RunSimulation(c.Slice) == ReaDifSimulation::RunResult::Ran) {
        }
        std::vector<int32_t> expected = {0};
        expected.insert(expected.end(), c.Times.begin(), c.Times.end());
        EXPECT_EQ(seen.Times, expected);
        EXPECT_TRUE(seen.Pictures);
    }
    ReaDifSimulation quiet(4);
    TempDirectory dir;
    PrepareImages(quiet, dir, 0, 10, 25);
    int frames = 0;
    quiet.SetFrameHook(
        [](void *context, const ImageJob &, int32_t) { ++*static_cast<int *>(context); }, &frames,
        5);
    quiet.WriteImages = false;
    ASSERT_EQ(quiet.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(frames, 0);
    quiet.SetFrameHook(nullptr, nullptr, 0);
    EXPECT_EQ(quiet.EmitFrame(), ReaDifSimulation::Refused);
}

TEST(ReaDifSimulationRun, ImagesWrittenCountsOnlySavesThatSucceeded) {
    TempDirectory dir;
    ReaDifSimulation sim(4);
    PrepareImages(sim, dir, 0, 10, 25);
    // A directory where the image at 20 would go: its save fails and the run goes on.
    fs::create_directory(dir.Path / "tex_A000020.bmp");
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(sim.CurrentTime, 25);
    EXPECT_EQ(sim.ImagesWritten, 2);  // 10 and the final 25
    // A capture between runs is not the run's; Initialize starts the count again.
    EXPECT_EQ(sim.SaveImage2D(0), GenImage3D::Done);
    EXPECT_EQ(sim.ImagesWritten, 2);
    EXPECT_EQ(sim.Initialize(), GenImage3D::Done);
    EXPECT_EQ(sim.ImagesWritten, 0);
    EXPECT_EQ(sim.RunSimulation(12), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(sim.ImagesWritten, 1);
}

struct SliceCase {
    int Components;
    uint32_t Points;
    int32_t Steps;
};

class ReaDifSimulationSliceSize : public testing::TestWithParam<SliceCase> {};

TEST_P(ReaDifSimulationSliceSize, KeepsAbout200000UpdatesInMultiplesOf5) {
    const SliceCase c = GetParam();
    EXPECT_EQ(ReaDifSimulation::SliceSize(c.Components, c.Points), c.Steps);
}

INSTANTIATE_TEST_SUITE_P(Domains, ReaDifSimulationSliceSize,
                         testing::Values(SliceCase{2, 100 * 100, 40}, SliceCase{2, 1000 * 1000, 1},
                                         SliceCase{1, 10 * 10, 2000}, SliceCase{4, 600 * 600, 3},
                                         SliceCase{1, 40000, 5}, SliceCase{1, 0, 200000}));

TEST(ReaDifSimulationRun, ImageNamesAndFileLayouts) {
    TempDirectory dir;
    ReaDifSimulation sim(4);
    PrepareImages(sim, dir, 0, 100, 100);
    ASSERT_TRUE(sim.ColorMaps8[0]->SetLinearRGBColorMap(0, 255, 255, 0, 30, 60) ==
                ColorMapRGBA8::MapDone);
    ASSERT_TRUE(sim.ColorMaps24[0]->SetLinearRGBColorMap(0, 255, 255, 0, 30, 60) ==
                ColorMapRGBA8::MapDone);
    sim.CurrentTime = 1234567;

    // 8-bit BMP: header, the script's palette, lines padded to 4 bytes (6 -> 8).
    ASSERT_EQ(sim.SaveImage2D(0), GenImage3D::Done);
    const fs::path bmp = dir.Path / "tex_A1234567.bmp";
    EXPECT_EQ(std::string(sim.ImageFileName), bmp.string());
    ASSERT_TRUE(fs::exists(bmp));
    EXPECT_EQ(FileSize(bmp), 54 + 1024 + 5 * 8);
    std::vector<unsigned char> bytes(1078);
    FILE *f = std::fopen(bmp.string().c_str(), "rb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    EXPECT_EQ(std::memcmp(bytes.data() + 54, sim.ColorMaps8[0]->GetPtrFirstEntry(), 1024), 0);

    // 24-bit TGA of a mosaic: the tile picture's size decides.
    sim.ImageFormat = 'T';
    sim.TrueColor = 1;
    sim.Mosaic = 1;
    sim.CurrentTime = 7;
    ASSERT_EQ(sim.TmpTileImage2D24.SetNewSize(13, 11, 1), Frame3D::SizeResult::Done);
    ASSERT_EQ(sim.SaveImage2D('A'), GenImage3D::Done);
    EXPECT_EQ(FileSize(dir.Path / "tex_A000007.tga"), 18 + 13 * 11 * 3);

    // 8-bit mosaic as TGA: header, 768-byte colour map, unpadded lines.
    sim.TrueColor = 0;
    sim.CurrentTime = 8;
    ASSERT_EQ(sim.TmpTileImage2D8.SetNewSize(10, 12, 1), Frame3D::SizeResult::Done);
    ASSERT_EQ(sim.SaveImage2D('A'), GenImage3D::Done);
    EXPECT_EQ(FileSize(dir.Path / "tex_A000008.tga"), 18 + 768 + 10 * 12);
}

TEST(ReaDifSimulationRun, TrueColourScaleMapsThePaletteScaleOntoTheLargeMap) {
    // Scale 2 and offset 0.5 take entry trunc(200 v - 49 + 0.499) of the 25303-entry map.
    TempDirectory dir;
    ReaDifSimulation sim(4);
    PrepareImages(sim, dir, 0, 10, 10);
    ASSERT_EQ(sim.ColorMaps24[0]->SetLinearHSLColorMap(0, 720, 1, 1, 255, 255),
              ColorMapRGBA8::MapDone);
    sim.TrueColor = 1;
    sim.ImageScale = 2.0;
    sim.ImageOffset = 0.5;
    const float values[] = {0.5f, 0.75f, 1.3f, 0.3f};
    for (int i = 0; i < 4; ++i) sim.Components[0]->SetPixelValue(values[i], uint16_t(i), 0, 0);
    ASSERT_EQ(sim.SaveImage2D('A'), GenImage3D::Done);
    const unsigned char *map = sim.ColorMaps24[0]->GetPtrFirstEntry();
    const unsigned char *pixel = sim.TmpImage2D24.GetPtrFirstPixel();
    for (int i = 0; i < 4; ++i) {
        const int entry = int(200.0 * double(values[i]) - 49.0 + 0.499);
        for (int b = 0; b < 3; ++b) EXPECT_EQ(pixel[3 * i + b], map[4 * entry + b]) << i;
    }
}

TEST(ReaDifSimulationRun, SaveRefusesUnknownLettersOverlongNamesAndReportsUnwritableFiles) {
    TempDirectory dir;
    ReaDifSimulation sim(4);
    PrepareImages(sim, dir, 0, 10, 10);
    EXPECT_EQ(sim.SaveImage2D('Z'), GenImage3D::Refused);
    EXPECT_EQ(sim.SaveImage2D('a'), GenImage3D::Refused);
    sim.ImageComponent = '?';
    EXPECT_EQ(sim.SaveImage2D(0), GenImage3D::Refused);

    // The name would not fit in 300 characters: no file at all rather than a cut name.
    sim.ImageComponent = 'A';
    const std::string longBase =
        (dir.Path / std::string(290 - dir.Path.string().size(), 'x')).string();
    ASSERT_EQ(sim.FileBaseName.Init(longBase.c_str(), 300), ProcString::Done);
    EXPECT_EQ(sim.SaveImage2D(0), GenImage3D::Refused);
    EXPECT_TRUE(dir.Files().empty());

    // A directory that does not exist: the saver's refusal is returned, the run goes on.
    ASSERT_EQ(sim.FileBaseName.Init((dir.Path / "missing" / "tex").string().c_str(), 300),
              ProcString::Done);
    EXPECT_EQ(sim.SaveImage2D(0), GenImage3D::Refused);
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(sim.CurrentTime, 10);
}

TEST(ReaDifSimulationRun, ImagePathFitsTheNameOrRefusesIt) {
    ReaDifSimulation sim(4);
    ASSERT_EQ(sim.FileBaseName.Init("tex", 300), ProcString::Done);
    sim.ImageComponent = 'A';
    char path[32];
    for (const auto &[format, name] : {std::pair<char, std::string>{'B', "tex_A000042.bmp"},
                                       {'T', "tex_A000042.tga"},
                                       {'P', "tex_A000042.png"}}) {
        sim.ImageFormat = format;
        ASSERT_EQ(sim.ImagePathAt(0, 42, path, sizeof path), ReaDifSimulation::Done);
        EXPECT_EQ(std::string(path), name);
    }
    // 15 characters need 16 bytes; with 15 the cut name is left for the report.
    EXPECT_EQ(sim.ImagePathAt('B', 42, path, 16), ReaDifSimulation::Done);
    EXPECT_EQ(std::string(path), "tex_B000042.png");
    EXPECT_EQ(sim.ImagePathAt('B', 42, path, 15), ReaDifSimulation::Refused);
    EXPECT_EQ(std::string(path), "tex_B000042.pn");
    EXPECT_EQ(sim.ImagePathAt('B', 42, nullptr, 15), ReaDifSimulation::Refused);
    ASSERT_EQ(ReaDifSimulation::ImagePath("o/tex_s7", 'C', 1234567, 'T', path, sizeof path),
              ReaDifSimulation::Done);
    EXPECT_EQ(std::string(path), "o/tex_s7_C1234567.tga");
}

struct DiskSpaceCase {
    int TrueColor, Mosaic;
    char Format;
    uint16_t Size;  // of the square field
    int32_t Start, Period, End;
    int32_t MB;
};

class ReaDifSimulationDiskSpace : public testing::TestWithParam<DiskSpaceCase> {};

TEST_P(ReaDifSimulationDiskSpace, EstimateCountsEveryFileAsWritten) {
    const DiskSpaceCase c = GetParam();
    ReaDifSimulation sim(4);
    EXPECT_EQ(sim.SetReactionModel("diffusion"), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDomainSize(c.Size, c.Size, 1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetEndTime(c.End), ReaDifSimulation::Done);
    sim.TrueColor = c.TrueColor;
    sim.Mosaic = c.Mosaic;
    sim.ImageFormat = c.Format;
    sim.ImageStart = c.Start;
    sim.ImagePeriod = c.Period;
    ASSERT_EQ(sim.TmpTileImage2D8.SetNewSize(800, 600, 1), Frame3D::SizeResult::Done);
    ASSERT_EQ(sim.TmpTileImage2D24.SetNewSize(100, 100, 1), Frame3D::SizeResult::Done);
    EXPECT_EQ(sim.EvalSaveImageDiskSpace(), c.MB);
}

// File sizes: 8-bit BMP 54 + 1024 + lines padded to 4 bytes, 24-bit BMP 54 + padded lines;
// TGA 18 (+ 768 for 8 bits) + unpadded lines. Whole MB of 2^20 bytes, rounded up.
INSTANTIATE_TEST_SUITE_P(
    Cases, ReaDifSimulationDiskSpace,
    testing::Values(DiskSpaceCase{0, 0, 'B', 512, 0, 100, 1000, 3},     // 10 x 263,222 bytes
                    DiskSpaceCase{1, 0, 'B', 512, 0, 100, 1000, 8},     // 10 x 786,486
                    DiskSpaceCase{0, 0, 'B', 512, 0, 100, 1050, 3},     // 11 images
                    DiskSpaceCase{0, 0, 'B', 512, 500, 100, 1000, 2},   // 500 .. 1000: 6 images
                    DiskSpaceCase{0, 1, 'B', 512, 0, 100, 1000, 5},     // 10 x 800 x 600 + 1078
                    DiskSpaceCase{1, 1, 'B', 512, 0, 1, 1000, 29},      // 1000 x (54 + 100 x 300)
                    DiskSpaceCase{1, 0, 'B', 512, 2000, 100, 1050, 1},  // only the final image
                    DiskSpaceCase{0, 0, 'B', 512, 0, 0, 1000, 0},       // no image line
                    // Small fields: the headers and the palette outweigh the pixels.
                    DiskSpaceCase{0, 0, 'B', 10, 0, 1, 500000, 572},  // 500,000 x (1078 + 10 x 12)
                    DiskSpaceCase{1, 0, 'B', 10, 0, 1, 500000, 179},  // 500,000 x (54 + 10 x 32)
                    DiskSpaceCase{0, 0, 'T', 10, 0, 1, 500000, 423},  // 500,000 x (18 + 768 + 100)
                    DiskSpaceCase{1, 0, 'T', 10, 0, 1, 500000, 152},  // 500,000 x (18 + 300)
                    // PNG, an upper bound: rows with filter bytes, 1/256 more, 1024 + 768.
                    DiskSpaceCase{0, 0, 'P', 10, 0, 1, 500000, 907},  // 500,000 x (110 + 1792)
                    DiskSpaceCase{1, 0, 'P', 10, 0, 1, 500000, 637},  // 500,000 x (310 + 1 + 1024)
                    DiskSpaceCase{0, 0, 'B', 10, 0, 1, 500,
                                  1}));  // 599,000 bytes: a part MB counts

TEST(ReaDifSimulationRun, SpeedIsMeasuredEverySixSecondsOrMore) {
    Timer::SetClock(FakeClock);
    FakeSeconds = 1000;
    ReaDifSimulation sim(4);
    PrepareRun(sim, FindModel("diffusion"), 100, 100, 100, 5);
    sim.IterationsPerSecond = 3.5;

    ASSERT_EQ(sim.RunSimulation(50),
              ReaDifSimulation::RunResult::Ran);  // starts the timer; no time has passed
    EXPECT_EQ(sim.CurrentSpeed, 0.0);
    FakeSeconds += 5;
    ASSERT_EQ(sim.RunSimulation(10), ReaDifSimulation::RunResult::Ran);  // 5 seconds: too soon
    EXPECT_EQ(sim.CurrentSpeed, 0.0);
    EXPECT_EQ(sim.IterationsPerSecond, 3.5);
    FakeSeconds += 3;
    ASSERT_EQ(sim.RunSimulation(20),
              ReaDifSimulation::RunResult::Ran);  // 80 iterations in 8 s: 10 per second
    EXPECT_EQ(sim.IterationsPerSecond, 10.0);
    // 10,000 points x 10 / 2^20 = 0.0954: 0.10 after rounding to hundredths.
    EXPECT_EQ(sim.CurrentSpeed, 0.1);
    FakeSeconds += 2;
    ASSERT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);  // the end: 10 s in all
    EXPECT_EQ(sim.IterationsPerSecond, 10.0);
    // 10,000 x 100 / (10 x 2^20) = 0.0954.
    EXPECT_EQ(sim.AverageSpeed, 0.1);

    // A run of under 6 seconds leaves both speeds at 0 and the rate as it was.
    PrepareRun(sim, FindModel("diffusion"), 100, 100, 30, 5);
    ASSERT_EQ(sim.RunSimulation(10), ReaDifSimulation::RunResult::Ran);
    FakeSeconds += 5;
    ASSERT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(sim.CurrentSpeed, 0.0);
    EXPECT_EQ(sim.AverageSpeed, 0.0);
    EXPECT_EQ(sim.IterationsPerSecond, 10.0);
    Timer::SetClock(nullptr);
}

// Records what SaveImage2D hands over and answers as told.
class RecordingWriter : public ImageWriter {
public:
    Result Write(const ImageJob &job, int &error, char *failedPath, size_t failedSize) override {
        Paths.push_back(job.Path);
        Field = job.Field;
        Picture = job.Picture;
        Format = job.Format;
        error = Cause;
        if (Cause != 0) std::snprintf(failedPath, failedSize, "%s.side", job.Path);
        return Cause == 0 ? Done : Failed;
    }
    uint64_t FileBytes(char, uint32_t, uint32_t, int, uint32_t, uint32_t) const override {
        return 3 * 1048576;
    }
    std::vector<std::string> Paths;
    const Image3DFloat *Field = nullptr;
    GenImage3D *Picture = nullptr;
    char Format = 0;
    int Cause = 0;
};

TEST(ReaDifSimulationRun, PngGoesToTheInstalledWriterAndIsRefusedWithoutOne) {
    TempDirectory dir;
    ReaDifSimulation sim(4);
    PrepareImages(sim, dir, 0, 10, 20);
    sim.ImageFormat = 'P';
    sim.CurrentTime = 5;
    EXPECT_EQ(sim.SaveImage2D('A'), GenImage3D::Refused);
    EXPECT_EQ(sim.LastImageErrno, ENOTSUP);
    EXPECT_EQ(std::string(sim.FailedImageName), (dir.Path / "tex_A000005.png").string());
    EXPECT_TRUE(dir.Files().empty());

    RecordingWriter writer;
    sim.SetImageWriter(&writer);
    EXPECT_EQ(sim.EvalSaveImageDiskSpace(), 2 * 3);  // two images of 3 MB each, as it says
    ASSERT_EQ(sim.SaveImage2D('A'), GenImage3D::Done);
    ASSERT_EQ(writer.Paths.size(), 1u);
    EXPECT_EQ(writer.Paths[0], (dir.Path / "tex_A000005.png").string());
    EXPECT_EQ(writer.Field, sim.Components[0]);
    EXPECT_EQ(writer.Picture, &sim.TmpImage2D8);
    EXPECT_EQ(writer.Format, 'P');
    // The writer also takes BMP images (it may add maps or upscale them).
    sim.ImageFormat = 'B';
    sim.TrueColor = 1;
    ASSERT_EQ(sim.SaveImage2D('A'), GenImage3D::Done);
    EXPECT_EQ(writer.Paths.back(), (dir.Path / "tex_A000005.bmp").string());
    EXPECT_EQ(writer.Picture, &sim.TmpImage2D24);
    EXPECT_TRUE(dir.Files().empty());

    writer.Cause = ENOSPC;
    EXPECT_EQ(sim.SaveImage2D('A'), GenImage3D::Refused);
    EXPECT_EQ(sim.LastImageErrno, ENOSPC);
    EXPECT_EQ(std::string(sim.FailedImageName), (dir.Path / "tex_A000005.bmp.side").string());
}
