// SliceHooks: a queue of changes will live here; the boundary it is called at is already the
// run's, so a change applied here is one a replay can apply at the same iteration.
#include "frontend/SliceHooks.h"

SliceHooks RunSliceHooks;

void SliceHooks::ApplyPendingChanges(ReaDifSimulation &simulation) { (void)simulation; }
