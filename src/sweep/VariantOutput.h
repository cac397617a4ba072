// VariantOutput: what one running variant writes on stdout and stderr, read through a pipe into
// its log file and into memory, so that a failure's cause is shown even when the log cannot be
// written (a full disk). Owns the pipe, the log's descriptor and the kept text.
#pragma once

#include <cstddef>
#include <string>

class VariantOutput {
public:
    static constexpr size_t KeptBytes = 64 * 1024;  // the end of the output kept in memory

    VariantOutput() = default;
    ~VariantOutput();
    VariantOutput(const VariantOutput &) = delete;
    VariantOutput &operator=(const VariantOutput &) = delete;

    // Makes the pipe and the log at logPath. A log left by an earlier run is removed first (a
    // link is removed, never followed), and the new one is created, never opened over a file
    // that is there. A log that cannot be made leaves the output in memory only. False when
    // the pipe cannot be made.
    bool Open(const std::string &logPath);
    // The descriptor the child writes to (its stdout and stderr); the parent closes its copy
    // with CloseChildSide once the child has started.
    int ChildSide() const { return Write; }
    void CloseChildSide();
    // The descriptor to wait on for output; -1 once the child's end is closed and all is read.
    int ReadSide() const { return Read; }
    // Reads what the pipe holds now, without waiting.
    void Pump();
    // Reads the rest once the child has ended, then closes the log: an empty log is removed,
    // and so is the log of a variant that succeeded when removeLog. A log cut short by a full
    // disk stays as far as it got.
    void Finish(bool removeLog);

    // The end of the output (at most KeptBytes, "[...]" before it when cut).
    std::string Text() const;
    // Whether the whole output is in the log.
    bool LogWhole() const { return LogOk && LogWritten; }
    // Whether some of it went into the log.
    bool LogStarted() const { return LogWritten; }
    const std::string &LogPath() const { return Path; }

private:
    void Keep(const char *bytes, size_t count);

    int Read = -1;
    int Write = -1;
    int Log = -1;
    bool Created = false;     // this object made the log
    bool LogOk = false;       // the log was made and every write to it succeeded
    bool LogWritten = false;  // something was written to it
    bool Cut = false;         // Kept lost its beginning
    std::string Path;
    std::string Kept;
};
