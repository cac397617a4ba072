// SlicePacer: sizes the slices of a run (the iteration counts handed to RunSimulation) so that
// one slice takes about a tenth of a second at most; the caller measures each slice it runs.
#pragma once

#include <cstdint>

class SlicePacer {
public:
    // Aim of a slice in seconds: far enough below 0.1 s that a slice a bit slower than
    // measured still ends in time to answer a stop request promptly.
    static constexpr double TargetSeconds = 0.075;

    // maxIterations: the iteration bound of a slice (ReaDifSimulation::SliceSize), at least 1.
    // The first slice is a single iteration: nothing is known yet about their cost.
    explicit SlicePacer(int32_t maxIterations);

    // Iterations of the next slice: 1 .. the iteration bound.
    int32_t Next() const { return Size; }
    // The slice of Next() iterations took seconds: sizes the next one to about TargetSeconds,
    // at most twice as long as this one (one fast slice is no promise for the next).
    void Record(double seconds);

private:
    int32_t Max;
    int32_t Size = 1;
};
