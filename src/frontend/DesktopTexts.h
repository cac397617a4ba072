// DesktopTexts: the texts of the desktop program's own questions and notes, in English and
// French, chosen by the language of the message table.
#pragma once

enum class DesktopText {
    UnsavedAsk,       // the question before unsaved edits would be lost
    FolderMissing,    // Save as: the chosen name's folder does not exist (path and cause follow)
    Version,          // the About box's version line (string: the version)
    LoopNameTooLong,  // a loop round's image names would not fit (path follows)
    PathTooLong,      // a file dialog gave a path longer than the program takes
    MovieFiles,       // the kind of file of Record movie's dialog
    MovieFailed,      // Record movie: the run's movie could not be written (path, cause follow)
};

// The text in the current language of GST.
const char *GetDesktopText(DesktopText text);
