// ScriptEditor: the script editor of the main window. Gives back the very bytes it was given
// (UTF-8 with or without a byte-order mark, or Latin-1; LF or CR LF line ends) and counts
// positions as the front end does.
#pragma once

#include <QPlainTextEdit>
#include <cstdint>
#include <string>

class ScriptEditor : public QPlainTextEdit {
public:
    // A fixed-pitch font, no line wrap, both scroll bars shown.
    explicit ScriptEditor(QWidget *parent);

    // The whole text as 8-bit text; Text8 returns it in the encoding and line ends it came in.
    void SetText8(const char *text);
    std::string Text8() const;
    // Selection in the editor's character positions: one per character as shown (a UTF-16 unit),
    // one per line break (a CR LF pair is one). SetSelection clamps to the text.
    void GetSelection(int &start, int &end) const;
    void SetSelection(int start, int end);
    // Background as 0x00BBGGRR (red in the low byte).
    void SetBackground(uint32_t colour);
    void ShowScrollBars(bool show);
    void ShowCaret(bool show);
    // Tab stops every dialogUnits horizontal dialog units (4 units per average character).
    void SetTabStops(int dialogUnits);
    // The bottom of the first line of text in the text area (viewport) when it is scrolled to
    // the top: its margin and one line of the font.
    int FirstLineBottom() const;

private:
    bool Utf8 = true;            // the text came as UTF-8 and goes back as UTF-8, else as Latin-1
    bool CrLf = false;           // its line ends were CR LF and go back as CR LF
    bool ByteOrderMark = false;  // a UTF-8 text that began with a byte-order mark keeps it
};
