// SweepRunner: the resume rule (a variant is complete when all its images are there and whole:
// BMP and TGA with the size the image writer gives them, PNG decoding to the picture's size), and
// what it keeps of a variant's output.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "image3d/GenImage3D.h"
#include "imageio/PngFile.h"
#include "rdsimul/ScriptTestSupport.h"
#include "sweep/SweepRunner.h"
#include "sweep/SweepTestSupport.h"

namespace {

class SweepRunnerTest : public scripttest::TempDirTest {};

TEST_F(SweepRunnerTest, CompleteOnlyWithEveryImageWhole) {
    // Images every 15 iterations of 40, and the final one at 40: 15, 30, 40. TGA, true colour.
    std::string text = sweeptest::BaseScript;
    text.replace(text.find("image256 A t+20 autoscale"), 25, "image16M A t+15 *1 -0.5 TGA");
    const std::string script = PathOf("v.vna");
    scripttest::WriteFile(script, text);
    std::vector<SweepRunner::Image> images;
    uint32_t points = 0;
    ASSERT_TRUE(SweepRunner::ExpectedImages(script, images, points));
    EXPECT_EQ(points, 24u * 20u);
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].Path, PathOf("v_A000015.tga"));
    EXPECT_EQ(images[2].Path, PathOf("v_A000040.tga"));
    EXPECT_EQ(images[0].Bytes, 18u + 24u * 20u * 3u);

    EXPECT_FALSE(SweepRunner::IsComplete(script));
    for (const SweepRunner::Image &image : images) {
        scripttest::WriteFile(image.Path, std::string(image.Bytes, 'x'));
    }
    EXPECT_TRUE(SweepRunner::IsComplete(script));
    // A short last image, or one still under its temporary name, is not whole.
    std::filesystem::resize_file(images[2].Path, images[2].Bytes - 1);
    EXPECT_FALSE(SweepRunner::IsComplete(script));
    std::filesystem::rename(images[2].Path, images[2].Path + ".tmp");
    EXPECT_FALSE(SweepRunner::IsComplete(script));
}

TEST_F(SweepRunnerTest, PngIsWholeWhenItDecodesToThePictureSize) {
    // Images at 20 and 40, PNG, 8-bit; the files are written here as 24-bit, which decode too.
    std::string text = sweeptest::BaseScript;
    text.replace(text.find("autoscale"), 9, "autoscale PNG");
    const std::string script = PathOf("v.vna");
    scripttest::WriteFile(script, text);
    std::vector<SweepRunner::Image> images;
    uint32_t points = 0;
    ASSERT_TRUE(SweepRunner::ExpectedImages(script, images, points));
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[1].Path, PathOf("v_A000040.png"));
    EXPECT_EQ(images[1].Bytes, 0u);

    auto write = [&](const std::string &path, uint32_t width, uint32_t height) {
        const std::vector<uint8_t> rgb(size_t(width) * height * 3, 0x5A);
        int error = 0;
        ASSERT_EQ(PngFile::WriteRgb(path.c_str(), width, height, rgb.data(), width * 3, error),
                  PngFile::Done);
    };
    for (const SweepRunner::Image &image : images) write(image.Path, 24, 20);
    EXPECT_TRUE(SweepRunner::IsComplete(script));
    // Cut short by one byte (the end chunk), or whole but of another size.
    const std::string whole = scripttest::ReadFile(images[1].Path);
    scripttest::WriteFile(images[1].Path, whole.substr(0, whole.size() - 1));
    EXPECT_FALSE(SweepRunner::IsComplete(script));
    write(images[1].Path, 20, 24);
    EXPECT_FALSE(SweepRunner::IsComplete(script));
}

TEST_F(SweepRunnerTest, RunOptionsSetTheExpectedNamesSizesAndMaps) {
    // The script writes 8-bit BMP at 24 x 20, at 20 and 40; the run options make 48 x 40 TGA
    // pictures of a 24 x 20 field resized to 30 x 25, each with its two maps.
    const std::string script = PathOf("v.vna");
    scripttest::WriteFile(script, sweeptest::BaseScript);
    ImageOptions outputs;
    outputs.Format = 'T';
    outputs.SizeX = 30;
    outputs.SizeY = 25;
    outputs.Upscale = 2;
    outputs.Height = true;
    outputs.Normal = true;
    std::vector<SweepRunner::Image> images;
    uint32_t points = 0;
    ASSERT_TRUE(SweepRunner::ExpectedImages(script, images, points, outputs));
    EXPECT_EQ(points, 30u * 25u);
    const uint64_t tga = GenImage3D::TGAFileBytes(60, 50, 1);
    const struct {
        const char *Name;
        uint64_t Bytes;
    } expected[] = {{"v_A000020.tga", tga},      {"v_A000020_height.png", 0},
                    {"v_A000020_normal.png", 0}, {"v_A000040.tga", tga},
                    {"v_A000040_height.png", 0}, {"v_A000040_normal.png", 0}};
    ASSERT_EQ(images.size(), std::size(expected));
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].Path, PathOf(expected[i].Name));
        EXPECT_EQ(images[i].Bytes, expected[i].Bytes) << expected[i].Name;
        EXPECT_EQ(images[i].Width, 60u);
        EXPECT_EQ(images[i].Height, 50u);
    }
}

// A failed variant's cause is shown even when its log cannot be written (here: a folder stands
// where the log would go, as a full disk would refuse it); a log never truncates a file through
// a link; a variant that succeeds, or fails without a word, leaves no log.
TEST_F(SweepRunnerTest, FailedVariantsOutputIsShownWithOrWithoutItsLog) {
    const std::string folder = PathOf("sweep");
    std::filesystem::create_directories(folder + "/bad.log");
    for (const char *name : {"good", "bad", "linked", "silent"}) {
        scripttest::WriteFile(folder + "/" + name + ".vna", "");
    }
    scripttest::WriteFile(PathOf("keep.txt"), "precious");
    std::filesystem::create_symlink(PathOf("keep.txt"), folder + "/linked.log");
    // The program: the script's name decides what it does.
    const std::string program = PathOf("fake-cli");
    scripttest::WriteFile(program,
                          "#!/bin/sh\n"
                          "for last; do :; done\n"
                          "case $last in\n"
                          "  *good.vna) echo fine; exit 0 ;;\n"
                          "  *silent.vna) exit 3 ;;\n"
                          "  *) echo \"cause of $(basename $last)\" >&2; exit 5 ;;\n"
                          "esac\n");
    ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    char *text = nullptr;
    size_t size = 0;
    FILE *err = open_memstream(&text, &size);
    SweepRunner::Settings settings;
    settings.Program = program;
    settings.Jobs = 2;
    settings.Quiet = true;
    settings.Err = err;
    SweepRunner runner;
    EXPECT_EQ(runner.Run(folder, {"good", "bad", "linked", "silent"}, settings),
              SweepRunner::SomeFailed);
    std::fclose(err);
    const std::string report(text, size);
    std::free(text);
    EXPECT_EQ(runner.Failed, 3);
    EXPECT_NE(report.find("bad: failed (exit 5), its output (no log could be written):\n"
                          "cause of bad.vna\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("linked: failed (exit 5), its output (" + folder +
                          "/linked.log):\ncause of linked.vna\n"),
              std::string::npos)
        << report;
    EXPECT_EQ(scripttest::ReadFile(PathOf("keep.txt")), "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(folder + "/linked.log"));
    EXPECT_EQ(scripttest::ReadFile(folder + "/linked.log"), "cause of linked.vna\n");
    EXPECT_FALSE(std::filesystem::exists(folder + "/good.log"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/silent.log"));
}

// Each variant is told where its report goes, before "--" and its script; a report from an
// earlier run is gone before the variant starts, so a run that fails early leaves none behind.
TEST_F(SweepRunnerTest, VariantsAreToldTheirReportAndStaleOnesGo) {
    const std::string folder = PathOf("sweep");
    std::filesystem::create_directories(folder);
    for (const char *name : {"good", "crash"}) {
        scripttest::WriteFile(folder + "/" + name + ".vna", "");
        scripttest::WriteFile(folder + "/" + name + ".json", "{\"uniform\":true}\n");
    }
    // The program keeps its arguments beside the script and writes the report unless it crashes.
    const std::string program = PathOf("fake-cli");
    scripttest::WriteFile(
        program,
        "#!/bin/sh\n"
        "for last; do :; done\n"
        "printf '%s\\n' \"$@\" > \"$last.args\"\n"
        "case $last in *crash.vna) exit 3 ;; esac\n"
        "while [ $# -gt 0 ]; do\n"
        "  if [ \"$1\" = --json-file ]; then echo '{\"uniform\":false}' > \"$2\"; fi\n"
        "  shift\n"
        "done\n");
    ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    for (const bool reports : {true, false}) {
        SCOPED_TRACE(reports ? "with reports" : "without");
        SweepRunner::Settings settings;
        settings.Program = program;
        settings.Quiet = true;
        settings.Reports = reports;
        settings.Err = std::fopen("/dev/null", "w");
        std::map<std::string, int> ended;
        settings.Ended = [&](const std::string &name, int code, bool skipped) {
            EXPECT_FALSE(skipped);
            ended[name] = code;
        };
        SweepRunner runner;
        EXPECT_EQ(runner.Run(folder, {"good", "crash"}, settings), SweepRunner::SomeFailed);
        std::fclose(settings.Err);
        EXPECT_EQ(ended, (std::map<std::string, int>{{"good", 0}, {"crash", 3}}));
        EXPECT_FALSE(std::filesystem::exists(folder + "/crash.json"));
        const std::string tail = "--\n" + folder + "/good.vna\n";
        const std::string args = scripttest::ReadFile(folder + "/good.vna.args");
        if (reports) {
            EXPECT_EQ(scripttest::ReadFile(folder + "/good.json"), "{\"uniform\":false}\n");
            EXPECT_NE(args.find("\n--json-file\n" + folder + "/good.json\n" + tail),
                      std::string::npos)
                << args;
        } else {
            EXPECT_FALSE(std::filesystem::exists(folder + "/good.json"));
            EXPECT_EQ(args.find("--json-file"), std::string::npos) << args;
        }
    }
}

}  // namespace
