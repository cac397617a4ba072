// The desktop program's run sequence, measured on the headless platform with the real clock.
#pragma once

#include <string>
#include <vector>

// Runs the script at path as the desktop program does (Run command, default preferences: a
// preview asked for every iteration) and returns M points (2^20) per second of the whole command,
// parse and final image included; 0 when the run did not finish.
double DesktopRunRate(const std::string &path);

// The latency of a slider change in the explorer: with the explorer open during the run of the
// script at path, changes of a parameter (modpar key, alternating between two values) are asked
// for from the window's thread. For each, the seconds until the run has taken it at a slice
// boundary (Applied) and until the first frame drawn after that (Shown).
struct ChangeLatency {
    std::vector<double> Applied;
    std::vector<double> Shown;
};
ChangeLatency DesktopChangeLatency(const std::string &path, int key, double first, double second,
                                   int changes);
