// Start-up of the desktop program: message table, refresh rates, digit glyphs, program folder
// (ProgramPaths), language from the settings file, script from the command line, main window,
// message loop.
#pragma once

class Platform;

// The program's entry point on the given window system. scriptArgument: the script path of the
// command line (null or empty: none). Returns the exit code (0 also after a start-up failure).
int VornaMain(Platform &platform, const char *scriptArgument);
// The language of a settings value: 1 for exactly "french", else 0.
int LanguageFromSetting(const char *value);
// CurParamFileName from the command line's script path: one pair of surrounding double quotes
// is removed; a path longer than MaxPathLength is refused (empty).
void SetScriptFromCommandLine(const char *argument);
