// The built-in models written as formulas (examples/formulas) draw the images of their gallery
// scripts byte for byte: the same arithmetic in the same order, on a smaller field and a shorter
// run so that the pairs take seconds; as vorna-cli runs them (machine code) and through the
// instruction list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "cli/CliRunner.h"
#include "formulajit/FormulaJit.h"
#include "rdsimul/ScriptTestSupport.h"

namespace {

namespace fs = std::filesystem;

const fs::path Examples = fs::path(VORNA_SOURCE_DIR) / "examples";

// The images a script writes when run in folder, by name.
std::vector<std::pair<std::string, std::string>> RunAndCollect(const std::string &script,
                                                               const fs::path &folder) {
    fs::create_directories(folder);
    std::string text = scripttest::ReadFile(script);
    text = std::regex_replace(text, std::regex("\nsize [0-9]+ [0-9]+\n"), "\nsize 61 43\n");
    text = std::regex_replace(text, std::regex("\niterations [0-9]+\n"), "\niterations 600\n");
    text = std::regex_replace(text, std::regex(" t\\+[0-9]+ "), " t+200 ");
    const fs::path path = folder / "texture.vna";
    scripttest::WriteFile(path.string(), text);
    FILE *out = std::tmpfile();
    FILE *err = std::tmpfile();
    CliOptions options;
    options.ScriptPath = path.string();
    options.Quiet = true;
    EXPECT_EQ(CliRunner(out, err, false).Run(options), CliRunner::ExitDone) << script;
    std::fclose(out);
    std::fclose(err);
    std::vector<std::pair<std::string, std::string>> images;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".vna") continue;
        images.emplace_back(entry.path().filename().string(),
                            scripttest::ReadFile(entry.path().string()));
    }
    std::sort(images.begin(), images.end());
    return images;
}

class FormulaGalleryTest : public scripttest::TempDirTest,
                           public testing::WithParamInterface<std::tuple<std::string, bool>> {
protected:
    void TearDown() override { InstallFormulaCodeMaker(nullptr); }
};

}  // namespace

TEST_P(FormulaGalleryTest, FormulaDrawsTheBuiltInModelsImagesByteForByte) {
    const std::string name = std::get<0>(GetParam());
    if (std::get<1>(GetParam())) FormulaJit::Install();
    const auto builtIn =
        RunAndCollect((Examples / "gallery" / name).string(), fs::path(PathOf("builtin")));
    const auto formula =
        RunAndCollect((Examples / "formulas" / name).string(), fs::path(PathOf("formula")));
    ASSERT_EQ(builtIn.size(), 3u);  // iterations 200, 400 and 600
    ASSERT_EQ(formula.size(), builtIn.size());
    for (size_t i = 0; i < builtIn.size(); ++i) {
        EXPECT_EQ(formula[i].first, builtIn[i].first);
        EXPECT_TRUE(formula[i].second == builtIn[i].second) << name << ": " << builtIn[i].first;
    }
}

INSTANTIATE_TEST_SUITE_P(
    BuiltInModels, FormulaGalleryTest,
    testing::Combine(testing::Values("spots-brusselator.vna", "fingerprint-brd1.vna",
                                     "spirals-ginzburglandau.vna", "curls-gld1.vna",
                                     "swirls-gld2.vna", "labyrinth-maginu.vna", "lava-magd1.vna"),
                     testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<std::string, bool>> &row) {
        std::string stem = fs::path(std::get<0>(row.param)).stem().string();
        std::replace(stem.begin(), stem.end(), '-', '_');
        return stem + (std::get<1>(row.param) ? "_machinecode" : "_instructionlist");
    });
