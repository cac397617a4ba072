// ScopedFile: a stdio stream that is closed when the holder goes out of scope, so every early
// return of a reader closes its file; owns the FILE pointer it was given.
#pragma once

#include <cstdio>

class ScopedFile {
public:
    // Opens path with the stdio mode; Get() is null when that fails (or path is null).
    ScopedFile(const char *path, const char *mode)
        : Stream(path != nullptr ? std::fopen(path, mode) : nullptr) {}
    ~ScopedFile() {
        if (Stream != nullptr) std::fclose(Stream);
    }
    ScopedFile(const ScopedFile &) = delete;
    ScopedFile &operator=(const ScopedFile &) = delete;

    FILE *Get() const { return Stream; }
    explicit operator bool() const { return Stream != nullptr; }

private:
    FILE *Stream;
};
