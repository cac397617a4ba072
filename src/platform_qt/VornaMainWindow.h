// VornaMainWindow: the main window of `vorna`: the menu bar built from a menu description, and the
// client area with the script editor and the preview surface over it. Qt's events become the
// messages of the front end's window procedure. Owns its Qt children.
#pragma once

#include <QMainWindow>
#include <cstdint>

#include "platform/Platform.h"

class QAction;
class QMenu;
class QMenuBar;
class QMimeData;
class PreviewSurface;
class ScriptEditor;

class VornaMainWindow : public QMainWindow {
public:
    // The window with its client area, icon, menu, title (8-bit text) and size; proc gets its
    // messages from then on.
    VornaMainWindow(WindowProcedure proc, const char *title, int width, int height,
                    const MenuResource &menu);

    // Delivers a message to the window procedure: its result; 0 once the window is destroyed.
    int Deliver(int message, uint32_t wParam = 0, uint32_t lParam = 0);
    // Shows the window, delivers Size with the client area's size and paints it at once.
    void ShowAndLayOut();
    // Delivers Destroy, then stops delivering, lets the mouse go and hides; once only.
    void Destroy();
    bool IsDestroyed() const { return Destroyed; }

    // ----- menus, items addressed by position (separators and labels count)
    // Replaces the menu bar by one built from menu (the old one is deleted).
    void SetMenu(const MenuResource &menu);
    void EnableBarEntry(int barPosition, bool enable);
    // The item at a position of a popup of the bar, or null.
    QAction *MenuItemAt(int barPosition, int itemPosition) const;

    // ----- keyboard focus
    // Gives the keyboard focus to a window (the editor, or the main window itself) and keeps it
    // there: every menu that closes, however it was opened and closed, hands it back.
    void GiveFocus(WindowId window);

    // ----- client area
    QWidget *Client() const { return ClientArea; }
    ScriptEditor *Editor() const { return TextEditor; }
    PreviewSurface *Surface() const { return Preview; }
    // A window's client area in client coordinates: the client area itself, or the editor's
    // text area (its viewport, inside the frame and scroll bars). The main window's is the area
    // the preview is laid out in: its top comes down as far as the editor's first line reaches
    // below the room the front end leaves for it, so that the preview never hides that line.
    QRect ClientRect(WindowId window) const;
    // Places the editor and the surface over it at 0, 0 with the given size.
    void MoveEditor(int width, int height);

    // The title (8-bit text), shown with a "*" after it while the editor has unsaved edits.
    void SetTitle(const char *title);
    // The local file of the last drop (8-bit path); empty before any.
    const QByteArray &DroppedPath() const { return Dropped; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void CreateClientArea();
    void CreateIcon();
    // Adds one entry to bar or to the open popup; null for an item without a popup.
    QAction *AddMenuEntry(QMenuBar *bar, QMenu *&popup, const MenuEntry &entry);
    // Has a chosen command reach the procedure from the event loop, as a posted message would.
    void ConnectCommand(QAction *action, int identifier);
    // Gives the commands of menu their keys; the menus show the first key of each.
    void AddShortcuts(const MenuResource &menu);
    void ShowTitle();
    // Back to the window the front end gave the focus to, once no popup is open any more; this
    // also takes the menu bar out of its keyboard mode.
    void RestoreFocus();
    // The .vna file a drag carries, as a local path; empty when it carries none.
    static QString ScriptOfDrag(const QMimeData *data);
    // Accepts a drag (enter, move or drop) that carries a script, and has a drop opened: true
    // when the event was such a drag.
    bool TakeDrag(QEvent *event);

    WindowProcedure Proc;
    bool Destroyed = false;
    WindowId FocusOwner = WindowId::Editor;  // where GiveFocus last put the keyboard focus
    QWidget *ClientArea = nullptr;
    ScriptEditor *TextEditor = nullptr;
    PreviewSurface *Preview = nullptr;
    QString Title;
    QByteArray Dropped;
};
