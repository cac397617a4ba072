// vorna-cli ended from outside: a second Ctrl-C and SIGKILL at any moment never leave a half
// script, and no temporary file stays once a later run has passed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "cli/CliRunner.h"
#include "rdsimul/ScriptTestSupport.h"
#include "toolkit/AtomicFileWriter.h"

using scripttest::ReadFile;
using scripttest::WriteFile;

namespace {

namespace fs = std::filesystem;

class CliSignalsTest : public scripttest::TempDirTest {
protected:
    int Temporaries() const {
        int n = 0;
        for (const auto &entry : fs::directory_iterator(Dir)) {
            n += entry.path().filename().string().rfind(".vorna-", 0) == 0 ? 1 : 0;
        }
        return n;
    }
};

// The first Ctrl-C asks for a stop; the second ends the process with code 130 at once, and
// removes the temporary file being written.
TEST_F(CliSignalsTest, SecondCtrlCEndsWith130AndLeavesNoTemporaryFile) {
    const fs::path image = Dir / "tex_A000010.bmp";
    const pid_t child = fork();
    if (child == 0) {
        CliRunner::InstallInterruptHandler();
        AtomicFileWriter writer;
        if (writer.Open(image.c_str()) != AtomicFileWriter::Done) _exit(2);
        if (writer.Write("BM", 2) != AtomicFileWriter::Done) _exit(2);
        std::raise(SIGINT);
        std::raise(SIGINT);
        _exit(3);  // the second Ctrl-C did not end the program
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), CliRunner::ExitInterrupted);
    EXPECT_EQ(Temporaries(), 0);
    EXPECT_FALSE(fs::exists(image));
}

// SIGKILL at random moments while vorna-cli rewrites a large script with its annotations: the
// script is always the old one or the new one, whole; the temporary files the kills leave are
// removed by the next run in the directory.
TEST_F(CliSignalsTest, KillDuringALargeRewriteLeavesOldOrNewScript) {
    const std::string program = std::string(VORNA_BINARY_DIR) + "/vorna-cli";
    ASSERT_TRUE(fs::exists(program)) << program;
    // About 300 KB of comments and one faulty line at the end: each run writes it all anew.
    std::string old = "model schlogl\n";
    for (int i = 0; i < 3800; ++i) {
        old += "// comment line " + std::to_string(i) + std::string(60, '.') + "\n";
    }
    old += "unknown keyword here\n";
    const fs::path script = Dir / "big.vna";
    auto runOnce = [&](std::chrono::microseconds killAfter) {
        const pid_t child = fork();
        if (child == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(program.c_str(), program.c_str(), "--quiet", script.c_str(),
                  static_cast<char *>(nullptr));
            _exit(127);
        }
        if (killAfter.count() > 0) {
            std::this_thread::sleep_for(killAfter);
            kill(child, SIGKILL);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return status;
    };
    // One whole run gives the new script and how long a run takes.
    WriteFile(script.string(), old);
    const auto start = std::chrono::steady_clock::now();
    const int status = runOnce(std::chrono::microseconds(0));
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), CliRunner::ExitScriptErrors);
    const std::string annotated = ReadFile(script.string());
    ASSERT_NE(annotated, old);

    std::mt19937 random(12345);
    std::uniform_int_distribution<long> moment(1, long(whole.count() * 12 / 10) + 1);
    int killedMidway = 0;
    int caughtWriting = 0;  // kills that left a temporary file: the rewrite was under way
    for (int round = 0; round < 200; ++round) {
        WriteFile(script.string(), old);
        const int result = runOnce(std::chrono::microseconds(moment(random)));
        killedMidway += WIFSIGNALED(result) ? 1 : 0;
        caughtWriting += Temporaries() > 0 ? 1 : 0;
        const std::string now = ReadFile(script.string());
        ASSERT_TRUE(now == old || now == annotated)
            << "round " << round << ": " << now.size() << " bytes";
    }
    EXPECT_GT(killedMidway, 0);
    RecordProperty("KilledMidway", killedMidway);
    RecordProperty("CaughtWriting", caughtWriting);
    // A later run in the directory clears whatever the kills left.
    WriteFile(script.string(), old);
    (void)runOnce(std::chrono::microseconds(0));
    EXPECT_EQ(ReadFile(script.string()), annotated);
    EXPECT_EQ(Temporaries(), 0);
}

}  // namespace
