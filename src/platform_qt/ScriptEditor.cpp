// ScriptEditor: Qt keeps the text as characters with one line feed per break; the bytes the
// script came in are recovered from three flags: the encoding, the line-end convention and a
// leading byte-order mark.
#include "platform_qt/ScriptEditor.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform_qt/Text8.h"

namespace {

const char Utf8ByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace

ScriptEditor::ScriptEditor(QWidget *parent) : QPlainTextEdit(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    ShowScrollBars(true);
}

void ScriptEditor::SetText8(const char *text) {
    QString decoded = FromText8(QByteArrayView(text), &Utf8);
    // The UTF-8 decoder drops a leading byte-order mark; the script keeps it when saved.
    ByteOrderMark = Utf8 && std::strncmp(text, Utf8ByteOrderMark, 3) == 0;
    // CR LF line ends are shown as one line break and written back as CR LF.
    CrLf = decoded.contains(QStringLiteral("\r\n"));
    if (CrLf) {
        decoded.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    setPlainText(decoded);
    document()->setModified(false);
}

std::string ScriptEditor::Text8() const {
    // The raw text keeps no-break spaces (toPlainText would turn them into spaces); its
    // paragraph and line separators are the line breaks.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    if (CrLf) {
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    }
    QByteArray bytes = Utf8 ? text.toUtf8() : text.toLatin1();
    std::string out = ByteOrderMark ? Utf8ByteOrderMark : "";
    return out.append(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void ScriptEditor::GetSelection(int &start, int &end) const {
    QTextCursor cursor = textCursor();
    start = cursor.selectionStart();
    end = cursor.selectionEnd();
}

void ScriptEditor::SetSelection(int start, int end) {
    // The document counts one position past its last character.
    int last = document()->characterCount() - 1;
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::clamp(start, 0, last));
    cursor.setPosition(std::clamp(end, 0, last), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void ScriptEditor::SetBackground(uint32_t colour) {
    QPalette colours = palette();
    colours.setColor(QPalette::Base,
                     QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                            static_cast<int>((colour >> 16) & 0xFF)));
    setPalette(colours);
}

void ScriptEditor::ShowScrollBars(bool show) {
    Qt::ScrollBarPolicy policy = show ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    setVerticalScrollBarPolicy(policy);
    setHorizontalScrollBarPolicy(policy);
}

void ScriptEditor::ShowCaret(bool show) { setCursorWidth(show ? 1 : 0); }

int ScriptEditor::FirstLineBottom() const {
    // The caret's rectangle at the start spans the first line; only its height is taken, so
    // that a scrolled text gives the same answer.
    const int height = cursorRect(QTextCursor(document())).height();
    return static_cast<int>(std::ceil(document()->documentMargin())) + height;
}

void ScriptEditor::SetTabStops(int dialogUnits) {
    QFontMetricsF metrics(font());
    setTabStopDistance(metrics.averageCharWidth() * dialogUnits / 4.0);
}
