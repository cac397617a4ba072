// Run sequence of Texture > Run and Loop randseed: store and parse the script, run it in slices
// with preview, progress title, pause and break, report the end and restore the editor.
#pragma once

// The body of the Run command (LoopFlag 0) and of Loop randseed (LoopFlag 2); returns when the
// editor has been restored or the window destroyed.
void RunSequence();
// Menu states of a run and of idle.
void SetRunMenus();
void SetIdleMenus();
