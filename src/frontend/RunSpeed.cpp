// RunSpeed: a live figure is replaced once a full window of running time has been measured, so
// the title shows a steady pace rather than the jitter of single slices.
#include "frontend/RunSpeed.h"

namespace {

constexpr double PointsPerMega = 1024.0 * 1024.0;

}  // namespace

void RunSpeed::Start(int64_t pointsPerIteration) {
    *this = RunSpeed{};
    Points = pointsPerIteration;
}

void RunSpeed::Add(int64_t iterations, double seconds) {
    if (seconds < 0.0) seconds = 0.0;
    TotalIterations += iterations;
    TotalSeconds += seconds;
    WindowIterations += iterations;
    WindowTime += seconds;
    if (WindowTime >= WindowSeconds) {
        Last = Over(WindowIterations, WindowTime);
        HasCurrent = true;
        WindowIterations = 0;
        WindowTime = 0.0;
    }
}

bool RunSpeed::Current(Figures &figures) const {
    if (HasCurrent) figures = Last;
    return HasCurrent;
}

bool RunSpeed::Average(Figures &figures) const {
    if (TotalSeconds <= 0.0) return false;
    figures = Over(TotalIterations, TotalSeconds);
    return true;
}

RunSpeed::Figures RunSpeed::Over(int64_t iterations, double seconds) const {
    Figures f;
    f.IterationsPerSecond = static_cast<double>(iterations) / seconds;
    f.MPointsPerSecond = f.IterationsPerSecond * static_cast<double>(Points) / PointsPerMega;
    return f;
}
