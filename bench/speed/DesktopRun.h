// The desktop program's run sequence, measured on the headless platform with the real clock.
#pragma once

#include <string>

// Runs the script at path as the desktop program does (Run command, default preferences: a
// preview asked for every iteration) and returns M points (2^20) per second of the whole command,
// parse and final image included; 0 when the run did not finish.
double DesktopRunRate(const std::string &path);
