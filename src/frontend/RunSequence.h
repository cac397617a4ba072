// Run sequence of Texture > Run and Loop randseed: store and parse the script, run it in slices
// with preview, progress title, pause and break, report the end and restore the editor.
#pragma once

// The body of the Run command (LoopFlag 0) and of Loop randseed (LoopFlag 2); returns when the
// editor has been restored or the window destroyed.
void RunSequence();
// Menu states of a run and of idle.
void SetRunMenus();
void SetIdleMenus();
// A run that computes on its worker thread leaves its simulation to the window thread between
// these two: HoldRun returns once the worker waits at a slice boundary, ReleaseRun lets it go
// on. Nothing when no worker computes.
void HoldRun();
void ReleaseRun();
// Whether a worker computes the run on its thread now; once it has ended, the simulation is the
// window thread's again.
bool RunOnWorker();
