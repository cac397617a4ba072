// The frame of the tests that run vorna-cli's runner in-process: a directory of its own, stdout
// and stderr caught in temporary files, and no Ctrl-C left over from another test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "rdsimul/ScriptTestSupport.h"

namespace clitest {

// 23 x 17 points, 25 iterations, an image every 10: files at 10, 20 and the final one at 25.
inline const std::string SmallScript =
    "model schlogl\n"
    "reaction A 0.5\n"
    "diffusion A 0.2\n"
    "init A 0.75 0.5\n"
    "size 23 17\n"
    "iterations 25\n"
    "randseed 7\n"
    "colormap hsl 0 300 1 1 255 255\n"
    "image256 A t+10 autoscale\n";

// The last line of text, with its line feed: the summary of a run's stdout.
inline std::string LastLine(const std::string &text) {
    const size_t start = text.size() < 2 ? 0 : text.rfind('\n', text.size() - 2);
    return start == std::string::npos || text.size() < 2 ? text : text.substr(start + 1);
}

// The seeds the runner told in its messages ("seed 1234"), in order.
inline std::vector<std::string> SeedsPrinted(const std::string &text) {
    static const std::regex Seed("seed ([0-9]+)");
    std::vector<std::string> seeds;
    for (std::sregex_iterator at(text.begin(), text.end(), Seed), end; at != end; ++at) {
        seeds.push_back((*at)[1]);
    }
    return seeds;
}

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
        runner.SetAvailableMemory(AvailableMemory);
        return runner.Run(options);
    }
    // vorna-cli with these arguments before the script (Script unless one is given), parsed as
    // a run: the exit code.
    int RunLine(std::vector<std::string> arguments, const std::string &script = "") {
        arguments.insert(arguments.begin(), "vorna-cli");
        arguments.push_back(script.empty() ? Script : script);
        std::vector<char *> argv;
        for (std::string &text : arguments) argv.push_back(text.data());
        argv.push_back(nullptr);
        CliOptions options;
        EXPECT_EQ(options.Parse(int(arguments.size()), argv.data()), CliOptions::Action::Run)
            << options.ErrorText;
        return RunWith(options);
    }
    // Forgets what the last runs printed.
    void ClearStreams() {
        std::fclose(Out);
        std::fclose(Err);
        Out = std::tmpfile();
        Err = std::tmpfile();
    }
    // All that was written to stream so far.
    static std::string Text(FILE *stream) {
        std::fflush(stream);
        std::string text(size_t(std::ftell(stream)), 0);
        std::rewind(stream);
        text.resize(std::fread(text.data(), 1, text.size(), stream));
        return text;
    }

    std::string Script;  // the script RunLine runs
    FILE *Out = nullptr;
    FILE *Err = nullptr;
    uint64_t AvailableMemory = 0;  // what the runner is told the machine has free; 0: the truth
};

}  // namespace clitest
