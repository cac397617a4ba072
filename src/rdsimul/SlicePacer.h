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

private:
    int32_t Max;
    double Target = TargetSeconds;
    int32_t Size = 1;
};
