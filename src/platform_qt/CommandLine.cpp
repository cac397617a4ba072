// The desktop program's command line before Qt starts.
#include "platform_qt/CommandLine.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool Set(const char *variable) {
    const char *value = std::getenv(variable);
    return value != nullptr && value[0] != 0;
}

// The platform plugin Qt will load: -platform NAME wins over QT_QPA_PLATFORM; empty for
// Qt's own choice.
std::string QtPlatformName(int argc, char **argv) {
    std::string name;
    if (const char *env = std::getenv("QT_QPA_PLATFORM"); env != nullptr) {
        name = env;
    }
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            name = argv[i + 1];
        }
    }
    return name;
}

// QT_QPA_PLATFORM may list fallbacks ("wayland;xcb"): any one of them may be the one used.
bool DisplayReachable(const std::string &platform) {
    const bool x11 = Set("DISPLAY");
    const bool wayland = Set("WAYLAND_DISPLAY");
    if (platform.empty()) {
        return x11 || wayland;
    }
    bool needsDisplay = true;
    size_t start = 0;
    while (start <= platform.size()) {
        size_t end = platform.find(';', start);
        std::string one = platform.substr(start, end == std::string::npos ? end : end - start);
        one = one.substr(0, one.find(':'));
        if (one == "xcb") {
            if (x11) return true;
        } else if (one.rfind("wayland", 0) == 0) {
            if (wayland) return true;
        } else if (!one.empty()) {
            // offscreen, minimal, vnc, eglfs, linuxfb...: no display server involved.
            needsDisplay = false;
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return !needsDisplay;
}

}  // namespace

StartAction ChooseStartAction(int argc, char **argv) {
    if (argc > 1) {
        if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
            return StartAction::PrintHelp;
        }
        if (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0) {
            return StartAction::PrintVersion;
        }
    }
    return DisplayReachable(QtPlatformName(argc, argv)) ? StartAction::OpenWindow
                                                        : StartAction::NoDisplay;
}

void PrintStartText(StartAction action, const char *programName, std::FILE *out, std::FILE *err) {
    switch (action) {
        case StartAction::PrintHelp:
            std::fprintf(out,
                         "Usage: %s [SCRIPT.vna]\n"
                         "Edit Vorna parameter scripts and grow their textures with a live "
                         "preview.\n"
                         "\n"
                         "Opens SCRIPT.vna in the editor (without it, the editor starts empty).\n"
                         "\n"
                         "  -h, --help     show this help and exit\n"
                         "  -V, --version  show the version and exit\n"
                         "\n"
                         "The desktop program needs a display (X11 or Wayland); vorna-cli runs "
                         "scripts\n"
                         "without one. The menu language is kept in vorna.ini beside the program "
                         "or,\n"
                         "once installed, in $XDG_CONFIG_HOME/vorna (by default ~/.config/vorna)."
                         "\n",
                         programName);
            break;
        case StartAction::PrintVersion:
            std::fprintf(out, "vorna %s\n", VORNA_VERSION);
            break;
        case StartAction::NoDisplay:
            std::fprintf(err,
                         "%s: no display to open a window on (neither DISPLAY nor "
                         "WAYLAND_DISPLAY is set); vorna-cli runs scripts without one\n",
                         programName);
            break;
        case StartAction::OpenWindow:
            break;
    }
}
