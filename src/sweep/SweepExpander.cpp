#include "sweep/SweepExpander.h"

#include <filesystem>
#include <memory>
#include <new>
#include <random>
#include <set>

#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ReactionModels.h"
#include "rdsimul/ScriptParser.h"
#include "rdsimul/ScriptText.h"
#include "sweep/SweepFolder.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/ClosestWord.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/StringTable.h"

namespace {

uint32_t FreshSeed() {
    std::random_device device;
    return device() % uint32_t(ScriptParser::MaxSeed) + 1;
}

// The text of the line of a script (from 1), without its line end.
std::string LineOf(const std::string &text, int32_t line) {
    const std::vector<ScriptText::Line> lines = ScriptText::Lines(text);
    if (line < 1 || size_t(line) > lines.size()) return "";
    const ScriptText::Line &found = lines[size_t(line) - 1];
    return text.substr(found.Begin, found.ContentEnd - found.Begin);
}

// Parses text as the script at path, which is neither read nor written: "" when accepted, else
// one "PATH:LINE: TEXT" line per annotation, each followed by the line it is about. model, when
// given, receives the index of the accepted script's model in ReactionModelTable.
std::string CheckScript(const std::string &path, const std::string &text, int *model = nullptr) {
    if (GST.GetMessageCount() == 0) LoadGST();
    std::unique_ptr<ReaDifSimulation> sim(new (std::nothrow)
                                              ReaDifSimulation(ReaDifSimulation::ComponentSlots));
    std::unique_ptr<ScriptParser> parser(new (std::nothrow) ScriptParser());
    if (sim == nullptr || parser == nullptr ||
        sim->ErrorStatus == ReaDifSimulation::StatusAllocationFailed) {
        return path + ": out of memory\n";
    }
    int32_t position = 0;
    const ScriptParser::Result result = parser->ParseText(*sim, path.c_str(), text, position, 0);
    if (model != nullptr) *model = sim->ModelIndex;
    if (result == ScriptParser::Accepted) return "";
    if (result == ScriptParser::FileError) return path + ": the script could not be read\n";
    std::string report;
    for (int32_t i = 0; i < parser->GetNoteCount(); ++i) {
        ScriptParser::Note note = parser->GetNote(i);
        int32_t line = note.Line == 0 ? 1 : note.Line;
        report += path + ":" + std::to_string(line) + ": " + note.Text + "\n";
        if (note.Line != 0) report += "    " + LineOf(text, note.Line) + "\n";
    }
    return report;
}

}  // namespace

SweepExpander::Result SweepExpander::LoadBase(const std::string &path) {
    BasePath = path;
    // The base's name goes into every variant's head comment: it must stay one line.
    if (SweepFolder::ControlCharacterAt(path) != std::string::npos) {
        Error =
            "the base script's name holds a control character (a line break or tab); a sweep "
            "refuses it\n";
        return Failed;
    }
    std::string text;
    FileFault fault;
    if (ReadTextFile(path.c_str(), ScriptParser::MaxScriptSize, text, fault) != FileCheckDone) {
        Error = path + ": " + FaultText(fault) + "\n";
        return Failed;
    }
    Error = CheckScript(path, text, &Model);
    if (!Error.empty()) return Failed;
    std::filesystem::path file(path);
    Base = file.stem().string();
    Lines.clear();
    // A byte-order mark belongs before a file's first line, not into the middle of a variant.
    for (const ScriptText::Line &line : ScriptText::Lines(text)) {
        Lines.push_back(text.substr(line.Begin, line.End - line.Begin));
    }
    // Lines added to a variant end as the base's lines do.
    LineEnd = ScriptText::ChooseLineEnd(text.substr(ScriptText::ByteOrderMarkSize(text)));
    return Done;
}

bool SweepExpander::ModelReads(const VariedLine &varied) {
    if (varied.Words.size() < 2 || varied.Words[0] != "modpar") return true;
    // A name the model does not read would vary nothing, or (read as the base's parameter by its
    // first two characters) give that parameter a second line.
    const ReactionModelInfo &model = ReactionModelTable[Model];
    std::vector<const char *> parameters;
    std::string list;
    for (int i = 0; i < model.ParameterCount(); ++i) {
        const char *name = ReactionParameterNames[int(model.Parameters[i].Field)];
        if (varied.Words[1] == name) return true;
        parameters.push_back(name);
        list += (list.empty() ? "" : ", ") + std::string(name);
    }
    Error = "'" + varied.LineText() + "': the model " + model.Name + " has no parameter '" +
            varied.Words[1] + "'";
    if (const char *near = ClosestWord::Find(varied.Words[1], parameters); near != nullptr) {
        Error += "; did you mean '" + std::string(near) + "'?";
    }
    Error += list.empty() ? " (it has none)\n" : " (its parameters: " + list + ")\n";
    return false;
}

int SweepExpander::FindLine(const VariedLine &varied) const {
    std::vector<std::string> words;
    for (size_t i = 0; i < Lines.size(); ++i) {
        if (ScriptText::KindOf(Lines[i]) != ScriptText::LineKind::Setting) continue;
        SweepText::SplitWords(Lines[i], words);
        if (words.size() <= varied.Words.size()) continue;
        bool same = true;
        for (size_t w = 0; w < varied.Words.size() && same; ++w) {
            // The parser reads a modpar name by its first two characters: "modpar alpha" varies
            // the base's "modpar alfa" line, which a line of its own would set a second time.
            same = w == 1 && words[0] == "modpar"
                       ? ReaDifSimulation::ParameterKey(words[w].c_str(), true) ==
                             ReaDifSimulation::ParameterKey(varied.Words[w].c_str(), true)
                       : words[w] == varied.Words[w];
        }
        if (same) return int(i);
    }
    return -1;
}

std::string SweepExpander::WithPicturePath(const std::string &line) const {
    std::vector<std::string> words;
    std::vector<size_t> starts;
    SweepText::SplitWords(line, words, &starts);
    if (words.size() < 3 || (words[0] != "map" && words[0] != "initmap") || words[2][0] == '/') {
        return line;
    }
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path(BasePath).parent_path();
    const std::filesystem::path file = std::filesystem::absolute(folder / words[2], error);
    if (error) return line;
    return line.substr(0, starts[2]) + file.lexically_normal().string() +
           line.substr(starts[2] + words[2].size());
}

std::string SweepExpander::VariantText(const std::vector<size_t> &picks, const std::string &name,
                                       uint32_t seed) const {
    std::string text = HeadComment + name + " of " + Base + ".vna" + LineEnd;
    for (size_t s = 0; s < VariedList.size(); ++s) {
        text += VaryComment + VariedList[s].LineText() + " = " + VariedList[s].Values[picks[s]] +
                LineEnd;
    }
    std::vector<std::string> words;
    std::vector<size_t> starts;
    std::string body;
    for (size_t i = 0; i < Lines.size(); ++i) {
        std::string line = Lines[i];
        // Annotations of an earlier parse stay with the base.
        if (ScriptText::KindOf(line) == ScriptText::LineKind::Annotation) continue;
        SweepText::SplitWords(line, words, &starts);
        for (size_t s = 0; s < VariedList.size(); ++s) {
            if (LineIndexes[s] != int(i)) continue;
            const size_t word = VariedList[s].Words.size();
            line = line.substr(0, starts[word]) + VariedList[s].Values[picks[s]] +
                   line.substr(starts[word] + words[word].size());
        }
        line = WithPicturePath(line);
        body += line;
        if (i + 1 == Lines.size() && line.find('\n') == std::string::npos) body += LineEnd;
    }
    for (size_t s = 0; s < VariedList.size(); ++s) {
        if (LineIndexes[s] < 0) {
            body += VariedList[s].LineText() + " " + VariedList[s].Values[picks[s]] + LineEnd;
        }
    }
    // The variant carries its seed, so it runs the same wherever it is run.
    return text + ScriptText::WithKeywordLine(body, "randseed", std::to_string(seed));
}

SweepExpander::Result SweepExpander::Expand(const std::vector<VariedLine> &variedLines,
                                            uint32_t seed, bool randomize,
                                            const std::string &keepFrom) {
    VariedList = variedLines;
    Checked = false;
    LineIndexes.clear();
    List.clear();
    Error.clear();
    if (variedLines.empty()) {
        Error = "nothing is varied\n";
        return Failed;
    }
    size_t total = 1;
    for (const VariedLine &varied : variedLines) {
        if (!ModelReads(varied)) return Failed;
        int line = FindLine(varied);
        for (size_t s = 0; s < LineIndexes.size(); ++s) {
            if (line >= 0 && LineIndexes[s] == line) {
                Error = std::string("'") + varied.LineText() + "' and '" +
                        variedLines[s].LineText() + "' vary the same line\n";
                return Failed;
            }
        }
        LineIndexes.push_back(line);
        total *= varied.Values.size();
        if (total > size_t(MaxVariants)) {
            Error = "more than " + std::to_string(MaxVariants) + " variants\n";
            return Failed;
        }
    }
    // Variants already in the folder keep their seeds; the shared seed follows them too.
    auto keptSeed = [&](const std::string &name) -> uint32_t {
        if (keepFrom.empty()) return 0;
        std::string text;
        FileFault fault;
        std::string path = (std::filesystem::path(keepFrom) / (name + ".vna")).string();
        if (ReadTextFile(path.c_str(), ScriptParser::MaxScriptSize, text, fault) != FileCheckDone)
            return 0;
        return ScriptText::Seed(text);
    };
    std::vector<std::vector<size_t>> combos(total, std::vector<size_t>(variedLines.size()));
    std::vector<std::string> names(total);
    std::set<std::string> seen;
    for (size_t index = 0; index < total; ++index) {
        // The index in mixed radix, the last varied line fastest.
        size_t rest = index;
        for (size_t s = variedLines.size(); s-- > 0;) {
            combos[index][s] = rest % variedLines[s].Values.size();
            rest /= variedLines[s].Values.size();
        }
        for (size_t s = 0; s < variedLines.size(); ++s) {
            if (s > 0) names[index] += '_';
            names[index] += variedLines[s].Label;
            names[index] += variedLines[s].Values[combos[index][s]];
        }
        if (!seen.insert(names[index]).second) {
            Error = "two variants would be named '" + names[index] + "'\n";
            return Failed;
        }
    }
    Shared = 0;
    if (!randomize) {
        Shared = seed != 0 ? seed : ScriptText::Seed([&] {
            std::string all;
            for (const std::string &line : Lines) all += line;
            return all;
        }());
        if (Shared == 0) {
            for (size_t index = 0; index < total && Shared == 0; ++index) {
                Shared = keptSeed(names[index]);
            }
        }
        if (Shared == 0) Shared = FreshSeed();
    }
    for (size_t index = 0; index < total; ++index) {
        SweepVariant variant;
        variant.Name = names[index];
        for (size_t s = 0; s < variedLines.size(); ++s) {
            variant.Values.push_back(variedLines[s].Values[combos[index][s]]);
        }
        variant.Seed = Shared;
        if (randomize) {
            variant.Seed = keptSeed(variant.Name);
            if (variant.Seed == 0) variant.Seed = FreshSeed();
        }
        variant.Text = VariantText(combos[index], variant.Name, variant.Seed);
        List.push_back(std::move(variant));
    }
    return Done;
}

SweepExpander::Result SweepExpander::CheckVariants(const std::string &folder) {
    Error.clear();
    Folder = folder;
    Checked = false;
    for (const SweepVariant &variant : List) {
        // Named as it will be written, so the report points where the user will look.
        const std::string path = (std::filesystem::path(Folder) / (variant.Name + ".vna")).string();
        std::string report = CheckScript(path, variant.Text);
        if (!report.empty()) {
            Error = "variant " + variant.Name + " is refused:\n" + report;
            return VariantRefused;
        }
    }
    Checked = true;
    return Done;
}

SweepExpander::Result SweepExpander::WriteAndCheck(const std::string &folder) {
    Error.clear();
    // Every variant is checked before the first is written: a refused sweep leaves nothing.
    if (!Checked || folder != Folder) {
        const Result checked = CheckVariants(folder);
        if (checked != Done) return checked;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        Error = folder + ": " + FaultText(error.value()) + "\n";
        return Failed;
    }
    for (const SweepVariant &variant : List) {
        std::string path = (std::filesystem::path(folder) / (variant.Name + ".vna")).string();
        int cause = 0;
        if (AtomicFileWriter::WriteWhole(path.c_str(), variant.Text.data(), variant.Text.size(),
                                         cause) != AtomicFileWriter::Done) {
            Error = path + ": " + FaultText(cause) + "\n";
            return Failed;
        }
    }
    return Done;
}
