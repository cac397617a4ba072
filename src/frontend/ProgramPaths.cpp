#include "frontend/ProgramPaths.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "frontend/FrontEndGlobals.h"
#include "platform/Platform.h"

namespace {

char Result[PathBufferSize];

// The settings file: beside the program, or in the user's config folder when installed.
std::string SettingsPath;
bool Installed = false;

bool IsFile(const std::string &path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// $XDG_CONFIG_HOME/vorna, else ~/.config/vorna; empty when neither can be named.
std::string UserConfigFolder() {
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/vorna";
    }
    const char *home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.config/vorna";
    }
    return std::string();
}

// RootDirectory: the program's own folder, else the current working directory. A program run
// from the build tree finds its templates there; an installed one (bin/ without them) finds
// them in ../share/vorna and keeps its settings in the user's config folder, since the
// program's folder is not the user's to write.
}  // namespace

void FindRootDirectory() {
    std::string dir = ThePlatform->ProgramDirectory();
    if (dir.empty() || dir.size() > MaxPathLength) {
        char cwd[PathBufferSize];
        dir = getcwd(cwd, sizeof cwd) != nullptr ? cwd : ".";
    }
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    SettingsPath = dir + "/vorna.ini";
    Installed = false;
    const std::string shared = std::filesystem::path(dir).parent_path().string() + "/share/vorna";
    const std::string config = UserConfigFolder();
    if (!IsFile(dir + "/exemple.tpl") && IsFile(shared + "/exemple.tpl") &&
        shared.size() <= MaxPathLength && !config.empty()) {
        dir = shared;
        SettingsPath = config + "/vorna.ini";
        Installed = true;
    }
    std::snprintf(RootDirectory, sizeof RootDirectory, "%s", dir.c_str());
}

const char *GetRootFilePath(const char *name) {
    // A joined path that does not fit the buffer is refused (empty), never cut to another name.
    std::string path = std::string(RootDirectory) + "/" + name;
    if (path.size() >= sizeof Result) {
        path.clear();
    }
    std::memcpy(Result, path.c_str(), path.size() + 1);
    return Result;
}

const char *GetSettingsPath() { return SettingsPath.c_str(); }

const char *InstalledTemplatePath(const char *name) {
    return Installed ? GetRootFilePath(name) : nullptr;
}
