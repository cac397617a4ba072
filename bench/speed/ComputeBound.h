// ComputeBound: how fast this machine could run the Brusselator's arithmetic if nothing else cost
// anything, measured now, so that the speed table can say how close the kernels come to it.
#pragma once

// M points (2^20) per second that threads threads reach with nothing but the vector arithmetic of
// one fused Brusselator iteration (per 8 points: 15 additions, 8 multiplications, 8 float/double
// conversions and 4 lane shifts, in AVX-512 registers, no memory), over about seconds of
// wall-clock time. 0 where the processor has no AVX-512.
double BrusselatorComputeBound(int threads, double seconds);
