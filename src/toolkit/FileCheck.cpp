#include "toolkit/FileCheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

// open with O_NONBLOCK and fstat are the calls the standard library lacks to look at a file
// without waiting on it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "toolkit/MessageIds.h"
#include "toolkit/StringTable.h"

int OpenRegularFile(const char *path, FileFault &fault) {
    fault = FileFault{};
    if (path == nullptr || *path == 0) {
        fault.Error = ENOENT;
        return -1;
    }
    const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        fault.Error = errno;
        return -1;
    }
    struct stat status;
    if (fstat(descriptor, &status) != 0) {
        fault.Error = errno;
        close(descriptor);
        return -1;
    }
    if (!S_ISREG(status.st_mode)) {
        fault.Error = FileFault::NotRegular;
        close(descriptor);
        return -1;
    }
    // Reads from here on may wait for the disk as any read does.
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags >= 0) (void)fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    return descriptor;
}

FileCheckResult CheckRegularFile(const char *path, FileFault &fault) {
    const int descriptor = OpenRegularFile(path, fault);
    if (descriptor < 0) return FileCheckFailed;
    close(descriptor);
    return FileCheckDone;
}

namespace {

// Closes a descriptor on every way out of a reader.
class ScopedDescriptor {
public:
    explicit ScopedDescriptor(int descriptor) : Descriptor(descriptor) {}
    ~ScopedDescriptor() {
        if (Descriptor >= 0) close(Descriptor);
    }
    ScopedDescriptor(const ScopedDescriptor &) = delete;
    ScopedDescriptor &operator=(const ScopedDescriptor &) = delete;
    int Get() const { return Descriptor; }

private:
    int Descriptor;
};

// Hands the file's bytes to take block by block until the end (true), a read error (false, its
// errno in fault) or take's refusal (false).
template <typename Take>
bool ReadBlocks(int descriptor, FileFault &fault, Take take) {
    char block[65536];
    for (;;) {
        const ssize_t count = read(descriptor, block, sizeof block);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            fault.Error = errno;
            return false;
        }
        if (count == 0) return true;
        if (!take(block, static_cast<size_t>(count))) return false;
    }
}

}  // namespace

FileCheckResult CheckTextFile(const char *path, FileFault &fault) {
    const ScopedDescriptor file(OpenRegularFile(path, fault));
    if (file.Get() < 0) return FileCheckFailed;
    long long offset = 0;
    const bool text = ReadBlocks(file.Get(), fault, [&](const char *block, size_t count) {
        const void *zero = std::memchr(block, 0, count);
        if (zero != nullptr) {
            fault.Error = FileFault::NotText;
            fault.Offset = offset + (static_cast<const char *>(zero) - block);
            return false;
        }
        offset += static_cast<long long>(count);
        return true;
    });
    return text ? FileCheckDone : FileCheckFailed;
}

FileCheckResult ReadTextFile(const char *path, long long limit, std::string &text,
                             FileFault &fault) {
    text.clear();
    const ScopedDescriptor file(OpenRegularFile(path, fault));
    if (file.Get() < 0) return FileCheckFailed;
    struct stat status;
    if (fstat(file.Get(), &status) != 0) {
        fault.Error = errno;
        return FileCheckFailed;
    }
    if (status.st_size > limit) {
        fault.Error = FileFault::TooLong;
        fault.Size = status.st_size;
        fault.Limit = limit;
        return FileCheckFailed;
    }
    // The size is read to the end, not trusted: a file that grows past the limit meanwhile is
    // refused as well.
    const bool read = ReadBlocks(file.Get(), fault, [&](const char *block, size_t count) {
        if (static_cast<long long>(text.size() + count) > limit) {
            fault.Error = FileFault::TooLong;
            fault.Size = static_cast<long long>(text.size() + count);
            fault.Limit = limit;
            return false;
        }
        text.append(block, count);
        return true;
    });
    if (!read) {
        text.clear();
        return FileCheckFailed;
    }
    const size_t zero = text.find('\0');
    if (zero != std::string::npos) {
        fault.Error = FileFault::NotText;
        fault.Offset = static_cast<long long>(zero);
        text.clear();
        return FileCheckFailed;
    }
    return FileCheckDone;
}

FileCheckResult CheckReplaceable(const char *path, FileFault &fault) {
    fault = FileFault{};
    struct stat status;
    // stat follows symbolic links: a link to a regular file may be replaced (the link stays),
    // a link to a device may not.
    if (path == nullptr || stat(path, &status) != 0) return FileCheckDone;
    if (S_ISREG(status.st_mode)) return FileCheckDone;
    fault.Error = FileFault::NotRegular;
    return FileCheckFailed;
}

std::string FaultText(const FileFault &fault) {
    char text[512];
    switch (fault.Error) {
        case 0:
            return GST.Get(MsgCauseUnknown);
        case FileFault::NotRegular:
        case EISDIR:
            return GST.Get(MsgCauseNotRegular);
        case FileFault::NotText:
            std::snprintf(text, sizeof text, GST.Get(MsgCauseNotText), fault.Offset);
            return text;
        case FileFault::TooLong:
            std::snprintf(text, sizeof text, GST.Get(MsgCauseTooLong), fault.Size, fault.Limit);
            return text;
        case EACCES:
        case EPERM:
            return GST.Get(MsgCausePermission);
        case ENOSPC:
        case EDQUOT:
            return GST.Get(MsgCauseNoSpace);
        case ENAMETOOLONG:
            return GST.Get(MsgCauseNameTooLong);
        case EROFS:
            return GST.Get(MsgCauseReadOnly);
        case ENOENT:
            return GST.Get(MsgCauseMissing);
        case ENOTDIR:
            return GST.Get(MsgCauseNotFolder);
        default:
            return fault.Error > 0 ? std::strerror(fault.Error) : GST.Get(MsgCauseUnknown);
    }
}

std::string FaultText(int error) {
    FileFault fault;
    fault.Error = error;
    return FaultText(fault);
}

std::string FaultReport(const char *message, const char *path, const FileFault &fault) {
    std::string text = message != nullptr ? message : "";
    text += '\n';
    text += path != nullptr ? path : "";
    text += '\n';
    text += FaultText(fault);
    return text;
}
