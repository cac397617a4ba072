// ScriptParser: reads a parameter script into a simulation and rewrites the script with one
// annotation line above each faulty line; owns the line and output buffers, kept between parses.
#pragma once

#include <cstdint>
#include <cstdio>

#include "toolkit/ProcString.h"

class ReaDifSimulation;
class AtomicFileWriter;

class ScriptParser {
public:
    // Results of Parse.
    static constexpr int Rejected = 0;   // errors or missing items; the script is annotated
    static constexpr int Accepted = 1;   // the simulation is ready to run
    static constexpr int FileError = 3;  // unreadable, not rewritable, or output buffers full

    static constexpr int OutputBufferCount = 100;
    static constexpr int OutputBufferSize = 5000;
    static constexpr int InputLineSize = 500;  // a line is read at most 499 characters at a time
    static constexpr int LastErrorMessageSize = 200;
    static constexpr int FullErrorMessageSize = 220;
    static constexpr int WordBufferSize = 208;  // names of 207 characters at most

    ScriptParser();
    ~ScriptParser();
    ScriptParser(const ScriptParser &) = delete;
    ScriptParser &operator=(const ScriptParser &) = delete;

    // Resets sim, sets it from the script at path and rewrites the script in one step.
    // errorPosition: caret position of the first error, one character per line break, as a
    // text widget counts (meaningful with result 0). randomize non-zero ignores the script's seed.
    // Results 1, 0, 3 above; with 3 the script is left byte for byte as it was.
    [[nodiscard]] int Parse(ReaDifSimulation &sim, const char *path, int &errorPosition, int randomize);

private:
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

    // Sets the line's message and remembers where the check failed.
    void Fail(int message);
    // The same with a format message filled with the last component letter.
    void FailWithLastLetter(int message);
    char LastComponentLetter() const;

    // Reads a real number written without a plus sign: 1. A plus sign leaves the cursor on it,
    // so the following text-after check rejects the line.
    [[nodiscard]] int ReadPlainFloat(float &value);
    // Reads an optional variation: a sign directly followed by the number.
    void ReadVariation(float &variation);
    bool AtEnd() const { return Line.CMatchEnd(1) != 0; }

    // Copies InputLine into Line without the carriage return of a CR LF line end.
    [[nodiscard]] int PrepareLine();
    // Appends text to the output, starting the next buffer when the current one is full.
    [[nodiscard]] int AppendToOutput(const ProcString &text);
    [[nodiscard]] int AppendToOutput(const char *text);
    // Annotation lines for the missing items, written above everything else.
    // length grows by the editor characters written.
    [[nodiscard]] int WriteMissingItems(AtomicFileWriter &writer, int &length);
    // Writes MissingItemMessage as an annotation line.
    [[nodiscard]] int WriteMissingItem(AtomicFileWriter &writer, int &length);
    [[nodiscard]] int WriteOutput(AtomicFileWriter &writer);
    // Reads the whole stream: false on a read error or a zero byte; else rewinds it, true.
    static bool IsReadableText(FILE *stream);

    ReaDifSimulation *Sim = nullptr;
    ProcString *TOutputBuffers[OutputBufferCount];
    int OutputIndex = 0;
    ProcString InputLine;
    ProcString Line;  // InputLine as parsed: its cursor is the parse position
    ProcString LastErrorMessage;
    ProcString FullErrorMessage;
    ProcString MissingItemMessage;
    char WordBuffer[WordBufferSize];

    // Per parse.
    int32_t RunningLength = 0;  // editor characters of the output so far
    int32_t ErrorOffset = 0;    // byte offset of the cursor in Line when its check failed
    int Failed = 0;
    int FirstErrorSet = 0;
    int32_t KeptWidth = 0;
    int32_t KeptHeight = 0;
    int32_t KeptIterations = 0;
    int32_t KeptSeed = 0;
    int ColormapSeen = 0;
    bool LineOpen = false;  // the output does not end with a line feed (a long line in pieces)
    bool PlusSignPending = false;  // the last number read was written with a plus sign
};
