#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "cli/CliOptions.h"
#include "imageio/PngFile.h"

namespace {

struct OptionsCase {
    const char *Name;
    std::vector<std::string> Arguments;
    CliOptions::Action Action;
    std::string Script;
    bool Check, Randomize, Quiet;
    int Rounds;
    std::string Error;  // part of the error text
};

// clang-format off
const OptionsCase OptionsCases[] = {
    {"ScriptOnly", {"tex.vna"}, CliOptions::Action::Run, "tex.vna", false, false, false, 1, ""},
    {"AllLongOptions", {"--check", "--randomize", "--quiet", "--rounds", "3", "tex.vna"}, CliOptions::Action::Run, "tex.vna", true, true, true, 3, ""},
    {"ShortOptionsTogether", {"-crq", "-n5", "tex.vna"}, CliOptions::Action::Run, "tex.vna", true, true, true, 5, ""},
    {"OptionAfterScript", {"tex.vna", "--rounds=2"}, CliOptions::Action::Run, "tex.vna", false, false, false, 2, ""},
    {"DashDashEndsOptions", {"--", "-odd.vna"}, CliOptions::Action::Run, "-odd.vna", false, false, false, 1, ""},
    {"Help", {"--help"}, CliOptions::Action::Help, "", false, false, false, 1, ""},
    {"HelpWinsOverMissingScript", {"-h", "-q"}, CliOptions::Action::Help, "", false, false, true, 1, ""},
    {"Version", {"-V"}, CliOptions::Action::Version, "", false, false, false, 1, ""},
    {"NoScript", {"-q"}, CliOptions::Action::UsageError, "", false, false, true, 1, "no script"},
    {"TwoScripts", {"a.vna", "b.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "b.vna"},
    {"UnknownLongOption", {"--fast", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "--fast"},
    {"UnknownShortOption", {"-x", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "-x"},
    {"RoundsWithoutValue", {"a.vna", "--rounds"}, CliOptions::Action::UsageError, "", false, false, false, 1, "--rounds"},
    {"RoundsZero", {"--rounds=0", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "'0'"},
    {"RoundsNotANumber", {"--rounds=3x", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "'3x'"},
    {"ThreadsZero", {"--threads=0", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "threads '0'"},
    {"ThreadsTooMany", {"-t", "65", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "'65'"},
    {"Sweep", {"--vary", "modpar beta 6:8:3", "-r", "a.vna", "--vary=init A 3 0,1"}, CliOptions::Action::Sweep, "a.vna", false, true, false, 1, ""},
    {"ContactSheet", {"--contact-sheet", "a-sweep"}, CliOptions::Action::ContactSheet, "", false, false, false, 1, ""},
    {"ContactSheetWithScript", {"--contact-sheet=a-sweep", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "takes no script"},
    {"SweepOptionWithoutVary", {"--resume", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "--vary"},
    {"SweepSeedAsLargeAsAScriptSeed", {"--vary=modpar beta 6,7", "--seed=2147483647", "a.vna"}, CliOptions::Action::Sweep, "a.vna", false, false, false, 1, ""},
    {"SweepWithRounds", {"--vary=modpar beta 6,7", "-n2", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "--rounds"},
    {"SeedZero", {"--seed=0", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "seed '0'"},
    {"ScaleUnknown", {"--scale=all", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "scale 'all' (image or run)"},
    {"JsonFileWithCheck", {"--json-file=r.json", "-c", "a.vna"}, CliOptions::Action::UsageError, "", true, false, false, 1, "--check"},
};
// clang-format on

class CliOptionsCaseTest : public testing::TestWithParam<OptionsCase> {};

}  // namespace

TEST_P(CliOptionsCaseTest, ParsesCommandLine) {
    const OptionsCase &c = GetParam();
    std::vector<std::string> texts = {"/usr/bin/vorna-cli"};
    texts.insert(texts.end(), c.Arguments.begin(), c.Arguments.end());
    std::vector<char *> argv;
    for (std::string &text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    CliOptions options;
    EXPECT_EQ(options.Parse(int(texts.size()), argv.data()), c.Action);
    EXPECT_EQ(options.ProgramName, "vorna-cli");
    if (c.Action == CliOptions::Action::UsageError) {
        EXPECT_NE(options.ErrorText.find(c.Error), std::string::npos) << options.ErrorText;
        return;
    }
    EXPECT_EQ(options.ScriptPath, c.Script);
    EXPECT_EQ(options.CheckOnly, c.Check);
    EXPECT_EQ(options.Randomize, c.Randomize);
    EXPECT_EQ(options.Quiet, c.Quiet);
    EXPECT_EQ(options.Rounds, c.Rounds);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, CliOptionsCaseTest, testing::ValuesIn(OptionsCases),
                         [](const testing::TestParamInfo<OptionsCase> &row) {
                             return std::string(row.param.Name);
                         });

TEST(CliOptionsTest, HelpNamesEveryOptionAndExitCode) {
    std::string help = CliOptions().HelpText();
    for (const char *word :
         {"--check",        "--annotate", "--randomize", "--rounds",     "--quiet",     "--threads",
          "--help",         "--version",  "--out",       "--format",     "--seed",      "--json",
          "--no-overwrite", "--size",     "--height",    "--normal[=K]", "--normal-dx", "--upscale",
          "8192x8192",      "130",        "  4 "}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
    // Wrapped for an 80-column terminal.
    size_t start = 0;
    while (start < help.size()) {
        const size_t end = help.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, size_t(CliOptions::HelpWidth)) << help.substr(start, end - start);
        start = end + 1;
    }
}

TEST(CliOptionsTest, ThreadsTakesACountAndDefaultsToZero) {
    for (auto row : {std::pair<std::vector<std::string>, int>{{"a.vna"}, 0},
                     {{"--threads=3", "a.vna"}, 3},
                     {{"a.vna", "-t1"}, 1},
                     {{"-t", "64", "a.vna"}, 64}}) {
        std::vector<std::string> texts = {"vorna-cli"};
        texts.insert(texts.end(), row.first.begin(), row.first.end());
        std::vector<char *> argv;
        for (std::string &text : texts) argv.push_back(text.data());
        argv.push_back(nullptr);
        CliOptions options;
        ASSERT_EQ(options.Parse(int(texts.size()), argv.data()), CliOptions::Action::Run);
        EXPECT_EQ(options.Threads, row.second);
    }
}

TEST(CliOptionsTest, AnnotateChecksAndWritesCheckOnlyChecks) {
    for (auto row : {std::tuple<std::vector<std::string>, bool, bool>{{"a.vna"}, false, false},
                     {{"--check", "a.vna"}, true, false},
                     {{"--annotate", "a.vna"}, true, true},
                     {{"a.vna", "-a"}, true, true},
                     {{"-c", "--annotate", "a.vna"}, true, true}}) {
        std::vector<std::string> texts = {"vorna-cli"};
        texts.insert(texts.end(), std::get<0>(row).begin(), std::get<0>(row).end());
        std::vector<char *> argv;
        for (std::string &text : texts) argv.push_back(text.data());
        argv.push_back(nullptr);
        CliOptions options;
        ASSERT_EQ(options.Parse(int(texts.size()), argv.data()), CliOptions::Action::Run);
        EXPECT_EQ(options.CheckOnly, std::get<1>(row));
        EXPECT_EQ(options.Annotate, std::get<2>(row));
    }
}

namespace {

// argv of vorna-cli with these arguments, parsed.
CliOptions::Action ParseLine(std::vector<std::string> arguments, CliOptions &options) {
    arguments.insert(arguments.begin(), "vorna-cli");
    std::vector<char *> argv;
    for (std::string &text : arguments) argv.push_back(text.data());
    argv.push_back(nullptr);
    return options.Parse(int(arguments.size()), argv.data());
}

}  // namespace

TEST(CliOptionsTest, OutputOptionsTakeTheirValues) {
    CliOptions options;
    ASSERT_EQ(
        ParseLine({"-o", "out/dir", "-f", "TGA", "-s", "2147483647", "--json", "--no-overwrite",
                   "--size=700x8192", "--height", "--normal=2.5", "--upscale", "8", "a.vna"},
                  options),
        CliOptions::Action::Run)
        << options.ErrorText;
    EXPECT_EQ(options.OutDir, "out/dir");
    EXPECT_EQ(options.Images.Format, 'T');
    EXPECT_EQ(options.Seed, 2147483647u);
    EXPECT_TRUE(options.Json);
    EXPECT_TRUE(options.NoOverwrite);
    EXPECT_EQ(options.Images.SizeX, 700);
    EXPECT_EQ(options.Images.SizeY, 8192);
    EXPECT_TRUE(options.Images.Height);
    EXPECT_TRUE(options.Images.Normal);
    EXPECT_EQ(options.Images.NormalStrength, 2.5);
    EXPECT_FALSE(options.Images.NormalDirectX);
    EXPECT_EQ(options.Images.Upscale, 8);

    // Defaults, and the forms that stand for others.
    CliOptions plain;
    ASSERT_EQ(ParseLine({"--format=png", "--normal-dx", "--size", "10X10", "a.vna"}, plain),
              CliOptions::Action::Run);
    EXPECT_EQ(plain.Images.Format, 'P');
    EXPECT_TRUE(plain.Images.Normal);
    EXPECT_TRUE(plain.Images.NormalDirectX);
    EXPECT_EQ(plain.Images.NormalStrength, 1.0);
    EXPECT_EQ(plain.Images.SizeX, 10);
    EXPECT_EQ(plain.Images.Upscale, 1);
    EXPECT_EQ(plain.Seed, 0u);
    EXPECT_TRUE(plain.OutDir.empty());
}

TEST(CliOptionsTest, OutputOptionsRefuseBadValues) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-f", "jpg"}, "'jpg'"},
        {{"--format="}, "''"},
        {{"-o", ""}, "empty"},
        {{"-s", "0"}, "seed '0'"},
        {{"--seed=-3"}, "'-3'"},
        {{"--seed=4294967296"}, "'4294967296'"},
        // The seeds a randseed line holds, and no others.
        {{"--seed=2147483648"}, "invalid seed '2147483648' (a whole number from 1 to 2147483647"},
        {{"--seed=4294967295"}, "'4294967295'"},
        {{"--seed= 5"}, "' 5'"},
        {{"--size=9x10"}, "'9x10'"},
        {{"--size=10x8193"}, "'10x8193'"},
        {{"--size=100"}, "'100'"},
        {{"--size=100x"}, "'100x'"},
        {{"--size=x100"}, "'x100'"},
        {{"--size=100x100x1"}, "'100x100x1'"},
        {{"--normal=0"}, "strength '0'"},
        {{"--normal=100.5"}, "'100.5'"},
        {{"--normal=nan"}, "'nan'"},
        {{"--normal=2x"}, "'2x'"},
        {{"--upscale=9"}, "upscale factor '9'"},
        {{"--upscale=0"}, "'0'"},
        {{"--png-level=10"}, "PNG level '10' (a whole number from 0 to 9)"},
        {{"--png-level", "-1"}, "'-1'"},
        {{"--png-level=6x"}, "'6x'"},
        {{"--png-level="}, "''"},
        {{"--all-images"}, "belong to a sweep"},
        {{"--last", "--all-images", "--vary", "modpar beta 6,7"}, "contradict"},
        {{"-s", "5", "-r"}, "contradict"},
        {{"--json", "--check"}, "--json"},
        {{"--json", "-a"}, "--json"},
        {{"--json", "--emit-jobs", "--vary", "modpar beta 6,7"}, "--emit-jobs runs none"},
    };
    for (const auto &[arguments, error] : cases) {
        CliOptions options;
        std::vector<std::string> line = arguments;
        line.push_back("a.vna");
        EXPECT_EQ(ParseLine(line, options), CliOptions::Action::UsageError) << error;
        EXPECT_NE(options.ErrorText.find(error), std::string::npos) << options.ErrorText;
    }
}

TEST(CliOptionsTest, SweepRefusesTheOptionsItCannotHonourByName) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--no-overwrite"}, "--no-overwrite"},
        {{"-n", "2"}, "--rounds"},
        {{"-c"}, "--check"},
        {{"--annotate"}, "--annotate"},
    };
    for (const auto &[arguments, option] : cases) {
        CliOptions options;
        std::vector<std::string> line = arguments;
        line.insert(line.end(), {"--vary", "modpar beta 6,7", "a.vna"});
        EXPECT_EQ(ParseLine(line, options), CliOptions::Action::UsageError) << option;
        EXPECT_NE(options.ErrorText.find("does not take " + option), std::string::npos)
            << options.ErrorText;
    }
    // --movie TYPE: every variant writes NAME.TYPE.
    CliOptions movies;
    EXPECT_EQ(
        ParseLine({"--movie", "mp4", "--movie=webp", "--vary", "modpar beta 6,7", "a.vna"}, movies),
        CliOptions::Action::Sweep)
        << movies.ErrorText;
    EXPECT_EQ(movies.Movies, (std::vector<std::string>{"mp4", "webp"}));
    // --json reports a sweep variant by variant.
    CliOptions options;
    EXPECT_EQ(ParseLine({"--json", "--vary", "modpar beta 6,7", "a.vna"}, options),
              CliOptions::Action::Sweep)
        << options.ErrorText;
    EXPECT_TRUE(options.Json);
}

TEST(CliOptionsTest, ImageArgumentsParseBackToTheSameImageOptions) {
    const std::vector<std::string> cases[] = {
        {},
        {"-f", "TGA", "--size=700x8192", "--upscale", "3", "--height", "--normal=0.3"},
        {"--format=bmp", "--normal-dx"},
        {"-fpng", "--normal=2.5", "--normal-dx", "--scale=run"},
        {"--png-level=0", "--last"},
        {"--png-level", "9"},
        {"--upscale-to", "2048"},
        {"--upscale-to=300x200", "--height"},
    };
    for (const auto &arguments : cases) {
        CliOptions first;
        std::vector<std::string> line = arguments;
        line.push_back("a.vna");
        ASSERT_EQ(ParseLine(line, first), CliOptions::Action::Run) << first.ErrorText;
        std::vector<std::string> words = first.Images.ToArguments();
        if (arguments.empty()) {
            EXPECT_TRUE(words.empty());
        }
        words.push_back("b.vna");
        CliOptions again;
        ASSERT_EQ(ParseLine(words, again), CliOptions::Action::Run) << again.ErrorText;
        EXPECT_EQ(again.Images.Format, first.Images.Format);
        EXPECT_EQ(again.Images.SizeX, first.Images.SizeX);
        EXPECT_EQ(again.Images.SizeY, first.Images.SizeY);
        EXPECT_EQ(again.Images.Upscale, first.Images.Upscale);
        EXPECT_EQ(again.Images.UpscaleToX, first.Images.UpscaleToX);
        EXPECT_EQ(again.Images.UpscaleToY, first.Images.UpscaleToY);
        EXPECT_EQ(again.Images.Height, first.Images.Height);
        EXPECT_EQ(again.Images.Normal, first.Images.Normal);
        EXPECT_EQ(again.Images.NormalStrength, first.Images.NormalStrength);  // to the last bit
        EXPECT_EQ(again.Images.NormalDirectX, first.Images.NormalDirectX);
        EXPECT_EQ(again.Images.ScaleRun, first.Images.ScaleRun);
        EXPECT_EQ(again.Images.PngLevel, first.Images.PngLevel);
        EXPECT_EQ(again.Images.Last, first.Images.Last);
    }
}

TEST(CliOptionsTest, SweepVariantsWriteOnlyTheirLastImageUnlessAllAreAsked) {
    CliOptions plain;
    ASSERT_EQ(ParseLine({"a.vna"}, plain), CliOptions::Action::Run);
    EXPECT_FALSE(plain.Images.Last);
    EXPECT_EQ(plain.Images.PngLevel, PngFile::DefaultCompression);
    CliOptions sweep;
    ASSERT_EQ(ParseLine({"--vary", "modpar beta 6,7", "a.vna"}, sweep), CliOptions::Action::Sweep);
    EXPECT_TRUE(sweep.Images.Last);
    CliOptions all;
    ASSERT_EQ(ParseLine({"--all-images", "--vary", "modpar beta 6,7", "a.vna"}, all),
              CliOptions::Action::Sweep);
    EXPECT_FALSE(all.Images.Last);
}
