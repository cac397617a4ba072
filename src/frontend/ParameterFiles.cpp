// Parameter files: scripts are plain 8-bit text stored byte for byte; saves never truncate the
// old file before the new content is safely on disk.
#include "frontend/ParameterFiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "frontend/DesktopTexts.h"
#include "frontend/FrontEndGlobals.h"
#include "frontend/PreviewDisplay.h"
#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/EditorText.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MessageIds.h"
#include "toolkit/ProcString.h"
#include "toolkit/StringTable.h"

namespace {

constexpr int FilterDescriptionSize = 64 - 16;  // room left in the filter by " (*.vna)" etc.

// Error text of the last colour-map test and the copy of the editor's text it scans; made on
// first use, kept until the process ends.
ProcString *ColorMapErrorMsg = nullptr;
ProcString *EditText = nullptr;

// 0 when the folder that would hold path exists; else the errno that says why not.
int MissingFolder(const std::string &path) {
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    struct stat info;
    if (stat(folder.c_str(), &info) != 0) {
        return errno;
    }
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

}  // namespace

FileResult LoadFile(WindowId window, const char *path, FileFault *fault) {
    FileFault local;
    FileFault &cause = fault != nullptr ? *fault : local;
    cause = FileFault{};
    if (path == nullptr || window != WindowId::Editor) {
        cause.Error = ENOENT;
        return FileFailed;
    }
    // A zero byte means the file is no script (a binary file): the editor could hold only the
    // text before it, and saving would then cut the file short, so it is not loaded at all.
    // The file is opened without waiting, so a FIFO does not hang the window.
    std::string text;
    if (ReadTextFile(path, MaxScriptFileBytes, text, cause) != FileCheckDone) {
        return FileFailed;
    }
    if (!ThePlatform->SetEditorText(text.c_str())) {
        return FileFailed;
    }
    // The new text is drawn over whatever lay on the editor.
    ResultShown = 0;
    return FileDone;
}

FileResult SaveFile(WindowId window, const char *path, FileFault *fault) {
    FileFault local;
    FileFault &cause = fault != nullptr ? *fault : local;
    cause = FileFault{};
    if (path == nullptr || path[0] == 0 || window != WindowId::Editor) {
        cause.Error = ENOENT;
        return FileFailed;
    }
    if (CheckReplaceable(path, cause) != FileCheckDone) {
        return FileFailed;
    }
    const std::string text = ThePlatform->GetEditorText();
    if (AtomicFileWriter::WriteWhole(path, text.data(), text.size(), cause.Error) !=
        AtomicFileWriter::Done) {
        return FileFailed;
    }
    ThePlatform->SetEditorModified(false);
    return FileDone;
}

FileResult SaveChangedFile(WindowId window, const char *path, FileFault *fault) {
    if (path != nullptr && path[0] != 0 && window == WindowId::Editor) {
        // A file that cannot be read as a script is replaced (or refused) by SaveFile.
        std::string stored;
        FileFault unread;
        if (ReadTextFile(path, MaxScriptFileBytes, stored, unread) == FileCheckDone &&
            stored == ThePlatform->GetEditorText()) {
            if (fault != nullptr) *fault = FileFault{};
            ThePlatform->SetEditorModified(false);
            return FileDone;
        }
    }
    return SaveFile(window, path, fault);
}

void FileErrorBox(int message, const char *path, const FileFault &fault) {
    const std::string text = FaultReport(GST.Get(message), path, fault);
    ThePlatform->MessageBox(true, text.c_str(), GST.Get(MsgCaptionError),
                            Platform::BoxIconExclamation);
}

void ForgetScriptName() {
    CurParamFileName[0] = 0;
    ThePlatform->SetTitle(GST.Get(MsgTitleNewScript));
}

void SetCurWindowTitleFromPath(const char *path) {
    const char *name = std::strrchr(path, '/');
    name = name == nullptr ? path : name + 1;
    const std::string title = std::string("Vorna ") + name;  // cut to the buffer when longer
    std::snprintf(CurWindowTitle, sizeof CurWindowTitle, "%s", title.c_str());
}

FileResult OpenScript(const char *path) {
    if (std::strlen(path) > static_cast<size_t>(MaxPathLength)) {
        FileFault fault;
        fault.Error = ENAMETOOLONG;
        FileErrorBox(MsgFileNotLoaded, path, fault);
        return FileFailed;
    }
    std::snprintf(CurParamFileName, sizeof CurParamFileName, "%s", path);
    FileFault fault;
    if (LoadFile(WindowId::Editor, CurParamFileName, &fault) != FileDone) {
        // The editor keeps its text, which is not this file's: without a name, the next Save
        // or Run asks for one instead of writing that text over the file that was refused.
        FileErrorBox(MsgFileNotLoaded, CurParamFileName, fault);
        ForgetScriptName();
        return FileFailed;
    }
    SetCurWindowTitleFromPath(CurParamFileName);
    ThePlatform->SetTitle(CurWindowTitle);
    return FileDone;
}

FileResult SaveScript() {
    if (CurParamFileName[0] == 0) {
        return DoFileOpenSave(WindowId::Main, 1);
    }
    FileFault fault;
    if (SaveFile(WindowId::Editor, CurParamFileName, &fault) != FileDone) {
        FileErrorBox(MsgScriptNotWritten, CurParamFileName, fault);
        return FileFailed;
    }
    return FileDone;
}

FileResult DoFileOpenSave(WindowId window, int save) {
    (void)window;
    char description[FilterDescriptionSize + 1];
    std::snprintf(description, sizeof description, "%s", GST.Get(MsgFileTypeName));
    std::string path = CurParamFileName;
    if (!ThePlatform->FileDialog(save != 0, description, "*.vna", ".", "vna", path,
                                 MaxPathLength)) {
        return FileFailed;
    }
    if (save == 0) {
        return OpenScript(path.c_str());
    }
    // A name in a folder that does not exist is refused before anything is written, and the
    // script keeps the name it had.
    if (FileFault missing; (missing.Error = MissingFolder(path)) != 0) {
        const std::string text =
            FaultReport(GetDesktopText(DesktopText::FolderMissing), path.c_str(), missing);
        ThePlatform->MessageBox(true, text.c_str(), GST.Get(MsgCaptionError),
                                Platform::BoxIconExclamation);
        return FileFailed;
    }
    std::snprintf(CurParamFileName, sizeof CurParamFileName, "%s", path.c_str());
    FileFault fault;
    if (SaveFile(WindowId::Editor, CurParamFileName, &fault) != FileDone) {
        FileErrorBox(MsgScriptNotWritten, CurParamFileName, fault);
        return FileFailed;
    }
    SetCurWindowTitleFromPath(CurParamFileName);
    ThePlatform->SetTitle(CurWindowTitle);
    return FileDone;
}

FileResult CheckColorMap(WindowId window, WindowId editor) {
    (void)window;
    if (ColorMapErrorMsg == nullptr) {
        ColorMapErrorMsg = new (std::nothrow) ProcString(300);
        EditText = new (std::nothrow) ProcString(0);
        if (ColorMapErrorMsg == nullptr || EditText == nullptr) {
            return FileFailed;
        }
    }
    ColorMapErrorMsg->Clear();
    const std::string text = ThePlatform->GetEditorText();
    if (text.empty() ||
        EditText->Init(text.c_str(), static_cast<int32_t>(text.size()) + 2) != ProcString::Done) {
        return FileFailed;
    }
    // The first line whose first word (after spaces) is "colormap".
    bool found = false;
    for (;;) {
        EditText->CMoveSkipSpaces();
        if (EditText->CMoveMatchWord("colormap") == ProcString::Done) {
            found = true;
            break;
        }
        if (EditText->CMoveNextLine() != ProcString::Done) {
            break;
        }
    }
    if (!found) {
        return FileFailed;
    }
    const int32_t start = EditText->GetCursorOffset();
    const bool accepted =
        MainRDSim.SetColorMapFromString(*EditText, *ColorMapErrorMsg) == ReaDifSimulation::Done;
    const int32_t stop = EditText->GetCursorOffset();
    if (!accepted) {
        ThePlatform->MessageBox(true, ColorMapErrorMsg->GetString(),
                                GST.Get(MsgCaptionColorMapError), Platform::BoxIconExclamation);
        const int caret = EditorLength(EditText->GetString(), stop);
        ThePlatform->SetEditorSelection(caret, caret);
        ThePlatform->ScrollCaretIntoView();
        return FileFailed;
    }
    const std::string mapText(EditText->GetString() + start,
                              static_cast<size_t>(stop > start ? stop - start : 0));
    std::snprintf(TmpStr, sizeof TmpStr, GST.Get(MsgTitleColorMapTest), mapText.c_str());
    ThePlatform->SetTitle(TmpStr);
    int width = 0;
    int height = 0;
    ThePlatform->GetClientSize(editor, width, height);
    ThePlatform->ShowEditorCaret(false);
    GenImage3D *image = MainRDSim.GetPreviewColorMap(
        static_cast<unsigned short>(width), static_cast<unsigned short>(height), DisplayColors16M);
    if (image != nullptr) {
        SimpleDisplay(editor, *image);
    }
    return FileDone;
}
