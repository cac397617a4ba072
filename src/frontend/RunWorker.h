// RunWorker: computes a desktop run's slices on a thread of its own while the window thread
// draws; owns the thread, the controls the window sets and the preview frames it publishes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "frontend/PreviewFrame.h"
#include "frontend/RunSpeed.h"

class ReaDifSimulation;
class SliceHooks;

class RunWorker {
public:
    // A slice aims at this time: short enough that a pause, a stop or a hold is answered well
    // within 100 ms, long enough that the slices' own cost stays small.
    static constexpr double SliceSeconds = 0.010;
    // The shortest time between two previews published: a screen shows no more frames (the
    // window's loop waits no longer for one).
    static constexpr double FrameSeconds = 1.0 / 60.0;
    // The previews (their rendering here and their drawing by the window, which both take
    // cores from the slices) take at most this share of a run's time: on a large field the
    // frames come further apart. Small, because the rendering here holds up the other threads
    // of the slices too (at 600 x 600 on 2 cores: about 30 frames a second).
    static constexpr double PreviewShare = 0.025;

    // What the window asks of the slices to come.
    struct Controls {
        bool Paused = false;
        bool Stop = false;
        bool Previews = false;      // previews are shown (a display mode, window not minimized)
        bool PreviewAsked = false;  // a repaint or a new option asks for the state as it stands
        int32_t RefreshRate = 1;    // iterations between two due previews, at least 1
        int ShowColorMap = 0;       // as ReaDifSimulation::GetPreviewImage takes them
        int TrueColor = 0;
        // Another live view (the explorer) shows the run too: these previews take half their
        // share of the run's time, so that both views together cost about what one did.
        bool SharedView = false;
    };
    // Where the run stands, as the worker last told it.
    struct Progress {
        int32_t Time = 0;    // iterations done
        bool Ended = false;  // the worker has stopped: the simulation is the window's again
        bool Measured = false;
        RunSpeed::Figures Speed;  // the live figures, when Measured
    };

    RunWorker();
    // Stops the worker at its next slice boundary and waits for it.
    ~RunWorker();
    RunWorker(const RunWorker &) = delete;
    RunWorker &operator=(const RunWorker &) = delete;

    // Iterations of the next slice while previews are shown, at most n, for a run at now of
    // end iterations whose last preview was at lastPreview (-1: none yet, 0: one is asked for):
    // the slice ends where a preview is due, so that a preview shows the iteration it was due
    // at; when a frame can be shown now that is the next due iteration, otherwise the last one
    // within reach (those between are skipped).
    static int32_t PreviewSliceSize(int32_t n, bool frameDue, int64_t now, int64_t end,
                                    int64_t rate, int64_t lastPreview);

    // Starts computing simulation's run from where it stands, first slice of firstSlice
    // iterations, hooks called at every slice boundary; the run's points per iteration count
    // for the speed. Nothing else may touch simulation until Ended, except between Hold and
    // Release.
    void Start(ReaDifSimulation &simulation, SliceHooks &hooks, int32_t firstSlice,
               int64_t pointsPerIteration, const Controls &controls);
    // New controls, taken at the next slice boundary; a preview asked for stays asked until
    // the worker has drawn it.
    void SetControls(const Controls &controls);
    // Waits up to seconds, and no longer than until a frame is published or the worker ends.
    void Wait(double seconds);
    Progress GetProgress();
    // The newest frame published since the last call, now the window's to draw until the next
    // call: null when there is none.
    PreviewFrame *TakeFrame();
    // Holds the worker at its next slice boundary and returns once it waits there (or has
    // ended): the simulation is the caller's until Release.
    void Hold();
    void Release();
    // The window took seconds to draw the last frame it took: counted into the previews' cost.
    void NoteDrawing(double seconds);
    // Waits for the worker to end (the run finished, failed or was stopped).
    void Join();
    // The speed counts of the whole run; read after Join.
    const RunSpeed &Speed() const { return Counts; }
    // The steady clock the worker paces by, in seconds from an arbitrary origin.
    static double Now();

private:
    void Loop();
    // Renders the preview of where simulation stands into the frame the window is not drawing
    // and publishes it.
    void Publish(const Controls &controls);
    // The shortest time between two frames now, from what the last ones cost and the share of
    // the run's time they may take.
    double FrameInterval(double share);

    std::thread Thread;
    std::mutex Mutex;
    std::condition_variable Changed;  // controls, holds, frames, progress and the end
    ReaDifSimulation *Simulation = nullptr;
    SliceHooks *Hooks = nullptr;
    int32_t FirstSlice = 1;
    // Shared under Mutex.
    Controls Wanted;
    int Holds = 0;
    bool AtBoundary = false;  // the worker waits at a boundary
    bool Ended = false;
    int32_t Time = 0;
    RunSpeed Counts;
    double DrawingCost = 0.0;  // seconds a frame takes the window, smoothed
    // The worker's own.
    double PublishCost = 0.0;  // seconds a frame takes to render and copy, smoothed
    // Two frames: the window draws Shown while the worker fills the other, which becomes Ready
    // (Fresh) when complete. A frame not yet taken is withdrawn before it is filled again.
    PreviewFrame Frames[2];
    PreviewFrame *Shown = nullptr;
    PreviewFrame *Ready = nullptr;
    bool Fresh = false;
};
