#include "sweep/VariantOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

VariantOutput::~VariantOutput() {
    if (Read >= 0) close(Read);
    if (Write >= 0) close(Write);
    if (Log >= 0) close(Log);
}

bool VariantOutput::Open(const std::string &logPath) {
    Path = logPath;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    Read = ends[0];
    Write = ends[1];
    (void)fcntl(Read, F_SETFL, fcntl(Read, F_GETFL) | O_NONBLOCK);
    // The child gets its end through dup2, which clears close-on-exec on the copy.
    (void)unlink(logPath.c_str());
    Log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    LogOk = Created = Log >= 0;
    return true;
}

void VariantOutput::CloseChildSide() {
    if (Write >= 0) close(Write);
    Write = -1;
}

void VariantOutput::Keep(const char *bytes, size_t count) {
    Kept.append(bytes, count);
    if (Kept.size() > KeptBytes) {
        Kept.erase(0, Kept.size() - KeptBytes);
        Cut = true;
    }
    if (Log < 0) return;
    size_t done = 0;
    while (done < count) {
        const ssize_t written = write(Log, bytes + done, count - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            // A full disk: the rest stays in memory only, and the log is not the whole output.
            close(Log);
            Log = -1;
            LogOk = false;
            return;
        }
        done += size_t(written);
        LogWritten = true;
    }
}

void VariantOutput::Pump() {
    if (Read < 0) return;
    char buffer[16384];
    for (;;) {
        const ssize_t count = read(Read, buffer, sizeof buffer);
        if (count > 0) {
            Keep(buffer, size_t(count));
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count == 0) {
            // Every writer has closed its end.
            close(Read);
            Read = -1;
        }
        return;
    }
}

void VariantOutput::Finish(bool removeLog) {
    CloseChildSide();
    Pump();
    if (Read >= 0) {
        close(Read);
        Read = -1;
    }
    if (Log >= 0) {
        if (close(Log) != 0) LogOk = false;
        Log = -1;
    }
    // An empty log says nothing; one cut short by a full disk stays, but the text shown is the
    // one kept in memory.
    if (Created && (removeLog || !LogWritten)) (void)unlink(Path.c_str());
}

std::string VariantOutput::Text() const { return Cut ? "[...]\n" + Kept : Kept; }
