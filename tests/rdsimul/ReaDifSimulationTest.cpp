#include <gtest/gtest.h>

#include <string>

#include "rdsimul/ReaDifSimulation.h"

TEST(ReaDifSimulation, ConstructionBuildsEverySlotWithTheDefaults) {
    ReaDifSimulation sim(3);
    EXPECT_EQ(sim.ErrorStatus, ReaDifSimulation::StatusUsable);
    EXPECT_EQ(sim.MaxComponentCount, 3);
    EXPECT_EQ(sim.ComponentCount, 0);
    EXPECT_EQ(sim.EndTime, 0);
    EXPECT_EQ(sim.CurrentTime, 0);
    EXPECT_EQ(sim.ReactionStep, &ReaDifSimulation::ReactionStep_Void);
    EXPECT_EQ(sim.ImageComponent, '?');
    EXPECT_EQ(sim.ImageFormat, 'B');
    EXPECT_EQ(sim.DiffusionSubSteps, 1);
    EXPECT_EQ(sim.ReactionSubSteps, 1);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(sim.Components[i], nullptr);
        EXPECT_EQ(sim.Components[i]->GetBorderSize(), 1);
        EXPECT_EQ(sim.Components[i]->GetPixelCount(), 0u);
        EXPECT_EQ(sim.InitConcentration[i], -10000.0);
        EXPECT_EQ(sim.DiffusionCoeff[i], 0.0);
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(sim.ColorMaps8[i]->GetColorCount(), 256);
        EXPECT_EQ(sim.ColorMaps24[i]->GetColorCount(), 25303);
    }
    EXPECT_EQ(sim.FileBaseName.GetMaxSize(), 300);
    EXPECT_EQ(ReaDifSimulation(0).MaxComponentCount, 1);
    EXPECT_EQ(ReaDifSimulation(-5).MaxComponentCount, 1);
    EXPECT_EQ(MainRDSim.MaxComponentCount, 4);
    EXPECT_EQ(MainRDSim.ErrorStatus, ReaDifSimulation::StatusUsable);
}

TEST(ReaDifSimulation, FailedConstructionRefusesEverythingWithoutCrashing) {
    // More slots than capital letters cannot be named: nothing is built.
    ReaDifSimulation sim(27);
    EXPECT_EQ(sim.ErrorStatus, ReaDifSimulation::StatusAllocationFailed);
    EXPECT_EQ(sim.ResetDefaultParameters(), ReaDifSimulation::ResetResult::ConstructionFailed);
    EXPECT_EQ(sim.SetReactionModel("schlogl"), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.SetComponentCount(1), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.GetComponentIndex('A'), -1);
    EXPECT_EQ(sim.SetDiffusionCoeff('A', 0.5, 0.0), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.GetInitConcentration('A'), 0.0);
    EXPECT_EQ(sim.SetDomainSize(10, 10, 1), ReaDifSimulation::Done);  // no component in use
    EXPECT_EQ(sim.Initialize(), GenImage3D::Refused);
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Refused);
    EXPECT_EQ(sim.ReactionStep_Schlogl(), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.DiffusionStep(), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.SaveImage2D('A'), GenImage3D::Refused);
    EXPECT_EQ(sim.EvalSaveImageDiskSpace(), 0);
    // Even with the status cleared by hand nothing reaches the missing arrays.
    sim.ErrorStatus = 0;
    EXPECT_EQ(sim.ResetDefaultParameters(), ReaDifSimulation::ResetResult::ConstructionFailed);
    EXPECT_EQ(sim.DiffusionStep(), ReaDifSimulation::Done);
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Refused);
}

struct ModelRow {
    const char *Name;
    int Components;
    ReaDifSimulation::ReactionStepFunction Step;
};

class ReaDifSimulationModels : public testing::TestWithParam<ModelRow> {};

TEST_P(ReaDifSimulationModels, NameSelectsComponentsAndStepWithoutRegardToCase) {
    const ModelRow row = GetParam();
    ReaDifSimulation sim(4);
    EXPECT_EQ(sim.SetReactionModel(row.Name), ReaDifSimulation::Done);
    EXPECT_EQ(sim.ComponentCount, row.Components);
    EXPECT_EQ(sim.ReactionStep, row.Step);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReaDifSimulationModels,
    testing::Values(ModelRow{"diffusion", 1, &ReaDifSimulation::ReactionStep_Void},
                    ModelRow{"Schlogl", 1, &ReaDifSimulation::ReactionStep_Schlogl},
                    ModelRow{"GinzburgLandau", 2, &ReaDifSimulation::ReactionStep_GinzburgLandau},
                    ModelRow{"GLD1", 3, &ReaDifSimulation::ReactionStep_GinzburgLandauDer1},
                    ModelRow{"gld2", 4, &ReaDifSimulation::ReactionStep_GinzburgLandauDer2},
                    ModelRow{"MAGINU", 2, &ReaDifSimulation::ReactionStep_Maginu},
                    ModelRow{"magD1", 2, &ReaDifSimulation::ReactionStep_MaginuDer1},
                    ModelRow{"brusselator", 2, &ReaDifSimulation::ReactionStep_Brusselator},
                    ModelRow{"Brd1", 2, &ReaDifSimulation::ReactionStep_BrusselatorDer1}));

TEST(ReaDifSimulation, UnknownModelOrTooFewSlotsLeavesNoModel) {
    ReaDifSimulation sim(3);
    ASSERT_EQ(sim.SetReactionModel("gld1"), ReaDifSimulation::Done);
    for (const char *name : {"gld3", "schlog", "schloglx", "", "gld2"}) {
        EXPECT_EQ(sim.SetReactionModel("maginu"), ReaDifSimulation::Done);
        EXPECT_EQ(sim.SetReactionModel(name), ReaDifSimulation::Refused) << name;
        EXPECT_EQ(sim.ComponentCount, 0) << name;
        EXPECT_EQ(sim.ReactionStep, &ReaDifSimulation::ReactionStep_Void) << name;
        EXPECT_EQ(sim.ModelIndex, 0) << name;
    }
    EXPECT_EQ(sim.SetReactionModel(nullptr), ReaDifSimulation::Refused);
}

TEST(ReaDifSimulation, ComponentLettersAreCapitalsOfComponentsInUse) {
    ReaDifSimulation sim(4);
    EXPECT_EQ(sim.SetReactionModel("maginu"), ReaDifSimulation::Done);
    EXPECT_EQ(sim.GetComponentIndex('A'), 0);
    EXPECT_EQ(sim.GetComponentIndex('B'), 1);
    EXPECT_EQ(sim.GetComponentIndex('a'), -1);
    EXPECT_EQ(sim.GetComponentIndex('C'), -1);
    EXPECT_EQ(sim.GetComponentIndex('@'), -1);

    EXPECT_EQ(sim.SetInitConcentration('C', 1.0, 0.1), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.SetDiffusionCoeff('b', 0.5, 0.0), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.SetReactionStrength('Z', 1.0), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.GetInitConcentration('B'), -10000.0);  // in use, never set
    EXPECT_EQ(sim.GetInitConcentration('C'), 0.0);       // not in use
    EXPECT_EQ(sim.InitConcentration[2], -10000.0);

    EXPECT_EQ(sim.SetInitConcentration('B', 0.25, 0.125), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDiffusionCoeff('B', 0.5, -0.01), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionStrength('A', 0.75), ReaDifSimulation::Done);
    EXPECT_EQ(sim.GetInitConcentration('B'), 0.25);
    EXPECT_EQ(sim.InitNoise[1], 0.125);
    EXPECT_EQ(sim.GetDiffusionCoeff('B'), 0.5);
    EXPECT_EQ(sim.DiffusionCoeffVariation[1], -0.01);
    EXPECT_EQ(sim.GetReactionStrength('A'), 0.75);
    EXPECT_EQ(sim.GetReactionStrength('B'), 0.0);
}

TEST(ReaDifSimulation, EndTimeIsZeroToTenMillion) {
    ReaDifSimulation sim(1);
    EXPECT_EQ(sim.SetEndTime(10000000), ReaDifSimulation::Done);
    EXPECT_EQ(sim.EndTime, 10000000);
    EXPECT_EQ(sim.SetEndTime(10000001), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.SetEndTime(-1), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.SetEndTime(INT32_MIN), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.EndTime, 10000000);
    EXPECT_EQ(sim.SetEndTime(0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.EndTime, 0);
}

TEST(ReaDifSimulation, ParameterNamesReduceToTheirFirstTwoCharacters) {
    ReaDifSimulation sim(1);
    // Capitals are folded when setting, not when reading.
    EXPECT_EQ(sim.SetReactionParameter("Alpha", 1.0, 0.5), ReaDifSimulation::Done);
    EXPECT_EQ(sim.GetReactionParameter("Alpha"), 0.0);
    EXPECT_EQ(sim.GetReactionParameter("alpha"), 1.0);
    EXPECT_EQ(sim.GetReactionParameter("alfa"), 1.0);
    EXPECT_EQ(sim.GetReactionParameter("al"), 1.0);
    EXPECT_EQ(sim.ReactionParameters[26 + 36 * 0 + 11][1], 0.5);

    EXPECT_EQ(sim.SetReactionParameter("b", 2.0, 0.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionParameter("aa", 3.0, 0.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.GetReactionParameter("b"), 2.0);
    EXPECT_EQ(sim.GetReactionParameter("aa"), 3.0);
    EXPECT_EQ(sim.ReactionParameters[1][0], 2.0);
    EXPECT_EQ(sim.ReactionParameters[26][0], 3.0);

    // The last pair: 'z' then '9'.
    EXPECT_EQ(sim.SetReactionParameter("Z9", 9.0, 0.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.ReactionParameters[961][0], 9.0);
    EXPECT_EQ(sim.GetReactionParameter("z9x"), 9.0);
    EXPECT_EQ(sim.SetReactionParameter("c1", 4.0, 0.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.GetReactionParameter("c"), 0.0);

    for (const char *bad : {"a-", "1a", "-", "", "_x", "a.", "\xe9t"}) {
        EXPECT_EQ(sim.SetReactionParameter(bad, 5.0, 0.0), ReaDifSimulation::Refused) << bad;
        EXPECT_EQ(sim.GetReactionParameter(bad), 0.0) << bad;
    }
    EXPECT_EQ(sim.SetReactionParameter(nullptr, 5.0, 0.0), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.GetReactionParameter(nullptr), 0.0);
}

TEST(ReaDifSimulation, ComponentCountGrowsFieldsToTheSizeOfA) {
    ReaDifSimulation sim(4);
    EXPECT_EQ(sim.SetComponentCount(5), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.SetComponentCount(-1), ReaDifSimulation::Refused);
    ASSERT_EQ(sim.SetComponentCount(1), ReaDifSimulation::Done);
    ASSERT_EQ(sim.SetDomainSize(6, 5, 1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.Components[1]->GetSizeX(), 0);
    EXPECT_EQ(sim.SetComponentCount(0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.GetComponentIndex('A'), -1);
    ASSERT_EQ(sim.SetComponentCount(3), ReaDifSimulation::Done);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sim.Components[i]->GetSizeX(), 6) << i;
        EXPECT_EQ(sim.Components[i]->GetSizeY(), 5) << i;
    }
    EXPECT_EQ(sim.Components[3]->GetSizeX(), 0);
}

TEST(ReaDifSimulation, FailedResizeMarksTheObjectAndKeepsLaterFieldsAsTheyWere) {
    ReaDifSimulation sim(4);
    EXPECT_EQ(sim.SetReactionModel("maginu"), ReaDifSimulation::Done);
    ASSERT_EQ(sim.SetDomainSize(8, 4, 1), ReaDifSimulation::Done);
    // 65535 x 65535 floats are far beyond what one field may hold.
    EXPECT_EQ(sim.SetDomainSize(65535, 65535, 1), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.ErrorStatus, ReaDifSimulation::StatusAllocationFailed);
    EXPECT_EQ(sim.Components[1]->GetSizeX(), 8);
    EXPECT_EQ(sim.ResetDefaultParameters(), ReaDifSimulation::ResetResult::ConstructionFailed);
    EXPECT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Refused);
    EXPECT_EQ(sim.ReactionStep_Maginu(), ReaDifSimulation::Refused);
    EXPECT_EQ(sim.DiffusionStep(), ReaDifSimulation::Refused);
}

TEST(ReaDifSimulation, ResetRestoresSettingsButKeepsFieldsAndCounters) {
    ReaDifSimulation sim(2);
    EXPECT_EQ(sim.SetReactionModel("brusselator"), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDomainSize(4, 3, 1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetEndTime(50), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDiffusionCoeff('B', 0.5, 0.1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionStrength('B', 0.5), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetInitConcentration('A', 1.0, 0.5), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionParameter("beta", 2.0, 0.1), ReaDifSimulation::Done);
    sim.VaryParameters = 1;
    sim.ImageComponent = 'A';
    sim.ImageFormat = 'T';
    sim.ImagePeriod = 10;
    sim.TrueColor = sim.Mosaic = 1;
    sim.ImageScale = 2.0;
    sim.DiffusionSubSteps = 3;
    sim.CurrentTime = 7;
    ASSERT_EQ(sim.FileBaseName.Init("base", 300), ProcString::Done);
    sim.Components[0]->SetPixelValue(0.5f, 1, 1, 0);

    ASSERT_EQ(sim.ResetDefaultParameters(), ReaDifSimulation::ResetResult::Done);
    EXPECT_EQ(sim.ComponentCount, 0);
    EXPECT_EQ(sim.EndTime, 0);
    EXPECT_EQ(sim.DiffusionCoeff[1], 0.0);
    EXPECT_EQ(sim.DiffusionCoeffVariation[1], 0.0);
    EXPECT_EQ(sim.ReactionStrength[1], 0.0);
    EXPECT_EQ(sim.InitConcentration[0], -10000.0);
    EXPECT_EQ(sim.InitNoise[0], 0.0);
    EXPECT_EQ(sim.ReactionParameters[26 + 36 * 1 + 4][0], 0.0);
    EXPECT_EQ(sim.ReactionParameters[26 + 36 * 1 + 4][1], 0.0);
    EXPECT_EQ(sim.VaryParameters, 0);
    EXPECT_EQ(sim.ImageComponent, '?');
    EXPECT_EQ(sim.ImageFormat, 'B');
    EXPECT_EQ(sim.ImagePeriod, 0);
    EXPECT_EQ(sim.TrueColor, 0);
    EXPECT_EQ(sim.Mosaic, 0);
    EXPECT_EQ(sim.ImageScale, 0.0);
    EXPECT_EQ(sim.DiffusionSubSteps, 1);
    EXPECT_EQ(sim.ReactionStep, &ReaDifSimulation::ReactionStep_Void);
    // Kept: the fields, the counters and the base name.
    EXPECT_EQ(sim.CurrentTime, 7);
    EXPECT_EQ(std::string(sim.FileBaseName.GetString()), "base");
    EXPECT_EQ(sim.Components[0]->GetSizeX(), 4);
    EXPECT_EQ(sim.Components[0]->GetPixelValue(1, 1, 0), 0.5f);
}
