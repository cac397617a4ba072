// The warnings of ScriptParser: modpar lines the model does not read (with the parameter meant,
// when one is near), modpar names read as a parameter they do not spell, and parameters the model
// reads that no modpar line sets. The language accepts all of them (a missing parameter reads 0),
// so they are only told, never written into the script.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ReactionModels.h"
#include "rdsimul/ScriptParser.h"
#include "toolkit/ClosestWord.h"
#include "toolkit/MessageIds.h"
#include "toolkit/StringTable.h"

namespace {

// Room for a warning: a modpar name of 207 characters and the longest parameter list fit.
constexpr int WarningSize = 400;

void FormatWarning(char (&text)[WarningSize], int index, ...) {
    va_list arguments;
    va_start(arguments, index);
    std::vsnprintf(text, sizeof text, GST.Get(index), arguments);
    va_end(arguments);
}

const char *ParameterName(const ModelParameter &parameter) {
    return ReactionParameterNames[int(parameter.Field)];
}

// The name of the parameter of model that key stands for; null when the model reads none.
const char *ParameterOfKey(const ReactionModelInfo &model, int key) {
    for (int i = 0; i < model.ParameterCount(); ++i) {
        const char *name = ParameterName(model.Parameters[i]);
        if (ReaDifSimulation::ParameterKey(name, false) == key) return name;
    }
    return nullptr;
}

// Whether written spells parameter or shortens it ("al", "Alpha"): only other spellings that the
// two-character rule reads as it ("alligator") are told.
bool SpellsOrShortens(const char *written, const char *parameter) {
    const size_t length = std::strlen(written);
    if (length > std::strlen(parameter)) return false;
    for (size_t i = 0; i < length; ++i) {
        char c = written[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != parameter[i]) return false;
    }
    return true;
}

}  // namespace

void ScriptParser::RecordModpar() {
    ModparRecord record = {SourceLine, 0, ReaDifSimulation::ParameterKey(WordBuffer, true),
                           int32_t(ModparNames.GetSize())};
    if (ModparNames.Append(WordBuffer, std::strlen(WordBuffer) + 1) != ByteBuffer::Done ||
        Modpars.Append(reinterpret_cast<const char *>(&record), sizeof record) !=
            ByteBuffer::Done) {
        WarningsOutOfMemory = true;
        return;
    }
    ++ModparCount;
}

void ScriptParser::PlaceWarningLines(int32_t firstModpar) {
    // The line ends at BodyLines of the rewritten script, below its annotations.
    for (int32_t i = firstModpar; i < ModparCount; ++i) {
        char *record = Modpars.GetData() + size_t(i) * sizeof(ModparRecord);
        std::memcpy(record + offsetof(ModparRecord, RewrittenLine), &BodyLines, sizeof BodyLines);
    }
    if (ModelLine == SourceLine) ModelRewrittenLine = BodyLines;
}

ByteBuffer::Result ScriptParser::AddWarning(int32_t line, int32_t rewrittenLine, const char *text) {
    // The missing items go above every line of the rewritten script.
    NoteRecord record = {line, rewrittenLine + MissingCount, int32_t(WarningTexts.GetSize())};
    if (WarningTexts.Append(text, std::strlen(text) + 1) != ByteBuffer::Done ||
        WarningRecords.Append(reinterpret_cast<const char *>(&record), sizeof record) !=
            ByteBuffer::Done) {
        return ByteBuffer::Failed;
    }
    ++WarningCount;
    return ByteBuffer::Done;
}

ByteBuffer::Result ScriptParser::CollectWarnings() {
    if (Sim->ComponentCount == 0 || ModelLine == 0) return ByteBuffer::Done;
    const ReactionModelInfo &model = ReactionModelTable[Sim->ModelIndex];
    const bool french = GST.GetCurrentLanguage() == StringTable::French;
    // The formula model reads the names its formulas use instead of the table's.
    const bool formula = ModelIsFormula(ReactionModelId(Sim->ModelIndex));
    const FormulaProgram &program = Sim->Formula;
    const int parameterCount = formula ? program.ParameterCount() : model.ParameterCount();
    // The name a key is read under: the table's, or the formulas' own spelling.
    auto readAs = [&](int key) -> const char * {
        if (!formula) return ParameterOfKey(model, key);
        for (int i = 0; i < program.ParameterCount(); ++i) {
            if (program.ParameterKeyAt(i) == key) return program.ParameterNameAt(i);
        }
        return nullptr;
    };
    char names[WarningSize] = "";
    std::vector<const char *> parameterNames;
    for (int i = 0; i < parameterCount; ++i) {
        const char *name =
            formula ? program.ParameterNameAt(i) : ParameterName(model.Parameters[i]);
        if (std::strlen(names) + std::strlen(name) + 3 >= sizeof names) break;
        if (i > 0) std::strcat(names, ", ");
        std::strcat(names, name);
        parameterNames.push_back(name);
    }
    char text[WarningSize];
    // In the order of the lines: the modpar lines above the model line, the parameters no line
    // sets (on the model line), then the modpar lines below it.
    bool unsetDone = false;
    for (int32_t m = 0; m <= ModparCount; ++m) {
        ModparRecord record = {};
        if (m < ModparCount) {
            std::memcpy(&record, Modpars.GetData() + size_t(m) * sizeof record, sizeof record);
        }
        if (!unsetDone && (m == ModparCount || record.Line > ModelLine)) {
            unsetDone = true;
            if (formula && CollectFormulaWarnings() != ByteBuffer::Done) return ByteBuffer::Failed;
            for (int i = 0; i < model.ParameterCount(); ++i) {
                const ModelParameter &parameter = model.Parameters[i];
                int key = ReaDifSimulation::ParameterKey(ParameterName(parameter), false);
                bool set = false;
                for (int32_t k = 0; k < ModparCount && !set; ++k) {
                    ModparRecord other;
                    std::memcpy(&other, Modpars.GetData() + size_t(k) * sizeof other, sizeof other);
                    set = other.Key == key;
                }
                if (set) continue;
                FormatWarning(text, MsgWarnParameterUnset, model.Name, ParameterName(parameter),
                              french ? parameter.MeaningFrench : parameter.Meaning,
                              parameter.Typical);
                if (AddWarning(ModelLine, ModelRewrittenLine, text) != ByteBuffer::Done) {
                    return ByteBuffer::Failed;
                }
            }
        }
        if (m == ModparCount) continue;
        const char *name = ModparNames.GetData() + record.NameOffset;
        if (const char *read = readAs(record.Key); read != nullptr) {
            if (SpellsOrShortens(name, read)) continue;
            FormatWarning(text, MsgWarnParameterReadAs, model.Name, name, read);
        } else if (parameterCount == 0) {
            FormatWarning(text, MsgWarnModelReadsNone, model.Name, name);
        } else if (const char *near = ClosestWord::Find(name, parameterNames); near != nullptr) {
            FormatWarning(text, MsgWarnParameterNotReadNear, model.Name, name, near, names);
        } else {
            FormatWarning(text, MsgWarnParameterNotRead, model.Name, name, names);
        }
        if (AddWarning(record.Line, record.RewrittenLine, text) != ByteBuffer::Done) {
            return ByteBuffer::Failed;
        }
    }
    return ByteBuffer::Done;
}

ByteBuffer::Result ScriptParser::CollectFormulaWarnings() {
    const FormulaProgram &program = Sim->Formula;
    char text[WarningSize];
    for (int i = 0; i < program.SameKeyCount(); ++i) {
        FormatWarning(text, MsgWarnFormulaSameKey, program.SameKeyFirst(i),
                      program.SameKeyLater(i));
        if (AddWarning(ModelLine, ModelRewrittenLine, text) != ByteBuffer::Done) {
            return ByteBuffer::Failed;
        }
    }
    for (int i = 0; i < program.ParameterCount(); ++i) {
        bool set = false;
        for (int32_t k = 0; k < ModparCount && !set; ++k) {
            ModparRecord other;
            std::memcpy(&other, Modpars.GetData() + size_t(k) * sizeof other, sizeof other);
            set = other.Key == program.ParameterKeyAt(i);
        }
        if (set) continue;
        FormatWarning(text, MsgWarnFormulaParameterUnset, program.ParameterNameAt(i));
        if (AddWarning(ModelLine, ModelRewrittenLine, text) != ByteBuffer::Done) {
            return ByteBuffer::Failed;
        }
    }
    return ByteBuffer::Done;
}

ScriptParser::Note ScriptParser::GetWarning(int32_t index) const {
    if (index < 0 || index >= WarningCount) return {0, 0, ""};
    NoteRecord record;
    std::memcpy(&record, WarningRecords.GetData() + size_t(index) * sizeof record, sizeof record);
    return {record.Line, record.RewrittenLine, WarningTexts.GetData() + record.TextOffset};
}
