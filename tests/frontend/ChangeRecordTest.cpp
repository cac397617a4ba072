// The record of changes made during a run: its `at` lines read back as recorded, its block in
// the script, and a recorded run replayed from the script giving the live run's bits.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "frontend/ChangeRecord.h"
#include "frontend/FrontEndTestSupport.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"
#include "rdsimul/SimulationTestSupport.h"
#include "toolkit/RandomGenerator.h"

namespace {

using frontendtest::GoodScript;
using Kind = ScheduledChange::Kind;

const int Brusselator = FindReactionModel("brusselator");

ScheduledChange Change(int32_t time, Kind what, int key, double value, double variation = 0.0) {
    ScheduledChange change;
    change.Time = time;
    change.What = what;
    change.Key = key;
    change.Value = value;
    change.Variation = variation;
    return change;
}

ScheduledChange Paint(int32_t time, Kind what, int key, double value, double radius,
                      std::vector<ScheduledChange::Point> centres) {
    ScheduledChange change = Change(time, what, key, value);
    change.Radius = radius;
    change.Centres = std::move(centres);
    return change;
}

bool SameChange(const ScheduledChange &a, const ScheduledChange &b) {
    if (a.Time != b.Time || a.What != b.What || a.Key != b.Key || a.Value != b.Value ||
        a.Variation != b.Variation || a.Radius != b.Radius || a.Centres.size() != b.Centres.size())
        return false;
    for (size_t i = 0; i < a.Centres.size(); ++i) {
        if (a.Centres[i].X != b.Centres[i].X || a.Centres[i].Y != b.Centres[i].Y) return false;
    }
    return true;
}

class ChangeRecordTest : public testing::Test {
protected:
    void SetUp() override {
        Dir = std::filesystem::path(testing::TempDir()) / "vorna_change_record" /
              testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
    }
    // sim set from text as the script tex.vna of the test's folder, started from its seed.
    ScriptParser::Result Parse(ReaDifSimulation &sim, const std::string &text,
                               const char *name = "tex.vna") {
        int position = 0;
        return Parser.ParseText(sim, (Dir / name).string().c_str(), text, position, 0);
    }
    ScriptParser Parser;
    std::filesystem::path Dir;
};

}  // namespace

// Numbers are written without an exponent (the reader stops at one) and read back as the same
// float, the smallest and largest included.
TEST(ChangeRecordNumbers, ReadBackAsTheSameFloat) {
    const double values[] = {0.0,   1.0,    -0.5,  0.1,      1.0 / 3.0, 7.25,  1e-7,
                             1e-30, 3.4e38, -2e-5, 0.009999, 100.0,     600.0, 123456789.0};
    for (double value : values) {
        const std::string text = ChangeRecord::FormatNumber(value);
        EXPECT_EQ(text.find_first_of("eE"), std::string::npos) << text;
        EXPECT_EQ(std::strtof(text.c_str(), nullptr), float(value)) << text;
    }
    EXPECT_EQ(ChangeRecord::FormatNumber(0.1), "0.1");
    EXPECT_EQ(ChangeRecord::FormatNumber(5.0), "5");
}

// Every kind of change, written as a block and parsed back, gives the schedule recorded: values
// rounded to single precision as the reader rounds them, variations with their sign, parameter
// names the model reads by name and others by their key, and a stroke of many centres spread
// over lines of at most 200 characters.
TEST_F(ChangeRecordTest, TheBlockParsesBackToTheSameSchedule) {
    ChangeRecord record;
    std::vector<ScheduledChange::Point> many;
    for (int i = 0; i < 60; ++i) many.push_back({i % 20, i / 20});
    many.push_back({3, 0});  // met again: dropped
    const ScheduledChange changes[] = {
        Change(0, Kind::Modpar, ReaDifSimulation::ParameterKey("beta", true), 1.0 / 3.0, -0.001),
        Change(4, Kind::Modpar, ReaDifSimulation::ParameterKey("q7", true), -2.5, 0.25),
        Change(4, Kind::Reaction, 1, 0.0),
        Change(9, Kind::Diffusion, 0, 0.123456789, 1e-6),
        Paint(9, Kind::PaintSet, 1, -3.3, 0.5, {{0, 0}, {19, 9}}),
        Paint(29, Kind::PaintAdd, 0, 0.7, 12.75, many),
    };
    size_t lines = 0;
    for (const ScheduledChange &change : changes) {
        lines += record.Record(change, Brusselator).size();
    }
    ASSERT_EQ(record.Entries().size(), 6u);
    EXPECT_EQ(lines, 7u);  // the stroke took two lines

    const std::string text = record.WithBlock(GoodScript(), Brusselator);
    ASSERT_EQ(text.substr(0, GoodScript().size()), GoodScript());
    size_t begin = GoodScript().size();
    EXPECT_EQ(text.substr(begin, ChangeRecord::BlockHeading.size()), ChangeRecord::BlockHeading);
    EXPECT_NE(text.find("at 0 modpar beta 0.33333334 -0.001\n"), std::string::npos) << text;
    EXPECT_NE(text.find("at 4 modpar q7 -2.5 +0.25\n"), std::string::npos) << text;
    while (begin < text.size()) {
        const size_t end = text.find('\n', begin);
        EXPECT_LE(end - begin, ChangeRecord::MaxLineLength);
        begin = end + 1;
    }

    ReaDifSimulation sim(4);
    ASSERT_EQ(Parse(sim, text), ScriptParser::Accepted) << text;
    const std::vector<ScheduledChange> recorded = record.Changes();
    ASSERT_EQ(sim.GetSchedule().size(), recorded.size());
    for (size_t i = 0; i < recorded.size(); ++i) {
        EXPECT_TRUE(SameChange(sim.GetSchedule()[i], recorded[i])) << i;
    }
    // The repeated centre went, not the last one.
    EXPECT_EQ(recorded.back().Centres.back().X, 19);
    EXPECT_EQ(recorded.back().Centres.back().Y, 2);
}

// The block is replaced where it stands, with the bytes around it kept (CR LF lines, a comment
// after it); undoing every change removes it; a change no line can hold is not recorded.
TEST_F(ChangeRecordTest, TheBlockIsReplacedInPlaceAndRemovedWhenEmpty) {
    ChangeRecord record;
    const std::string head = "model brusselator\r\nsize 20 10\r\n";
    ASSERT_FALSE(record.Record(Change(3, Kind::Reaction, 0, 0.5), Brusselator).empty());
    const std::string once = record.WithBlock(head + "// mine\r\n", Brusselator);
    EXPECT_EQ(once, head + "// mine\r\n" + std::string(ChangeRecord::BlockHeading) +
                        "\r\nat 3 reaction A 0.5\r\n");
    ASSERT_FALSE(record.Record(Change(5, Kind::Diffusion, 1, 0.25), Brusselator).empty());
    const std::string twice = record.WithBlock(once + "// after\r\n", Brusselator);
    EXPECT_EQ(twice, head + "// mine\r\n" + std::string(ChangeRecord::BlockHeading) +
                         "\r\nat 3 reaction A 0.5\r\nat 5 diffusion B 0.25\r\n// after\r\n");
    EXPECT_TRUE(record.Undo());
    EXPECT_TRUE(record.Undo());
    EXPECT_FALSE(record.Undo());
    EXPECT_EQ(record.WithBlock(twice, Brusselator), head + "// mine\r\n// after\r\n");
    // A last line without its line end gets one before the block.
    EXPECT_TRUE(record.Redo());
    EXPECT_EQ(record.WithBlock("size 20 10", Brusselator),
              "size 20 10\n" + std::string(ChangeRecord::BlockHeading) + "\nat 3 reaction A 0.5\n");
    // A new change forgets what was undone.
    EXPECT_TRUE(record.CanRedo());
    ASSERT_FALSE(record.Record(Change(6, Kind::Reaction, 0, 1.0), Brusselator).empty());
    EXPECT_FALSE(record.CanRedo());

    const ScheduledChange refused[] = {
        Change(-1, Kind::Reaction, 0, 1.0),
        Change(1, Kind::Reaction, 0, 101.0),
        Change(1, Kind::Diffusion, 0, 1.5),
        Change(1, Kind::Modpar, -1, 1.0),
        Paint(1, Kind::PaintSet, 0, 1.0, 0.25, {{1, 1}}),
        Paint(1, Kind::PaintSet, 0, 1.0, 2.0, {}),
        Paint(1, Kind::PaintAdd, 0, 1e300, 2.0, {{1, 1}}),
    };
    for (const ScheduledChange &change : refused) {
        EXPECT_TRUE(record.Record(change, Brusselator).empty());
    }
    EXPECT_EQ(record.Entries().size(), 2u);
}

// A live run changed by hand at its slice boundaries (slices of uneven length, several changes
// at one boundary, strokes split over lines) ends with the same bits and the same images as the
// script with the record's block run from the start.
TEST_F(ChangeRecordTest, AReplayedRecordGivesTheLiveRunsBits) {
    const std::string script = GoodScript("randseed 77\n");
    ReaDifSimulation live(4);
    ASSERT_EQ(Parse(live, script, "live.vna"), ScriptParser::Accepted);
    ASSERT_EQ(live.Initialize(), GenImage3D::Done);
    ChangeRecord record;
    std::vector<ScheduledChange::Point> stroke;
    for (int x = 0; x < 20; ++x) stroke.push_back({x, (x * 3) % 10});
    const int32_t slices[] = {0, 4, 7, 13};
    for (int32_t slice : slices) {
        if (slice > 0) {
            ASSERT_EQ(live.RunSimulation(slice), ReaDifSimulation::RunResult::Ran);
        }
        const int32_t now = live.CurrentTime;
        const ScheduledChange made[] = {
            Change(now, Kind::Modpar, ReaDifSimulation::ParameterKey("beta", true), 7.5 + 0.1 * now,
                   now == 11 ? 0.01 : 0.0),
            Paint(now, Kind::PaintAdd, 0, 0.3, 2.5, stroke),
            Change(now, Kind::Diffusion, 1, 0.4 - 0.01 * now),
        };
        for (const ScheduledChange &change : made) {
            for (const ScheduledChange &line : record.Record(change, Brusselator)) {
                ASSERT_EQ(live.ApplyChange(line), ReaDifSimulation::Done);
            }
        }
    }
    ASSERT_EQ(live.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    ASSERT_EQ(live.CurrentTime, 30);

    ReaDifSimulation replay(4);
    ASSERT_EQ(Parse(replay, record.WithBlock(script, Brusselator), "replay.vna"),
              ScriptParser::Accepted);
    ASSERT_EQ(replay.Initialize(), GenImage3D::Done);
    ASSERT_EQ(replay.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(FieldChecksum(live), FieldChecksum(replay));
    for (const char *image : {"_A000010.bmp", "_A000020.bmp", "_A000030.bmp"}) {
        const std::string a = frontendtest::ReadWhole(Dir / (std::string("live") + image));
        const std::string b = frontendtest::ReadWhole(Dir / (std::string("replay") + image));
        EXPECT_FALSE(a.empty()) << image;
        EXPECT_EQ(a, b) << image;
    }

    // And the record mattered: the plain script ends elsewhere.
    ReaDifSimulation plain(4);
    ASSERT_EQ(Parse(plain, script, "plain.vna"), ScriptParser::Accepted);
    ASSERT_EQ(plain.Initialize(), GenImage3D::Done);
    ASSERT_EQ(plain.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_NE(FieldChecksum(plain), FieldChecksum(live));
}
