// ComputeBound: how fast this machine could run the Brusselator's arithmetic if nothing else cost
// anything, measured now, so that the speed table can say how close the kernels come to it.
#pragma once

// M points (2^20) per second that threads threads reach with nothing but the arithmetic of one
// fused Brusselator iteration at a vector level (SimdPlain, SimdAvx2 or SimdAvx512 of
// FastRowKernels.h), over about seconds of wall-clock time. Per vector of points: 15 additions,
// 8 multiplications, 8 float/double conversions and the 4 lane shifts of the filter's
// neighbour sums, in registers, no memory; the shifts as the row kernels of the level make them
// (AVX-512: one valignq each; AVX2: one lane-crossing permute for every two shifts and one
// in-lane shuffle each; plain: none, its filter reads the neighbours' sums from memory).
// 0 where the processor lacks the level.
double BrusselatorComputeBound(int level, int threads, double seconds);

// The same for one thread from its fastest quarter of a millisecond over about seconds: the pace
// of one core that nothing else disturbs, which a machine busy with other work still shows.
double BrusselatorCoreBound(int level, double seconds);
