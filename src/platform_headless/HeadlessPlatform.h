// HeadlessPlatform: a window system without a screen for tests; records titles, boxes, menu
// states, editor calls and preview copies, and answers boxes and dialogs from a script.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Platform.h"

class HeadlessPlatform : public Platform {
public:
    struct Box {
        std::string Text;
        std::string Caption;
        int Style;
        bool Owned;
    };
    struct MenuItemState {
        MenuEntry::Kind Type;
        std::string Text;
        int Identifier;
        bool Enabled;
        bool Checked;
        std::vector<MenuItemState> Items;  // popup items
    };
    struct Blit {
        WindowId Target;
        int X, Y, Width, Height;
        std::vector<uint8_t> Pixels;  // the bitmap's pixels at the time of the copy
        double Seconds;               // the clock at the time of the copy
    };
    struct Message {
        int Number;
        uint32_t WParam, LParam;
    };

    // ----- Platform
    bool CreateMainWindow(WindowProcedure proc, const char *title, int width, int height,
                          const MenuResource &menu) override;
    void ShowMainWindow() override;
    void DestroyMainWindow() override;
    void PostCloseRequest() override;
    void PostQuit(int exitCode) override;
    int RunMessageLoop() override;
    void PumpMessages() override;
    void Sleep(int ms) override;
    double Seconds() override;
    bool ComputesOnWorkerThread() override { return WorkerThread; }
    bool IsMinimized() override { return Minimized; }
    void SetTitle(const char *title) override;
    void RepaintFrame() override { ++FrameRepaints; }
    void GetClientSize(WindowId window, int &width, int &height) override;
    void SetLanguage(int language) override { Language = language; }
    void SetFocus(WindowId window) override { Focus = window; }
    void CaptureMouse(bool capture) override { MouseCaptured = capture; }

    void SetMenu(const MenuResource &menu) override;
    void EnableBarEntry(int barPosition, bool enable) override;
    void EnableMenuItem(int barPosition, int itemPosition, bool enable) override;
    void CheckMenuItem(int barPosition, int itemPosition, bool check) override;
    void DrawMenuBar() override { ++MenuBarDraws; }

    int MessageBox(bool owner, const char *text, const char *caption, int style) override;

    bool SetEditorText(const char *text) override;
    std::string GetEditorText() override { return EditorText; }
    bool IsEditorModified() override { return EditorModified; }
    void SetEditorModified(bool modified) override;
    void GetEditorSelection(int &start, int &end) override;
    void SetEditorSelection(int start, int end) override;
    void ScrollCaretIntoView() override { ++CaretScrolls; }
    void SetEditorReadOnly(bool readOnly) override { EditorReadOnly = readOnly; }
    void SetEditorBackground(uint32_t colour) override { EditorBackground = colour; }
    void ShowEditorScrollBars(bool show) override { EditorScrollBars = show; }
    void ShowEditorCaret(bool show) override { EditorCaretVisible = show; }
    void SetEditorTabStops(int dialogUnits) override { EditorTabStops = dialogUnits; }
    void MoveEditor(int width, int height) override;
    void InvalidateEditor() override { ++EditorInvalidations; }
    void EditorUndo() override { EditorCalls.push_back("undo"); }
    void EditorCut() override { EditorCalls.push_back("cut"); }
    void EditorCopy() override { EditorCalls.push_back("copy"); }
    void EditorPaste() override { EditorCalls.push_back("paste"); }

    bool FileDialog(bool save, const char *description, const char *pattern,
                    const char *initialDirectory, const char *defaultExtension, std::string &path,
                    int maxLength) override;

    std::string ReadSetting(const char *path, const char *section, const char *key,
                            const char *defaultValue) override;
    bool WriteSetting(const char *path, const char *section, const char *key,
                      const char *value) override;
    std::string ProgramDirectory() override { return ProgramDir; }
    std::string DroppedFile() override { return Dropped; }

    void CreatePreviewBitmap(WindowId target, const PreviewBitmapFormat &format,
                             const uint8_t *pixels) override;
    void SetPreviewBitmapPixels(const uint8_t *pixels) override;
    void BlitPreviewBitmap(int x, int y, int width, int height) override;
    void ReleasePreviewBitmap() override;

    // ----- test side
    // Sends a message straight to the window procedure, as the window system would.
    int Send(int message, uint32_t wParam = 0, uint32_t lParam = 0);
    // A menu command, refused like a real menu when its item or its popup is grayed: false.
    bool Choose(int identifier);
    // Queues a message for the next pump or message loop.
    void Post(int message, uint32_t wParam = 0, uint32_t lParam = 0);
    // The user's typing: the editor holds text, modified.
    void Type(const std::string &text);
    // A file dropped on the window: DropFiles is sent with path as the dropped file.
    void Drop(const std::string &path);
    // The state of an item found by its identifier (null: none).
    const MenuItemState *FindItem(int identifier) const;
    const MenuItemState &BarEntry(int barPosition) const { return Bar.at(barPosition); }
    const MenuItemState &Item(int barPosition, int itemPosition) const {
        return Bar.at(barPosition).Items.at(itemPosition);
    }

    // Scripted answers: boxes answer OK when the queue is empty; dialogs cancel when it is.
    std::deque<int> BoxAnswers;
    std::deque<std::string> DialogAnswers;  // "" means cancel
    // Called at the start of every pump with the pump's number (1, 2, ...).
    std::function<void(int)> OnPump;
    // Called inside every box, before it returns (the box's message loop).
    std::function<void(const Box &)> OnBox;
    // The clock: when set, Seconds() returns what it says (a test can tie the time to the
    // iterations run); otherwise ClockSeconds, which every reading then moves on by
    // ClockTick and every Sleep by its length. The default tick is a slow machine's: every
    // slice is measured long and every preview is due on the screen.
    std::function<double()> OnClock;
    double ClockSeconds = 0.0;
    double ClockTick = 0.02;

    // Runs compute between pumps, one slice per pump (false), or on a worker thread as on a
    // screen (true; the clock above then paces nothing of the run).
    bool WorkerThread = false;

    // Recorded state.
    std::vector<std::string> Titles;  // as shown, with the modified mark
    std::string Title;
    std::string BaseTitle;  // as last set
    int Language = -1;
    bool EditorModified = false;
    std::string Dropped;
    std::vector<Box> Boxes;
    std::vector<MenuItemState> Bar;
    std::string MenuName;
    int MenuBarDraws = 0;
    std::string EditorText;
    int SelectionStart = 0, SelectionEnd = 0;
    bool EditorReadOnly = false;
    uint32_t EditorBackground = 0xFFFFFF;
    bool EditorScrollBars = true;
    bool EditorCaretVisible = true;
    int EditorTabStops = 0;
    int EditorWidth = 0, EditorHeight = 0;
    int EditorInvalidations = 0;
    int CaretScrolls = 0;
    bool RefuseEditorText = false;
    std::vector<std::string> EditorCalls;
    std::vector<std::string> DialogCalls;  // "open ..." / "save ..." with the filter
    WindowId Focus = WindowId::Main;
    bool MouseCaptured = false;
    bool Minimized = false;
    int MainWidth = 700, MainHeight = 400;
    int FrameRepaints = 0;
    bool WindowExists = false;
    bool WindowShown = false;
    bool Destroyed = false;
    int Pumps = 0;
    int SleptMs = 0;
    bool Quit = false;
    int ExitCode = 0;
    std::deque<Message> Queue;
    std::string ProgramDir;
    std::map<std::string, std::map<std::string, std::string>> Settings;  // path -> "Section/key"
    bool RefuseSettingWrites = false;
    WindowId BitmapTarget = WindowId::Main;
    bool HasBitmap = false;
    PreviewBitmapFormat BitmapFormat;   // of the current bitmap
    std::vector<uint8_t> BitmapPixels;  // its Stride x Height bytes
    int BitmapsCreated = 0;
    int BitmapsReleased = 0;
    bool KeepBlitPixels = false;
    std::vector<Blit> Blits;

private:
    WindowProcedure Proc = nullptr;
};
