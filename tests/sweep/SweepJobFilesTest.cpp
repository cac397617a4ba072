// SweepJobFiles: a job line and an array task, run by the shell that reads them, hand the program
// each variant's report path and script as they are, whatever the names hold.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "rdsimul/ScriptTestSupport.h"
#include "sweep/SweepJobFiles.h"

namespace {

class SweepJobFilesTest : public scripttest::TempDirTest {
protected:
    // Runs command in Dir with the fake program as VORNA_CLI: the arguments it got, one a line.
    std::string Arguments(const std::string &command) {
        const std::string line = "cd '" + Dir.string() + "' && VORNA_CLI='" + PathOf("fake") +
                                 "' ARGS='" + PathOf("args") + "' " + command;
        EXPECT_EQ(std::system(line.c_str()), 0) << command;
        return scripttest::ReadFile(PathOf("args"));
    }
};

TEST_F(SweepJobFilesTest, EachVariantIsToldItsReportBeforeItsScript) {
    scripttest::WriteFile(PathOf("fake"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$ARGS\"\n");
    ASSERT_EQ(chmod(PathOf("fake").c_str(), 0755), 0);
    const std::string folder = PathOf("my sweep");
    std::filesystem::create_directories(folder);
    std::string error;
    ASSERT_EQ(
        SweepJobFiles::Write(folder, {"a", "b'$c"}, "vorna-cli", true, {"-f", "png"}, true, error),
        SweepJobFiles::Done)
        << error;
    const std::string expected =
        "-f\npng\n--json-file\nmy sweep/b'$c.json\n--\nmy sweep/b'$c.vna\n";
    EXPECT_EQ(Arguments("bash -c \"$(sed -n 2p 'my sweep/jobs.txt')\""),
              "--quiet\n--threads\n1\n" + expected);
    EXPECT_EQ(Arguments("SLURM_ARRAY_TASK_ID=1 SLURM_CPUS_PER_TASK=2 bash 'my sweep/sweep.sbatch'"),
              "--quiet\n--threads\n2\n" + expected);

    // Without reports the lines are as before: no --json-file.
    ASSERT_EQ(SweepJobFiles::Write(folder, {"a"}, "vorna-cli", true, {}, false, error),
              SweepJobFiles::Done);
    EXPECT_EQ(Arguments("bash 'my sweep/jobs.txt'"), "--quiet\n--threads\n1\n--\nmy sweep/a.vna\n");
}

}  // namespace
