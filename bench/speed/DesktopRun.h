// The desktop program's run sequence, measured on the headless platform with the real clock.
#pragma once

#include <string>

// Runs the script at path as the desktop program does (Run command, default preferences: the
// preview at every iteration's refresh level) and returns the run's own average in M points
// (2^20) per second, the one its title would show; 0 when the run did not finish.
double DesktopRunRate(const std::string &path);
