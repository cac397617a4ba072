#include "toolkit/AtomicFileWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

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

}  // namespace
