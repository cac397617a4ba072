#include "toolkit/AtomicFileWriter.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

// fsync is the one call the standard library lacks: without it a power cut after the rename
// could leave an empty file where the user's script was. open with O_EXCL makes the temporary
// name ours.
#include <fcntl.h>
#include <unistd.h>

namespace {

AtomicFileWriter::Step FailingStep = AtomicFileWriter::Step::None;

// Creates path + ".tmp-" + the process id and a counter, a name no file has yet, for writing;
// the descriptor, or -1 when no such file can be made. O_EXCL makes the name ours even when
// another writer tries the same one; the next number is tried then.
int CreateTemporary(const std::string &path, std::string &temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = path + ".tmp-" + std::to_string(getpid()) + "-" +
                           std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
        const int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            temporary = name;
            return descriptor;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

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

    // A fresh name in the target's directory, so that the rename stays on one file system and
    // is atomic. The file is created with the mode every new file gets (0666 less the umask),
    // so a new image or script is as readable as any other file the user makes.
    int descriptor = CreateTemporary(TargetPath, TempPath);
    if (descriptor < 0) return Failed;
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
