// AtomicFileWriter: replaces a file's content in one step, so a crash, a full disk or a write
// error never leaves the file half written. Owns a temporary file beside the target until Commit;
// those a killed process left are removed by the next writer in the same directory.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

class AtomicFileWriter {
public:
    // What its operations answer.
    enum class Result { Failed = 0, Done = 1 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;

    // Steps that tests can make fail, to check that the target is left untouched.
    enum class Step { None, Create, Write, Sync, Rename };

    AtomicFileWriter() = default;
    // Discards a temporary file that was not committed.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    // Creates the temporary file in the directory of path (a symbolic link is followed to its
    // target), with the permissions of the existing file: 1; 0 when the file exists but is no
    // regular file or may not be written, or the temporary file cannot be created. The first
    // Open in a directory removes the temporary files there of processes that are gone.
    [[nodiscard]] Result Open(const char *path);
    // Appends count bytes: 1; 0 when the write fails (Commit then refuses).
    [[nodiscard]] Result Write(const char *bytes, size_t count);
    // Flushes and syncs the temporary file and renames it over the target: 1. 0 when any step
    // failed: the temporary file is removed and the target keeps its old content.
    [[nodiscard]] Result Commit();
    // Closes and removes the temporary file; the target is not touched.
    void Discard();
    // Replaces the content of path with count bytes in one step: 1; 0 with the errno of the step
    // that failed in error (the target then keeps its old content).
    [[nodiscard]] static Result WriteWhole(const char *path, const char *bytes, size_t count,
                                           int &error);
    // The open temporary file, for writers that format straight into a stream; null when closed.
    // Its errors are seen by Commit.
    FILE *GetStream() const { return Stream; }
    // The errno of the first step that failed since Open (EIO for a step failed for testing),
    // or FileFault::NotRegular when the target is no regular file; 0 when none failed.
    int LastErrno() const { return ErrorNumber; }

    // The cause (as LastErrno) of the last writer of this thread that failed since
    // ForgetLastFailure, for a caller whose callee owned the writer; 0 when none failed.
    static int LastFailure();
    static void ForgetLastFailure();

    // Removes the temporary files of the writers open at this moment, with unlink only: safe in
    // a signal handler that ends the process, which would otherwise leave them behind.
    static void RemoveLiveTemporaries();

    // Makes the given step fail in every writer until it is reset with Step::None.
    static void FailStepForTesting(Step step);

private:
    bool ShouldFail(Step step) const;
    // Keeps error as the cause unless an earlier step failed already; 0 counts as EIO.
    void NoteFailure(int error);

    std::string TargetPath;
    std::string TempPath;
    FILE *Stream = nullptr;
    bool WriteFailed = false;
    int ErrorNumber = 0;
    int LiveSlot = -1;  // where RemoveLiveTemporaries finds TempPath; -1 none
};
