// InternalDebugTool: appends trace lines to a text file while its level is above 0.
// Owns the file name; every line is one open, one write, one close.
#pragma once

#include <cstdint>

class InternalDebugTool {
public:
    explicit InternalDebugTool(const char *fileName);
    void SetLevel(int32_t level) { Level = level; }
    int32_t GetLevel() const { return Level; }

    void Trace(const char *text);
    void Trace(const char *text, int32_t value);
    void Trace(const char *text, uint32_t value);
    // Written as integer part, a point and three digits of thousandths ("2.500").
    void Trace(const char *text, float value);
    void Trace(const char *text, double value);

private:
    // Appends text, value and a line feed to the file (one open, one close) while enabled.
    void Append(const char *text, const char *value);

    int32_t Level;
    char FileName[260];
};

// Built for "debug.txt"; disabled, and nothing in the program enables it.
extern InternalDebugTool MainDebug;
