#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "toolkit/FileCheck.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/StringTable.h"

namespace {

namespace fs = std::filesystem;

class FileCheckTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadGST(), MemoryTable::Done);
        Dir = fs::path(testing::TempDir()) / ("vorna_filecheck_" + std::to_string(getpid()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
    }
    void TearDown() override {
        fs::remove_all(Dir);
        (void)GST.SetLanguage(StringTable::English);
    }
    std::string Write(const std::string &name, const std::string &bytes) {
        const fs::path path = Dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    fs::path Dir;
};

// What each check says about the files a user may name as a script.
TEST_F(FileCheckTest, ChecksTellTheCauseAndNeverWaitOnAFifo) {
    ASSERT_EQ(mkfifo((Dir / "pipe").c_str(), 0644), 0);
    fs::create_directories(Dir / "folder");
    struct Case {
        std::string path;
        FileCheckResult check;  // CheckTextFile
        FileCheckResult read;   // ReadTextFile with a limit of 8 bytes
        int error;
        long long offset;
    };
    const Case cases[] = {
        {Write("ok", "model x\n"), FileCheckDone, FileCheckDone, 0, 0},
        {Write("zero", std::string("abc\0def", 7)), FileCheckFailed, FileCheckFailed,
         FileFault::NotText, 3},
        {Write("long", "123456789"), FileCheckDone, FileCheckFailed, FileFault::TooLong, 0},
        {(Dir / "missing").string(), FileCheckFailed, FileCheckFailed, ENOENT, 0},
        {(Dir / "folder").string(), FileCheckFailed, FileCheckFailed, FileFault::NotRegular, 0},
        {(Dir / "pipe").string(), FileCheckFailed, FileCheckFailed, FileFault::NotRegular, 0},
        {(Dir / "ok" / "below").string(), FileCheckFailed, FileCheckFailed, ENOTDIR, 0},
        {(Dir / std::string(300, 'n')).string(), FileCheckFailed, FileCheckFailed, ENAMETOOLONG, 0},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.substr(c.path.rfind('/') + 1, 20));
        FileFault fault;
        EXPECT_EQ(CheckTextFile(c.path.c_str(), fault), c.check);
        std::string text;
        EXPECT_EQ(ReadTextFile(c.path.c_str(), 8, text, fault), c.read);
        EXPECT_EQ(fault.Error, c.error);
        EXPECT_EQ(fault.Offset, c.offset);
        if (c.error == FileFault::TooLong) {
            EXPECT_EQ(fault.Size, 9);
            EXPECT_EQ(fault.Limit, 8);
        }
        EXPECT_EQ(text.empty(), c.read == FileCheckFailed);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    FileFault fault;
    EXPECT_EQ(CheckReplaceable((Dir / "pipe").c_str(), fault), FileCheckFailed);
    EXPECT_EQ(CheckReplaceable((Dir / "ok").c_str(), fault), FileCheckDone);
    EXPECT_EQ(CheckReplaceable((Dir / "new").c_str(), fault), FileCheckDone);
}

// Every cause has its own text in both languages, with the figures of the program's checks.
TEST_F(FileCheckTest, CausesAreToldApartInBothLanguages) {
    FileFault text;
    text.Error = FileFault::NotText;
    text.Offset = 1234;
    FileFault size;
    size.Error = FileFault::TooLong;
    size.Size = 20000000;
    size.Limit = 16777216;
    const FileFault faults[] = {{EACCES},  {ENOSPC}, {ENAMETOOLONG}, {FileFault::NotRegular},
                                text,      size,     {EROFS},        {ENOENT},
                                {ENOTDIR}, {0}};
    for (int language : {StringTable::English, StringTable::French}) {
        ASSERT_EQ(GST.SetLanguage(language), StringTable::Done);
        std::set<std::string> seen;
        for (const FileFault &fault : faults) {
            const std::string cause = FaultText(fault);
            EXPECT_TRUE(seen.insert(cause).second) << cause;
        }
        EXPECT_NE(FaultText(text).find("1234"), std::string::npos);
        EXPECT_NE(FaultText(size).find("20000000"), std::string::npos);
        EXPECT_NE(FaultText(size).find("16777216"), std::string::npos);
        EXPECT_EQ(FaultText(EPERM), FaultText(EACCES));
        EXPECT_EQ(FaultText(EISDIR), FaultText(FileFault::NotRegular));
    }
    // Errors without a text of their own take the system's.
    EXPECT_EQ(FaultText(EIO), std::strerror(EIO));
    ASSERT_EQ(GST.SetLanguage(StringTable::English), StringTable::Done);
    const std::string english = FaultText(ENOSPC);
    ASSERT_EQ(GST.SetLanguage(StringTable::French), StringTable::Done);
    EXPECT_NE(FaultText(ENOSPC), english);
}

}  // namespace
