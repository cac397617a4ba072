// ExplorerSession: what the explorer window does to the script and its run, apart from drawing:
// settings written into the script's own lines before a run, changes and brush strokes queued
// during a run and made at the next slice boundary, where they are recorded; undo, redo, restart
// and step. Owns the record, the snapshots of the run and the queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/ChangeRecord.h"
#include "frontend/LiveField.h"
#include "frontend/RunReplay.h"
#include "rdsimul/ScheduledChange.h"

class ReaDifSimulation;

class ExplorerSession {
public:
    enum class Request { None, Undo, Redo, Restart, Step };

    // A parameter (Modpar, Key a parameter key), strength or coefficient (Key a component
    // index) set to change.Value. During a run it is queued for the next slice boundary, with
    // the variation the run has then; before a run the script's own line in the editor is
    // rewritten (or added), the script marked modified. false when refused (a value out of the
    // line's range, a run that takes no changes).
    bool ChangeSetting(const ScheduledChange &change);
    // One dab of the brush at the field's point x, y (taken around the torus): component set to
    // value, or value added with add, within radius. Queued during a run; false otherwise. A
    // dab that does not start a stroke (the mouse moved with the button held) continues the
    // last one: a stroke over several slices is one change to undo.
    bool Dab(int component, bool add, double value, double radius, int x, int y,
             bool startsStroke = true);
    // While the explorer window is open the session follows the run; closed, the slice
    // boundaries cost nothing.
    void SetOpen(bool open);
    bool IsOpen() const { return Open; }
    // Undo, redo, restart or one step, done at the next slice boundary.
    void Ask(Request request);

    // Between two slices of the run of MainRDSim: the asked request, then the queued changes,
    // recorded with the iterations done, then the copy the view asked for. Called by the run
    // loop.
    void AtSliceBoundary();
    // The window's view of the run, copied at slice boundaries.
    LiveField &View() { return ViewField; }
    // Once the run is over, the record goes into the editor's script as its block, marking it
    // modified. Called by the window's timer (and by tests).
    void Poll();

    // The script's text with its settings line for change rewritten (or added at its end) with
    // every other byte kept; the line keeps its variation. Empty when change is no setting.
    static std::string WithSetting(std::string_view script, const ScheduledChange &change,
                                   int modelIndex);
    // Whether the run takes changes now (a single run in progress, not looping).
    bool Live() const;
    const ChangeRecord &Record() const { return Changes; }
    // Grows whenever the record changes: the window redraws its list.
    int32_t Revision() const { return RecordRevision.load(std::memory_order_acquire); }
    // Seconds the last undo, redo or restart took to bring the field back.
    double LastRebuildSeconds() const { return RebuildSeconds; }
    int32_t LastResumedFrom() const { return Replay.LastResumedFrom(); }
    // Back to no run (tests).
    void Reset();

private:
    void ApplyQueued();
    void StartRun();
    void Rebuild(int32_t target, int32_t keepBefore);

    bool Open = false;
    bool InRun = false;
    int32_t LastTime = -1;
    std::string Script;  // the script as the run parsed it
    uint32_t Seed = 0;
    int ModelIndex = 0;
    // The queue is filled by the window and emptied at the slice boundary, which may come on
    // the thread that computes the run.
    std::mutex QueueLock;
    Request Asked = Request::None;
    struct Queued {
        ScheduledChange Change;
        bool ContinuesStroke = false;
    };
    std::vector<Queued> Pending;
    // The last recorded entry is a brush stroke that later dabs may continue.
    bool StrokeOpen = false;
    ChangeRecord Changes;
    RunReplay Replay;
    // Counted on the thread at the slice boundary, read by the window's.
    std::atomic<int32_t> RecordRevision = 0;
    double RebuildSeconds = 0.0;
    LiveField ViewField;
};

// The explorer of the program's one simulation.
extern ExplorerSession TheExplorer;
