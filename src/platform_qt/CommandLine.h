// The desktop program's own command line, looked at before Qt starts: --help and --version
// need no window, and a missing display is reported in one line instead of Qt's abort.
#pragma once

#include <cstdio>

// What main() does with the command line and environment before it creates the application.
enum class StartAction { OpenWindow, PrintHelp, PrintVersion, NoDisplay };

// --help/-h or --version/-V as the first argument; else NoDisplay when no display can be
// reached: no DISPLAY and no WAYLAND_DISPLAY, unless the Qt platform (QT_QPA_PLATFORM or
// -platform NAME) is one that needs none, such as offscreen.
StartAction ChooseStartAction(int argc, char **argv);
// Prints the help, version or no-display text for the action to out or err.
void PrintStartText(StartAction action, const char *programName, std::FILE *out, std::FILE *err);
