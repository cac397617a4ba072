#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ReactionModels.h"

// The table is what the parser, the steps and the kernels are expanded from: a duplicated name,
// a count the fields cannot hold or a parameter listed twice would go unnoticed elsewhere.
TEST(ReactionModels, EveryEntryIsFoundByItsNameAndFitsTheSlots) {
    ASSERT_GE(ReactionModelCount, 1);
    EXPECT_STREQ(ReactionModelTable[0].Name, "diffusion");
    EXPECT_FALSE(ModelReacts(ReactionModelId(0)));
    for (int m = 0; m < ReactionModelCount; ++m) {
        const ReactionModelInfo &info = ReactionModelTable[m];
        SCOPED_TRACE(info.Name);
        EXPECT_EQ(FindReactionModel(info.Name), m);
        std::string upper = info.Name;
        for (char &c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(FindReactionModel(upper.c_str()), m);
        EXPECT_GE(info.Components, 1);
        EXPECT_LE(info.Components, 4);
        for (int i = 0; i < info.ParameterCount(); ++i) {
            EXPECT_GT(std::string(info.Parameters[i].Meaning).size(), 0u);
            EXPECT_GT(std::string(info.Parameters[i].MeaningFrench).size(), 0u);
            for (int j = 0; j < i; ++j) {
                EXPECT_NE(info.Parameters[i].Field, info.Parameters[j].Field);
            }
        }
        // Choosing the model records its index for the fused iteration.
        ReaDifSimulation sim(4);
        ASSERT_EQ(sim.SetReactionModel(info.Name), ReaDifSimulation::Done);
        EXPECT_EQ(sim.ModelIndex, m);
        EXPECT_EQ(sim.ComponentCount, info.Components);
    }
    EXPECT_EQ(FindReactionModel("gld"), -1);
    EXPECT_EQ(FindReactionModel(""), -1);
    EXPECT_EQ(FindReactionModel(nullptr), -1);
}

// Each parameter is read under its own key: two names sharing their first two characters would
// read one value.
TEST(ReactionModels, ParametersHaveDistinctKeys) {
    ReaDifSimulation sim(1);
    constexpr int count = int(sizeof ReactionParameterNames / sizeof ReactionParameterNames[0]);
    for (int p = 0; p < count; ++p) {
        ASSERT_EQ(sim.SetReactionParameter(ReactionParameterNames[p], 1.0 + p, 0.0),
                  ReaDifSimulation::Done);
    }
    for (int p = 0; p < count; ++p) {
        EXPECT_EQ(sim.GetReactionParameter(ReactionParameterNames[p]), 1.0 + p)
            << ReactionParameterNames[p];
    }
}
