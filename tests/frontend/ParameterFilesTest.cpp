#include <sys/resource.h>

#include <csignal>

#include "FrontEndTestSupport.h"
#include "frontend/ParameterFiles.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MessageIds.h"

using frontendtest::FrontEndTest;
using frontendtest::ReadWhole;
using frontendtest::WriteWhole;

namespace {

class ParameterFiles : public FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        Start();
    }
};

TEST_F(ParameterFiles, LoadRefusesAFileWithAZeroByteAndTakesAnyOtherBytesWhole) {
    // Loading only the text before the zero byte would let a later save cut the file short.
    H->EditorText = "keep";
    WriteWhole(Dir / "zero.vna", std::string("model A\0tail", 12));
    EXPECT_EQ(LoadFile(WindowId::Editor, (Dir / "zero.vna").c_str()), FileFailed);
    EXPECT_EQ(H->EditorText, "keep");
    WriteWhole(Dir / "crlf.vna", "a\r\n\xe9\r\n");
    EXPECT_EQ(LoadFile(WindowId::Editor, (Dir / "crlf.vna").c_str()), FileDone);
    EXPECT_EQ(H->EditorText, "a\r\n\xe9\r\n");
    WriteWhole(Dir / "empty.vna", "");
    EXPECT_EQ(LoadFile(WindowId::Editor, (Dir / "empty.vna").c_str()), FileDone);
    EXPECT_EQ(H->EditorText, "");
}

TEST_F(ParameterFiles, LoadRefusesWhatIsNoScriptFileAndKeepsTheText) {
    H->EditorText = "keep";
    std::filesystem::create_directory(Dir / "folder.vna");
    EXPECT_EQ(LoadFile(WindowId::Editor, (Dir / "folder.vna").c_str()), FileFailed);
    EXPECT_EQ(LoadFile(WindowId::Editor, (Dir / "missing.vna").c_str()), FileFailed);
    {
        std::ofstream huge(Dir / "huge.vna", std::ios::binary);
        huge.seekp(MaxScriptFileBytes);
        huge.put('x');
    }
    EXPECT_EQ(LoadFile(WindowId::Editor, (Dir / "huge.vna").c_str()), FileFailed);
    WriteWhole(Dir / "fine.vna", "model schlogl\n");
    H->RefuseEditorText = true;
    EXPECT_EQ(LoadFile(WindowId::Editor, (Dir / "fine.vna").c_str()), FileFailed);
    EXPECT_EQ(H->EditorText, "keep");
}

TEST_F(ParameterFiles, SaveReplacesTheFileWholeAndKeepsLinksAndPermissions) {
    WriteWhole(Dir / "target.vna", "old text that is longer\n");
    std::filesystem::permissions(Dir / "target.vna", std::filesystem::perms(0640));
    std::filesystem::create_symlink(Dir / "target.vna", Dir / "link.vna");
    H->EditorText = "new\n";
    EXPECT_EQ(SaveFile(WindowId::Editor, (Dir / "link.vna").c_str()), FileDone);
    EXPECT_TRUE(std::filesystem::is_symlink(Dir / "link.vna"));
    EXPECT_EQ(ReadWhole(Dir / "target.vna"), "new\n");
    EXPECT_EQ(std::filesystem::status(Dir / "target.vna").permissions(),
              std::filesystem::perms(0640));
    H->EditorText = "";
    EXPECT_EQ(SaveFile(WindowId::Editor, (Dir / "empty.vna").c_str()), FileDone);
    EXPECT_TRUE(std::filesystem::exists(Dir / "empty.vna"));
    EXPECT_EQ(std::filesystem::file_size(Dir / "empty.vna"), 0u);
    // No temporary file is left beside the scripts.
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(Dir)) {
        files += entry.path().filename().string().find(".vna.") != std::string::npos;
    }
    EXPECT_EQ(files, 0);
}

TEST_F(ParameterFiles, FailedWriteLeavesTheOldScriptWhole) {
    WriteWhole(Dir / "spots.vna", "model schlogl\n");
    H->EditorText = std::string(10000, 'x');
    // A file size limit makes the write fail, as a full disk would.
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 100;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const FileResult result = SaveFile(WindowId::Editor, (Dir / "spots.vna").c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(result, FileFailed);
    EXPECT_EQ(ReadWhole(Dir / "spots.vna"), "model schlogl\n");
    std::filesystem::create_directory(Dir / "folder.vna");
    EXPECT_EQ(SaveFile(WindowId::Editor, (Dir / "folder.vna").c_str()), FileFailed);
    EXPECT_EQ(SaveFile(WindowId::Editor, (Dir / "no/such/folder.vna").c_str()), FileFailed);
}

TEST_F(ParameterFiles, OpenLoadsTheChosenFileAndNamesTheWindow) {
    WriteWhole(Dir / "spots.vna", "model schlogl\n");
    H->DialogAnswers.push_back((Dir / "spots.vna").string());
    EXPECT_EQ(DoFileOpenSave(WindowId::Main, 0), FileDone);
    EXPECT_EQ(H->EditorText, "model schlogl\n");
    EXPECT_STREQ(CurParamFileName, (Dir / "spots.vna").c_str());
    EXPECT_EQ(H->Title, "Vorna spots.vna");
    EXPECT_EQ(H->DialogCalls.back().rfind("open " + std::string(GST.Get(25)) + "|*.vna|.|vna|", 0),
              0u);
}

// The box says why; the editor keeps its text but not the refused file's name, so that a later
// save cannot put that text over the file.
TEST_F(ParameterFiles, OpenOfUnloadableFileShowsTheCauseAndForgetsTheName) {
    std::filesystem::create_directory(Dir / "folder.vna");
    H->EditorText = "keep";
    H->DialogAnswers.push_back((Dir / "folder.vna").string());
    EXPECT_EQ(DoFileOpenSave(WindowId::Main, 0), FileFailed);
    ASSERT_EQ(H->Boxes.size(), 1u);
    FileFault fault;
    fault.Error = FileFault::NotRegular;
    EXPECT_EQ(H->Boxes[0].Text, FaultReport(GST.Get(18), (Dir / "folder.vna").c_str(), fault));
    EXPECT_EQ(H->Title, GST.Get(MsgTitleNewScript));
    EXPECT_EQ(H->EditorText, "keep");
    EXPECT_STREQ(CurParamFileName, "");
}

TEST_F(ParameterFiles, CancelledDialogChangesNothing) {
    EXPECT_EQ(DoFileOpenSave(WindowId::Main, 1), FileFailed);
    EXPECT_TRUE(H->Boxes.empty());
    EXPECT_STREQ(CurParamFileName, "");
}

TEST_F(ParameterFiles, ColorMapTestShowsTheMapOverTheEditor) {
    H->EditorText = "model schlogl\n   colormap gray\nsize 10 10\n";
    H->SelectionStart = H->SelectionEnd = 3;
    ASSERT_TRUE(H->Choose(MenuCommand::TestColorMap));
    EXPECT_EQ(CheckColorMapFlag, 1);
    char title[400];
    std::snprintf(title, sizeof title, GST.Get(2), "gray");
    EXPECT_EQ(H->Title, title);
    ASSERT_FALSE(H->Blits.empty());
    EXPECT_EQ(H->Blits.back().Target, WindowId::Editor);
    EXPECT_EQ(H->Blits.back().X, 0);
    EXPECT_EQ(H->Blits.back().Width, H->EditorWidth);
    EXPECT_EQ(H->Blits.back().Height, H->EditorHeight);
    EXPECT_TRUE(H->EditorReadOnly);
    EXPECT_TRUE(H->MouseCaptured);
    EXPECT_FALSE(H->EditorCaretVisible);
    // The release of the key that chose the item leaves the map shown; the next key pressed
    // restores title, editor and caret.
    H->Send(WindowMessage::KeyUp, 13);
    EXPECT_EQ(CheckColorMapFlag, 1);
    H->Send(WindowMessage::KeyDown, 'A');
    EXPECT_EQ(CheckColorMapFlag, 0);
    EXPECT_EQ(H->Title, CurWindowTitle);
    EXPECT_FALSE(H->EditorReadOnly);
    EXPECT_FALSE(H->MouseCaptured);
    EXPECT_TRUE(H->EditorCaretVisible);
    EXPECT_EQ(H->SelectionStart, 3);
    EXPECT_EQ(H->Focus, WindowId::Editor);
}

TEST_F(ParameterFiles, WrongColorMapPutsTheCaretWhereReadingStopped) {
    H->EditorText = "model schlogl\ncolormap grey\n";
    EXPECT_EQ(CheckColorMap(WindowId::Main, WindowId::Editor), FileFailed);
    ASSERT_EQ(H->Boxes.size(), 1u);
    EXPECT_EQ(H->Boxes[0].Caption, GST.Get(22));
    EXPECT_FALSE(H->Boxes[0].Text.empty());
    // Reading stopped on the colour-space word.
    EXPECT_EQ(H->SelectionStart, static_cast<int>(std::string("model schlogl\ncolormap ").size()));
    EXPECT_EQ(H->EditorText, "model schlogl\ncolormap grey\n");
    EXPECT_TRUE(H->Blits.empty());
}

TEST_F(ParameterFiles, ColorMapTestNeedsALineStartingWithTheKeyword) {
    const char *texts[] = {"", "model schlogl\n", "image colormap gray\n", "colormapgray\n"};
    for (const char *text : texts) {
        H->EditorText = text;
        EXPECT_EQ(CheckColorMap(WindowId::Main, WindowId::Editor), FileFailed) << text;
    }
    EXPECT_TRUE(H->Boxes.empty());
    EXPECT_TRUE(H->Blits.empty());
}

}  // namespace
