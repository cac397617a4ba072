// ProgramPaths: where the desktop program finds its templates and keeps its settings file;
// found once at start-up (FindRootDirectory), read by the commands. Owns the paths.
#pragma once

// Sets RootDirectory and the settings path: the program's own folder, else the current working
// directory; for an installed program (bin/ without the templates) share/vorna and the user's
// config folder.
void FindRootDirectory();
// RootDirectory, '/' and name in a static buffer valid until the next call.
const char *GetRootFilePath(const char *name);
// The settings file: "vorna.ini" in RootDirectory, or in the user's config folder
// ($XDG_CONFIG_HOME/vorna, else ~/.config/vorna) for an installed program.
const char *GetSettingsPath();
// For an installed program (templates in ../share/vorna, not beside it): the template's path
// in RootDirectory, through GetRootFilePath; else null.
const char *InstalledTemplatePath(const char *name);
