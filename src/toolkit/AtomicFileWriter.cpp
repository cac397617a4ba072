#include "toolkit/AtomicFileWriter.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <system_error>

// fsync is the one call the standard library lacks: without it a power cut after the rename
// could leave an empty file where the user's script was. open with O_EXCL makes the temporary
// name ours; readdir and kill find the temporary files of processes that are gone.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "toolkit/FileCheck.h"

namespace {

AtomicFileWriter::Step FailingStep = AtomicFileWriter::Step::None;
thread_local int ThreadLastFailure = 0;

// The directory part of path, with its final '/', or "" for a name in the working directory.
std::string DirectoryOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

constexpr char TemporaryPrefix[] = ".vorna-";
constexpr char TemporarySuffix[] = ".tmp";

// The temporary files open at this moment, for RemoveLiveTemporaries: a slot is claimed (1),
// filled, then published (2); a signal handler reads published ones only. More writers open at
// once than slots only lose the clean-up on a signal.
constexpr int LiveSlots = 8;
constexpr size_t LivePathSize = 4096;
char LivePaths[LiveSlots][LivePathSize];
std::atomic<int> LiveStates[LiveSlots];
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

int PublishTemporary(const std::string &name) {
    if (name.size() >= LivePathSize) return -1;
    for (int slot = 0; slot < LiveSlots; ++slot) {
        int expected = 0;
        if (LiveStates[slot].compare_exchange_strong(expected, 1)) {
            std::memcpy(LivePaths[slot], name.c_str(), name.size() + 1);
            LiveStates[slot].store(2);
            return slot;
        }
    }
    return -1;
}

void WithdrawTemporary(int &slot) {
    if (slot >= 0) LiveStates[slot].store(0);
    slot = -1;
}

// Creates ".vorna-<process id>-<counter>.tmp" in the target's directory, a short name no file
// has yet, for writing: the descriptor, or -1 when no such file can be made. The name does not
// grow with the target's, so a target of 255 bytes still gets a temporary file; O_EXCL makes the
// name ours even when another writer tries the same one, and the next number is tried then.
// The name is published before the file exists, so that no signal finds a file it cannot name.
int CreateTemporary(const std::string &path, std::string &temporary, int &slot) {
    static std::atomic<unsigned> counter{0};
    const std::string directory = DirectoryOf(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = directory + TemporaryPrefix + std::to_string(getpid()) + "-" +
                           std::to_string(counter.fetch_add(1, std::memory_order_relaxed)) +
                           TemporarySuffix;
        slot = PublishTemporary(name);
        const int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            temporary = name;
            return descriptor;
        }
        const int error = errno;
        WithdrawTemporary(slot);
        errno = error;
        if (error != EEXIST) return -1;
    }
    return -1;
}

// The process id in a name of the temporary naming, ".vorna-<pid>-<counter>.tmp"; 0 for any
// other name.
long TemporaryOwner(const char *name) {
    const size_t prefix = sizeof TemporaryPrefix - 1;
    if (std::strncmp(name, TemporaryPrefix, prefix) != 0) return 0;
    const char *p = name + prefix;
    long pid = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9' && digits < 10; ++p, ++digits) pid = pid * 10 + (*p - '0');
    if (digits == 0 || *p != '-') return 0;
    ++p;
    digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) ++digits;
    if (digits == 0 || std::strcmp(p, TemporarySuffix) != 0) return 0;
    return pid;
}

// Removes the temporary files of this naming in directory whose process is gone (killed, or a
// machine that went down): once per directory and process, before the first write there. A
// file of a live process, or of one that cannot be asked, stays.
void SweepStaleTemporaries(const std::string &directory) {
    static std::mutex mutex;
    static std::set<std::string> swept;
    std::lock_guard<std::mutex> lock(mutex);
    if (!swept.insert(directory).second) return;
    DIR *folder = opendir(directory.empty() ? "." : directory.c_str());
    if (folder == nullptr) return;
    while (const dirent *entry = readdir(folder)) {
        const long pid = TemporaryOwner(entry->d_name);
        // pid 0 would ask the whole process group; a pid beyond pid_t is no process.
        if (pid <= 0 || pid != long(pid_t(pid)) || pid == long(getpid())) continue;
        if (kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;
        (void)unlinkat(dirfd(folder), entry->d_name, 0);
    }
    closedir(folder);
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::FailStepForTesting(Step step) { FailingStep = step; }

bool AtomicFileWriter::ShouldFail(Step step) const { return FailingStep == step; }

void AtomicFileWriter::NoteFailure(int error) {
    if (ErrorNumber != 0) return;
    ErrorNumber = error != 0 ? error : EIO;
    ThreadLastFailure = ErrorNumber;
}

int AtomicFileWriter::LastFailure() { return ThreadLastFailure; }

void AtomicFileWriter::ForgetLastFailure() { ThreadLastFailure = 0; }

AtomicFileWriter::Result AtomicFileWriter::Open(const char *path) {
    Discard();
    ErrorNumber = 0;
    if (path == nullptr || *path == 0) {
        NoteFailure(ENOENT);
        return Failed;
    }
    namespace fs = std::filesystem;
    std::error_code error;
    TargetPath = path;
    // Replace the file a link points at, not the link itself.
    if (fs::is_symlink(fs::path(TargetPath), error)) {
        fs::path target = fs::canonical(fs::path(TargetPath), error);
        if (!error) TargetPath = target.string();
    }
    // Only a regular file is replaced: a directory, a device node, a FIFO or a socket under the
    // name stays as it is (a rename would put a plain file in place of a device).
    FileFault fault;
    if (CheckReplaceable(TargetPath.c_str(), fault) != FileCheckDone) {
        NoteFailure(fault.Error);
        return Failed;
    }
    // A file the user may not write stays as it is, as it would if it were opened for writing.
    if (access(TargetPath.c_str(), W_OK) != 0 && errno != ENOENT) {
        NoteFailure(errno);
        return Failed;
    }
    if (ShouldFail(Step::Create)) {
        NoteFailure(EIO);
        return Failed;
    }

    // A fresh name in the target's directory, so that the rename stays on one file system and
    // is atomic. The file is created with the mode every new file gets (0666 less the umask),
    // so a new image or script is as readable as any other file the user makes.
    SweepStaleTemporaries(DirectoryOf(TargetPath));
    int descriptor = CreateTemporary(TargetPath, TempPath, LiveSlot);
    if (descriptor < 0) {
        NoteFailure(errno);
        return Failed;
    }
    Stream = fdopen(descriptor, "wb");
    if (Stream == nullptr) {
        NoteFailure(errno);
        close(descriptor);
        std::remove(TempPath.c_str());
        TempPath.clear();
        WithdrawTemporary(LiveSlot);
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

AtomicFileWriter::Result AtomicFileWriter::Write(const char *bytes, size_t count) {
    if (Stream == nullptr || WriteFailed) return Failed;
    if (count == 0) return Done;
    if (bytes == nullptr || ShouldFail(Step::Write)) {
        NoteFailure(EIO);
        WriteFailed = true;
        return Failed;
    }
    if (std::fwrite(bytes, 1, count, Stream) != count) {
        NoteFailure(errno);
        WriteFailed = true;
        return Failed;
    }
    return Done;
}

AtomicFileWriter::Result AtomicFileWriter::Commit() {
    if (Stream == nullptr) {
        NoteFailure(EBADF);
        return Failed;
    }
    // Each step runs only when the ones before it went well; the first failure names the cause.
    // A stream error seen only now (a writer formatting straight into the stream) left its
    // errno from the failed write.
    bool ok = !WriteFailed;
    if (ok && (std::fflush(Stream) != 0 || std::ferror(Stream))) {
        NoteFailure(errno);
        ok = false;
    }
    if (ok && (ShouldFail(Step::Sync) || fsync(fileno(Stream)) != 0)) {
        NoteFailure(ShouldFail(Step::Sync) ? EIO : errno);
        ok = false;
    }
    if (std::fclose(Stream) != 0 && ok) {
        NoteFailure(errno);
        ok = false;
    }
    Stream = nullptr;
    if (ok &&
        (ShouldFail(Step::Rename) || std::rename(TempPath.c_str(), TargetPath.c_str()) != 0)) {
        NoteFailure(ShouldFail(Step::Rename) ? EIO : errno);
        ok = false;
    }
    if (!ok) std::remove(TempPath.c_str());
    TempPath.clear();
    WithdrawTemporary(LiveSlot);
    return ok ? Done : Failed;
}

AtomicFileWriter::Result AtomicFileWriter::WriteWhole(const char *path, const char *bytes,
                                                      size_t count, int &error) {
    AtomicFileWriter writer;
    if (writer.Open(path) != Done || writer.Write(bytes, count) != Done ||
        writer.Commit() != Done) {
        error = writer.LastErrno();
        return Failed;
    }
    error = 0;
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
    WithdrawTemporary(LiveSlot);
    WriteFailed = false;
}

void AtomicFileWriter::RemoveLiveTemporaries() {
    for (int slot = 0; slot < LiveSlots; ++slot) {
        if (LiveStates[slot].load() == 2) (void)unlink(LivePaths[slot]);
    }
}
