#include "toolkit/InternalDebugTool.h"

#include <cstdio>
#include <cstring>

InternalDebugTool MainDebug("debug.txt");

InternalDebugTool::InternalDebugTool(const char *fileName) : Level(0) {
    // A name that does not fit is dropped rather than cut: a cut name would append the trace to
    // some other file. An empty name cannot be opened, so tracing then writes nothing.
    FileName[0] = 0;
    if (fileName != nullptr && std::strlen(fileName) < sizeof FileName) {
        std::memcpy(FileName, fileName, std::strlen(fileName) + 1);
    }
}

void InternalDebugTool::Append(const char *text, const char *value) {
    if (Level <= 0 || FileName[0] == 0) return;
    FILE *file = std::fopen(FileName, "a");
    if (file == nullptr) return;
    // The text is written as it is, however long; only the value is formatted.
    std::fputs(text != nullptr ? text : "", file);
    std::fputs(value, file);
    std::fputc('\n', file);
    std::fclose(file);
}

void InternalDebugTool::Trace(const char *text) { Append(text, ""); }

void InternalDebugTool::Trace(const char *text, int32_t value) {
    if (Level <= 0) return;
    char number[32];
    std::snprintf(number, sizeof number, " %d", int(value));
    Append(text, number);
}

void InternalDebugTool::Trace(const char *text, uint32_t value) {
    if (Level <= 0) return;
    char number[32];
    std::snprintf(number, sizeof number, " %lu", (unsigned long)value);
    Append(text, number);
}

void InternalDebugTool::Trace(const char *text, double value) {
    if (Level <= 0) return;
    char number[64];
    // The integer part must fit an int; beyond that range (or for NaN) the conversion would be
    // undefined, so such a value is written in plain floating-point notation instead.
    if (!(value >= -2147483648.0 && value < 2147483648.0)) {
        std::snprintf(number, sizeof number, " %g", value);
    } else {
        const int integer = int(value);
        const int thousandths = int((value - integer + 0.0004999) * 1000);
        std::snprintf(number, sizeof number, " %d.%03d", integer, thousandths);
    }
    Append(text, number);
}

void InternalDebugTool::Trace(const char *text, float value) { Trace(text, double(value)); }
