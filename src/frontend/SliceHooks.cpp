// SliceHooks: hands the explorer's queue to the run at its slice boundaries, the run's own, so a
// change applied here is one a replay applies at the same iteration.
#include "frontend/SliceHooks.h"

#include "frontend/ExplorerSession.h"
#include "rdsimul/ReaDifSimulation.h"

SliceHooks RunSliceHooks;

void SliceHooks::ApplyPendingChanges(ReaDifSimulation &simulation) {
    // The explorer's changes, undo, redo, restart and step: made here, between two slices, on
    // the thread that computes. It works on the program's one simulation.
    if (&simulation == &MainRDSim) TheExplorer.AtSliceBoundary();
}
