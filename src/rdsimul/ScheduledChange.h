// ScheduledChange: one change a run makes to itself at a given iteration, as a script's `at`
// line records it: a parameter, a strength or a coefficient set, or a brush stroke painted on a
// component. A small value; owns its list of centres.
#pragma once

#include <cstdint>
#include <vector>

struct ScheduledChange {
    enum class Kind { Modpar, Reaction, Diffusion, PaintSet, PaintAdd };
    // A brush centre: X from the left, Y from the top of the picture.
    struct Point {
        int32_t X = 0;
        int32_t Y = 0;
    };

    int32_t Time = 0;  // after this many iterations (0: before the first)
    Kind What = Kind::Modpar;
    int Key = 0;             // Modpar: the parameter's pair index; else the component's index
    double Value = 0.0;      // the value, strength, coefficient, painted value or added amount
    double Variation = 0.0;  // Modpar and Diffusion: the drift added after every iteration
    double Radius = 0.0;     // Paint: points within this distance of a centre, around the torus
    std::vector<Point> Centres;

    bool IsPaint() const { return What == Kind::PaintSet || What == Kind::PaintAdd; }
};
