#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "ScriptTestSupport.h"
#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/RandomGenerator.h"

using scripttest::Annotation;
using scripttest::ReadFile;
using scripttest::WriteFile;

namespace {

// A complete two-component script, keyed by what each line sets; a case's lines replace the
// standard lines with the same key and come first.
const std::vector<std::pair<std::string, std::string>> StandardLines = {
    {"model", "model brusselator"},         {"reaction A", "reaction A 1"},
    {"reaction B", "reaction B 1"},         {"diffusion A", "diffusion A 0.05"},
    {"diffusion B", "diffusion B 0.4"},     {"init A", "init A 4.5 0.1"},
    {"init B", "init B 1.6 0.1"},           {"size", "size 20 10"},
    {"iterations", "iterations 30"},        {"colormap", "colormap gray"},
    {"image", "image256 A t+10 autoscale"},
};

bool StartsWith(const std::string &text, const std::string &prefix) {
    size_t start = text.find_first_not_of(" \t");
    return start != std::string::npos && text.compare(start, prefix.size(), prefix) == 0;
}

// The case's lines, then every standard line whose key none of them has.
std::string CompleteScript(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines) text += line + "\n";
    for (const auto &[key, line] : StandardLines) {
        bool given = false;
        for (const std::string &own : lines) given = given || StartsWith(own, key);
        if (!given) text += line + "\n";
    }
    return text;
}

// "@46:B" stands for the annotation of message 46 filled with B, "@30" for message 30.
std::string Expand(const std::string &line) {
    if (line.empty() || line[0] != '@') return line + "\n";
    size_t colon = line.find(':');
    int index = std::stoi(line.substr(1, colon));
    return Annotation(index, colon == std::string::npos ? 0 : line[colon + 1]);
}

struct ScriptCase {
    const char *Name;
    std::vector<std::string> Lines;     // the case's own lines
    std::vector<std::string> Expected;  // the same lines as rewritten, with @ annotations
    std::vector<std::string> Top;       // annotations for missing items
    ScriptParser::Result Result;
};

std::string Name207() { return std::string(207, 'a'); }
std::string Name208() { return std::string(208, 'a'); }

// clang-format off
const ScriptCase ScriptCases[] = {
    {"Complete", {}, {}, {}, ScriptParser::Accepted},
    {"SecondModel", {"model brusselator", "model maginu"}, {"model brusselator", "@28", "model maginu"}, {}, ScriptParser::Rejected},
    {"ModelWithoutName", {"model", "model brusselator"}, {"@38", "model", "model brusselator"}, {}, ScriptParser::Rejected},
    {"ModelTextAfter", {"model brusselator x", "model brusselator"}, {"@39", "model brusselator x", "model brusselator"}, {}, ScriptParser::Rejected},
    {"UnknownModel", {"model gray", "model brusselator"}, {"@40", "model gray", "model brusselator"}, {}, ScriptParser::Rejected},
    {"ModelNameIgnoresCase", {"model BrUsSeLaToR"}, {"model BrUsSeLaToR"}, {}, ScriptParser::Accepted},
    {"UnknownKeyword", {"palette gray", "model brusselator"}, {"@27", "palette gray", "model brusselator"}, {}, ScriptParser::Rejected},
    {"ZeroParameterCountsAsUnset", {"model brusselator", "modpar alpha 0", "modpar alpha 1"}, {"model brusselator", "modpar alpha 0", "modpar alpha 1"}, {}, ScriptParser::Accepted},
    {"SameParameterTwice", {"model brusselator", "modpar alpha 1", "modpar alfa 2"}, {"model brusselator", "modpar alpha 1", "@28", "modpar alfa 2"}, {}, ScriptParser::Rejected},
    {"ModparWithoutValue", {"model brusselator", "modpar alpha"}, {"model brusselator", "@41", "modpar alpha"}, {}, ScriptParser::Rejected},
    {"ModparTextAfter", {"model brusselator", "modpar alpha 1 x"}, {"model brusselator", "@42", "modpar alpha 1 x"}, {}, ScriptParser::Rejected},
    {"ModparPlusSignedValue", {"model brusselator", "modpar alpha +1"}, {"model brusselator", "@100", "modpar alpha +1"}, {}, ScriptParser::Rejected},
    {"ModparBadName", {"model brusselator", "modpar 1x 2"}, {"model brusselator", "@43", "modpar 1x 2"}, {}, ScriptParser::Rejected},
    {"ModparVariation", {"model brusselator", "modpar alpha 1 +0.5"}, {"model brusselator", "modpar alpha 1 +0.5"}, {}, ScriptParser::Accepted},
    {"ModparLongestName", {"model brusselator", "modpar " + Name207() + " 1"}, {"model brusselator", "modpar " + Name207() + " 1"}, {}, ScriptParser::Accepted},
    {"ModparNameOverflowsWordBuffer", {"model brusselator", "modpar " + Name208() + " 1"}, {"model brusselator", "@43", "modpar " + Name208() + " 1"}, {}, ScriptParser::Rejected},
    {"ModelNameOverflowsWordBuffer", {"model " + Name208(), "model brusselator"}, {"@40", "model " + Name208(), "model brusselator"}, {}, ScriptParser::Rejected},
    {"ReactionBeforeModel", {"reaction A 1", "model brusselator"}, {"@29", "reaction A 1", "model brusselator"}, {"@32:A"}, ScriptParser::Rejected},
    {"ReactionJustBelowBound", {"model brusselator", "reaction A 0.00001"}, {"model brusselator", "@46:B", "reaction A 0.00001"}, {"@32:A"}, ScriptParser::Rejected},
    {"ReactionAtUpperBound", {"model brusselator", "reaction A 100"}, {"model brusselator", "reaction A 100"}, {}, ScriptParser::Accepted},
    {"ReactionPlusSign", {"model brusselator", "reaction A +0.5"}, {"model brusselator", "@45", "reaction A +0.5"}, {"@32:A"}, ScriptParser::Rejected},
    {"ReactionTwice", {"model brusselator", "reaction A 1", "reaction A 2"}, {"model brusselator", "reaction A 1", "@28", "reaction A 2"}, {}, ScriptParser::Rejected},
    {"ReactionComponentNotInUse", {"model brusselator", "reaction C 1"}, {"model brusselator", "@46:B", "reaction C 1"}, {}, ScriptParser::Rejected},
    {"ReactionSmallLetter", {"model brusselator", "reaction a 1"}, {"model brusselator", "@44", "reaction a 1"}, {}, ScriptParser::Rejected},
    {"LetterWithoutBlank", {"model brusselator", "reaction A1"}, {"model brusselator", "reaction A1"}, {}, ScriptParser::Accepted},
    {"DiffusionAtLowerBound", {"model brusselator", "diffusion A 0.001"}, {"model brusselator", "diffusion A 0.001"}, {}, ScriptParser::Accepted},
    {"DiffusionVariation", {"model brusselator", "diffusion A 0.5 +0.001"}, {"model brusselator", "diffusion A 0.5 +0.001"}, {}, ScriptParser::Accepted},
    {"DiffusionUnsignedVariation", {"model brusselator", "diffusion A 0.5 0.001"}, {"model brusselator", "@48", "diffusion A 0.5 0.001"}, {"@31:A"}, ScriptParser::Rejected},
    {"DiffusionBlankAfterSign", {"model brusselator", "diffusion A 0.5 + 0.1"}, {"model brusselator", "@48", "diffusion A 0.5 + 0.1"}, {"@31:A"}, ScriptParser::Rejected},
    {"DiffusionPlusSignedValue", {"model brusselator", "diffusion A +0.5"}, {"model brusselator", "@100", "diffusion A +0.5"}, {"@31:A"}, ScriptParser::Rejected},
    {"DiffusionExponent", {"model brusselator", "diffusion A 1e-2"}, {"model brusselator", "@48", "diffusion A 1e-2"}, {"@31:A"}, ScriptParser::Rejected},
    {"DiffusionOutOfRange", {"model brusselator", "diffusion A 1.5"}, {"model brusselator", "@49:B", "diffusion A 1.5"}, {"@31:A"}, ScriptParser::Rejected},
    {"InitTwice", {"model brusselator", "init A 1 0", "init A 2 0"}, {"model brusselator", "init A 1 0", "@28", "init A 2 0"}, {}, ScriptParser::Rejected},
    {"InitMissingNoise", {"model brusselator", "init A 0.5"}, {"model brusselator", "@50", "init A 0.5"}, {"@33:A"}, ScriptParser::Rejected},
    {"InitTextAfter", {"model brusselator", "init A 0.5 0.1 0"}, {"model brusselator", "@51", "init A 0.5 0.1 0"}, {"@33:A"}, ScriptParser::Rejected},
    {"InitOutOfRange", {"model brusselator", "init A 11 0"}, {"model brusselator", "@52:B", "init A 11 0"}, {"@33:A"}, ScriptParser::Rejected},
    {"SizeAtLimit", {"size 600 600"}, {"size 600 600"}, {}, ScriptParser::Accepted},
    {"SizeTooWide", {"size 601 600"}, {"@55", "size 601 600"}, {}, ScriptParser::Rejected},
    {"SizeZeroAlsoMissing", {"size 0 20"}, {"@55", "size 0 20"}, {"@34"}, ScriptParser::Rejected},
    {"SizeWithComment", {"size 20 20 // square"}, {"@54", "size 20 20 // square"}, {}, ScriptParser::Rejected},
    {"SizeOneNumber", {"size 20"}, {"@53", "size 20"}, {}, ScriptParser::Rejected},
    {"SizeTwice", {"size 20 20", "size 30 30"}, {"size 20 20", "@28", "size 30 30"}, {}, ScriptParser::Rejected},
    {"IterationsZeroAlsoMissing", {"iterations 0"}, {"@58", "iterations 0"}, {"@35"}, ScriptParser::Rejected},
    {"IterationsTooMany", {"iterations 500001"}, {"@58", "iterations 500001"}, {}, ScriptParser::Rejected},
    {"IterationsNotANumber", {"iterations many"}, {"@56", "iterations many"}, {}, ScriptParser::Rejected},
    {"IterationsTextAfter", {"iterations 10 20"}, {"@57", "iterations 10 20"}, {}, ScriptParser::Rejected},
    {"SeedMissing", {"randseed"}, {"@59", "randseed"}, {}, ScriptParser::Rejected},
    {"SeedTextAfter", {"randseed 5 x"}, {"@60", "randseed 5 x"}, {}, ScriptParser::Rejected},
    {"SeedTwice", {"randseed 5", "randseed 6"}, {"randseed 5", "@28", "randseed 6"}, {}, ScriptParser::Rejected},
    {"ZeroSeedCountsAsUnset", {"randseed 0", "randseed 6"}, {"randseed 0", "randseed 6"}, {}, ScriptParser::Accepted},
    {"ColormapTwice", {"colormap gray", "colormap gray"}, {"colormap gray", "@28", "colormap gray"}, {}, ScriptParser::Rejected},
    {"ColormapEmpty", {"colormap"}, {"@72", "colormap"}, {}, ScriptParser::Rejected},
    {"ColormapMisspelt", {"colormap grey"}, {"@73", "colormap grey"}, {}, ScriptParser::Rejected},
    {"ColormapFiveNumbers", {"colormap rgb 0 255 0 255 0"}, {"@62", "colormap rgb 0 255 0 255 0"}, {}, ScriptParser::Rejected},
    {"ColormapHsl", {"colormap hsl 0 360 1 0.5 60 255"}, {"colormap hsl 0 360 1 0.5 60 255"}, {}, ScriptParser::Accepted},
    {"ImageStartAndPeriod", {"model brusselator", "image256 A 5<t+10 *2 -0.5 mosaic 30 20 TGA"}, {"model brusselator", "image256 A 5<t+10 *2 -0.5 mosaic 30 20 TGA"}, {}, ScriptParser::Accepted},
    {"ImageTrueColorMosaic", {"model brusselator", "image16M B 1000<t+10 *2 +0.5 mosaic 800 600 tga"}, {"model brusselator", "image16M B 1000<t+10 *2 +0.5 mosaic 800 600 tga"}, {}, ScriptParser::Accepted},
    {"ImageSmallM", {"model brusselator", "image16m A t+5 autoscale bmp"}, {"model brusselator", "image16m A t+5 autoscale bmp"}, {}, ScriptParser::Accepted},
    {"ImageBlankAfterStart", {"model brusselator", "image256 A 100< t+50 autoscale"}, {"model brusselator", "@74", "image256 A 100< t+50 autoscale"}, {"@37"}, ScriptParser::Rejected},
    {"ImageBlankAfterPeriodPrefix", {"model brusselator", "image256 A t+ 50 autoscale"}, {"model brusselator", "@74", "image256 A t+ 50 autoscale"}, {"@37"}, ScriptParser::Rejected},
    {"ImageScaleWithoutOffset", {"model brusselator", "image256 A t+50 *2"}, {"model brusselator", "@74", "image256 A t+50 *2"}, {"@37"}, ScriptParser::Rejected},
    {"ImageMosaicOneNumber", {"model brusselator", "image256 A t+50 autoscale mosaic 100"}, {"model brusselator", "@75", "image256 A t+50 autoscale mosaic 100"}, {"@37"}, ScriptParser::Rejected},
    {"ImageMosaicTooWide", {"model brusselator", "image256 A t+50 autoscale mosaic 801 100"}, {"model brusselator", "@76", "image256 A t+50 autoscale mosaic 801 100"}, {"@37"}, ScriptParser::Rejected},
    {"ImageTextLeft", {"model brusselator", "image256 A t+50 autoscale gif"}, {"model brusselator", "@77", "image256 A t+50 autoscale gif"}, {"@37"}, ScriptParser::Rejected},
    {"ImageBeforeModel", {"image256 A t+50 autoscale", "model brusselator"}, {"@29", "image256 A t+50 autoscale", "model brusselator"}, {"@37"}, ScriptParser::Rejected},
    {"ImageZeroPeriod", {"model brusselator", "image256 A t+0 autoscale"}, {"model brusselator", "@78:B", "image256 A t+0 autoscale"}, {"@37"}, ScriptParser::Rejected},
    {"ImageComponentNotInUse", {"model brusselator", "image256 C t+5 autoscale"}, {"model brusselator", "@78:B", "image256 C t+5 autoscale"}, {"@37"}, ScriptParser::Rejected},
    {"ImageTwice", {"model brusselator", "image256 A t+5 autoscale", "image256 A t+5 autoscale"}, {"model brusselator", "image256 A t+5 autoscale", "@28", "image256 A t+5 autoscale"}, {}, ScriptParser::Rejected},
    {"CommentsBlankLinesIndentation", {"  // a comment", "", "\t  ", "\tsize 20 10"}, {"  // a comment", "", "\t  ", "\tsize 20 10"}, {}, ScriptParser::Accepted},
    {"OldAnnotationsDropped", {"#ERR: stale", "  #ERR indented", "size 20 10"}, {"size 20 10"}, {}, ScriptParser::Accepted},
    {"CarriageReturnLineEnds", {"model brusselator\r", "modpar alpha 2\r", "image256 A t+5 autoscale tga\r"}, {"model brusselator\r", "modpar alpha 2\r", "image256 A t+5 autoscale tga\r"}, {}, ScriptParser::Accepted},
};
// clang-format on

class ScriptCaseTest : public scripttest::TempDirTest,
                       public testing::WithParamInterface<ScriptCase> {};

}  // namespace

// Each case: the rewritten script (annotations and their places) and the result.
TEST_P(ScriptCaseTest, RewritesScriptWithAnnotations) {
    const ScriptCase &c = GetParam();
    std::string path = PathOf("case.vna");
    std::string script = CompleteScript(c.Lines);
    WriteFile(path, script);
    std::string expected;
    for (const std::string &line : c.Top) expected += Expand(line);
    for (const std::string &line : c.Expected) expected += Expand(line);
    size_t own = 0;
    for (const std::string &line : c.Lines) own += line.size() + 1;
    expected += script.substr(own);  // the standard lines, unchanged
    ReaDifSimulation sim(4);
    int position = -1;
    EXPECT_EQ(sim.SetParametersFromFile(path.c_str(), position, 0), c.Result);
    EXPECT_EQ(ReadFile(path), expected);
}

INSTANTIATE_TEST_SUITE_P(Lines, ScriptCaseTest, testing::ValuesIn(ScriptCases),
                         [](const testing::TestParamInfo<ScriptCase> &row) {
                             return std::string(row.param.Name);
                         });

namespace {

class ScriptTest : public scripttest::TempDirTest {
protected:
    ScriptParser::Result Parse(const std::string &text, int randomize = 0) {
        WriteFile(Path(), text);
        Position = -1;
        return Sim.SetParametersFromFile(Path().c_str(), Position, randomize);
    }
    std::string Path() const { return PathOf("tex.vna"); }

    ReaDifSimulation Sim{4};
    int Position = -1;
};

// UTF-16 units of UTF-8 text, as a text widget holds it.
std::u16string Utf16(const std::string &text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = text[i];
        uint32_t code = c;
        int trail = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (trail > 0) code = c & (0x3F >> trail);
        for (int j = 1; j <= trail; ++j) code = (code << 6) | (text[i + j] & 0x3F);
        if (code >= 0x10000) {
            out += char16_t(0xD800 + ((code - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += char16_t(code);
        }
        i += trail + 1;
    }
    return out;
}

}  // namespace

TEST_F(ScriptTest, EmptyFileGetsEveryMissingLineAnnotation) {
    EXPECT_EQ(Parse(""), ScriptParser::Rejected);
    EXPECT_EQ(ReadFile(Path()),
              Annotation(30) + Annotation(34) + Annotation(35) + Annotation(36) + Annotation(37));
    // No faulty line: the caret goes just behind the annotations.
    EXPECT_EQ(Position, int(ReadFile(Path()).size()));
}

TEST_F(ScriptTest, AcceptedScriptSetsTheSimulation) {
    std::string script =
        "model gld1\nmodpar alpha 0.5 +0.01\nmodpar gamma -1\n"
        "reaction A 0.5\nreaction B 0.25\nreaction C 2\n"
        "diffusion A 0.1\ndiffusion B 0.2 -0.001\ndiffusion C 1\n"
        "init A 0.5 0.1\ninit B -1 0\ninit C 0 2\n"
        "size 31 17\niterations 1234\nrandseed 4321\ncolormap rgb 0 255 0 0 255 0\n"
        "image16M C 7<t+11 *3 -0.25 mosaic 100 50 tga\n";
    ASSERT_EQ(Parse(script), ScriptParser::Accepted);
    EXPECT_EQ(ReadFile(Path()), script);
    EXPECT_EQ(Sim.ComponentCount, 3);
    EXPECT_DOUBLE_EQ(Sim.GetReactionParameter("alpha"), 0.5);
    EXPECT_DOUBLE_EQ(Sim.ReactionParameters[26 + 36 * 0 + 11][1], double(0.01f));
    EXPECT_EQ(Sim.VaryParameters, 1);
    EXPECT_DOUBLE_EQ(Sim.GetReactionParameter("gamma"), -1.0);
    EXPECT_DOUBLE_EQ(Sim.GetReactionStrength('B'), 0.25);
    EXPECT_DOUBLE_EQ(Sim.GetDiffusionCoeff('B'), double(0.2f));
    EXPECT_DOUBLE_EQ(Sim.DiffusionCoeffVariation[1], double(-0.001f));
    EXPECT_DOUBLE_EQ(Sim.GetInitConcentration('B'), -1.0);
    EXPECT_DOUBLE_EQ(Sim.InitNoise[2], 2.0);
    EXPECT_EQ(Sim.Components[2]->GetSizeX(), 31);
    EXPECT_EQ(Sim.Components[2]->GetSizeY(), 17);
    EXPECT_EQ(Sim.EndTime, 1234);
    EXPECT_EQ(MainRandom.GetSeed(), 4321u);
    EXPECT_EQ(Sim.ImageComponent, 'C');
    EXPECT_EQ(Sim.ImageStart, 7);
    EXPECT_EQ(Sim.ImagePeriod, 11);
    EXPECT_DOUBLE_EQ(Sim.ImageScale, 3.0);
    EXPECT_DOUBLE_EQ(Sim.ImageOffset, -0.25);
    EXPECT_EQ(Sim.ImageFormat, 'T');
    EXPECT_EQ(Sim.TrueColor, 1);
    EXPECT_EQ(Sim.Mosaic, 1);
    EXPECT_EQ(Sim.TmpTileImage2D24.GetSizeX(), 100);
    EXPECT_EQ(Sim.TmpTileImage2D24.GetSizeY(), 50);
    EXPECT_STREQ(Sim.FileBaseName.GetString(), PathOf("tex").c_str());
}

TEST_F(ScriptTest, FileTypeWordInAnyCaseChoosesTheFormat) {
    const std::pair<std::string, char> words[] = {
        {"", 'B'}, {" bmp", 'B'}, {" TGA", 'T'}, {" png", 'P'}, {" PnG", 'P'}};
    for (const auto &[word, format] : words) {
        const std::string script =
            CompleteScript({"model brusselator", "image256 A t+10 autoscale" + word});
        ASSERT_EQ(Parse(script), ScriptParser::Accepted) << word;
        EXPECT_EQ(ReadFile(Path()), script) << word;
        EXPECT_EQ(Sim.ImageFormat, format) << word;
    }
}

TEST_F(ScriptTest, RandomizeIgnoresTheScriptSeed) {
    std::string script = CompleteScript({"randseed 77"});
    ASSERT_EQ(Parse(script, 0), ScriptParser::Accepted);
    EXPECT_EQ(MainRandom.GetSeed(), 77u);
    ASSERT_EQ(Parse(script, 1), ScriptParser::Accepted);
    EXPECT_NE(MainRandom.GetSeed(), 77u);
}

TEST_F(ScriptTest, CorrectedScriptLosesItsOldAnnotations) {
    ASSERT_EQ(Parse(CompleteScript({"size 20 20 x", "iterations 0"})), ScriptParser::Rejected);
    std::string annotated = ReadFile(Path());
    EXPECT_NE(annotated.find(Annotation(54)), std::string::npos);
    // The user fixes the two lines and leaves the annotations in place.
    std::string fixed = annotated;
    fixed.replace(fixed.find("size 20 20 x"), 12, "size 20 20");
    fixed.replace(fixed.find("iterations 0"), 12, "iterations 9");
    WriteFile(Path(), fixed);
    int position = 0;
    ASSERT_EQ(Sim.SetParametersFromFile(Path().c_str(), position, 0), ScriptParser::Accepted);
    EXPECT_EQ(ReadFile(Path()), CompleteScript({"size 20 20", "iterations 9"}));
}

struct PositionCase {
    const char *Name;
    std::string Script;
    std::string Expected;  // the text that starts at the error position
    int Language;
};

class ScriptPositionTest : public ScriptTest, public testing::WithParamInterface<PositionCase> {};

// The caret position counts one character per line break and per character the editor shows,
// so it lands exactly on the place where the check failed.
TEST_P(ScriptPositionTest, CaretLandsOnTheError) {
    const PositionCase &c = GetParam();
    EXPECT_EQ(GST.SetLanguage(c.Language), StringTable::Done);
    ASSERT_EQ(Parse(c.Script), ScriptParser::Rejected);
    // The editor holds a CR LF line end as one line break.
    std::string file = ReadFile(Path());
    for (size_t at; (at = file.find("\r\n")) != std::string::npos;) file.erase(at, 1);
    std::u16string text = Utf16(file);
    std::u16string expected = Utf16(c.Expected);
    ASSERT_LE(size_t(Position), text.size());
    EXPECT_EQ(text.substr(size_t(Position), expected.size()), expected);
}

// clang-format off
const PositionCase PositionCases[] = {
    {"TextAfterSize", CompleteScript({"size 20 20 junk"}), "junk\n", 0},
    {"SecondLineWithMissingItemsAbove", "model brusselator\nreaction A 0.5 9\n", "9\n", 0},
    {"RangeCheckAtLineEnd", CompleteScript({"// c", "", "iterations 0"}), "\nmodel", 0},
    {"UnknownKeywordAtItsStart", CompleteScript({"   colour gray"}), "colour gray", 0},
    {"CarriageReturnLines", "model brusselator\r\nsize 20 20 x\r\n", "x\n", 0},
    {"FrenchAnnotationsAbove", "model brusselator\nsize 20 20 x\n", "x\n", 1},
    {"AfterOldAnnotationDropped", "#ERR: old\nmodel brusselator\nmodel x\n", "x\n", 0},
    {"ColormapStopsAtFaultyNumber", CompleteScript({"colormap rgb 0 255 0.5 1 2 3"}), ".5 1 2", 0},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptPositionTest, testing::ValuesIn(PositionCases),
                         [](const testing::TestParamInfo<PositionCase> &row) {
                             return std::string(row.param.Name);
                         });

TEST_F(ScriptTest, LongCommentStaysOneComment) {
    std::string longComment = "//" + std::string(698, 'c');  // 700 characters
    std::string script = CompleteScript({longComment});
    // The language reads 499 characters at a time, but a comment is a comment to its line end:
    // the tail is neither split off nor taken for a keyword.
    ASSERT_EQ(Parse(script), ScriptParser::Accepted);
    EXPECT_EQ(ReadFile(Path()), script);
}

TEST_F(ScriptTest, ScriptOfHalfAMegabyteIsAnnotated) {
    // Larger than the rewrite used to have room for.
    std::string script;
    while (script.size() < 520000) script += "// " + std::string(96, 'k') + "\n";
    EXPECT_EQ(Parse(script), ScriptParser::Rejected);
    EXPECT_EQ(ReadFile(Path()), Annotation(30) + Annotation(34) + Annotation(35) + Annotation(36) +
                                    Annotation(37) + script);
}

TEST_F(ScriptTest, UnusableFilesGiveResult3AndStayUnchanged) {
    int position = 0;
    EXPECT_EQ(Sim.SetParametersFromFile(nullptr, position, 0), ScriptParser::FileError);
    EXPECT_EQ(Sim.SetParametersFromFile(PathOf("missing.vna").c_str(), position, 0),
              ScriptParser::FileError);
    EXPECT_EQ(Sim.SetParametersFromFile(Dir.string().c_str(), position, 0),
              ScriptParser::FileError);
    const char raw[] = "model brusselator\n\0\x01\xff garbage\n";
    std::string binary(raw, sizeof raw - 1);
    EXPECT_EQ(Parse(binary), ScriptParser::FileError);
    EXPECT_EQ(ReadFile(Path()), binary);
}

TEST_F(ScriptTest, RewriteKeepsPermissionsAndFollowsLinks) {
    namespace fs = std::filesystem;
    std::string script = CompleteScript({});
    WriteFile(Path(), script);
    fs::permissions(Path(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(Path(), PathOf("link.vna"));
    int position = 0;
    ASSERT_EQ(Sim.SetParametersFromFile(PathOf("link.vna").c_str(), position, 0),
              ScriptParser::Accepted);
    EXPECT_TRUE(fs::is_symlink(PathOf("link.vna")));
    EXPECT_EQ(fs::status(Path()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 2);
}

static std::string StepName(AtomicFileWriter::Step step) {
    static const char *const Names[] = {"None", "Create", "Write", "Sync", "Rename"};
    return Names[int(step)];
}

class ScriptWriteFailureTest : public ScriptTest,
                               public testing::WithParamInterface<AtomicFileWriter::Step> {
protected:
    void TearDown() override {
        AtomicFileWriter::FailStepForTesting(AtomicFileWriter::Step::None);
        ScriptTest::TearDown();
    }
};

// Whichever step of the rewrite fails, the user's script stays byte for byte and no
// temporary file is left behind.
TEST_P(ScriptWriteFailureTest, FailedRewriteLeavesScriptUnchanged) {
    std::string script = CompleteScript({"size 20 20 x"});
    WriteFile(Path(), script);
    AtomicFileWriter::FailStepForTesting(GetParam());
    int position = 0;
    EXPECT_EQ(Sim.SetParametersFromFile(Path().c_str(), position, 0), ScriptParser::FileError);
    EXPECT_EQ(ReadFile(Path()), script);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir),
                            std::filesystem::directory_iterator()),
              1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ScriptWriteFailureTest,
    testing::Values(AtomicFileWriter::Step::Create, AtomicFileWriter::Step::Write,
                    AtomicFileWriter::Step::Sync, AtomicFileWriter::Step::Rename),
    [](const testing::TestParamInfo<AtomicFileWriter::Step> &row) { return StepName(row.param); });

// A real failing write: the file-size limit makes the writes of the new text fail, even for
// root.
TEST_F(ScriptTest, WriteErrorOnDiskLeavesScriptUnchanged) {
    std::string script = CompleteScript({"size 20 20 x"});
    WriteFile(Path(), script);
    rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 16;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int position = 0;
    const ScriptParser::Result result = Sim.SetParametersFromFile(Path().c_str(), position, 0);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(result, ScriptParser::FileError);
    EXPECT_EQ(ReadFile(Path()), script);
}

TEST_F(ScriptTest, ReadOnlyFileOrDirectoryLeavesScriptUnchanged) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only files and directories";
    namespace fs = std::filesystem;
    std::string script = CompleteScript({"size 20 20 x"});
    WriteFile(Path(), script);
    fs::permissions(Path(), fs::perms::owner_read);
    int readOnlyFile = 0;
    EXPECT_EQ(Sim.SetParametersFromFile(Path().c_str(), readOnlyFile, 0), ScriptParser::FileError);
    EXPECT_EQ(ReadFile(Path()), script);
    fs::permissions(Path(), fs::perms::owner_read | fs::perms::owner_write);
    std::filesystem::permissions(
        Dir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    int position = 0;
    EXPECT_EQ(Sim.SetParametersFromFile(Path().c_str(), position, 0), ScriptParser::FileError);
    EXPECT_EQ(ReadFile(Path()), script);
}
