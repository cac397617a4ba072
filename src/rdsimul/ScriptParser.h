// ScriptParser: reads a parameter script into a simulation and rewrites the script with one
// annotation line above each faulty line; owns the script's text, its rewrite and the notes of
// the last parse, kept between parses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "rdsimul/ScheduledChange.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/ByteBuffer.h"
#include "toolkit/ProcString.h"

class ReaDifSimulation;

class ScriptParser {
public:
    // What Parse answers: Rejected (errors or missing items; the script is annotated), Accepted
    // (the simulation is ready to run), FileError (unreadable, not rewritable, or out of memory).
    enum class Result { Rejected = 0, Accepted = 1, FileError = 3 };
    static constexpr Result Rejected = Result::Rejected;
    static constexpr Result Accepted = Result::Accepted;
    static constexpr Result FileError = Result::FileError;

    // Annotate rewrites the script when its annotations change; Check leaves the file alone.
    enum class Mode { Annotate, Check };

    // One annotation of the last parse.
    struct Note {
        int32_t Line;           // line of the script as read (from 1); 0 for a missing item
        int32_t RewrittenLine;  // the same line in the rewritten script; a missing item's own line
        const char *Text;       // the message, without the annotation prefix and line end
    };

    static constexpr int InputLineSize = 500;  // a line is parsed at most 499 characters at a time
    // Caret positions are 32-bit counts: a script of this size, with an annotation for each
    // piece of each line, still stays below 2 GiB. Larger scripts are refused (result 3).
    static constexpr size_t MaxScriptSize = size_t(512) << 20;
    static constexpr int LastErrorMessageSize = 200;
    static constexpr int FullErrorMessageSize = 220;
    static constexpr int WordBufferSize = 208;  // names of 207 characters at most
    // The longest picture file and map name the messages show; longer ones are cut.
    static constexpr size_t ShownFileSize = 60;
    static constexpr size_t ShownNameSize = 47;
    // The largest seed a randseed line holds; every other way to give a seed (the command line,
    // sweeps, the desktop loop) keeps to 1 .. MaxSeed, so that each seed is one a script can
    // give again.
    static constexpr int32_t MaxSeed = 2147483647;

    ScriptParser();
    ~ScriptParser();
    ScriptParser(const ScriptParser &) = delete;
    ScriptParser &operator=(const ScriptParser &) = delete;

    // Resets sim, sets it from the script at path and, with Annotate, rewrites the script in one
    // step when its annotations change: the rewrite adds and removes whole annotation lines only.
    // errorPosition: caret position of the first error in the rewritten script, one character
    // per line break, as a text widget counts (meaningful when Rejected). randomize non-zero
    // ignores the script's seed. With FileError the script is left as it was.
    [[nodiscard]] Result Parse(ReaDifSimulation &sim, const char *path, int &errorPosition,
                               int randomize, Mode mode = Mode::Annotate);
    // Parse with Check on text as if it were the script at path, which is neither read nor
    // written: a script can be checked before it is written anywhere.
    [[nodiscard]] Result ParseText(ReaDifSimulation &sim, const char *path, std::string_view text,
                                   int &errorPosition, int randomize);
    // The annotations of the last parse in the order of the rewritten script: the missing items
    // first, then those of the lines.
    int32_t GetNoteCount() const { return MissingCount + LineNoteCount; }
    // Note index (0 .. GetNoteCount() - 1); valid until the next parse.
    Note GetNote(int32_t index) const;
    // Warnings of the last parse, in the order of the lines: a modpar name the model does not
    // read, and a parameter the model reads that no modpar line sets (on the model line). The
    // script stays valid and they are not written into it; none without a model line.
    int32_t GetWarningCount() const { return WarningCount; }
    // Warning index (0 .. GetWarningCount() - 1), as a note; valid until the next parse.
    Note GetWarning(int32_t index) const;

private:
    // Where a note is kept: its text at TextOffset in NoteTexts.
    struct NoteRecord {
        int32_t Line;
        int32_t RewrittenLine;
        int32_t TextOffset;
    };

    // An accepted modpar line: its parameter key, its lines and its name at NameOffset.
    struct ModparRecord {
        int32_t Line;
        int32_t RewrittenLine;
        int32_t Key;
        int32_t NameOffset;
    };

    // Parse of the script in Source, the file at path.
    [[nodiscard]] Result ParseSource(ReaDifSimulation &sim, const char *path, int &errorPosition,
                                     int randomize, Mode mode);
    // Reads the whole file into Source: false when it cannot be read, is larger than
    // MaxScriptSize or holds a zero byte.
    bool ReadScript(const char *path);
    // One line of the script with its line end: dropped when it is an old annotation, else
    // parsed piece by piece and passed to Body below its annotations. 1, or 0 out of memory.
    [[nodiscard]] ByteBuffer::Result TakeLine(const char *line, size_t length);
    // Appends text as an annotation line (the script's line end instead of its line feed) and
    // notes it for line (0: a missing item): 1, or 0 out of memory.
    [[nodiscard]] ByteBuffer::Result AddAnnotation(ByteBuffer &to, const ProcString &annotation,
                                                   const ProcString &text, int32_t line);
    // Keeps the name and line of a modpar line the parser accepted, for the warnings.
    void RecordModpar();
    // Gives the modpar and model lines of the line just passed to Body their rewritten line.
    void PlaceWarningLines(int32_t firstModpar);
    // Builds the warnings from the kept modpar lines and the model: 1, or 0 out of memory.
    [[nodiscard]] ByteBuffer::Result CollectWarnings();
    // The formula model's part: names sharing one key, and names no modpar line sets.
    [[nodiscard]] ByteBuffer::Result CollectFormulaWarnings();
    [[nodiscard]] ByteBuffer::Result AddWarning(int32_t line, int32_t rewrittenLine,
                                                const char *text);
    // Whether the rewritten script is byte for byte the one read.
    bool RewriteIsUnchanged() const;
    [[nodiscard]] AtomicFileWriter::Result WriteRewrite(const char *path) const;

    // Line handlers: each leaves LastErrorMessage empty, or sets it to the line's message.
    void ParseLine();
    void ParseModel();
    void ParseModpar();
    void ParseReaction();
    void ParseDiffusion();
    void ParseInit();
    void ParseSize();
    void ParseIterations();
    void ParseRandseed();
    void ParseColormap();
    void ParseImage(int trueColor);
    // `at N ...`: a recorded change, scheduled in the simulation.
    void ParseAt();
    void ParseAtModpar(ScheduledChange &change);
    void ParseAtComponent(ScheduledChange &change);
    void ParseAtPaint(ScheduledChange &change);
    // `formula L EXPRESSION`: the term of component L, compiled into the simulation's program.
    void ParseFormula();
    // `map NAME FILE`: the picture of a map the formulas read by name.
    void ParseMap();
    // `initmap L FILE LOW HIGH`: component L starts from the picture.
    void ParseInitmap();
    // A picture file as the script names it, found from the script's folder.
    std::string PicturePath(const char *file) const;
    // Sets the line's message for a picture that could not be read (an errno cause).
    void FailPicture(const char *file, int error);

    // Sets the line's message and remembers where the check failed.
    void Fail(int message);
    // Fail with the unknown-keyword message, naming the keyword the line's first word is near.
    void FailUnknownKeyword();
    // Fail with the unknown-model message, the models named from the model table, and the model
    // the name in WordBuffer is near.
    void FailUnknownModel();
    // The same with a format message filled with the last component letter.
    void FailWithLastLetter(int message);
    char LastComponentLetter() const;

    // Reads a real number written without a plus sign: Done. A plus sign leaves the cursor on it,
    // so the following text-after check rejects the line.
    [[nodiscard]] ProcString::Result ReadPlainFloat(float &value);
    // Whether the value just read was left at a plus sign directly followed by a number: a
    // variation written where the value belongs.
    bool VariationInsteadOfValue() const;
    // Reads an optional variation: a sign directly followed by the number.
    void ReadVariation(float &variation);
    bool AtEnd() const { return Line.CMatchEnd(1) == ProcString::Done; }

    // Puts a piece of a line into Line, without the carriage return of a CR LF line end.
    [[nodiscard]] ProcString::Result PrepareLine(const char *piece, size_t length);
    // Annotation lines for the missing items into Missing, which goes above everything else.
    [[nodiscard]] ByteBuffer::Result WriteMissingItems();
    // Appends MissingItemMessage as an annotation line to Missing.
    [[nodiscard]] ByteBuffer::Result WriteMissingItem();

    ReaDifSimulation *Sim = nullptr;
    ByteBuffer Source;           // the script as read
    ByteBuffer Missing;          // annotations of the missing items
    ByteBuffer Body;             // the script's lines below them, with their annotations
    ByteBuffer LineAnnotations;  // the annotations of the line being parsed
    ByteBuffer NoteRecords;      // NoteRecord after NoteRecord, the lines' notes first
    ByteBuffer NoteTexts;        // their texts, each zero-terminated
    ByteBuffer Modpars;          // ModparRecord after ModparRecord, in the order of the lines
    ByteBuffer ModparNames;      // their names as written, each zero-terminated
    ByteBuffer WarningRecords;   // NoteRecord after NoteRecord
    ByteBuffer WarningTexts;
    ProcString Line;  // a piece of a line as parsed: its cursor is the parse position
    ProcString LastErrorMessage;
    ProcString FullErrorMessage;
    ProcString MissingItemMessage;
    char WordBuffer[WordBufferSize];

    // Per parse.
    const char *LineEnd = "\n";    // the script's own line end, given to the annotations
    size_t ByteOrderMarkSize = 0;  // a UTF-8 byte-order mark before the first line: kept
    int32_t SourceLine = 0;        // lines of the script read so far
    int32_t BodyLines = 0;         // lines passed to Body so far
    int32_t LineNoteCount = 0;
    int32_t MissingCount = 0;
    int32_t FirstErrorPosition = 0;
    int32_t RunningLength = 0;  // editor characters of Body so far
    int32_t ErrorOffset = 0;    // byte offset of the cursor in Line when its check failed
    int Failed = 0;
    int FirstErrorSet = 0;
    int32_t KeptWidth = 0;
    int32_t KeptHeight = 0;
    int32_t KeptIterations = 0;
    int32_t KeptSeed = 0;
    int ColormapSeen = 0;
    bool PlusSignPending = false;  // the last number read was written with a plus sign
    int32_t ModparCount = 0;
    int32_t WarningCount = 0;
    int32_t ModelLine = 0;  // the accepted model line, 0 without one
    int32_t ModelRewrittenLine = 0;
    bool WarningsOutOfMemory = false;
    unsigned FormulaLetters = 0;  // bit c: some line of the script is "formula <'A' + c> ..."
    unsigned MapLines = 0;        // bit m: a map line of map m was read
    std::vector<std::string> ModparWords;  // the names of the script's modpar lines
    const char *ScriptPath = nullptr;      // the script's path during a parse
};
