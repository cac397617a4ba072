// Movies of a command-line run (--movie), read back by independent programs: frames, size and
// rate; the GIF's frames equal to the run's PNG images; a stopped run's movie plays; a movie
// that cannot be written gives exit status 5 and leaves no file.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "cli/CliTestSupport.h"
#include "rdsimul/ScriptTestSupport.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MessageIds.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/SmallDiskSupport.h"

using clitest::SmallScript;
using scripttest::WriteFile;

using scripttest::CommandOutput;
using scripttest::HaveProgram;

namespace {

namespace fs = std::filesystem;

std::string Probe(const std::string &path) {
    return CommandOutput(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=width,height,nb_read_frames,avg_frame_rate -of csv=p=0 " +
        path);
}

class CliMovieTest : public clitest::CliRunTest {
protected:
    void SetUp() override {
        CliRunTest::SetUp();
        if (!HaveProgram("ffprobe") || !HaveProgram("identify")) {
            GTEST_SKIP() << "ffprobe (ffmpeg) and identify (ImageMagick) read the movies back";
        }
        Script = PathOf("tex.vna");
        WriteFile(Script, SmallScript);
    }
};

// One run, three movies: the starting field and one frame per image (10, 20, 25), at the rate
// asked; --json lists them with their frames, stdout names them.
TEST_F(CliMovieTest, OneRunWritesEveryMovieWithAFramePerImage) {
    const std::string mp4 = PathOf("m.mp4"), gif = PathOf("m.gif"), webp = PathOf("m.webp");
    ASSERT_EQ(
        RunLine({"-q", "--json", "--fps", "12", "--movie", mp4, "--movie", gif, "--movie", webp}),
        CliRunner::ExitDone)
        << Text(Err);
    EXPECT_EQ(Probe(mp4), "24,18,12/1,4\n");
    EXPECT_EQ(CommandOutput("identify -format '%w %h %T,' " + gif),
              "23 17 8,23 17 9,23 17 8,23 17 8,");
    if (HaveProgram("webpmux")) {
        const std::string info = CommandOutput("webpmux -info " + webp);
        EXPECT_NE(info.find("Canvas size: 23 x 17"), std::string::npos) << info;
        EXPECT_NE(info.find("Number of frames: 4"), std::string::npos) << info;
    }
    const std::string json = Text(Out);
    for (const std::string &movie : {mp4, gif, webp}) {
        EXPECT_NE(json.find("{\"file\":\"" + movie + "\",\"frames\":4}"), std::string::npos)
            << json;
    }
}

// --last keeps only the final image file; the movie still has a frame per image of the image
// line (a sweep's variants run so).
TEST_F(CliMovieTest, LastKeepsTheFramesOfTheImageLine) {
    const std::string gif = PathOf("l.gif");
    ASSERT_EQ(RunLine({"-q", "--last", "--movie", gif}), CliRunner::ExitDone) << Text(Err);
    EXPECT_EQ(CommandOutput("identify -format '%w %h,' " + gif), "23 17,23 17,23 17,23 17,");
    EXPECT_FALSE(fs::exists(PathOf("tex_A000010.bmp")));
    EXPECT_TRUE(fs::exists(PathOf("tex_A000025.bmp")));
}

// The GIF's frames after the first are the PNG images of the same run, pixel for pixel: the
// colour map is the palette.
TEST_F(CliMovieTest, GifFramesEqualThePngImages) {
    const std::string gif = PathOf("g.gif");
    ASSERT_EQ(RunLine({"-q", "-f", "png", "--movie", gif}), CliRunner::ExitDone) << Text(Err);
    const char *images[] = {"tex_A000010.png", "tex_A000020.png", "tex_A000025.png"};
    for (int k = 0; k < 3; ++k) {
        const std::string frame =
            CommandOutput("convert '" + gif + "[" + std::to_string(k + 1) + "]' rgb:-");
        const std::string image = CommandOutput("convert " + PathOf(images[k]) + " rgb:-");
        ASSERT_EQ(image.size(), size_t(23 * 17 * 3)) << images[k];
        EXPECT_TRUE(frame == image) << images[k];
    }
}

// --movie-every N: frames at 0, 5, ..., 25 whatever the images; --upscale makes them as large
// as the images.
TEST_F(CliMovieTest, MovieEveryTakesFramesOnItsOwnScheduleAtTheImagesSize) {
    const std::string gif = PathOf("e.gif");
    ASSERT_EQ(RunLine({"-q", "--upscale", "2", "--movie-every", "5", "--movie", gif}),
              CliRunner::ExitDone)
        << Text(Err);
    EXPECT_EQ(CommandOutput("identify -format '%wx%h ' " + gif),
              "46x34 46x34 46x34 46x34 46x34 46x34 ");
    // The images are still written as the image line asks.
    EXPECT_TRUE(fs::exists(PathOf("tex_A000010.bmp")));
    EXPECT_TRUE(fs::exists(PathOf("tex_A000025.bmp")));
}

// Ctrl-C in the middle of a long run: the movie ends with the frames so far and plays.
TEST_F(CliMovieTest, StoppedRunLeavesAPlayableMovie) {
    std::string script = SmallScript;
    script.replace(script.find("size 23 17"), 10, "size 120 90");
    script.replace(script.find("iterations 25"), 13, "iterations 400000");
    script.replace(script.find("t+10"), 4, "t+20");
    WriteFile(Script, script);
    const std::string mp4 = PathOf("s.mp4");
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        CliRunner::RequestStop();
    });
    const int code = RunLine({"-q", "--last", "--movie-every", "20", "--movie", mp4});
    stopper.join();
    EXPECT_EQ(code, CliRunner::ExitInterrupted) << Text(Err);
    const std::string probe = Probe(mp4);
    ASSERT_EQ(probe.rfind("120,90,30/1,", 0), 0u) << probe;
    EXPECT_GT(std::atoi(probe.c_str() + 12), 1) << probe;
    EXPECT_EQ(CommandOutput("ffmpeg -v error -i " + mp4 + " -f null - 2>&1"), "");
}

// A movie on a full disk, and one whose folder is missing: exit status 5 with the cause, no
// file and no temporary left; the images of the run are written all the same.
TEST_F(CliMovieTest, UnwritableMovieEndsWithCode5AndLeavesNoFile) {
    const std::string missing = PathOf("missing/m.webp");
    EXPECT_EQ(RunLine({"-q", "--movie", missing}), CliRunner::ExitImagesFailed);
    EXPECT_NE(Text(Err).find(missing + ": " + GST.Get(MsgFileNotWritten) + " " + FaultText(ENOENT)),
              std::string::npos)
        << Text(Err);
    EXPECT_TRUE(fs::exists(PathOf("tex_A000025.bmp")));
    ClearStreams();

    const fs::path disk = Dir / "disk";
    testsupport::SmallDisk small(disk, "64k");
    if (!small.Mounted()) GTEST_SKIP() << small.Reason();
    // The disk filled but for a few blocks: the noise of the first frame alone is larger.
    WriteFile((disk / "filler").string(), std::string(56 * 1024, 'f'));
    std::string script = SmallScript;
    script.replace(script.find("size 23 17"), 10, "size 200 150");
    WriteFile(Script, script);
    for (const char *name : {"m.mp4", "m.gif", "m.webp"}) {
        SCOPED_TRACE(name);
        const std::string movie = (disk / name).string();
        EXPECT_EQ(RunLine({"-q", "--movie", movie}), CliRunner::ExitImagesFailed);
        EXPECT_NE(
            Text(Err).find(movie + ": " + GST.Get(MsgFileNotWritten) + " " + FaultText(ENOSPC)),
            std::string::npos)
            << Text(Err);
        for (const auto &entry : fs::directory_iterator(disk)) {
            EXPECT_EQ(entry.path().filename(), "filler");
        }
        ClearStreams();
    }
}

// --no-overwrite keeps a movie that is in the way, as it keeps an image.
TEST_F(CliMovieTest, NoOverwriteLeavesAnExistingMovie) {
    const std::string movie = PathOf("old.gif");
    WriteFile(movie, "not a movie");
    EXPECT_EQ(RunLine({"-q", "--no-overwrite", "--movie", movie}), CliRunner::ExitUsage);
    EXPECT_EQ(Text(Err), movie + ": the movie exists; --no-overwrite leaves it as it is\n");
    EXPECT_EQ(scripttest::ReadFile(movie), "not a movie");
    EXPECT_FALSE(fs::exists(PathOf("tex_A000010.bmp")));
}

// Movie options that cannot work are refused before anything runs.
TEST_F(CliMovieTest, ContradictoryMovieOptionsAreUsageErrors) {
    const struct {
        std::vector<std::string> arguments;
        const char *error;
    } cases[] = {
        {{"--movie", "m.avi"}, "invalid movie 'm.avi'"},
        {{"--movie", "m.gif", "--movie", "m.gif"}, "named twice"},
        {{"--fps", "10"}, "need --movie"},
        {{"--movie", "m.gif", "--fps", "0"}, "invalid frame rate '0'"},
        {{"--movie", "m.gif", "--movie-quality", "101"}, "invalid movie quality"},
        {{"--movie", "m.gif", "--rounds", "2"}, "--movie does not go with --rounds"},
        // A run's movie is a file, a sweep's a type: each variant writes NAME.TYPE.
        {{"--movie", "mp4"}, "invalid movie 'mp4' (a name ending in .mp4, .webp or .gif)"},
        {{"--movie", "m.gif", "--vary", "modpar beta 1:2:2"},
         "a sweep's --movie names a type: mp4, webp or gif (each variant writes NAME.TYPE), not "
         "'m.gif'"},
        {{"--movie", "gif", "--movie", "m.gif", "--vary", "modpar beta 1:2:2"}, "not 'm.gif'"},
        {{"--movie", "gif", "--contact-sheet", "d"}, "--movie does not go with --contact-sheet"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.begin(), "vorna-cli");
        arguments.push_back("s.vna");
        std::vector<char *> argv;
        for (std::string &text : arguments) argv.push_back(text.data());
        CliOptions options;
        EXPECT_EQ(options.Parse(int(argv.size()), argv.data()), CliOptions::Action::UsageError)
            << c.error;
        EXPECT_NE(options.ErrorText.find(c.error), std::string::npos) << options.ErrorText;
    }
}

}  // namespace
