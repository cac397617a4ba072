// QtPlatform: the window system of `vorna` on Qt 6 Widgets. Owns the main window, which holds the
// menus, the script editor and the preview surface; runs the message loop and the dialogs, and
// hands editing, preview and settings to the classes of those concerns.
#pragma once

#include <memory>

#include "platform/Platform.h"

class ExplorerWindow;
class MovieSet;
class QMainWindow;
class QPlainTextEdit;
class QTranslator;
class VornaMainWindow;

class QtPlatform : public Platform {
public:
    QtPlatform();
    ~QtPlatform() override;

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
    bool IsMinimized() override;
    void SetTitle(const char *title) override;
    void RepaintFrame() override;
    void GetClientSize(WindowId window, int &width, int &height) override;
    void SetLanguage(int language) override;
    void SetFocus(WindowId window) override;
    void CaptureMouse(bool capture) override;

    void SetMenu(const MenuResource &menu) override;
    void EnableBarEntry(int barPosition, bool enable) override;
    void EnableMenuItem(int barPosition, int itemPosition, bool enable) override;
    void CheckMenuItem(int barPosition, int itemPosition, bool check) override;
    void DrawMenuBar() override;

    int MessageBox(bool owner, const char *text, const char *caption, int style) override;

    bool SetEditorText(const char *text) override;
    std::string GetEditorText() override;
    bool IsEditorModified() override;
    void SetEditorModified(bool modified) override;
    void GetEditorSelection(int &start, int &end) override;
    void SetEditorSelection(int start, int end) override;
    void ScrollCaretIntoView() override;
    void SetEditorReadOnly(bool readOnly) override;
    void SetEditorBackground(uint32_t colour) override;
    void ShowEditorScrollBars(bool show) override;
    void ShowEditorCaret(bool show) override;
    void SetEditorTabStops(int dialogUnits) override;
    void MoveEditor(int width, int height) override;
    void InvalidateEditor() override;
    void EditorUndo() override;
    void EditorCut() override;
    void EditorCopy() override;
    void EditorPaste() override;

    bool FileDialog(bool save, const char *description, const char *pattern,
                    const char *initialDirectory, const char *defaultExtension, std::string &path,
                    int maxLength) override;

    std::string ReadSetting(const char *path, const char *section, const char *key,
                            const char *defaultValue) override;
    bool WriteSetting(const char *path, const char *section, const char *key,
                      const char *value) override;
    std::string ProgramDirectory() override;
    std::string DroppedFile() override;

    void ShowExplorer() override;
    void StartRunMovie(const char *path) override;
    int FinishRunMovie(int64_t &frames) override;
    // The explorer window (null before it was first shown).
    ExplorerWindow *Explorer() const { return ExplorerShown; }

    void CreatePreviewBitmap(WindowId target, const PreviewBitmapFormat &format,
                             const uint8_t *pixels) override;
    void SetPreviewBitmapPixels(const uint8_t *pixels) override;
    void BlitPreviewBitmap(int x, int y, int width, int height) override;
    void ReleasePreviewBitmap() override;

    // Delivers a message to the window procedure while the window exists: its result, else 0.
    int Deliver(int message, uint32_t wParam = 0, uint32_t lParam = 0);
    // The window and its editor, for tests and grabs (null before creation).
    QMainWindow *Window() const;
    QPlainTextEdit *Editor() const;

private:
    VornaMainWindow *MainWindow = nullptr;
    ExplorerWindow *ExplorerShown = nullptr;  // a window of its own, owned by the main window
    WindowId BitmapTarget = WindowId::Main;   // the window the preview bitmap is drawn over
    QTranslator *Translator;                  // Qt's French, installed while French is chosen
    std::unique_ptr<MovieSet> RunMovie;       // Record movie of the run going on
};
