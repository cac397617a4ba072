#include <cstdlib>
#include <cstring>

#include "FrontEndTestSupport.h"
#include "frontend/ProgramPaths.h"

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

// An installed program: bin/ holds the program only, share/vorna the templates, and the
// settings go to the user's config folder. A working folder's new.tpl still comes first.
TEST_F(FrontEndTest, InstalledProgramFindsTemplatesInShareAndSettingsInConfig) {
    std::filesystem::create_directories(Dir / "bin");
    std::filesystem::create_directories(Dir / "share/vorna");
    frontendtest::WriteWhole(Dir / "share/vorna/exemple.tpl", "model schlogl\n");
    frontendtest::WriteWhole(Dir / "share/vorna/new.tpl", "model maginu\n");
    H->ProgramDir = (Dir / "bin").string();
    const char *oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg != nullptr ? oldXdg : "";
    setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
    const std::string settings = (Dir / "config/vorna/vorna.ini").string();
    H->Settings[settings]["Locale/language"] = "english";
    VornaMain(*H, nullptr);
    EXPECT_EQ(H->MenuName, "MAINMENU_EN");
    EXPECT_EQ(std::string(RootDirectory), (Dir / "share/vorna").string());

    ASSERT_TRUE(H->Choose(MenuCommand::ParametersExample));
    EXPECT_EQ(H->EditorText, "model schlogl\n");
    ASSERT_TRUE(H->Choose(MenuCommand::New));
    EXPECT_EQ(H->EditorText, "model maginu\n");
    Script("new.tpl", "model diffusion\n");
    ASSERT_TRUE(H->Choose(MenuCommand::New));
    EXPECT_EQ(H->EditorText, "model diffusion\n");

    ASSERT_TRUE(H->Choose(MenuCommand::French));
    H->Send(WindowMessage::Close);
    EXPECT_EQ(H->Settings[settings]["Locale/language"], "french");
    EXPECT_EQ(H->Settings.count(SettingsPath()), 0u);
    EXPECT_EQ(H->Settings.count((Dir / "share/vorna/vorna.ini").string()), 0u);
    if (oldXdg != nullptr) {
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

// Run from the build tree, the program's folder wins even when a share/vorna lies beside it.
TEST_F(FrontEndTest, TemplatesBesideTheProgramWinOverAnInstalledFolder) {
    std::filesystem::create_directories(Dir / "bin");
    std::filesystem::create_directories(Dir / "share/vorna");
    frontendtest::WriteWhole(Dir / "bin/exemple.tpl", "model schlogl\n");
    frontendtest::WriteWhole(Dir / "share/vorna/exemple.tpl", "model maginu\n");
    H->ProgramDir = (Dir / "bin").string();
    VornaMain(*H, nullptr);
    EXPECT_EQ(std::string(RootDirectory), (Dir / "bin").string());
    EXPECT_STREQ(GetSettingsPath(), (Dir / "bin/vorna.ini").c_str());
    EXPECT_EQ(InstalledTemplatePath("new.tpl"), nullptr);
}

TEST_F(FrontEndTest, RootFilePathJoinsFolderAndName) {
    std::strcpy(RootDirectory, "/opt/vorna");
    EXPECT_STREQ(GetRootFilePath("exemple.tpl"), "/opt/vorna/exemple.tpl");
    std::string longName(300, 'x');
    EXPECT_STREQ(GetRootFilePath(longName.c_str()), "");
}

}  // namespace
