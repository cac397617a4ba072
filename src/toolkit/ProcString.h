// ProcString: a bounded, zero-terminated 8-bit string with a read cursor; its CMove/CMatch
// operations are the lexer of the script language. Owns its characters, or views a caller's text.
#pragma once

#include <cstdint>
#include <cstdio>

#include "toolkit/MemoryTable.h"

class ProcString : public MemoryTable {
public:
    // What its operations answer: Failed (failure, or no match), Done (success, or match),
    // NoStorage (no storage, or a null stream).
    enum class Result { Failed = 0, Done = 1, NoStorage = 3 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    static constexpr Result NoStorage = Result::NoStorage;

    // Capacity maxSize characters (storage maxSize + 1 bytes), empty.
    explicit ProcString(int32_t maxSize);
    // A copy of text (null counts as ""), with room for at least maxSize characters.
    ProcString(const char *text, int32_t maxSize);

    // Content ----------------------------------------------------------------------------
    // New empty storage for maxSize characters (maxSize >= 0): Done; Failed leaves no storage.
    [[nodiscard]] Result SetNewSize(int32_t maxSize);
    // Empties the string, cursor at the start: Done; Failed without storage.
    Result Clear();
    // Copies text (null counts as ""), growing to the larger of maxSize and its length when
    // needed: Done; Failed when storage could not be obtained. Cursor at the start.
    [[nodiscard]] Result Init(const char *text, int32_t maxSize);
    // Views the caller's text, which must hold max(size, strlen(text)) + 1 bytes (size 0: the
    // text's own length); appends then write into that buffer. Failed for a null text, else Done.
    [[nodiscard]] Result Share(char *text, int32_t size);
    // Appends whole or not at all: Done; Failed when it would exceed MaxSize (or c is the
    // terminator, or text is null); NoStorage without storage. The cursor does not move.
    [[nodiscard]] Result Append(char c);
    [[nodiscard]] Result Append(const char *text);
    [[nodiscard]] Result Append(const ProcString &other);

    // Streams and file names -------------------------------------------------------------
    // Reads one line as fgets with a buffer of MaxSize bytes (the line feed stays): Done; Failed
    // at end of file, on a read error or when MaxSize < 2 (the string is then empty); NoStorage
    // for a null stream or no storage.
    [[nodiscard]] Result LoadLineFromFile(FILE *stream);
    // Writes the Length characters, no terminator, no line end: Done; Failed no storage;
    // NoStorage null stream.
    [[nodiscard]] Result WriteFile(FILE *stream) const;
    // Cuts the string at the last '.' that comes after the last separator (the first character
    // is never examined): Done; Failed without storage.
    [[nodiscard]] Result RemoveFileNameExtension(char separator);
    // Cursor on the first character after the last separator (not counting the first
    // character), else on the first character: Done; Failed without storage.
    Result CMoveSkipFileNamePath(char separator);

    // Cursor operations: all answer Failed when there is no cursor, Done for a match or a value
    // read. Blanks are space and tab. --------------------------------------------------------
    // Moves over blanks: Done.
    Result CMoveSkipSpaces();
    // 1 on the terminator; on a line feed or carriage return when anyLineEnd is non-zero, or
    // when it is the last character. Does not move.
    [[nodiscard]] Result CMatchEnd(int32_t anyLineEnd) const;
    // Passes the next line feed: 1; 0 with the cursor at the end when there is none.
    Result CMoveNextLine();
    // Passes the next blank and the blanks after it: 1; 0 when that reaches the end.
    Result CMoveNextWord();
    // Passes c (never the terminator): 1, else 0.
    [[nodiscard]] Result CMoveMatchChar(char c);
    // Passes the exact characters of s: 1, else 0. No delimiter test, no blank skipping.
    [[nodiscard]] Result CMoveMatchString(const char *s);
    // Passes word when it is followed by a blank, terminator, line feed or carriage return,
    // then blanks: 1, else 0.
    [[nodiscard]] Result CMoveMatchWord(const char *word);
    // As CMoveMatchWord, codes matching when equal or 32 apart; a carriage return does not
    // end the word.
    [[nodiscard]] Result CMoveMatchWordCI(const char *word);
    // Reads one of 'A' to 'Z' into c, then skips blanks: 1, else 0.
    [[nodiscard]] Result CMoveReadCapLetter(char &c);
    // Reads the characters up to a blank, line feed or terminator into out (capacity bytes,
    // terminator included), then skips blanks unless it stopped at the terminator: 1.
    // 0 with out empty when the cursor is on the terminator, and 0 with out empty and the
    // cursor unmoved when the word has capacity characters or more. 0 for a null out or a
    // capacity below 1.
    [[nodiscard]] Result CMoveReadWord(char *out, int32_t capacity);
    // As CMoveReadWord, but only letters 'A'-'Z', 'a'-'z' are accepted (anything else: 0, out
    // empty, cursor unmoved) and the terminator gives an empty word and 1.
    [[nodiscard]] Result CMoveReadAlphWord(char *out, int32_t capacity);
    // Converts as sscanf "%d" (numbers beyond the 32-bit range saturate at its limits), then
    // skips an optional '-', digits and blanks: 1. 0 with value untouched when no number.
    [[nodiscard]] Result CMoveReadInteger(int32_t &value);
    // Matches prefix, then reads an integer; after a matched prefix the cursor stays past it.
    [[nodiscard]] Result CMoveReadPrefixInteger(const char *prefix, int32_t &value);
    // Converts as "%d", skips an optional '-' and digits; the next character must be suffix,
    // which is passed (no blank skipping): 1. Else 0, value untouched, cursor unmoved.
    [[nodiscard]] Result CMoveReadPostfixInteger(int32_t &value, char suffix);
    // Converts as sscanf "%f", then skips an optional '-', digits and points, blanks: 1.
    // 0 with value = fallback when no number.
    [[nodiscard]] Result CMoveReadFloat(float &value, float fallback);
    // Needs a '+' (passed over) or '-' at the cursor, then reads a float (fallback 0). 0 with
    // value untouched without a sign; 0 with value 0 and the cursor unmoved when no number.
    [[nodiscard]] Result CMoveReadSignedFloat(float &value);
    // Needs c at the cursor (else value = fallback, 0), passes it, then reads a float; after
    // a matched c the cursor stays past it.
    [[nodiscard]] Result CMoveReadPrefixFloat(char c, float &value, float fallback);

    // Access -----------------------------------------------------------------------------
    const char *GetString() const { return String; }
    const char *GetCursor() const { return Cursor; }
    int32_t GetLength() const { return Length; }
    int32_t GetRemaining() const { return Remaining; }
    int32_t GetMaxSize() const { return MaxSize; }
    // Characters between the start and the cursor.
    int32_t GetCursorOffset() const { return Cursor != nullptr ? int32_t(Cursor - String) : 0; }
    // Puts the cursor back at the start.
    void ResetCursor() { MoveCursorTo(String); }

private:
    void MoveCursorTo(char *position);
    void SetNoStorage();
    [[nodiscard]] Result AppendBytes(const char *text, int32_t count);
    // Length of the number sscanf "%d" would convert at p (0: none), and its value.
    static int32_t ConvertInteger(const char *p, int32_t &value);
    // Position after the optional '-' and the digits at p.
    static char *SkipIntegerText(char *p);
    [[nodiscard]] Result ReadWordInto(char *out, int32_t capacity, bool lettersOnly);

    int32_t Length;
    int32_t Remaining;
    int32_t MaxSize;
    char *String;
    char *Cursor;
};
