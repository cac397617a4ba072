// The options of vorna-cli for pipelines: output folder, file type, seed, size, memory check,
// --no-overwrite and the JSON reports.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "cli/CliTestSupport.h"
#include "cli/MemoryBudget.h"
#include "rdsimul/ScriptTestSupport.h"
#include "toolkit/MemoryTable.h"

using scripttest::ReadFile;
using scripttest::WriteFile;
namespace fs = std::filesystem;

namespace {

using clitest::SmallScript;

const std::vector<std::string> SmallImages = {"tex_A000010.bmp", "tex_A000020.bmp",
                                              "tex_A000025.bmp"};

std::string Replaced(std::string text, const std::string &from, const std::string &to) {
    return text.replace(text.find(from), from.size(), to);
}

// The regular files under dir, as paths relative to it, sorted.
std::vector<std::string> FilesIn(const fs::path &dir) {
    std::vector<std::string> files;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), dir).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

uint32_t LE32(const std::string &bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

class CliPipelineTest : public clitest::CliRunTest {
protected:
    void SetUp() override {
        CliRunTest::SetUp();
        Script = PathOf("tex.vna");
        WriteFile(Script, SmallScript);
    }
};

}  // namespace

TEST_F(CliPipelineTest, OutFolderGetsTheImagesAndTheScriptIsAnnotatedWhereItIs) {
    WriteFile(Script, "#ERR old\n" + SmallScript);
    ASSERT_EQ(RunLine({"-q", "-o", PathOf("out/a/")}), CliRunner::ExitDone) << Text(Err);
    // The old annotation is gone from the script, in its own folder.
    EXPECT_EQ(ReadFile(Script), SmallScript);
    std::vector<std::string> expected = {"out/a/tex_A000010.bmp", "out/a/tex_A000020.bmp",
                                         "out/a/tex_A000025.bmp", "tex.vna"};
    EXPECT_EQ(FilesIn(Dir), expected);
}

TEST_F(CliPipelineTest, OutFolderThatCannotBeUsedStopsBeforeTheRun) {
    std::vector<std::pair<std::string, std::string>> cases = {
        {Script + "/sub", "the output folder could not be made"},  // below a regular file
        {Script, "the output folder could not be made"},           // a regular file itself
    };
    if (geteuid() != 0) {  // root writes into any folder
        fs::create_directory(PathOf("locked"));
        fs::permissions(PathOf("locked"), fs::perms::owner_read | fs::perms::owner_exec);
        cases.push_back({PathOf("locked"), "no file can be written into the output folder"});
        cases.push_back({PathOf("locked/sub"), "the output folder could not be made"});
    }
    for (const auto &[folder, error] : cases) {
        ClearStreams();
        EXPECT_EQ(RunLine({"-o", folder}), CliRunner::ExitFileError) << folder;
        EXPECT_EQ(Text(Err).rfind(folder + ": " + error + ": ", 0), 0u) << Text(Err);
        EXPECT_EQ(Text(Out), "");
    }
    // A folder whose image names would be cut is not even made.
    ClearStreams();
    EXPECT_EQ(RunLine({"-o", PathOf(std::string(250, 'd'))}), CliRunner::ExitFileError);
    EXPECT_EQ(Text(Err).rfind(Script + ": the image names would be too long", 0), 0u) << Text(Err);
    fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(FilesIn(Dir), std::vector<std::string>{"tex.vna"});
    EXPECT_EQ(ReadFile(Script), SmallScript);
}

// Each override gives byte for byte the images of a script that says the same in its own line.
TEST_F(CliPipelineTest, OverridesGiveTheImagesOfTheScriptLineTheyStandFor) {
    struct Case {
        std::vector<std::string> Arguments;
        std::string From, To;  // the script line the arguments stand for
    };
    const Case cases[] = {
        {{"-f", "tga"}, "autoscale\n", "autoscale tga\n"},
        {{"-f", "png"}, "autoscale\n", "autoscale PNG\n"},
        {{"--format=BMP"}, "", ""},  // the script's own type
        {{"-s", "12345"}, "randseed 7", "randseed 12345"},
        {{"--seed", "2147483647"}, "randseed 7", "randseed 2147483647"},
        {{"--size", "40x30"}, "size 23 17", "size 40 30"},
        {{"--size", "600x11"}, "size 23 17", "size 600 11"},
    };
    for (const Case &c : cases) {
        const std::string name = c.Arguments.back();
        fs::remove_all(PathOf("a"));
        fs::remove_all(PathOf("b"));
        fs::create_directories(PathOf("b"));
        std::vector<std::string> arguments = c.Arguments;
        arguments.insert(arguments.end(), {"-q", "-o", PathOf("a")});
        ASSERT_EQ(RunLine(arguments), CliRunner::ExitDone) << name << Text(Err);
        const std::string twin = PathOf("b/tex.vna");
        WriteFile(twin, c.From.empty() ? SmallScript : Replaced(SmallScript, c.From, c.To));
        ASSERT_EQ(RunLine({"-q"}, twin), CliRunner::ExitDone) << name << Text(Err);
        fs::remove(twin);
        const std::vector<std::string> images = FilesIn(PathOf("a"));
        ASSERT_EQ(images.size(), 3u) << name;
        EXPECT_EQ(images, FilesIn(PathOf("b"))) << name;
        for (const std::string &image : images) {
            EXPECT_EQ(ReadFile(PathOf("a/" + image)), ReadFile(PathOf("b/" + image)))
                << name << " " << image;
        }
    }
}

// A texture from a fresh seed can be made again: the seed a round printed, given to --seed,
// gives the images of that round byte for byte; the round's images carry it in their names.
TEST_F(CliPipelineTest, SeedOfARoundMakesItsImagesAgain) {
    ASSERT_EQ(RunLine({"-q", "--rounds=2"}), CliRunner::ExitDone) << Text(Err);
    const std::vector<std::string> seeds = clitest::SeedsPrinted(Text(Err));
    ASSERT_EQ(seeds.size(), 2u) << Text(Err);
    ASSERT_EQ(RunLine({"-q", "--seed", seeds[1], "-o", PathOf("again")}), CliRunner::ExitDone)
        << Text(Err);
    for (const std::string &image : SmallImages) {
        const std::string round = PathOf("tex_s" + seeds[1] + "_" + image.substr(4));
        EXPECT_EQ(ReadFile(PathOf("again/" + image)), ReadFile(round)) << round;
        EXPECT_NE(ReadFile(PathOf("again/" + image)),
                  ReadFile(PathOf("tex_s" + seeds[0] + "_" + image.substr(4))));
    }

    // --randomize alone carries its seed too; --seed with rounds counts up from it.
    ClearStreams();
    ASSERT_EQ(RunLine({"-q", "-r", "-o", PathOf("r")}), CliRunner::ExitDone);
    const std::vector<std::string> fresh = clitest::SeedsPrinted(Text(Err));
    ASSERT_EQ(fresh.size(), 1u) << Text(Err);
    EXPECT_TRUE(fs::exists(PathOf("r/tex_s" + fresh[0] + "_A000025.bmp")));
    ASSERT_EQ(RunLine({"-q", "-s", "2147483647", "-n", "2", "-o", PathOf("n")}),
              CliRunner::ExitDone);
    EXPECT_TRUE(fs::exists(PathOf("n/tex_s2147483647_A000025.bmp")));
    EXPECT_TRUE(fs::exists(PathOf("n/tex_s1_A000025.bmp")));  // 0 would take the clock
}

TEST_F(CliPipelineTest, NoOverwriteRefusesToStartWhenAnImageIsInTheWay) {
    struct Case {
        std::vector<std::string> Arguments;
        std::string InTheWay;  // empty: nothing is
        int Code;
    };
    const Case cases[] = {
        {{}, "tex_A000010.bmp", CliRunner::ExitUsage},
        {{}, "tex_A000025.bmp", CliRunner::ExitUsage},  // the final image, off the period
        {{"-f", "tga"}, "tex_A000020.tga", CliRunner::ExitUsage},
        {{"-o", PathOf("out")}, "out/tex_A000020.bmp", CliRunner::ExitUsage},
        {{"-s", "100", "-n", "3"}, "tex_s102_A000020.bmp", CliRunner::ExitUsage},  // last round
        {{"--normal"}, "tex_A000025_normal.png", CliRunner::ExitUsage},
        {{"--height", "-f", "png"}, "tex_A000010_height.png", CliRunner::ExitUsage},
        {{"--height"}, "tex_A000010_normal.png", CliRunner::ExitDone},
        {{}, "tex_A000011.bmp", CliRunner::ExitDone},
        {{"-f", "tga"}, "tex_A000020.bmp", CliRunner::ExitDone},
        {{}, "", CliRunner::ExitDone},
    };
    for (const Case &c : cases) {
        fs::remove_all(Dir);
        fs::create_directories(PathOf("out"));
        WriteFile(Script, SmallScript);
        if (!c.InTheWay.empty()) WriteFile(PathOf(c.InTheWay), "keep");
        ClearStreams();
        std::vector<std::string> arguments = c.Arguments;
        arguments.insert(arguments.end(), {"-q", "--no-overwrite"});
        EXPECT_EQ(RunLine(arguments), c.Code) << c.InTheWay << Text(Err);
        if (c.Code == CliRunner::ExitDone) continue;
        EXPECT_EQ(Text(Err), PathOf(c.InTheWay) +
                                 ": the image exists; --no-overwrite leaves it "
                                 "as it is\n");
        EXPECT_EQ(ReadFile(PathOf(c.InTheWay)), "keep");
        std::vector<std::string> expected = {c.InTheWay, "tex.vna"};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(FilesIn(Dir), expected);
    }
}

// The script's size line keeps its limits; --size goes beyond the desktop program's largest
// domain and beyond the memory tables' usual limit, which the run raises for itself only.
TEST_F(CliPipelineTest, SizeRunsLargerThanTheScriptMayAsk) {
    WriteFile(Script,
              Replaced(Replaced(SmallScript, "iterations 25", "iterations 1"), "t+10", "t+1"));
    ASSERT_EQ(RunLine({"-q", "--size", "4400x4300"}), CliRunner::ExitDone) << Text(Err);
    EXPECT_EQ(MemoryTable::GetWordLimit(), MemoryTable::MaxWords);
    const std::string image = ReadFile(PathOf("tex_A000001.bmp"));
    ASSERT_EQ(image.size(), 54u + 1024u + 4300u * 4400u);
    EXPECT_EQ(LE32(image, 18), 4400u);
    EXPECT_EQ(LE32(image, 22), 4300u);
}

TEST_F(CliPipelineTest, RunThatWouldNotFitIntoMemoryIsRefusedBeforeItStarts) {
    AvailableMemory = 64u << 20;
    // 4000 x 4000 points: 61 MB for the field, 31 MB for the pictures and 31 MB for the two
    // images the writer thread may hold.
    EXPECT_EQ(RunLine({"--size=4000x4000"}), CliRunner::ExitFileError);
    EXPECT_EQ(Text(Err), Script +
                             ": a run of 4000 x 4000 points needs about 123 MB of memory, "
                             "more than the 64 MB available\n");
    EXPECT_EQ(Text(Out), "");
    EXPECT_EQ(FilesIn(Dir), std::vector<std::string>{"tex.vna"});
    // Upscaled images have a largest side of their own, checked before the memory.
    ClearStreams();
    EXPECT_EQ(RunLine({"--size=2049x100", "--upscale=8"}), CliRunner::ExitUsage);
    EXPECT_EQ(Text(Err), Script +
                             ": --upscale 8 makes images of 16392 x 800 points, more than "
                             "16384 a side\n");
    // Its own size fits.
    EXPECT_EQ(RunLine({"-q"}), CliRunner::ExitDone) << Text(Err);
}

TEST(MemoryBudgetTest, ReadsMemAvailableAndEstimatesTheLargestRun) {
    EXPECT_EQ(MemoryBudget::AvailableBytes("MemTotal:  8000 kB\nMemFree: 10 kB\n"
                                           "MemAvailable:    123456 kB\nBuffers: 1 kB\n"),
              123456u * 1024u);
    EXPECT_EQ(MemoryBudget::AvailableBytes("MemTotal:  8000 kB\n"), 0u);
    // What --help says of 8192 x 8192 with two components and true colour: about 1.3 GB.
    MemoryBudget::Outputs outputs;
    outputs.PictureDepth = 3;
    const uint64_t bytes = MemoryBudget::RunBytes(2, 8192, 8192, outputs);
    EXPECT_GT(bytes, 1250u << 20);
    EXPECT_LT(bytes, 1350u << 20);
}

// What --json prints is read back: one object per round, stdout holds nothing else, and the
// images it lists are exactly the files on disk.
TEST_F(CliPipelineTest, JsonListsEveryRoundAndExactlyTheFilesOnDisk) {
    fs::create_directories(PathOf("out/tex_s101_A000020.bmp"));  // in the way of one image
    EXPECT_EQ(RunLine({"--json", "-q", "-s", "100", "-n", "2", "-o", PathOf("out")}),
              CliRunner::ExitImagesFailed);
    std::vector<nlohmann::json> rounds;
    std::istringstream lines(Text(Out));
    for (std::string line; std::getline(lines, line);) {
        rounds.push_back(nlohmann::json::parse(line));  // throws on anything but JSON
    }
    ASSERT_EQ(rounds.size(), 2u) << Text(Out);
    std::vector<std::string> listed;
    for (size_t i = 0; i < rounds.size(); ++i) {
        const nlohmann::json &round = rounds[i];
        EXPECT_EQ(round["script"], Script);
        EXPECT_EQ(round["round"], i + 1);
        EXPECT_EQ(round["model"], "schlogl");
        EXPECT_EQ(round["size"], nlohmann::json::array({23, 17}));
        EXPECT_EQ(round["seed"], 100 + i);
        EXPECT_EQ(round["iterations"], 25);
        EXPECT_EQ(round["iterations_planned"], 25);
        EXPECT_GE(round["seconds"].get<double>(), 0.0);
        EXPECT_GE(round["mps"].get<double>(), 0.0);
        for (const auto &image : round["images"]) listed.push_back(image.get<std::string>());
    }
    EXPECT_EQ(rounds[0]["status"], CliRunner::ExitDone);
    EXPECT_EQ(rounds[0]["failed"], nlohmann::json::array());
    EXPECT_EQ(rounds[1]["status"], CliRunner::ExitImagesFailed);
    EXPECT_EQ(rounds[1]["failed"], nlohmann::json::array({PathOf("out/tex_s101_A000020.bmp")}));
    EXPECT_EQ(listed.size(), 5u);
    std::vector<std::string> onDisk;
    for (const std::string &file : FilesIn(PathOf("out"))) onDisk.push_back(PathOf("out/" + file));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, onDisk);
    // The summary goes with the progress.
    EXPECT_EQ(clitest::LastLine(Text(Err)).rfind("50 iterations, 5 images written, 1 could not", 0),
              0u)
        << Text(Err);

    // A round that never ran reports too.
    ClearStreams();
    WriteFile(Script, "size 5 5\n");
    EXPECT_EQ(RunLine({"--json", "-q"}), CliRunner::ExitScriptErrors);
    const nlohmann::json failed = nlohmann::json::parse(Text(Out));
    EXPECT_EQ(failed["status"], CliRunner::ExitScriptErrors);
    EXPECT_EQ(failed["images"], nlohmann::json::array());
    EXPECT_EQ(failed["iterations"], 0);
}

// The maps and the upscaling go to every image; stdout names every file written, maps too.
// --upscale-to: any output size, the longer side alone or both; a whole multiple of the field
// gives the bytes of --upscale; a size below the field's, or both options, are refused.
TEST_F(CliPipelineTest, UpscaleToMakesImagesAndMapsOfTheAskedSize) {
    auto sizeOf = [](const std::string &path) {
        const std::string png = ReadFile(path);
        EXPECT_GT(png.size(), 24u) << path;
        auto be32 = [&png](size_t at) {
            return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
                   uint32_t(uint8_t(png[at + 2])) << 8 | uint32_t(uint8_t(png[at + 3]));
        };
        return std::make_pair(be32(16), be32(20));
    };
    struct Case {
        const char *Option;
        uint32_t X, Y;
    };
    // The field is 23 x 17: 100 makes 17 x 100 / 23 = 73.9 rows, 74.
    const Case cases[] = {{"--upscale-to=100", 100, 74}, {"--upscale-to=60x40", 60, 40}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Option);
        fs::remove_all(PathOf("out"));
        ASSERT_EQ(
            RunLine({"-q", "--height", "--normal", c.Option, "-f", "png", "-o", PathOf("out")}),
            CliRunner::ExitDone)
            << Text(Err);
        for (const char *file :
             {"out/tex_A000025.png", "out/tex_A000025_height.png", "out/tex_A000025_normal.png"}) {
            EXPECT_EQ(sizeOf(PathOf(file)), std::make_pair(c.X, c.Y)) << file;
        }
    }
    ASSERT_EQ(RunLine({"-q", "--normal", "--upscale-to=69x51", "-f", "png", "-o", PathOf("to")}),
              CliRunner::ExitDone);
    ASSERT_EQ(RunLine({"-q", "--normal", "--upscale=3", "-f", "png", "-o", PathOf("by")}),
              CliRunner::ExitDone);
    for (const char *file : {"tex_A000025.png", "tex_A000025_normal.png"}) {
        EXPECT_EQ(ReadFile(PathOf(std::string("to/") + file)),
                  ReadFile(PathOf(std::string("by/") + file)))
            << file;
    }
    ClearStreams();
    EXPECT_EQ(RunLine({"-q", "--upscale-to=20"}), CliRunner::ExitUsage);
    EXPECT_NE(Text(Err).find("smaller than the field of 23 x 17"), std::string::npos) << Text(Err);
    std::vector<std::string> both = {"vorna-cli", "--upscale=2", "--upscale-to=100", "a.vna"};
    std::vector<char *> argv;
    for (std::string &word : both) argv.push_back(word.data());
    CliOptions options;
    EXPECT_EQ(options.Parse(int(argv.size()), argv.data()), CliOptions::Action::UsageError);
    EXPECT_NE(options.ErrorText.find("contradict"), std::string::npos);
}

TEST_F(CliPipelineTest, MapsAndUpscalingGoToEveryImageAndEveryFileIsNamed) {
    ASSERT_EQ(RunLine({"-q", "--height", "--normal-dx", "--upscale=2", "-f", "png"}),
              CliRunner::ExitDone)
        << Text(Err);
    const std::string out = Text(Out);
    std::istringstream lines(out.substr(0, out.size() - clitest::LastLine(out).size()));
    std::vector<std::string> named;
    for (std::string line; std::getline(lines, line);) named.push_back(line);
    std::vector<std::string> onDisk;
    for (const std::string &file : FilesIn(Dir)) {
        if (file != "tex.vna") onDisk.push_back(PathOf(file));
    }
    EXPECT_EQ(onDisk.size(), 9u);
    std::vector<std::string> sorted = named;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, onDisk);
    // Each image before its maps.
    EXPECT_EQ(named[0], PathOf("tex_A000010.png"));
    EXPECT_EQ(named[1], PathOf("tex_A000010_height.png"));
    EXPECT_EQ(named[2], PathOf("tex_A000010_normal.png"));
    for (const std::string &path : onDisk) {
        // The PNG header's width and height, big-endian: twice the field's 23 x 17.
        const std::string png = ReadFile(path);
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(png.substr(1, 3), "PNG");
        EXPECT_EQ(uint8_t(png[19]), 46) << path;
        EXPECT_EQ(uint8_t(png[23]), 34) << path;
    }
    EXPECT_EQ(clitest::LastLine(out).rfind("25 iterations, 3 images written, ", 0), 0u) << out;
}
