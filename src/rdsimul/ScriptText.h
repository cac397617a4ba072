// ScriptText: the one place that knows how a script's text is laid out: physical lines, the
// byte-order mark, annotation, comment and blank lines, the line end new lines take, and keyword
// lines found and rewritten with every other byte kept. Stateless; owns nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ScriptText {

// What starts an annotation line of an earlier parse, a comment line, a UTF-8 text.
constexpr std::string_view AnnotationMark = "#ERR";
constexpr std::string_view CommentMark = "//";
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

enum class LineKind { Blank, Comment, Annotation, Setting };

// One physical line: offsets into the text. Content runs from Begin to ContentEnd (without
// its CR LF or LF); End is past the line feed, or the text's end for a last line without one.
struct Line {
    size_t Begin = 0;
    size_t ContentEnd = 0;
    size_t End = 0;
};

// 3 when text starts with a byte-order mark, else 0: it is kept, and no line's part.
size_t ByteOrderMarkSize(std::string_view text);
// The physical line starting at begin (begin < text.size()).
Line LineAt(std::string_view text, size_t begin);
// Every physical line after the byte-order mark, in order.
std::vector<Line> Lines(std::string_view text);
// What a line is, by its first non-blank characters (blanks: space, tab; a CR or LF at its end
// is no content).
LineKind KindOf(std::string_view line);
// The line end of the user's lines: that of the first line that is not an annotation (an
// annotation may stand first with another line end, and is dropped anyway), else the text's
// first, else a line feed. text: after its byte-order mark.
const char *ChooseLineEnd(std::string_view text);
// Where line (its content) holds keyword as its first word, matched case for case and ended by
// a blank or the line's end: the keyword's offset in line; npos otherwise.
size_t KeywordAt(std::string_view line, std::string_view keyword);
// The line a script takes keyword's setting from: the last setting line whose first word is
// keyword (every one before it in an accepted script gives 0, which counts as unset). True with
// line set; false when there is none.
bool FindKeywordLine(std::string_view text, std::string_view keyword, Line &line);
// The arguments of the keyword line found by FindKeywordLine, blanks trimmed; "" when none.
std::string KeywordArguments(std::string_view text, std::string_view keyword);
// text with the keyword line that counts set to "keyword arguments" (its indentation and line
// end kept), or that line added at the end (the line end of ChooseLineEnd) when there is none.
// Every other byte stays as it was.
std::string WithKeywordLine(std::string_view text, std::string_view keyword,
                            std::string_view arguments);
// The seed of a script: its randseed line's number (0 .. 4294967295); 0 when it has none or the
// number is not one.
uint32_t Seed(std::string_view text);

}  // namespace ScriptText
