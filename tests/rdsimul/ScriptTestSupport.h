// Helpers of the script tests: a fresh directory per test, whole-file reads and writes, and
// the annotation line a message produces.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "toolkit/MessageTexts.h"
#include "toolkit/StringTable.h"

namespace scripttest {

inline std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// What a shell command prints on stdout ("" when it cannot be run): the independent readers
// (ffprobe, ImageMagick, webpmux) the tests ask about the files written.
inline std::string CommandOutput(const std::string &command) {
    std::string text;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return text;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, count);
    pclose(pipe);
    return text;
}

// Whether program is on the PATH.
inline bool HaveProgram(const char *program) {
    return std::system((std::string("command -v ") + program + " > /dev/null 2>&1").c_str()) == 0;
}

// Message index in the current language, formatted with the letter (twice for the formats
// that name it twice) when one is given.
inline std::string Message(int index, char letter = 0) {
    char text[512];
    if (index == MsgMissingModel || index == MsgModelUnknown) {
        // The models of the model table: all but the last, then the last.
        std::snprintf(text, sizeof text, GST.Get(index),
                      "diffusion, schlogl, ginzburglandau, gld1, gld2, maginu, magd1, brusselator, "
                      "brd1",
                      "formula");
    } else if (letter != 0) {
        std::snprintf(text, sizeof text, GST.Get(index), letter, letter);
    } else {
        std::snprintf(text, sizeof text, "%s", GST.Get(index));
    }
    return text;
}

inline std::string Annotation(int index, char letter = 0) {
    return std::string(GST.Get(26)) + Message(index, letter) + "\n";
}

// What the user's editor holds of a file: its inode and modification time. A rewrite replaces
// the inode; an unchanged script keeps both.
struct FileStamp {
    ino_t Inode;
    int64_t Seconds;
    long Nanoseconds;
    bool operator==(const FileStamp &other) const {
        return Inode == other.Inode && Seconds == other.Seconds && Nanoseconds == other.Nanoseconds;
    }
};

inline FileStamp StampOf(const std::string &path) {
    struct stat status = {};
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return {status.st_ino, int64_t(status.st_mtim.tv_sec), status.st_mtim.tv_nsec};
}

// A modification time long past, so a rewrite within the same clock tick still shows.
inline void AgeFile(const std::string &path) {
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// A directory of its own under the test temporary directory, removed afterwards.
class TempDirTest : public testing::Test {
protected:
    void SetUp() override {
        LoadGST();
        EXPECT_EQ(GST.SetLanguage(StringTable::English), StringTable::Done);
        const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char &c : name) {
            if (c == '/') c = '_';
        }
        Dir = std::filesystem::path(testing::TempDir()) / ("vorna_" + name);
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
    }
    void TearDown() override {
        std::error_code error;
        std::filesystem::permissions(Dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
        std::filesystem::remove_all(Dir, error);
        EXPECT_EQ(GST.SetLanguage(StringTable::English), StringTable::Done);
    }
    std::string PathOf(const std::string &name) const { return (Dir / name).string(); }

    std::filesystem::path Dir;
};

}  // namespace scripttest
