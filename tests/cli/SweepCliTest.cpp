// vorna-cli's sweeps end to end: the direct sweep, the same sweep handed to GNU parallel and to
// the Slurm array script (run here by bash as one task would), --resume and Ctrl-C.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "imageio/PngFile.h"
#include "rdsimul/ScriptTestSupport.h"

extern char **environ;

namespace {

namespace fs = std::filesystem;

constexpr const char *Base =
    "model brusselator\nmodpar alpha 3\nmodpar beta 7\nreaction A 0.01\nreaction B 0.01\n"
    "diffusion A 0.2\ndiffusion B 1\ninit A 3 0.2\ninit B 2.33 0.2\nsize 30 26\n"
    "iterations 60\nrandseed 11\ncolormap hsl 220 40 0.8 0.6 40 255\n"
    "image256 A t+25 autoscale\n";

const std::string Program = std::string(VORNA_BINARY_DIR) + "/vorna-cli";

class SweepCliTest : public scripttest::TempDirTest {
protected:
    // Runs a shell command in Dir: its exit code; stdout in Output.
    int Shell(const std::string &command) {
        std::string line = "cd '" + Dir.string() + "' && " + command + " 2>&1";
        FILE *pipe = popen(line.c_str(), "r");
        Output.clear();
        if (pipe == nullptr) return -1;
        char block[4096];
        size_t count;
        while ((count = std::fread(block, 1, sizeof block, pipe)) > 0) Output.append(block, count);
        int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The images of folder (name and bytes), in name order.
    std::map<std::string, std::string> Images(const std::string &folder,
                                              const std::string &extension = ".bmp") const {
        std::map<std::string, std::string> images;
        for (const auto &item : fs::directory_iterator(Dir / folder)) {
            if (item.path().extension() == extension && item.path().filename() != "contact.png") {
                images[item.path().filename().string()] =
                    scripttest::ReadFile(item.path().string());
            }
        }
        return images;
    }
    // Every image of every variant, so that resume has several per variant to look for.
    const std::string Vary = "--all-images --vary 'modpar alpha 2,3' --vary 'modpar beta 6:8:3' ";
    std::string Output;
};

TEST_F(SweepCliTest, JobsThroughParallelAndSlurmScriptGiveTheDirectSweepsImages) {
    if (Shell("command -v parallel") != 0) GTEST_SKIP() << "GNU parallel is not installed";
    scripttest::WriteFile(PathOf("base.vna"), Base);
    // The image options reach every variant: PNG at another size, upscaled, with height maps.
    const std::string options = "-f png --size 24x20 --upscale 2 --height ";
    ASSERT_EQ(Shell(Program + " --quiet --jobs 2 " + options + Vary + "base.vna"), 0) << Output;
    const auto direct = Images("base-sweep", ".png");
    ASSERT_EQ(direct.size(), 6u * 3u * 2u);  // iterations 25, 50 and the final 60, and maps
    EXPECT_TRUE(Images("base-sweep").empty());
    EXPECT_EQ(direct.count("alpha3_beta7_A000060_height.png"), 1u);
    EXPECT_TRUE(fs::exists(Dir / "base-sweep" / "index.html"));
    EXPECT_TRUE(fs::exists(Dir / "base-sweep" / "contact.png"));
    uint32_t width = 0;
    uint32_t height = 0;
    int cause = 0;
    EXPECT_EQ(PngFile::CheckWhole(PathOf("base-sweep/alpha2_beta6_A000060.png").c_str(), width,
                                  height, cause),
              PngFile::Done);
    EXPECT_EQ(width, 48u);
    EXPECT_EQ(height, 40u);

    ASSERT_EQ(Shell(Program + " --emit-jobs --out jobs " + options + Vary + "base.vna"), 0)
        << Output;
    EXPECT_TRUE(Images("jobs", ".png").empty());  // nothing ran
    ASSERT_EQ(Shell("parallel --will-cite --jobs 2 < jobs/jobs.txt"), 0) << Output;
    EXPECT_EQ(Images("jobs", ".png"), direct);

    // The array script as Slurm would run task 4 (alpha3_beta7), with two CPUs.
    ASSERT_EQ(Shell("bash -n jobs/sweep.sbatch"), 0) << Output;
    ASSERT_EQ(Shell("mkdir slurm && cp jobs/*.vna jobs/sweep.sbatch slurm/ && "
                    "SLURM_SUBMIT_DIR=. SLURM_ARRAY_TASK_ID=4 SLURM_CPUS_PER_TASK=2 "
                    "bash -c \"$(sed 's#jobs/#slurm/#g' slurm/sweep.sbatch)\""),
              0)
        << Output;
    const auto task = Images("slurm", ".png");
    ASSERT_EQ(task.size(), 3u * 2u);
    for (const auto &[name, bytes] : task) {
        EXPECT_EQ(name.rfind("alpha3_beta7_", 0), 0u);
        EXPECT_EQ(bytes, direct.at(name)) << name;
    }
    EXPECT_EQ(Shell(Program + " --contact-sheet jobs"), 0) << Output;
    EXPECT_NE(Output.find("6 variants (0 without an image)"), std::string::npos) << Output;
}

// --json: stdout holds one object per variant as it ends and nothing else; the rest goes to
// stderr. sweep.json lists the same variants with their exit codes once they ran.
TEST_F(SweepCliTest, JsonPrintsOneObjectPerVariantAndSweepJsonListsThem) {
    scripttest::WriteFile(PathOf("base.vna"), Base);
    ASSERT_EQ(Shell("(" + Program + " --json --jobs 2 " + Vary + "base.vna 2> err.txt)"), 0)
        << Output << scripttest::ReadFile(PathOf("err.txt"));
    const std::string err = scripttest::ReadFile(PathOf("err.txt"));
    EXPECT_NE(err.find("6 variants in base-sweep, seed 11 for all"), std::string::npos) << err;
    EXPECT_NE(err.find("index.html and contact.png, 6 variants"), std::string::npos) << err;
    std::set<std::string> names;
    size_t lines = 0;
    for (size_t start = 0; start < Output.size(); start = Output.find('\n', start) + 1) {
        ++lines;
        const auto object = nlohmann::json::parse(
            Output.substr(start, Output.find('\n', start) - start), nullptr, false);
        ASSERT_TRUE(object.is_object()) << Output;
        const std::string name = object.value("name", "");
        names.insert(name);
        EXPECT_EQ(object["script"], "base-sweep/" + name + ".vna");
        EXPECT_EQ(object["seed"], 11);
        EXPECT_EQ(object["status"], 0);
        EXPECT_EQ(object["values"].size(), 2u);
        const std::string last = "base-sweep/" + name + "_A000060.bmp";
        ASSERT_TRUE(object["images"].is_array());
        EXPECT_NE(std::find(object["images"].begin(), object["images"].end(), last),
                  object["images"].end())
            << object.dump();
        for (const auto &image : object["images"]) {
            EXPECT_TRUE(fs::exists(Dir / image.get<std::string>())) << image;
        }
    }
    EXPECT_EQ(lines, 6u);
    EXPECT_EQ(names, (std::set<std::string>{"alpha2_beta6", "alpha2_beta7", "alpha2_beta8",
                                            "alpha3_beta6", "alpha3_beta7", "alpha3_beta8"}));
    const auto list = nlohmann::json::parse(scripttest::ReadFile(PathOf("base-sweep/sweep.json")),
                                            nullptr, false);
    ASSERT_TRUE(list.is_object());
    EXPECT_EQ(list["base"], "base.vna");
    ASSERT_EQ(list["variants"].size(), 6u);
    for (const auto &variant : list["variants"]) {
        EXPECT_EQ(variant["status"], 0) << variant.dump();
        EXPECT_EQ(variant["images"].size(), 3u);
        for (const auto &image : variant["images"]) {
            EXPECT_TRUE(fs::exists(Dir / "base-sweep" / image.get<std::string>())) << image;
        }
    }
}

TEST_F(SweepCliTest, FormatOverrideAndMapsAreWhatResumeAndTheContactSheetLookFor) {
    scripttest::WriteFile(PathOf("base.vna"), Base);
    // A BMP sweep first, then the same folder in PNG with height maps: the sheet shows the
    // PNG, the images written last, and resume asks for PNG and maps, not the BMP there.
    ASSERT_EQ(Shell(Program + " --quiet " + Vary + "base.vna"), 0) << Output;
    ASSERT_EQ(Shell(Program + " --quiet --resume -f png --height " + Vary + "base.vna"), 0)
        << Output;
    const auto first = Images("base-sweep", ".png");
    ASSERT_EQ(first.size(), 6u * 3u * 2u);
    const std::string index = scripttest::ReadFile(PathOf("base-sweep/index.html"));
    EXPECT_NE(index.find("href=\"alpha2_beta6_A000060.png\""), std::string::npos);
    EXPECT_EQ(index.find("_A000060.bmp"), std::string::npos);

    // A cut height map, and a missing one, make their variants run again; nothing else.
    const fs::path map = Dir / "base-sweep" / "alpha3_beta8_A000050_height.png";
    fs::resize_file(map, fs::file_size(map) - 20);
    fs::remove(Dir / "base-sweep" / "alpha2_beta7_A000025_height.png");
    ASSERT_EQ(Shell(Program + " --resume -f png --height " + Vary + "base.vna"), 0) << Output;
    EXPECT_NE(Output.find("2 variants to run (4 already complete)"), std::string::npos) << Output;
    EXPECT_EQ(Images("base-sweep", ".png"), first);
}

// Without --all-images a variant writes only its final image (the one the contact sheet shows),
// and --resume takes that one image as the whole variant.
TEST_F(SweepCliTest, VariantsWriteOnlyTheirFinalImageUnlessAllAreAsked) {
    scripttest::WriteFile(PathOf("base.vna"), Base);
    const std::string vary = "--vary 'modpar beta 6,7' ";
    ASSERT_EQ(Shell(Program + " --quiet " + vary + "base.vna"), 0) << Output;
    const auto images = Images("base-sweep");
    std::vector<std::string> names;
    for (const auto &[name, bytes] : images) names.push_back(name);
    EXPECT_EQ(names, std::vector<std::string>({"beta6_A000060.bmp", "beta7_A000060.bmp"}));
    ASSERT_EQ(Shell(Program + " --resume " + vary + "base.vna"), 0) << Output;
    EXPECT_NE(Output.find("0 variants to run (2 already complete)"), std::string::npos) << Output;
    // The same final images as a sweep that writes them all.
    ASSERT_EQ(Shell(Program + " --quiet --all-images --out all " + vary + "base.vna"), 0) << Output;
    const auto all = Images("all");
    EXPECT_EQ(all.size(), 6u);
    for (const auto &[name, bytes] : images) EXPECT_EQ(all.at(name), bytes) << name;
}

TEST_F(SweepCliTest, ResumeRunsOnlyVariantsWithMissingOrCutImages) {
    scripttest::WriteFile(PathOf("base.vna"), Base);
    ASSERT_EQ(Shell(Program + " --quiet " + Vary + "base.vna"), 0) << Output;
    const auto first = Images("base-sweep");
    fs::remove(Dir / "base-sweep" / "alpha2_beta6_A000060.bmp");
    fs::resize_file(Dir / "base-sweep" / "alpha3_beta8_A000025.bmp", 100);
    ASSERT_EQ(Shell(Program + " --resume " + Vary + "base.vna"), 0) << Output;
    EXPECT_NE(Output.find("2 variants to run (4 already complete)"), std::string::npos) << Output;
    EXPECT_EQ(Images("base-sweep"), first);
}

TEST_F(SweepCliTest, ResumeOfAPngSweepWithOwnSeedsRerunsOnlyTheCutVariant) {
    std::string text = Base;
    text.replace(text.find("autoscale"), 9, "autoscale PNG");
    scripttest::WriteFile(PathOf("base.vna"), text);
    ASSERT_EQ(Shell(Program + " --quiet -r " + Vary + "base.vna"), 0) << Output;
    const auto first = Images("base-sweep", ".png");
    ASSERT_EQ(first.size(), 6u * 3u);
    const fs::path last = Dir / "base-sweep" / "alpha3_beta7_A000060.png";
    fs::resize_file(last, fs::file_size(last) - 20);
    ASSERT_EQ(Shell(Program + " --resume -r " + Vary + "base.vna"), 0) << Output;
    EXPECT_NE(Output.find("1 variants to run (5 already complete)"), std::string::npos) << Output;
    // The variants kept their seeds: the rerun wrote the same images.
    EXPECT_EQ(Images("base-sweep", ".png"), first);
}

// A movie's video stream as ffprobe counts it: "width,height,frames".
std::string ProbeLine(const std::string &path) {
    std::string text = scripttest::CommandOutput(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=width,height,nb_read_frames -of csv=p=0 '" +
        path + "' 2>&1");
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// --movie mp4: every variant's movie has the starting field and a frame per image of the
// script's image line (25, 50, 60), though the variant writes only its last image, at the
// images' size; contact.mp4 has as many frames, the contact sheet's size, and its last frame is
// the sheet of final images. sweep.json and --json list the movies.
TEST_F(SweepCliTest, MovieTypeGivesEveryVariantItsMovieAndTheSheetAGrowingGrid) {
    if (Shell("command -v ffprobe && command -v ffmpeg") != 0) GTEST_SKIP() << "no ffprobe";
    scripttest::WriteFile(PathOf("base.vna"), Base);
    const std::string vary = "--vary 'modpar alpha 2,3' --vary 'modpar beta 6:8:3' ";
    ASSERT_EQ(Shell("(" + Program + " --json --movie mp4 " + vary + "base.vna > out.json)"), 0)
        << Output;
    EXPECT_NE(Output.find("contact.mp4 (4 frames)"), std::string::npos) << Output;
    const fs::path folder = Dir / "base-sweep";
    std::set<std::string> listed;
    for (const std::string name : {"alpha2_beta6", "alpha2_beta7", "alpha2_beta8", "alpha3_beta6",
                                   "alpha3_beta7", "alpha3_beta8"}) {
        EXPECT_EQ(ProbeLine((folder / (name + ".mp4")).string()), "30,26,4") << name;
        EXPECT_FALSE(fs::exists(folder / (name + "_A000025.bmp"))) << name;
    }
    const nlohmann::json manifest =
        nlohmann::json::parse(scripttest::ReadFile((folder / "sweep.json").string()));
    for (const auto &variant : manifest["variants"]) {
        EXPECT_EQ(variant["movies"],
                  nlohmann::json::array({variant["name"].get<std::string>() + ".mp4"}));
    }
    std::istringstream lines(scripttest::ReadFile(PathOf("out.json")));
    std::string line;
    while (std::getline(lines, line)) {
        const nlohmann::json object = nlohmann::json::parse(line);
        listed.insert(object["movies"][0].get<std::string>());
    }
    EXPECT_EQ(listed.size(), 6u);
    EXPECT_TRUE(listed.count("base-sweep/alpha3_beta8.mp4")) << *listed.begin();

    // The grid: contact.png's size (made even), a frame per image time.
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> sheet;
    int cause = 0;
    ASSERT_EQ(
        PngFile::ReadRgb((folder / "contact.png").string().c_str(), width, height, sheet, cause),
        PngFile::Done);
    EXPECT_EQ(
        ProbeLine((folder / "contact.mp4").string()),
        std::to_string(width + (width & 1)) + "," + std::to_string(height + (height & 1)) + ",4");
    ASSERT_EQ(Shell("ffmpeg -v error -i base-sweep/contact.mp4 -vf 'select=eq(n\\,3)' "
                    "-frames:v 1 last.png"),
              0)
        << Output;
    uint32_t lastWidth = 0, lastHeight = 0;
    std::vector<uint8_t> last;
    ASSERT_EQ(PngFile::ReadRgb(PathOf("last.png").c_str(), lastWidth, lastHeight, last, cause),
              PngFile::Done);
    // Lossy twice over (the variants' movies, then the grid's): close, not equal.
    double difference = 0.0;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width * 3; ++x) {
            difference += std::abs(int(sheet[size_t(y) * width * 3 + x]) -
                                   int(last[size_t(y) * lastWidth * 3 + x]));
        }
    }
    EXPECT_LT(difference / (double(width) * height * 3), 6.0);
}

// --resume keeps a variant whose movies are there and named by its report of a run that ended
// well; a movie missing, or left by a stopped run (its report says 130), is made again, as is a
// type the earlier run did not write. contact.mp4 is made of the movies of the variants' last
// runs only.
TEST_F(SweepCliTest, ResumeRedoesOnlyVariantsWithoutTheirFinishedMovies) {
    scripttest::WriteFile(PathOf("base.vna"), Base);
    const std::string vary = "--vary 'modpar beta 6:8:3' ";
    ASSERT_EQ(Shell(Program + " --quiet --movie gif " + vary + "base.vna"), 0) << Output;
    ASSERT_EQ(Shell(Program + " --resume --movie gif " + vary + "base.vna"), 0) << Output;
    EXPECT_NE(Output.find("0 variants to run (3 already complete)"), std::string::npos) << Output;
    const fs::path folder = Dir / "base-sweep";
    fs::remove(folder / "beta6.gif");
    std::string report = scripttest::ReadFile((folder / "beta7.json").string());
    ASSERT_NE(report.find("\"status\":0"), std::string::npos) << report;
    report.replace(report.find("\"status\":0"), 10, "\"status\":130");
    scripttest::WriteFile((folder / "beta7.json").string(), report);
    ASSERT_EQ(Shell(Program + " --resume --movie gif " + vary + "base.vna"), 0) << Output;
    EXPECT_NE(Output.find("2 variants to run (1 already complete)"), std::string::npos) << Output;
    EXPECT_TRUE(fs::exists(folder / "beta6.gif"));
    ASSERT_EQ(Shell(Program + " --resume --movie gif --movie webp " + vary + "base.vna"), 0)
        << Output;
    EXPECT_NE(Output.find("3 variants to run (0 already complete)"), std::string::npos) << Output;
    EXPECT_TRUE(fs::exists(folder / "contact.mp4"));
    // Run again without movies: the old ones stay, but no grid of them stands beside the new sheet.
    ASSERT_EQ(Shell(Program + " --quiet " + vary + "base.vna"), 0) << Output;
    EXPECT_TRUE(fs::exists(folder / "beta6.gif"));
    EXPECT_FALSE(fs::exists(folder / "contact.mp4"));
}

// The job files give each variant its movie (and the movie options); the contact sheet made
// afterwards from the folder alone reads the variants' WebP movies into contact.mp4.
TEST_F(SweepCliTest, JobFilesWriteTheMoviesAndContactSheetMakesTheContactMovie) {
    if (Shell("command -v ffprobe") != 0) GTEST_SKIP() << "no ffprobe";
    scripttest::WriteFile(PathOf("base.vna"), Base);
    ASSERT_EQ(Shell(Program + " --emit-jobs --out jobs --movie webp --movie-every 10 --fps 12 "
                              "--vary 'modpar beta 6,7' base.vna"),
              0)
        << Output;
    const std::string jobs = scripttest::ReadFile(PathOf("jobs/jobs.txt"));
    EXPECT_NE(jobs.find("'--movie-every' '10' '--fps' '12' --json-file 'jobs/beta6.json' "
                        "--movie 'jobs/beta6.webp' -- 'jobs/beta6.vna'"),
              std::string::npos)
        << jobs;
    EXPECT_NE(scripttest::ReadFile(PathOf("jobs/sweep.sbatch"))
                  .find("--movie 'jobs/'\"${variant%.vna}.webp\""),
              std::string::npos);
    ASSERT_EQ(Shell("bash jobs/jobs.txt"), 0) << Output;
    ASSERT_EQ(Shell(Program + " --contact-sheet jobs"), 0) << Output;
    if (Shell("webpmux -info jobs/beta6.webp") == 0) {
        EXPECT_NE(Output.find("Canvas size: 30 x 26"), std::string::npos) << Output;
        EXPECT_NE(Output.find("Number of frames: 7"), std::string::npos) << Output;
    }
    // Frames at 0, 10, ..., 60.
    const std::string contact = ProbeLine(PathOf("jobs/contact.mp4"));
    EXPECT_EQ(contact.substr(contact.rfind(',')), ",7") << contact;
}

// text quoted for the shell the tests run commands with.
std::string Quoted(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A sweep writes only into an empty folder or its own: never over the base, a user's script, or
// job files, pages and pictures it did not write; refused before anything is written, the file in
// the way named. Its own folder it takes again (--resume, a second run, an older folder without
// the marker).
TEST_F(SweepCliTest, SweepNeverWritesOverAFileItDidNotWrite) {
    std::string notes = std::string(Base) + "// my notes\n";
    scripttest::WriteFile(PathOf("beta7.vna"), notes);
    scripttest::WriteFile(PathOf("beta8.vna"), "// user script\n");
    const std::string vary = " --vary 'modpar beta 7,8' ";
    EXPECT_EQ(Shell(Program + " --emit-jobs" + vary + "--out . beta7.vna"), 3);
    EXPECT_NE(Output.find("./beta7.vna: in the way of the sweep"), std::string::npos) << Output;
    EXPECT_EQ(scripttest::ReadFile(PathOf("beta7.vna")), notes);
    EXPECT_EQ(scripttest::ReadFile(PathOf("beta8.vna")), "// user script\n");
    EXPECT_FALSE(fs::exists(Dir / "jobs.txt"));

    // A folder holding only someone's job file, page or picture.
    for (const char *file :
         {"jobs.txt", "sweep.sbatch", "sweep.json", "index.html", "contact.png", "contact.mp4"}) {
        fs::create_directories(Dir / "theirs");
        scripttest::WriteFile(PathOf("theirs/") + file, "theirs");
        EXPECT_EQ(Shell(Program + " --emit-jobs" + vary + "--out theirs beta7.vna"), 3) << file;
        EXPECT_NE(Output.find(std::string("theirs/") + file + ": in the way"), std::string::npos)
            << Output;
        EXPECT_EQ(scripttest::ReadFile(PathOf("theirs/") + file), "theirs");
        EXPECT_EQ(std::distance(fs::directory_iterator(Dir / "theirs"), fs::directory_iterator()),
                  1);
        fs::remove_all(Dir / "theirs");
    }

    // Its own folder: made, taken again, resumed.
    ASSERT_EQ(Shell(Program + " --quiet" + vary + "--out mine beta7.vna"), 0) << Output;
    ASSERT_EQ(Shell(Program + " --quiet --resume" + vary + "--out mine beta7.vna"), 0) << Output;
    ASSERT_EQ(Shell(Program + " --emit-jobs" + vary + "--out mine beta7.vna"), 0) << Output;
    // A folder from before the marker is known by its variants' head comments.
    fs::remove(Dir / "mine" / ".vorna-sweep");
    ASSERT_EQ(Shell(Program + " --quiet --resume" + vary + "--out mine beta7.vna"), 0) << Output;
    // A user's script under a variant's name, even in the sweep's own folder, stays.
    scripttest::WriteFile(PathOf("mine/beta8.vna"), "// user script\n");
    EXPECT_EQ(Shell(Program + " --quiet" + vary + "--out mine beta7.vna"), 3);
    EXPECT_NE(Output.find("mine/beta8.vna: in the way of the sweep: not a variant of beta7.vna"),
              std::string::npos)
        << Output;
    EXPECT_EQ(scripttest::ReadFile(PathOf("mine/beta8.vna")), "// user script\n");
    fs::remove(Dir / "mine" / "beta8.vna");
    // A variant's report and movies are replaced by its run: a folder in their place is in the
    // way.
    for (const char *own : {"beta8.json", "beta8.mp4", "beta8.gif"}) {
        fs::remove(Dir / "mine" / own);
        fs::create_directories(Dir / "mine" / own);
        EXPECT_EQ(Shell(Program + " --quiet --movie mp4" + vary + "--out mine beta7.vna"), 3);
        EXPECT_NE(Output.find(std::string("mine/") + own + ": in the way of the sweep"),
                  std::string::npos)
            << Output;
        fs::remove(Dir / "mine" / own);
    }
    // Another base's sweep does not take this folder.
    scripttest::WriteFile(PathOf("other.vna"), Base);
    EXPECT_EQ(Shell(Program + " --quiet" + vary + "--out mine other.vna"), 3);
    EXPECT_NE(Output.find("belongs to the sweep of another base"), std::string::npos) << Output;
    EXPECT_EQ(scripttest::ReadFile(PathOf("mine/.vorna-sweep")), "Vorna sweep of beta7.vna\n");

    // The contact sheet alone: not over a page it did not write.
    scripttest::WriteFile(PathOf("mine/index.html"), "<p>my page</p>");
    fs::remove(Dir / "mine" / ".vorna-sweep");
    EXPECT_EQ(Shell(Program + " --contact-sheet mine"), 3);
    EXPECT_EQ(scripttest::ReadFile(PathOf("mine/index.html")), "<p>my page</p>");
}

// Hostile folder and program names: a control character is refused before anything is written;
// every other name is quoted for the shell that reads the job files, so nothing but vorna-cli
// runs, under GNU parallel as under the Slurm array script.
TEST_F(SweepCliTest, JobFilesRunNothingButTheProgramWhateverTheNames) {
    if (Shell("command -v parallel") != 0) GTEST_SKIP() << "GNU parallel is not installed";
    scripttest::WriteFile(PathOf("base.vna"), Base);
    const std::string vary = " --vary 'modpar beta 7,8' ";
    for (const char *name : {"o1\ntouch PWN #", "tab\there", "bell\x07"}) {
        EXPECT_EQ(Shell(Program + " --emit-jobs" + vary + "--out " + Quoted(name) + " base.vna"), 1)
            << name;
        EXPECT_NE(Output.find("control character"), std::string::npos) << Output;
        EXPECT_FALSE(fs::exists(Dir / name));
    }
    scripttest::WriteFile(PathOf("new\nline.vna"), Base);
    EXPECT_EQ(Shell(Program + " --emit-jobs" + vary + Quoted("new\nline.vna")), 1) << Output;
    EXPECT_FALSE(fs::exists(Dir / "new\nline-sweep"));

    const std::string hostile[] = {
        "$(touch X1)", "`touch X2`", ";touch X3;", "a b",   "q'uote",   "d\"q",
        "br}ace",      "${HOME}",    "*",          "-dash", "\xc3\xbc",
    };
    // The program in a folder of a hostile name too: the default of the job files.
    fs::create_directories(Dir / "dir$(touch X4)");
    fs::copy_file(Program, Dir / "dir$(touch X4)" / "vorna-cli");
    const std::string program = Quoted(PathOf("dir$(touch X4)/vorna-cli"));
    for (const std::string &name : hostile) {
        const std::string folder = "sw" + name;
        ASSERT_EQ(Shell(program + " --emit-jobs" + vary + "--out " + Quoted(folder) + " base.vna"),
                  0)
            << name << ": " << Output;
        const std::string jobs = Quoted(folder + "/jobs.txt");
        const std::string sbatch = Quoted(folder + "/sweep.sbatch");
        EXPECT_EQ(Shell("bash -n " + jobs + " && bash -n " + sbatch), 0) << name << Output;
        EXPECT_EQ(Shell("parallel --will-cite --dry-run < " + jobs), 0) << name << Output;
        // Run by GNU parallel and by the array script: only the program runs, with the script's
        // path intact.
        EXPECT_EQ(Shell("VORNA_CLI=/bin/echo parallel --will-cite --jobs 1 -k < " + jobs), 0)
            << Output;
        EXPECT_NE(Output.find("-- " + folder + "/beta7.vna\n"), std::string::npos)
            << name << ": " << Output;
        EXPECT_EQ(Shell("VORNA_CLI=/bin/echo SLURM_ARRAY_TASK_ID=1 bash " + sbatch), 0) << Output;
        // A variant writes only its final image unless the sweep was told otherwise.
        EXPECT_EQ(Output, "--quiet --threads 1 --last --json-file " + folder + "/beta8.json -- " +
                              folder + "/beta8.vna\n")
            << name;
    }
    // The default program, from its hostile folder, really runs a variant.
    const std::string jobs = Quoted("sw$(touch X1)/jobs.txt");
    EXPECT_EQ(Shell("head -n 1 " + jobs + " | parallel --will-cite"), 0) << Output;
    EXPECT_TRUE(fs::exists(Dir / "sw$(touch X1)" / "beta7_A000060.bmp"));
    for (const char *planted : {"X1", "X2", "X3", "X4", "PWN"}) {
        EXPECT_FALSE(fs::exists(Dir / planted)) << planted;
        EXPECT_FALSE(fs::exists(Dir / "dir$(touch X4)" / planted)) << planted;
    }
}

// A refused sweep says why and leaves nothing behind: no folder, no variant script.
TEST_F(SweepCliTest, RefusedSweepWritesNothing) {
    scripttest::WriteFile(PathOf("base.vna"), Base);
    EXPECT_EQ(Shell(Program + " --vary 'init A 3 5:20:3' base.vna"), 2);
    EXPECT_NE(Output.find("variant initA312.5 is refused"), std::string::npos) << Output;
    EXPECT_NE(Output.find("base-sweep/initA312.5.vna:10: "), std::string::npos) << Output;
    EXPECT_FALSE(fs::exists(PathOf("base-sweep")));
    // A parameter the model does not have is named, with the one meant.
    EXPECT_EQ(Shell(Program + " --vary 'modpar betta 6,7' base.vna"), 1);
    EXPECT_NE(Output.find("'modpar betta': the model brusselator has no parameter 'betta'; did "
                          "you mean 'beta'? (its parameters: alpha, beta)"),
              std::string::npos)
        << Output;
    EXPECT_EQ(Shell(Program + " --vary 'modpar beta 6:10' base.vna"), 1);
    EXPECT_EQ(Shell(Program + " --vary 'modpar 6,7' base.vna"), 1);
    EXPECT_NE(Output.find("names no parameter"), std::string::npos) << Output;
    EXPECT_EQ(Shell(Program + " -o out --vary 'modpar beta 6,7' --vary 'diffusion B 0.5,2' "
                              "base.vna"),
              2);
    std::vector<std::string> left;
    for (const auto &item : fs::directory_iterator(Dir)) {
        left.push_back(item.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"base.vna"});
    EXPECT_EQ(scripttest::ReadFile(PathOf("base.vna")), Base);
}

TEST_F(SweepCliTest, CtrlCStopsEveryVariantAndLeavesNoTemporaryFile) {
    // Long variants writing an image every iteration.
    std::string text = Base;
    text.replace(text.find("iterations 60"), 13, "iterations 500000");
    text.replace(text.find("t+25"), 4, "t+1");
    scripttest::WriteFile(PathOf("base.vna"), text);
    const std::string base = PathOf("base.vna");
    posix_spawn_file_actions_t actions;
    ASSERT_EQ(posix_spawn_file_actions_init(&actions), 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const char *arguments[] = {Program.c_str(),     "--jobs",     "2",    "--all-images", "--vary",
                               "modpar beta 6,7,8", base.c_str(), nullptr};
    pid_t sweep = 0;
    ASSERT_EQ(posix_spawn(&sweep, Program.c_str(), &actions, nullptr,
                          const_cast<char *const *>(arguments), environ),
              0);
    posix_spawn_file_actions_destroy(&actions);
    // Both running variants have written images before the stop.
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto running = [&] {
        return fs::exists(Dir / "base-sweep" / "beta6_A000002.bmp") &&
               fs::exists(Dir / "base-sweep" / "beta7_A000002.bmp");
    };
    while (!running() && Clock::now() - start < std::chrono::seconds(20)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!running()) {
        kill(sweep, SIGKILL);
        waitpid(sweep, nullptr, 0);
        FAIL() << "the variants did not start";
    }
    kill(sweep, SIGINT);
    int status = 0;
    const auto stop = Clock::now();
    while (waitpid(sweep, &status, WNOHANG) == 0 &&
           Clock::now() - stop < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (waitpid(sweep, &status, WNOHANG) == 0) {
        // Not ended: no sweep may outlive the test.
        kill(sweep, SIGKILL);
        waitpid(sweep, &status, 0);
        FAIL() << "the sweep did not end";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - stop).count(), 5.0);
    // The variants ended with it (none left writing), the third never started.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::map<std::string, int> before;
    for (const auto &item : fs::directory_iterator(Dir / "base-sweep")) {
        std::string name = item.path().filename().string();
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
        EXPECT_NE(name.rfind("beta8_A", 0), 0u) << name;
        ++before[name.substr(0, 5)];
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::map<std::string, int> after;
    for (const auto &item : fs::directory_iterator(Dir / "base-sweep")) {
        ++after[item.path().filename().string().substr(0, 5)];
    }
    EXPECT_EQ(after, before);
}

}  // namespace
