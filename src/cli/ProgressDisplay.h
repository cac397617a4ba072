// ProgressDisplay: the progress of a run on stderr: a bar redrawn in place on a terminal, one
// line per tenth of the run otherwise. Owns nothing but its counters.
#pragma once

#include <cstdint>
#include <cstdio>

class ProgressDisplay {
public:
    // terminal: redraw one line in place; else print a line at every 10%. stream null: silent.
    ProgressDisplay(FILE *stream, bool terminal);

    // A run of endTime iterations over pointsPerIteration points starts at time 0 (seconds).
    void Start(int32_t endTime, double pointsPerIteration);
    // The run has reached iteration at seconds since Start.
    void Update(int32_t iteration, double seconds);
    // Ends the live line (a terminal keeps the last bar) before other text is printed.
    void Finish();

    // Million points (2^20) per second at iteration after seconds; 0 before any time passed.
    double Speed(int32_t iteration, double seconds) const;

private:
    void DrawBar(int32_t iteration, double seconds);

    FILE *Stream;
    bool Terminal;
    int32_t EndTime = 0;
    double PointsPerIteration = 0.0;
    int LastTenth = 0;        // tenths already reported on a pipe
    double LastDrawn = -1.0;  // seconds of the last redraw on a terminal
    bool LineOpen = false;
};
