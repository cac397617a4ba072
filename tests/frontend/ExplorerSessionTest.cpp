// The explorer's session on the headless window: settings written into the script's own lines
// before a run, and a run changed, painted and undone between its slices whose images equal
// those of the saved script run from the start.
#include <gtest/gtest.h>

#include <string>

#include "FrontEndTestSupport.h"
#include "frontend/ExplorerSession.h"
#include "frontend/MenuResources.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"
#include "toolkit/RandomGenerator.h"

using frontendtest::FrontEndTest;
using frontendtest::ReadWhole;
using frontendtest::WriteWhole;

namespace {

using Kind = ScheduledChange::Kind;

ScheduledChange Setting(Kind what, int key, double value) {
    ScheduledChange change;
    change.What = what;
    change.Key = key;
    change.Value = value;
    return change;
}

// 2,400 iterations on 20 x 10 points, an image every 400: several slices, several images.
std::string LongScript() {
    return "model brusselator\nmodpar alpha 4.5\nmodpar beta 7.5 +0.0001\nreaction A 0.01\n"
           "reaction B 0.01\ndiffusion A 0.05\ndiffusion B 0.4\ninit A 4.5 0.1\n"
           "init B 1.6 0.1\nsize 20 10\niterations 2400\nrandseed 3\ncolormap gray\n"
           "image256 A t+400 autoscale\n";
}

class ExplorerSessionTest : public FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        TheExplorer.Reset();
    }
    void TearDown() override {
        TheExplorer.Reset();
        FrontEndTest::TearDown();
    }
};

}  // namespace

// Before a run: the setting's own line is rewritten where it stands (its variation and
// indentation kept, a parameter found by its key whatever its spelling), a missing one added at
// the end, and a value out of the line's range refused with the script untouched.
TEST(ExplorerSessionText, SettingsRewriteTheScriptsOwnLine) {
    const std::string script =
        "model brusselator\r\nmodpar alpha 4.5\r\n  modpar betamax 7.5 -0.01\r\n"
        "reaction A 0.01\r\ndiffusion B 0.4 +0.002\r\n";
    const int model = FindReactionModel("brusselator");
    EXPECT_EQ(ExplorerSession::WithSetting(
                  script, Setting(Kind::Modpar, ReaDifSimulation::ParameterKey("beta", true), 6.25),
                  model),
              "model brusselator\r\nmodpar alpha 4.5\r\n  modpar betamax 6.25 -0.01\r\n"
              "reaction A 0.01\r\ndiffusion B 0.4 +0.002\r\n");
    EXPECT_EQ(ExplorerSession::WithSetting(script, Setting(Kind::Diffusion, 1, 0.5), model),
              "model brusselator\r\nmodpar alpha 4.5\r\n  modpar betamax 7.5 -0.01\r\n"
              "reaction A 0.01\r\ndiffusion B 0.5 +0.002\r\n");
    EXPECT_EQ(ExplorerSession::WithSetting(script, Setting(Kind::Reaction, 1, 0.02), model),
              script + "reaction B 0.02\r\n");
    EXPECT_EQ(
        ExplorerSession::WithSetting(
            script, Setting(Kind::Modpar, ReaDifSimulation::ParameterKey("gamma", true), 1), model),
        script + "modpar ga 1\r\n");  // not the model's: by its key
}

TEST_F(ExplorerSessionTest, BeforeARunASettingEditsTheEditorsScript) {
    Script("spots.vna", LongScript());
    Start((Dir / "spots.vna").c_str());
    H->EditorModified = false;
    EXPECT_TRUE(TheExplorer.ChangeSetting(Setting(Kind::Diffusion, 0, 0.125)));
    EXPECT_NE(H->EditorText.find("diffusion A 0.125\n"), std::string::npos);
    EXPECT_TRUE(H->EditorModified);
    const std::string before = H->EditorText;
    EXPECT_FALSE(TheExplorer.ChangeSetting(Setting(Kind::Diffusion, 0, 2.0)));
    EXPECT_FALSE(TheExplorer.ChangeSetting(Setting(Kind::Reaction, 0, 0.0)));
    EXPECT_EQ(H->EditorText, before);
    // Without a run there is no field to paint on.
    EXPECT_FALSE(TheExplorer.Dab(0, false, 1.0, 2.0, 3, 3));
}

// A run through the Run command with the explorer open: a parameter, a coefficient and brush
// strokes made between slices (one undone again), then the record written into the editor's
// script; that script run from the start writes the same images, byte for byte.
TEST_F(ExplorerSessionTest, ARunChangedLiveWritesTheImagesOfItsSavedScript) {
    Script("spots.vna", LongScript());
    Start((Dir / "spots.vna").c_str());
    TheExplorer.SetOpen(true);
    int asked = 0;
    H->OnPump = [&](int) {
        const int32_t now = MainRDSim.CurrentTime;
        if (asked == 0 && now > 0) {
            EXPECT_TRUE(TheExplorer.ChangeSetting(
                Setting(Kind::Modpar, ReaDifSimulation::ParameterKey("beta", true), 6.5)));
            EXPECT_TRUE(TheExplorer.Dab(0, false, 9.0, 2.5, 19, 9));
            EXPECT_TRUE(
                TheExplorer.Dab(0, false, 9.0, 2.5, 21, -1, false));  // dragged, wraps to 1, 9
            ++asked;
        } else if (asked == 1 && now > 700) {
            EXPECT_TRUE(TheExplorer.Dab(1, true, -0.5, 3.0, 5, 5));
            ++asked;
        } else if (asked == 2 && now > 1000) {
            EXPECT_TRUE(TheExplorer.ChangeSetting(Setting(Kind::Diffusion, 1, 0.3)));
            ++asked;
        } else if (asked == 3 && now > 1300) {
            TheExplorer.Ask(ExplorerSession::Request::Undo);  // the coefficient goes again
            ++asked;
        }
    };
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    ASSERT_EQ(asked, 4);
    TheExplorer.Poll();
    ASSERT_EQ(TheExplorer.Record().Entries().size(), 3u);
    const std::string saved = H->EditorText;
    EXPECT_TRUE(H->EditorModified);
    EXPECT_NE(saved.find(ChangeRecord::BlockHeading), std::string::npos) << saved;
    EXPECT_NE(saved.find(" modpar beta 6.5 +0.0001\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find(" paint A set 9 2.5 19 9 1 9\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.find(" diffusion B"), std::string::npos) << saved;

    // The saved script, run from the start by the core as the command line runs it.
    WriteWhole(Dir / "again.vna", saved);
    ReaDifSimulation sim(4);
    int position = 0;
    ASSERT_EQ(sim.SetParametersFromFile((Dir / "again.vna").c_str(), position, 0),
              ScriptParser::Accepted);
    ASSERT_EQ(sim.Initialize(), GenImage3D::Done);
    ASSERT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    for (int t = 400; t <= 2400; t += 400) {
        char name[32];
        std::snprintf(name, sizeof name, "_A%06d.bmp", t);
        const std::string live = ReadWhole(Dir / (std::string("spots") + name));
        EXPECT_FALSE(live.empty()) << name;
        EXPECT_EQ(live, ReadWhole(Dir / (std::string("again") + name))) << name;
    }
}

// The view of a computing run: a copy is made only when asked, and a change asks for one, made
// at the boundary that makes the change (the dab's value is in it, no iteration after it).
TEST_F(ExplorerSessionTest, TheViewIsCopiedAtTheBoundaryThatMakesAChange) {
    Script("spots.vna", LongScript());
    Start((Dir / "spots.vna").c_str());
    TheExplorer.SetOpen(true);
    LiveField::Frame frame;
    int step = 0;
    H->OnPump = [&](int) {
        const int32_t now = MainRDSim.CurrentTime;
        if (step == 0 && now > 100) {
            EXPECT_FALSE(TheExplorer.View().Take(frame));  // never asked
            EXPECT_TRUE(TheExplorer.Dab(0, false, 9.0, 1.5, 19, 9));
            ++step;
        } else if (step == 1 && TheExplorer.View().Take(frame)) {
            ++step;
        }
    };
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    ASSERT_EQ(step, 2);
    ASSERT_TRUE(frame.Field);
    ASSERT_EQ(TheExplorer.Record().Entries().size(), 1u);
    EXPECT_EQ(frame.Time, TheExplorer.Record().Entries()[0].Lines.front().Time);
    EXPECT_EQ(frame.Revision, TheExplorer.Revision());
    EXPECT_EQ(frame.Field->GetSizeX(), 20);
    EXPECT_EQ(frame.Field->GetPixelValue(19, 9, 0), 9.0f);
    EXPECT_EQ(frame.Field->GetPixelValue(0, 9, 0), 9.0f);  // across the edge
    EXPECT_NE(frame.Field->GetPixelValue(10, 5, 0), 9.0f);
    EXPECT_FALSE(TheExplorer.View().Take(frame));  // taken once
}

// A brush stroke held over several slices is one change: its lines at several iterations form
// one entry, and one undo takes the whole stroke back (not its last slice only).
TEST_F(ExplorerSessionTest, OneUndoTakesBackAStrokeHeldOverSeveralSlices) {
    Script("spots.vna", LongScript());
    Start((Dir / "spots.vna").c_str());
    TheExplorer.SetOpen(true);
    int step = 0;
    H->OnPump = [&](int) {
        const int32_t now = MainRDSim.CurrentTime;
        const int32_t due[] = {1, 300, 600, 900, 1200};
        if (step >= 5 || now < due[step]) return;
        switch (step) {
            case 0:  // a stroke of one dab
                EXPECT_TRUE(TheExplorer.Dab(0, false, 9.0, 2.0, 3, 3, true));
                break;
            case 1:  // a second stroke, over three slices
                EXPECT_TRUE(TheExplorer.Dab(0, false, 8.0, 2.0, 10, 5, true));
                break;
            case 2:
                EXPECT_TRUE(TheExplorer.Dab(0, false, 8.0, 2.0, 12, 5, false));
                break;
            case 3:
                EXPECT_TRUE(TheExplorer.Dab(0, true, 0.5, 2.0, 14, 5, false));  // Shift pressed
                break;
            case 4:
                ASSERT_EQ(TheExplorer.Record().Entries().size(), 2u);
                EXPECT_EQ(TheExplorer.Record().Entries()[1].Lines.size(), 3u);
                TheExplorer.Ask(ExplorerSession::Request::Undo);
                break;
        }
        ++step;
    };
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    ASSERT_EQ(step, 5);
    TheExplorer.Poll();
    ASSERT_EQ(TheExplorer.Record().Entries().size(), 1u);
    EXPECT_NE(H->EditorText.find(" paint A set 9 2 3 3\n"), std::string::npos) << H->EditorText;
    EXPECT_EQ(H->EditorText.find(" 10 5\n"), std::string::npos) << H->EditorText;
    EXPECT_EQ(H->EditorText.find(" paint A add"), std::string::npos) << H->EditorText;
}

// Closing the window during a run with the explorer's changes: the run stops, its record goes
// into the script and the user is asked, as for any unsaved edit. Save writes the script with
// the record, Cancel keeps the window and the record in the editor.
class ExplorerCloseTest : public ExplorerSessionTest, public testing::WithParamInterface<int> {};

TEST_P(ExplorerCloseTest, ClosingDuringAChangedRunAsksToSaveTheRecord) {
    const int answer = GetParam();
    {
        Script("spots.vna", LongScript());
        Start((Dir / "spots.vna").c_str());
        TheExplorer.SetOpen(true);
        bool changed = false;
        H->OnPump = [&](int) {
            if (!changed && MainRDSim.CurrentTime > 0) {
                EXPECT_TRUE(TheExplorer.Dab(0, false, 9.0, 2.5, 4, 4));
                changed = true;
            } else if (changed && MainRDSim.CurrentTime > 600) {
                H->Post(WindowMessage::Close);
                H->OnPump = nullptr;
            }
        };
        H->BoxAnswers = {Platform::AnswerOk, answer};  // "stopped", then the save question
        ASSERT_TRUE(H->Choose(MenuCommand::Run));
        ASSERT_TRUE(changed);
        EXPECT_EQ(H->Destroyed, answer == Platform::AnswerSave);
        EXPECT_NE(H->EditorText.find(" paint A set 9 2.5 4 4\n"), std::string::npos)
            << H->EditorText;
        const std::string file = ReadWhole(Dir / "spots.vna");
        EXPECT_EQ(file.find(" paint A set 9 2.5 4 4\n") != std::string::npos,
                  answer == Platform::AnswerSave)
            << file;
        EXPECT_EQ(H->EditorModified, answer == Platform::AnswerCancel);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, ExplorerCloseTest,
                         testing::Values(Platform::AnswerSave, Platform::AnswerCancel));
