// ChangeRecord: recorded changes, their `at` lines and the block they form in the script.
#include "frontend/ChangeRecord.h"

#include <charconv>
#include <cmath>

#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ReactionModels.h"
#include "rdsimul/ScriptText.h"

namespace {

// What the parser would read back of a real: the nearest single-precision value.
double Single(double value) { return double(float(value)); }

// The name the model table gives a parameter key, else its two-character key.
std::string ParameterName(int key, int modelIndex) {
    if (modelIndex >= 0 && modelIndex < ReactionModelCount) {
        const ReactionModelInfo &model = ReactionModelTable[modelIndex];
        for (int i = 0; i < model.ParameterCount(); ++i) {
            const char *name = ReactionParameterNames[int(model.Parameters[i].Field)];
            if (ReaDifSimulation::ParameterKey(name, true) == key) return name;
        }
    }
    if (key < 26) return std::string(1, char('a' + key));
    // Past the 26 one-letter keys, 36 per first letter: 26 letters then 10 digits.
    const int first = (key - 26) / 36;
    const int second = (key - 26) % 36;
    std::string name(1, char('a' + first));
    name += second < 26 ? char('a' + second) : char('0' + second - 26);
    return name;
}

bool Representable(const ScheduledChange &change) {
    if (change.Time < 0 || !std::isfinite(float(change.Value)) ||
        !std::isfinite(float(change.Variation))) {
        return false;
    }
    switch (change.What) {
        case ScheduledChange::Kind::Modpar:
            return change.Key >= 0 && change.Key < ReaDifSimulation::ParameterPairs;
        case ScheduledChange::Kind::Reaction:
            return change.Key >= 0 && change.Key < 26 && change.Value >= 0.0 &&
                   change.Value <= 100.0;
        case ScheduledChange::Kind::Diffusion:
            return change.Key >= 0 && change.Key < 26 && change.Value >= 0.0 && change.Value <= 1.0;
        case ScheduledChange::Kind::PaintSet:
        case ScheduledChange::Kind::PaintAdd:
            break;
    }
    if (change.Key < 0 || change.Key >= 26 || change.Centres.empty()) return false;
    if (!(float(change.Radius) >= 0.5f && float(change.Radius) <= 600.0f)) return false;
    for (const ScheduledChange::Point &centre : change.Centres) {
        if (centre.X < 0 || centre.Y < 0) return false;
    }
    return true;
}

std::string LineOf(const ScheduledChange &change, int modelIndex) {
    // Appended piece by piece: the line is short, and nothing is copied twice.
    std::string line = "at ";
    line.append(std::to_string(change.Time));
    const char letter[3] = {' ', char('A' + change.Key), 0};
    const auto appendVariation = [&change, &line] {
        if (float(change.Variation) == 0.0f) return;
        const std::string number = ChangeRecord::FormatNumber(change.Variation);
        line.append(number[0] == '-' ? " " : " +");
        line.append(number);
    };
    switch (change.What) {
        case ScheduledChange::Kind::Modpar:
            line.append(" modpar ");
            line.append(ParameterName(change.Key, modelIndex));
            line.append(" ");
            line.append(ChangeRecord::FormatNumber(change.Value));
            appendVariation();
            return line;
        case ScheduledChange::Kind::Reaction:
        case ScheduledChange::Kind::Diffusion:
            line.append(change.What == ScheduledChange::Kind::Reaction ? " reaction"
                                                                       : " diffusion");
            line.append(letter);
            line.append(" ");
            line.append(ChangeRecord::FormatNumber(change.Value));
            if (change.What == ScheduledChange::Kind::Diffusion) appendVariation();
            return line;
        case ScheduledChange::Kind::PaintSet:
        case ScheduledChange::Kind::PaintAdd:
            break;
    }
    line.append(" paint");
    line.append(letter);
    line.append(change.What == ScheduledChange::Kind::PaintSet ? " set " : " add ");
    line.append(ChangeRecord::FormatNumber(change.Value));
    line.append(" ");
    line.append(ChangeRecord::FormatNumber(change.Radius));
    for (const ScheduledChange::Point &centre : change.Centres) {
        line.append(" ");
        line.append(std::to_string(centre.X));
        line.append(" ");
        line.append(std::to_string(centre.Y));
    }
    return line;
}

}  // namespace

std::string ChangeRecord::FormatNumber(double value) {
    char text[64];
    // Fixed notation: the script's reader stops at an exponent. The shortest form that reads
    // back as the same float.
    const auto result =
        std::to_chars(text, text + sizeof text, float(value), std::chars_format::fixed);
    if (result.ec != std::errc()) return "0";
    return std::string(text, result.ptr);
}

std::string ChangeRecord::FormatLine(const ScheduledChange &change, int modelIndex) {
    return LineOf(change, modelIndex);
}

std::vector<ScheduledChange> ChangeRecord::Record(const ScheduledChange &change, int modelIndex,
                                                  bool joinLast) {
    if (!Representable(change)) return {};
    ScheduledChange exact = change;
    exact.Value = Single(change.Value);
    exact.Variation = change.What == ScheduledChange::Kind::Modpar ||
                              change.What == ScheduledChange::Kind::Diffusion
                          ? Single(change.Variation)
                          : 0.0;
    Entry entry;
    if (!exact.IsPaint()) {
        exact.Radius = 0.0;
        exact.Centres.clear();
        entry.Lines.push_back(exact);
    } else {
        exact.Radius = Single(change.Radius);
        // A centre met twice changes nothing more within one line.
        std::vector<ScheduledChange::Point> centres;
        for (const ScheduledChange::Point &centre : change.Centres) {
            bool seen = false;
            for (const ScheduledChange::Point &other : centres) {
                seen = seen || (other.X == centre.X && other.Y == centre.Y);
            }
            if (!seen) centres.push_back(centre);
        }
        exact.Centres.clear();
        const size_t head = LineOf(exact, modelIndex).size();  // without any centre
        size_t length = head;
        for (const ScheduledChange::Point &centre : centres) {
            const size_t more =
                2 + std::to_string(centre.X).size() + std::to_string(centre.Y).size();
            if (!exact.Centres.empty() && length + more > MaxLineLength) {
                entry.Lines.push_back(exact);
                exact.Centres.clear();
                length = head;
            }
            exact.Centres.push_back(centre);
            length += more;
        }
        entry.Lines.push_back(exact);
    }
    Undone.clear();
    if (joinLast && !Done.empty()) {
        std::vector<ScheduledChange> &lines = Done.back().Lines;
        lines.insert(lines.end(), entry.Lines.begin(), entry.Lines.end());
    } else {
        Done.push_back(entry);
    }
    return std::move(entry.Lines);
}

bool ChangeRecord::Undo() {
    if (Done.empty()) return false;
    Undone.push_back(std::move(Done.back()));
    Done.pop_back();
    return true;
}

bool ChangeRecord::Redo() {
    if (Undone.empty()) return false;
    Done.push_back(std::move(Undone.back()));
    Undone.pop_back();
    return true;
}

void ChangeRecord::Clear() {
    Adopted.clear();
    Done.clear();
    Undone.clear();
}

std::vector<ScheduledChange> ChangeRecord::Changes() const {
    std::vector<ScheduledChange> all;
    for (const Entry &entry : Done) all.insert(all.end(), entry.Lines.begin(), entry.Lines.end());
    return all;
}

namespace {

// The block of script: from its heading line to the last `at` line right after it. False when
// there is none.
bool FindBlock(std::string_view script, size_t &begin, size_t &end,
               std::vector<std::string> *atLines) {
    const std::vector<ScriptText::Line> lines = ScriptText::Lines(script);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view content =
            script.substr(lines[i].Begin, lines[i].ContentEnd - lines[i].Begin);
        if (content != ChangeRecord::BlockHeading) continue;
        begin = lines[i].Begin;
        end = lines[i].End;
        for (size_t j = i + 1; j < lines.size(); ++j) {
            const std::string_view next =
                script.substr(lines[j].Begin, lines[j].ContentEnd - lines[j].Begin);
            if (ScriptText::KeywordAt(next, "at") == std::string_view::npos) break;
            if (atLines != nullptr) atLines->emplace_back(next);
            end = lines[j].End;
        }
        return true;
    }
    return false;
}

}  // namespace

void ChangeRecord::Adopt(std::string_view script) {
    Clear();
    size_t begin = 0, end = 0;
    (void)FindBlock(script, begin, end, &Adopted);
}

std::string ChangeRecord::WithBlock(std::string_view script, int modelIndex) const {
    const size_t bom = ScriptText::ByteOrderMarkSize(script);
    const std::string lineEnd = ScriptText::ChooseLineEnd(script.substr(bom));
    std::string block;
    if (!Done.empty() || !Adopted.empty()) {
        block = std::string(BlockHeading) + lineEnd;
        for (const std::string &line : Adopted) block += line + lineEnd;
        for (const ScheduledChange &change : Changes())
            block += LineOf(change, modelIndex) + lineEnd;
    }
    size_t begin = 0, end = 0;
    if (FindBlock(script, begin, end, nullptr)) {
        std::string text(script.substr(0, begin));
        text += block;
        text += script.substr(end);
        return text;
    }
    std::string text(script);
    if (block.empty()) return text;
    if (!text.empty() && text.size() > bom && text.back() != '\n') text += lineEnd;
    return text + block;
}
