#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "toolkit/InternalDebugTool.h"

namespace {

std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class InternalDebugToolTest : public testing::Test {
protected:
    void SetUp() override {
        path = testing::TempDir() + "vorna_trace_" +
               testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
        std::remove(path.c_str());
    }
    void TearDown() override { std::remove(path.c_str()); }
    std::string path;
};

}  // namespace

TEST_F(InternalDebugToolTest, DisabledToolWritesNothing) {
    InternalDebugTool tool(path.c_str());
    EXPECT_EQ(tool.GetLevel(), 0);
    tool.Trace("a");
    tool.Trace("b", int32_t(1));
    tool.Trace("c", uint32_t(2));
    tool.Trace("d", 1.5f);
    tool.Trace("e", 2.5);
    FILE *file = std::fopen(path.c_str(), "r");
    EXPECT_EQ(file, nullptr);
    if (file != nullptr) std::fclose(file);
}

TEST_F(InternalDebugToolTest, EnabledToolAppendsOneLinePerTrace) {
    {
        std::ofstream earlier(path);
        earlier << "kept\n";
    }
    InternalDebugTool tool(path.c_str());
    tool.SetLevel(1);
    tool.Trace("x", 2.25);
    tool.Trace("n", int32_t(7));
    tool.Trace("neg", int32_t(-7));
    tool.Trace("u", uint32_t(4000000000u));
    tool.Trace("f", 2.5f);
    tool.Trace("q", 0.25);
    tool.Trace("w", 12.0);
    tool.Trace("plain");
    EXPECT_EQ(ReadAll(path),
              "kept\nx 2.250\nn 7\nneg -7\nu 4000000000\nf 2.500\nq 0.250\nw 12.000\nplain\n");
}

TEST_F(InternalDebugToolTest, ValuesBeyondIntegerRangeAndLongTextsStayWholeLines) {
    InternalDebugTool tool(path.c_str());
    tool.SetLevel(1);
    tool.Trace("big", 1e30);
    tool.Trace("nan", std::numeric_limits<double>::quiet_NaN());
    const std::string longText(600, 'L');
    tool.Trace(longText.c_str(), int32_t(1));
    EXPECT_EQ(ReadAll(path), "big 1e+30\nnan nan\n" + longText + " 1\n");
}

TEST_F(InternalDebugToolTest, UnusableFileNamesDropTheTrace) {
    InternalDebugTool directory(testing::TempDir().c_str());  // a directory cannot be appended
    directory.SetLevel(1);
    directory.Trace("lost");
    const std::string tooLong = testing::TempDir() + std::string(300, 'n');
    InternalDebugTool longName(tooLong.c_str());
    longName.SetLevel(1);
    longName.Trace("lost");  // not written to a file with a cut name
    SUCCEED();
}
