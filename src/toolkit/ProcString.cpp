#include "toolkit/ProcString.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The white space that sscanf passes over before a conversion.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char *SkipBlanks(char *p) {
    while (IsBlank(*p)) ++p;
    return p;
}

}  // namespace

ProcString::ProcString(int32_t maxSize) : MemoryTable("ProcString", 0, 1) {
    SetNoStorage();
    // Without storage the string stays empty and refuses every append.
    (void)SetNewSize(maxSize);
}

ProcString::ProcString(const char *text, int32_t maxSize) : MemoryTable("ProcString", 0, 1) {
    SetNoStorage();
    (void)Init(text, maxSize);
}

void ProcString::SetNoStorage() {
    Length = 0;
    Remaining = 0;
    MaxSize = 0;
    String = nullptr;
    Cursor = nullptr;
}

void ProcString::MoveCursorTo(char *position) {
    Cursor = position;
    Remaining = Cursor != nullptr ? int32_t(String + Length - Cursor) : 0;
}

ProcString::Result ProcString::SetNewSize(int32_t maxSize) {
    Length = 0;
    Remaining = 0;
    // A negative capacity would ask for no bytes at all: there would be no room for the
    // terminator.
    const MemoryTable::Result sized =
        maxSize >= 0 ? SetNewDataSize(uint32_t(maxSize) + 1u, 1) : MemoryTable::Failed;
    if ((sized != MemoryTable::Done && sized != MemoryTable::NothingToDo) || Data == nullptr) {
        SetNoStorage();
        return Failed;
    }
    MaxSize = maxSize;
    String = reinterpret_cast<char *>(Data);
    String[0] = 0;
    MoveCursorTo(String);
    return Done;
}

ProcString::Result ProcString::Clear() {
    if (String == nullptr) return Failed;
    Length = 0;
    String[0] = 0;
    MoveCursorTo(String);
    return Done;
}

ProcString::Result ProcString::Init(const char *text, int32_t maxSize) {
    if (text == nullptr) text = "";
    const size_t textLength = std::strlen(text);
    if (textLength > size_t(INT32_MAX) - 1) return Failed;
    const int32_t n = maxSize > int32_t(textLength) ? maxSize : int32_t(textLength);
    if (String == nullptr || n > MaxSize) {
        // The text may lie in our own block, which SetNewSize is about to release.
        const auto at = reinterpret_cast<uintptr_t>(text);
        const auto start = reinterpret_cast<uintptr_t>(String);
        if (String != nullptr && at >= start && at <= start + uintptr_t(Length)) {
            ProcString copy(text, 0);
            if (copy.String == nullptr) return Failed;
            return Init(copy.String, maxSize);
        }
        if (SetNewSize(n) != Done) return Failed;
    }
    std::memmove(String, text, textLength + 1);
    Length = int32_t(textLength);
    MoveCursorTo(String);
    return Done;
}

ProcString::Result ProcString::Share(char *text, int32_t size) {
    if (text == nullptr) return Failed;
    const size_t textLength = std::strlen(text);
    if (textLength > size_t(INT32_MAX) - 1) return Failed;
    if (MemoryTable::Share(reinterpret_cast<unsigned char *>(text),
                           size > 0 ? uint32_t(size) : 0u) != MemoryTable::Done) {
        return Failed;
    }
    // The capacity never falls below the text's own length, so Length <= MaxSize holds and
    // appends to a full view are refused instead of running past the text's terminator.
    MaxSize = size > int32_t(textLength) ? size : int32_t(textLength);
    String = text;
    Length = int32_t(textLength);
    MoveCursorTo(String);
    return Done;
}

ProcString::Result ProcString::AppendBytes(const char *text, int32_t count) {
    if (String == nullptr) return NoStorage;
    if (text == nullptr || count < 0 || count > MaxSize - Length) return Failed;
    std::memmove(String + Length, text, size_t(count));
    const int32_t offset = int32_t(Cursor - String);
    Length += count;
    String[Length] = 0;
    MoveCursorTo(String + offset);
    return Done;
}

ProcString::Result ProcString::Append(char c) {
    if (String == nullptr) return NoStorage;
    // A terminator in the middle would make Length disagree with the text.
    if (c == 0) return Failed;
    return AppendBytes(&c, 1);
}

ProcString::Result ProcString::Append(const char *text) {
    if (String == nullptr) return NoStorage;
    if (text == nullptr) return Failed;
    const size_t textLength = std::strlen(text);
    if (textLength > size_t(INT32_MAX)) return Failed;
    return AppendBytes(text, int32_t(textLength));
}

ProcString::Result ProcString::Append(const ProcString &other) {
    if (String == nullptr) return NoStorage;
    if (other.String == nullptr) return Done;  // nothing to append
    return AppendBytes(other.String, other.Length);
}

ProcString::Result ProcString::LoadLineFromFile(FILE *stream) {
    if (stream == nullptr || String == nullptr) return NoStorage;
    // fgets with a buffer of MaxSize bytes; below 2 bytes it could not deliver a character
    // and a reader looping until end of file would never get there.
    if (MaxSize < 2 || std::fgets(String, MaxSize, stream) == nullptr) {
        Clear();
        return Failed;
    }
    Length = int32_t(std::strlen(String));
    MoveCursorTo(String);
    return Done;
}

ProcString::Result ProcString::WriteFile(FILE *stream) const {
    if (stream == nullptr) return NoStorage;
    if (String == nullptr) return Failed;
    std::fwrite(String, 1, size_t(Length), stream);
    return Done;
}

ProcString::Result ProcString::RemoveFileNameExtension(char separator) {
    if (String == nullptr) return Failed;
    // Backward from the last character down to the second: a separator first means the
    // last name has no extension.
    for (int32_t i = Length - 1; i >= 1; --i) {
        if (String[i] == separator) break;
        if (String[i] == '.') {
            const int32_t offset = int32_t(Cursor - String);
            String[i] = 0;
            Length = i;
            MoveCursorTo(String + (offset < Length ? offset : Length));
            break;
        }
    }
    return Done;
}

ProcString::Result ProcString::CMoveSkipFileNamePath(char separator) {
    if (String == nullptr) return Failed;
    for (int32_t i = Length - 1; i >= 1; --i) {
        if (String[i] == separator) {
            MoveCursorTo(String + i + 1);
            return Done;
        }
    }
    MoveCursorTo(String);
    return Done;
}

ProcString::Result ProcString::CMoveSkipSpaces() {
    if (Cursor == nullptr) return Failed;
    MoveCursorTo(SkipBlanks(Cursor));
    return Done;
}

ProcString::Result ProcString::CMatchEnd(int32_t anyLineEnd) const {
    if (Cursor == nullptr) return Failed;
    const char c = *Cursor;
    if (c == 0) return Done;
    if (c == '\n' || c == '\r') return (anyLineEnd != 0 || Cursor[1] == 0) ? Done : Failed;
    return Failed;
}

ProcString::Result ProcString::CMoveNextLine() {
    if (Cursor == nullptr) return Failed;
    char *p = Cursor;
    while (*p != 0) {
        if (*p++ == '\n') {
            MoveCursorTo(p);
            return Done;
        }
    }
    MoveCursorTo(p);
    return Failed;
}

ProcString::Result ProcString::CMoveNextWord() {
    if (Cursor == nullptr) return Failed;
    char *p = Cursor;
    while (*p != 0 && !IsBlank(*p)) ++p;
    p = SkipBlanks(p);
    MoveCursorTo(p);
    return *p != 0 ? Done : Failed;
}

ProcString::Result ProcString::CMoveMatchChar(char c) {
    if (Cursor == nullptr || *Cursor == 0 || *Cursor != c) return Failed;
    MoveCursorTo(Cursor + 1);
    return Done;
}

ProcString::Result ProcString::CMoveMatchString(const char *s) {
    if (Cursor == nullptr || s == nullptr) return Failed;
    const size_t n = std::strlen(s);
    // strncmp stops at our terminator, which differs from any character of s.
    if (std::strncmp(Cursor, s, n) != 0) return Failed;
    MoveCursorTo(Cursor + n);
    return Done;
}

ProcString::Result ProcString::CMoveMatchWord(const char *word) {
    if (Cursor == nullptr || word == nullptr) return Failed;
    const size_t n = std::strlen(word);
    if (std::strncmp(Cursor, word, n) != 0) return Failed;
    const char after = Cursor[n];
    if (!(IsBlank(after) || after == 0 || after == '\n' || after == '\r')) return Failed;
    MoveCursorTo(SkipBlanks(Cursor + n));
    return Done;
}

ProcString::Result ProcString::CMoveMatchWordCI(const char *word) {
    if (Cursor == nullptr || word == nullptr) return Failed;
    const char *p = Cursor;
    for (const char *w = word; *w != 0; ++w, ++p) {
        const int t = static_cast<unsigned char>(*p);
        const int k = static_cast<unsigned char>(*w);
        // The terminator never matches, even a word character 32 above it.
        if (t == 0 || !(t == k || t == k + 32 || t == k - 32)) return Failed;
    }
    if (!(IsBlank(*p) || *p == 0 || *p == '\n')) return Failed;
    MoveCursorTo(SkipBlanks(const_cast<char *>(p)));
    return Done;
}

ProcString::Result ProcString::CMoveReadCapLetter(char &c) {
    if (Cursor == nullptr || *Cursor < 'A' || *Cursor > 'Z') return Failed;
    c = *Cursor;
    MoveCursorTo(SkipBlanks(Cursor + 1));
    return Done;
}

ProcString::Result ProcString::ReadWordInto(char *out, int32_t capacity, bool lettersOnly) {
    if (out == nullptr || capacity < 1) return Failed;
    out[0] = 0;
    if (Cursor == nullptr) return Failed;
    if (*Cursor == 0) return lettersOnly ? Done : Failed;
    char *end = Cursor;
    while (*end != 0 && !IsBlank(*end) && *end != '\n') {
        if (lettersOnly && !IsLetter(*end)) return Failed;
        ++end;
    }
    const size_t n = size_t(end - Cursor);
    // A word that does not fit is refused whole, so it is never cut into two words.
    if (n > size_t(capacity) - 1) return Failed;
    std::memcpy(out, Cursor, n);
    out[n] = 0;
    MoveCursorTo(*end == 0 ? end : SkipBlanks(end));
    return Done;
}

ProcString::Result ProcString::CMoveReadWord(char *out, int32_t capacity) {
    return ReadWordInto(out, capacity, false);
}

ProcString::Result ProcString::CMoveReadAlphWord(char *out, int32_t capacity) {
    return ReadWordInto(out, capacity, true);
}

int32_t ProcString::ConvertInteger(const char *p, int32_t &value) {
    const char *start = p;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!IsDigit(*p)) return 0;
    // Accumulated as a negative number, whose range reaches INT32_MIN; beyond the 32-bit
    // range the value saturates instead of wrapping.
    int64_t magnitude = 0;
    for (; IsDigit(*p); ++p) {
        if (magnitude < int64_t(1) << 32) magnitude = magnitude * 10 + (*p - '0');
    }
    int64_t v = negative ? -magnitude : magnitude;
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    value = int32_t(v);
    return int32_t(p - start);
}

char *ProcString::SkipIntegerText(char *p) {
    if (*p == '-') ++p;
    while (IsDigit(*p)) ++p;
    return p;
}

ProcString::Result ProcString::CMoveReadInteger(int32_t &value) {
    if (Cursor == nullptr) return Failed;
    int32_t converted = 0;
    if (ConvertInteger(Cursor, converted) == 0) return Failed;
    value = converted;
    MoveCursorTo(SkipBlanks(SkipIntegerText(Cursor)));
    return Done;
}

ProcString::Result ProcString::CMoveReadPrefixInteger(const char *prefix, int32_t &value) {
    if (CMoveMatchString(prefix) != Done) return Failed;
    return CMoveReadInteger(value);
}

ProcString::Result ProcString::CMoveReadPostfixInteger(int32_t &value, char suffix) {
    if (Cursor == nullptr || suffix == 0) return Failed;
    int32_t converted = 0;
    if (ConvertInteger(Cursor, converted) == 0) return Failed;
    char *p = SkipIntegerText(Cursor);
    if (*p != suffix) return Failed;
    value = converted;
    MoveCursorTo(p + 1);
    return Done;
}

ProcString::Result ProcString::CMoveReadFloat(float &value, float fallback) {
    if (Cursor == nullptr) {
        value = fallback;
        return Failed;
    }
    // strtof reads exactly what "%f" reads: white space, sign, digits with a point, an
    // exponent, inf and nan; out-of-range values come back as infinity or zero.
    char *end = nullptr;
    const int savedErrno = errno;
    const float converted = std::strtof(Cursor, &end);
    errno = savedErrno;
    if (end == Cursor) {
        value = fallback;
        return Failed;
    }
    value = converted;
    char *p = Cursor;
    if (*p == '-') ++p;
    while (IsDigit(*p) || *p == '.') ++p;
    MoveCursorTo(SkipBlanks(p));
    return Done;
}

ProcString::Result ProcString::CMoveReadSignedFloat(float &value) {
    if (Cursor == nullptr || (*Cursor != '+' && *Cursor != '-')) return Failed;
    char *start = Cursor;
    if (*Cursor == '+') MoveCursorTo(Cursor + 1);
    if (CMoveReadFloat(value, 0.0f) == Done) return Done;
    MoveCursorTo(start);
    return Failed;
}

ProcString::Result ProcString::CMoveReadPrefixFloat(char c, float &value, float fallback) {
    if (Cursor == nullptr || c == 0 || *Cursor != c) {
        value = fallback;
        return Failed;
    }
    MoveCursorTo(Cursor + 1);
    return CMoveReadFloat(value, fallback);
}
