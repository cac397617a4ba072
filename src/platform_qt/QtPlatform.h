// QtPlatform: the window system of `vorna` on Qt 6 Widgets; owns the main window, its editor,
// the preview overlay drawn over the editor and the preview bitmap.
#pragma once

#include <QImage>
#include <QPlainTextEdit>
#include <QString>
#include <QVector>

#include "platform_qt/PreviewOverlay.h"
#include "platform_qt/VornaMainWindow.h"

#include "platform/Platform.h"

class QAction;

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
    bool IsMinimized() override;
    void SetTitle(const char *title) override;
    void RepaintFrame() override;
    void GetClientSize(WindowId window, int &width, int &height) override;
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

    void CreatePreviewBitmap(WindowId target, const uint8_t *info,
                             const uint8_t *pixels) override;
    void SetPreviewBitmapPixels(const uint8_t *pixels) override;
    void BlitPreviewBitmap(int x, int y, int width, int height) override;
    void ReleasePreviewBitmap() override;

    // Delivers a message to the window procedure while the window exists.
    int Deliver(int message, uint32_t wParam = 0, uint32_t lParam = 0);
    // The window, for tests and grabs (null before creation).
    QMainWindow *Window() const { return MainWindow; }
    QPlainTextEdit *Editor() const { return TextEditor; }
    // Where settings go when the program's folder cannot be written.
    static QString FallbackSettingsPath();

private:
    // 8-bit text of the front end to Qt: UTF-8 when it is valid UTF-8, else Latin-1.
    static QString FromText8(const char *text);
    void UpdateBitmapImage(const uint8_t *pixels);
    // The item at a position of a menu of the bar (separators and labels count), or null.
    QAction *MenuItemAt(int barPosition, int itemPosition) const;

    WindowProcedure Proc = nullptr;
    VornaMainWindow *MainWindow = nullptr;
    QWidget *Client = nullptr;
    QPlainTextEdit *TextEditor = nullptr;
    PreviewOverlay *Overlay = nullptr;
    bool Destroyed = false;
    bool EditorUtf8 = true;   // the editor's text came as UTF-8 and goes back as UTF-8
    bool EditorCrLf = false;  // its line ends were CR LF and go back as CR LF
    WindowId BitmapTarget = WindowId::Main;
    int BitmapWidth = 0;
    int BitmapHeight = 0;
    int BitmapBits = 0;
    QVector<QRgb> BitmapColors;
    QImage BitmapImage;
};
