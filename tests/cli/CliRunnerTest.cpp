#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "cli/CliTestSupport.h"
#include "cli/ModelTable.h"
#include "cli/ProgressDisplay.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptTestSupport.h"
#include "rdsimul/SlicePacer.h"
#include "toolkit/FileCheck.h"

using scripttest::ReadFile;
using scripttest::WriteFile;

namespace {

using clitest::SmallScript;

uint32_t LE32(const std::string &bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

class CliRunnerTest : public clitest::CliRunTest {
protected:
    int Run(const std::string &path, bool check = false, int rounds = 1, bool annotate = false) {
        CliOptions options;
        options.ScriptPath = path;
        options.CheckOnly = check || annotate;
        options.Annotate = annotate;
        options.Rounds = rounds;
        return RunWith(options);
    }
};

}  // namespace

TEST(ProgressDisplayTest, PipeGetsOneLinePerTenth) {
    FILE *stream = std::tmpfile();
    ProgressDisplay progress(stream, false);
    progress.Start(1000, 1048576.0);
    for (int32_t i = 0; i <= 1000; i += 40) progress.Update(i, i / 100.0);
    progress.Update(1000, 10.0);
    progress.Finish();
    std::fflush(stream);
    std::rewind(stream);
    char line[200];
    int lines = 0;
    std::string first;
    while (std::fgets(line, sizeof line, stream) != nullptr) {
        if (lines++ == 0) first = line;
    }
    std::fclose(stream);
    EXPECT_EQ(lines, 10);
    EXPECT_EQ(first, " 10%  iteration 120/1000  100.00 Mps\n");
}

TEST(ProgressDisplayTest, TerminalRedrawsOneLineWithTimeLeft) {
    FILE *stream = std::tmpfile();
    ProgressDisplay progress(stream, true);
    progress.Start(200, 1048576.0);
    progress.Update(50, 1.0);
    progress.Update(60, 1.01);  // too soon after the last redraw
    progress.Update(100, 2.0);
    progress.Finish();
    std::fflush(stream);
    std::string text(size_t(std::ftell(stream)), 0);
    std::rewind(stream);
    text.resize(std::fread(text.data(), 1, text.size(), stream));
    std::fclose(stream);
    EXPECT_EQ(
        text,
        "\r[#######-----------------------]  25%  iteration 50/200  50.00 Mps  ETA 0:03\033[K"
        "\r[###############---------------]  50%  iteration 100/200  50.00 Mps  ETA 0:02\033[K"
        "\n");
}

TEST_F(CliRunnerTest, RunsScriptAndWritesTheImagesNextToIt) {
    std::string path = PathOf("tex.vna");
    WriteFile(path, SmallScript);
    ASSERT_EQ(Run(path), CliRunner::ExitDone) << Text(Err);
    EXPECT_EQ(ReadFile(path), SmallScript);
    for (const char *name : {"tex_A000010.bmp", "tex_A000020.bmp", "tex_A000025.bmp"}) {
        std::string image = ReadFile(PathOf(name));
        // 54-byte header, 1024-byte palette, 17 lines of 23 pixels padded to 24 bytes.
        ASSERT_EQ(image.size(), 54u + 1024u + 17u * 24u) << name;
        EXPECT_EQ(image.substr(0, 2), "BM");
        EXPECT_EQ(LE32(image, 2), image.size());
        EXPECT_EQ(LE32(image, 10), 1078u);
        EXPECT_EQ(LE32(image, 18), 23u);
        EXPECT_EQ(LE32(image, 22), 17u);
        EXPECT_EQ(uint8_t(image[28]), 8);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir),
                            std::filesystem::directory_iterator()),
              4);
    // stdout names the images written, then sums up.
    std::string out = Text(Out);
    std::string summary = clitest::LastLine(out);
    EXPECT_EQ(out.substr(0, out.size() - summary.size()), PathOf("tex_A000010.bmp") + "\n" +
                                                              PathOf("tex_A000020.bmp") + "\n" +
                                                              PathOf("tex_A000025.bmp") + "\n");
    EXPECT_EQ(summary.rfind("25 iterations, 3 images written, ", 0), 0u) << summary;
    EXPECT_EQ(summary.substr(summary.size() - 12), "Mps average\n");
}

TEST_F(CliRunnerTest, SummaryCountsTheImagesActuallyWritten) {
    // A directory in the way of the image at 20: that save fails, the run goes on.
    std::string path = PathOf("tex.vna");
    WriteFile(path, SmallScript);
    std::filesystem::create_directory(PathOf("tex_A000020.bmp"));
    // The run ends with the code that says some images are missing.
    ASSERT_EQ(Run(path), CliRunner::ExitImagesFailed) << Text(Err);
    EXPECT_TRUE(std::filesystem::exists(PathOf("tex_A000010.bmp")));
    EXPECT_TRUE(std::filesystem::is_directory(PathOf("tex_A000020.bmp")));
    EXPECT_TRUE(std::filesystem::exists(PathOf("tex_A000025.bmp")));
    EXPECT_EQ(Text(Out).rfind(PathOf("tex_A000010.bmp") + "\n" + PathOf("tex_A000025.bmp") +
                                  "\n25 iterations, 2 images written, 1 could not be written, ",
                              0),
              0u)
        << Text(Out);
    // One image is one.
    std::filesystem::remove(PathOf("tex_A000010.bmp"));
    std::filesystem::create_directory(PathOf("tex_A000010.bmp"));
    ASSERT_EQ(Run(path), CliRunner::ExitImagesFailed) << Text(Err);
    EXPECT_EQ(clitest::LastLine(Text(Out)).rfind("25 iterations, 1 image written, 2 could not be "
                                                 "written, ",
                                                 0),
              0u)
        << Text(Out);
}

TEST_F(CliRunnerTest, RoundsKeepTheirOwnImagesNamedByTheirSeeds) {
    std::string path = PathOf("tex.vna");
    WriteFile(path, SmallScript);
    ASSERT_EQ(Run(path, false, 2), CliRunner::ExitDone) << Text(Err);
    const std::vector<std::string> seeds = clitest::SeedsPrinted(Text(Err));
    ASSERT_EQ(seeds.size(), 4u) << Text(Err);  // when each round starts and when it is done
    EXPECT_EQ(seeds[0], seeds[1]);
    EXPECT_EQ(seeds[2], seeds[3]);
    EXPECT_NE(seeds[0], seeds[2]);
    const std::string first = PathOf("tex_s" + seeds[0] + "_A000025.bmp");
    const std::string second = PathOf("tex_s" + seeds[2] + "_A000025.bmp");
    EXPECT_NE(ReadFile(first), ReadFile(second));
    EXPECT_NE(Text(Out).find("50 iterations, 6 images written"), std::string::npos);
}

TEST_F(CliRunnerTest, ScriptErrorsArePrintedWithTheirLines) {
    std::string path = PathOf("bad.vna");
    WriteFile(path, "model schlogl\nreaction A 0.5\nsize 20 20 x\n");
    EXPECT_EQ(Run(path), CliRunner::ExitScriptErrors);
    // Rewritten: five annotations of missing items on lines 1 to 5, the faulty size line on 9.
    std::string expected;
    int line = 1;
    for (std::string text :
         {scripttest::Message(31, 'A'), scripttest::Message(33, 'A'), scripttest::Message(35),
          scripttest::Message(36), scripttest::Message(37)}) {
        expected += path + ":" + std::to_string(line++) + ": " + text + "\n";
    }
    expected += path + ":9: " + scripttest::Message(54) + "\n";
    EXPECT_EQ(Text(Err), expected);
    EXPECT_EQ(Text(Out), "");
    EXPECT_EQ(Run(path, true), CliRunner::ExitScriptErrors);
}

// --check reports with the lines of the file as it is and writes nothing, so it works on a
// script in a read-only directory; --annotate writes the annotations.
TEST_F(CliRunnerTest, CheckChangesNothingAndAnnotateWrites) {
    std::string path = PathOf("bad.vna");
    const std::string script = "model schlogl\nreaction A 0.5\nsize 20 20 x\n";
    WriteFile(path, script);
    scripttest::AgeFile(path);
    const scripttest::FileStamp before = scripttest::StampOf(path);
    namespace fs = std::filesystem;
    fs::permissions(Dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);  // 0555
    EXPECT_EQ(Run(path, true), CliRunner::ExitScriptErrors);
    fs::permissions(Dir, fs::perms::owner_all);
    EXPECT_EQ(ReadFile(path), script);
    EXPECT_EQ(scripttest::StampOf(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);
    // Missing items belong to no line: on the first. The faulty size line is line 3.
    std::string expected;
    for (std::string text :
         {scripttest::Message(31, 'A'), scripttest::Message(33, 'A'), scripttest::Message(35),
          scripttest::Message(36), scripttest::Message(37)}) {
        expected += path + ":1: " + text + "\n";
    }
    expected += path + ":3: " + scripttest::Message(54) + "\n";
    EXPECT_EQ(Text(Err), expected);

    std::fclose(Err);
    Err = std::tmpfile();
    EXPECT_EQ(Run(path, false, 1, true), CliRunner::ExitScriptErrors);
    EXPECT_EQ(ReadFile(path), scripttest::Annotation(31, 'A') + scripttest::Annotation(33, 'A') +
                                  scripttest::Annotation(35) + scripttest::Annotation(36) +
                                  scripttest::Annotation(37) + "model schlogl\nreaction A 0.5\n" +
                                  scripttest::Annotation(54) + "size 20 20 x\n");
    // Now numbered as in the annotated file.
    EXPECT_NE(Text(Err).find(path + ":9: " + scripttest::Message(54)), std::string::npos)
        << Text(Err);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);
}

// A run parses the script as the desktop Run does, but a script with nothing to annotate is
// not written: hard links stay linked and editors see no change.
TEST_F(CliRunnerTest, RunLeavesAScriptWithoutErrorsAsItIs) {
    std::string path = PathOf("tex.vna");
    WriteFile(path, SmallScript);
    std::filesystem::create_hard_link(path, PathOf("link.vna"));
    scripttest::AgeFile(path);
    const scripttest::FileStamp before = scripttest::StampOf(path);
    ASSERT_EQ(Run(path), CliRunner::ExitDone) << Text(Err);
    EXPECT_EQ(scripttest::StampOf(path), before);
    EXPECT_EQ(std::filesystem::hard_link_count(path), 2u);
    EXPECT_EQ(ReadFile(PathOf("link.vna")), SmallScript);
}

// Warnings leave the script valid: they are printed with the lines of the file as the user has
// it, also when quiet and once however many rounds, and the script runs and is not annotated.
TEST_F(CliRunnerTest, ModparWarningsArePrintedAndTheScriptRuns) {
    std::string path = PathOf("tex.vna");
    const std::string script = "#ERR old\n" + std::string(SmallScript) + "modpar alpha 3\n";
    const std::string warning =
        ": warning: the model schlogl reads no parameter \"alpha\" (it reads none)\n";
    WriteFile(path, script);
    EXPECT_EQ(Run(path, true), CliRunner::ExitDone);
    EXPECT_EQ(Text(Err), path + ":11" + warning);
    EXPECT_EQ(ReadFile(path), script);

    std::fclose(Err);
    Err = std::tmpfile();
    CliOptions options;
    options.ScriptPath = path;
    options.Quiet = true;
    options.Rounds = 2;
    ASSERT_EQ(CliRunner(Out, Err, false).Run(options), CliRunner::ExitDone) << Text(Err);
    // The run drops the old annotation and adds none: the modpar line is line 10 now. Quiet
    // rounds still tell their seeds.
    const std::vector<std::string> seeds = clitest::SeedsPrinted(Text(Err));
    ASSERT_EQ(seeds.size(), 2u) << Text(Err);
    EXPECT_EQ(Text(Err), path + ":10" + warning + "round 1/2: " + path + ": seed " + seeds[0] +
                             "\nround 2/2: " + path + ": seed " + seeds[1] + "\n");
    EXPECT_EQ(ReadFile(path), script.substr(9));
    EXPECT_TRUE(std::filesystem::exists(PathOf("tex_s" + seeds[1] + "_A000025.bmp")));
}

TEST_F(CliRunnerTest, CheckParsesWithoutRunning) {
    std::string path = PathOf("tex.vna");
    WriteFile(path, SmallScript);
    EXPECT_EQ(Run(path, true), CliRunner::ExitDone);
    EXPECT_EQ(Text(Out), path + ": no errors\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(CliRunnerTest, UnusableScriptsGiveExit3AndStayAsTheyWere) {
    EXPECT_EQ(Run(PathOf("missing.vna")), CliRunner::ExitFileError);
    EXPECT_NE(Text(Err).find(FaultText(ENOENT)), std::string::npos);
    EXPECT_EQ(Run(Dir.string()), CliRunner::ExitFileError);
    EXPECT_NE(Text(Err).find(FaultText(FileFault::NotRegular)), std::string::npos);

    std::string garbage;
    for (int i = 0; i < 3000; ++i) garbage += char((i * 7919) % 256);
    WriteFile(PathOf("garbage.vna"), garbage);
    EXPECT_EQ(Run(PathOf("garbage.vna")), CliRunner::ExitFileError);
    EXPECT_EQ(ReadFile(PathOf("garbage.vna")), garbage);
    FileFault zero;
    zero.Error = FileFault::NotText;  // the first byte of the garbage is 0
    EXPECT_NE(Text(Err).find(FaultText(zero)), std::string::npos);

    // A line of 10 MiB is no reason to refuse a script: its pieces are annotated above it.
    std::string longLine(10 * 1024 * 1024, 'w');
    WriteFile(PathOf("long.vna"), longLine);
    EXPECT_EQ(Run(PathOf("long.vna")), CliRunner::ExitScriptErrors);
    std::string rewritten = ReadFile(PathOf("long.vna"));
    ASSERT_GT(rewritten.size(), longLine.size());
    EXPECT_EQ(rewritten.substr(rewritten.size() - longLine.size()), longLine);
    // One annotation per piece of 499 characters, below those of the missing items.
    std::string pieces;
    for (size_t i = 0; i < (longLine.size() + 498) / 499; ++i) pieces += scripttest::Annotation(27);
    EXPECT_EQ(rewritten.substr(rewritten.size() - longLine.size() - pieces.size(), pieces.size()),
              pieces);
}

TEST_F(CliRunnerTest, UnreadableScriptGivesExit3) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads files without read permission";
    std::string path = PathOf("secret.vna");
    WriteFile(path, SmallScript);
    std::filesystem::permissions(path, std::filesystem::perms::owner_write);
    EXPECT_EQ(Run(path), CliRunner::ExitFileError);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadFile(path), SmallScript);
}

TEST_F(CliRunnerTest, OverflowStopsWithExit4AndKeepsTheImages) {
    // Schloegl started far off its roots swings wider and wider until the values overflow;
    // the NaN test at iteration 15 stops the run.
    std::string path = PathOf("boom.vna");
    WriteFile(path,
              "model schlogl\nreaction A 1\ndiffusion A 0.1\ninit A 9 1\nsize 16 16\n"
              "iterations 100\ncolormap gray\nimage256 A t+5 autoscale\n");
    EXPECT_EQ(Run(path), CliRunner::ExitOverflow);
    EXPECT_NE(Text(Err).find("numeric overflow at iteration 15"), std::string::npos) << Text(Err);
    EXPECT_TRUE(std::filesystem::exists(PathOf("boom_A000005.bmp")));
    EXPECT_TRUE(std::filesystem::exists(PathOf("boom_A000015.bmp")));
    EXPECT_FALSE(std::filesystem::exists(PathOf("boom_A000020.bmp")));
    EXPECT_EQ(clitest::LastLine(Text(Out)).rfind("15 iterations, 3 images written, ", 0), 0u)
        << Text(Out);
}

TEST_F(CliRunnerTest, NotesDiskSpaceFromTenMegabytes) {
    // Ten true-colour mosaics of 800 x 600: about 14 MB.
    std::string path = PathOf("big.vna");
    WriteFile(path,
              "model schlogl\nreaction A 1\ndiffusion A 0.1\ninit A 0.7 0.1\nsize 10 10\n"
              "iterations 10\ncolormap gray\nimage16M A t+1 autoscale mosaic 800 600\n");
    ASSERT_EQ(Run(path), CliRunner::ExitDone) << Text(Err);
    EXPECT_NE(Text(Err).find("note: the images of this run will take about 14 MB"),
              std::string::npos)
        << Text(Err);
    EXPECT_EQ(ReadFile(PathOf("big_A000010.bmp")).size(), 54u + 800u * 600u * 3u);
}

TEST_F(CliRunnerTest, InterruptStopsAtTheNextSliceBoundary) {
    std::string path = PathOf("tex.vna");
    WriteFile(path,
              std::string(SmallScript)
                  .replace(std::string(SmallScript).find("iterations 25"), 13, "iterations 90000"));
    CliRunner::RequestStop();
    EXPECT_EQ(Run(path), CliRunner::ExitInterrupted);
    // The first slice still runs.
    SlicePacer pacer(90000);
    std::string stop = "stopped at iteration " + std::to_string(pacer.Next()) + " of 90000";
    EXPECT_NE(Text(Err).find(stop), std::string::npos) << Text(Err);
}

namespace {

struct ProcessResult {
    int Code;
    std::string Out;
};

// Runs build/vorna-cli with the arguments, stderr thrown away.
ProcessResult RunProgram(const std::string &arguments) {
    std::string command =
        std::string(VORNA_BINARY_DIR) + "/vorna-cli " + arguments + " 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    ProcessResult result{-1, ""};
    if (pipe == nullptr) return result;
    char block[4096];
    size_t count;
    while ((count = std::fread(block, 1, sizeof block, pipe)) > 0) result.Out.append(block, count);
    int status = pclose(pipe);
    result.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace

TEST_F(CliRunnerTest, ProgramReportsThroughExitCodes) {
    EXPECT_EQ(RunProgram("--help").Code, 0);
    EXPECT_NE(RunProgram("--help").Out.find("Usage: vorna-cli"), std::string::npos);
    EXPECT_EQ(RunProgram("--version").Code, 0);
    ProcessResult models = RunProgram("--list-models");
    EXPECT_EQ(models.Code, 0);
    EXPECT_EQ(models.Out, ModelTableMarkdown());
    EXPECT_EQ(RunProgram("").Code, 1);
    EXPECT_EQ(RunProgram("--bogus x.vna").Code, 1);
    EXPECT_EQ(RunProgram(PathOf("none.vna")).Code, 3);
    WriteFile(PathOf("tex.vna"), SmallScript);
    ProcessResult run = RunProgram("--quiet " + PathOf("tex.vna"));
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(clitest::LastLine(run.Out).substr(0, 33), "25 iterations, 3 images written, ");
    WriteFile(PathOf("bad.vna"), "size 1 1\n");
    EXPECT_EQ(RunProgram(PathOf("bad.vna")).Code, 2);
}

TEST_F(CliRunnerTest, CtrlCEndsTheProgramWithinHalfASecond) {
    // 10 x 10 points and an image every iteration, each synced to disk: a slice bounded by
    // iterations alone (2,000 of them) went on for seconds after Ctrl-C.
    std::string path = PathOf("tiny.vna");
    WriteFile(path,
              "model schlogl\nreaction A 0.5\ndiffusion A 0.2\ninit A 0.75 0.5\nsize 10 10\n"
              "iterations 500000\nrandseed 7\ncolormap gray\nimage256 A t+1 autoscale\n");
    const std::string program = std::string(VORNA_BINARY_DIR) + "/vorna-cli";
    posix_spawn_file_actions_t actions;
    ASSERT_EQ(posix_spawn_file_actions_init(&actions), 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char *arguments[] = {const_cast<char *>(program.c_str()), const_cast<char *>("-q"),
                         const_cast<char *>(path.c_str()), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    using Clock = std::chrono::steady_clock;
    auto since = [](Clock::time_point start) {
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    // The first image shows that the run loop (and the handler) is in place; a busy machine
    // may take a while to get there.
    Clock::time_point started = Clock::now();
    while (!std::filesystem::exists(PathOf("tiny_A000001.bmp")) && since(started) < 10.0) {
        usleep(2000);
    }
    usleep(300000);
    ASSERT_EQ(kill(child, SIGINT), 0);
    Clock::time_point sent = Clock::now();
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(child, &status, WNOHANG)) == 0 && since(sent) < 20.0) usleep(2000);
    const double seconds = since(sent);
    if (ended == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    ASSERT_EQ(ended, child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), CliRunner::ExitInterrupted);
    EXPECT_LT(seconds, 0.5);
}

// --last: one image with its maps, the very bytes a full run writes last; whether the final
// iteration falls on the image period or not.
TEST_F(CliRunnerTest, LastWritesOnlyTheFinalImageWithItsMapsAsAFullRunDoes) {
    const struct {
        const char *Iterations;
        const char *Final;
    } cases[] = {{"iterations 25", "tex_A000025"}, {"iterations 20", "tex_A000020"}};
    for (const auto &c : cases) {
        const std::string path = PathOf("tex.vna");
        WriteFile(path,
                  std::string(SmallScript)
                      .replace(std::string(SmallScript).find("iterations 25"), 13, c.Iterations));
        CliOptions options;
        options.ScriptPath = path;
        options.Images.Format = 'P';
        options.Images.Height = true;
        options.Images.Normal = true;
        options.OutDir = PathOf("all");
        ASSERT_EQ(RunWith(options), CliRunner::ExitDone) << Text(Err);
        options.OutDir = PathOf("last");
        options.Images.Last = true;
        ASSERT_EQ(RunWith(options), CliRunner::ExitDone) << Text(Err);
        std::vector<std::string> names;
        for (const auto &item : std::filesystem::directory_iterator(PathOf("last"))) {
            const std::string name = item.path().filename().string();
            names.push_back(name);
            EXPECT_EQ(ReadFile(item.path().string()), ReadFile(PathOf("all/" + name))) << name;
        }
        std::sort(names.begin(), names.end());
        const std::string final = c.Final;
        EXPECT_EQ(names, std::vector<std::string>(
                             {final + ".png", final + "_height.png", final + "_normal.png"}));
        EXPECT_NE(clitest::LastLine(Text(Out)).find(" iterations, 1 image written, "),
                  std::string::npos)
            << Text(Out);
        std::filesystem::remove_all(PathOf("all"));
        std::filesystem::remove_all(PathOf("last"));
    }
}

// Broken off by Ctrl-C, a --last run writes the image of the iteration it reached.
TEST_F(CliRunnerTest, StoppedLastRunWritesTheImageOfTheIterationReached) {
    const std::string path = PathOf("tex.vna");
    WriteFile(path,
              std::string(SmallScript)
                  .replace(std::string(SmallScript).find("iterations 25"), 13, "iterations 90000"));
    CliOptions options;
    options.ScriptPath = path;
    options.Images.Last = true;
    CliRunner::RequestStop();
    EXPECT_EQ(RunWith(options), CliRunner::ExitInterrupted);
    char reached[32];
    std::snprintf(reached, sizeof reached, "tex_A%06d.bmp", SlicePacer(90000).Next());
    EXPECT_EQ(Text(Out), PathOf(reached) + "\n" + clitest::LastLine(Text(Out)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir),
                            std::filesystem::directory_iterator()),
              2);
}
