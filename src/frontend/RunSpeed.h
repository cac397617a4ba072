// RunSpeed: the speed figures of the window title, measured over the time a run spends computing
// (its slices and their previews), never over pauses or open boxes. Owns the counts of one run.
#pragma once

#include <cstdint>

class RunSpeed {
public:
    // Running time a live figure is measured over: the first one exists after this much.
    static constexpr double WindowSeconds = 1.0;

    struct Figures {
        double MPointsPerSecond = 0.0;  // domain points (2^20 a unit) updated per second
        double IterationsPerSecond = 0.0;
    };

    // A new run whose iterations each update pointsPerIteration domain points.
    void Start(int64_t pointsPerIteration);
    // iterations were computed in seconds of running time (a negative time counts as none).
    void Add(int64_t iterations, double seconds);
    // The figures of the last full window of running time: false before the first one.
    bool Current(Figures &figures) const;
    // The figures of the whole run so far: false while no running time was measured.
    bool Average(Figures &figures) const;

private:
    Figures Over(int64_t iterations, double seconds) const;

    int64_t Points = 0;
    int64_t TotalIterations = 0;
    double TotalSeconds = 0.0;
    int64_t WindowIterations = 0;  // counts of the window being filled
    double WindowTime = 0.0;
    bool HasCurrent = false;
    Figures Last;  // of the last full window
};
