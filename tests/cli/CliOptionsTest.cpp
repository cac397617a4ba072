#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "cli/CliOptions.h"

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
    {"SweepWithRounds", {"--vary=modpar beta 6,7", "-n2", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "--rounds"},
    {"SeedZero", {"--seed=0", "a.vna"}, CliOptions::Action::UsageError, "", false, false, false, 1, "seed '0'"},
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
    for (const char *word : {"--check", "--annotate", "--randomize", "--rounds", "--quiet",
                             "--threads", "--help", "--version", "130", "  4 "}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
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
