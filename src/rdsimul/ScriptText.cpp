#include "rdsimul/ScriptText.h"

namespace ScriptText {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

size_t SkipBlanks(std::string_view line, size_t at) {
    while (at < line.size() && IsBlank(line[at])) ++at;
    return at;
}

}  // namespace

size_t ByteOrderMarkSize(std::string_view text) {
    return text.substr(0, ByteOrderMark.size()) == ByteOrderMark ? ByteOrderMark.size() : 0;
}

Line LineAt(std::string_view text, size_t begin) {
    Line line;
    line.Begin = begin;
    const size_t feed = text.find('\n', begin);
    line.End = feed == std::string_view::npos ? text.size() : feed + 1;
    line.ContentEnd = feed == std::string_view::npos ? text.size() : feed;
    if (line.ContentEnd > begin && text[line.ContentEnd - 1] == '\r' &&
        feed != std::string_view::npos) {
        --line.ContentEnd;
    }
    return line;
}

std::vector<Line> Lines(std::string_view text) {
    std::vector<Line> lines;
    for (size_t at = ByteOrderMarkSize(text); at < text.size();) {
        lines.push_back(LineAt(text, at));
        at = lines.back().End;
    }
    return lines;
}

LineKind KindOf(std::string_view line) {
    const size_t at = SkipBlanks(line, 0);
    const std::string_view rest = line.substr(at);
    if (rest.empty() || rest[0] == '\r' || rest[0] == '\n') return LineKind::Blank;
    if (rest.substr(0, AnnotationMark.size()) == AnnotationMark) return LineKind::Annotation;
    if (rest.substr(0, CommentMark.size()) == CommentMark) return LineKind::Comment;
    return LineKind::Setting;
}

const char *ChooseLineEnd(std::string_view text) {
    const char *first = nullptr;
    for (size_t at = 0; at < text.size();) {
        const size_t feed = text.find('\n', at);
        if (feed == std::string_view::npos) break;
        const char *ending = feed > at && text[feed - 1] == '\r' ? "\r\n" : "\n";
        if (KindOf(text.substr(at, feed + 1 - at)) != LineKind::Annotation) return ending;
        if (first == nullptr) first = ending;
        at = feed + 1;
    }
    return first != nullptr ? first : "\n";
}

size_t KeywordAt(std::string_view line, std::string_view keyword) {
    const size_t at = SkipBlanks(line, 0);
    if (line.substr(at, keyword.size()) != keyword) return std::string_view::npos;
    const size_t after = at + keyword.size();
    return after == line.size() || IsBlank(line[after]) ? at : std::string_view::npos;
}

bool FindKeywordLine(std::string_view text, std::string_view keyword, Line &line) {
    bool found = false;
    for (const Line &candidate : Lines(text)) {
        const std::string_view content =
            text.substr(candidate.Begin, candidate.ContentEnd - candidate.Begin);
        if (KeywordAt(content, keyword) != std::string_view::npos) {
            line = candidate;
            found = true;
        }
    }
    return found;
}

std::string KeywordArguments(std::string_view text, std::string_view keyword) {
    Line line;
    if (!FindKeywordLine(text, keyword, line)) return "";
    std::string_view content = text.substr(line.Begin, line.ContentEnd - line.Begin);
    content = content.substr(KeywordAt(content, keyword) + keyword.size());
    const size_t first = SkipBlanks(content, 0);
    size_t last = content.size();
    while (last > first && IsBlank(content[last - 1])) --last;
    return std::string(content.substr(first, last - first));
}

std::string WithKeywordLine(std::string_view text, std::string_view keyword,
                            std::string_view arguments) {
    std::string setting(keyword);
    if (!arguments.empty()) {
        setting += ' ';
        setting += arguments;
    }
    Line line;
    if (FindKeywordLine(text, keyword, line)) {
        const std::string_view content = text.substr(line.Begin, line.ContentEnd - line.Begin);
        const size_t keywordStart = line.Begin + KeywordAt(content, keyword);
        return std::string(text.substr(0, keywordStart)) + setting +
               std::string(text.substr(line.ContentEnd));
    }
    const size_t bom = ByteOrderMarkSize(text);
    const char *lineEnd = ChooseLineEnd(text.substr(bom));
    std::string out(text);
    if (out.size() > bom && out.back() != '\n') out += lineEnd;
    return out + setting + lineEnd;
}

uint32_t Seed(std::string_view text) {
    const std::string arguments = KeywordArguments(text, "randseed");
    if (arguments.empty() || arguments.size() > 10) return 0;
    uint64_t value = 0;
    for (char c : arguments) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + uint64_t(c - '0');
    }
    return value > UINT32_MAX ? 0 : uint32_t(value);
}

}  // namespace ScriptText
