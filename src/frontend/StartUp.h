// Start-up of the desktop program: message table, refresh rates, digit glyphs, program folder,
// language from the settings file, script from the command line, main window, message loop.
#pragma once

class Platform;

// The program's entry point on the given window system. scriptArgument: the script path of the
// command line (null or empty: none). Returns the exit code (0 also after a start-up failure).
int VornaMain(Platform &platform, const char *scriptArgument);
// RootDirectory, '/' and name in a static buffer valid until the next call.
const char *GetRootFilePath(const char *name);
// The settings file: "vorna.ini" in RootDirectory, or in the user's config folder
// ($XDG_CONFIG_HOME/vorna, else ~/.config/vorna) for an installed program.
const char *GetSettingsPath();
// For an installed program (templates in ../share/vorna, not beside it): the template's path
// in RootDirectory, through GetRootFilePath; else null.
const char *InstalledTemplatePath(const char *name);
// The language of a settings value: 1 for exactly "french", else 0.
int LanguageFromSetting(const char *value);
// CurParamFileName from the command line's script path: one pair of surrounding double quotes
// is removed; a path longer than MaxPathLength is refused (empty).
void SetScriptFromCommandLine(const char *argument);
