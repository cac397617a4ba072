// FastKernels: the fast kernel set (same bits as the reference set) and a whole iteration fused,
// run on row bands of the shared thread pool with vectorised rows; owns the bands' row buffers.
#pragma once

#include "rdsimul/kernels/FastRowKernels.h"
#include "rdsimul/kernels/KernelSet.h"

// The fast set: every kernel gives exactly the bits of the reference kernel of the same name.
const KernelSet &FastKernels();

// The vector width the fast kernels use: SimdPlain, SimdAvx2 or SimdAvx512, clamped to what the
// processor supports (the widest by default). Returns the level in force.
int SetFastSimdLevel(int level);
int GetFastSimdLevel();

// Threads of the shared pool that runs the fast kernels (1 .. 64; all cores, or VORNA_THREADS,
// by default). Returns the count in force.
int SetFastThreadCount(int threads);
int GetFastThreadCount();

// On (the default), fields too small to repay the hand-off between threads run on fewer
// threads (one below about 64 x 64); off, every thread takes part, for tests of the bits.
void SetFastSmallFieldRule(bool on);

// Lines per band in batches of several iterations (0, the default: bands sized to stay in a
// core's cache; -1: no batches, every iteration over the whole field in turn), for tests and
// measurements; the bits do not depend on it. Returns the value in force.
int SetFastBandLines(int lines);

// count whole iterations (1 unless given): each the reaction of model on fields[0 .. components
// - 1], then the diffusion pass of every one of them with coefficients[c]; fields and borders end
// with the bits of the reaction kernel followed by the diffusion kernel on each field. false,
// with nothing changed, for a layout it does not handle (several planes, an empty field, more
// than 4 components), for a count below 1, or when its row buffers cannot be had: the caller
// then runs the two passes itself. nanTest, when not null, gets 1 when fields[0] holds a NaN
// after the last iteration and 0 when not, tested by the threads as they finish their lines.
bool FastIteration(RowModel model, float *const *fields, int components, const FieldLayout &layout,
                   const ReactionConstants &constants, const double *coefficients,
                   int32_t count = 1, int *nanTest = nullptr);
