// Undo and redo by replay: a run brought back to its iteration without a change holds the bits
// of a run that never had it, whether it resumed from a snapshot or from the start.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "frontend/ChangeRecord.h"
#include "frontend/FrontEndTestSupport.h"
#include "frontend/RunReplay.h"
#include "rdsimul/ScriptParser.h"
#include "rdsimul/SimulationTestSupport.h"
#include "toolkit/RandomGenerator.h"

namespace {

const int Brusselator = FindReactionModel("brusselator");

ScheduledChange Paint(int32_t time, double value, int x, int y) {
    ScheduledChange change;
    change.Time = time;
    change.What = ScheduledChange::Kind::PaintSet;
    change.Key = 0;
    change.Value = value;
    change.Radius = 3.0;
    change.Centres = {{x, y}};
    return change;
}

ScheduledChange Beta(int32_t time, double value, double variation) {
    ScheduledChange change;
    change.Time = time;
    change.What = ScheduledChange::Kind::Modpar;
    change.Key = ReaDifSimulation::ParameterKey("beta", true);
    change.Value = value;
    change.Variation = variation;
    return change;
}

// A script of its own `at` line, an image every 100 iterations and 2,000 iterations in all.
const std::string Script =
    "model brusselator\nmodpar alpha 4.5\nmodpar beta 7.5\nreaction A 0.01\nreaction B 0.01\n"
    "diffusion A 0.05\ndiffusion B 0.4\ninit A 4.5 0.1\ninit B 1.6 0.1\nsize 24 16\n"
    "iterations 2000\nrandseed 5\ncolormap gray\nimage256 A t+100 autoscale\n"
    "at 700 paint B add 0.5 4 3 3\n";

class RunReplayTest : public testing::Test {
protected:
    void SetUp() override {
        Dir = std::filesystem::path(testing::TempDir()) / "vorna_run_replay" /
              testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
        Path = (Dir / "tex.vna").string();
    }
    // A run of text from the start to target, with the seed given.
    uint64_t Straight(const std::string &text, int32_t target) {
        ReaDifSimulation sim(4);
        ScriptParser parser;
        int position = 0;
        EXPECT_EQ(parser.ParseText(sim, (Dir / "straight.vna").string().c_str(), text, position, 0),
                  ScriptParser::Accepted);
        MainRandom.Randomize(Seed);
        EXPECT_EQ(sim.Initialize(), GenImage3D::Done);
        EXPECT_EQ(sim.RunSimulation(target), ReaDifSimulation::RunResult::Ran);
        return FieldChecksum(sim);
    }
    // The live run: slices of 37 iterations, snapshots offered at each boundary, the changes
    // recorded and made at the boundary they name.
    void RunLive(ReaDifSimulation &sim, RunReplay &replay, ChangeRecord &record, int32_t to,
                 const std::vector<ScheduledChange> &changes) {
        while (sim.CurrentTime < to) {
            ASSERT_EQ(sim.RunSimulation(std::min(37, to - sim.CurrentTime)),
                      ReaDifSimulation::RunResult::Ran);
            bool pending = false;
            for (const ScheduledChange &change : changes) pending |= change.Time == sim.CurrentTime;
            replay.Offer(sim, pending);
            for (const ScheduledChange &change : changes) {
                if (change.Time != sim.CurrentTime) continue;
                for (const ScheduledChange &line : record.Record(change, Brusselator)) {
                    ASSERT_EQ(sim.ApplyChange(line), ReaDifSimulation::Done);
                }
            }
        }
    }
    std::filesystem::path Dir;
    std::string Path;
    uint32_t Seed = 91;  // not the script's: a run started with another seed keeps it
};

}  // namespace

// Undo of the last change, then of the one before, then redo: each time the field is that of a
// run from the start with the record as it then stands (same bits); the undo of the last
// change resumes from the snapshot taken just before it, a change before every snapshot
// replays from the start, and the script's own change at 700 is made in every replay.
TEST_F(RunReplayTest, UndoAndRedoEqualARunThatNeverHadTheChange) {
    ReaDifSimulation sim(4);
    ScriptParser parser;
    int position = 0;
    ASSERT_EQ(parser.ParseText(sim, Path.c_str(), Script, position, 0), ScriptParser::Accepted);
    MainRandom.Randomize(Seed);
    ASSERT_EQ(sim.Initialize(), GenImage3D::Done);
    RunReplay replay;
    replay.Start();
    ChangeRecord record;
    const std::vector<ScheduledChange> changes = {Paint(0, 9.0, 1, 1), Beta(111, 7.0, 0.0005),
                                                  Paint(740, -1.0, 23, 15)};
    // Iteration 0 is not a slice boundary of the loop above: the first change is made by hand.
    replay.Offer(sim, true);
    for (const ScheduledChange &line : record.Record(changes[0], Brusselator)) {
        ASSERT_EQ(sim.ApplyChange(line), ReaDifSimulation::Done);
    }
    RunLive(sim, replay, record, 1184, changes);
    ASSERT_EQ(record.Entries().size(), 3u);
    const uint64_t all = FieldChecksum(sim);
    EXPECT_EQ(all, Straight(record.WithBlock(Script, Brusselator), 1184));

    // Undo the stroke at 740.
    ASSERT_TRUE(record.Undo());
    ASSERT_EQ(
        replay.Rebuild(sim, Path.c_str(), record.WithBlock(Script, Brusselator), Seed, 1184, 740),
        RunReplay::Result::Done);
    EXPECT_EQ(replay.LastResumedFrom(), 740);
    EXPECT_EQ(sim.CurrentTime, 1184);
    const uint64_t withoutStroke = FieldChecksum(sim);
    EXPECT_EQ(withoutStroke, Straight(record.WithBlock(Script, Brusselator), 1184));
    EXPECT_NE(withoutStroke, all);

    // Undo the parameter at 111: from a snapshot at or before 111.
    ASSERT_TRUE(record.Undo());
    ASSERT_EQ(
        replay.Rebuild(sim, Path.c_str(), record.WithBlock(Script, Brusselator), Seed, 1184, 111),
        RunReplay::Result::Done);
    EXPECT_GE(replay.LastResumedFrom(), 1);
    EXPECT_LE(replay.LastResumedFrom(), 111);
    EXPECT_EQ(FieldChecksum(sim), Straight(record.WithBlock(Script, Brusselator), 1184));

    // Redo both: the first field again, bit for bit.
    ASSERT_TRUE(record.Redo());
    ASSERT_TRUE(record.Redo());
    ASSERT_EQ(
        replay.Rebuild(sim, Path.c_str(), record.WithBlock(Script, Brusselator), Seed, 1184, 111),
        RunReplay::Result::Done);
    EXPECT_EQ(FieldChecksum(sim), all);

    // Undo down to the change at 0: no snapshot holds the field before it.
    ASSERT_TRUE(record.Undo());
    ASSERT_TRUE(record.Undo());
    ASSERT_TRUE(record.Undo());
    ASSERT_EQ(
        replay.Rebuild(sim, Path.c_str(), record.WithBlock(Script, Brusselator), Seed, 1184, 0),
        RunReplay::Result::Done);
    EXPECT_EQ(replay.LastResumedFrom(), -1);
    EXPECT_EQ(FieldChecksum(sim), Straight(Script, 1184));

    // A script that no longer parses is refused.
    EXPECT_EQ(replay.Rebuild(sim, Path.c_str(), "model nothing\n", Seed, 10, 0),
              RunReplay::Result::Refused);
}

// The time an undo takes at 600 x 600, 5,000 iterations into a run: from the snapshot taken
// before the change, and from the start. A measurement, run on request only:
// VORNA_MEASURE_UNDO=1 build/tests/frontend_tests --gtest_filter=RunReplayTest.UndoTimeAt600
TEST_F(RunReplayTest, UndoTimeAt600) {
    if (std::getenv("VORNA_MEASURE_UNDO") == nullptr) GTEST_SKIP() << "a measurement";
    std::string script = Script;
    script.replace(script.find("size 24 16"), 10, "size 600 600");
    script.replace(script.find("iterations 2000"), 15, "iterations 20000");
    script.replace(script.find("image256 A t+100"), 16, "image256 A t+20000");
    ReaDifSimulation sim(4);
    ScriptParser parser;
    int position = 0;
    ASSERT_EQ(parser.ParseText(sim, Path.c_str(), script, position, 0), ScriptParser::Accepted);
    MainRandom.Randomize(Seed);
    ASSERT_EQ(sim.Initialize(), GenImage3D::Done);
    RunReplay replay;
    replay.Start();
    ChangeRecord record;
    const auto now = [] { return std::chrono::steady_clock::now(); };
    const auto t0 = now();
    while (sim.CurrentTime < 5000) {
        ASSERT_EQ(sim.RunSimulation(10), ReaDifSimulation::RunResult::Ran);
        replay.Offer(sim, sim.CurrentTime == 5000);
    }
    const double run = std::chrono::duration<double>(now() - t0).count();
    for (const ScheduledChange &line : record.Record(Paint(5000, 9.0, 300, 300), Brusselator)) {
        ASSERT_EQ(sim.ApplyChange(line), ReaDifSimulation::Done);
    }
    ASSERT_EQ(sim.RunSimulation(30), ReaDifSimulation::RunResult::Ran);
    ASSERT_TRUE(record.Undo());
    const auto t1 = now();
    ASSERT_EQ(
        replay.Rebuild(sim, Path.c_str(), record.WithBlock(script, Brusselator), Seed, 5030, 5000),
        RunReplay::Result::Done);
    const double fromSnapshot = std::chrono::duration<double>(now() - t1).count();
    RunReplay fresh;
    const auto t2 = now();
    ASSERT_EQ(
        fresh.Rebuild(sim, Path.c_str(), record.WithBlock(script, Brusselator), Seed, 5030, 5000),
        RunReplay::Result::Done);
    const double fromStart = std::chrono::duration<double>(now() - t2).count();
    std::printf(
        "run to 5000: %.2f s; undo from the snapshot: %.3f s; from the start: %.2f s; "
        "snapshots: %zu\n",
        run, fromSnapshot, fromStart, replay.SnapshotCount());
    EXPECT_LT(fromSnapshot, 2.0);
}
