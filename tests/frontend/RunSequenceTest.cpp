#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <set>
#include <thread>

#include "FrontEndTestSupport.h"
#include "frontend/RunSequence.h"
#include "imageio/ImageOutput.h"
#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/MessageIds.h"
#include "toolkit/RandomGenerator.h"

using frontendtest::FrontEndTest;
using frontendtest::GoodScript;
using frontendtest::ReadWhole;

namespace {

class RunSequenceTest : public FrontEndTest {
protected:
    void StartWith(const std::string &text) {
        Script("spots.vna", text);
        Start((Dir / "spots.vna").c_str());
    }
    // Menu states that differ between a run and idle, in a fixed order.
    std::vector<bool> RunMenuStates() const {
        return {H->BarEntry(MenuBar::Parameters).Enabled,  H->Item(MenuBar::Edition, 0).Enabled,
                H->Item(MenuBar::Edition, 2).Enabled,      H->Item(MenuBar::Edition, 4).Enabled,
                H->Item(MenuBar::Texture, 0).Enabled,      H->Item(MenuBar::Texture, 1).Enabled,
                H->Item(MenuBar::Texture, 2).Enabled,      H->Item(MenuBar::Texture, 3).Enabled,
                H->Item(MenuBar::Texture, 5).Enabled,      H->Item(MenuBar::Texture, 7).Enabled,
                H->BarEntry(MenuBar::Preferences).Enabled, H->Item(MenuBar::Aide, 0).Enabled};
    }
    static std::vector<bool> Running() {
        return {false, false, false, false, false, false, true, true, true, false, false, false};
    }
    static std::vector<bool> Idle() {
        return {true, true, true, true, true, true, false, false, false, true, true, true};
    }
};

TEST_F(RunSequenceTest, GoodScriptRunsToTheEndWritesImagesAndRestores) {
    StartWith(GoodScript());
    H->SelectionStart = H->SelectionEnd = 7;
    std::vector<bool> during;
    std::string editorDuring;
    uint32_t background = 0;
    H->OnPump = [&](int n) {
        if (n == 2) {
            // Resizing during a run moves the editor, keeps its scroll bars hidden and asks
            // for a fresh preview.
            H->Send(WindowMessage::Size, 0, 300u | 200u << 16);
            EXPECT_EQ(H->EditorWidth, 300);
            EXPECT_FALSE(H->EditorScrollBars);
            EXPECT_EQ(LastDisplayPreview, 0);
        }
        if (n == 1) {
            during = RunMenuStates();
            editorDuring = H->EditorText;
            background = H->EditorBackground;
            EXPECT_TRUE(H->EditorReadOnly);
            EXPECT_FALSE(H->EditorScrollBars);
            EXPECT_EQ(RunFlag, 1);
            EXPECT_TRUE(H->FindItem(MenuCommand::Copy)->Enabled);
            EXPECT_TRUE(H->FindItem(MenuCommand::Quit)->Enabled);
        }
    };
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    EXPECT_EQ(during, Running());
    char seedText[400];
    std::snprintf(seedText, sizeof seedText, GST.Get(10), MainRandom.GetSeed());
    EXPECT_EQ(editorDuring, seedText);
    EXPECT_EQ(background, EditorBackgroundRun);
    // Titles: "Vorna  0%" first, "Vorna 100%" with the run's speed at the end, then the idle
    // title.
    auto first = std::find(H->Titles.begin(), H->Titles.end(), "Vorna  0%");
    ASSERT_NE(first, H->Titles.end());
    EXPECT_NE(std::find_if(first, H->Titles.end(),
                           [](const std::string &t) { return t.rfind("Vorna 100% ", 0) == 0; }),
              H->Titles.end());
    EXPECT_EQ(H->Title, "Vorna spots.vna");
    ASSERT_EQ(H->Boxes.size(), 1u);
    EXPECT_EQ(H->Boxes[0].Text, GST.Get(12));
    EXPECT_EQ(H->Boxes[0].Caption, "Vorna");
    EXPECT_EQ(H->Boxes[0].Style, Platform::BoxIconInformation | Platform::BoxSystemModal);
    // Images of iterations 10, 20 and 30 beside the script; the preview was drawn every slice.
    for (const char *name : {"spots_A000010.bmp", "spots_A000020.bmp", "spots_A000030.bmp"}) {
        EXPECT_TRUE(std::filesystem::exists(Dir / name)) << name;
    }
    // 30 during the run, and the last frame once more over the restored script.
    EXPECT_EQ(H->Blits.size(), 31u);
    EXPECT_EQ(MainRDSim.CurrentTime, 30);
    // Idle again, with the script in the editor and the caret where it was.
    EXPECT_EQ(RunMenuStates(), Idle());
    EXPECT_EQ(H->EditorText, GoodScript());
    EXPECT_FALSE(H->EditorReadOnly);
    EXPECT_TRUE(H->EditorScrollBars);
    EXPECT_EQ(H->EditorBackground, EditorBackgroundIdle);
    EXPECT_EQ(H->SelectionStart, 7);
    EXPECT_TRUE(H->EditorCaretVisible);
    EXPECT_EQ(RunFlag, 0);
}

TEST_F(RunSequenceTest, LastFrameStaysOverTheRestoredScriptUntilTheUserWorksOnIt) {
    StartWith(GoodScript());
    H->KeepBlitPixels = true;
    size_t atBox = 0;
    H->OnBox = [&](const HeadlessPlatform::Box &) { atBox = H->Blits.size(); };
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    // Drawn after the box, once the editor holds the script again, where the preview was.
    ASSERT_EQ(H->Blits.size(), atBox + 1);
    const HeadlessPlatform::Blit &result = H->Blits.back();
    const HeadlessPlatform::Blit &lastOfRun = H->Blits[atBox - 1];
    EXPECT_EQ(std::vector<int>({result.X, result.Y, result.Width, result.Height}),
              std::vector<int>({5, 16, 20, 10}));
    EXPECT_EQ(result.Pixels, lastOfRun.Pixels);
    EXPECT_EQ(H->EditorText, GoodScript());
    EXPECT_EQ(ResultShown, 1);
    // A resized editor gets it back; turning the preview off wipes it.
    H->Send(WindowMessage::Size, 0, 300u | 200u << 16);
    EXPECT_EQ(H->Blits.size(), atBox + 2);
    const int wiped = H->EditorInvalidations;
    ASSERT_TRUE(H->Choose(MenuCommand::PreviewInactive));
    EXPECT_EQ(ResultShown, 0);
    EXPECT_EQ(H->EditorInvalidations, wiped + 1);
    H->Send(WindowMessage::Size, 0, 400u | 300u << 16);
    EXPECT_EQ(H->Blits.size(), atBox + 2);
    // The next run starts without it; a script with errors leaves none.
    ASSERT_TRUE(H->Choose(MenuCommand::PreviewNormal));
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    EXPECT_EQ(ResultShown, 1);
    // Working on the script again uncovers it: a key typed into the editor, or a click.
    const int typed = H->EditorInvalidations;
    H->Send(WindowMessage::KeyDown, 'M', 0);
    EXPECT_EQ(ResultShown, 0);
    EXPECT_EQ(H->EditorInvalidations, typed + 1);
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    H->Send(WindowMessage::LButtonDown, 0, 0);
    EXPECT_EQ(ResultShown, 0);
    H->Type("model nosuchmodel\n");
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    EXPECT_EQ(ResultShown, 0);
}

// The run text's first line tells the field the last image showed, or that it is flat and
// autoscale shows its noise.
TEST_F(RunSequenceTest, RunTextTellsTheLastImagesFieldAfterTheSeed) {
    struct Case {
        std::string Script;
        std::string Told;
    };
    const Case cases[] = {
        {GoodScript(), "Image of A at iteration 30: the field runs from "},
        {GoodScript("at 0 paint A set 2 600 0 0\nat 0 paint B set 1 600 0 0\n"),
         "The field of A at iteration 30 is uniform to within 0: autoscale shows rounding noise."},
    };
    for (const Case &c : cases) {
        StartWith(c.Script);
        std::string atBox;
        H->OnBox = [&](const HeadlessPlatform::Box &) {
            if (atBox.empty()) atBox = H->EditorText;
        };
        ASSERT_TRUE(H->Choose(MenuCommand::Run));
        const std::string firstLine = atBox.substr(0, atBox.find('\n'));
        EXPECT_NE(firstLine.find(c.Told), std::string::npos) << firstLine;
    }
}

TEST_F(RunSequenceTest, FaultyScriptComesBackAnnotatedWithTheCaretOnTheError) {
    std::string text = GoodScript();
    const size_t third = text.find("modpar beta");
    text.replace(third, 15, "modpar beta");
    StartWith(text);
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    ASSERT_EQ(H->Boxes.size(), 1u);
    EXPECT_EQ(H->Boxes[0].Text, GST.Get(15));
    EXPECT_EQ(H->Boxes[0].Style, Platform::BoxIconExclamation | Platform::BoxSystemModal);
    EXPECT_EQ(H->EditorText, ReadWhole(Dir / "spots.vna"));
    EXPECT_NE(H->EditorText, text);
    // The annotation line stands above the third line, and the caret is in the script.
    size_t annotation = H->EditorText.find(GST.Get(26));
    ASSERT_NE(annotation, std::string::npos);
    EXPECT_EQ(annotation, third);
    EXPECT_EQ(H->EditorText.find("modpar beta\n"), H->EditorText.find('\n', third) + 1);
    EXPECT_EQ(H->SelectionStart, ErrorPosition);
    EXPECT_GE(ErrorPosition, static_cast<int>(third));
    EXPECT_EQ(RunMenuStates(), Idle());
    EXPECT_TRUE(H->Blits.empty());
}

TEST_F(RunSequenceTest, OverflowIsReportedAndTheRunEnds) {
    std::string text = GoodScript();
    text.replace(text.find("reaction A 0.01"), 15, "reaction A 1");
    text.replace(text.find("reaction B 0.01"), 15, "reaction B 1");
    StartWith(text);
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    ASSERT_EQ(MainRDSim.ErrorStatus, 2);
    char title[400];
    std::snprintf(title, sizeof title, GST.Get(7), static_cast<int>(MainRDSim.CurrentTime));
    EXPECT_NE(std::find(H->Titles.begin(), H->Titles.end(), title), H->Titles.end());
    ASSERT_EQ(H->Boxes.size(), 1u);
    EXPECT_EQ(H->Boxes[0].Text, GST.Get(16));
    EXPECT_EQ(H->Boxes[0].Caption, GST.Get(5));
    EXPECT_EQ(RunMenuStates(), Idle());
    EXPECT_EQ(H->EditorText, text);
}

TEST_F(RunSequenceTest, PauseStopsComputingAndBreakEndsTheRun) {
    StartWith(GoodScript());
    int timeAtPause = -1;
    int timeAfterPause = -1;
    std::string pausedTitle;
    H->OnPump = [&](int n) {
        if (n == 3) {
            ASSERT_TRUE(H->Choose(MenuCommand::Pause));
            EXPECT_TRUE(H->Item(MenuBar::Texture, 2).Checked);
            timeAtPause = MainRDSim.CurrentTime;
        }
        if (n == 6) {
            timeAfterPause = MainRDSim.CurrentTime;
            pausedTitle = H->Title;
            ASSERT_TRUE(H->Choose(MenuCommand::Pause));
        }
        if (n == 8) {
            ASSERT_TRUE(H->Choose(MenuCommand::Break));
        }
    };
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    EXPECT_EQ(timeAfterPause, timeAtPause);
    EXPECT_EQ(pausedTitle, "Vorna 10% (pause)");
    EXPECT_EQ(H->SleptMs, 300);
    ASSERT_EQ(H->Boxes.size(), 1u);
    char stopped[400];
    std::snprintf(stopped, sizeof stopped, GST.Get(11), 5);
    EXPECT_EQ(H->Boxes[0].Text, stopped);
    EXPECT_NE(std::find(H->Titles.begin(), H->Titles.end(), GST.Get(5)), H->Titles.end());
    EXPECT_EQ(StopFlag, 0);
    EXPECT_FALSE(H->Item(MenuBar::Texture, 2).Checked);
    EXPECT_EQ(RunMenuStates(), Idle());
    EXPECT_FALSE(std::filesystem::exists(Dir / "spots_A000010.bmp"));
}

TEST_F(RunSequenceTest, LoopRunsRoundsWithFreshSeedsUntilBreak) {
    StartWith(GoodScript());
    std::vector<std::string> seeds;
    H->OnPump = [&](int n) {
        if (seeds.empty() || seeds.back() != H->EditorText) seeds.push_back(H->EditorText);
        EXPECT_EQ(RunFlag, 1);
        if (n == 70) {
            H->Choose(MenuCommand::Break);
        }
    };
    ASSERT_TRUE(H->Choose(MenuCommand::LoopRandSeed));
    ASSERT_GE(seeds.size(), 3u);
    EXPECT_NE(seeds[0], seeds[1]);
    EXPECT_NE(seeds[1], seeds[2]);
    // Two finished rounds slept between rounds and showed no end box; Break showed its box.
    EXPECT_EQ(H->SleptMs, 1000);
    ASSERT_EQ(H->Boxes.size(), 1u);
    EXPECT_EQ(H->Boxes[0].Style, Platform::BoxIconExclamation | Platform::BoxSystemModal);
    EXPECT_EQ(LoopFlag, 0);
    // The next plain Run runs once.
    H->OnPump = nullptr;
    H->Boxes.clear();
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    ASSERT_EQ(H->Boxes.size(), 1u);
    EXPECT_EQ(H->Boxes[0].Text, GST.Get(12));
}

// Every loop round keeps its images under its seed; Break leaves the seed of the round it
// stopped in the script, and a plain Run grows that texture again.
TEST_F(RunSequenceTest, LoopKeepsEveryRoundsImagesAndTheStoppedSeed) {
    StartWith(GoodScript());
    std::vector<uint32_t> seeds;
    H->OnPump = [&](int n) {
        if (seeds.empty() || seeds.back() != MainRandom.GetSeed()) {
            seeds.push_back(MainRandom.GetSeed());
        }
        if (n == 70) {
            H->Choose(MenuCommand::Break);
        }
    };
    ASSERT_TRUE(H->Choose(MenuCommand::LoopRandSeed));
    ASSERT_GE(seeds.size(), 3u);
    for (size_t i = 0; i + 1 < seeds.size(); ++i) {
        const std::string name = "spots_s" + std::to_string(seeds[i]) + "_A000030.bmp";
        EXPECT_TRUE(std::filesystem::exists(Dir / name)) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(Dir / "spots_A000030.bmp"));
    const std::string kept = GoodScript("randseed " + std::to_string(seeds.back()) + "\n");
    EXPECT_EQ(ReadWhole(Dir / "spots.vna"), kept);
    EXPECT_EQ(H->EditorText, kept);
    H->OnPump = nullptr;
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    EXPECT_EQ(MainRandom.GetSeed(), seeds.back());
    EXPECT_TRUE(std::filesystem::exists(Dir / "spots_A000030.bmp"));
}

TEST_F(RunSequenceTest, CancelledSaveDialogRunsNothingAndResetsTheLoop) {
    Start();
    H->EditorText = GoodScript();
    ASSERT_TRUE(H->Choose(MenuCommand::LoopRandSeed));
    EXPECT_EQ(LoopFlag, 0);
    EXPECT_EQ(H->Pumps, 0);
    EXPECT_TRUE(H->Boxes.empty());
    // Then Run with a name: one round, parsed with the script's own seed.
    H->DialogAnswers.push_back((Dir / "named.vna").string());
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    EXPECT_EQ(H->Title, "Vorna named.vna");
    ASSERT_EQ(H->Boxes.size(), 1u);
    EXPECT_EQ(H->Boxes[0].Text, GST.Get(12));
}

TEST_F(RunSequenceTest, RunRewritesTheScriptOnlyWhenTheEditorChangedIt) {
    namespace fs = std::filesystem;
    struct Case {
        const char *label;
        bool typed;        // the editor's text was replaced by typing
        std::string text;  // the editor's text at Run
        bool rewritten;
    };
    std::string changed = GoodScript();
    changed.replace(changed.find("beta 7.5"), 8, "beta 7.4");
    const Case cases[] = {
        {"as loaded", false, GoodScript(), false},
        {"edited back to the file's bytes", true, GoodScript(), false},
        {"edited", true, changed, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        H = std::make_unique<HeadlessPlatform>();
        H->ProgramDir = Dir.string();
        ResetFrontEndGlobals();
        StartWith(GoodScript());
        const fs::path path = Dir / "spots.vna";
        const auto old = fs::last_write_time(path) - std::chrono::hours(24);
        fs::last_write_time(path, old);
        if (c.typed) H->Type(c.text);
        ASSERT_TRUE(H->Choose(MenuCommand::Run));
        EXPECT_EQ(H->Boxes.back().Text, GST.Get(MsgRunFinished));
        EXPECT_EQ(ReadWhole(path), c.text);
        EXPECT_EQ(fs::last_write_time(path) != old, c.rewritten);
        EXPECT_FALSE(H->EditorModified);
    }
}

TEST_F(RunSequenceTest, SpeedCountsOnlyRunningTimeShowsEarlyAndKeepsTheAverage) {
    std::string text = GoodScript();
    text.replace(text.find("size 20 10"), 10, "size 64 64");
    text.replace(text.find("iterations 30"), 13, "iterations 3000");
    text.replace(text.find("t+10"), 4, "t+1000");
    StartWith(text);
    // Every iteration takes 1/1024 s of running time, while pauses and a box take 50 and 100 s
    // of the clock: 4096 points at 1024 iterations a second are 4.0 M points a second.
    double elsewhere = 0.0;
    H->OnClock = [&] { return static_cast<double>(MainRDSim.CurrentTime) / 1024.0 + elsewhere; };
    std::string finishedTitle;
    H->OnBox = [&](const HeadlessPlatform::Box &box) {
        elsewhere += 100.0;
        if (box.Text == GST.Get(MsgRunFinished)) finishedTitle = H->Title;
    };
    H->OnPump = [&](int n) {
        if (PauseFlag == 1) elsewhere += 50.0;
        if (n == 5 || n == 9) {
            ASSERT_TRUE(H->Choose(MenuCommand::Pause));
        }
        if (n == 60) {
            ASSERT_TRUE(H->Choose(MenuCommand::CaptureBMP));
        }
    };
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    ASSERT_EQ(H->Boxes.size(), 2u);
    EXPECT_EQ(finishedTitle, "Vorna 100%  4.0Mps 1024ips");
    int measured = 0;
    int firstPercent = -1;
    for (const std::string &title : H->Titles) {
        if (title.find("Mps") == std::string::npos) continue;
        ++measured;
        EXPECT_NE(title.find("%  4.0Mps 1024ips"), std::string::npos) << title;
        if (firstPercent < 0) firstPercent = std::atoi(title.c_str() + 6);
    }
    EXPECT_GT(measured, 2);
    // The first figure comes once a second has run (1024 of the 3000 iterations).
    EXPECT_GE(firstPercent, 34);
    EXPECT_LT(firstPercent, 45);
}

TEST_F(RunSequenceTest, CloseDuringARunStopsThenDestroysTheWindow) {
    StartWith(GoodScript());
    H->OnPump = [&](int n) {
        if (n == 4) {
            H->Post(WindowMessage::Close);
        }
    };
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    ASSERT_EQ(H->Boxes.size(), 1u);
    char stopped[400];
    std::snprintf(stopped, sizeof stopped, GST.Get(11), 4);
    EXPECT_EQ(H->Boxes[0].Text, stopped);
    EXPECT_TRUE(H->Destroyed);
    EXPECT_TRUE(H->Quit);
    EXPECT_EQ(H->Settings[SettingsPath()]["Locale/language"], "english");
}

TEST_F(RunSequenceTest, LargeImagesAskFirstAndCancelReturnsToTheScript) {
    std::string text = GoodScript();
    text.replace(text.find("size 20 10"), 10, "size 600 600");
    text.replace(text.find("iterations 30"), 13, "iterations 300");
    text.replace(text.find("t+10"), 4, "t+1");
    StartWith(text);
    H->BoxAnswers.push_back(Platform::AnswerCancel);
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    ASSERT_EQ(H->Boxes.size(), 1u);
    char question[400];
    std::snprintf(question, sizeof question, GST.Get(14), MainRDSim.EvalSaveImageDiskSpace());
    EXPECT_EQ(H->Boxes[0].Text, question);
    EXPECT_EQ(H->Boxes[0].Caption, GST.Get(8));
    EXPECT_EQ(H->Boxes[0].Style, Platform::BoxIconInformation | Platform::BoxOkCancel);
    EXPECT_EQ(H->Pumps, 0);
    EXPECT_EQ(H->EditorText, text);
    EXPECT_EQ(RunMenuStates(), Idle());
}

TEST_F(RunSequenceTest, MinimizedWindowRunsWholeSlicesWithoutPreview) {
    StartWith(GoodScript());
    H->Minimized = true;
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    EXPECT_TRUE(H->Blits.empty());
    EXPECT_EQ(BasicRunSteps, 2000);
    EXPECT_EQ(H->Pumps, 1);
    EXPECT_EQ(MainRDSim.CurrentTime, 30);
}

TEST_F(RunSequenceTest, CaptureDuringARunSavesTheCurrentImage) {
    StartWith(GoodScript());
    size_t blitsBeforePaint = 0;
    size_t blitsAfterPaint = 0;
    H->OnPump = [&](int n) {
        if (n == 5) {
            ASSERT_TRUE(H->Choose(MenuCommand::CaptureBMP));
        }
        if (n == 6) {
            // Outside a box a paint request only asks the slice loop to redraw.
            H->Send(WindowMessage::Paint);
            EXPECT_EQ(LastDisplayPreview, 0);
        }
    };
    H->OnBox = [&](const HeadlessPlatform::Box &box) {
        if (box.Caption == "Vorna Capture BMP") {
            // While the box is open the preview is static and a paint request redraws it.
            EXPECT_EQ(MessageFlag, 1);
            blitsBeforePaint = H->Blits.size();
            H->Send(WindowMessage::Paint);
            blitsAfterPaint = H->Blits.size();
        }
    };
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    EXPECT_EQ(blitsAfterPaint, blitsBeforePaint + 1);
    ASSERT_EQ(H->Boxes.size(), 2u);
    EXPECT_EQ(H->Boxes[0].Caption, "Vorna Capture BMP");
    EXPECT_NE(H->Boxes[0].Text.find("spots_A000005.bmp"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(Dir / "spots_A000005.bmp"));
    EXPECT_EQ(MessageFlag, 0);
}

TEST_F(RunSequenceTest, CaptureOfAPngScriptWritesPngThroughTheInstalledWriter) {
    std::string text = GoodScript();
    text.replace(text.find("autoscale"), 9, "autoscale png");
    // As the desktop program's start-up does; taken out again whatever the test's outcome.
    ImageOutput writer(ImageOptions{}, nullptr);
    MainRDSim.SetImageWriter(&writer);
    struct Uninstall {
        ~Uninstall() { MainRDSim.SetImageWriter(nullptr); }
    } uninstall;
    StartWith(text);
    H->OnPump = [&](int n) {
        if (n == 5) {
            ASSERT_TRUE(H->Choose(MenuCommand::CaptureBMP));
        }
    };
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    ASSERT_FALSE(H->Boxes.empty());
    EXPECT_NE(H->Boxes[0].Text.find("spots_A000005.png"), std::string::npos);
    EXPECT_EQ(ReadWhole(Dir / "spots_A000005.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(ReadWhole(Dir / "spots_A000030.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
}

// The preview at the screen's pace, on a clock where an iteration takes 1 ms: slices of about
// 10 ms, a preview at most every 1/60 s and only right after the slice that ends at its iteration,
// the last iteration's always; Pause answered between two slices.
TEST_F(RunSequenceTest, PreviewsAreSkippedNeverDelayedAndTheLastIsDrawn) {
    std::string text = GoodScript();
    text.replace(text.find("iterations 30"), 13, "iterations 400");
    StartWith(text);
    DisplayRefreshRate = 5;
    H->OnClock = [] { return MainRDSim.CurrentTime * 0.001; };
    int32_t lastTime = 0;
    size_t blits = 0;
    int32_t widestSlice = 0;
    int32_t timeAtPause = -1;
    size_t forced = 0;
    H->OnPump = [&](int n) {
        widestSlice = std::max(widestSlice, MainRDSim.CurrentTime - lastTime);
        lastTime = MainRDSim.CurrentTime;
        if (n == 11) {
            // Pause asks for a preview of where the run stands, drawn whatever the pace.
            EXPECT_EQ(H->Blits.size(), blits + 1);
            blits = H->Blits.size();
            forced = blits - 1;
        } else if (H->Blits.size() != blits) {
            // Drawn right after its slice, at an iteration the refresh rate asks for.
            EXPECT_EQ(H->Blits.size(), blits + 1);
            EXPECT_EQ(MainRDSim.PreviewTime, MainRDSim.CurrentTime);
            EXPECT_EQ(MainRDSim.CurrentTime % 5, 0);
            blits = H->Blits.size();
        }
        if (n == 10) {
            ASSERT_TRUE(H->Choose(MenuCommand::Pause));
            timeAtPause = MainRDSim.CurrentTime;
        }
        if (n == 11) {
            EXPECT_EQ(MainRDSim.CurrentTime, timeAtPause);
            ASSERT_TRUE(H->Choose(MenuCommand::Pause));
        }
    };
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    // The last frame, drawn once more over the restored script, is no frame of the run.
    ASSERT_EQ(ResultShown, 1);
    H->Blits.pop_back();
    EXPECT_EQ(MainRDSim.CurrentTime, 400);
    EXPECT_LE(widestSlice, 20);
    // 0.4 s of run: about 24 frames rather than 80, each at least 1/60 s after the one
    // before but the last.
    ASSERT_GE(H->Blits.size(), 16u);
    EXPECT_LE(H->Blits.size(), 26u);
    ASSERT_GT(forced, 0u);
    for (size_t i = 1; i + 1 < H->Blits.size(); ++i) {
        if (i == forced) continue;
        EXPECT_GE(H->Blits[i].Seconds - H->Blits[i - 1].Seconds, 1.0 / 60.0 - 1e-9) << i;
    }
    EXPECT_DOUBLE_EQ(H->Blits.back().Seconds, 0.4);
    EXPECT_EQ(MainRDSim.PreviewTime, 400);
}

// Whatever the previews skipped and the slices' lengths, the run writes the same images, ends
// at the same counter and shows the same last preview (the run's last due one, 95 at refresh
// rate 5) as a run where every preview is drawn.
TEST_F(RunSequenceTest, PacedRunGivesTheImagesAndLastPreviewOfAnUnlimitedOne) {
    // A fixed seed: the two runs compared must start from the same noise, also when they fall
    // into different seconds of the clock.
    std::string text = GoodScript("randseed 7\n");
    text.replace(text.find("iterations 30"), 13, "iterations 97");
    StartWith(text);
    H->KeepBlitPixels = true;
    for (int rate : {1, 5}) {
        DisplayRefreshRate = rate;
        // A slow clock first: slices of one preview period, every preview drawn.
        H->OnClock = nullptr;
        H->Blits.clear();
        ASSERT_TRUE(H->Choose(MenuCommand::Run));
        H->Blits.pop_back();  // the last frame left over the restored script
        const size_t everyPreview = H->Blits.size();
        const std::vector<uint8_t> lastPreview = H->Blits.back().Pixels;
        std::map<std::string, std::string> images;
        for (const auto &entry : std::filesystem::directory_iterator(Dir)) {
            if (entry.path().extension() == ".bmp") {
                images[entry.path().filename().string()] = ReadWhole(entry.path());
                std::filesystem::remove(entry.path());
            }
        }
        EXPECT_EQ(images.size(), 10u);
        EXPECT_EQ(everyPreview, rate == 1 ? 97u : 19u);
        // Then a fast one: 1 ms an iteration, about 17 iterations between two frames.
        H->OnClock = [] { return MainRDSim.CurrentTime * 1e-3; };
        H->Blits.clear();
        ASSERT_TRUE(H->Choose(MenuCommand::Run));
        H->Blits.pop_back();
        EXPECT_EQ(MainRDSim.CurrentTime, 97);
        EXPECT_LT(H->Blits.size(), everyPreview);
        EXPECT_TRUE(H->Blits.back().Pixels == lastPreview) << rate;
        for (const auto &[name, bytes] : images) {
            EXPECT_TRUE(ReadWhole(Dir / name) == bytes) << name;
        }
    }
    EXPECT_EQ(H->Boxes.back().Text, GST.Get(12));
}

// On a worker thread, as on a screen, the run writes the same images and ends at the same
// counter as one computed between pumps, and every frame drawn is whole: the frame of one
// iteration of that run (its counter stamped on it), never a field caught in the middle of a
// slice; the run's last frame is always drawn.
TEST_F(RunSequenceTest, WorkerRunDrawsWholeFramesAndWritesTheImagesOfARunBetweenPumps) {
    std::string text = GoodScript("randseed 7\n");
    text.replace(text.find("size 20 10"), 10, "size 48 16");
    text.replace(text.find("iterations 30"), 13, "iterations 400");
    StartWith(text);
    H->KeepBlitPixels = true;
    auto takeImages = [&] {
        std::map<std::string, std::string> images;
        for (const auto &entry : std::filesystem::directory_iterator(Dir)) {
            if (entry.path().extension() == ".bmp") {
                images[entry.path().filename().string()] = ReadWhole(entry.path());
                std::filesystem::remove(entry.path());
            }
        }
        return images;
    };
    // Between pumps, on the slow clock: every iteration's frame is drawn.
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    H->Blits.pop_back();  // the last frame left over the restored script
    ASSERT_EQ(H->Blits.size(), 400u);
    auto bytes = [](const HeadlessPlatform::Blit &blit) {
        return std::string(blit.Pixels.begin(), blit.Pixels.end());
    };
    std::set<std::string> everyFrame;
    for (const HeadlessPlatform::Blit &blit : H->Blits) everyFrame.insert(bytes(blit));
    ASSERT_EQ(everyFrame.size(), 400u);
    const std::vector<uint8_t> lastFrame = H->Blits.back().Pixels;
    const std::map<std::string, std::string> images = takeImages();
    ASSERT_EQ(images.size(), 40u);

    H->WorkerThread = true;
    H->Blits.clear();
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    EXPECT_EQ(MainRDSim.CurrentTime, 400);
    ASSERT_EQ(ResultShown, 1);
    H->Blits.pop_back();
    ASSERT_FALSE(H->Blits.empty());
    for (size_t i = 0; i < H->Blits.size(); ++i) {
        EXPECT_EQ(everyFrame.count(bytes(H->Blits[i])), 1u) << "frame " << i;
    }
    EXPECT_TRUE(H->Blits.back().Pixels == lastFrame);
    EXPECT_TRUE(takeImages() == images);
    EXPECT_EQ(H->Boxes.back().Text, GST.Get(MsgRunFinished));
    EXPECT_EQ(RunMenuStates(), Idle());
}

// On a worker thread Pause holds the run at a slice boundary, a capture saves the iteration its
// box names while the run stands still, and Break ends the run where it stands with its box.
TEST_F(RunSequenceTest, WorkerRunAnswersPauseCaptureAndBreak) {
    std::string text = GoodScript();
    text.replace(text.find("size 20 10"), 10, "size 48 16");
    text.replace(text.find("iterations 30"), 13, "iterations 500000");
    text.replace(text.find("t+10"), 4, "t+400000");
    StartWith(text);
    H->WorkerThread = true;
    using Clock = std::chrono::steady_clock;
    Clock::time_point pausedAt;
    std::vector<int32_t> captured;
    std::vector<std::string> pausedTitles;
    int step = 0;
    H->OnBox = [&](const HeadlessPlatform::Box &box) {
        // The worker is held while the box is open: the counter can be read.
        if (box.Caption == "Vorna Capture BMP") captured.push_back(MainRDSim.CurrentTime);
    };
    H->OnPump = [&](int n) {
        if (n == 3) {
            ASSERT_TRUE(H->Choose(MenuCommand::Pause));
            pausedAt = Clock::now();
            step = 1;
        } else if (step == 1 && Clock::now() - pausedAt > std::chrono::milliseconds(300)) {
            // Long after the pause: two captures some time apart find the same iteration.
            ASSERT_TRUE(H->Choose(MenuCommand::CaptureBMP));
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            pausedTitles.push_back(H->Title);
            ASSERT_TRUE(H->Choose(MenuCommand::CaptureBMP));
            ASSERT_TRUE(H->Choose(MenuCommand::Pause));
            step = 2;
            pausedAt = Clock::now();
        } else if (step == 2 && Clock::now() - pausedAt > std::chrono::milliseconds(300)) {
            ASSERT_TRUE(H->Choose(MenuCommand::Break));
            step = 3;
        }
    };
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
    ASSERT_EQ(step, 3);
    ASSERT_EQ(captured.size(), 2u);
    EXPECT_EQ(captured[0], captured[1]);
    EXPECT_GT(captured[0], 0);
    ASSERT_EQ(pausedTitles.size(), 1u);
    EXPECT_NE(pausedTitles[0].find("(pause)"), std::string::npos) << pausedTitles[0];
    char name[40];
    std::snprintf(name, sizeof name, "spots_A%06d.bmp", static_cast<int>(captured[0]));
    EXPECT_TRUE(std::filesystem::exists(Dir / name)) << name;
    // Stopped after running on from the pause, at the iteration its box names.
    EXPECT_GT(MainRDSim.CurrentTime, captured[0]);
    EXPECT_LT(MainRDSim.CurrentTime, 500000);
    ASSERT_EQ(H->Boxes.size(), 3u);
    char stopped[400];
    std::snprintf(stopped, sizeof stopped, GST.Get(MsgRunStopped),
                  static_cast<int>(MainRDSim.CurrentTime));
    EXPECT_EQ(H->Boxes[2].Text, stopped);
    EXPECT_EQ(StopFlag, 0);
    EXPECT_EQ(RunMenuStates(), Idle());
}

}  // namespace

// A script with modpar warnings runs: the run text lists them below the seed, in the current
// language and with the script's own lines, and the script comes back as it was.
class RunWarningsTest : public RunSequenceTest {
protected:
    std::string RunTextOf(const char *language) {
        std::string script = "// spots\n" + GoodScript();
        script.replace(script.find("modpar beta"), 11, "modpar bata");
        Script("spots.vna", script);
        Start((Dir / "spots.vna").c_str(), language);
        std::string during;
        H->OnPump = [&](int n) {
            if (n == 1) during = H->EditorText;
        };
        EXPECT_TRUE(H->Choose(MenuCommand::Run));
        EXPECT_EQ(H->EditorText, script);
        EXPECT_EQ(ReadWhole(Dir / "spots.vna"), script);
        EXPECT_EQ(H->Boxes.size(), 1u);  // the end of the run only
        char seedText[400];
        std::snprintf(seedText, sizeof seedText, GST.Get(10), MainRandom.GetSeed());
        EXPECT_EQ(during.compare(0, std::strlen(seedText), seedText), 0) << during;
        return during.substr(std::min(during.size(), std::strlen(seedText)));
    }
};

TEST_F(RunWarningsTest, RunTextListsTheWarningsInEnglish) {
    EXPECT_EQ(RunTextOf("english"),
              "\n\nWarnings about the script:\n"
              "Line 2: brusselator reads beta (conversion of A into B, typically 7), which no "
              "modpar line sets: it is 0\n"
              "Line 4: the model brusselator reads no parameter \"bata\"; did you mean beta? "
              "(its parameters: alpha, beta)");
}

TEST_F(RunWarningsTest, RunTextListsTheWarningsInFrench) {
    EXPECT_EQ(RunTextOf("french"),
              "\n\nAvertissements sur le script :\n"
              "Ligne 2 : brusselator lit beta (conversion de A en B, typiquement 7), qu'aucune "
              "ligne modpar ne fixe : il vaut 0\n"
              "Ligne 4 : le modèle brusselator ne lit aucun paramètre « bata » ; vouliez-vous "
              "dire beta ? (ses paramètres : alpha, beta)");
}
