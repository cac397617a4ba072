// LoopSeed: the line is found as the parser finds keywords: the first word of the line after
// blanks, matched case for case, ended by a blank or the line end.
#include "frontend/LoopSeed.h"

#include "frontend/ParameterFiles.h"
#include "toolkit/AtomicFileWriter.h"

namespace {

const char Keyword[] = "randseed";
constexpr size_t KeywordLength = sizeof Keyword - 1;
const char ByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Where the line starting at begin and ending before end (its line end excluded) holds the
// keyword as its first word: its offset; npos otherwise.
size_t KeywordAt(const std::string &text, size_t begin, size_t end) {
    size_t at = begin;
    while (at < end && IsBlank(text[at])) ++at;
    if (end - at < KeywordLength || text.compare(at, KeywordLength, Keyword) != 0) {
        return std::string::npos;
    }
    const size_t after = at + KeywordLength;
    return after == end || IsBlank(text[after]) ? at : std::string::npos;
}

}  // namespace

std::string WithSeedLine(const std::string &script, uint32_t seed) {
    const std::string line = std::string(Keyword) + " " + std::to_string(seed);
    // The start of the keyword and the end of the last seed line's content.
    size_t keyword = std::string::npos;
    size_t contentEnd = 0;
    size_t begin = script.compare(0, 3, ByteOrderMark) == 0 ? 3 : 0;
    while (begin < script.size()) {
        size_t feed = script.find('\n', begin);
        size_t end = feed == std::string::npos ? script.size() : feed;
        size_t content = end > begin && script[end - 1] == '\r' ? end - 1 : end;
        if (size_t at = KeywordAt(script, begin, content); at != std::string::npos) {
            keyword = at;
            contentEnd = content;
        }
        begin = feed == std::string::npos ? script.size() : feed + 1;
    }
    if (keyword != std::string::npos) {
        return script.substr(0, keyword) + line + script.substr(contentEnd);
    }
    const char *lineEnd = script.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    std::string out = script;
    if (!out.empty() && out.back() != '\n') out += lineEnd;
    return out + line + lineEnd;
}

int KeepLoopSeed(const char *path, uint32_t seed, FileFault &fault) {
    fault = FileFault{};
    std::string text;
    if (ReadTextFile(path, MaxScriptFileBytes, text, fault) != FileCheckDone) {
        return 0;
    }
    const std::string kept = WithSeedLine(text, seed);
    return AtomicFileWriter::WriteWhole(path, kept.data(), kept.size(), fault.Error) ==
                   AtomicFileWriter::Done
               ? 1
               : 0;
}
