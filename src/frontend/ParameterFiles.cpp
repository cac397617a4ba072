// Parameter files: scripts are plain 8-bit text stored byte for byte; saves never truncate the
// old file before the new content is safely on disk.
#include "frontend/ParameterFiles.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "frontend/FrontEndGlobals.h"
#include "frontend/PreviewDisplay.h"
#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/ProcString.h"
#include "toolkit/StringTable.h"

namespace {

constexpr int FilterDescriptionSize = 64 - 16;  // room left in the filter by " (*.vna)" etc.

// Error text of the last colour-map test and the copy of the editor's text it scans; made on
// first use, kept until the process ends.
ProcString *ColorMapErrorMsg = nullptr;
ProcString *EditText = nullptr;

void ErrorBox(int message) {
    ThePlatform->MessageBox(true, GST.Get(message), GST.Get(6), Platform::BoxIconExclamation);
}

// Editor position of a byte offset into the script: the editor shows the text as UTF-8 (UTF-16
// units, a byte outside a well-formed sequence as one character) and a CR LF pair as one break.
int EditorPosition(const char *text, int32_t offset) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    int position = 0;
    int32_t i = 0;
    while (i < offset) {
        unsigned char c = bytes[i];
        if (c == '\r' && i + 1 < offset && bytes[i + 1] == '\n') {
            ++i;
            continue;
        }
        int trail = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xC2 && c <= 0xDF ? 1 : 0;
        int j = 1;
        while (j <= trail && i + j < offset && (bytes[i + j] & 0xC0) == 0x80) {
            ++j;
        }
        if (trail > 0 && j == trail + 1) {
            position += trail == 3 ? 2 : 1;
            i += j;
        } else {
            position += 1;
            i += 1;
        }
    }
    return position;
}

}  // namespace

int LoadFile(WindowId window, const char *path) {
    if (path == nullptr || window != WindowId::Editor) {
        return 0;
    }
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > MaxScriptFileBytes) {
        return 0;
    }
    FILE *file = std::fopen(path, "rb");
    if (file == nullptr) {
        return 0;
    }
    const size_t size = static_cast<size_t>(info.st_size);
    char *block = static_cast<char *>(std::calloc(size + 1, 1));
    if (block == nullptr) {
        std::fclose(file);
        return 0;
    }
    int result = 0;
    // A zero byte means the file is no script (a binary file): the editor could hold only the
    // text before it, and saving would then cut the file short, so it is not loaded at all.
    if (std::fread(block, 1, size, file) == size && std::memchr(block, 0, size) == nullptr) {
        block[size] = 0;
        result = ThePlatform->SetEditorText(block) ? 1 : 0;
    }
    std::free(block);
    std::fclose(file);
    return result;
}

int SaveFile(WindowId window, const char *path) {
    if (path == nullptr || path[0] == 0 || window != WindowId::Editor) {
        return 0;
    }
    struct stat old;
    if (stat(path, &old) == 0 && !S_ISREG(old.st_mode)) {
        return 0;
    }
    const std::string text = ThePlatform->GetEditorText();
    AtomicFileWriter writer;
    if (writer.Open(path) != AtomicFileWriter::Done ||
        writer.Write(text.data(), text.size()) != AtomicFileWriter::Done) {
        return 0;
    }
    return writer.Commit() == AtomicFileWriter::Done ? 1 : 0;
}

void SetCurWindowTitleFromPath(const char *path) {
    const char *name = std::strrchr(path, '/');
    name = name == nullptr ? path : name + 1;
    std::snprintf(CurWindowTitle, sizeof CurWindowTitle, "Vorna %s", name);
}

int DoFileOpenSave(WindowId window, int save) {
    (void)window;
    char description[FilterDescriptionSize + 1];
    std::snprintf(description, sizeof description, "%s", GST.Get(25));
    std::string path = CurParamFileName;
    if (!ThePlatform->FileDialog(save != 0, description, "*.vna", ".", "vna", path,
                                 MaxPathLength)) {
        return 0;
    }
    std::snprintf(CurParamFileName, sizeof CurParamFileName, "%s", path.c_str());
    if (save != 0) {
        if (SaveFile(WindowId::Editor, CurParamFileName) != FileDone) {
            ErrorBox(17);
            return 0;
        }
    } else if (LoadFile(WindowId::Editor, CurParamFileName) != FileDone) {
        ErrorBox(18);
        return 0;
    }
    SetCurWindowTitleFromPath(CurParamFileName);
    ThePlatform->SetTitle(CurWindowTitle);
    return 1;
}

int CheckColorMap(WindowId window, WindowId editor) {
    (void)window;
    if (ColorMapErrorMsg == nullptr) {
        ColorMapErrorMsg = new (std::nothrow) ProcString(300);
        EditText = new (std::nothrow) ProcString(0);
        if (ColorMapErrorMsg == nullptr || EditText == nullptr) {
            return 0;
        }
    }
    ColorMapErrorMsg->Clear();
    const std::string text = ThePlatform->GetEditorText();
    if (text.empty() || EditText->Init(text.c_str(), static_cast<int32_t>(text.size()) + 2) == 0) {
        return 0;
    }
    // The first line whose first word (after spaces) is "colormap".
    bool found = false;
    for (;;) {
        EditText->CMoveSkipSpaces();
        if (EditText->CMoveMatchWord("colormap") == 1) {
            found = true;
            break;
        }
        if (EditText->CMoveNextLine() == 0) {
            break;
        }
    }
    if (!found) {
        return 0;
    }
    const int32_t start = EditText->GetCursorOffset();
    const bool accepted =
        MainRDSim.SetColorMapFromString(*EditText, *ColorMapErrorMsg) == ReaDifSimulation::Done;
    const int32_t stop = EditText->GetCursorOffset();
    if (!accepted) {
        ThePlatform->MessageBox(true, ColorMapErrorMsg->GetString(), GST.Get(22),
                                Platform::BoxIconExclamation);
        const int caret = EditorPosition(EditText->GetString(), stop);
        ThePlatform->SetEditorSelection(caret, caret);
        ThePlatform->ScrollCaretIntoView();
        return 0;
    }
    const std::string mapText(EditText->GetString() + start,
                              static_cast<size_t>(stop > start ? stop - start : 0));
    std::snprintf(TmpStr, sizeof TmpStr, GST.Get(2), mapText.c_str());
    ThePlatform->SetTitle(TmpStr);
    int width = 0;
    int height = 0;
    ThePlatform->GetClientSize(editor, width, height);
    ThePlatform->ShowEditorCaret(false);
    GenImage3D *image = MainRDSim.GetPreviewColorMap(static_cast<unsigned short>(width),
                                                     static_cast<unsigned short>(height),
                                                     DisplayColors16M);
    if (image != nullptr) {
        SimpleDisplay(editor, *image);
    }
    return 1;
}
