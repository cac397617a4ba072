#include "sweep/SweepExpander.h"

#include <filesystem>
#include <memory>
#include <new>
#include <random>
#include <set>

#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"
#include "sweep/SweepFolder.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/StringTable.h"

namespace {

constexpr int ComponentSlots = 4;

uint32_t FreshSeed() {
    std::random_device device;
    return device() % SweepExpander::MaxSeed + 1;
}

bool IsCommentOrBlank(const std::vector<std::string> &words) {
    return words.empty() || words[0].compare(0, 2, "//") == 0 ||
           words[0].compare(0, 4, "#ERR") == 0;
}

// The text of the line of a script (from 1), without its line end.
std::string LineOf(const std::string &text, int32_t line) {
    size_t start = 0;
    for (int32_t i = 1; i < line && start != std::string::npos; ++i) {
        start = text.find('\n', start);
        if (start != std::string::npos) ++start;
    }
    if (start == std::string::npos || start >= text.size()) return "";
    size_t end = text.find_first_of("\r\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Parses path without rewriting it: "" when accepted, else one "PATH:LINE: TEXT" line per
// annotation, each followed by the line it is about.
std::string CheckScript(const std::string &path, const std::string &text) {
    if (GST.GetMessageCount() == 0) LoadGST();
    std::unique_ptr<ReaDifSimulation> sim(new (std::nothrow) ReaDifSimulation(ComponentSlots));
    std::unique_ptr<ScriptParser> parser(new (std::nothrow) ScriptParser());
    if (sim == nullptr || parser == nullptr ||
        sim->ErrorStatus == ReaDifSimulation::StatusAllocationFailed) {
        return path + ": out of memory\n";
    }
    int32_t position = 0;
    int result = parser->Parse(*sim, path.c_str(), position, 0, ScriptParser::Mode::Check);
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

uint32_t SweepExpander::ScriptSeed(const std::string &text) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        SweepText::SplitWords(text.substr(start, end - start), words);
        if (words.size() == 2 && words[0] == "randseed") {
            return uint32_t(std::strtoul(words[1].c_str(), nullptr, 10));
        }
        start = end + 1;
    }
    return 0;
}

int SweepExpander::LoadBase(const std::string &path) {
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
    Error = CheckScript(path, text);
    if (!Error.empty()) return Failed;
    std::filesystem::path file(path);
    Base = file.stem().string();
    Lines.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        Lines.push_back(text.substr(start, end - start));
        start = end;
    }
    // Lines added to a variant end as the base's lines do.
    LineEnd = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    return Done;
}

int SweepExpander::FindLine(const VariedLine &varied) const {
    std::vector<std::string> words;
    for (size_t i = 0; i < Lines.size(); ++i) {
        SweepText::SplitWords(Lines[i], words);
        if (IsCommentOrBlank(words) || words.size() <= varied.Words.size()) continue;
        bool same = true;
        for (size_t w = 0; w < varied.Words.size() && same; ++w) same = words[w] == varied.Words[w];
        if (same) return int(i);
    }
    return -1;
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
    bool seedWritten = false;
    std::string appended;
    for (size_t s = 0; s < VariedList.size(); ++s) {
        if (LineIndexes[s] < 0) {
            appended += VariedList[s].LineText() + " " + VariedList[s].Values[picks[s]] + LineEnd;
        }
    }
    for (size_t i = 0; i < Lines.size(); ++i) {
        std::string line = Lines[i];
        SweepText::SplitWords(line, words, &starts);
        if (!words.empty() && words[0].compare(0, 4, "#ERR") == 0) continue;
        if (!IsCommentOrBlank(words) && words[0] == "randseed") {
            // The variant carries its seed, so it runs the same wherever it is run.
            size_t end = line.find_first_of("\r\n");
            line = line.substr(0, starts[0]) + "randseed " + std::to_string(seed) +
                   (end == std::string::npos ? LineEnd : line.substr(end));
            seedWritten = true;
        }
        for (size_t s = 0; s < VariedList.size(); ++s) {
            if (LineIndexes[s] != int(i)) continue;
            const size_t word = VariedList[s].Words.size();
            line = line.substr(0, starts[word]) + VariedList[s].Values[picks[s]] +
                   line.substr(starts[word] + words[word].size());
        }
        text += line;
        if (i + 1 == Lines.size() && line.find('\n') == std::string::npos) text += LineEnd;
    }
    text += appended;
    if (!seedWritten) text += "randseed " + std::to_string(seed) + LineEnd;
    return text;
}

int SweepExpander::Expand(const std::vector<VariedLine> &variedLines, uint32_t seed, bool randomize,
                          const std::string &keepFrom) {
    VariedList = variedLines;
    LineIndexes.clear();
    List.clear();
    Error.clear();
    if (variedLines.empty()) {
        Error = "nothing is varied\n";
        return Failed;
    }
    size_t total = 1;
    for (const VariedLine &varied : variedLines) {
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
        return ScriptSeed(text);
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
        Shared = seed != 0 ? seed : ScriptSeed([&] {
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

int SweepExpander::WriteAndCheck(const std::string &folder) {
    Error.clear();
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
        std::string report = CheckScript(path, variant.Text);
        if (!report.empty()) {
            Error = "variant " + variant.Name + " is refused:\n" + report;
            return VariantRefused;
        }
    }
    return Done;
}
