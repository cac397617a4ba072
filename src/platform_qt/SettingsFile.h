// SettingsFile: the program's INI settings (section, key) in a file beside the program, or, when
// that folder cannot be written, in the user's configuration folder. Holds no state.
#pragma once

#include <QString>
#include <string>

class SettingsFile {
public:
    // The value stored under section/key (as UTF-8), else defaultValue. Reads the fallback file
    // instead of path when path's folder cannot be written and the fallback exists.
    static std::string Read(const char *path, const char *section, const char *key,
                            const char *defaultValue);
    // Stores value under section/key in path, replacing a file that cannot be parsed; in the
    // fallback file when path's folder cannot be written. true when stored.
    static bool Write(const char *path, const char *section, const char *key, const char *value);
    // Where settings go when the program's folder cannot be written.
    static QString FallbackPath();
};
