// SweepManifest: sweep.json as the variants are made (values, seeds, the images their scripts
// write) and after they ran (what each report says, a stale mark never kept), and the line --json
// prints per variant.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "rdsimul/ScriptTestSupport.h"
#include "sweep/SweepManifest.h"
#include "sweep/SweepTestSupport.h"

namespace {

using Json = nlohmann::json;

class SweepManifestTest : public scripttest::TempDirTest {
protected:
    std::string Folder() const { return (Dir / "base-sweep").string(); }
    Json Read() const {
        return Json::parse(scripttest::ReadFile(Folder() + "/sweep.json"), nullptr, false);
    }
};

TEST_F(SweepManifestTest, ListsTheVariantsThenWhatTheirReportsSay) {
    scripttest::WriteFile(PathOf("base.vna"), sweeptest::BaseScript);
    SweepExpander expander;
    ASSERT_EQ(expander.LoadBase(PathOf("base.vna")), SweepExpander::Done);
    ASSERT_EQ(
        expander.Expand(sweeptest::VariedLines({"modpar alpha 2,3.5", "modpar beta 6"}), 0, false),
        SweepExpander::Done);
    ASSERT_EQ(expander.WriteAndCheck(Folder()), SweepExpander::Done);
    ImageOptions outputs;
    outputs.Format = 'P';
    outputs.Height = true;
    SweepManifest manifest;
    ASSERT_EQ(manifest.Write(Folder(), PathOf("base.vna"), expander, outputs), SweepManifest::Done)
        << manifest.Error;
    Json written = Read();
    EXPECT_EQ(written["base"], PathOf("base.vna"));
    EXPECT_EQ(written["varied"], Json({"modpar alpha", "modpar beta"}));
    ASSERT_EQ(written["variants"].size(), 2u);
    const Json &second = written["variants"][1];
    EXPECT_EQ(second["name"], "alpha3.5_beta6");
    EXPECT_EQ(second["script"], "alpha3.5_beta6.vna");
    EXPECT_EQ(second["values"].dump(), "{\"modpar alpha\":3.5,\"modpar beta\":6}");
    EXPECT_EQ(second["seed"], 11);
    EXPECT_EQ(second["images"],
              Json({"alpha3.5_beta6_A000020.png", "alpha3.5_beta6_A000020_height.png",
                    "alpha3.5_beta6_A000040.png", "alpha3.5_beta6_A000040_height.png"}));
    EXPECT_FALSE(second.contains("status"));

    // The first variant reported a uniform last field; the second left no report, only the
    // exit code the runner saw.
    scripttest::WriteFile(
        Folder() + "/alpha2_beta6.json",
        "{\"status\":0,\"images\":[\"base-sweep/alpha2_beta6_A000040.png\"],\"uniform\":true,"
        "\"ranges\":[{\"image\":\"a\",\"iteration\":20,\"min\":0.5,\"max\":2},"
        "{\"image\":\"b\",\"iteration\":40,\"min\":1,\"max\":1.0001,\"uniform\":true}]}\n");
    manifest.Record("alpha3.5_beta6", 5);
    ASSERT_EQ(manifest.Update(Folder()), SweepManifest::Done) << manifest.Error;
    Json updated = Read();
    const Json &first = updated["variants"][0];
    EXPECT_EQ(first["status"], 0);
    EXPECT_EQ(first["uniform"], true);
    EXPECT_EQ(first["range"], Json({{"iteration", 40}, {"min", 1.0}, {"max", 1.0001}}));
    EXPECT_EQ(first["images"], written["variants"][0]["images"]);
    EXPECT_EQ(updated["variants"][1]["status"], 5);
    EXPECT_FALSE(updated["variants"][1].contains("uniform"));

    // --json's line: the report's images; without a report, the script's images that are there.
    Json line = Json::parse(manifest.VariantLine(Folder(), "alpha2_beta6", 0, false));
    EXPECT_EQ(line["name"], "alpha2_beta6");
    EXPECT_EQ(line["values"].dump(), "{\"modpar alpha\":2,\"modpar beta\":6}");
    EXPECT_EQ(line["seed"], 11);
    EXPECT_EQ(line["images"], Json({"base-sweep/alpha2_beta6_A000040.png"}));
    EXPECT_EQ(line["uniform"], true);
    EXPECT_FALSE(line.contains("skipped"));
    scripttest::WriteFile(Folder() + "/alpha3.5_beta6_A000020.png", "x");
    line = Json::parse(manifest.VariantLine(Folder(), "alpha3.5_beta6", 5, true));
    EXPECT_EQ(line["status"], 5);
    EXPECT_EQ(line["skipped"], true);
    EXPECT_EQ(line["images"], Json({Folder() + "/alpha3.5_beta6_A000020.png"}));
    EXPECT_FALSE(line.contains("uniform"));

    // A variant run again without a report loses the mark of the run before.
    std::filesystem::remove(Folder() + "/alpha2_beta6.json");
    SweepManifest again;
    ASSERT_EQ(again.Update(Folder()), SweepManifest::Done);
    // Read back by another manifest (--contact-sheet), the list is as it was written.
    EXPECT_EQ(Read(), written);
}

TEST_F(SweepManifestTest, UpdateLeavesAFileItCannotReadAsItIs) {
    std::filesystem::create_directories(Folder());
    SweepManifest manifest;
    EXPECT_EQ(manifest.Update(Folder()), SweepManifest::Missing);
    for (const char *text : {"[1, 2", "{\"variants\": 3}", "[]"}) {
        scripttest::WriteFile(Folder() + "/sweep.json", text);
        EXPECT_EQ(manifest.Update(Folder()), SweepManifest::Failed) << text;
        EXPECT_NE(manifest.Error.find("sweep.json: "), std::string::npos);
        EXPECT_EQ(scripttest::ReadFile(Folder() + "/sweep.json"), text);
    }
}

}  // namespace
