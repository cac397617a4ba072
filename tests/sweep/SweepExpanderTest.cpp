// SweepExpander: variant scripts from a base, their names, values and seeds, and the parser's
// refusals named by variant and line.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "image3d/Image3D8.h"
#include "rdsimul/ScriptTestSupport.h"
#include "rdsimul/ScriptText.h"
#include "sweep/SweepExpander.h"
#include "sweep/SweepTestSupport.h"

namespace {

using sweeptest::VariedLines;

class SweepExpanderTest : public scripttest::TempDirTest {
protected:
    std::string Base(const std::string &text) {
        std::string path = PathOf("base.vna");
        scripttest::WriteFile(path, text);
        return path;
    }
    std::string Folder() const { return (Dir / "base-sweep").string(); }
};

TEST_F(SweepExpanderTest, ProductNamedAfterValuesFirstLineSlowest) {
    SweepExpander expander;
    ASSERT_EQ(expander.LoadBase(Base(sweeptest::BaseScript)), SweepExpander::Done)
        << expander.Error;
    ASSERT_EQ(expander.Expand(VariedLines({"modpar alpha 2:3:2", "diffusion B 0.5,1"}), 0, false),
              SweepExpander::Done);
    std::vector<std::string> names;
    for (const SweepVariant &variant : expander.Variants()) names.push_back(variant.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"alpha2_diffusionB0.5", "alpha2_diffusionB1",
                                               "alpha3_diffusionB0.5", "alpha3_diffusionB1"}));
    const std::string &text = expander.Variants()[1].Text;
    // The values in the head comment and on their lines; the base's other lines unchanged.
    EXPECT_EQ(text.rfind("// Sweep variant alpha2_diffusionB1 of base.vna\n"
                         "// vary modpar alpha = 2\n// vary diffusion B = 1\n",
                         0),
              0u);
    EXPECT_NE(text.find("\nmodpar alpha 2\n"), std::string::npos);
    EXPECT_NE(text.find("\ndiffusion B 1\n"), std::string::npos);
    EXPECT_NE(text.find("\ndiffusion A 0.2\n"), std::string::npos);
    EXPECT_NE(text.find("\nmodpar beta 7\n"), std::string::npos);
    ASSERT_EQ(expander.WriteAndCheck(Folder()), SweepExpander::Done) << expander.Error;
    EXPECT_EQ(scripttest::ReadFile(Folder() + "/alpha2_diffusionB1.vna"), text);
}

TEST_F(SweepExpanderTest, LineMissingFromBaseIsAddedAndCrLfKept) {
    std::string text;
    for (const char *c = sweeptest::BaseScript; *c != 0; ++c) {
        if (*c == '\n') text += '\r';
        text += *c;
    }
    text.erase(text.find("modpar beta 7\r\n"), 15);
    SweepExpander expander;
    ASSERT_EQ(expander.LoadBase(Base(text)), SweepExpander::Done) << expander.Error;
    ASSERT_EQ(expander.Expand(VariedLines({"modpar beta 6,7"}), 0, false), SweepExpander::Done);
    ASSERT_EQ(expander.Variants().size(), 2u);
    const std::string &variant = expander.Variants()[1].Text;
    EXPECT_NE(variant.find("\r\nmodpar beta 7\r\n"), std::string::npos);
    EXPECT_NE(variant.find("\r\nrandseed 11\r\n"), std::string::npos);
    ASSERT_EQ(expander.WriteAndCheck(Folder()), SweepExpander::Done) << expander.Error;
}

TEST_F(SweepExpanderTest, Seeds) {
    SweepExpander expander;
    ASSERT_EQ(expander.LoadBase(Base(sweeptest::BaseScript)), SweepExpander::Done);
    // The base's seed for all; --seed instead of it; each its own with randomize.
    ASSERT_EQ(expander.Expand(VariedLines({"modpar beta 6,7,8"}), 0, false), SweepExpander::Done);
    for (const SweepVariant &variant : expander.Variants()) {
        EXPECT_EQ(variant.Seed, 11u);
        EXPECT_EQ(ScriptText::Seed(variant.Text), 11u);
    }
    ASSERT_EQ(expander.Expand(VariedLines({"modpar beta 6,7,8"}), 4242, false),
              SweepExpander::Done);
    for (const SweepVariant &variant : expander.Variants()) {
        EXPECT_EQ(ScriptText::Seed(variant.Text), 4242u);
        EXPECT_EQ(variant.Text.find("randseed 11"), std::string::npos);
    }
    ASSERT_EQ(expander.Expand(VariedLines({"modpar beta 6:8:30"}), 0, true), SweepExpander::Done);
    std::set<uint32_t> seeds;
    for (const SweepVariant &variant : expander.Variants()) {
        EXPECT_EQ(ScriptText::Seed(variant.Text), variant.Seed);
        seeds.insert(variant.Seed);
    }
    EXPECT_GT(seeds.size(), 25u);
    EXPECT_EQ(seeds.count(0u), 0u);
    // A resumed randomized sweep keeps the seeds its scripts already have.
    ASSERT_EQ(expander.WriteAndCheck(Folder()), SweepExpander::Done);
    const uint32_t first = expander.Variants()[0].Seed;
    ASSERT_EQ(expander.Expand(VariedLines({"modpar beta 6:8:30"}), 0, true, Folder()),
              SweepExpander::Done);
    EXPECT_EQ(expander.Variants()[0].Seed, first);
}

// The seed goes into the randseed line the base takes its seed from (the last; an earlier one
// gives 0), so a base with two seed lines gives variants the parser accepts; a byte-order mark
// stays out of the middle of a variant.
TEST_F(SweepExpanderTest, SeedGoesIntoTheSeedLineThatCounts) {
    std::string text = "\xEF\xBB\xBF" + std::string(sweeptest::BaseScript);
    text.replace(text.find("randseed 11\n"), 12, "randseed 0\nrandseed 11\n");
    SweepExpander expander;
    ASSERT_EQ(expander.LoadBase(Base(text)), SweepExpander::Done) << expander.Error;
    ASSERT_EQ(expander.Expand(VariedLines({"modpar beta 6,7"}), 99, false), SweepExpander::Done);
    const std::string &variant = expander.Variants()[0].Text;
    EXPECT_NE(variant.find("\nrandseed 0\nrandseed 99\n"), std::string::npos) << variant;
    EXPECT_EQ(variant.find("\xEF\xBB\xBF"), std::string::npos);
    ASSERT_EQ(expander.WriteAndCheck(Folder()), SweepExpander::Done) << expander.Error;
}

TEST_F(SweepExpanderTest, BaseWithoutSeedSharesOneFreshSeed) {
    std::string text = sweeptest::BaseScript;
    text.erase(text.find("randseed 11\n"), 12);
    SweepExpander expander;
    ASSERT_EQ(expander.LoadBase(Base(text)), SweepExpander::Done);
    ASSERT_EQ(expander.Expand(VariedLines({"modpar beta 6,7"}), 0, false), SweepExpander::Done);
    EXPECT_NE(expander.SharedSeed(), 0u);
    for (const SweepVariant &variant : expander.Variants()) {
        EXPECT_EQ(ScriptText::Seed(variant.Text), expander.SharedSeed());
    }
}

// The parser reads a modpar line by its name's first two characters: a varied parameter takes
// the base's line for it, however that line spells it, instead of setting it a second time.
TEST_F(SweepExpanderTest, VariedParameterTakesTheBaseLineThatSetsIt) {
    std::string text = sweeptest::BaseScript;
    text.replace(text.find("modpar beta 7"), 13, "modpar be 7");
    SweepExpander expander;
    ASSERT_EQ(expander.LoadBase(Base(text)), SweepExpander::Done) << expander.Error;
    ASSERT_EQ(expander.Expand(VariedLines({"modpar beta 6,8"}), 0, false), SweepExpander::Done);
    EXPECT_NE(expander.Variants()[1].Text.find("\nmodpar be 8\n"), std::string::npos);
    EXPECT_EQ(expander.WriteAndCheck(Folder()), SweepExpander::Done) << expander.Error;
}

TEST_F(SweepExpanderTest, RefusalsNameVariantAndLine) {
    SweepExpander expander;
    ASSERT_EQ(expander.LoadBase(Base(sweeptest::BaseScript)), SweepExpander::Done);
    // 0.5 and 1 are in range, 1.5 not: the sweep stops at that variant, naming its line.
    ASSERT_EQ(expander.Expand(VariedLines({"diffusion B 0.5:1.5:3"}), 0, false),
              SweepExpander::Done);
    EXPECT_EQ(expander.WriteAndCheck(Folder()), SweepExpander::VariantRefused);
    EXPECT_NE(expander.Error.find("variant diffusionB1.5 is refused"), std::string::npos);
    EXPECT_NE(expander.Error.find("diffusionB1.5.vna:9: "), std::string::npos) << expander.Error;
    EXPECT_NE(expander.Error.find("    diffusion B 1.5\n"), std::string::npos);
    // Nothing is written, not even the variants before the refused one.
    EXPECT_FALSE(std::filesystem::exists(Folder()));

    // A modpar line names a parameter of the model as it spells it; the one meant is offered.
    const std::pair<const char *, const char *> unread[] = {
        {"modpar betta 6,7",
         "'modpar betta': the model brusselator has no parameter 'betta'; did you mean 'beta'? "
         "(its parameters: alpha, beta)\n"},
        {"modpar Alpha 2,3",
         "'modpar Alpha': the model brusselator has no parameter 'Alpha'; did you mean "
         "'alpha'? (its parameters: alpha, beta)\n"},
        {"modpar gamma 0,1",
         "'modpar gamma': the model brusselator has no parameter 'gamma' (its parameters: "
         "alpha, beta)\n"},
    };
    for (const auto &[line, error] : unread) {
        EXPECT_EQ(expander.Expand(VariedLines({line}), 0, false), SweepExpander::Failed) << line;
        EXPECT_EQ(expander.Error, error);
    }

    // Two options on one line, and names that would collide, are refused before any file.
    EXPECT_EQ(expander.Expand(VariedLines({"modpar beta 6,7", "modpar beta 8,9"}), 0, false),
              SweepExpander::Failed);
    EXPECT_EQ(expander.Expand(VariedLines({"modpar beta 7,7.0,7"}), 0, false),
              SweepExpander::Failed);

    // A faulty base stops the sweep with the base's own lines.
    std::string faulty = sweeptest::BaseScript;
    faulty.replace(faulty.find("size 24 20"), 10, "size 24 2");
    EXPECT_EQ(expander.LoadBase(Base(faulty)), SweepExpander::Failed);
    EXPECT_NE(expander.Error.find("base.vna:10: "), std::string::npos) << expander.Error;
}

}  // namespace

namespace {

TEST_F(SweepExpanderTest, PicturesAreFoundFromTheVariantsFolder) {
    // An 8-bit BMP beside the base (the core reads it), named relative to the base.
    Image3D8 picture("p", 3, 2, 1, 0);
    ASSERT_EQ(picture.SaveFileBMP(PathOf("mask.bmp").c_str(), 0), GenImage3D::Done);
    std::string base = sweeptest::BaseScript;
    base.replace(base.find("init B 2.33 0.2\n"), 16, "initmap B mask.bmp 0 1\n");
    SweepExpander expander;
    ASSERT_EQ(expander.LoadBase(Base(base)), SweepExpander::Done) << expander.Error;
    ASSERT_EQ(expander.Expand(VariedLines({"modpar alpha 2,3"}), 0, false), SweepExpander::Done);
    ASSERT_EQ(expander.WriteAndCheck(Folder()), SweepExpander::Done) << expander.Error;
    const std::string absolute =
        (std::filesystem::absolute(Dir) / "mask.bmp").lexically_normal().string();
    EXPECT_NE(expander.Variants()[0].Text.find("\ninitmap B " + absolute + " 0 1\n"),
              std::string::npos)
        << expander.Variants()[0].Text;
}

}  // namespace
