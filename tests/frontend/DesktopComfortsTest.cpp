// The desktop comforts of the front end: the question before unsaved edits are lost, the
// modified mark, dropped scripts, Save as into a folder that does not exist, and the seed a
// stopped loop leaves in the script.
#include <sys/stat.h>

#include <tuple>

#include "FrontEndTestSupport.h"
#include "frontend/DesktopTexts.h"
#include "frontend/LoopSeed.h"
#include "rdsimul/ScriptParser.h"
#include "toolkit/FileCheck.h"

using frontendtest::FrontEndTest;
using frontendtest::ReadWhole;

namespace {

enum class Action { New, Open, Quit, Close, Drop };
enum class Answer { Save, Discard, Cancel, SaveFails };

class UnsavedEdits : public FrontEndTest,
                     public testing::WithParamInterface<std::tuple<Action, Answer>> {};

// Edits to a.vna meet the question before each action that would lose them; each answer does
// what it says, and a save that fails keeps the edits and cancels the action.
TEST_P(UnsavedEdits, EachAnswerDoesWhatItSays) {
    const auto [action, answer] = GetParam();
    const std::filesystem::path a = Script("a.vna", "model schlogl\n");
    const std::filesystem::path b = Script("b.vna", "model brusselator\n");
    Start(a.c_str());
    H->Type("model gray-scott\n");
    EXPECT_EQ(H->Title, "Vorna a.vna*");
    if (answer == Answer::SaveFails) {
        // The file became a folder: the save is refused.
        std::filesystem::remove(a);
        std::filesystem::create_directory(a);
    }
    H->BoxAnswers.push_back(answer == Answer::Discard  ? Platform::AnswerDiscard
                            : answer == Answer::Cancel ? Platform::AnswerCancel
                                                       : Platform::AnswerSave);
    H->DialogAnswers.push_back(b.string());
    switch (action) {
        case Action::New:
            ASSERT_TRUE(H->Choose(MenuCommand::New));
            break;
        case Action::Open:
            ASSERT_TRUE(H->Choose(MenuCommand::Open));
            break;
        case Action::Quit:
            ASSERT_TRUE(H->Choose(MenuCommand::Quit));
            H->PumpMessages();
            break;
        case Action::Close:
            H->Send(WindowMessage::Close);
            break;
        case Action::Drop:
            H->Drop(b.string());
            break;
    }
    ASSERT_GE(H->Boxes.size(), 1u);
    EXPECT_EQ(H->Boxes[0].Text, GetDesktopText(DesktopText::UnsavedAsk));
    EXPECT_EQ(H->Boxes[0].Style & 0xF, Platform::BoxSaveDiscardCancel);
    const bool done = answer == Answer::Save || answer == Answer::Discard;
    if (answer != Answer::SaveFails) {
        EXPECT_EQ(ReadWhole(a), answer == Answer::Save ? "model gray-scott\n" : "model schlogl\n");
    }
    EXPECT_EQ(H->Boxes.size(), answer == Answer::SaveFails ? 2u : 1u);
    const bool closes = action == Action::Quit || action == Action::Close;
    EXPECT_EQ(H->Destroyed, closes && done);
    if (!done) {
        EXPECT_EQ(H->EditorText, "model gray-scott\n");
        EXPECT_EQ(H->Title, "Vorna a.vna*");
        EXPECT_EQ(H->DialogAnswers.size(), 1u);
    } else if (!closes) {
        EXPECT_EQ(H->EditorText, action == Action::New ? "" : "model brusselator\n");
        EXPECT_EQ(H->Title.back() == '*', false) << H->Title;
    }
}

INSTANTIATE_TEST_SUITE_P(ActionsAndAnswers, UnsavedEdits,
                         testing::Combine(testing::Values(Action::New, Action::Open, Action::Quit,
                                                          Action::Close, Action::Drop),
                                          testing::Values(Answer::Save, Answer::Discard,
                                                          Answer::Cancel, Answer::SaveFails)));

TEST_F(FrontEndTest, ModifiedMarkGoesWithSaveAndNoQuestionWithoutEdits) {
    const std::filesystem::path a = Script("a.vna", "model schlogl\n");
    Start(a.c_str());
    EXPECT_EQ(H->Title, "Vorna a.vna");
    H->Type("model brusselator\n");
    EXPECT_EQ(H->Title, "Vorna a.vna*");
    ASSERT_TRUE(H->Choose(MenuCommand::Save));
    EXPECT_EQ(H->Title, "Vorna a.vna");
    EXPECT_EQ(ReadWhole(a), "model brusselator\n");
    // Nothing left to lose: New asks nothing.
    ASSERT_TRUE(H->Choose(MenuCommand::New));
    EXPECT_TRUE(H->Boxes.empty());
    EXPECT_EQ(H->EditorText, "");
}

TEST_F(FrontEndTest, DropDuringARunOrWithoutAFileChangesNothing) {
    const std::filesystem::path b = Script("b.vna", "model brusselator\n");
    Start();
    H->Type("model schlogl\n");
    H->Drop("");
    RunFlag = 1;
    H->Drop(b.string());
    RunFlag = 0;
    EXPECT_TRUE(H->Boxes.empty());
    EXPECT_EQ(H->EditorText, "model schlogl\n");
}

// Save as into a folder that does not exist (or is a file) is refused before anything is
// written; the script keeps its name and its edits.
TEST_F(FrontEndTest, SaveAsIntoAMissingFolderIsRefused) {
    const std::filesystem::path a = Script("a.vna", "model schlogl\n");
    Script("notes.txt", "not a folder\n");
    Start(a.c_str());
    H->Type("model brusselator\n");
    const struct {
        const char *Name;
        int Error;
    } cases[] = {{"missing/b.vna", ENOENT}, {"notes.txt/b.vna", ENOTDIR}};
    for (const auto &c : cases) {
        H->Boxes.clear();
        H->DialogAnswers.push_back((Dir / c.Name).string());
        ASSERT_TRUE(H->Choose(MenuCommand::SaveAs));
        FileFault fault;
        fault.Error = c.Error;
        ASSERT_EQ(H->Boxes.size(), 1u) << c.Name;
        EXPECT_EQ(H->Boxes[0].Text, FaultReport(GetDesktopText(DesktopText::FolderMissing),
                                                (Dir / c.Name).c_str(), fault));
        EXPECT_FALSE(std::filesystem::exists(Dir / c.Name));
        EXPECT_STREQ(CurParamFileName, a.c_str());
        EXPECT_EQ(H->Title, "Vorna a.vna*");
    }
    EXPECT_EQ(ReadWhole(a), "model schlogl\n");
}

TEST(LoopSeedLine, TheLastSeedLineTakesTheSeedOrOneIsAdded) {
    const struct {
        const char *Script;
        const char *Kept;
    } cases[] = {
        {"size 10 10\nrandseed 77\niterations 5\n", "size 10 10\nrandseed 123\niterations 5\n"},
        {"  randseed\t0  \r\nsize 1 1\r\n", "  randseed 123\r\nsize 1 1\r\n"},
        {"randseed 0\nrandseed 9\n", "randseed 0\nrandseed 123\n"},
        {"\xEF\xBB\xBFrandseed 4\n", "\xEF\xBB\xBFrandseed 123\n"},
        // Not seed lines: another word, a comment.
        {"randseeds 4\n// randseed 5\n", "randseeds 4\n// randseed 5\nrandseed 123\n"},
        {"size 1 1\r\niterations 3", "size 1 1\r\niterations 3\r\nrandseed 123\r\n"},
        {"", "randseed 123\n"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(WithSeedLine(c.Script, 123), c.Kept) << c.Script;
    }
}

// The loop's seeds run on through the range a randseed line holds, never to 0 (the clock).
TEST(LoopSeedLine, NextSeedIsOneTheSeedLineHolds) {
    EXPECT_EQ(NextLoopSeed(41), 42u);
    EXPECT_EQ(NextLoopSeed(99999999), 100000000u);
    EXPECT_EQ(NextLoopSeed(uint32_t(ScriptParser::MaxSeed)), 1u);
}

}  // namespace
