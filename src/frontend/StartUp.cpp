// Start-up: the order of the steps matters, since the window's creation handler loads the
// script named on the command line and reads the display options set here.
#include "frontend/StartUp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frontend/FrontEndGlobals.h"
#include "frontend/MenuResources.h"
#include "frontend/PreviewDisplay.h"
#include "frontend/ProgramPaths.h"
#include "frontend/WindowProcedure.h"
#include "image3d/Image3D8.h"
#include "platform/Platform.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/StringTable.h"

namespace {

PreviewBitmapFormat DisplayInfoBlock;

}  // namespace

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
