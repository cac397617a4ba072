// vorna-cli and the files it cannot write or read: every failed image told once with its cause,
// exit code 5, a summary that counts only the files on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "cli/CliRunner.h"
#include "cli/CliTestSupport.h"
#include "rdsimul/ScriptParser.h"
#include "rdsimul/ScriptTestSupport.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MessageIds.h"
#include "toolkit/SmallDiskSupport.h"
#include "toolkit/StringTable.h"

using scripttest::ReadFile;
using scripttest::WriteFile;

namespace {

namespace fs = std::filesystem;

// 23 x 17 points, 25 iterations: images at 10, 20 and the final one at 25.
const char *SmallScript =
    "model schlogl\n"
    "reaction A 0.5\n"
    "diffusion A 0.2\n"
    "init A 0.75 0.5\n"
    "size 23 17\n"
    "iterations 25\n"
    "randseed 7\n"
    "colormap gray\n"
    "image256 A t+10 autoscale\n";

class CliFileFaultsTest : public clitest::CliRunTest {
protected:
    int Run(const std::string &path, bool check = false) {
        CliOptions options;
        options.ScriptPath = path;
        options.CheckOnly = check;
        options.Quiet = true;
        return RunWith(options);
    }
    static int Count(const std::string &text, const std::string &part) {
        int n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++n;
        }
        return n;
    }
    static int Images(const fs::path &dir) {
        int n = 0;
        for (const auto &entry : fs::directory_iterator(dir)) {
            n += entry.is_regular_file() && entry.path().extension() == ".bmp" &&
                         entry.file_size() > 0
                     ? 1
                     : 0;
        }
        return n;
    }
};

TEST_F(CliFileFaultsTest, ImagesOnAFullDiskAreEachReportedAndEndWithCode5) {
    const fs::path disk = Dir / "disk";
    testsupport::SmallDisk small(disk, "200k");
    if (!small.Mounted()) GTEST_SKIP() << small.Reason();
    // 200 x 150 points: about 31 KB per image, 10 images; the disk takes 6 of them.
    std::string script = SmallScript;
    script.replace(script.find("size 23 17"), 10, "size 200 150");
    script.replace(script.find("iterations 25"), 13, "iterations 100");
    WriteFile((disk / "full.vna").string(), script);
    EXPECT_EQ(Run((disk / "full.vna").string()), CliRunner::ExitImagesFailed);
    const int written = Images(disk);
    const std::string err = Text(Err);
    const int failed = Count(err, FaultText(ENOSPC));
    EXPECT_GT(written, 0);
    EXPECT_GT(failed, 0);
    EXPECT_EQ(written + failed, 10) << err;
    EXPECT_EQ(Count(err, GST.Get(MsgFileNotWritten)), failed);
    EXPECT_NE(Text(Out).find("100 iterations, " + std::to_string(written) + " images written, " +
                             std::to_string(failed) + " could not be written"),
              std::string::npos)
        << Text(Out);
    // No temporary file stays behind on the full disk.
    for (const auto &entry : fs::directory_iterator(disk)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "full.vna" || entry.path().extension() == ".bmp") << name;
    }
}

// A script whose annotations cannot be written says why, and stays as it was.
TEST_F(CliFileFaultsTest, ScriptRewriteOnAFullDiskSaysNoSpace) {
    const fs::path disk = Dir / "disk";
    testsupport::SmallDisk small(disk, "200k");
    if (!small.Mounted()) GTEST_SKIP() << small.Reason();
    const std::string script = std::string(SmallScript) + "bogus line\n";
    WriteFile((disk / "bad.vna").string(), script);
    // The rest of the disk filled, up to the last block.
    WriteFile((disk / "filler").string(), std::string(300 * 1024, 'f'));
    EXPECT_EQ(Run((disk / "bad.vna").string()), CliRunner::ExitFileError);
    EXPECT_EQ(Text(Err), (disk / "bad.vna").string() + ": " + GST.Get(MsgFileNotWritten) + " " +
                             FaultText(ENOSPC) + "\n");
    EXPECT_EQ(ReadFile((disk / "bad.vna").string()), script);
}

// Images that cannot be written for reasons of their own: the run goes on, the others are
// written, each failure names its file and cause once, and what stood in the way stays.
TEST_F(CliFileFaultsTest, UnwritableImagesAreReportedWithTheirCause) {
    enum class Blocker { None, Directory, Fifo, Device, ReadOnly };
    struct Case {
        const char *label;
        std::string base;  // the script's name without ".vna"
        Blocker blocker;   // what stands where the first image goes
        int error;         // the cause reported
        int failed;
    };
    const Case cases[] = {
        {"directory in the way", "s", Blocker::Directory, FileFault::NotRegular, 1},
        {"FIFO in the way", "s", Blocker::Fifo, FileFault::NotRegular, 1},
        {"device in the way", "s", Blocker::Device, FileFault::NotRegular, 1},
        // A stale empty image the user may not write: reported, never counted as written.
        {"read-only empty image", "s", Blocker::ReadOnly, EACCES, 1},
        // 245 + "_A000010.bmp" is 257 bytes, over the 255 a name may have.
        {"name too long", std::string(245, 'n'), Blocker::None, ENAMETOOLONG, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        // mknod needs root; root writes files whatever their permissions.
        const bool root = testsupport::RunningAsRoot();
        if ((c.blocker == Blocker::Device && !root) || (c.blocker == Blocker::ReadOnly && root)) {
            continue;
        }
        const fs::path dir = Dir / (std::string("case") + std::to_string(&c - cases));
        fs::create_directories(dir);
        // Names relative to the script's directory, so that only the last component is long.
        const fs::path old = fs::current_path();
        fs::current_path(dir);
        const fs::path script = c.base + ".vna";
        WriteFile(script.string(), SmallScript);
        const fs::path blocker = c.base + "_A000010.bmp";
        if (c.blocker == Blocker::Directory) fs::create_directories(blocker / "inside");
        if (c.blocker == Blocker::Fifo) {
            ASSERT_EQ(mkfifo(blocker.c_str(), 0644), 0);
        }
        if (c.blocker == Blocker::Device) {
            ASSERT_EQ(mknod(blocker.c_str(), S_IFCHR | 0644, makedev(1, 3)), 0);
        }
        if (c.blocker == Blocker::ReadOnly) {
            WriteFile(blocker.string(), "");
            fs::permissions(blocker, fs::perms::owner_read);
        }
        EXPECT_EQ(Run(script.string()), CliRunner::ExitImagesFailed);
        struct stat status = {};
        const bool present = lstat(blocker.c_str(), &status) == 0;
        fs::current_path(old);
        const std::string err = Text(Err);
        EXPECT_EQ(Count(err, FaultText(c.error)), c.failed) << err;
        EXPECT_NE(err.find(blocker.string() + ": " + GST.Get(MsgFileNotWritten)), std::string::npos)
            << err;
        EXPECT_EQ(Images(dir), 3 - c.failed);
        EXPECT_NE(Text(Out).find(std::to_string(3 - c.failed) + " images written, " +
                                 std::to_string(c.failed) + " could not be written"),
                  std::string::npos);
        EXPECT_EQ(present, c.blocker != Blocker::None);
        const mode_t kinds[] = {0, S_IFDIR, S_IFIFO, S_IFCHR, S_IFREG};
        if (present) {
            EXPECT_EQ(status.st_mode & S_IFMT, kinds[int(c.blocker)]);
        }
        std::fclose(Err);
        std::fclose(Out);
        Err = std::tmpfile();
        Out = std::tmpfile();
    }
}

// A script that is no regular file is neither read nor replaced, and a FIFO does not make the
// program wait for a writer. A link to a regular script is followed: the target gets the
// annotations, the link stays a link.
TEST_F(CliFileFaultsTest, OnlyRegularScriptsAreReadAndRewritten) {
    const fs::path fifo = Dir / "pipe.vna";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    // Should the program open the FIFO and wait, a writer comes after 3 s so that the test
    // fails instead of hanging.
    std::atomic<bool> done{false};
    std::thread rescue([&] {
        for (int i = 0; i < 300 && !done; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const int descriptor = done ? -1 : open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (descriptor >= 0) close(descriptor);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(fifo.string(), true), CliRunner::ExitFileError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    done = true;
    rescue.join();
    struct stat status = {};
    ASSERT_EQ(lstat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_NE(Text(Err).find(FaultText(FileFault::NotRegular)), std::string::npos);

    if (testsupport::RunningAsRoot()) {
        const fs::path device = Dir / "null.vna";
        ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        EXPECT_EQ(Run(device.string(), true), CliRunner::ExitFileError);
        ASSERT_EQ(lstat(device.c_str(), &status), 0);
        EXPECT_TRUE(S_ISCHR(status.st_mode));
    }

    const fs::path target = Dir / "real.vna";
    const fs::path link = Dir / "link.vna";
    WriteFile(target.string(), "model schlogl\nbogus line\n");
    fs::create_symlink(target, link);
    EXPECT_EQ(Run(link.string()), CliRunner::ExitScriptErrors);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(ReadFile(target.string()).find(GST.Get(MsgAnnotationPrefix)), std::string::npos);
}

// A script past the size the parser holds in memory is refused with its size and the limit,
// untouched, before a byte of it is read (a sparse file: nothing is written to the disk).
TEST_F(CliFileFaultsTest, ScriptPastTheParsersLimitSaysItsSizeAndTheLimit) {
    const fs::path huge = Dir / "huge.vna";
    WriteFile(huge.string(), "");
    const uintmax_t size = ScriptParser::MaxScriptSize + 1;
    fs::resize_file(huge, size);
    EXPECT_EQ(Run(huge.string()), CliRunner::ExitFileError);
    FileFault fault;
    fault.Error = FileFault::TooLong;
    fault.Size = static_cast<long long>(size);
    fault.Limit = static_cast<long long>(ScriptParser::MaxScriptSize);
    EXPECT_NE(Text(Err).find(FaultText(fault)), std::string::npos) << Text(Err);
    EXPECT_EQ(fs::file_size(huge), size);
}

}  // namespace
