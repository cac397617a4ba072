#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "SimulationTestSupport.h"
#include "rdsimul/SlicePacer.h"

namespace fs = std::filesystem;

namespace {

struct PacerStep {
    double Seconds;  // what the slice of the size before took
    int32_t Next;    // the size of the slice after it
};

// Every file of dir by name, with its bytes.
std::map<std::string, std::string> FilesOf(const fs::path &dir) {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

}  // namespace

TEST(SlicePacer, SlicesMoveOntoTheGridOfTheNaNTest) {
    struct Case {
        int64_t Now;
        int32_t Steps, Limit;
        int64_t End;
        int32_t Grid, Expected;
    };
    const Case cases[] = {
        {0, 50, 50, 1000, 15, 45},    // down to the last multiple within the slice
        {7, 50, 50, 1000, 15, 38},    // from anywhere, onto the grid
        {30, 45, 45, 1000, 15, 45},   // already on it
        {3, 1, 50, 1000, 15, 12},     // a short slice up to the next multiple, within limit
        {3, 1, 10, 1000, 15, 1},      // ... but not beyond it
        {990, 20, 20, 1000, 15, 20},  // the run's last slice ends at the end
        {988, 1, 20, 1000, 15, 2},    // up, at most to the end
        {5, 7, 7, 1000, 1, 7},        // no grid
    };
    for (const Case &c : cases) {
        EXPECT_EQ(SlicePacer::OnGrid(c.Now, c.Steps, c.Limit, c.End, c.Grid), c.Expected)
            << "from " << c.Now << ", " << c.Steps << " steps";
    }
}

TEST(SlicePacer, StartsWithOneIterationAndNeverLeavesOneToTheBound) {
    // Bound 100: quick slices double, a slow one shrinks to what fits in 75 ms, a slice too
    // quick for the clock counts as quick, the bound caps, and nothing goes below 1.
    SlicePacer pacer(100);
    EXPECT_EQ(pacer.Next(), 1);
    const std::vector<PacerStep> steps = {
        {0.001, 2},   {0.001, 4}, {0.0, 8},    {0.001, 16}, {0.001, 32}, {0.001, 64},
        {0.001, 100}, {0.3, 25},  {0.075, 25}, {0.05, 37},  {0.05, 55},  {10.0, 1},
        {1.0, 1},     {0.06, 1},  {0.0375, 2}, {0.02, 4},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        pacer.Record(steps[i].Seconds);
        EXPECT_EQ(pacer.Next(), steps[i].Next) << "step " << i;
    }
    SlicePacer unbounded(0);  // a bound below 1 counts as 1
    unbounded.Record(0.0);
    EXPECT_EQ(unbounded.Next(), 1);
}

TEST(SlicePacer, RunSlicedByTimeGivesTheImagesOfOneUnslicedRun) {
    // Drifting parameters and diffusion, an image every 3 iterations and a final one at 200:
    // slices of every length the pacer hands out must change nothing but where calls return.
    const fs::path root = fs::path(testing::TempDir()) / "vorna_slice_pacer";
    fs::remove_all(root);
    const fs::path dirs[2] = {root / "sliced", root / "whole"};
    ReaDifSimulation sims[2] = {ReaDifSimulation(4), ReaDifSimulation(4)};
    for (int i = 0; i < 2; ++i) {
        fs::create_directories(dirs[i]);
        PrepareRun(sims[i], FindModel("ginzburglandau"), 7, 5, 200, 19);
        ASSERT_EQ(sims[i].FileBaseName.Init((dirs[i] / "tex").string().c_str(), 300),
                  ProcString::Done);
        sims[i].ImageComponent = 'B';
        sims[i].ImageStart = 1;
        sims[i].ImagePeriod = 3;
    }
    SlicePacer pacer(ReaDifSimulation::SliceSize(2, 7 * 5));
    const double seconds[] = {0.0, 0.01, 0.3, 0.02, 0.0, 0.2, 0.05, 0.001};
    int calls = 0;
    while (sims[0].CurrentTime < sims[0].EndTime) {
        ASSERT_EQ(sims[0].RunSimulation(pacer.Next()), ReaDifSimulation::RunResult::Ran);
        pacer.Record(seconds[calls++ % 8]);
    }
    ASSERT_EQ(sims[1].RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_GT(calls, 10);
    EXPECT_EQ(sims[0].CurrentTime, sims[1].CurrentTime);
    EXPECT_EQ(sims[0].ImagesWritten, sims[1].ImagesWritten);
    EXPECT_EQ(sims[0].ImagesWritten, 68);  // 1, 4, ..., 199 and 200
    EXPECT_EQ(FieldChecksum(sims[0]), FieldChecksum(sims[1]));
    EXPECT_EQ(sims[0].GetReactionParameter("gamma"), sims[1].GetReactionParameter("gamma"));
    EXPECT_EQ(sims[0].GetDiffusionCoeff('B'), sims[1].GetDiffusionCoeff('B'));
    const auto sliced = FilesOf(dirs[0]);
    EXPECT_EQ(sliced.size(), 68u);
    EXPECT_TRUE(sliced == FilesOf(dirs[1]));
    fs::remove_all(root);
}

TEST(SlicePacer, TargetAndFirstSizeOfTheCallerAndCutSlicesPacedByTheirOwnCount) {
    // Bound 1000, 10 ms slices, first 50: a slice cut to 10 iterations in 1 ms fits 100 and
    // may double; one of 100 in 20 ms halves; a cut slice too quick for the clock doubles.
    SlicePacer pacer(1000, 0.01, 50);
    EXPECT_EQ(pacer.Next(), 50);
    const std::vector<std::vector<double>> steps = {
        {10, 0.001, 100}, {100, 0.02, 50}, {5, 0.0, 100}, {3, 0.001, 30}, {1000, 0.02, 60}};
    for (size_t i = 0; i < steps.size(); ++i) {
        pacer.Record(int32_t(steps[i][0]), steps[i][1]);
        EXPECT_EQ(pacer.Next(), int32_t(steps[i][2])) << "step " << i;
    }
    EXPECT_EQ(SlicePacer(10, 0.01, 50).Next(), 10);  // the first slice keeps to the bound
    EXPECT_EQ(SlicePacer(10, 0.01, 0).Next(), 1);
}
