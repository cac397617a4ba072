// A small file system for the tests of a full disk: a tmpfs of a few hundred KB mounted over a
// directory while the object lives. Only root may mount; elsewhere Mounted() is false and
// Reason() says why, for GTEST_SKIP.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace testsupport {

class SmallDisk {
public:
    SmallDisk(const std::filesystem::path &dir, const char *size) : Dir(dir) {
        std::filesystem::create_directories(dir);
        if (geteuid() != 0) {
            Why = "a tmpfs can only be mounted by root; the full-disk case is not tried";
            return;
        }
        const std::string options = std::string("size=") + size;
        if (mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            Why = std::string("mounting a tmpfs is not permitted here (") + std::strerror(errno) +
                  "); the full-disk case is not tried";
            return;
        }
        IsMounted = true;
    }
    ~SmallDisk() {
        if (IsMounted) (void)umount2(Dir.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool Mounted() const { return IsMounted; }
    const std::string &Reason() const { return Why; }

private:
    std::filesystem::path Dir;
    bool IsMounted = false;
    std::string Why;
};

// Whether the tests run as root, for whom permission bits do not stop writes.
inline bool RunningAsRoot() { return geteuid() == 0; }

}  // namespace testsupport
