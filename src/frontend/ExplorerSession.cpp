// ExplorerSession: the explorer's changes to the script and to the run of MainRDSim.
#include "frontend/ExplorerSession.h"

#include <chrono>
#include <cmath>
#include <fstream>
#include <mutex>
#include <sstream>
#include <utility>

#include "frontend/FrontEndGlobals.h"
#include "platform/Platform.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptText.h"
#include "toolkit/RandomGenerator.h"

ExplorerSession TheExplorer;

namespace {

using Kind = ScheduledChange::Kind;

bool IsSetting(const ScheduledChange &change) {
    return change.What == Kind::Modpar || change.What == Kind::Reaction ||
           change.What == Kind::Diffusion;
}

// The range a settings line takes (the parser's).
bool SettingInRange(const ScheduledChange &change) {
    const float value = float(change.Value);
    switch (change.What) {
        case Kind::Modpar:
            return std::isfinite(value);
        case Kind::Reaction:
            return value >= 0.00001f && value <= 100.0f;
        case Kind::Diffusion:
            return value >= 0.001f && value <= 1.0f;
        default:
            return false;
    }
}

std::string ReadWhole(const char *path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The words of a line's content after blanks.
std::vector<std::string_view> Words(std::string_view content) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < content.size()) {
        while (i < content.size() && (content[i] == ' ' || content[i] == '\t')) ++i;
        const size_t start = i;
        while (i < content.size() && content[i] != ' ' && content[i] != '\t') ++i;
        if (i > start) words.push_back(content.substr(start, i - start));
    }
    return words;
}

}  // namespace

std::string ExplorerSession::WithSetting(std::string_view script, const ScheduledChange &change,
                                         int modelIndex) {
    if (!IsSetting(change)) return "";
    const char *keyword = change.What == Kind::Modpar     ? "modpar"
                          : change.What == Kind::Reaction ? "reaction"
                                                          : "diffusion";
    // The line the parser takes the setting from: the last one naming it.
    const std::vector<ScriptText::Line> lines = ScriptText::Lines(script);
    const ScriptText::Line *found = nullptr;
    std::string kept;  // the variation written on it
    std::string name;
    for (const ScriptText::Line &line : lines) {
        const std::string_view content = script.substr(line.Begin, line.ContentEnd - line.Begin);
        if (ScriptText::KindOf(content) != ScriptText::LineKind::Setting) continue;
        const std::vector<std::string_view> words = Words(content);
        if (words.size() < 2 || words[0] != keyword) continue;
        const std::string first(words[1]);
        const bool same = change.What == Kind::Modpar
                              ? ReaDifSimulation::ParameterKey(first.c_str(), true) == change.Key
                              : first.size() == 1 && first[0] == char('A' + change.Key);
        if (!same) continue;
        found = &line;
        name = first;
        kept.clear();
        if (change.What != Kind::Reaction && words.size() >= 4 &&
            (words[3][0] == '+' || words[3][0] == '-')) {
            kept = " " + std::string(words[3]);
        }
    }
    if (name.empty()) {
        // No line yet: the record's own way of naming it.
        ScheduledChange probe = change;
        probe.Time = 0;
        const std::string line = ChangeRecord::FormatLine(probe, modelIndex);
        name = Words(line)[3];
    }
    const std::string text =
        std::string(keyword) + " " + name + " " + ChangeRecord::FormatNumber(change.Value) + kept;
    if (found == nullptr) {
        std::string out(script);
        const size_t bom = ScriptText::ByteOrderMarkSize(script);
        const std::string lineEnd = ScriptText::ChooseLineEnd(script.substr(bom));
        if (out.size() > bom && out.back() != '\n') out += lineEnd;
        return out + text + lineEnd;
    }
    // Indentation and line end kept.
    const std::string_view content = script.substr(found->Begin, found->ContentEnd - found->Begin);
    const size_t indent = content.find_first_not_of(" \t");
    return std::string(script.substr(0, found->Begin)) + std::string(content.substr(0, indent)) +
           text + std::string(script.substr(found->ContentEnd));
}

bool ExplorerSession::Live() const { return RunFlag == 1 && LoopFlag == 0 && SequenceActive == 1; }

bool ExplorerSession::ChangeSetting(const ScheduledChange &change) {
    if (!IsSetting(change)) return false;
    if (Live()) {
        // During a run 0 stops a reaction, as an `at` line may.
        const bool inRange =
            change.What == Kind::Reaction    ? change.Value >= 0.0 && change.Value <= 100.0
            : change.What == Kind::Diffusion ? change.Value >= 0.0 && change.Value <= 1.0
                                             : std::isfinite(float(change.Value));
        if (!inRange) return false;
        const std::lock_guard<std::mutex> lock(QueueLock);
        Pending.push_back({change, false});
        ViewField.Ask();  // the boundary that makes the change shows it
        return true;
    }
    if (RunFlag == 1 || ThePlatform == nullptr || !SettingInRange(change)) return false;
    const int model = MainRDSim.ComponentCount > 0 ? MainRDSim.ModelIndex : -1;
    const std::string text = WithSetting(ThePlatform->GetEditorText(), change, model);
    if (!ThePlatform->SetEditorText(text.c_str())) return false;
    ThePlatform->SetEditorModified(true);
    return true;
}

bool ExplorerSession::Dab(int component, bool add, double value, double radius, int x, int y,
                          bool startsStroke) {
    if (!Live() || component < 0 || component >= MainRDSim.ComponentCount) return false;
    const int w = MainRDSim.Components[0]->GetSizeX();
    const int h = MainRDSim.Components[0]->GetSizeY();
    if (w <= 0 || h <= 0 || !std::isfinite(value)) return false;
    const ScheduledChange::Point centre = {((x % w) + w) % w, ((y % h) + h) % h};
    const Kind kind = add ? Kind::PaintAdd : Kind::PaintSet;
    const std::lock_guard<std::mutex> lock(QueueLock);
    // Dabs of one slice with the same brush go on one change.
    if (!Pending.empty() && !startsStroke) {
        ScheduledChange &last = Pending.back().Change;
        if (last.What == kind && last.Key == component && last.Value == value &&
            last.Radius == radius) {
            last.Centres.push_back(centre);
            return true;
        }
    }
    ScheduledChange change;
    change.What = kind;
    change.Key = component;
    change.Value = value;
    change.Radius = radius;
    change.Centres.push_back(centre);
    Pending.push_back({change, !startsStroke});
    ViewField.Ask();
    return true;
}

void ExplorerSession::Ask(Request request) {
    const std::lock_guard<std::mutex> lock(QueueLock);
    Asked = request;
    ViewField.Ask();
}

void ExplorerSession::Reset() {
    const std::lock_guard<std::mutex> lock(QueueLock);
    Open = false;
    InRun = false;
    LastTime = -1;
    Script.clear();
    Asked = Request::None;
    Pending.clear();
    StrokeOpen = false;
    Changes.Clear();
    Replay.Start();
    ViewField.Forget();
    ++RecordRevision;
}

void ExplorerSession::StartRun() {
    InRun = true;
    // A copy of the last run's field is no view of this one.
    ViewField.Forget();
    StrokeOpen = false;
    Script = ReadWhole(CurParamFileName);
    Seed = MainRandom.GetSeed();
    ModelIndex = MainRDSim.ModelIndex;
    // What was queued before this first boundary belongs to this run.
    Changes.Adopt(Script);
    Replay.Start();
    ++RecordRevision;
}

void ExplorerSession::Rebuild(int32_t target, int32_t keepBefore) {
    const auto start = std::chrono::steady_clock::now();
    (void)Replay.Rebuild(MainRDSim, CurParamFileName, Changes.WithBlock(Script, ModelIndex), Seed,
                         target, keepBefore);
    RebuildSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The next slice draws its preview at once.
    LastDisplayPreview = 0;
    ++RecordRevision;
}

void ExplorerSession::SetOpen(bool open) {
    if (!open) Reset();
    Open = open;
}

void ExplorerSession::AtSliceBoundary() {
    if (!Open) return;
    ApplyQueued();
    // The view shows the field with the changes of this boundary made.
    ViewField.CaptureIfAsked(MainRDSim, Revision());
}

void ExplorerSession::ApplyQueued() {
    // What the window queued until now; later changes wait for the next boundary.
    std::vector<Queued> pending;
    Request request = Request::None;
    {
        const std::lock_guard<std::mutex> lock(QueueLock);
        pending.swap(Pending);
        std::swap(request, Asked);
    }
    if (!Live()) return;
    // A new run starts from fewer iterations than the last boundary saw.
    if (!InRun || MainRDSim.CurrentTime < LastTime) StartRun();
    const int32_t now = MainRDSim.CurrentTime;
    // A stroke continues only over changes of its own.
    if (request != Request::None) StrokeOpen = false;
    switch (request) {
        case Request::Undo:
            if (Changes.CanUndo()) {
                const int32_t from = Changes.Entries().back().Lines.front().Time;
                (void)Changes.Undo();
                Rebuild(now, from);
            }
            break;
        case Request::Redo:
            if (Changes.CanRedo()) {
                (void)Changes.Redo();
                Rebuild(now, Changes.Entries().back().Lines.front().Time);
            }
            break;
        case Request::Restart:
            // The record is unchanged: every snapshot still holds.
            Rebuild(0, MainRDSim.EndTime);
            break;
        case Request::Step:
            if (PauseFlag == 1 && now < MainRDSim.EndTime) (void)MainRDSim.RunSimulation(1);
            break;
        case Request::None:
            break;
    }
    LastTime = MainRDSim.CurrentTime;
    if (MainRDSim.CurrentTime >= MainRDSim.EndTime) return;
    Replay.Offer(MainRDSim, !pending.empty());
    for (const Queued &queued : pending) {
        ScheduledChange change = queued.Change;
        change.Time = MainRDSim.CurrentTime;
        // A setting keeps the drift the run gives it.
        if (change.What == Kind::Modpar) {
            change.Variation = MainRDSim.ReactionParameters[change.Key][1];
        } else if (change.What == Kind::Diffusion) {
            change.Variation = MainRDSim.DiffusionCoeffVariation[change.Key];
        }
        const bool join = queued.ContinuesStroke && StrokeOpen;
        const std::vector<ScheduledChange> lines = Changes.Record(change, ModelIndex, join);
        for (const ScheduledChange &line : lines) (void)MainRDSim.ApplyChange(line);
        StrokeOpen = change.IsPaint() && !lines.empty();
        ++RecordRevision;
    }
}

void ExplorerSession::Poll() {
    if (!InRun || RunFlag == 1 || ThePlatform == nullptr) return;
    InRun = false;
    {
        const std::lock_guard<std::mutex> lock(QueueLock);
        Pending.clear();
        Asked = Request::None;
    }
    LastTime = -1;
    if (Changes.Entries().empty()) return;
    // The editor holds the script reloaded after the run.
    const std::string text = Changes.WithBlock(ThePlatform->GetEditorText(), ModelIndex);
    if (ThePlatform->SetEditorText(text.c_str())) ThePlatform->SetEditorModified(true);
}
