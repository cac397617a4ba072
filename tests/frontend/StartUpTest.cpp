#include <cstring>

#include "FrontEndTestSupport.h"

using frontendtest::FrontEndTest;

namespace {

const std::string LongPath(300, 'a');

struct LanguageCase {
    const char *Name;
    const char *Setting;  // null: no settings file
    int Language;
    const char *Menu;
};

class StartUpLanguage : public FrontEndTest, public testing::WithParamInterface<LanguageCase> {};

TEST_P(StartUpLanguage, SettingChoosesLanguageAndMenu) {
    Start(nullptr, GetParam().Setting);
    EXPECT_EQ(GST.GetCurrentLanguage(), GetParam().Language);
    EXPECT_EQ(H->MenuName, GetParam().Menu);
    EXPECT_EQ(H->Title, "Vorna 0.4b");
    // The preview options are checked: Normal, refresh 1/1, counter.
    EXPECT_TRUE(H->Item(MenuBar::Texture, 11).Checked);
    EXPECT_TRUE(H->Item(MenuBar::Texture, 15).Checked);
    EXPECT_FALSE(H->Item(MenuBar::Texture, 20).Checked);
    EXPECT_TRUE(H->Item(MenuBar::Texture, 22).Checked);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, StartUpLanguage,
    testing::Values(LanguageCase{"Missing", nullptr, 1, "MAINMENU_FR"},
                    LanguageCase{"French", "french", 1, "MAINMENU_FR"},
                    LanguageCase{"CapitalFrench", "French", 0, "MAINMENU_EN"},
                    LanguageCase{"English", "english", 0, "MAINMENU_EN"},
                    LanguageCase{"Garbage", "\x01\xff garbage=", 0, "MAINMENU_EN"},
                    LanguageCase{"FrenchAndMore", "frenchfries", 0, "MAINMENU_EN"}),
    [](const testing::TestParamInfo<LanguageCase> &p) { return p.param.Name; });

TEST_F(FrontEndTest, SwitchToEnglishIsWrittenAtExitAndReadAtNextStart) {
    Start(nullptr, nullptr);
    ASSERT_EQ(GST.GetCurrentLanguage(), 1);
    ASSERT_TRUE(H->Choose(MenuCommand::English));
    EXPECT_TRUE(H->Settings[SettingsPath()].empty());
    ASSERT_TRUE(H->Choose(MenuCommand::Quit));
    H->RunMessageLoop();
    EXPECT_TRUE(H->Destroyed);
    EXPECT_TRUE(H->Quit);
    EXPECT_EQ(H->Settings[SettingsPath()]["Locale/language"], "english");

    auto settings = H->Settings;
    ResetFrontEndGlobals();
    H = std::make_unique<HeadlessPlatform>();
    H->ProgramDir = Dir.string();
    H->Settings = settings;
    VornaMain(*H, nullptr);
    EXPECT_EQ(GST.GetCurrentLanguage(), 0);
    EXPECT_EQ(H->MenuName, "MAINMENU_EN");
}

TEST_F(FrontEndTest, WithoutProgramFolderTheWorkingFolderHoldsTheSettings) {
    H->ProgramDir = "";
    Start(nullptr, nullptr);
    EXPECT_EQ(std::string(RootDirectory), Dir.string());
    H->Send(WindowMessage::Close);
    EXPECT_EQ(H->Settings[SettingsPath()]["Locale/language"], "french");
}

struct CommandLineCase {
    const char *Name;
    const char *Argument;
    const char *Expected;
};

class StartUpCommandLine : public FrontEndTest,
                           public testing::WithParamInterface<CommandLineCase> {};

TEST_P(StartUpCommandLine, OnePairOfQuotesIsRemoved) {
    SetScriptFromCommandLine(GetParam().Argument);
    EXPECT_STREQ(CurParamFileName, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, StartUpCommandLine,
    testing::Values(CommandLineCase{"Quoted", "\"/tmp/a b.vna\"", "/tmp/a b.vna"},
                    CommandLineCase{"Plain", "/tmp/spots.vna", "/tmp/spots.vna"},
                    CommandLineCase{"OpeningQuoteOnly", "\"x.vna", "\"x.vna"},
                    CommandLineCase{"OnlyQuotes", "\"\"", ""}, CommandLineCase{"Null", nullptr, ""},
                    CommandLineCase{"TooLong", LongPath.c_str(), ""}),
    [](const testing::TestParamInfo<CommandLineCase> &p) { return p.param.Name; });

TEST_F(FrontEndTest, ScriptOfCommandLineIsLoadedAndNamesTheWindow) {
    Script("spots.vna", "model schlogl\n");
    Start((Dir / "spots.vna").c_str());
    EXPECT_EQ(H->EditorText, "model schlogl\n");
    EXPECT_EQ(H->Title, "Vorna spots.vna");
    EXPECT_STREQ(CurWindowTitle, "Vorna spots.vna");
}

TEST_F(FrontEndTest, UnreadableScriptOfCommandLineLeavesEditorEmpty) {
    Start((Dir / "missing.vna").c_str());
    EXPECT_EQ(H->EditorText, "");
    EXPECT_EQ(H->Title, "Vorna 0.4b");
}

TEST_F(FrontEndTest, RootFilePathJoinsFolderAndName) {
    std::strcpy(RootDirectory, "/opt/vorna");
    EXPECT_STREQ(GetRootFilePath("exemple.tpl"), "/opt/vorna/exemple.tpl");
    std::string longName(300, 'x');
    EXPECT_STREQ(GetRootFilePath(longName.c_str()), "");
}

}  // namespace
