#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "SimulationTestSupport.h"
#include "rdsimul/kernels/FastKernels.h"
#include "rdsimul/kernels/ReferenceKernels.h"

namespace {

// Every pixel of a field, border ring included, for comparisons that must see the border too.
std::vector<float> WholeStore(const Image3DFloat &field) {
    const float *first = field.GetPtrFirstPixel();
    const int lineOffset = field.GetLineOffset();
    const float *start = first - lineOffset - 1;
    return std::vector<float>(start, start + size_t(lineOffset) * (field.GetSizeY() + 2));
}

void FillPattern(Image3DFloat &field, uint32_t seed) {
    uint32_t state = seed;
    for (int y = 0; y < field.GetSizeY(); ++y) {
        for (int x = 0; x < field.GetSizeX(); ++x) {
            state = state * 1664525u + 1013904223u;
            field.SetPixelValue(float(state >> 8) / float(1u << 24), uint16_t(x), uint16_t(y), 0);
        }
    }
}

}  // namespace

struct StepRow {
    const char *Model;
    int Required;
    ReaDifSimulation::ReactionStepFunction Step;
};

class ReaDifSimulationSteps : public testing::TestWithParam<StepRow> {};

TEST_P(ReaDifSimulationSteps, RefusedWithTooFewComponentsOrAnErrorStatusAndChangesNothing) {
    const StepRow row = GetParam();
    ReaDifSimulation sim(4);
    PrepareRun(sim, FindModel(row.Model), 5, 3, 10, 7);
    const std::vector<float> before = Interior(sim, 0);

    ASSERT_EQ((sim.*row.Step)(), ReaDifSimulation::Done);
    EXPECT_NE(Interior(sim, 0), before);

    const std::vector<float> after = Interior(sim, 0);
    sim.ErrorStatus = ReaDifSimulation::StatusOverflow;
    EXPECT_EQ((sim.*row.Step)(), ReaDifSimulation::Refused);
    EXPECT_EQ(Interior(sim, 0), after);
    sim.ErrorStatus = ReaDifSimulation::StatusUsable;

    ASSERT_EQ(sim.SetComponentCount(row.Required - 1), ReaDifSimulation::Done);
    EXPECT_EQ((sim.*row.Step)(), ReaDifSimulation::Refused);
    ASSERT_EQ(sim.SetComponentCount(row.Required), ReaDifSimulation::Done);
    EXPECT_EQ(Interior(sim, 0), after);
}

INSTANTIATE_TEST_SUITE_P(
    Models, ReaDifSimulationSteps,
    testing::Values(StepRow{"schlogl", 1, &ReaDifSimulation::ReactionStep_Schlogl},
                    StepRow{"ginzburglandau", 2, &ReaDifSimulation::ReactionStep_GinzburgLandau},
                    StepRow{"gld1", 3, &ReaDifSimulation::ReactionStep_GinzburgLandauDer1},
                    StepRow{"gld2", 4, &ReaDifSimulation::ReactionStep_GinzburgLandauDer2},
                    StepRow{"maginu", 2, &ReaDifSimulation::ReactionStep_Maginu},
                    StepRow{"magd1", 2, &ReaDifSimulation::ReactionStep_MaginuDer1},
                    StepRow{"brusselator", 2, &ReaDifSimulation::ReactionStep_Brusselator},
                    StepRow{"brd1", 2, &ReaDifSimulation::ReactionStep_BrusselatorDer1}));

TEST(ReaDifSimulationModels, VoidStepAlwaysSucceeds) {
    ReaDifSimulation sim(1);
    sim.ErrorStatus = ReaDifSimulation::StatusOverflow;
    EXPECT_EQ(sim.ReactionStep_Void(), ReaDifSimulation::Done);
}

TEST(ReaDifSimulationModels, SchloglOnZeroWithUnitStrengthGivesItsConstantTerm) {
    ReaDifSimulation sim(4);
    EXPECT_EQ(sim.SetReactionModel("schlogl"), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionStrength('A', 1.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDomainSize(4, 3, 1), ReaDifSimulation::Done);
    ASSERT_EQ(sim.ReactionStep_Schlogl(), ReaDifSimulation::Done);
    for (float v : Interior(sim, 0)) EXPECT_EQ(v, 0.002f);
}

TEST(ReaDifSimulationModels, StepsReadTheNamedParametersAtEachCall) {
    // Brusselator from its steady state (alpha, beta / alpha): only a drifted beta moves it.
    ReaDifSimulation sim(4);
    EXPECT_EQ(sim.SetReactionModel("brusselator"), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionStrength('A', 0.1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionStrength('B', 0.1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionParameter("alpha", 2.0, 0.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionParameter("beta", 3.0, 0.5), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDomainSize(3, 3, 1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetInitConcentration('A', 2.0, 0.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetInitConcentration('B', 1.5, 0.0), ReaDifSimulation::Done);
    EXPECT_EQ(sim.Initialize(), GenImage3D::Done);
    ASSERT_EQ(sim.ReactionStep_Brusselator(), ReaDifSimulation::Done);
    EXPECT_EQ(Interior(sim, 0)[4], 2.0f);
    EXPECT_EQ(Interior(sim, 1)[4], 1.5f);
    sim.VaryParameters = 1;
    ASSERT_EQ(sim.VaryReactionParameters(), ReaDifSimulation::VaryResult::Done);
    ASSERT_EQ(sim.ReactionStep_Brusselator(), ReaDifSimulation::Done);
    EXPECT_NE(Interior(sim, 1)[4], 1.5f);
}

TEST(ReaDifSimulationModels, DiffusionIsTheFieldsOwnBorderCopyAndFilterBitForBit) {
    // The diffusion step must agree with PeriodiseBorderXY1 + FastConvolution2D9 (or NCEN for a
    // coefficient of 1) of the float field, border lines included.
    for (double d : {0.0, 0.013, 0.37, 0.5, 0.999, 1.0}) {
        ReaDifSimulation sim(1);
        EXPECT_EQ(sim.SetReactionModel("diffusion"), ReaDifSimulation::Done);
        EXPECT_EQ(sim.SetDomainSize(7, 5, 1), ReaDifSimulation::Done);
        EXPECT_EQ(sim.SetDiffusionCoeff('A', d, 0.0), ReaDifSimulation::Done);
        FillPattern(*sim.Components[0], 99);
        Image3DFloat twin("twin", 7, 5, 1, 1);
        FillPattern(twin, 99);

        ASSERT_EQ(sim.DiffusionStep(), ReaDifSimulation::Done);
        ASSERT_EQ(twin.PeriodiseBorderXY1(), GenImage3D::Done);
        if (d == 1.0) {
            ASSERT_EQ(twin.FastConvolution2D9NCEN(), GenImage3D::Done);
        } else if (d != 0.0) {
            ASSERT_EQ(twin.FastConvolution2D9(1.0 - d, d * 0.125), GenImage3D::Done);
        }
        const std::vector<float> a = WholeStore(*sim.Components[0]), b = WholeStore(twin);
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0) << d;
    }
}

TEST(ReaDifSimulationModels, DiffusionOfASingleOneAlsoWrapsAtACorner) {
    ReaDifSimulation sim(1);
    EXPECT_EQ(sim.SetReactionModel("diffusion"), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDomainSize(4, 3, 1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDiffusionCoeff('A', 0.5, 0.0), ReaDifSimulation::Done);
    sim.Components[0]->SetPixelValue(1.0f, 3, 2, 0);
    ASSERT_EQ(sim.DiffusionStep(), ReaDifSimulation::Done);
    const Image3DFloat &f = *sim.Components[0];
    EXPECT_EQ(f.GetPixelValue(3, 2, 0), 0.5f);
    for (auto [x, y] : {std::pair{2, 1}, {3, 1}, {0, 1}, {2, 2}, {0, 2}, {2, 0}, {3, 0}, {0, 0}}) {
        EXPECT_EQ(f.GetPixelValue(uint16_t(x), uint16_t(y), 0), 0.0625f) << x << "," << y;
    }
    EXPECT_EQ(f.GetPixelValue(1, 1, 0), 0.0f);
}

TEST(ReaDifSimulationModels, ZeroCoefficientsLeaveValuesButRefreshEveryBorder) {
    ReaDifSimulation sim(2);
    EXPECT_EQ(sim.SetReactionModel("maginu"), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDomainSize(5, 4, 1), ReaDifSimulation::Done);
    FillPattern(*sim.Components[0], 1);
    FillPattern(*sim.Components[1], 2);
    const std::vector<float> a = Interior(sim, 0), b = Interior(sim, 1);
    ASSERT_EQ(sim.DiffusionStep(), ReaDifSimulation::Done);
    EXPECT_EQ(Interior(sim, 0), a);
    EXPECT_EQ(Interior(sim, 1), b);
    const float *first = sim.Components[1]->GetPtrFirstPixel();
    const int lineOffset = sim.Components[1]->GetLineOffset();
    EXPECT_EQ(first[-lineOffset - 1], first[3 * lineOffset + 4]);  // corner takes the far corner
    EXPECT_EQ(first[4 * lineOffset + 2], first[2]);                // bottom border takes line 0
}

TEST(ReaDifSimulationModels, TwoSubStepsAreExactlyTwoPasses) {
    ReaDifSimulation once(1), twice(1);
    for (ReaDifSimulation *sim : {&once, &twice}) {
        EXPECT_EQ(sim->SetReactionModel("diffusion"), ReaDifSimulation::Done);
        EXPECT_EQ(sim->SetDomainSize(7, 5, 1), ReaDifSimulation::Done);
        EXPECT_EQ(sim->SetDiffusionCoeff('A', 0.3, 0.0), ReaDifSimulation::Done);
        FillPattern(*sim->Components[0], 5);
    }
    twice.DiffusionSubSteps = 2;
    ASSERT_EQ(twice.DiffusionStep(), ReaDifSimulation::Done);
    ASSERT_EQ(once.DiffusionStep(), ReaDifSimulation::Done);
    ASSERT_EQ(once.DiffusionStep(), ReaDifSimulation::Done);
    EXPECT_EQ(Interior(once, 0), Interior(twice, 0));
    twice.DiffusionSubSteps = 0;
    const std::vector<float> kept = Interior(twice, 0);
    ASSERT_EQ(twice.DiffusionStep(), ReaDifSimulation::Done);
    EXPECT_EQ(Interior(twice, 0), kept);
}

TEST(ReaDifSimulationModels, DiffusionRefusedOnlyByTheErrorStatus) {
    ReaDifSimulation sim(1);
    EXPECT_EQ(sim.DiffusionStep(), ReaDifSimulation::Done);  // no component in use
    sim.ErrorStatus = ReaDifSimulation::StatusOverflow;
    EXPECT_EQ(sim.DiffusionStep(), ReaDifSimulation::Refused);
}

TEST(ReaDifSimulationModels, StepRefusesFieldsOfDifferentSizes) {
    // A grown slot whose resize did not happen must not be walked with A's counts.
    ReaDifSimulation sim(2);
    EXPECT_EQ(sim.SetReactionModel("maginu"), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDomainSize(6, 6, 1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetReactionParameter("c", 1.0, 0.0), ReaDifSimulation::Done);
    ASSERT_EQ(sim.Components[1]->SetNewSize(3, 3, 1), Frame3D::SizeResult::Done);
    EXPECT_EQ(sim.ReactionStep_Maginu(), ReaDifSimulation::Refused);
    ASSERT_EQ(sim.Components[1]->SetNewSize(6, 6, 1), Frame3D::SizeResult::Done);
    EXPECT_EQ(sim.ReactionStep_Maginu(), ReaDifSimulation::Done);
}

TEST(ReaDifSimulationModels, KernelSetIsChosenPerSimulation) {
    ReaDifSimulation sim(1);
    EXPECT_EQ(&sim.GetKernelSet(), &FastKernels());
    EXPECT_STREQ(sim.GetKernelSet().Name, "fast");

    // A set whose Schloegl pass writes a marker shows that the steps go through the table.
    static KernelSet marker = ReferenceKernels();
    marker.Name = "marker";
    marker.Reaction[int(ReactionModelId::Schlogl)] = [](float *const *fields, const FieldLayout &,
                                                        const ReactionConstants &) {
        fields[0][0] = 42.0f;
    };
    EXPECT_EQ(sim.SetReactionModel("schlogl"), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetDomainSize(2, 2, 1), ReaDifSimulation::Done);
    sim.SetKernelSet(marker);
    ASSERT_EQ(sim.ReactionStep_Schlogl(), ReaDifSimulation::Done);
    EXPECT_EQ(Interior(sim, 0)[0], 42.0f);
    sim.SetKernelSet(ReferenceKernels());
    EXPECT_EQ(&sim.GetKernelSet(), &ReferenceKernels());
}

// One frozen checksum per model: 16 x 12, seed 2024, 200 iterations. A change of any formula,
// of its evaluation order or of the order of the steps shows here.
struct ChecksumRow {
    const char *Model;
    uint64_t Checksum;
};

class ReaDifSimulationChecksums : public testing::TestWithParam<ChecksumRow> {};

TEST_P(ReaDifSimulationChecksums, FixedSeedGivesTheFrozenFields) {
    const ChecksumRow row = GetParam();
    ReaDifSimulation sim(4);
    PrepareRun(sim, FindModel(row.Model), 16, 12, 200, 2024);
    ASSERT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    ASSERT_EQ(sim.ErrorStatus, 0);
    EXPECT_EQ(FieldChecksum(sim), row.Checksum) << std::hex << FieldChecksum(sim);
}

INSTANTIATE_TEST_SUITE_P(Models, ReaDifSimulationChecksums,
                         testing::Values(ChecksumRow{"diffusion", 0xf384d4f1538cd6cfull},
                                         ChecksumRow{"schlogl", 0x0cd7b65314b810ebull},
                                         ChecksumRow{"ginzburglandau", 0x1694c26b96b7228aull},
                                         ChecksumRow{"gld1", 0x8765c56ef3221fbeull},
                                         ChecksumRow{"gld2", 0x0be3232032ea45e5ull},
                                         ChecksumRow{"maginu", 0x6451e7b1d2050930ull},
                                         ChecksumRow{"magd1", 0xad6d081fde7e252cull},
                                         ChecksumRow{"brusselator", 0x09f9f6b7c72daa6bull},
                                         ChecksumRow{"brd1", 0xffc9866e9cda72dfull}),
                         [](const testing::TestParamInfo<ChecksumRow> &row) {
                             return std::string(row.param.Model);
                         });
