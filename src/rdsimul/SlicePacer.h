// SlicePacer: sizes the slices of a run (the iteration counts handed to RunSimulation) so that
// one slice takes about a target time at most; the caller measures each slice it runs.
#pragma once

#include <cstdint>

class SlicePacer {
public:
    // Aim of a slice in seconds: far enough below 0.1 s that a slice a bit slower than
    // measured still ends in time to answer a stop request promptly.
    static constexpr double TargetSeconds = 0.075;

    // maxIterations: the iteration bound of a slice, at least 1.
    // The first slice is a single iteration: nothing is known yet about their cost.
    explicit SlicePacer(int32_t maxIterations);
    // A pacer aiming at target seconds a slice, whose first slice is firstIterations (kept
    // within 1 .. the bound).
    SlicePacer(int32_t maxIterations, double target, int32_t firstIterations);

    // Iterations of the next slice: 1 .. the iteration bound.
    int32_t Next() const { return Size; }
    // The slice of Next() iterations took seconds: sizes the next one to about the target,
    // at most twice as long as this one (one fast slice is no promise for the next).
    void Record(double seconds) { Record(Size, seconds); }
    // A slice cut shorter than Next(), to iterations, took seconds: the next one is fitted
    // from its pace and still grows from Next().
    void Record(int32_t iterations, double seconds);

    // A slice of steps from iteration now moved to end on a multiple of grid (where the run's
    // NaN test falls, so that the fused kernel gets whole batches: a slice ending elsewhere cuts
    // two of them short): down to the last multiple within it, or, for a slice that does not
    // reach one, up to the next when that keeps it within limit iterations. A slice that
    // reaches end, or cannot be moved, stays as it is.
    static int32_t OnGrid(int64_t now, int32_t steps, int32_t limit, int64_t end, int32_t grid);

private:
    int32_t Max;
    double Target = TargetSeconds;
    int32_t Size = 1;
};
