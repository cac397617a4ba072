// Platform: what the front end may ask of a window system (window, menus, boxes, editor, dialogs,
// settings, message pump, preview bitmap); an abstract class, implemented for Qt and for tests.
#pragma once

#include <cstdint>
#include <string>

// The two windows the front end addresses: the main window and its script editor child.
enum class WindowId { Main, Editor };

// Messages the platform delivers to the window procedure (the front end's WndProc).
struct WindowMessage {
    static constexpr int Create = 0x01;
    static constexpr int Destroy = 0x02;
    static constexpr int Size = 0x05;
    static constexpr int Paint = 0x0F;
    static constexpr int Close = 0x10;
    static constexpr int KeyDown = 0x100;  // a key pressed (not its auto-repeat)
    static constexpr int KeyUp = 0x101;
    static constexpr int Command = 0x111;
    static constexpr int LButtonDown = 0x201;
    // A file was dropped on the window; Platform::DroppedFile gives its path.
    static constexpr int DropFiles = 0x233;
    // First parameter of Size when the window is being minimized.
    static constexpr uint32_t SizeMinimized = 1;
};

// One entry of a menu description: a popup on the bar (with its items following, each with
// Level 1), a command, a separator or a label that cannot be chosen.
struct MenuEntry {
    enum Kind { Popup, Command, Separator, Label, End };
    Kind Type;
    int Level;         // 0 on the bar, 1 inside the popup opened before it
    const char *Text;  // '&' marks the access key, '\t' starts the shortcut text
    int Identifier;    // command identifier, 0 for popups, separators and labels
    bool Grayed;       // initial state
    bool Checked;      // initial state
};

// A key combination that chooses a command, in the portable form of a key sequence ("Ctrl+N",
// "Ctrl+Shift+S", "F5", "Escape"); the menus show the first one of each command.
struct MenuShortcut {
    int Identifier;  // command identifier, 0 ends the list
    const char *Keys;
};

// A whole menu bar, by name, as one array ended by an End entry, and its shortcuts.
struct MenuResource {
    const char *Name;
    const MenuEntry *Entries;
    const MenuShortcut *Shortcuts;  // ended by an Identifier 0; null for none
};

// One colour of a preview palette, in the byte order of the colour maps' entries.
struct PaletteEntry {
    uint8_t Blue;
    uint8_t Green;
    uint8_t Red;
    uint8_t Alpha;  // not shown: every preview pixel is opaque
};
static_assert(sizeof(PaletteEntry) == 4, "a palette entry is the 4 bytes of a colour-map entry");

// The layout of a preview bitmap's pixels: Height rows of Width pixels from the top row down,
// each row starting Stride bytes after the one above (rows are padded to a multiple of 4 bytes).
// Bits 8: one palette index per pixel, Palette gives the colours; Bits 24: blue, green, red bytes
// per pixel, Palette unused.
struct PreviewBitmapFormat {
    static constexpr int PaletteSize = 256;
    int Width = 0;
    int Height = 0;
    int Bits = 0;
    int Stride = 0;
    PaletteEntry Palette[PaletteSize] = {};
};

// The window procedure the platform calls for every message of the main window.
using WindowProcedure = int (*)(int message, uint32_t wParam, uint32_t lParam);

class Platform {
public:
    // Message box styles (combined by |) and answers.
    static constexpr int BoxOk = 0x0;
    static constexpr int BoxOkCancel = 0x1;
    // Save, Discard and Cancel, in the platform's own words: AnswerSave, AnswerDiscard or
    // AnswerCancel.
    static constexpr int BoxSaveDiscardCancel = 0x3;
    static constexpr int BoxIconExclamation = 0x30;
    static constexpr int BoxIconInformation = 0x40;
    static constexpr int BoxSystemModal = 0x1000;
    static constexpr int AnswerOk = 1;
    static constexpr int AnswerCancel = 2;
    static constexpr int AnswerSave = 6;
    static constexpr int AnswerDiscard = 7;

    virtual ~Platform();

    // ----- windows and messages
    // Creates the main window with the given title, size and menu; delivers Create to proc before
    // returning. true when the window exists.
    virtual bool CreateMainWindow(WindowProcedure proc, const char *title, int width, int height,
                                  const MenuResource &menu) = 0;
    // Shows the main window and has it painted.
    virtual void ShowMainWindow() = 0;
    // Destroys the main window; Destroy is delivered first. Further calls do nothing.
    virtual void DestroyMainWindow() = 0;
    // Queues a close request (delivered as Close by the pump or the message loop).
    virtual void PostCloseRequest() = 0;
    // Ends the message loop with the exit code once the current message has been handled.
    virtual void PostQuit(int exitCode) = 0;
    // Delivers messages until PostQuit; returns its exit code.
    virtual int RunMessageLoop() = 0;
    // Delivers every message that is waiting now, then returns.
    virtual void PumpMessages() = 0;
    // Sleeps for ms milliseconds.
    virtual void Sleep(int ms) = 0;
    // A steady clock in seconds from an arbitrary origin: paces slices and previews.
    virtual double Seconds() = 0;
    // Whether a run's slices compute on a worker thread while this one pumps and draws (a
    // screen), or on this thread between two pumps, one slice per pump (a test's scripted
    // window, where every pump then follows a known slice).
    virtual bool ComputesOnWorkerThread() { return true; }
    // true while the main window is minimized.
    virtual bool IsMinimized() = 0;
    // Window title (8-bit text).
    virtual void SetTitle(const char *title) = 0;
    // Repaints the frame of the main window (the title of a minimized window).
    virtual void RepaintFrame() = 0;
    // Client area size of a window in pixels.
    virtual void GetClientSize(WindowId window, int &width, int &height) = 0;
    // The language of the platform's own texts (dialogs, standard buttons): 0 English,
    // 1 French.
    virtual void SetLanguage(int language) = 0;
    // Keyboard focus; capture (true) or release (false) the mouse for the main window.
    virtual void SetFocus(WindowId window) = 0;
    virtual void CaptureMouse(bool capture) = 0;

    // ----- menus, items addressed by position (separators and labels count)
    // Replaces the menu bar by the given one (the old one is destroyed).
    virtual void SetMenu(const MenuResource &menu) = 0;
    // Enables or grays a bar entry (popup or command) or an item of the popup at barPosition.
    virtual void EnableBarEntry(int barPosition, bool enable) = 0;
    virtual void EnableMenuItem(int barPosition, int itemPosition, bool enable) = 0;
    virtual void CheckMenuItem(int barPosition, int itemPosition, bool check) = 0;
    virtual void DrawMenuBar() = 0;

    // ----- message boxes: text, caption, style bits above; returns AnswerOk or AnswerCancel.
    // owner false: a box without owner (start-up failures).
    virtual int MessageBox(bool owner, const char *text, const char *caption, int style) = 0;

    // ----- the editor
    // Whole text; SetEditorText false when the editor refused it.
    virtual bool SetEditorText(const char *text) = 0;
    virtual std::string GetEditorText() = 0;
    // Whether the user edited the text since it was set or marked unmodified; the title shows
    // a "*" after its text while it is modified.
    virtual bool IsEditorModified() = 0;
    virtual void SetEditorModified(bool modified) = 0;
    // Selection in the editor's own character positions: one per character as shown (UTF-16
    // units of UTF-8 text, one per byte otherwise), one per line break (a CR LF pair is one).
    virtual void GetEditorSelection(int &start, int &end) = 0;
    virtual void SetEditorSelection(int start, int end) = 0;
    virtual void ScrollCaretIntoView() = 0;
    virtual void SetEditorReadOnly(bool readOnly) = 0;
    // Background as 0x00BBGGRR (red in the low byte).
    virtual void SetEditorBackground(uint32_t colour) = 0;
    virtual void ShowEditorScrollBars(bool show) = 0;
    virtual void ShowEditorCaret(bool show) = 0;
    // Tab stops every dialogUnits horizontal dialog units (4 units per average character).
    virtual void SetEditorTabStops(int dialogUnits) = 0;
    // Places the editor at 0, 0 with the given size inside the main window's client area.
    virtual void MoveEditor(int width, int height) = 0;
    // Has the editor repaint itself over whatever was drawn on it.
    virtual void InvalidateEditor() = 0;
    virtual void EditorUndo() = 0;
    virtual void EditorCut() = 0;
    virtual void EditorCopy() = 0;
    virtual void EditorPaste() = 0;

    // ----- file dialogs: filter "description" + pattern, initial directory, default extension.
    // path holds the initial name on entry and the chosen path on success (at most maxLength
    // characters). save: ask before overwriting, the folder must exist; open: the file must exist.
    // true when a path was chosen.
    virtual bool FileDialog(bool save, const char *description, const char *pattern,
                            const char *initialDirectory, const char *defaultExtension,
                            std::string &path, int maxLength) = 0;

    // ----- settings file (INI: section, key)
    virtual std::string ReadSetting(const char *path, const char *section, const char *key,
                                    const char *defaultValue) = 0;
    // true when the value was stored (in path, or in the user's configuration folder when
    // path's folder cannot be written).
    virtual bool WriteSetting(const char *path, const char *section, const char *key,
                              const char *value) = 0;
    // Folder of the running program, without a trailing separator; empty when unknown.
    virtual std::string ProgramDirectory() = 0;
    // The path of the file of the last DropFiles message (empty: none).
    virtual std::string DroppedFile() = 0;

    // ----- the explorer window: opened (or raised) with the keyboard focus in its first field.
    // A platform without one does nothing.
    virtual void ShowExplorer() {}

    // ----- Record movie: a movie of the run's pictures, from its starting field and then one
    // frame per image it writes. Started before the run's first iteration, finished after its
    // last; a platform that writes no movies does nothing. Finish answers 0 and the frames
    // written, or the errno-like cause of the failure (the movie then left out).
    virtual void StartRunMovie(const char *path) { (void)path; }
    virtual int FinishRunMovie(int64_t &frames) {
        frames = 0;
        return 0;
    }

    // ----- preview bitmap: one device bitmap drawn over a window.
    // A bitmap of the given format with a copy of pixels (laid out as format says); replaces any
    // earlier bitmap; it is then drawn over target. A format other than 8 or 24 bits, or without
    // pixels, gives a bitmap that draws nothing.
    virtual void CreatePreviewBitmap(WindowId target, const PreviewBitmapFormat &format,
                                     const uint8_t *pixels) = 0;
    // Replaces the bitmap's pixels (laid out in the format given at creation).
    virtual void SetPreviewBitmapPixels(const uint8_t *pixels) = 0;
    // Copies the bitmap's top-left width x height rectangle to x, y of the target's client area;
    // the copy stays on the window until the editor repaints.
    virtual void BlitPreviewBitmap(int x, int y, int width, int height) = 0;
    // Releases the bitmap (no bitmap: nothing).
    virtual void ReleasePreviewBitmap() = 0;
};
