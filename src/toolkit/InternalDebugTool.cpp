#include "toolkit/InternalDebugTool.h"

#include <cstdio>
#include <cstring>

InternalDebugTool MainDebug("debug.txt");

InternalDebugTool::InternalDebugTool(const char *fileName) : Level(0) {
    std::snprintf(FileName, sizeof FileName, "%s", fileName != nullptr ? fileName : "");
}

void InternalDebugTool::Append(const char *line) {
    if (Level <= 0) return;
    FILE *file = std::fopen(FileName, "a");
    if (file == nullptr) return;
    std::fputs(line, file);
    std::fclose(file);
}

void InternalDebugTool::Trace(const char *text) {
    if (Level <= 0) return;
    char line[512];
    std::snprintf(line, sizeof line, "%s\n", text);
    Append(line);
}

void InternalDebugTool::Trace(const char *text, int32_t value) {
    if (Level <= 0) return;
    char line[512];
    std::snprintf(line, sizeof line, "%s %d\n", text, int(value));
    Append(line);
}

void InternalDebugTool::Trace(const char *text, uint32_t value) {
    if (Level <= 0) return;
    char line[512];
    std::snprintf(line, sizeof line, "%s %lu\n", text, (unsigned long)value);
    Append(line);
}

void InternalDebugTool::Trace(const char *text, double value) {
    if (Level <= 0) return;
    const int integer = int(value);
    const int thousandths = int((value - integer + 0.0004999) * 1000);
    char line[512];
    std::snprintf(line, sizeof line, "%s %d.%03d\n", text, integer, thousandths);
    Append(line);
}

void InternalDebugTool::Trace(const char *text, float value) { Trace(text, double(value)); }
