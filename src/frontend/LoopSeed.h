// LoopSeed: the seed of the loop round the user stopped on, kept as the script's randseed line,
// so that a plain Run (or the command line) grows that texture again.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/ParameterFiles.h"
#include "toolkit/FileCheck.h"

// script with its last randseed line set to "randseed <seed>" (its indentation and line end
// kept), or with that line added at the end when it has none. The last one is the line a valid
// script takes its seed from: every one before it gives 0.
std::string WithSeedLine(const std::string &script, uint32_t seed);
// The seed of the loop round after the one seeded with last, when the clock gave that round the
// same seed again: the next one, within 1 .. ScriptParser::MaxSeed so that the randseed line it is
// kept in reads it back.
uint32_t NextLoopSeed(uint32_t last);
// Rewrites the script file at path with WithSeedLine, through a temporary file renamed into
// place: FileDone; FileFailed with the cause in fault, the file left as it was.
[[nodiscard]] FileResult KeepLoopSeed(const char *path, uint32_t seed, FileFault &fault);
