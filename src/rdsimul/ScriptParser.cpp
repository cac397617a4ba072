#include "rdsimul/ScriptParser.h"

#include <cstdarg>
#include <cstring>
#include <new>

#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/EditorText.h"
#include "toolkit/MessageIds.h"
#include "toolkit/RandomGenerator.h"
#include "toolkit/ScopedFile.h"
#include "toolkit/StringTable.h"

namespace {

constexpr double UnsetConcentration = -10000.0;
// Room for a formatted message; the table's texts are far shorter.
constexpr int FormatBufferSize = 400;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The text at p is an integer as the language writes it: an optional minus sign directly
// followed by digits. No plus sign, no blank.
bool IntegerStartsAt(const char *p) { return IsDigit(p[0]) || (p[0] == '-' && IsDigit(p[1])); }

// The same for a real number, which may also begin with its decimal point.
bool FloatStartsAt(const char *p) {
    if (p[0] == '-') ++p;
    return IsDigit(p[0]) || (p[0] == '.' && IsDigit(p[1]));
}

// Formats message index with the arguments into out (grown when needed).
void FormatMessage(ProcString &out, int index, ...) {
    char text[FormatBufferSize];
    va_list arguments;
    va_start(arguments, index);
    std::vsnprintf(text, sizeof text, GST.Get(index), arguments);
    va_end(arguments);
    (void)out.Init(text, 0);
}

}  // namespace

ScriptParser::ScriptParser()
    : InputLine(InputLineSize),
      Line(InputLineSize),
      LastErrorMessage(LastErrorMessageSize),
      FullErrorMessage(FullErrorMessageSize),
      MissingItemMessage(LastErrorMessageSize) {
    for (ProcString *&buffer : TOutputBuffers) buffer = nullptr;
    WordBuffer[0] = 0;
}

ScriptParser::~ScriptParser() {
    for (ProcString *buffer : TOutputBuffers) delete buffer;
}

int ScriptParser::Parse(ReaDifSimulation &sim, const char *path, int &errorPosition,
                        int randomize) {
    errorPosition = 0;
    ScopedFile script(path, "rb");
    if (!script) return FileError;
    FILE *file = script.Get();
    // A script is text: a file with zero bytes (or one that cannot be read, a directory) would
    // lose everything behind them when rewritten, so it is refused untouched.
    if (!IsReadableText(file) || InputLine.GetString() == nullptr) return FileError;
    if (TOutputBuffers[0] == nullptr) TOutputBuffers[0] = new (std::nothrow) ProcString(0);
    if (TOutputBuffers[0] == nullptr ||
        TOutputBuffers[0]->SetNewSize(OutputBufferSize) != ProcString::Done) {
        return FileError;
    }
    Sim = &sim;
    OutputIndex = 0;
    InputLine.Clear();
    Line.Clear();
    LastErrorMessage.Clear();
    FullErrorMessage.Clear();
    // A broken simulation keeps its error state; the run refuses it later.
    (void)sim.ResetDefaultParameters();
    RunningLength = 0;
    ErrorOffset = 0;
    Failed = 0;
    FirstErrorSet = 0;
    KeptWidth = KeptHeight = KeptIterations = KeptSeed = 0;
    ColormapSeen = 0;
    LineOpen = false;

    for (;;) {
        if (LastErrorMessage.GetLength() > 1) {
            (void)sim.BuildErrorMessage(LastErrorMessage, FullErrorMessage);
            // A piece of an over-long line may be faulty: its annotation still starts a line
            // of its own, so the next parse recognises and drops it.
            if (LineOpen) {
                if (AppendToOutput("\n") != ProcString::Done) return FileError;
                RunningLength += 1;
                LineOpen = false;
            }
            if (!FirstErrorSet) {
                errorPosition =
                    RunningLength +
                    EditorLength(FullErrorMessage.GetString(), FullErrorMessage.GetLength()) +
                    EditorLength(Line.GetString(), ErrorOffset);
                FirstErrorSet = 1;
            }
            Failed = 1;
        }
        if (AppendToOutput(FullErrorMessage) != ProcString::Done ||
            AppendToOutput(InputLine) != ProcString::Done) {
            return FileError;
        }
        RunningLength += EditorLength(FullErrorMessage.GetString(), FullErrorMessage.GetLength());
        if (InputLine.GetLength() > 0) {
            RunningLength += EditorLength(InputLine.GetString(), InputLine.GetLength());
            LineOpen = InputLine.GetString()[InputLine.GetLength() - 1] != '\n';
        }
        if (InputLine.LoadLineFromFile(file) != ProcString::Done) break;
        LastErrorMessage.Clear();
        FullErrorMessage.Clear();
        ParseLine();
    }
    // A read error is not the end of the script: rewriting now would cut it short.
    if (std::ferror(file) != 0) return FileError;

    AtomicFileWriter writer;
    if (writer.Open(path) != AtomicFileWriter::Done) return FileError;
    int missingLength = 0;
    if (WriteMissingItems(writer, missingLength) != AtomicFileWriter::Done ||
        WriteOutput(writer) != AtomicFileWriter::Done ||
        writer.Commit() != AtomicFileWriter::Done) {
        return FileError;
    }
    errorPosition += missingLength;
    if (Failed) return Rejected;

    // Fields that cannot be sized leave the simulation in its allocation-error state, which
    // Initialize refuses; the iteration count was checked against its range above.
    (void)sim.SetDomainSize(uint16_t(KeptWidth), uint16_t(KeptHeight), 1);
    (void)sim.SetEndTime(KeptIterations);
    MainRandom.Randomize(randomize != 0 ? 0u : uint32_t(KeptSeed));
    // Without its base name no image could be named after the script.
    if (sim.FileBaseName.Init(path, 0) != ProcString::Done) return FileError;
    (void)sim.FileBaseName.RemoveFileNameExtension('/');  // a name without extension stays
    return Accepted;
}

bool ScriptParser::IsReadableText(FILE *stream) {
    char block[4096];
    size_t count;
    while ((count = std::fread(block, 1, sizeof block, stream)) > 0) {
        if (std::memchr(block, 0, count) != nullptr) return false;
    }
    if (std::ferror(stream)) return false;
    std::rewind(stream);
    return true;
}

int ScriptParser::AppendToOutput(const ProcString &text) {
    if (text.GetLength() == 0) return ProcString::Done;
    return AppendToOutput(text.GetString());
}

int ScriptParser::AppendToOutput(const char *text) {
    if (TOutputBuffers[OutputIndex]->Append(text) == ProcString::Done) return ProcString::Done;
    if (OutputIndex + 1 >= OutputBufferCount) return ProcString::Failed;
    ++OutputIndex;
    ProcString *&next = TOutputBuffers[OutputIndex];
    if (next == nullptr) next = new (std::nothrow) ProcString(0);
    if (next == nullptr || next->SetNewSize(OutputBufferSize) != ProcString::Done) return ProcString::Failed;
    return next->Append(text);
}

int ScriptParser::WriteOutput(AtomicFileWriter &writer) {
    for (int i = 0; i <= OutputIndex; ++i) {
        const ProcString &buffer = *TOutputBuffers[i];
        if (writer.Write(buffer.GetString(), size_t(buffer.GetLength())) != AtomicFileWriter::Done) {
            return ProcString::Failed;
        }
    }
    return ProcString::Done;
}

int ScriptParser::WriteMissingItem(AtomicFileWriter &writer, int &length) {
    (void)Sim->BuildErrorMessage(MissingItemMessage, LastErrorMessage);
    Failed = 1;
    length += EditorLength(LastErrorMessage.GetString(), LastErrorMessage.GetLength());
    return writer.Write(LastErrorMessage.GetString(), size_t(LastErrorMessage.GetLength()));
}

int ScriptParser::WriteMissingItems(AtomicFileWriter &writer, int &length) {
    ReaDifSimulation &sim = *Sim;
    int ok = 1;
    if (sim.ComponentCount == 0) {
        FormatMessage(MissingItemMessage, MsgMissingModel);
        ok &= WriteMissingItem(writer, length);
    }
    for (int i = 0; i < sim.ComponentCount; ++i) {
        char letter = char('A' + i);
        if (sim.GetDiffusionCoeff(letter) == 0.0) {
            FormatMessage(MissingItemMessage, MsgMissingDiffusion, letter, letter);
            ok &= WriteMissingItem(writer, length);
        }
        if (sim.GetReactionStrength(letter) == 0.0) {
            FormatMessage(MissingItemMessage, MsgMissingReaction, letter, letter);
            ok &= WriteMissingItem(writer, length);
        }
        if (sim.GetInitConcentration(letter) == UnsetConcentration) {
            FormatMessage(MissingItemMessage, MsgMissingInit, letter, letter);
            ok &= WriteMissingItem(writer, length);
        }
    }
    const int tail[] = {KeptWidth == 0 ? MsgMissingSize : 0,
                        KeptIterations == 0 ? MsgMissingIterations : 0,
                        ColormapSeen == 0 ? MsgMissingColormap : 0,
                        sim.ImageComponent == '?' ? MsgMissingImage : 0};
    for (int index : tail) {
        if (index == 0) continue;
        FormatMessage(MissingItemMessage, index);
        ok &= WriteMissingItem(writer, length);
    }
    return ok;
}

int ScriptParser::PrepareLine() {
    // The language ends a line at its line feed; a CR LF line end from another system must not
    // make the last word of the line a different word.
    char text[InputLineSize + 1];
    int32_t length = InputLine.GetLength();
    std::memcpy(text, InputLine.GetString(), size_t(length) + 1);
    if (length >= 2 && text[length - 2] == '\r' && text[length - 1] == '\n') {
        text[length - 2] = '\n';
        text[length - 1] = 0;
    }
    return Line.Init(text, InputLineSize);
}

void ScriptParser::Fail(int message) {
    FormatMessage(LastErrorMessage, message);
    ErrorOffset = Line.GetCursorOffset();
}

void ScriptParser::FailWithLastLetter(int message) {
    FormatMessage(LastErrorMessage, message, LastComponentLetter());
    ErrorOffset = Line.GetCursorOffset();
}

char ScriptParser::LastComponentLetter() const { return char('A' + Sim->ComponentCount - 1); }

int ScriptParser::ReadPlainFloat(float &value) {
    const char *before = Line.GetCursor();
    if (Line.CMoveReadFloat(value, 0.0f) != ProcString::Done) return ProcString::Failed;
    PlusSignPending = Line.GetCursor() == before;
    return ProcString::Done;
}

void ScriptParser::ReadVariation(float &variation) {
    variation = 0.0f;
    if (PlusSignPending) return;
    const char *p = Line.GetCursor();
    if ((p[0] == '+' || p[0] == '-') && FloatStartsAt(p + 1) && p[1] != '-') {
        (void)Line.CMoveReadSignedFloat(variation);  // a number follows: checked above
    }
}

void ScriptParser::ParseLine() {
    if (PrepareLine() != ProcString::Done) {
        Fail(MsgUnknownKeyword);
        return;
    }
    Line.CMoveSkipSpaces();
    if (Line.CMatchEnd(1)) return;
    if (Line.CMoveMatchString("//")) return;
    if (Line.CMoveMatchString("#ERR")) {
        InputLine.Clear();
        return;
    }
    if (Line.CMoveMatchWord("model")) return ParseModel();
    if (Line.CMoveMatchWord("modpar")) return ParseModpar();
    if (Line.CMoveMatchWord("reaction")) return ParseReaction();
    if (Line.CMoveMatchWord("diffusion")) return ParseDiffusion();
    if (Line.CMoveMatchWord("init")) return ParseInit();
    if (Line.CMoveMatchWord("size")) return ParseSize();
    if (Line.CMoveMatchWord("iterations")) return ParseIterations();
    if (Line.CMoveMatchWord("randseed")) return ParseRandseed();
    if (Line.CMoveMatchWord("colormap")) return ParseColormap();
    if (Line.CMoveMatchWord("image256")) return ParseImage(0);
    if (Line.CMoveMatchWord("image16M") || Line.CMoveMatchWord("image16m")) return ParseImage(1);
    Fail(MsgUnknownKeyword);
}

void ScriptParser::ParseModel() {
    if (Sim->ComponentCount > 0) return Fail(MsgGivenTwice);
    if (Line.CMoveReadWord(WordBuffer, WordBufferSize) != ProcString::Done || WordBuffer[0] == 0) {
        // A name too long for the word buffer is left unread: no model has such a name.
        return Fail(AtEnd() ? MsgModelNoName : MsgModelUnknown);
    }
    if (!AtEnd()) return Fail(MsgModelTextAfter);
    if (Sim->SetReactionModel(WordBuffer) != ReaDifSimulation::Done) return Fail(MsgModelUnknown);
}

void ScriptParser::ParseModpar() {
    float value = 0.0f;
    float variation = 0.0f;
    int nameRead = Line.CMoveReadWord(WordBuffer, WordBufferSize);
    if (nameRead != ProcString::Done && !AtEnd()) return Fail(MsgModparBadName);  // longer than the buffer
    if (nameRead != ProcString::Done || WordBuffer[0] == 0 || ReadPlainFloat(value) != ProcString::Done) {
        return Fail(MsgModparMissing);
    }
    ReadVariation(variation);
    if (!AtEnd()) return Fail(MsgModparTextAfter);
    if (Sim->GetReactionParameter(WordBuffer) != 0.0) return Fail(MsgGivenTwice);
    if (Sim->SetReactionParameter(WordBuffer, value, variation) != ReaDifSimulation::Done) {
        return Fail(MsgModparBadName);
    }
    if (variation != 0.0f) Sim->VaryParameters = 1;
}

void ScriptParser::ParseReaction() {
    char letter = 0;
    float strength = 0.0f;
    if (Line.CMoveReadCapLetter(letter) != ProcString::Done || ReadPlainFloat(strength) != ProcString::Done) {
        return Fail(MsgReactionMissing);
    }
    if (Sim->GetReactionStrength(letter) != 0.0) return Fail(MsgGivenTwice);
    if (!AtEnd()) return Fail(MsgReactionTextAfter);
    if (Sim->ComponentCount == 0) return Fail(MsgNoModelYet);
    double value = strength;
    // The setter refuses a letter that names no component in use.
    if (!(value >= 0.00001 && value <= 100.0) ||
        Sim->SetReactionStrength(letter, value) != ReaDifSimulation::Done) {
        return FailWithLastLetter(MsgReactionRange);
    }
}

void ScriptParser::ParseDiffusion() {
    char letter = 0;
    float coefficient = 0.0f;
    float variation = 0.0f;
    if (Line.CMoveReadCapLetter(letter) != ProcString::Done || ReadPlainFloat(coefficient) != ProcString::Done) {
        return Fail(MsgDiffusionMissing);
    }
    if (Sim->GetDiffusionCoeff(letter) != 0.0) return Fail(MsgGivenTwice);
    ReadVariation(variation);
    if (!AtEnd()) return Fail(MsgDiffusionTextAfter);
    if (Sim->ComponentCount == 0) return Fail(MsgNoModelYet);
    double value = coefficient;
    if (!(value >= 0.001 && value <= 1.0) ||
        Sim->SetDiffusionCoeff(letter, value, variation) != ReaDifSimulation::Done) {
        return FailWithLastLetter(MsgDiffusionRange);
    }
}

void ScriptParser::ParseInit() {
    char letter = 0;
    float mean = 0.0f;
    float noise = 0.0f;
    if (Line.CMoveReadCapLetter(letter) != ProcString::Done || ReadPlainFloat(mean) != ProcString::Done ||
        ReadPlainFloat(noise) != ProcString::Done) {
        return Fail(MsgInitMissing);
    }
    if (!AtEnd()) return Fail(MsgInitTextAfter);
    if (Sim->ComponentCount == 0) return Fail(MsgNoModelYet);
    bool inUse = Sim->GetComponentIndex(letter) >= 0;
    if (inUse && Sim->GetInitConcentration(letter) != UnsetConcentration) {
        return Fail(MsgGivenTwice);
    }
    if (!(mean >= -10.0f && mean <= 10.0f) || !(noise >= -10.0f && noise <= 10.0f) || !inUse ||
        Sim->SetInitConcentration(letter, mean, noise) != ReaDifSimulation::Done) {
        return FailWithLastLetter(MsgInitRange);
    }
}

void ScriptParser::ParseSize() {
    if (KeptWidth != 0) return Fail(MsgGivenTwice);
    // The line counts as seen even when it turns out faulty; the numbers are read straight
    // into the kept size, so a width of 0 leaves the size missing as well.
    KeptWidth = -1;
    if (Line.CMoveReadInteger(KeptWidth) != ProcString::Done || Line.CMoveReadInteger(KeptHeight) != ProcString::Done) {
        return Fail(MsgSizeMissing);
    }
    if (!AtEnd()) return Fail(MsgSizeTextAfter);
    if (KeptWidth < 10 || KeptWidth > 600 || KeptHeight < 10 || KeptHeight > 600) {
        return Fail(MsgSizeRange);
    }
}

void ScriptParser::ParseIterations() {
    if (KeptIterations != 0) return Fail(MsgGivenTwice);
    KeptIterations = -1;
    if (Line.CMoveReadInteger(KeptIterations) != ProcString::Done) return Fail(MsgIterationsMissing);
    if (!AtEnd()) return Fail(MsgIterationsTextAfter);
    if (KeptIterations < 1 || KeptIterations > 500000) return Fail(MsgIterationsRange);
}

void ScriptParser::ParseRandseed() {
    if (KeptSeed != 0) return Fail(MsgGivenTwice);
    if (Line.CMoveReadInteger(KeptSeed) != ProcString::Done) return Fail(MsgSeedMissing);
    if (!AtEnd()) return Fail(MsgSeedTextAfter);
}

void ScriptParser::ParseColormap() {
    if (ColormapSeen) return Fail(MsgGivenTwice);
    ColormapSeen = 1;
    // A refused colour map leaves its reason in LastErrorMessage.
    if (Sim->SetColorMapFromString(Line, LastErrorMessage) != ReaDifSimulation::Done) {
        ErrorOffset = Line.GetCursorOffset();
    }
}

void ScriptParser::ParseImage(int trueColor) {
    if (Sim->ImageComponent != '?') return Fail(MsgGivenTwice);
    char letter = 0;
    int32_t start = 0;
    int32_t period = 0;
    float scale = 0.0f;
    float offset = 0.0f;
    if (Line.CMoveReadCapLetter(letter) != ProcString::Done) return Fail(MsgImageSyntax);
    if (Line.CMoveReadPostfixInteger(start, '<') != ProcString::Done) start = 0;
    const char *p = Line.GetCursor();
    if (!(p[0] == 't' && p[1] == '+' && IntegerStartsAt(p + 2)) ||
        Line.CMoveReadPrefixInteger("t+", period) != ProcString::Done) {
        return Fail(MsgImageSyntax);
    }
    p = Line.GetCursor();
    if (p[0] == '*') {
        if (!FloatStartsAt(p + 1) || Line.CMoveReadPrefixFloat('*', scale, 0.0f) != ProcString::Done) {
            return Fail(MsgImageSyntax);
        }
        p = Line.GetCursor();
        if (!((p[0] == '+' || p[0] == '-') && FloatStartsAt(p + 1) && p[1] != '-') ||
            Line.CMoveReadSignedFloat(offset) != ProcString::Done) {
            return Fail(MsgImageSyntax);
        }
    } else if (Line.CMoveMatchWord("autoscale")) {
        scale = 0.0f;
    } else {
        return Fail(MsgImageSyntax);
    }
    int mosaic = 0;
    int32_t mosaicWidth = 0;
    int32_t mosaicHeight = 0;
    if (Line.CMoveMatchWordCI("mosaic")) {
        mosaic = 1;
        if (Line.CMoveReadInteger(mosaicWidth) != ProcString::Done || Line.CMoveReadInteger(mosaicHeight) != ProcString::Done) {
            return Fail(MsgMosaicMissing);
        }
        if (mosaicWidth < 10 || mosaicWidth > 800 || mosaicHeight < 10 || mosaicHeight > 600) {
            return Fail(MsgMosaicRange);
        }
    }
    char format = 'B';
    if (Line.CMoveMatchWordCI("TGA")) {
        format = 'T';
    } else if (Line.CMoveMatchWordCI("BMP")) {
        format = 'B';
    }
    if (!AtEnd()) return Fail(MsgImageTextAfter);
    if (Sim->ComponentCount == 0) return Fail(MsgNoModelYet);
    if (Sim->GetComponentIndex(letter) < 0 || period <= 0) {
        return FailWithLastLetter(MsgImageComponent);
    }
    Sim->ImageComponent = letter;
    Sim->ImageStart = start;
    Sim->ImagePeriod = period;
    Sim->ImageScale = scale;
    Sim->ImageOffset = offset;
    Sim->ImageFormat = format;
    Sim->TrueColor = trueColor;
    Sim->Mosaic = mosaic;
    if (mosaic) {
        // A mosaic that cannot be sized leaves its picture in the error state: the image
        // writes of the run then fail and are reported there.
        if (trueColor) {
            (void)Sim->TmpTileImage2D24.SetNewSize(uint16_t(mosaicWidth), uint16_t(mosaicHeight), 1);
        } else {
            (void)Sim->TmpTileImage2D8.SetNewSize(uint16_t(mosaicWidth), uint16_t(mosaicHeight), 1);
        }
    }
}
