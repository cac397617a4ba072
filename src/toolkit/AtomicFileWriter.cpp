#include "toolkit/AtomicFileWriter.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

// fsync is the one call the standard library lacks: without it a power cut after the rename
// could leave an empty file where the user's script was.
#include <unistd.h>

namespace {

AtomicFileWriter::Step FailingStep = AtomicFileWriter::Step::None;

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::FailStepForTesting(Step step) { FailingStep = step; }

bool AtomicFileWriter::ShouldFail(Step step) const { return FailingStep == step; }

int AtomicFileWriter::Open(const char *path) {
    Discard();
    if (path == nullptr || *path == 0) return Failed;
    namespace fs = std::filesystem;
    std::error_code error;
    TargetPath = path;
    // Replace the file a link points at, not the link itself.
    if (fs::is_symlink(fs::path(TargetPath), error)) {
        fs::path target = fs::canonical(fs::path(TargetPath), error);
        if (!error) TargetPath = target.string();
    }
    // A file the user may not write stays as it is, as it would if it were opened for writing.
    if (access(TargetPath.c_str(), W_OK) != 0 && errno != ENOENT) return Failed;
    if (ShouldFail(Step::Create)) return Failed;

    // mkstemp gives a fresh name in the target's directory, so the rename stays on one file
    // system and is atomic.
    std::string pattern = TargetPath + ".tmp-XXXXXX";
    int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) return Failed;
    TempPath = pattern;
    Stream = fdopen(descriptor, "wb");
    if (Stream == nullptr) {
        close(descriptor);
        std::remove(TempPath.c_str());
        TempPath.clear();
        return Failed;
    }
    // The new file gets the permissions of the one it replaces before any content is written.
    fs::file_status status = fs::status(fs::path(TargetPath), error);
    if (!error && fs::exists(status)) {
        fs::permissions(fs::path(TempPath), status.permissions(), fs::perm_options::replace, error);
    }
    WriteFailed = false;
    return Done;
}

int AtomicFileWriter::Write(const char *bytes, size_t count) {
    if (Stream == nullptr || WriteFailed) return Failed;
    if (count == 0) return Done;
    if (bytes == nullptr || ShouldFail(Step::Write) ||
        std::fwrite(bytes, 1, count, Stream) != count) {
        WriteFailed = true;
        return Failed;
    }
    return Done;
}

int AtomicFileWriter::Commit() {
    if (Stream == nullptr) return Failed;
    bool ok = !WriteFailed && std::fflush(Stream) == 0 && !std::ferror(Stream);
    ok = ok && !ShouldFail(Step::Sync) && fsync(fileno(Stream)) == 0;
    int closed = std::fclose(Stream);
    Stream = nullptr;
    ok = ok && closed == 0;
    ok = ok && !ShouldFail(Step::Rename) && std::rename(TempPath.c_str(), TargetPath.c_str()) == 0;
    if (!ok) {
        std::remove(TempPath.c_str());
        TempPath.clear();
        return Failed;
    }
    TempPath.clear();
    return Done;
}

void AtomicFileWriter::Discard() {
    if (Stream != nullptr) {
        std::fclose(Stream);
        Stream = nullptr;
    }
    if (!TempPath.empty()) {
        std::remove(TempPath.c_str());
        TempPath.clear();
    }
    WriteFailed = false;
}
