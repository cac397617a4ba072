// SliceHooks: the one entry through which changes asked for while a run computes reach the
// simulation, called between two slices on the thread that computes; owns nothing.
#pragma once

class ReaDifSimulation;

class SliceHooks {
public:
    // Called at every slice boundary of a desktop run, on the thread that computes the slices,
    // before the next slice starts and while no other thread touches simulation: the place to
    // apply the changes queued since the last boundary (ReaDifSimulation::ApplyChange), so that
    // each lands between two iterations, at CurrentTime. A paused run still calls it every
    // 100 ms; a change that should show at once asks for a preview from the window thread as a
    // repaint does (LastDisplayPreview = 0), which skips the frame pacing. The explorer's
    // queue is taken here.
    void ApplyPendingChanges(ReaDifSimulation &simulation);
};

// The hooks of the desktop program's runs.
extern SliceHooks RunSliceHooks;
