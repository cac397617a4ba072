// FileCheck: what a file is before the program reads or replaces it, and why a file operation
// failed, told in the chosen language. Reads never block, even on a FIFO.
#pragma once

#include <string>

// Why a file could not be used: a system error, or one of the program's own checks.
struct FileFault {
    static constexpr int NotRegular = -1;  // a directory, device, FIFO or socket
    static constexpr int NotText = -2;     // a zero byte at Offset
    static constexpr int TooLong = -3;     // Size bytes, more than Limit

    int Error = 0;  // an errno value, one of the causes above, or 0 for no fault
    long long Offset = 0;
    long long Size = 0;
    long long Limit = 0;
};

// What the checks answer.
enum class FileCheckResult { Failed = 0, Done = 1 };
constexpr FileCheckResult FileCheckFailed = FileCheckResult::Failed;
constexpr FileCheckResult FileCheckDone = FileCheckResult::Done;

// Opens path for reading without waiting for a writer (a FIFO would block a plain open) and
// checks that it is a regular file: the descriptor, which the caller closes; -1 with fault set.
int OpenRegularFile(const char *path, FileFault &fault);
// OpenRegularFile, closed again: Done, the file is a readable regular file; Failed with fault
// set.
[[nodiscard]] FileCheckResult CheckRegularFile(const char *path, FileFault &fault);
// CheckRegularFile, and no zero byte in the whole file (read in blocks, whatever its size):
// Done; Failed with fault set.
[[nodiscard]] FileCheckResult CheckTextFile(const char *path, FileFault &fault);
// The whole content of a regular file of at most limit bytes without a zero byte: Done; Failed
// with fault set (a zero byte means a binary file, not a script).
[[nodiscard]] FileCheckResult ReadTextFile(const char *path, long long limit, std::string &text,
                                           FileFault &fault);
// Whether path may be replaced by a new file: it does not exist, or it is (through symbolic
// links) a regular file: Done; Failed with fault set to NotRegular.
[[nodiscard]] FileCheckResult CheckReplaceable(const char *path, FileFault &fault);
// The cause of fault in the language of GST: "permission denied", "no space left on the disk",
// the sizes or offset of the program's own checks, the system's text for other errors.
std::string FaultText(const FileFault &fault);
// FaultText of a fault that is only an errno value (or a negative cause without figures).
std::string FaultText(int error);
// The three lines of a box about a file: what failed, the file's path and the cause.
std::string FaultReport(const char *message, const char *path, const FileFault &fault);
