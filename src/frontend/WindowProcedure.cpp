// Window procedure: during a run it is re-entered from the run's message pump; the handlers then
// only set flags or do things that leave the run alone, and the run menus gray the others.
#include "frontend/WindowProcedure.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "frontend/DesktopTexts.h"
#include "frontend/FrontEndGlobals.h"
#include "frontend/MenuResources.h"
#include "frontend/ParameterFiles.h"
#include "frontend/PreviewDisplay.h"
#include "frontend/ProgramPaths.h"
#include "frontend/RunSequence.h"
#include "platform/Platform.h"
#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MessageIds.h"
#include "toolkit/StringTable.h"

namespace {

void CheckTexture(int item, bool check) {
    ThePlatform->CheckMenuItem(MenuBar::Texture, item, check);
}

// A file dropped on the window is opened as Open would, once unsaved edits are settled; a run
// leaves the editor alone.
void OnDropFiles() {
    if (RunFlag == 1 || SequenceActive == 1) {
        return;
    }
    const std::string path = ThePlatform->DroppedFile();
    if (path.empty()) {
        return;
    }
    EndColorMapView();
    if (ConfirmDiscard()) {
        (void)OpenScript(path.c_str());
    }
}

void OnCreate() {
    ThePlatform->SetEditorTabStops(TabVal);
    ThePlatform->SetEditorBackground(EditorBackgroundIdle);
    FileFault fault;
    if (CurParamFileName[0] != 0) {
        if (LoadFile(WindowId::Editor, CurParamFileName, &fault) == FileDone) {
            SetCurWindowTitleFromPath(CurParamFileName);
            ThePlatform->SetTitle(CurWindowTitle);
        } else {
            // The empty editor must never be saved over the file that could not be loaded.
            FileErrorBox(MsgFileNotLoaded, CurParamFileName, fault);
            CurParamFileName[0] = 0;
        }
    }
    UpdateCheckedOptions(TextureItem::FirstMode);
}

void OnDestroy() {
    std::snprintf(TmpStr, sizeof TmpStr, "%s", GetSettingsPath());
    ThePlatform->WriteSetting(TmpStr, "Locale", "language",
                              GST.GetCurrentLanguage() == 1 ? "french" : "english");
    ReleaseDisplay();
    ThePlatform->PostQuit(0);
}

void OnSize(uint32_t wParam, uint32_t lParam) {
    if (wParam == WindowMessage::SizeMinimized) {
        return;
    }
    ThePlatform->MoveEditor(static_cast<int>(lParam & 0xFFFF), static_cast<int>(lParam >> 16));
    if (RunFlag == 1) {
        ThePlatform->ShowEditorScrollBars(false);
        LastDisplayPreview = 0;
    } else if (ResultShown == 1) {
        // The moved editor was drawn afresh: the last run's frame goes back over it.
        if (GenImage3D *image = MainRDSim.GetPreviewImage(DisplayColorMap, DisplayColors16M)) {
            DisplayResult(WindowId::Main, *image);
        }
    }
}

void OnPaint() {
    if (RunFlag != 1) {
        return;
    }
    if (MessageFlag == 1 && !ThePlatform->IsMinimized() && DisplayMode > 0) {
        GenImage3D *image = MainRDSim.GetPreviewImage(DisplayColorMap, DisplayColors16M);
        if (image != nullptr) {
            FastDisplay(WindowId::Main, *image, MainRDSim.CurrentTime);
        }
    } else {
        LastDisplayPreview = 0;
    }
}

void OnClose() {
    if (RunFlag == 1 || SequenceActive == 1) {
        // The run (or the sequence waiting in one of its boxes) ends first, then closes.
        StopFlag = 1;
        CloseFlag = 1;
    } else if (ConfirmDiscard()) {
        ThePlatform->DestroyMainWindow();
    }
}

void SetPreviewMode(int mode) {
    CheckTexture(TextureItem::FirstMode + DisplayMode, false);
    DisplayMode = mode;
    CheckTexture(TextureItem::FirstMode + DisplayMode, true);
}

void OnCommand(int id) {
    switch (id) {
        case MenuCommand::New:
            if (!ConfirmDiscard()) {
                break;
            }
            // An installed program falls back on its own new.tpl when the working folder has none.
            if (LoadFile(WindowId::Editor, "new.tpl") != FileDone &&
                (InstalledTemplatePath("new.tpl") == nullptr ||
                 LoadFile(WindowId::Editor, InstalledTemplatePath("new.tpl")) != FileDone)) {
                ThePlatform->SetEditorText("");
                ResultShown = 0;
            }
            CurParamFileName[0] = 0;
            ThePlatform->SetTitle(GST.Get(MsgTitleNewScript));
            break;
        case MenuCommand::Open:
            if (ConfirmDiscard()) {
                DoFileOpenSave(WindowId::Main, 0);
            }
            break;
        case MenuCommand::Save:
            (void)SaveScript();
            break;
        case MenuCommand::SaveAs:
            DoFileOpenSave(WindowId::Main, 1);
            break;
        case MenuCommand::Undo:
            ThePlatform->EditorUndo();
            break;
        case MenuCommand::Cut:
            ThePlatform->EditorCut();
            break;
        case MenuCommand::Copy:
            ThePlatform->EditorCopy();
            break;
        case MenuCommand::Paste:
            ThePlatform->EditorPaste();
            break;
        case MenuCommand::Run:
            RunSequence();
            break;
        case MenuCommand::LoopRandSeed:
            LoopFlag = 2;
            RunSequence();
            break;
        case MenuCommand::Pause:
            if (PauseFlag == 0) {
                PauseFlag = 1;
                LastDisplayInfoTime = 0;
                LastDisplayPreview = 0;
                CheckTexture(TextureItem::Pause, true);
            } else {
                PauseFlag = 0;
                CheckTexture(TextureItem::Pause, false);
            }
            break;
        case MenuCommand::Break:
            StopFlag = 1;
            break;
        case MenuCommand::CaptureBMP:
            // The simulation stands still at a slice boundary while it is saved and its box
            // is open (a repaint under the box draws it).
            HoldRun();
            // Said written only once it is (images may be written in the background).
            if (const int32_t failed = MainRDSim.ImagesFailed;
                MainRDSim.SaveImage2D(0) == GenImage3D::Done &&
                (MainRDSim.FinishImages(), MainRDSim.ImagesFailed == failed)) {
                std::snprintf(TmpStr, sizeof TmpStr, GST.Get(MsgImageCaptured),
                              static_cast<int>(MainRDSim.CurrentTime), MainRDSim.ImageFileName);
                MessageFlag = 1;
                ThePlatform->MessageBox(true, TmpStr, "Vorna Capture BMP",
                                        Platform::BoxIconInformation);
                MessageFlag = 0;
            } else {
                FileFault fault;
                fault.Error = MainRDSim.LastImageErrno;
                const std::string text =
                    FaultReport(GST.Get(MsgImageNotWritten), MainRDSim.FailedImageName, fault);
                MessageFlag = 1;
                ThePlatform->MessageBox(true, text.c_str(), GST.Get(MsgCaptionError),
                                        Platform::BoxIconExclamation);
                MessageFlag = 0;
            }
            ReleaseRun();
            break;
        case MenuCommand::TestColorMap:
            if (CheckColorMap(WindowId::Main, WindowId::Editor) == FileDone) {
                ThePlatform->GetEditorSelection(CarretTextIndex1, CarretTextIndex2);
                ThePlatform->SetEditorReadOnly(true);
                ThePlatform->SetFocus(WindowId::Main);
                ThePlatform->CaptureMouse(true);
                CheckColorMapFlag = 1;
                ResultShown = 0;  // drawn over, and wiped when the view ends
            }
            break;
        case MenuCommand::RecordMovie:
            // A second choice stops the movies; the first asks where they go.
            if (RunMoviePath.empty()) {
                std::string path;
                if (ThePlatform->FileDialog(true, GetDesktopText(DesktopText::MovieFiles),
                                            "*.mp4 *.webp *.gif", ".", "mp4", path, 4096)) {
                    RunMoviePath = path;
                }
            } else {
                RunMoviePath.clear();
            }
            CheckTexture(TextureItem::RecordMovie, !RunMoviePath.empty());
            break;
        case MenuCommand::Explorer:
            ThePlatform->ShowExplorer();
            break;
        case MenuCommand::PreviewInactive:
            if (ResultShown == 1) {
                ResultShown = 0;
                ThePlatform->InvalidateEditor();
            }
            SetPreviewMode(0);
            break;
        case MenuCommand::PreviewNormal:
            LastDisplayPreview = 0;
            if (DisplayMode == 2) {
                ThePlatform->InvalidateEditor();
            }
            SetPreviewMode(1);
            break;
        case MenuCommand::PreviewTile:
            LastDisplayPreview = 0;
            SetPreviewMode(2);
            break;
        case MenuCommand::PreviewAlbum:
            LastDisplayPreview = 0;
            if (DisplayMode == 2) {
                ThePlatform->InvalidateEditor();
            }
            SetPreviewMode(3);
            DisplaySequencePosX = DisplaySequencePosY = 0;
            break;
        case MenuCommand::Colors16M:
            LastDisplayPreview = 0;
            DisplayColors16M = DisplayColors16M == 0 ? 1 : 0;
            InitDisplayDone = 0;
            CheckTexture(TextureItem::Colors16M, DisplayColors16M == 1);
            break;
        case MenuCommand::ShowColorMap:
            LastDisplayPreview = 0;
            DisplayColorMap = DisplayColorMap == 0 ? 1 : 0;
            CheckTexture(TextureItem::ShowColorMap, DisplayColorMap == 1);
            break;
        case MenuCommand::ShowCounter:
            LastDisplayPreview = 0;
            DisplayCounter = DisplayCounter == 0 ? 1 : 0;
            CheckTexture(TextureItem::ShowCounter, DisplayCounter == 1);
            break;
        case MenuCommand::ParametersExample:
            if (!ConfirmDiscard()) {
                break;
            }
            if (FileFault fault;
                LoadFile(WindowId::Editor, GetRootFilePath("exemple.tpl"), &fault) != FileDone) {
                FileErrorBox(MsgExampleNotLoaded, GetRootFilePath("exemple.tpl"), fault);
            } else {
                ThePlatform->SetTitle(GST.Get(MsgTitleExample));
                CurParamFileName[0] = 0;
            }
            break;
        case MenuCommand::About: {
            std::string text = GST.Get(MsgAboutText);
            std::snprintf(TmpStr, sizeof TmpStr, GetDesktopText(DesktopText::Version),
                          VORNA_VERSION);
            text = text + "\n\n" + TmpStr;
            ThePlatform->MessageBox(true, text.c_str(), GST.Get(MsgCaptionAbout),
                                    Platform::BoxIconInformation);
            break;
        }
        case MenuCommand::French:
            if (GST.GetCurrentLanguage() != 1) {
                SwitchLanguage(1);
            }
            break;
        case MenuCommand::English:
            if (GST.GetCurrentLanguage() != 0) {
                SwitchLanguage(0);
            }
            break;
        case MenuCommand::Quit:
            // The preview bitmap lives until the window is destroyed, so that a run still
            // drawing before it sees the close request draws into a valid bitmap.
            ThePlatform->PostCloseRequest();
            break;
        default:
            if (id >= MenuCommand::Refresh1 && id <= MenuCommand::Refresh1000) {
                LastDisplayPreview = 0;
                CheckTexture(TextureItem::FirstRefresh + DisplayRefreshLevel, false);
                DisplayRefreshLevel = id - MenuCommand::Refresh1;
                CheckTexture(TextureItem::FirstRefresh + DisplayRefreshLevel, true);
                DisplayRefreshRate = TDisplayRefreshRates[DisplayRefreshLevel];
            }
            break;
    }
}

}  // namespace

bool ConfirmDiscard() {
    if (!ThePlatform->IsEditorModified()) {
        return true;
    }
    const int answer =
        ThePlatform->MessageBox(true, GetDesktopText(DesktopText::UnsavedAsk), "Vorna",
                                Platform::BoxSaveDiscardCancel | Platform::BoxIconExclamation);
    if (answer == Platform::AnswerDiscard) {
        return true;
    }
    return answer == Platform::AnswerSave && SaveScript() == FileDone;
}

void UpdateCheckedOptions(int base) {
    // base is where the preview modes start; the other items keep their distance from them.
    auto at = [base](int item) { return base + item - TextureItem::FirstMode; };
    CheckTexture(base + DisplayMode, true);
    CheckTexture(at(TextureItem::FirstRefresh) + DisplayRefreshLevel, true);
    CheckTexture(at(TextureItem::Colors16M), DisplayColors16M == 1);
    CheckTexture(at(TextureItem::ShowColorMap), DisplayColorMap == 1);
    CheckTexture(at(TextureItem::ShowCounter), DisplayCounter == 1);
}

void SwitchLanguage(int language) {
    ThePlatform->SetMenu(language == 1 ? MainMenuFr : MainMenuEn);
    (void)GST.SetLanguage(language);  // the menu commands give 0 or 1 only
    ThePlatform->SetLanguage(language);
    UpdateCheckedOptions(TextureItem::FirstMode);
    ThePlatform->DrawMenuBar();
}

void EndColorMapView() {
    if (CheckColorMapFlag != 1) {
        return;
    }
    ThePlatform->SetTitle(CurWindowTitle);
    ThePlatform->SetEditorReadOnly(false);
    ThePlatform->SetFocus(WindowId::Editor);
    ThePlatform->InvalidateEditor();
    ThePlatform->ShowEditorCaret(true);
    ThePlatform->SetEditorSelection(CarretTextIndex1, CarretTextIndex1);
    ThePlatform->ScrollCaretIntoView();
    CheckColorMapFlag = 0;
    ThePlatform->CaptureMouse(false);
}

int WndProc(int message, uint32_t wParam, uint32_t lParam) {
    switch (message) {
        case WindowMessage::Create:
            OnCreate();
            break;
        case WindowMessage::Destroy:
            OnDestroy();
            break;
        case WindowMessage::Size:
            OnSize(wParam, lParam);
            break;
        case WindowMessage::Paint:
            OnPaint();
            break;
        case WindowMessage::Close:
            OnClose();
            break;
        case WindowMessage::KeyDown:
        case WindowMessage::LButtonDown:
            // A key pressed while the map is shown ends it; the release of the key that
            // opened it (a menu's access key, Return) must not.
            EndColorMapView();
            // The last run's frame stays until the user works on the script again.
            if (ResultShown == 1 && RunFlag != 1) {
                ResultShown = 0;
                ThePlatform->InvalidateEditor();
            }
            break;
        case WindowMessage::DropFiles:
            OnDropFiles();
            break;
        case WindowMessage::Command:
            OnCommand(static_cast<int>(wParam & 0xFFFF));
            break;
        default:
            break;
    }
    return 0;
}
