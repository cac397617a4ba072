// Run sequence: the Run command handler drives the run. On a screen its slices compute on a
// worker thread while this thread pumps the window's messages and draws the frames the worker
// publishes; on a platform that asks for it (tests) they compute here, between two pumps.
#include "frontend/RunSequence.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "frontend/DesktopTexts.h"
#include "frontend/ExplorerSession.h"
#include "frontend/FrontEndGlobals.h"
#include "frontend/LoopSeed.h"
#include "frontend/MenuResources.h"
#include "frontend/ParameterFiles.h"
#include "frontend/PreviewDisplay.h"
#include "frontend/RunSpeed.h"
#include "frontend/RunWorker.h"
#include "frontend/SliceHooks.h"
#include "frontend/WindowProcedure.h"
#include "platform/Platform.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"
#include "rdsimul/SlicePacer.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MessageIds.h"
#include "toolkit/RandomGenerator.h"
#include "toolkit/StringTable.h"

namespace {

constexpr int SystemErrorBox = Platform::BoxIconExclamation | Platform::BoxSystemModal;

// The editor's text as the run saved it, for a restore that cannot reload the file.
std::string SavedText;

// The speed of the round being run.
RunSpeed Speed;
// A round was computed (finished or stopped, without an overflow): its last frame is left in
// view after the restore.
bool ResultReady = false;

void SystemModalError(int message) {
    ThePlatform->MessageBox(true, GST.Get(message), GST.Get(MsgCaptionError), SystemErrorBox);
}

// Back to idle: menus, editor and title as before the run, and the script reloaded from its file,
// where the parser has marked any faulty lines; the caret goes to the fault, or where it was.
void Restore() {
    RunFlag = 0;
    PauseFlag = 0;
    MessageFlag = 0;
    ThePlatform->ShowEditorScrollBars(true);
    ThePlatform->SetEditorReadOnly(false);
    ThePlatform->SetEditorBackground(EditorBackgroundIdle);
    SetIdleMenus();
    ThePlatform->DrawMenuBar();
    ThePlatform->SetEditorText("");
    ThePlatform->SetTitle(CurWindowTitle);
    FileFault fault;
    if (LoadFile(WindowId::Editor, CurParamFileName, &fault) != FileDone) {
        FileErrorBox(MsgScriptNotReloaded, CurParamFileName, fault);
        // The editor gets back the text the run started from; it is not the file's any more,
        // so the name goes and the next Save or Run asks for one.
        ThePlatform->SetEditorText(SavedText.c_str());
        ForgetScriptName();
    }
    ThePlatform->SetFocus(WindowId::Editor);
    ThePlatform->ShowEditorCaret(true);
    int caret = ParamFlag == ScriptParser::Rejected ? ErrorPosition : CarretTextIndex1;
    ThePlatform->SetEditorSelection(caret, caret);
    ThePlatform->ScrollCaretIntoView();
    // The texture stays in view over the script until the next run.
    if (ResultReady) {
        if (GenImage3D *image = MainRDSim.GetPreviewImage(DisplayColorMap, DisplayColors16M)) {
            DisplayResult(WindowId::Main, *image);
        }
    }
}

// The warnings of the parse below the run text, numbered as the script will be shown after the
// run: the script stays valid, so they are told here rather than in a box.
void AppendWarnings(std::string &text) {
    const ScriptParser &parser = ReaDifSimulation::LastFileParse();
    if (parser.GetWarningCount() == 0) return;
    text += "\n\n";
    text += GST.Get(MsgRunWarnings);
    for (int32_t i = 0; i < parser.GetWarningCount(); ++i) {
        ScriptParser::Note warning = parser.GetWarning(i);
        std::snprintf(TmpStr, sizeof TmpStr, GST.Get(MsgRunWarningLine),
                      static_cast<int>(warning.RewrittenLine), warning.Text);
        text += "\n";
        text += TmpStr;
    }
}

// The run text as it was set when the run began, and what the last image's field held, which goes
// at the end of its first line (the one the preview leaves readable). The field's text is set by
// the thread that computes, hence its lock.
std::string RunText;
std::mutex FieldMutex;
std::string FieldText;
bool FieldTextChanged = false;

// Every image due: its field's range, or that it is flat and autoscale shows its noise.
void NoteImageRange(void *, const ReaDifSimulation::ImageRange &range) {
    const double spread = range.Max - range.Min;
    char text[TmpStrSize];
    if (ReaDifSimulation::IsUniformRange(range.Min, range.Max) && MainRDSim.ImageScale == 0.0) {
        std::snprintf(text, sizeof text, GST.Get(MsgRunFieldUniform), range.Letter,
                      static_cast<int>(range.Time), spread);
    } else {
        std::snprintf(text, sizeof text, GST.Get(MsgRunFieldRange), range.Letter,
                      static_cast<int>(range.Time), range.Min, range.Max);
    }
    std::lock_guard<std::mutex> lock(FieldMutex);
    FieldText = text;
    FieldTextChanged = true;
}

bool FieldTextIsNew() {
    std::lock_guard<std::mutex> lock(FieldMutex);
    return FieldTextChanged;
}

// The run text with the last image's field after the seed.
void ShowFieldText() {
    std::string text = RunText;
    const size_t lineEnd = std::min(text.find('\n'), text.size());
    {
        std::lock_guard<std::mutex> lock(FieldMutex);
        text.insert(lineEnd, " " + FieldText);
        FieldTextChanged = false;
    }
    ThePlatform->SetEditorText(text.c_str());
}

// The window in its run state: run menus, a grey read-only editor showing the seed, focus on the
// main window so that its keys and clicks reach the procedure.
void EnterRunState() {
    RunFlag = 1;
    MessageFlag = 0;
    ResultShown = 0;
    ResultReady = false;
    SetRunMenus();
    ThePlatform->DrawMenuBar();
    ThePlatform->ShowEditorScrollBars(false);
    ThePlatform->SetEditorReadOnly(true);
    ThePlatform->SetEditorBackground(EditorBackgroundRun);
    std::snprintf(TmpStr, sizeof TmpStr, GST.Get(MsgRunInProgress),
                  static_cast<unsigned>(MainRandom.GetSeed()));
    std::string text = TmpStr;
    AppendWarnings(text);
    ThePlatform->SetEditorText(text.c_str());
    RunText = text;
    {
        std::lock_guard<std::mutex> lock(FieldMutex);
        FieldText.clear();
        FieldTextChanged = false;
    }
    MainRDSim.SetImageRangeHook(&NoteImageRange, nullptr);
    ThePlatform->SetTitle("Vorna  0%");
    ThePlatform->SetFocus(WindowId::Main);
}

// One box for all the images of the round that could not be written: how many, and the last
// one's name and cause. true when there were any.
bool ReportFailedImages() {
    if (MainRDSim.ImagesFailed == 0) {
        return false;
    }
    char head[160];
    std::snprintf(head, sizeof head, GST.Get(MsgImagesNotWritten),
                  static_cast<int>(MainRDSim.ImagesFailed));
    FileFault fault;
    fault.Error = MainRDSim.LastImageErrno;
    const std::string text = FaultReport(head, MainRDSim.FailedImageName, fault);
    ThePlatform->MessageBox(true, text.c_str(), GST.Get(MsgCaptionError), SystemErrorBox);
    return true;
}

// Record movie: the movie of the round ended, and a box when it could not be written.
void ReportFailedMovie() {
    int64_t frames = 0;
    const int error = ThePlatform->FinishRunMovie(frames);
    if (error == 0) return;
    FileFault fault;
    fault.Error = error;
    const std::string text =
        FaultReport(GetDesktopText(DesktopText::MovieFailed), RunMoviePath.c_str(), fault);
    ThePlatform->MessageBox(true, text.c_str(), GST.Get(MsgCaptionError), SystemErrorBox);
}

// The share of the run done at time.
int Percent(int32_t time) {
    if (MainRDSim.EndTime <= 0) {
        return 100;
    }
    return static_cast<int>(static_cast<double>(time) * 100.0 /
                            static_cast<double>(MainRDSim.EndTime));
}

// Slices and previews are paced as the worker paces them.
constexpr double SliceSeconds = RunWorker::SliceSeconds;
constexpr double FrameSeconds = RunWorker::FrameSeconds;

// The progress title: "Vorna p% M.mMps Iips" with figures, the percentage alone without (its
// figures truncated, as the counter of a meter would show them).
const char *ProgressTitle(int percent, const RunSpeed::Figures *figures) {
    if (figures == nullptr) {
        std::snprintf(TmpStr, sizeof TmpStr, "Vorna %2d%%", percent);
    } else {
        TmpValue = static_cast<float>(figures->MPointsPerSecond);
        const int whole = static_cast<int>(TmpValue);
        const int tenth = static_cast<int>((TmpValue - static_cast<float>(whole)) * 10);
        std::snprintf(TmpStr, sizeof TmpStr, "Vorna %2d%% %2d.%01dMps %3dips", percent, whole,
                      tenth, static_cast<int>(figures->IterationsPerSecond));
    }
    return TmpStr;
}

void ShowProgressTitle(int percent, const RunSpeed::Figures *figures) {
    ThePlatform->SetTitle(ProgressTitle(percent, figures));
}

int64_t RefreshRate() { return DisplayRefreshRate < 1 ? 1 : DisplayRefreshRate; }

// The iteration whose preview is due next: every refresh-rate iterations from the last preview,
// from the start at the first.
int64_t NextPreview() { return (LastDisplayPreview < 0 ? 0 : LastDisplayPreview) + RefreshRate(); }

// A preview is due after this slice: at its iteration, or asked for by a repaint.
bool PreviewDue() { return LastDisplayPreview == 0 || MainRDSim.CurrentTime >= NextPreview(); }

int32_t PreviewSliceSize(int32_t n, bool frameDue) {
    return RunWorker::PreviewSliceSize(n, frameDue, MainRDSim.CurrentTime, MainRDSim.EndTime,
                                       RefreshRate(), LastDisplayPreview);
}

// Slices until the end, a Break or a close request; after each slice the preview and the title
// are refreshed when due and the window's messages are pumped. Slices are sized by time from the
// first one's iteration count; a due preview is drawn when the screen can show it, or skipped.
void SliceLoop() {
    SlicePacer pacer(MainRDSim.EndTime, SliceSeconds, BasicRunSteps);
    double lastFrame = 0.0;  // when the last preview was drawn, once framed
    bool framed = false;
    while (StopFlag == 0) {
        const bool minimized = ThePlatform->IsMinimized();
        const double before = ThePlatform->Seconds();
        const bool frameDue = !framed || before - lastFrame >= FrameSeconds;
        CurrentRunSteps = DisplayMode != 0 && !minimized ? PreviewSliceSize(pacer.Next(), frameDue)
                                                         : pacer.Next();
        const bool paused = PauseFlag == 1;
        int64_t ran = 0;
        RunSliceHooks.ApplyPendingChanges(MainRDSim);
        if (paused) {
            ThePlatform->Sleep(100);
        } else {
            const int64_t start = MainRDSim.CurrentTime;
            if (MainRDSim.RunSimulation(CurrentRunSteps) != ReaDifSimulation::RunResult::Ran) {
                break;
            }
            ran = MainRDSim.CurrentTime - start;
            pacer.Record(static_cast<int32_t>(ran), ThePlatform->Seconds() - before);
        }
        if (MainRDSim.ErrorStatus == ReaDifSimulation::StatusOverflow) {
            break;
        }
        if (!ThePlatform->IsMinimized() && DisplayMode > 0 && PreviewDue()) {
            // Asked for by a repaint, the run's last, or one the screen can show now.
            const double now = ThePlatform->Seconds();
            const bool draw = LastDisplayPreview == 0 ||
                              MainRDSim.CurrentTime + RefreshRate() > MainRDSim.EndTime ||
                              !framed || now - lastFrame >= FrameSeconds;
            LastDisplayPreview = MainRDSim.CurrentTime;
            if (draw) {
                lastFrame = now;
                framed = true;
                // New text first: the editor drawn afresh, then the preview over it.
                if (FieldTextIsNew()) ShowFieldText();
                GenImage3D *image = MainRDSim.GetPreviewImage(DisplayColorMap, DisplayColors16M);
                if (image != nullptr) {
                    FastDisplay(WindowId::Main, *image, MainRDSim.CurrentTime);
                }
            }
        }
        // Without a preview over it, the text changes as soon as an image falls due.
        if (FieldTextIsNew() && (DisplayMode == 0 || ThePlatform->IsMinimized())) ShowFieldText();
        // Running time: the slice and its preview, up to the pump, where boxes stay open.
        if (!paused) {
            Speed.Add(ran, ThePlatform->Seconds() - before);
        }
        const int p = Percent(MainRDSim.CurrentTime);
        if (PauseFlag == 1) {
            std::snprintf(TmpStr, sizeof TmpStr, "Vorna %2d%% (pause)", p);
            ThePlatform->SetTitle(TmpStr);
        } else if (MainRDSim.CurrentTime - LastDisplayInfoTime > BasicRunSteps + 12) {
            LastDisplayInfoTime = MainRDSim.CurrentTime;
            RunSpeed::Figures figures;
            const bool measured = Speed.Current(figures);
            ShowProgressTitle(p, measured ? &figures : nullptr);
            if (measured && ThePlatform->IsMinimized()) {
                ThePlatform->RepaintFrame();
            }
        }
        ThePlatform->PumpMessages();
    }
}

// The worker of the run computing now; null when none computes on a thread.
RunWorker *ActiveWorker = nullptr;

// What the window asks of the worker now. A preview asked for (LastDisplayPreview 0) is handed
// over once; the frame that answers it sets LastDisplayPreview again.
RunWorker::Controls WindowControls() {
    RunWorker::Controls controls;
    controls.Paused = PauseFlag == 1;
    controls.Stop = StopFlag != 0;
    controls.Previews = DisplayMode > 0 && !ThePlatform->IsMinimized();
    controls.PreviewAsked = LastDisplayPreview == 0;
    controls.RefreshRate = static_cast<int32_t>(RefreshRate());
    controls.ShowColorMap = DisplayColorMap;
    controls.TrueColor = DisplayColors16M;
    controls.SharedView = TheExplorer.IsOpen();
    if (LastDisplayPreview == 0) LastDisplayPreview = -1;
    return controls;
}

// The slice loop of a screen: the worker computes the slices; this thread waits for its frames
// at most a frame's time, draws the newest, shows the title and pumps the messages, until the
// worker has ended (at the run's end, a failure, or Break or a close passed on as Stop).
void WorkerSliceLoop() {
    RunWorker worker;
    ActiveWorker = &worker;
    worker.Start(MainRDSim, RunSliceHooks, BasicRunSteps, MainRDSim.Components[0]->GetPixelCount(),
                 WindowControls());
    // The title is set only when its text changes: the loop turns at the screen's pace.
    std::string shownTitle;
    for (;;) {
        worker.Wait(FrameSeconds);
        const RunWorker::Progress progress = worker.GetProgress();
        const bool previews = DisplayMode > 0 && !ThePlatform->IsMinimized();
        // A frame drawn costs its drawing here and the window system's painting in the pump.
        double drawingStart = -1.0;
        if (PreviewFrame *frame = worker.TakeFrame(); frame != nullptr && previews) {
            drawingStart = RunWorker::Now();
            LastDisplayPreview = frame->Time() > 0 ? frame->Time() : -1;
            // New text first: the editor drawn afresh, then the preview over it.
            if (FieldTextIsNew()) ShowFieldText();
            FastDisplay(WindowId::Main, *frame->Picture(), frame->Time());
        }
        if (FieldTextIsNew() && !previews) ShowFieldText();
        const int p = Percent(progress.Time);
        if (PauseFlag == 1) {
            std::snprintf(TmpStr, sizeof TmpStr, "Vorna %2d%% (pause)", p);
        } else {
            ProgressTitle(p, progress.Measured ? &progress.Speed : nullptr);
        }
        if (shownTitle != TmpStr) {
            shownTitle = TmpStr;
            ThePlatform->SetTitle(TmpStr);
            if (progress.Measured && ThePlatform->IsMinimized()) {
                ThePlatform->RepaintFrame();
            }
        }
        if (progress.Ended) {
            break;
        }
        ThePlatform->PumpMessages();
        if (drawingStart >= 0.0) worker.NoteDrawing(RunWorker::Now() - drawingStart);
        worker.SetControls(WindowControls());
    }
    worker.Join();
    ActiveWorker = nullptr;
    Speed = worker.Speed();
}

// Parses, asks about disk space, runs and reports, round after round while looping; returns for
// the restore.
void Rounds() {
    bool firstRound = true;
    uint32_t lastSeed = 0;
    for (;;) {
        // Parse the saved script, with a fresh seed in loop mode. Only a regular text file is
        // read (a FIFO would hang the window) and rewritten; anything else is left alone.
        FileFault fault;
        if (CheckTextFile(CurParamFileName, fault) != FileCheckDone) {
            ParamFlag = ScriptParser::FileError;
        } else {
            AtomicFileWriter::ForgetLastFailure();
            ParamFlag = MainRDSim.SetParametersFromFile(CurParamFileName, ErrorPosition,
                                                        LoopFlag != 0 ? 1 : 0);
            // The cause of a rewrite that could not be written.
            fault.Error = AtomicFileWriter::LastFailure();
        }
        if (ParamFlag == ScriptParser::FileError) {
            LoopFlag = 0;
            // The parser's other refusals (a script its buffers cannot hold) bring no cause here.
            const std::string text =
                fault.Error != 0 ? FaultReport(GST.Get(MsgScriptUnusable), CurParamFileName, fault)
                                 : std::string(GST.Get(MsgScriptUnusable));
            ThePlatform->MessageBox(true, text.c_str(), GST.Get(MsgCaptionError), SystemErrorBox);
            return;
        }
        if (ParamFlag == ScriptParser::Rejected) {
            LoopFlag = 0;
            SystemModalError(MsgScriptHasErrors);
            return;
        }
        if (MainRDSim.ErrorStatus == ReaDifSimulation::StatusAllocationFailed) {
            LoopFlag = 0;
            SystemModalError(MsgNoMemory);
            return;
        }
        // The clock gives the loop's seeds in whole seconds: a round that follows within the
        // same second takes the next seed, so that every round grows a new texture.
        if (LoopFlag != 0 && !firstRound && MainRandom.GetSeed() == lastSeed) {
            MainRandom.Randomize(NextLoopSeed(lastSeed));
        }
        firstRound = false;
        lastSeed = MainRandom.GetSeed();
        // Every loop round keeps its own images, named after its seed as the command line names
        // them: script_s1234_A004000.bmp.
        if (LoopFlag != 0) {
            char suffix[24];
            std::snprintf(suffix, sizeof suffix, "_s%u", static_cast<unsigned>(lastSeed));
            if (MainRDSim.FileBaseName.Append(suffix) != ProcString::Done) {
                LoopFlag = 0;
                const std::string text = std::string(GetDesktopText(DesktopText::LoopNameTooLong)) +
                                         "\n" + CurParamFileName;
                ThePlatform->MessageBox(true, text.c_str(), GST.Get(MsgCaptionError),
                                        SystemErrorBox);
                return;
            }
        }
        // Disk space of the images to come: asked once per Run or loop, not every round.
        TmpIntValue = MainRDSim.EvalSaveImageDiskSpace();
        if (TmpIntValue >= 10 && LoopFlag != 1) {
            std::snprintf(TmpStr, sizeof TmpStr, GST.Get(MsgDiskSpaceAsk), TmpIntValue);
            if (ThePlatform->MessageBox(true, TmpStr, GST.Get(MsgCaptionDiskSpace),
                                        Platform::BoxIconInformation | Platform::BoxOkCancel) ==
                Platform::AnswerCancel) {
                LoopFlag = 0;
                return;
            }
        }
        if (CloseFlag == 1) {
            // Closed while the question was open: no run.
            LoopFlag = 0;
            return;
        }
        if (LoopFlag == 2) {
            LoopFlag = 1;
        }
        EnterRunState();
        // Fields that could not be sized stay in their error state: the first slice is then
        // refused and the round ends with its message.
        (void)MainRDSim.Initialize();
        BasicRunSteps = ReaDifSimulation::SliceSize(MainRDSim.ComponentCount,
                                                    MainRDSim.Components[0]->GetPixelCount());
        LastDisplayInfoTime = 0;
        LastDisplayPreview = -1;
        InitDisplayDone = 0;
        Speed.Start(MainRDSim.Components[0]->GetPixelCount());
        // Record movie: from the starting field on (a loop's rounds write over one movie).
        if (!RunMoviePath.empty()) ThePlatform->StartRunMovie(RunMoviePath.c_str());
        if (ThePlatform->ComputesOnWorkerThread()) {
            WorkerSliceLoop();
        } else {
            SliceLoop();
        }
        // The images still being written belong to the round: their failures are reported with it.
        MainRDSim.FinishImages();
        ReportFailedMovie();
        ResultReady = MainRDSim.ErrorStatus != ReaDifSimulation::StatusOverflow;
        // Report how the round ended: stopped, failed or finished; images that could not be
        // written first, in one box, so that no round ends as if they were there.
        MessageFlag = 1;
        const bool imagesFailed = ReportFailedImages();
        if (StopFlag == 1) {
            // The script keeps the seed of the loop round stopped on: Run grows it again.
            if (FileFault seedFault;
                LoopFlag == 1 && KeepLoopSeed(CurParamFileName, lastSeed, seedFault) != FileDone) {
                FileErrorBox(MsgScriptNotWritten, CurParamFileName, seedFault);
            }
            LoopFlag = 0;
            ThePlatform->SetTitle(GST.Get(MsgTitleStopped));
            std::snprintf(TmpStr, sizeof TmpStr, GST.Get(MsgRunStopped),
                          static_cast<int>(MainRDSim.CurrentTime));
            ThePlatform->MessageBox(true, TmpStr, "Vorna",
                                    Platform::BoxIconExclamation | Platform::BoxSystemModal);
            StopFlag = 0;
            if (CloseFlag == 1) {
                // The window closes after the restore, once the explorer's record is settled.
                return;
            }
        } else if (MainRDSim.ErrorStatus == ReaDifSimulation::StatusOverflow) {
            LoopFlag = 0;
            std::snprintf(TmpStr, sizeof TmpStr, GST.Get(MsgTitleOverflow),
                          static_cast<int>(MainRDSim.CurrentTime));
            ThePlatform->SetTitle(TmpStr);
            ThePlatform->MessageBox(true, GST.Get(MsgOverflow), GST.Get(MsgTitleStopped),
                                    SystemErrorBox);
        } else {
            // The round's average stays in the title while its box is open.
            RunSpeed::Figures average;
            ShowProgressTitle(100, Speed.Average(average) ? &average : nullptr);
            if (imagesFailed) {
                // The box said it: a message that the images are saved would be wrong.
            } else if (LoopFlag == 0) {
                ThePlatform->MessageBox(true, GST.Get(MsgRunFinished), "Vorna",
                                        Platform::BoxIconInformation | Platform::BoxSystemModal);
            } else {
                ThePlatform->Sleep(500);
            }
        }
        if (LoopFlag == 0) {
            return;
        }
    }
}

}  // namespace

void HoldRun() {
    if (ActiveWorker != nullptr) ActiveWorker->Hold();
}

void ReleaseRun() {
    if (ActiveWorker != nullptr) ActiveWorker->Release();
}

bool RunOnWorker() { return ActiveWorker != nullptr; }

void SetRunMenus() {
    ThePlatform->EnableBarEntry(MenuBar::Parameters, false);
    ThePlatform->EnableMenuItem(MenuBar::Edition, 0, false);
    ThePlatform->EnableMenuItem(MenuBar::Edition, 2, false);
    ThePlatform->EnableMenuItem(MenuBar::Edition, 4, false);
    ThePlatform->EnableMenuItem(MenuBar::Texture, 0, false);
    ThePlatform->EnableMenuItem(MenuBar::Texture, 1, false);
    ThePlatform->EnableMenuItem(MenuBar::Texture, 2, true);
    ThePlatform->EnableMenuItem(MenuBar::Texture, 3, true);
    ThePlatform->EnableMenuItem(MenuBar::Texture, 5, true);
    ThePlatform->EnableMenuItem(MenuBar::Texture, 7, false);
    ThePlatform->EnableMenuItem(MenuBar::Texture, TextureItem::RecordMovie, false);
    ThePlatform->EnableBarEntry(MenuBar::Preferences, false);
    ThePlatform->EnableMenuItem(MenuBar::Aide, 0, false);
}

void SetIdleMenus() {
    ThePlatform->EnableBarEntry(MenuBar::Parameters, true);
    ThePlatform->EnableMenuItem(MenuBar::Edition, 0, true);
    ThePlatform->EnableMenuItem(MenuBar::Edition, 2, true);
    ThePlatform->EnableMenuItem(MenuBar::Edition, 4, true);
    ThePlatform->EnableMenuItem(MenuBar::Texture, 0, true);
    ThePlatform->EnableMenuItem(MenuBar::Texture, 1, true);
    ThePlatform->EnableMenuItem(MenuBar::Texture, 2, false);
    ThePlatform->CheckMenuItem(MenuBar::Texture, TextureItem::Pause, false);
    ThePlatform->EnableMenuItem(MenuBar::Texture, 3, false);
    ThePlatform->EnableMenuItem(MenuBar::Texture, 5, false);
    ThePlatform->EnableMenuItem(MenuBar::Texture, 7, true);
    ThePlatform->EnableMenuItem(MenuBar::Texture, TextureItem::RecordMovie, true);
    ThePlatform->EnableBarEntry(MenuBar::Preferences, true);
    ThePlatform->EnableMenuItem(MenuBar::Aide, 0, true);
}

void RunSequence() {
    SequenceActive = 1;
    ResultReady = false;
    // The run reads the script from its file: save the editor first (only when its text differs
    // from the file's, which otherwise keeps its modification time), under a new name when the
    // script has none yet.
    if (CurParamFileName[0] != 0) {
        FileFault fault;
        if (SaveChangedFile(WindowId::Editor, CurParamFileName, &fault) != FileDone) {
            FileErrorBox(MsgScriptNotWritten, CurParamFileName, fault);
            LoopFlag = 0;
            SequenceActive = 0;
            return;
        }
    } else if (DoFileOpenSave(WindowId::Main, 1) != FileDone) {
        LoopFlag = 0;
        SequenceActive = 0;
        return;
    }
    if (CloseFlag == 1) {
        // Closed while the save dialog was open.
        SequenceActive = 0;
        StopFlag = 0;
        ThePlatform->DestroyMainWindow();
        return;
    }
    SavedText = ThePlatform->GetEditorText();
    // Remember the selection for the restore, and hide the caret while the editor shows the run.
    ThePlatform->GetEditorSelection(CarretTextIndex1, CarretTextIndex2);
    ThePlatform->ShowEditorCaret(false);
    Rounds();
    SequenceActive = 0;
    Restore();
    if (CloseFlag == 1) {
        // Closed during the run or while a box of the sequence was open. The explorer's record
        // goes into the script first: leaving must not lose the changes made during the run, so
        // the user is asked as for any unsaved edit (Cancel keeps the window).
        StopFlag = 0;
        CloseFlag = 0;
        TheExplorer.Poll();
        if (ConfirmDiscard()) ThePlatform->DestroyMainWindow();
    }
}
