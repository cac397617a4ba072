// Start-up: the order of the steps matters, since the window's creation handler loads the
// script named on the command line and reads the display options set here.
#include "frontend/StartUp.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "frontend/FrontEndGlobals.h"
#include "frontend/MenuResources.h"
#include "frontend/PreviewDisplay.h"
#include "frontend/WindowProcedure.h"
#include "image3d/Image3D8.h"
#include "platform/Platform.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/StringTable.h"

namespace {

char Result[PathBufferSize];
PreviewBitmapFormat DisplayInfoBlock;

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

}  // namespace

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

int LanguageFromSetting(const char *value) { return std::strcmp(value, "french") == 0 ? 1 : 0; }

void SetScriptFromCommandLine(const char *argument) {
    CurParamFileName[0] = 0;
    if (argument == nullptr) {
        return;
    }
    std::string path = argument;
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
        path = path.substr(1, path.size() - 2);
    }
    if (path.size() <= MaxPathLength) {
        std::snprintf(CurParamFileName, sizeof CurParamFileName, "%s", path.c_str());
    }
}

int VornaMain(Platform &platform, const char *scriptArgument) {
    ThePlatform = &platform;
    // The message table first: boxes and titles from here on take their texts from it (they are
    // stored plain, so no key is applied).
    LoadGST();
    // Iterations between two previews, one per refresh level of the Texture menu.
    const int rates[5] = {1, 5, 30, 200, 1000};
    for (int i = 0; i < 5; ++i) {
        TDisplayRefreshRates[i] = rates[i];
    }
    DisplayRefreshRate = TDisplayRefreshRates[DisplayRefreshLevel];
    // Glyphs of the iteration counter stamped into the preview.
    LoadDigits(BitmapDigits);
    // The language comes from the settings file (French when unset).
    FindRootDirectory();
    std::snprintf(TmpStr, sizeof TmpStr, "%s", GetSettingsPath());
    std::string language = platform.ReadSetting(TmpStr, "Locale", "language", "french");
    std::snprintf(LocaleLanguage, 10, "%s", language.c_str());
    const int lang = LanguageFromSetting(LocaleLanguage);
    (void)GST.SetLanguage(lang);  // LanguageFromSetting gives 0 or 1 only
    platform.SetLanguage(lang);
    // The script named on the command line, loaded by the window's creation handler.
    SetScriptFromCommandLine(scriptArgument);
    // The preview's format starts empty, its palette black.
    DisplayInfoBlock = PreviewBitmapFormat{};
    PtrDisplayInfo = &DisplayInfoBlock;
    // Main window with the menu of the language; without it there is nothing to run.
    if (!platform.CreateMainWindow(WndProc, "Vorna 0.4b", 700, 460,
                                   lang == 1 ? MainMenuFr : MainMenuEn)) {
        platform.MessageBox(false, "Window Creation Failed!", "Error!",
                            Platform::BoxIconExclamation | Platform::BoxSystemModal);
        return 0;
    }
    // Show the window and hand over to its message loop until the program quits.
    platform.ShowMainWindow();
    return platform.RunMessageLoop();
}
