// Parameter files: loading and saving the editor's script whole, the open and save dialogs that
// keep the current file name and title in step, and the colour-map test of Texture menu.
#pragma once

#include "platform/Platform.h"
#include "toolkit/FileCheck.h"

// What the file operations below answer: FileFailed (refused, cancelled or failed) or FileDone.
enum class FileResult { Failed = 0, Done = 1 };
constexpr FileResult FileFailed = FileResult::Failed;
constexpr FileResult FileDone = FileResult::Done;

// Largest script file the editor takes, in bytes.
constexpr long MaxScriptFileBytes = 16L * 1024 * 1024;

// Sets the editor's text to the file's content: FileDone, or FileFailed when the path is not a
// readable
// regular file of at most MaxScriptFileBytes without a zero byte, or the editor refused the
// text; the editor keeps its text on failure, and fault (when given) says why.
[[nodiscard]] FileResult LoadFile(WindowId window, const char *path, FileFault *fault = nullptr);
// Replaces the file with the editor's text through a temporary file renamed into place, so a
// failed save leaves the old file whole: FileDone, or FileFailed with the cause in fault (when
// given). Only a
// regular file (or a link to one) is replaced.
[[nodiscard]] FileResult SaveFile(WindowId window, const char *path, FileFault *fault = nullptr);
// SaveFile, except that a file already holding the editor's very bytes is left untouched (its
// modification time kept, nothing rewritten): FileDone, and the editor counts as saved.
[[nodiscard]] FileResult SaveChangedFile(WindowId window, const char *path,
                                         FileFault *fault = nullptr);
// A box with message, the file's path and the cause of fault.
void FileErrorBox(int message, const char *path, const FileFault &fault);
// No current script any more: the next Save or Run asks for a name; the title says so.
void ForgetScriptName();
// Makes path the current script: loads it and names the title after it: FileDone; FileFailed
// with the MsgFileNotLoaded box and the cause (the editor keeps its text and the script's name is
// forgotten).
FileResult OpenScript(const char *path);
// Saves the editor to the current script, or through the save dialog when it has none:
// FileDone; FileFailed when cancelled or failed (with a box).
FileResult SaveScript();
// save 0: open dialog then LoadFile; 1: save dialog then SaveFile. FileDone when a file was
// loaded or saved; FileFailed when cancelled or failed (with the MsgFileNotLoaded or
// MsgScriptNotWritten box and the cause; a
// refused open also forgets the script's name). A save into a folder that does not exist is
// refused with a box and writes nothing.
FileResult DoFileOpenSave(WindowId window, int save);
// Shows the script's colour map over the editor: FileDone; FileFailed when there is no
// "colormap" line, the
// editor is empty, or the colour map it describes is wrong (box, caret where reading stopped).
[[nodiscard]] FileResult CheckColorMap(WindowId window, WindowId editor);
// "Vorna %s" with the part of path after its last '/' into CurWindowTitle.
void SetCurWindowTitleFromPath(const char *path);
