// RunWorker: the worker meets the window only under one mutex, at slice boundaries; the slices
// and the preview rendering run outside it, so the window never waits for a slice to end.
#include "frontend/RunWorker.h"

#include <algorithm>
#include <chrono>

#include "frontend/SliceHooks.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/SlicePacer.h"

namespace {

// A paused worker still looks at its controls and hooks this often.
constexpr auto PausedWake = std::chrono::milliseconds(100);

// Costs are smoothed over the last few frames: one slow frame does not halve the rate. A
// sample is cut at MaxCost (a box or a menu opened in the window's pump is no drawing), and
// frames come at least every MaxFrameSeconds.
constexpr double MaxCost = 0.01;
constexpr double MaxFrameSeconds = 0.2;

double Smooth(double average, double sample) {
    sample = std::clamp(sample, 0.0, MaxCost);
    return average <= 0.0 ? sample : 0.75 * average + 0.25 * sample;
}

}  // namespace

RunWorker::RunWorker() = default;

RunWorker::~RunWorker() {
    {
        std::lock_guard<std::mutex> lock(Mutex);
        Wanted.Stop = true;
        Holds = 0;
    }
    Changed.notify_all();
    Join();
}

int32_t RunWorker::PreviewSliceSize(int32_t n, bool frameDue, int64_t now, int64_t end,
                                    int64_t rate, int64_t lastPreview) {
    if (rate < 1) rate = 1;
    const int64_t next = (lastPreview < 0 ? 0 : lastPreview) + rate;
    const int64_t due = std::max<int64_t>(now + 1, next);
    const int64_t reach = std::min<int64_t>(now + n, end);
    if (lastPreview == 0 || due > reach) {
        return n;
    }
    if (frameDue) {
        return static_cast<int32_t>(due - now);
    }
    return static_cast<int32_t>(due + (reach - due) / rate * rate - now);
}

void RunWorker::Start(ReaDifSimulation &simulation, SliceHooks &hooks, int32_t firstSlice,
                      int64_t pointsPerIteration, const Controls &controls) {
    Simulation = &simulation;
    Hooks = &hooks;
    FirstSlice = firstSlice;
    Wanted = controls;
    Holds = 0;
    AtBoundary = false;
    Ended = false;
    Time = simulation.CurrentTime;
    Counts.Start(pointsPerIteration);
    Shown = nullptr;
    Ready = nullptr;
    Fresh = false;
    DrawingCost = 0.0;
    PublishCost = 0.0;
    Thread = std::thread(&RunWorker::Loop, this);
}

void RunWorker::SetControls(const Controls &controls) {
    {
        std::lock_guard<std::mutex> lock(Mutex);
        const bool asked = Wanted.PreviewAsked || controls.PreviewAsked;
        Wanted = controls;
        Wanted.PreviewAsked = asked;
    }
    Changed.notify_all();
}

void RunWorker::Wait(double seconds) {
    std::unique_lock<std::mutex> lock(Mutex);
    Changed.wait_for(lock, std::chrono::duration<double>(seconds),
                     [this] { return Fresh || Ended; });
}

RunWorker::Progress RunWorker::GetProgress() {
    std::lock_guard<std::mutex> lock(Mutex);
    Progress progress;
    progress.Time = Time;
    progress.Ended = Ended;
    progress.Measured = Counts.Current(progress.Speed);
    return progress;
}

PreviewFrame *RunWorker::TakeFrame() {
    std::lock_guard<std::mutex> lock(Mutex);
    if (!Fresh) {
        return nullptr;
    }
    Fresh = false;
    Shown = Ready;
    return Shown;
}

void RunWorker::Hold() {
    std::unique_lock<std::mutex> lock(Mutex);
    ++Holds;
    Changed.notify_all();
    Changed.wait(lock, [this] { return AtBoundary || Ended || !Thread.joinable(); });
}

void RunWorker::Release() {
    {
        std::lock_guard<std::mutex> lock(Mutex);
        if (Holds > 0) --Holds;
    }
    Changed.notify_all();
}

void RunWorker::NoteDrawing(double seconds) {
    std::lock_guard<std::mutex> lock(Mutex);
    DrawingCost = Smooth(DrawingCost, seconds);
}

double RunWorker::FrameInterval(double share) {
    double drawing = 0.0;
    {
        std::lock_guard<std::mutex> lock(Mutex);
        drawing = DrawingCost;
    }
    return std::clamp((PublishCost + drawing) / share, FrameSeconds, MaxFrameSeconds);
}

void RunWorker::Join() {
    if (Thread.joinable()) {
        Thread.join();
    }
}

double RunWorker::Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void RunWorker::Publish(const Controls &controls) {
    const double start = Now();
    PreviewFrame *frame = nullptr;
    {
        std::lock_guard<std::mutex> lock(Mutex);
        // A frame the window has not taken yet is withdrawn: the newer one replaces it.
        Fresh = false;
        frame = Shown == &Frames[0] ? &Frames[1] : &Frames[0];
    }
    GenImage3D *picture = Simulation->GetPreviewImage(controls.ShowColorMap, controls.TrueColor);
    const bool copied = picture != nullptr && frame->CopyFrom(*picture, Simulation->CurrentTime);
    {
        std::lock_guard<std::mutex> lock(Mutex);
        if (copied) {
            Ready = frame;
            Fresh = true;
        }
    }
    Changed.notify_all();
    PublishCost = Smooth(PublishCost, Now() - start);
}

void RunWorker::Loop() {
    ReaDifSimulation &sim = *Simulation;
    SlicePacer pacer(sim.EndTime, SliceSeconds, FirstSlice);
    double lastFrame = 0.0;  // when the last preview was published, once framed
    bool framed = false;
    int64_t lastPreview = -1;  // the iteration of the last due preview, -1 before the first
    for (;;) {
        Controls c;
        {
            std::unique_lock<std::mutex> lock(Mutex);
            // A boundary: a hold waits here; a pause wakes now and then for its hooks and for
            // a preview asked of the state it stands at.
            AtBoundary = true;
            // Only a hold waits for a boundary: the window thread is not woken at every slice
            // for nothing (each wake takes a core from the run for a moment).
            if (Holds > 0) Changed.notify_all();
            while (!Wanted.Stop && Holds > 0) {
                Changed.wait(lock);
            }
            if (Wanted.Paused && !Wanted.Stop && !Wanted.PreviewAsked) {
                Changed.wait_for(lock, PausedWake);
            }
            AtBoundary = false;
            if (Holds > 0 && !Wanted.Stop) {
                continue;
            }
            c = Wanted;
            Wanted.PreviewAsked = false;
        }
        if (c.Stop) {
            break;
        }
        Hooks->ApplyPendingChanges(sim);
        if (c.Paused) {
            if (c.Previews && c.PreviewAsked) {
                lastPreview = sim.CurrentTime;
                Publish(c);
            }
            continue;
        }
        const double before = Now();
        const double interval = FrameInterval(c.SharedView ? PreviewShare / 2 : PreviewShare);
        const bool frameDue = !framed || before - lastFrame >= interval;
        const int64_t sinceAsked = c.PreviewAsked ? 0 : lastPreview;
        int32_t steps = c.Previews ? PreviewSliceSize(pacer.Next(), frameDue, sim.CurrentTime,
                                                      sim.EndTime, c.RefreshRate, sinceAsked)
                                   : pacer.Next();
        // Previews every few iterations keep their iterations; otherwise the slice ends where
        // the kernel's batches do.
        if (!c.Previews || c.RefreshRate <= 1) {
            steps = SlicePacer::OnGrid(sim.CurrentTime, steps, pacer.Next(), sim.EndTime,
                                       ReaDifSimulation::OverflowTestPeriod);
        }
        const int32_t start = sim.CurrentTime;
        if (sim.RunSimulation(steps) != ReaDifSimulation::RunResult::Ran) {
            break;
        }
        const int32_t ran = sim.CurrentTime - start;
        pacer.Record(ran, Now() - before);
        if (sim.ErrorStatus == ReaDifSimulation::StatusOverflow) {
            break;
        }
        const int64_t rate = std::max<int32_t>(c.RefreshRate, 1);
        const int64_t next = (lastPreview < 0 ? 0 : lastPreview) + rate;
        if (c.Previews && (c.PreviewAsked || sim.CurrentTime >= next)) {
            // Asked for, the run's last, or one the screen can show now; the others skipped.
            const double now = Now();
            const bool draw = c.PreviewAsked || sim.CurrentTime + rate > sim.EndTime || !framed ||
                              now - lastFrame >= interval;
            lastPreview = sim.CurrentTime;
            if (draw) {
                lastFrame = now;
                framed = true;
                Publish(c);
            }
        }
        {
            std::lock_guard<std::mutex> lock(Mutex);
            Counts.Add(ran, Now() - before);
            Time = sim.CurrentTime;
        }
    }
    {
        std::lock_guard<std::mutex> lock(Mutex);
        Time = sim.CurrentTime;
        Ended = true;
        AtBoundary = false;
    }
    Changed.notify_all();
}
