// Every shipped script runs to its end without a numeric overflow, on a smaller domain so the
// whole gallery takes seconds; the dynamics are local, so the domain size does not change
// whether the values stay bounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "imageio/MapPictureReader.h"
#include "rdsimul/ScriptTestSupport.h"

namespace {

std::vector<std::string> ShippedScripts() {
    namespace fs = std::filesystem;
    std::vector<std::string> paths;
    fs::path examples = fs::path(VORNA_SOURCE_DIR) / "examples";
    for (const char *folder : {"gallery", "formulas"}) {
        for (const fs::directory_entry &entry : fs::directory_iterator(examples / folder)) {
            if (entry.path().extension() == ".vna") paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    paths.push_back((examples / "new.tpl").string());
    paths.push_back((examples / "exemple.tpl").string());
    return paths;
}

class GalleryTest : public scripttest::TempDirTest,
                    public testing::WithParamInterface<std::string> {};

}  // namespace

TEST_P(GalleryTest, RunsToTheEndWithoutOverflow) {
    std::string script = scripttest::ReadFile(GetParam());
    ASSERT_FALSE(script.empty()) << GetParam();
    script = std::regex_replace(script, std::regex("\nsize [0-9]+ [0-9]+\n"), "\nsize 32 32\n");
    std::string path = PathOf("script.vna");
    scripttest::WriteFile(path, script);
    // The pictures a script names lie beside it; the program reads them as vorna-cli does.
    MapPictureReader::Install();
    for (const auto &entry :
         std::filesystem::directory_iterator(std::filesystem::path(GetParam()).parent_path())) {
        if (entry.path().extension() == ".png") {
            std::filesystem::copy_file(entry.path(), PathOf(entry.path().filename().string()));
        }
    }
    FILE *out = std::tmpfile();
    FILE *err = std::tmpfile();
    CliOptions options;
    options.ScriptPath = path;
    options.Quiet = true;
    EXPECT_EQ(CliRunner(out, err, false).Run(options), CliRunner::ExitDone);
    // Every parameter its model reads is set, and no other: no warning on a line (the field of a
    // 32 x 32 run may settle, and be told of).
    std::string messages(size_t(std::ftell(err)), 0);
    std::rewind(err);
    messages.resize(std::fread(messages.data(), 1, messages.size(), err));
    EXPECT_FALSE(std::regex_search(messages, std::regex(":[0-9]+: warning"))) << messages;
    std::fclose(out);
    std::fclose(err);
    // The script is accepted as it stands: the parse leaves it unchanged.
    EXPECT_EQ(scripttest::ReadFile(path), script);
}

INSTANTIATE_TEST_SUITE_P(Examples, GalleryTest, testing::ValuesIn(ShippedScripts()),
                         [](const testing::TestParamInfo<std::string> &row) {
                             const std::filesystem::path path(row.param);
                             std::string name = path.stem().string();
                             // The formulas folder repeats the gallery's names.
                             if (path.parent_path().filename() == "formulas") {
                                 name = "formula_" + name;
                             }
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });
