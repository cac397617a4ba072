// The frame of the tests that run vorna-cli's runner in-process: a directory of its own, stdout
// and stderr caught in temporary files, and no Ctrl-C left over from another test.
#pragma once

#include <cstdio>
#include <string>

#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "rdsimul/ScriptTestSupport.h"

namespace clitest {

class CliRunTest : public scripttest::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        CliRunner::ClearStop();
        Out = std::tmpfile();
        Err = std::tmpfile();
    }
    void TearDown() override {
        std::fclose(Out);
        std::fclose(Err);
        CliRunner::ClearStop();
        TempDirTest::TearDown();
    }
    // The runner on these options, its output into Out and Err: the exit code.
    int RunWith(const CliOptions &options) {
        CliRunner runner(Out, Err, false);
        return runner.Run(options);
    }
    // All that was written to stream so far.
    static std::string Text(FILE *stream) {
        std::fflush(stream);
        std::string text(size_t(std::ftell(stream)), 0);
        std::rewind(stream);
        text.resize(std::fread(text.data(), 1, text.size(), stream));
        return text;
    }

    FILE *Out = nullptr;
    FILE *Err = nullptr;
};

}  // namespace clitest
