#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"

namespace {

namespace fs = std::filesystem;

// A new file gets the mode any new file gets, 0666 less the umask, not the private mode of a
// temporary file; the directory holds nothing else afterwards.
TEST(AtomicFileWriter, NewFileGetsTheModeOfEveryNewFile) {
    const fs::path dir = fs::temp_directory_path() / ("vorna-atomic-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const mode_t previous = umask(0);
    for (const auto &[mask, expected] : {std::pair<mode_t, fs::perms>{022, fs::perms(0644)},
                                         {077, fs::perms(0600)},
                                         {002, fs::perms(0664)}}) {
        SCOPED_TRACE(mask);
        umask(mask);
        const fs::path path = dir / ("new" + std::to_string(mask) + ".bmp");
        AtomicFileWriter writer;
        ASSERT_EQ(writer.Open(path.c_str()), AtomicFileWriter::Done);
        ASSERT_EQ(writer.Write("BM", 2), AtomicFileWriter::Done);
        ASSERT_EQ(writer.Commit(), AtomicFileWriter::Done);
        EXPECT_EQ(fs::status(path).permissions(), expected);
    }
    umask(previous);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
    fs::remove_all(dir);
}

class AtomicFileWriterDirTest : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
        Dir = fs::temp_directory_path() /
              ("vorna-atomic-" + std::string(info->name()) + "-" + std::to_string(getpid()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(Dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static int Write(const fs::path &path, const std::string &bytes) {
        AtomicFileWriter writer;
        if (writer.Open(path.c_str()) != AtomicFileWriter::Done) return writer.LastErrno();
        if (writer.Write(bytes.data(), bytes.size()) != AtomicFileWriter::Done ||
            writer.Commit() != AtomicFileWriter::Done) {
            return writer.LastErrno();
        }
        return 0;
    }
    fs::path Dir;
};

// The temporary name is short whatever the target's: a name of 250 or 255 bytes is written.
TEST_F(AtomicFileWriterDirTest, LongestNamesAreWritten) {
    for (size_t length : {250u, 255u}) {
        const std::string name(length, 'x');
        EXPECT_EQ(Write(Dir / name, "content"), 0) << length;
        std::ifstream in(Dir / name, std::ios::binary);
        std::string read((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(read, "content");
    }
    EXPECT_EQ(Write(Dir / std::string(256, 'x'), "content"), ENAMETOOLONG);
    EXPECT_EQ(Names().size(), 2u);
}

// Temporary files of processes that are gone are removed by the first writer in the directory;
// those of a live process and names of other forms stay.
TEST_F(AtomicFileWriterDirTest, StaleTemporariesOfDeadProcessesAreRemoved) {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string dead = ".vorna-" + std::to_string(child) + "-7.tmp";
    const std::string live = ".vorna-" + std::to_string(getppid()) + "-3.tmp";
    const std::vector<std::string> others = {".vorna-0-1.tmp", ".vorna-x-1.tmp",
                                             ".vorna-" + std::to_string(child) + "-7.tmpx",
                                             "keep.tmp"};
    for (const std::string &name : others) std::ofstream(Dir / name) << "x";
    std::ofstream(Dir / dead) << "half an image";
    std::ofstream(Dir / live) << "x";
    ASSERT_EQ(Write(Dir / "image.bmp", "BM"), 0);
    std::vector<std::string> expected = others;
    expected.push_back(live);
    expected.push_back("image.bmp");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(), expected);
}

// What a signal handler that ends the process calls: the open writer's temporary file goes,
// the target is not touched.
TEST_F(AtomicFileWriterDirTest, LiveTemporariesCanBeRemovedFromASignalHandler) {
    std::ofstream(Dir / "script.vna") << "old";
    AtomicFileWriter writer;
    ASSERT_EQ(writer.Open((Dir / "script.vna").c_str()), AtomicFileWriter::Done);
    ASSERT_EQ(writer.Write("new", 3), AtomicFileWriter::Done);
    EXPECT_EQ(Names().size(), 2u);
    AtomicFileWriter::RemoveLiveTemporaries();
    EXPECT_EQ(Names(), std::vector<std::string>{"script.vna"});
    writer.Discard();
    // A writer that has committed or discarded leaves nothing for the handler to remove.
    AtomicFileWriter::RemoveLiveTemporaries();
    ASSERT_EQ(Write(Dir / "script.vna", "newer"), 0);
    EXPECT_EQ(Names(), std::vector<std::string>{"script.vna"});
}

// The regular-file rule: a FIFO under the name is refused and stays; the cause is kept.
TEST_F(AtomicFileWriterDirTest, OnlyRegularFilesAreReplaced) {
    ASSERT_EQ(mkfifo((Dir / "pipe").c_str(), 0644), 0);
    fs::create_directories(Dir / "folder");
    EXPECT_EQ(Write(Dir / "pipe", "x"), FileFault::NotRegular);
    EXPECT_EQ(Write(Dir / "folder", "x"), FileFault::NotRegular);
    EXPECT_TRUE(fs::is_fifo(Dir / "pipe"));
    EXPECT_EQ(Write(Dir / "none" / "file", "x"), ENOENT);
    std::ofstream(Dir / "target") << "old";
    fs::create_symlink(Dir / "target", Dir / "link");
    EXPECT_EQ(Write(Dir / "link", "new"), 0);
    EXPECT_TRUE(fs::is_symlink(Dir / "link"));
    std::ifstream in(Dir / "target");
    std::string read;
    in >> read;
    EXPECT_EQ(read, "new");
}

}  // namespace
