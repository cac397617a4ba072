#include "rdsimul/ScriptParser.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptText.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/ByteBuffer.h"
#include "toolkit/ClosestWord.h"
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

// The model names of the model table as the messages list them: all but the last joined by
// ", ", and the last, which the language joins with its own word ("and", "ou").
struct ModelNameList {
    std::string AllButLast;
    const char *Last = "";
    ModelNameList() {
        for (int i = 0; i + 1 < ReactionModelCount; ++i) {
            AllButLast += (i > 0 ? ", " : "") + std::string(ReactionModelTable[i].Name);
        }
        Last = ReactionModelTable[ReactionModelCount - 1].Name;
    }
};

const ModelNameList &ModelNames() {
    static const ModelNameList names;
    return names;
}

bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

// The letter of a formula line ("formula L ..."), or 0 when the line is none.
char FormulaLetterOf(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && IsBlankChar(line[i])) ++i;
    constexpr std::string_view keyword = "formula";
    if (line.substr(i, keyword.size()) != keyword) return 0;
    i += keyword.size();
    if (i >= line.size() || !IsBlankChar(line[i])) return 0;
    while (i < line.size() && IsBlankChar(line[i])) ++i;
    if (i >= line.size() || line[i] < 'A' || line[i] > 'Z') return 0;
    return line[i];
}

// The word after keyword on a line that starts with it ("map mask logo.png" gives "mask"), or
// an empty view when the line does not.
std::string_view WordAfter(std::string_view line, std::string_view keyword) {
    size_t i = 0;
    while (i < line.size() && IsBlankChar(line[i])) ++i;
    if (line.substr(i, keyword.size()) != keyword) return {};
    i += keyword.size();
    if (i >= line.size() || !IsBlankChar(line[i])) return {};
    while (i < line.size() && IsBlankChar(line[i])) ++i;
    size_t end = i;
    while (end < line.size() && !IsBlankChar(line[end]) && line[end] != '\r' && line[end] != '\n') {
        ++end;
    }
    return line.substr(i, end - i);
}

bool SameNameCaseAside(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? char(a[i] + 32) : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? char(b[i] + 32) : b[i];
        if (x != y) return false;
    }
    return true;
}

// The keywords a line may start with, as the suggestions offer them.
const std::vector<const char *> &Keywords() {
    static const std::vector<const char *> keywords = {
        "model",    "modpar",     "reaction", "diffusion", "init",
        "size",     "iterations", "randseed", "colormap",  "image256",
        "image16M", "at",         "formula",  "map",       "initmap"};
    return keywords;
}

const std::vector<const char *> &ModelNameWords() {
    static const std::vector<const char *> names = [] {
        std::vector<const char *> all;
        for (int i = 0; i < ReactionModelCount; ++i) all.push_back(ReactionModelTable[i].Name);
        return all;
    }();
    return names;
}

int32_t EditorLengthOf(const ByteBuffer &text) {
    return EditorLength(text.GetData(), int32_t(text.GetSize()));
}

}  // namespace

ScriptParser::ScriptParser()
    : Line(InputLineSize),
      LastErrorMessage(LastErrorMessageSize),
      FullErrorMessage(FullErrorMessageSize),
      MissingItemMessage(LastErrorMessageSize) {
    WordBuffer[0] = 0;
}

ScriptParser::~ScriptParser() = default;

ScriptParser::Result ScriptParser::Parse(ReaDifSimulation &sim, const char *path,
                                         int &errorPosition, int randomize, Mode mode) {
    errorPosition = 0;
    // A script is text: a file with zero bytes (or one that cannot be read, a directory) would
    // lose everything behind them when rewritten, so it is refused untouched.
    if (!ReadScript(path)) return FileError;
    return ParseSource(sim, path, errorPosition, randomize, mode);
}

ScriptParser::Result ScriptParser::ParseText(ReaDifSimulation &sim, const char *path,
                                             std::string_view text, int &errorPosition,
                                             int randomize) {
    errorPosition = 0;
    Source.Clear();
    if (path == nullptr || text.size() > MaxScriptSize ||
        text.find('\0') != std::string_view::npos ||
        Source.Append(text.data(), text.size()) != ByteBuffer::Done) {
        return FileError;
    }
    return ParseSource(sim, path, errorPosition, randomize, Mode::Check);
}

ScriptParser::Result ScriptParser::ParseSource(ReaDifSimulation &sim, const char *path,
                                               int &errorPosition, int randomize, Mode mode) {
    Missing.Clear();
    Body.Clear();
    NoteRecords.Clear();
    NoteTexts.Clear();
    LineNoteCount = MissingCount = 0;
    Modpars.Clear();
    ModparNames.Clear();
    WarningRecords.Clear();
    WarningTexts.Clear();
    ModparCount = WarningCount = ModelLine = ModelRewrittenLine = 0;
    WarningsOutOfMemory = false;
    if (Line.GetString() == nullptr) return FileError;
    Sim = &sim;
    Line.Clear();
    LastErrorMessage.Clear();
    FullErrorMessage.Clear();
    // A broken simulation keeps its error state; the run refuses it later.
    (void)sim.ResetDefaultParameters();
    SourceLine = BodyLines = 0;
    FirstErrorPosition = 0;
    RunningLength = 0;
    ErrorOffset = 0;
    Failed = 0;
    FirstErrorSet = 0;
    KeptWidth = KeptHeight = KeptIterations = KeptSeed = 0;
    ColormapSeen = 0;

    const char *text = Source.GetData();
    size_t size = Source.GetSize();
    // The editor drops a byte-order mark: it is kept in the file but counts no character.
    const std::string_view source(text, size);
    ByteOrderMarkSize = ScriptText::ByteOrderMarkSize(source);
    LineEnd = ScriptText::ChooseLineEnd(source.substr(ByteOrderMarkSize));
    // The formula model's components are known before its lines are read: A up to the last
    // letter a formula line names, so that every line may name any of them.
    FormulaLetters = 0;
    MapLines = 0;
    ModparWords.clear();
    ScriptPath = path;
    for (const ScriptText::Line &line : ScriptText::Lines(source)) {
        const std::string_view content(text + line.Begin, line.End - line.Begin);
        if (ScriptText::KindOf(content) != ScriptText::LineKind::Setting) continue;
        const char letter = FormulaLetterOf(content);
        if (letter >= 'A' && letter < 'A' + FormulaProgram::MaxComponents) {
            FormulaLetters |= 1u << (letter - 'A');
        }
        // So are the maps, so that a formula may read a map named on a later line; and the
        // modpar names, which no map may take.
        const std::string_view map = WordAfter(content, "map");
        if (!map.empty()) (void)sim.Formula.DeclareMap(std::string(map).c_str());
        const std::string_view modpar = WordAfter(content, "modpar");
        if (!modpar.empty()) ModparWords.emplace_back(modpar);
    }
    for (const ScriptText::Line &line : ScriptText::Lines(source)) {
        ++SourceLine;
        if (TakeLine(text + line.Begin, line.End - line.Begin) != ByteBuffer::Done) {
            return FileError;
        }
    }
    if (WriteMissingItems() != ByteBuffer::Done || WarningsOutOfMemory ||
        CollectWarnings() != ByteBuffer::Done) {
        return FileError;
    }
    if (mode == Mode::Annotate && !RewriteIsUnchanged() &&
        WriteRewrite(path) != AtomicFileWriter::Done) {
        return FileError;
    }
    errorPosition = FirstErrorPosition + EditorLengthOf(Missing);
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

bool ScriptParser::ReadScript(const char *path) {
    Source.Clear();
    if (path == nullptr) return false;
    ScopedFile script(path, "rb");
    if (!script || Source.AppendFile(script.Get(), MaxScriptSize) != ByteBuffer::Done) return false;
    return Source.GetSize() == 0 || std::memchr(Source.GetData(), 0, Source.GetSize()) == nullptr;
}

ByteBuffer::Result ScriptParser::TakeLine(const char *line, size_t length) {
    const ScriptText::LineKind kind = ScriptText::KindOf(std::string_view(line, length));
    if (kind == ScriptText::LineKind::Annotation) return ByteBuffer::Done;
    LineAnnotations.Clear();
    int32_t firstNote = LineNoteCount;
    int32_t firstModpar = ModparCount;
    size_t errorAt = 0;
    bool firstErrorHere = false;
    // A comment is one line however long; other lines are parsed in pieces of at most 499
    // characters, each taken as a line of its own, and all their annotations go above the line.
    if (kind != ScriptText::LineKind::Comment) {
        size_t pieceSize;
        for (size_t piece = 0; piece < length; piece += pieceSize) {
            pieceSize = length - piece < size_t(InputLineSize - 1) ? length - piece
                                                                   : size_t(InputLineSize - 1);
            LastErrorMessage.Clear();
            if (PrepareLine(line + piece, pieceSize) != ProcString::Done) {
                Fail(MsgUnknownKeyword);
            } else {
                ParseLine();
            }
            if (LastErrorMessage.GetLength() <= 1) continue;
            (void)Sim->BuildErrorMessage(LastErrorMessage, FullErrorMessage);
            if (AddAnnotation(LineAnnotations, FullErrorMessage, LastErrorMessage, SourceLine) !=
                ByteBuffer::Done) {
                return ByteBuffer::Failed;
            }
            if (!FirstErrorSet) {
                FirstErrorSet = 1;
                firstErrorHere = true;
                errorAt = piece + size_t(ErrorOffset < 0 ? 0 : ErrorOffset);
                if (errorAt > length) errorAt = length;
            }
            Failed = 1;
        }
    }
    int32_t annotationLength = EditorLengthOf(LineAnnotations);
    if (firstErrorHere) {
        FirstErrorPosition =
            RunningLength + annotationLength + EditorLength(line, int32_t(errorAt));
    }
    if (Body.Append(LineAnnotations.GetData(), LineAnnotations.GetSize()) != ByteBuffer::Done ||
        Body.Append(line, length) != ByteBuffer::Done) {
        return ByteBuffer::Failed;
    }
    BodyLines += LineNoteCount - firstNote + 1;
    // The notes of the line point at it, below its annotations.
    for (int32_t i = firstNote; i < LineNoteCount; ++i) {
        char *record = NoteRecords.GetData() + size_t(i) * sizeof(NoteRecord);
        std::memcpy(record + offsetof(NoteRecord, RewrittenLine), &BodyLines, sizeof BodyLines);
    }
    PlaceWarningLines(firstModpar);
    RunningLength += annotationLength + EditorLength(line, int32_t(length));
    return ByteBuffer::Done;
}

ByteBuffer::Result ScriptParser::AddAnnotation(ByteBuffer &to, const ProcString &annotation,
                                               const ProcString &text, int32_t line) {
    // The annotation ends with its line feed; the script's own line end replaces it.
    size_t size = size_t(annotation.GetLength());
    if (size > 0 && annotation.GetString()[size - 1] == '\n') --size;
    NoteRecord record = {line, line == 0 ? MissingCount + 1 : 0, int32_t(NoteTexts.GetSize())};
    if (to.Append(annotation.GetString(), size) != ByteBuffer::Done ||
        to.Append(LineEnd, std::strlen(LineEnd)) != ByteBuffer::Done ||
        NoteTexts.Append(text.GetString(), size_t(text.GetLength()) + 1) != ByteBuffer::Done ||
        NoteRecords.Append(reinterpret_cast<const char *>(&record), sizeof record) !=
            ByteBuffer::Done) {
        return ByteBuffer::Failed;
    }
    if (line == 0) {
        ++MissingCount;
    } else {
        ++LineNoteCount;
    }
    return ByteBuffer::Done;
}

ScriptParser::Note ScriptParser::GetNote(int32_t index) const {
    if (index < 0 || index >= GetNoteCount()) return {0, 0, ""};
    // The missing items stand at the top of the rewritten script, their records after those of
    // the lines, which the missing items push down.
    int32_t at = index < MissingCount ? LineNoteCount + index : index - MissingCount;
    NoteRecord record;
    std::memcpy(&record, NoteRecords.GetData() + size_t(at) * sizeof record, sizeof record);
    int32_t rewritten =
        record.Line == 0 ? record.RewrittenLine : record.RewrittenLine + MissingCount;
    return {record.Line, rewritten, NoteTexts.GetData() + record.TextOffset};
}

bool ScriptParser::RewriteIsUnchanged() const {
    size_t bom = ByteOrderMarkSize;
    if (bom + Missing.GetSize() + Body.GetSize() != Source.GetSize()) return false;
    // An annotated script read again gives its own bytes back: the same missing items on top.
    const char *source = Source.GetData() + bom;
    return (Missing.GetSize() == 0 ||
            std::memcmp(source, Missing.GetData(), Missing.GetSize()) == 0) &&
           (Body.GetSize() == 0 ||
            std::memcmp(source + Missing.GetSize(), Body.GetData(), Body.GetSize()) == 0);
}

AtomicFileWriter::Result ScriptParser::WriteRewrite(const char *path) const {
    AtomicFileWriter writer;
    if (writer.Open(path) != AtomicFileWriter::Done ||
        writer.Write(Source.GetData(), ByteOrderMarkSize) != AtomicFileWriter::Done ||
        writer.Write(Missing.GetData(), Missing.GetSize()) != AtomicFileWriter::Done ||
        writer.Write(Body.GetData(), Body.GetSize()) != AtomicFileWriter::Done) {
        return AtomicFileWriter::Failed;
    }
    return writer.Commit();
}

ByteBuffer::Result ScriptParser::WriteMissingItem() {
    (void)Sim->BuildErrorMessage(MissingItemMessage, LastErrorMessage);
    Failed = 1;
    return AddAnnotation(Missing, LastErrorMessage, MissingItemMessage, 0);
}

ByteBuffer::Result ScriptParser::WriteMissingItems() {
    ReaDifSimulation &sim = *Sim;
    bool ok = true;
    if (sim.ComponentCount == 0) {
        FormatMessage(MissingItemMessage, MsgMissingModel, ModelNames().AllButLast.c_str(),
                      ModelNames().Last);
        ok &= WriteMissingItem() == ByteBuffer::Done;
    }
    const bool formula = ModelIsFormula(ReactionModelId(sim.ModelIndex));
    for (int i = 0; i < sim.ComponentCount; ++i) {
        char letter = char('A' + i);
        // A faulty formula line is annotated on its line; only a letter without one is missing.
        if (formula && !sim.Formula.Has(i) && !(FormulaLetters & (1u << i))) {
            FormatMessage(MissingItemMessage, MsgMissingFormula, letter, letter);
            ok &= WriteMissingItem() == ByteBuffer::Done;
        }
        if (sim.GetDiffusionCoeff(letter) == 0.0) {
            FormatMessage(MissingItemMessage, MsgMissingDiffusion, letter, letter);
            ok &= WriteMissingItem() == ByteBuffer::Done;
        }
        if (sim.GetReactionStrength(letter) == 0.0) {
            FormatMessage(MissingItemMessage, MsgMissingReaction, letter, letter);
            ok &= WriteMissingItem() == ByteBuffer::Done;
        }
        if (sim.GetInitConcentration(letter) == UnsetConcentration) {
            FormatMessage(MissingItemMessage, MsgMissingInit, letter, letter);
            ok &= WriteMissingItem() == ByteBuffer::Done;
        }
    }
    const int tail[] = {KeptWidth == 0 ? MsgMissingSize : 0,
                        KeptIterations == 0 ? MsgMissingIterations : 0,
                        ColormapSeen == 0 ? MsgMissingColormap : 0,
                        sim.ImageComponent == '?' ? MsgMissingImage : 0};
    for (int index : tail) {
        if (index == 0) continue;
        FormatMessage(MissingItemMessage, index);
        ok &= WriteMissingItem() == ByteBuffer::Done;
    }
    return ok ? ByteBuffer::Done : ByteBuffer::Failed;
}

ProcString::Result ScriptParser::PrepareLine(const char *piece, size_t length) {
    // The language ends a line at its line feed; a CR LF line end from another system must not
    // make the last word of the line a different word.
    char text[InputLineSize];
    std::memcpy(text, piece, length);
    text[length] = 0;
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

void ScriptParser::FailUnknownKeyword() {
    // The first word of the line, left unread so that the caret stays on it.
    const char *word = Line.GetCursor();
    size_t length = std::strcspn(word, " \t\r\n");
    const char *near = ClosestWord::Find(std::string_view(word, length), Keywords());
    if (near == nullptr) return Fail(MsgUnknownKeyword);
    // A word near a keyword is at most two characters longer than it: the message stays short.
    const std::string written(word, length);
    FormatMessage(LastErrorMessage, MsgUnknownKeywordNear, written.c_str(), near);
    ErrorOffset = Line.GetCursorOffset();
}

void ScriptParser::FailUnknownModel() {
    // WordBuffer holds the name when it was read whole; a longer one is near no model.
    const char *near =
        WordBuffer[0] != 0 ? ClosestWord::Find(WordBuffer, ModelNameWords()) : nullptr;
    if (near != nullptr) {
        FormatMessage(LastErrorMessage, MsgModelUnknownNear, WordBuffer, near,
                      ModelNames().AllButLast.c_str(), ModelNames().Last);
    } else {
        FormatMessage(LastErrorMessage, MsgModelUnknown, ModelNames().AllButLast.c_str(),
                      ModelNames().Last);
    }
    ErrorOffset = Line.GetCursorOffset();
}

void ScriptParser::FailWithLastLetter(int message) {
    FormatMessage(LastErrorMessage, message, LastComponentLetter());
    ErrorOffset = Line.GetCursorOffset();
}

char ScriptParser::LastComponentLetter() const { return char('A' + Sim->ComponentCount - 1); }

ProcString::Result ScriptParser::ReadPlainFloat(float &value) {
    const char *before = Line.GetCursor();
    if (Line.CMoveReadFloat(value, 0.0f) != ProcString::Done) return ProcString::Failed;
    PlusSignPending = Line.GetCursor() == before;
    return ProcString::Done;
}

bool ScriptParser::VariationInsteadOfValue() const {
    const char *p = Line.GetCursor();
    return PlusSignPending && p[0] == '+' && FloatStartsAt(p + 1) && p[1] != '-';
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
    Line.CMoveSkipSpaces();
    if (Line.CMatchEnd(1) == ProcString::Done) return;
    // A comment in a later piece of a long line; a later piece is never an annotation.
    if (Line.CMoveMatchString("//") == ProcString::Done) return;
    if (Line.CMoveMatchWord("model") == ProcString::Done) return ParseModel();
    if (Line.CMoveMatchWord("modpar") == ProcString::Done) return ParseModpar();
    if (Line.CMoveMatchWord("reaction") == ProcString::Done) return ParseReaction();
    if (Line.CMoveMatchWord("diffusion") == ProcString::Done) return ParseDiffusion();
    if (Line.CMoveMatchWord("initmap") == ProcString::Done) return ParseInitmap();
    if (Line.CMoveMatchWord("init") == ProcString::Done) return ParseInit();
    if (Line.CMoveMatchWord("size") == ProcString::Done) return ParseSize();
    if (Line.CMoveMatchWord("iterations") == ProcString::Done) return ParseIterations();
    if (Line.CMoveMatchWord("randseed") == ProcString::Done) return ParseRandseed();
    if (Line.CMoveMatchWord("colormap") == ProcString::Done) return ParseColormap();
    if (Line.CMoveMatchWord("image256") == ProcString::Done) return ParseImage(0);
    if (Line.CMoveMatchWord("image16M") == ProcString::Done ||
        Line.CMoveMatchWord("image16m") == ProcString::Done)
        return ParseImage(1);
    if (Line.CMoveMatchWord("at") == ProcString::Done) return ParseAt();
    if (Line.CMoveMatchWord("formula") == ProcString::Done) return ParseFormula();
    if (Line.CMoveMatchWord("map") == ProcString::Done) return ParseMap();
    FailUnknownKeyword();
}

void ScriptParser::ParseModel() {
    if (Sim->ComponentCount > 0) return Fail(MsgGivenTwice);
    WordBuffer[0] = 0;  // a name too long to be read leaves nothing of an earlier line here
    if (Line.CMoveReadWord(WordBuffer, WordBufferSize) != ProcString::Done || WordBuffer[0] == 0) {
        // A name too long for the word buffer is left unread: no model has such a name.
        return AtEnd() ? Fail(MsgModelNoName) : FailUnknownModel();
    }
    if (!AtEnd()) return Fail(MsgModelTextAfter);
    if (Sim->SetReactionModel(WordBuffer) != ReaDifSimulation::Done) return FailUnknownModel();
    if (ModelIsFormula(ReactionModelId(Sim->ModelIndex))) {
        int count = 0;
        for (int c = 0; c < FormulaProgram::MaxComponents; ++c) {
            if (FormulaLetters & (1u << c)) count = c + 1;
        }
        if (count == 0) {
            (void)Sim->SetReactionModel("");  // no model chosen
            return Fail(MsgFormulaNone);
        }
        (void)Sim->SetComponentCount(count);  // fewer than the model's slots: always done
    }
    ModelLine = SourceLine;
}

void ScriptParser::ParseModpar() {
    float value = 0.0f;
    float variation = 0.0f;
    const ProcString::Result nameRead = Line.CMoveReadWord(WordBuffer, WordBufferSize);
    if (nameRead != ProcString::Done && !AtEnd())
        return Fail(MsgModparBadName);  // longer than the buffer
    if (nameRead != ProcString::Done || WordBuffer[0] == 0 ||
        ReadPlainFloat(value) != ProcString::Done) {
        return Fail(MsgModparMissing);
    }
    if (VariationInsteadOfValue()) return Fail(MsgVariationWithoutValue);
    ReadVariation(variation);
    if (!AtEnd()) return Fail(MsgModparTextAfter);
    if (Sim->GetReactionParameter(WordBuffer) != 0.0) return Fail(MsgGivenTwice);
    if (Sim->SetReactionParameter(WordBuffer, value, variation) != ReaDifSimulation::Done) {
        return Fail(MsgModparBadName);
    }
    if (variation != 0.0f) Sim->VaryParameters = 1;
    RecordModpar();
}

void ScriptParser::ParseReaction() {
    char letter = 0;
    float strength = 0.0f;
    if (Line.CMoveReadCapLetter(letter) != ProcString::Done ||
        ReadPlainFloat(strength) != ProcString::Done) {
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
    if (Line.CMoveReadCapLetter(letter) != ProcString::Done ||
        ReadPlainFloat(coefficient) != ProcString::Done) {
        return Fail(MsgDiffusionMissing);
    }
    if (Sim->GetDiffusionCoeff(letter) != 0.0) return Fail(MsgGivenTwice);
    if (VariationInsteadOfValue()) return Fail(MsgVariationWithoutValue);
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
    if (Line.CMoveReadCapLetter(letter) != ProcString::Done ||
        ReadPlainFloat(mean) != ProcString::Done || ReadPlainFloat(noise) != ProcString::Done) {
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

std::string ScriptParser::PicturePath(const char *file) const {
    if (file[0] == '/' || ScriptPath == nullptr) return file;
    const char *slash = std::strrchr(ScriptPath, '/');
    if (slash == nullptr) return file;
    return std::string(ScriptPath, size_t(slash - ScriptPath) + 1) + file;
}

namespace {

// text as a message shows it: at most size characters, a longer one cut in the middle of a
// path's folders (its end kept) or at the end of a name, so that the annotation fits its line.
std::string Shown(const char *text, size_t size, bool keepEnd) {
    const std::string all(text);
    if (all.size() <= size) return all;
    return keepEnd ? "..." + all.substr(all.size() - (size - 3)) : all.substr(0, size - 3) + "...";
}

}  // namespace

void ScriptParser::FailPicture(const char *written, int error) {
    const std::string shown = Shown(written, ShownFileSize, true);
    const char *file = shown.c_str();
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            FormatMessage(LastErrorMessage, MsgPictureMissing, file);
            break;
        case EACCES:
        case EPERM:
            FormatMessage(LastErrorMessage, MsgPictureDenied, file);
            break;
        case EISDIR:
            FormatMessage(LastErrorMessage, MsgPictureNotFile, file);
            break;
        case EINVAL:
            FormatMessage(LastErrorMessage, MsgPictureUnknown, file);
            break;
        case EFBIG:
            FormatMessage(LastErrorMessage, MsgPictureTooLarge, file, int(PictureMap::MaxSide));
            break;
        default:
            FormatMessage(LastErrorMessage, MsgPictureUnreadable, file, std::strerror(error));
            break;
    }
}

void ScriptParser::ParseMap() {
    char name[WordBufferSize];
    const int32_t nameAt = Line.GetCursorOffset();
    if (Line.CMoveReadWord(name, WordBufferSize) != ProcString::Done || name[0] == 0 || AtEnd()) {
        return Fail(MsgMapSyntax);
    }
    const int32_t fileAt = Line.GetCursorOffset();
    if (Line.CMoveReadWord(WordBuffer, WordBufferSize) != ProcString::Done || WordBuffer[0] == 0 ||
        !AtEnd()) {
        return Fail(MsgMapSyntax);
    }
    ErrorOffset = nameAt;
    auto failName = [&](int message) {
        FormatMessage(LastErrorMessage, message, Shown(name, ShownNameSize, false).c_str());
        ErrorOffset = nameAt;
    };
    if (FormulaProgram::Reserved(name)) return failName(MsgMapReserved);
    for (const std::string &word : ModparWords) {
        if (SameNameCaseAside(word, name)) return failName(MsgMapIsParameter);
    }
    const int map = Sim->Formula.MapIndex(name);
    if (map < 0) {
        // The names were declared before the lines were read: one the program did not take is
        // no name, or one too many.
        if (Sim->Formula.MapCount() < FormulaProgram::MaxMaps) return failName(MsgMapBadName);
        FormatMessage(LastErrorMessage, MsgMapTooMany, FormulaProgram::MaxMaps);
        ErrorOffset = nameAt;
        return;
    }
    if (MapLines & (1u << map)) return failName(MsgMapTwice);
    MapLines |= 1u << map;
    int error = 0;
    if (Sim->SetMapPicture(name, PicturePath(WordBuffer).c_str(), error) !=
        ReaDifSimulation::Done) {
        FailPicture(WordBuffer, error);
        ErrorOffset = fileAt;
    }
}

void ScriptParser::ParseInitmap() {
    char letter = 0;
    float low = 0.0f;
    float high = 0.0f;
    if (Line.CMoveReadCapLetter(letter) != ProcString::Done) return Fail(MsgInitmapSyntax);
    const int32_t fileAt = Line.GetCursorOffset();
    if (Line.CMoveReadWord(WordBuffer, WordBufferSize) != ProcString::Done || WordBuffer[0] == 0 ||
        ReadPlainFloat(low) != ProcString::Done || ReadPlainFloat(high) != ProcString::Done) {
        return Fail(MsgInitmapSyntax);
    }
    if (!AtEnd()) return Fail(MsgInitmapSyntax);
    if (Sim->ComponentCount == 0) return Fail(MsgNoModelYet);
    const bool inUse = Sim->GetComponentIndex(letter) >= 0;
    if (inUse && Sim->GetInitConcentration(letter) != UnsetConcentration) {
        return Fail(MsgGivenTwice);
    }
    if (!(low >= -10.0f && low <= 10.0f) || !(high >= -10.0f && high <= 10.0f) || !inUse) {
        return FailWithLastLetter(MsgInitmapRange);
    }
    int error = 0;
    if (Sim->SetInitPicture(letter, PicturePath(WordBuffer).c_str(), low, high, error) !=
        ReaDifSimulation::Done) {
        FailPicture(WordBuffer, error);
        ErrorOffset = fileAt;
    }
}

void ScriptParser::ParseFormula() {
    const char *p = Line.GetCursor();
    char letter = 0;
    if (p[0] < 'A' || p[0] > 'Z' || !IsBlankChar(p[1]) ||
        Line.CMoveReadCapLetter(letter) != ProcString::Done || AtEnd()) {
        return Fail(MsgFormulaSyntax);
    }
    if (Sim->ComponentCount == 0) return Fail(MsgNoModelYet);
    if (!ModelIsFormula(ReactionModelId(Sim->ModelIndex))) return Fail(MsgFormulaOtherModel);
    const int component = letter - 'A';
    if (component >= FormulaProgram::MaxComponents) return Fail(MsgFormulaSyntax);
    if (Sim->Formula.Has(component)) return Fail(MsgGivenTwice);
    const int32_t start = Line.GetCursorOffset();
    FormulaProgram::Error error;
    if (Sim->Formula.Compile(component, Line.GetCursor(), Sim->ComponentCount, error) ==
        FormulaProgram::Result::Done) {
        return;
    }
    const int column = start + error.Column;
    using R = FormulaProgram::Result;
    switch (error.What) {
        case R::Empty:
            FormatMessage(LastErrorMessage, MsgFormulaEmpty, column);
            break;
        case R::UnexpectedEnd:
            FormatMessage(LastErrorMessage, MsgFormulaUnexpectedEnd, column);
            break;
        case R::Unexpected:
            FormatMessage(LastErrorMessage, MsgFormulaUnexpected, column, error.Text);
            break;
        case R::PlusSign:
            FormatMessage(LastErrorMessage, MsgFormulaPlusSign, column);
            break;
        case R::Exponent:
            FormatMessage(LastErrorMessage, MsgFormulaExponent, column, error.Text, error.Other);
            break;
        case R::MissingParen:
            FormatMessage(LastErrorMessage, MsgFormulaMissingParen, column);
            break;
        case R::UnknownFunction:
            FormatMessage(LastErrorMessage, MsgFormulaUnknownFunction, column, error.Text);
            break;
        case R::ArgumentCount:
            if (error.Count == 1) {
                FormatMessage(LastErrorMessage, MsgFormulaArgument, column, error.Text);
            } else {
                FormatMessage(LastErrorMessage, MsgFormulaArguments, column, error.Text,
                              error.Count);
            }
            break;
        case R::FunctionWithoutCall:
            FormatMessage(LastErrorMessage, MsgFormulaNoCall, column, error.Text, error.Text);
            break;
        case R::NotAComponent:
            FormatMessage(LastErrorMessage, MsgFormulaNotComponent, column, error.Text,
                          LastComponentLetter());
            break;
        case R::BadName:
            FormatMessage(LastErrorMessage, MsgFormulaBadName, column, error.Text);
            break;
        case R::Twice:
            return Fail(MsgGivenTwice);
        default:
            FormatMessage(LastErrorMessage, MsgFormulaTooLong, column);
            break;
    }
    ErrorOffset = column - 1;
}

void ScriptParser::ParseSize() {
    if (KeptWidth != 0) return Fail(MsgGivenTwice);
    // The line counts as seen even when it turns out faulty; the numbers are read straight
    // into the kept size, so a width of 0 leaves the size missing as well.
    KeptWidth = -1;
    if (Line.CMoveReadInteger(KeptWidth) != ProcString::Done ||
        Line.CMoveReadInteger(KeptHeight) != ProcString::Done) {
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
    if (Line.CMoveReadInteger(KeptIterations) != ProcString::Done)
        return Fail(MsgIterationsMissing);
    if (!AtEnd()) return Fail(MsgIterationsTextAfter);
    if (KeptIterations < 1 || KeptIterations > 500000) return Fail(MsgIterationsRange);
}

void ScriptParser::ParseRandseed() {
    if (KeptSeed != 0) return Fail(MsgGivenTwice);
    const char *number = Line.GetCursor();
    if (Line.CMoveReadInteger(KeptSeed) != ProcString::Done) return Fail(MsgSeedMissing);
    if (!AtEnd()) return Fail(MsgSeedTextAfter);
    // The integer reader stops at the 32-bit limits: the digits themselves tell a seed beyond
    // them (strtoll stops at its own, far larger, limits). A seed outside the range would not be
    // the seed the run reports, nor one --seed takes.
    const long long written = std::strtoll(number, nullptr, 10);
    if (written < 0 || written > MaxSeed) {
        FormatMessage(LastErrorMessage, MsgSeedRange, int(MaxSeed));
        ErrorOffset = Line.GetCursorOffset();
    }
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
        if (!FloatStartsAt(p + 1) ||
            Line.CMoveReadPrefixFloat('*', scale, 0.0f) != ProcString::Done) {
            return Fail(MsgImageSyntax);
        }
        p = Line.GetCursor();
        if (!((p[0] == '+' || p[0] == '-') && FloatStartsAt(p + 1) && p[1] != '-') ||
            Line.CMoveReadSignedFloat(offset) != ProcString::Done) {
            return Fail(MsgImageSyntax);
        }
    } else if (Line.CMoveMatchWord("autoscale") == ProcString::Done) {
        scale = 0.0f;
    } else {
        return Fail(MsgImageSyntax);
    }
    int mosaic = 0;
    int32_t mosaicWidth = 0;
    int32_t mosaicHeight = 0;
    if (Line.CMoveMatchWordCI("mosaic") == ProcString::Done) {
        mosaic = 1;
        if (Line.CMoveReadInteger(mosaicWidth) != ProcString::Done ||
            Line.CMoveReadInteger(mosaicHeight) != ProcString::Done) {
            return Fail(MsgMosaicMissing);
        }
        if (mosaicWidth < 10 || mosaicWidth > 800 || mosaicHeight < 10 || mosaicHeight > 600) {
            return Fail(MsgMosaicRange);
        }
    }
    char format = 'B';
    if (Line.CMoveMatchWordCI("TGA") == ProcString::Done) {
        format = 'T';
    } else if (Line.CMoveMatchWordCI("BMP") == ProcString::Done) {
        format = 'B';
    } else if (Line.CMoveMatchWordCI("PNG") == ProcString::Done) {
        format = 'P';
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
            (void)Sim->TmpTileImage2D24.SetNewSize(uint16_t(mosaicWidth), uint16_t(mosaicHeight),
                                                   1);
        } else {
            (void)Sim->TmpTileImage2D8.SetNewSize(uint16_t(mosaicWidth), uint16_t(mosaicHeight), 1);
        }
    }
}

void ScriptParser::ParseAt() {
    ScheduledChange change;
    if (Line.CMoveReadInteger(change.Time) != ProcString::Done) return Fail(MsgAtSyntax);
    // The change is checked against the model's components, the field and the run's length.
    if (Sim->ComponentCount == 0 || KeptWidth < 10 || KeptIterations < 1) return Fail(MsgAtOrder);
    if (change.Time < 0 || change.Time >= KeptIterations) {
        FormatMessage(LastErrorMessage, MsgAtTime, KeptIterations - 1);
        ErrorOffset = Line.GetCursorOffset();
        return;
    }
    if (Line.CMoveMatchWord("modpar") == ProcString::Done) {
        change.What = ScheduledChange::Kind::Modpar;
        ParseAtModpar(change);
    } else if (Line.CMoveMatchWord("reaction") == ProcString::Done) {
        change.What = ScheduledChange::Kind::Reaction;
        ParseAtComponent(change);
    } else if (Line.CMoveMatchWord("diffusion") == ProcString::Done) {
        change.What = ScheduledChange::Kind::Diffusion;
        ParseAtComponent(change);
    } else if (Line.CMoveMatchWord("paint") == ProcString::Done) {
        ParseAtPaint(change);
    } else {
        return Fail(MsgAtSyntax);
    }
    if (LastErrorMessage.GetLength() > 1) return;
    // The checks above are the simulation's: it takes every change they let through.
    if (Sim->ScheduleChange(change) != ReaDifSimulation::Done) Fail(MsgAtSyntax);
}

void ScriptParser::ParseAtModpar(ScheduledChange &change) {
    float value = 0.0f;
    float variation = 0.0f;
    if (Line.CMoveReadWord(WordBuffer, WordBufferSize) != ProcString::Done || WordBuffer[0] == 0 ||
        ReadPlainFloat(value) != ProcString::Done) {
        return Fail(MsgAtModpar);
    }
    ReadVariation(variation);
    if (!AtEnd()) return Fail(MsgAtModpar);
    change.Key = ReaDifSimulation::ParameterKey(WordBuffer, true);
    if (change.Key < 0) return Fail(MsgModparBadName);
    change.Value = value;
    change.Variation = variation;
}

void ScriptParser::ParseAtComponent(ScheduledChange &change) {
    const bool reaction = change.What == ScheduledChange::Kind::Reaction;
    const int message = reaction ? MsgAtReaction : MsgAtDiffusion;
    char letter = 0;
    float value = 0.0f;
    float variation = 0.0f;
    if (Line.CMoveReadCapLetter(letter) != ProcString::Done ||
        ReadPlainFloat(value) != ProcString::Done) {
        return FailWithLastLetter(message);
    }
    if (!reaction) ReadVariation(variation);
    change.Key = Sim->GetComponentIndex(letter);
    const double most = reaction ? 100.0 : 1.0;
    if (!AtEnd() || change.Key < 0 || !(value >= 0.0f && value <= most)) {
        return FailWithLastLetter(message);
    }
    change.Value = value;
    change.Variation = variation;
}

void ScriptParser::ParseAtPaint(ScheduledChange &change) {
    char letter = 0;
    float value = 0.0f;
    float radius = 0.0f;
    if (Line.CMoveReadCapLetter(letter) != ProcString::Done) return FailWithLastLetter(MsgAtPaint);
    if (Line.CMoveMatchWord("set") == ProcString::Done) {
        change.What = ScheduledChange::Kind::PaintSet;
    } else if (Line.CMoveMatchWord("add") == ProcString::Done) {
        change.What = ScheduledChange::Kind::PaintAdd;
    } else {
        return FailWithLastLetter(MsgAtPaint);
    }
    if (ReadPlainFloat(value) != ProcString::Done || ReadPlainFloat(radius) != ProcString::Done ||
        !std::isfinite(value)) {
        return FailWithLastLetter(MsgAtPaint);
    }
    change.Key = Sim->GetComponentIndex(letter);
    if (change.Key < 0) return FailWithLastLetter(MsgAtPaint);
    bool inRange = radius >= 0.5f && radius <= 600.0f;
    while (!AtEnd()) {
        ScheduledChange::Point centre;
        const char *before = Line.GetCursor();
        // A pair that reads without moving the cursor (a sign the reader passes over) would
        // be read again for ever: it is no pair.
        if (Line.CMoveReadInteger(centre.X) != ProcString::Done ||
            Line.CMoveReadInteger(centre.Y) != ProcString::Done || Line.GetCursor() == before) {
            return FailWithLastLetter(MsgAtPaint);  // an odd count, or no number
        }
        inRange = inRange && centre.X >= 0 && centre.X < KeptWidth && centre.Y >= 0 &&
                  centre.Y < KeptHeight;
        change.Centres.push_back(centre);
    }
    if (change.Centres.empty()) return FailWithLastLetter(MsgAtPaint);
    if (!inRange) {
        FormatMessage(LastErrorMessage, MsgAtPaintRange, KeptWidth - 1, KeptHeight - 1);
        ErrorOffset = Line.GetCursorOffset();
        return;
    }
    change.Value = value;
    change.Radius = radius;
}
