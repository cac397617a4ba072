#include <sys/stat.h>

#include "FrontEndTestSupport.h"
#include "toolkit/FileCheck.h"

using frontendtest::FrontEndTest;
using frontendtest::ReadWhole;
using frontendtest::WriteWhole;

namespace {

// Positions of the preview options in the Texture popup.
constexpr int ModeItem = 10;
constexpr int RateItem = 15;

TEST_F(FrontEndTest, NewLoadsTemplateOfWorkingFolderAndForgetsTheFile) {
    Script("spots.vna", "model schlogl\n");
    Script("new.tpl", "model diffusion\n");
    Start((Dir / "spots.vna").c_str());
    ASSERT_TRUE(H->Choose(MenuCommand::New));
    EXPECT_EQ(H->EditorText, "model diffusion\n");
    EXPECT_STREQ(CurParamFileName, "");
    EXPECT_EQ(H->Title, GST.Get(1));
}

TEST_F(FrontEndTest, NewWithoutTemplateEmptiesEditorAndSaveAsksForAName) {
    Script("spots.vna", "model schlogl\n");
    Start((Dir / "spots.vna").c_str());
    ASSERT_TRUE(H->Choose(MenuCommand::New));
    EXPECT_EQ(H->EditorText, "");
    EXPECT_EQ(H->Title, GST.Get(1));
    H->EditorText = "model maginu\n";
    H->DialogAnswers.push_back((Dir / "fresh.vna").string());
    ASSERT_TRUE(H->Choose(MenuCommand::Save));
    ASSERT_EQ(H->DialogCalls.size(), 1u);
    EXPECT_EQ(H->DialogCalls[0].rfind("save ", 0), 0u);
    EXPECT_NE(H->DialogCalls[0].find("|*.vna|.|vna|"), std::string::npos);
    EXPECT_EQ(ReadWhole(Dir / "fresh.vna"), "model maginu\n");
    EXPECT_EQ(H->Title, "Vorna fresh.vna");
}

TEST_F(FrontEndTest, SaveWritesTheEditorToTheCurrentFile) {
    Script("spots.vna", "model schlogl\n");
    Start((Dir / "spots.vna").c_str());
    H->EditorText = "model gld2\n";
    ASSERT_TRUE(H->Choose(MenuCommand::Save));
    EXPECT_EQ(ReadWhole(Dir / "spots.vna"), "model gld2\n");
    EXPECT_TRUE(H->Boxes.empty());
    EXPECT_TRUE(H->DialogCalls.empty());
    // Save as: the dialog starts from the current name; the new file becomes the current one.
    H->DialogAnswers.push_back((Dir / "copy.vna").string());
    ASSERT_TRUE(H->Choose(MenuCommand::SaveAs));
    ASSERT_EQ(H->DialogCalls.size(), 1u);
    EXPECT_NE(H->DialogCalls[0].find("|" + (Dir / "spots.vna").string()), std::string::npos);
    EXPECT_EQ(ReadWhole(Dir / "copy.vna"), "model gld2\n");
    EXPECT_STREQ(CurParamFileName, (Dir / "copy.vna").c_str());
    EXPECT_EQ(H->Title, "Vorna copy.vna");
}

TEST_F(FrontEndTest, SaveIntoReadOnlyFolderShowsBoxAndKeepsTheOldFile) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    std::filesystem::create_directory(Dir / "locked");
    Script("locked/spots.vna", "model schlogl\n");
    Start((Dir / "locked/spots.vna").c_str());
    chmod((Dir / "locked").c_str(), 0555);
    H->EditorText = "model gld2\n";
    ASSERT_TRUE(H->Choose(MenuCommand::Save));
    chmod((Dir / "locked").c_str(), 0755);
    ASSERT_EQ(H->Boxes.size(), 1u);
    FileFault denied;
    denied.Error = EACCES;
    EXPECT_EQ(H->Boxes[0].Text,
              FaultReport(GST.Get(17), (Dir / "locked/spots.vna").c_str(), denied));
    EXPECT_EQ(H->Boxes[0].Caption, GST.Get(6));
    EXPECT_EQ(ReadWhole(Dir / "locked/spots.vna"), "model schlogl\n");
}

TEST_F(FrontEndTest, EditCommandsGoToTheEditor) {
    Start();
    H->Choose(MenuCommand::Undo);
    H->Choose(MenuCommand::Cut);
    H->Choose(MenuCommand::Copy);
    H->Choose(MenuCommand::Paste);
    EXPECT_EQ(H->EditorCalls, (std::vector<std::string>{"undo", "cut", "copy", "paste"}));
}

TEST_F(FrontEndTest, AboutShowsItsBoxAndChangesNothingElse) {
    Script("spots.vna", "model schlogl\n");
    Start((Dir / "spots.vna").c_str());
    std::string title = H->Title;
    ASSERT_TRUE(H->Choose(MenuCommand::About));
    ASSERT_EQ(H->Boxes.size(), 1u);
    EXPECT_EQ(H->Boxes[0].Text, std::string(GST.Get(9)) + "\n\nVersion " VORNA_VERSION);
    EXPECT_EQ(H->Boxes[0].Caption, GST.Get(4));
    EXPECT_EQ(H->Boxes[0].Style, Platform::BoxIconInformation);
    EXPECT_EQ(H->EditorText, "model schlogl\n");
    EXPECT_EQ(H->Title, title);
    EXPECT_TRUE(H->EditorCalls.empty());
}

TEST_F(FrontEndTest, ParametersExampleComesFromTheProgramFolder) {
    Script("spots.vna", "model schlogl\n");
    Start((Dir / "spots.vna").c_str());
    // Missing: box 20, nothing changes.
    ASSERT_TRUE(H->Choose(MenuCommand::ParametersExample));
    ASSERT_EQ(H->Boxes.size(), 1u);
    FileFault missing;
    missing.Error = ENOENT;
    EXPECT_EQ(H->Boxes[0].Text, FaultReport(GST.Get(20), (Dir / "exemple.tpl").c_str(), missing));
    EXPECT_EQ(H->EditorText, "model schlogl\n");
    EXPECT_STREQ(CurParamFileName, (Dir / "spots.vna").c_str());
    // Present: loaded, title message 3, no current file.
    Script("exemple.tpl", "model brusselator\n");
    ASSERT_TRUE(H->Choose(MenuCommand::ParametersExample));
    EXPECT_EQ(H->EditorText, "model brusselator\n");
    EXPECT_EQ(H->Title, GST.Get(3));
    EXPECT_STREQ(CurParamFileName, "");
}

TEST_F(FrontEndTest, LanguageSwitchKeepsPreviewCheckMarks) {
    Start();
    H->Choose(MenuCommand::PreviewTile);
    H->Choose(MenuCommand::Refresh1 + 3);
    H->Choose(MenuCommand::Colors16M);
    H->Choose(MenuCommand::ShowColorMap);
    H->Choose(MenuCommand::ShowCounter);
    std::string title = H->Title;
    ASSERT_TRUE(H->Choose(MenuCommand::French));
    EXPECT_EQ(H->MenuName, "MAINMENU_FR");
    EXPECT_EQ(GST.GetCurrentLanguage(), 1);
    EXPECT_EQ(H->Title, title);
    for (int item = ModeItem; item <= 22; ++item) {
        bool expected = item == ModeItem + 2 || item == RateItem + 3 || item == 20 || item == 21;
        EXPECT_EQ(H->Item(MenuBar::Texture, item).Checked, expected) << "item " << item;
    }
    EXPECT_TRUE(H->FindItem(MenuCommand::French)->Checked);
    // Choosing the language in use changes nothing.
    int draws = H->MenuBarDraws;
    H->Choose(MenuCommand::French);
    EXPECT_EQ(H->MenuBarDraws, draws);
}

TEST_F(FrontEndTest, PreviewOptionsMoveTheirCheckMarks) {
    Start();
    H->Choose(MenuCommand::PreviewAlbum);
    EXPECT_EQ(DisplayMode, 3);
    EXPECT_FALSE(H->Item(MenuBar::Texture, ModeItem + 1).Checked);
    EXPECT_TRUE(H->Item(MenuBar::Texture, ModeItem + 3).Checked);
    H->Choose(MenuCommand::Refresh1000);
    EXPECT_EQ(DisplayRefreshRate, 1000);
    EXPECT_FALSE(H->Item(MenuBar::Texture, RateItem).Checked);
    EXPECT_TRUE(H->Item(MenuBar::Texture, RateItem + 4).Checked);
    H->Choose(MenuCommand::Colors16M);
    EXPECT_EQ(DisplayColors16M, 1);
    EXPECT_TRUE(H->Item(MenuBar::Texture, 20).Checked);
    H->Choose(MenuCommand::Colors16M);
    EXPECT_FALSE(H->Item(MenuBar::Texture, 20).Checked);
    H->Choose(MenuCommand::ShowCounter);
    EXPECT_EQ(DisplayCounter, 0);
    EXPECT_FALSE(H->Item(MenuBar::Texture, 22).Checked);
}

TEST_F(FrontEndTest, LeavingTileRepaintsTheEditorButInactiveDoesNot) {
    Start();
    H->Choose(MenuCommand::PreviewTile);
    int before = H->EditorInvalidations;
    H->Choose(MenuCommand::PreviewInactive);
    EXPECT_EQ(H->EditorInvalidations, before);
    H->Choose(MenuCommand::PreviewTile);
    H->Choose(MenuCommand::PreviewNormal);
    EXPECT_EQ(H->EditorInvalidations, before + 1);
    H->Choose(MenuCommand::PreviewTile);
    H->Choose(MenuCommand::PreviewAlbum);
    EXPECT_EQ(H->EditorInvalidations, before + 2);
}

TEST_F(FrontEndTest, IdleMenuHasRunCommandsOnlyAndGraysPauseBreakCapture) {
    Start();
    EXPECT_FALSE(H->Choose(MenuCommand::Pause));
    EXPECT_FALSE(H->Choose(MenuCommand::Break));
    EXPECT_FALSE(H->Choose(MenuCommand::CaptureBMP));
    EXPECT_TRUE(H->FindItem(MenuCommand::Run)->Enabled);
}

TEST_F(FrontEndTest, QuitClosesTheWindowAndEndsTheLoop) {
    Start();
    ASSERT_TRUE(H->Choose(MenuCommand::Quit));
    EXPECT_FALSE(H->Destroyed);  // the close request is posted
    EXPECT_EQ(H->RunMessageLoop(), 0);
    EXPECT_TRUE(H->Destroyed);
    EXPECT_EQ(H->Settings[SettingsPath()]["Locale/language"], "english");
}

TEST_F(FrontEndTest, SizeMovesTheEditorUnlessMinimized) {
    Start();
    H->Send(WindowMessage::Size, 0, 321u | 123u << 16);
    EXPECT_EQ(H->EditorWidth, 321);
    EXPECT_EQ(H->EditorHeight, 123);
    H->Send(WindowMessage::Size, WindowMessage::SizeMinimized, 0);
    EXPECT_EQ(H->EditorWidth, 321);
}

}  // namespace
