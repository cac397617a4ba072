// The recorded changes of a run: when the run loop makes them, and the brush around the torus.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SimulationTestSupport.h"

namespace {

// The run prepared as PrepareRun does, the changes scheduled, then started again from its seed.
void PrepareWithChanges(ReaDifSimulation &sim, const char *model, int32_t end, uint32_t seed,
                        const std::vector<ScheduledChange> &changes) {
    PrepareRun(sim, FindModel(model), 12, 9, end, seed);
    for (const ScheduledChange &change : changes) {
        ASSERT_EQ(sim.ScheduleChange(change), ReaDifSimulation::Done);
    }
    MainRandom.Randomize(seed);
    ASSERT_EQ(sim.Initialize(), GenImage3D::Done);
}

ScheduledChange Modpar(int32_t time, const char *name, double value, double variation) {
    ScheduledChange change;
    change.Time = time;
    change.What = ScheduledChange::Kind::Modpar;
    change.Key = ReaDifSimulation::ParameterKey(name, true);
    change.Value = value;
    change.Variation = variation;
    return change;
}

ScheduledChange Paint(int32_t time, ScheduledChange::Kind kind, int component, double value,
                      double radius, std::vector<ScheduledChange::Point> centres) {
    ScheduledChange change;
    change.Time = time;
    change.What = kind;
    change.Key = component;
    change.Value = value;
    change.Radius = radius;
    change.Centres = std::move(centres);
    return change;
}

}  // namespace

// A change scheduled at N is the change made by hand to a run stopped at N: the same bits at
// the end, whether the run went in one call (the fused batches stop before the change) or
// iteration by iteration; a change at 0 acts on the initial noise.
TEST(ScheduledChange, ScheduledIsTheSameAsMadeByHandAtThatIteration) {
    ScheduledChange diffusion;
    diffusion.Time = 37;
    diffusion.What = ScheduledChange::Kind::Diffusion;
    diffusion.Key = 1;
    diffusion.Value = 0.5;
    ScheduledChange reaction;
    reaction.Time = 37;
    reaction.What = ScheduledChange::Kind::Reaction;
    reaction.Key = 0;
    reaction.Value = 0.02;
    const std::vector<ScheduledChange> changes = {
        Paint(0, ScheduledChange::Kind::PaintSet, 0, 6.0, 2.0, {{3, 4}}),
        Modpar(37, "beta", 8.0, 0.001),
        diffusion,
        reaction,
        Paint(60, ScheduledChange::Kind::PaintAdd, 1, -0.5, 3.0, {{11, 0}, {0, 8}}),
    };
    ReaDifSimulation scheduled(4), byHand(4), stepped(4);
    PrepareWithChanges(scheduled, "brusselator", 100, 5, changes);
    ASSERT_EQ(scheduled.RunSimulation(0), ReaDifSimulation::RunResult::Ran);

    PrepareWithChanges(byHand, "brusselator", 100, 5, {});
    ASSERT_EQ(byHand.ApplyChange(changes[0]), ReaDifSimulation::Done);
    ASSERT_EQ(byHand.RunSimulation(37), ReaDifSimulation::RunResult::Ran);
    for (size_t i = 1; i < 4; ++i)
        ASSERT_EQ(byHand.ApplyChange(changes[i]), ReaDifSimulation::Done);
    ASSERT_EQ(byHand.RunSimulation(23), ReaDifSimulation::RunResult::Ran);
    ASSERT_EQ(byHand.ApplyChange(changes[4]), ReaDifSimulation::Done);
    ASSERT_EQ(byHand.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(FieldChecksum(scheduled), FieldChecksum(byHand));

    PrepareWithChanges(stepped, "brusselator", 100, 5, changes);
    while (stepped.CurrentTime < 100) {
        ASSERT_EQ(stepped.RunSimulation(1), ReaDifSimulation::RunResult::Ran);
    }
    EXPECT_EQ(FieldChecksum(stepped), FieldChecksum(scheduled));

    // And the changes did something: the plain run ends elsewhere.
    ReaDifSimulation plain(4);
    PrepareWithChanges(plain, "brusselator", 100, 5, {});
    ASSERT_EQ(plain.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_NE(FieldChecksum(plain), FieldChecksum(scheduled));
    // The drift started by the change goes on.
    EXPECT_NEAR(scheduled.GetReactionParameter("beta"), 8.0 + 63 * 0.001, 1e-9);
}

// The image due at N shows the field before the change of N.
TEST(ScheduledChange, TheImageOfTheIterationShowsTheFieldBeforeTheChange) {
    ReaDifSimulation sim(4);
    PrepareWithChanges(sim, "diffusion", 20, 3,
                       {Paint(10, ScheduledChange::Kind::PaintSet, 0, 9.0, 600.0, {{0, 0}})});
    sim.ImageComponent = 'A';
    sim.ImagePeriod = 10;
    sim.WriteImages = false;
    std::vector<double> highest;
    sim.SetImageRangeHook(
        [](void *context, const ReaDifSimulation::ImageRange &range) {
            static_cast<std::vector<double> *>(context)->push_back(range.Max);
        },
        &highest);
    ASSERT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    ASSERT_EQ(highest.size(), 2u);
    EXPECT_LT(highest[0], 9.0);
    EXPECT_EQ(highest[1], 9.0f);  // the whole field was painted at 10
}

// The brush wraps around the torus: a disc at a corner reaches the other three corners, a point
// inside two discs is changed once, and the radius is compared in double.
TEST(ScheduledChange, PaintWrapsAroundTheCornersAndChangesAPointOnce) {
    ReaDifSimulation sim(4);
    PrepareWithChanges(sim, "diffusion", 10, 3, {});
    Image3DFloat &field = *sim.Components[0];
    for (uint16_t y = 0; y < 9; ++y) {
        for (uint16_t x = 0; x < 12; ++x) field.SetPixelValue(0.0f, x, y, 0);
    }
    // Two discs of radius 1.5 at (0, 0) and (1, 0): together they hold x = 10 .. 2.
    ASSERT_EQ(
        sim.ApplyChange(Paint(0, ScheduledChange::Kind::PaintAdd, 0, 1.0, 1.5, {{0, 0}, {1, 0}})),
        ReaDifSimulation::Done);
    std::vector<std::vector<int>> expected(9, std::vector<int>(12, 0));
    for (int cx : {0, 1}) {
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 12; ++x) {
                const int ax = std::abs(x - cx), ay = std::abs(y - 0);
                const int dx = std::min(ax, 12 - ax), dy = std::min(ay, 9 - ay);
                if (dx * dx + dy * dy <= 2) expected[size_t(y)][size_t(x)] = 1;
            }
        }
    }
    EXPECT_EQ(expected[8][11], 1);  // the opposite corner, diagonally across both edges
    EXPECT_EQ(expected[0][2], 1);
    EXPECT_EQ(expected[0][3], 0);
    for (uint16_t y = 0; y < 9; ++y) {
        for (uint16_t x = 0; x < 12; ++x) {
            EXPECT_EQ(field.GetPixelValue(x, y, 0), float(expected[y][x])) << x << "," << y;
        }
    }
    // Refusals: no centre, a radius below half a point, a component not in use.
    EXPECT_EQ(sim.ScheduleChange(Paint(1, ScheduledChange::Kind::PaintSet, 0, 1.0, 2.0, {})),
              ReaDifSimulation::Refused);
    EXPECT_EQ(sim.ScheduleChange(Paint(1, ScheduledChange::Kind::PaintSet, 0, 1.0, 0.4, {{1, 1}})),
              ReaDifSimulation::Refused);
    EXPECT_EQ(sim.ScheduleChange(Paint(1, ScheduledChange::Kind::PaintSet, 1, 1.0, 2.0, {{1, 1}})),
              ReaDifSimulation::Refused);
    EXPECT_EQ(sim.ScheduleChange(Modpar(-1, "beta", 1.0, 0.0)), ReaDifSimulation::Refused);
}

// A larger field takes the strokes where they were: centres by the pixel centres' ratio, the
// radius by the mean ratio; other changes stay as they are.
TEST(ScheduledChange, RescaledStrokesLandWhereTheyWere) {
    ReaDifSimulation sim(4);
    PrepareWithChanges(sim, "brusselator", 10, 3,
                       {Paint(2, ScheduledChange::Kind::PaintSet, 0, 1.0, 1.5, {{0, 0}, {11, 8}}),
                        Modpar(3, "beta", 8.0, 0.0)});
    sim.RescaleSchedule(12, 9, 24, 36);
    const std::vector<ScheduledChange> &schedule = sim.GetSchedule();
    ASSERT_EQ(schedule.size(), 2u);
    EXPECT_EQ(schedule[0].Centres[0].X, 1);  // (0 + 0.5) x 2
    EXPECT_EQ(schedule[0].Centres[0].Y, 2);  // (0 + 0.5) x 4
    EXPECT_EQ(schedule[0].Centres[1].X, 23);
    EXPECT_EQ(schedule[0].Centres[1].Y, 34);
    EXPECT_DOUBLE_EQ(schedule[0].Radius, 1.5 * std::sqrt(8.0));
    EXPECT_EQ(schedule[1].Value, 8.0);
}
