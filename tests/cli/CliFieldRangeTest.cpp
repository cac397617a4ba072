// What vorna-cli tells of the fields its images show: every image's range in --json, the
// warning for an autoscaled uniform field, --scale run, and the report of a faulty script.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "cli/CliTestSupport.h"
#include "rdsimul/ScriptTestSupport.h"

using scripttest::ReadFile;
using scripttest::WriteFile;

namespace {

// A Turing pattern growing out of its noise: every image's range is wider than the one before.
const std::string GrowingScript =
    "model brusselator\nmodpar alpha 3\nmodpar beta 7\nreaction A 0.01\nreaction B 0.01\n"
    "diffusion A 0.2\ndiffusion B 1\ninit A 3 0.2\ninit B 2.33 0.2\nsize 24 20\n"
    "iterations 600\nrandseed 11\ncolormap hsl 220 40 0.8 0.6 40 255\n"
    "image256 A t+200 autoscale\n";

std::string Replaced(std::string text, const std::string &from, const std::string &to) {
    return text.replace(text.find(from), from.size(), to);
}

// The lowest and highest palette index of an 8-bit BMP's pixels (the rows' padding left out).
std::pair<int, int> IndexRange(const std::string &bmp) {
    auto le32 = [&bmp](size_t at) {
        return uint32_t(uint8_t(bmp[at])) | uint32_t(uint8_t(bmp[at + 1])) << 8 |
               uint32_t(uint8_t(bmp[at + 2])) << 16 | uint32_t(uint8_t(bmp[at + 3])) << 24;
    };
    const uint32_t offset = le32(10);
    const uint32_t width = le32(18);
    const uint32_t height = le32(22);
    const uint32_t stride = (width + 3) / 4 * 4;
    int low = 255, high = 0;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const int index = uint8_t(bmp.at(offset + y * stride + x));
            low = std::min(low, index);
            high = std::max(high, index);
        }
    }
    return {low, high};
}

class CliFieldRangeTest : public clitest::CliRunTest {
protected:
    void SetUp() override {
        CliRunTest::SetUp();
        Script = PathOf("tex.vna");
    }
    // The JSON objects the run printed.
    std::vector<nlohmann::json> Rounds() {
        std::vector<nlohmann::json> rounds;
        std::istringstream lines(Text(Out));
        for (std::string line; std::getline(lines, line);) {
            rounds.push_back(nlohmann::json::parse(line));
        }
        return rounds;
    }
};

// Every image's range is reported, the last one as the round's; a field flat to within the
// threshold is uniform, and warned of only when autoscale would stretch it.
TEST_F(CliFieldRangeTest, RangesAreReportedAndAutoscaledUniformFieldsWarned) {
    struct Case {
        const char *name;
        std::string script;
        bool uniform;
        bool warned;
    };
    const std::string flat = Replaced(clitest::SmallScript, "init A 0.75 0.5", "init A 0.75 0");
    const Case cases[] = {
        {"pattern", clitest::SmallScript, false, false},
        {"flat, autoscaled", flat, true, true},
        {"flat, fixed scale", Replaced(flat, "autoscale", "*2.5 -0.3"), true, false},
        // Noise of a part in 10^5 of the values: what a field settled by the model keeps.
        {"settled", Replaced(clitest::SmallScript, "init A 0.75 0.5", "init A 8 0.0001"), true,
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ClearStreams();
        WriteFile(Script, c.script);
        ASSERT_EQ(RunLine({"--json", "-q"}), CliRunner::ExitDone) << Text(Err);
        const std::vector<nlohmann::json> rounds = Rounds();
        ASSERT_EQ(rounds.size(), 1u);
        const nlohmann::json &round = rounds[0];
        ASSERT_EQ(round["ranges"].size(), 3u);
        EXPECT_EQ(round["ranges"][2]["image"], PathOf("tex_A000025.bmp"));
        EXPECT_EQ(round["ranges"][2]["iteration"], 25);
        const double low = round["range"][0], high = round["range"][1];
        EXPECT_EQ(round["ranges"][2]["min"], low);
        EXPECT_EQ(round["ranges"][2]["max"], high);
        EXPECT_LE(low, high);
        EXPECT_EQ(round["uniform"], c.uniform);
        const std::string err = Text(Err);
        const size_t warning = err.find("warning: the field of A at iteration 10 is uniform");
        EXPECT_EQ(warning != std::string::npos, c.warned) << err;
        if (c.warned) {
            EXPECT_NE(err.find("autoscale shows rounding noise"), std::string::npos);
            // Once a round, not once an image.
            EXPECT_EQ(err.find("warning:", warning + 1), std::string::npos) << err;
        }
    }
}

// --scale run stretches the colours over the whole run once: the run's lowest and highest value
// land on colours 1 and 254 somewhere, and the fields are those of the plain run.
TEST_F(CliFieldRangeTest, ScaleRunUsesOneRangeForEveryImage) {
    WriteFile(Script, GrowingScript);
    ASSERT_EQ(RunLine({"--json", "-q"}), CliRunner::ExitDone) << Text(Err);
    const nlohmann::json plain = Rounds().at(0);
    std::vector<std::pair<int, int>> plainIndexes;
    for (const auto &image : plain["images"]) plainIndexes.push_back(IndexRange(ReadFile(image)));
    ClearStreams();
    ASSERT_EQ(RunLine({"--json", "-q", "--scale=run"}), CliRunner::ExitDone) << Text(Err);
    const nlohmann::json scaled = Rounds().at(0);
    EXPECT_EQ(scaled["ranges"], plain["ranges"]);  // the second pass grew the same fields
    ASSERT_EQ(scaled["images"], plain["images"]);

    double low = 1e30, high = -1e30;
    for (const auto &range : plain["ranges"]) {
        low = std::min(low, range["min"].get<double>());
        high = std::max(high, range["max"].get<double>());
    }
    int lowest = 255, highest = 0;
    int images = 0, spanningAll = 0;
    for (const auto &image : scaled["images"]) {
        const auto [first, last] = IndexRange(ReadFile(image));
        EXPECT_EQ(plainIndexes[size_t(images)], std::make_pair(1, 254));
        lowest = std::min(lowest, first);
        highest = std::max(highest, last);
        if (first == 1 && last == 254) ++spanningAll;
        ++images;
    }
    EXPECT_EQ(lowest, 1);
    EXPECT_EQ(highest, 254);
    // The images' ranges differ, so no single one spans the run's (else nothing was shown).
    EXPECT_LT(spanningAll, images);
    EXPECT_LT(plain["ranges"][0]["max"].get<double>() - plain["ranges"][0]["min"].get<double>(),
              high - low);
}

// A faulty script's report carries its errors and warnings with their lines; a round that ran
// carries the model's parameters and the diffusion coefficients; --json-file gets the same
// objects as stdout.
TEST_F(CliFieldRangeTest, ReportCarriesErrorsParametersAndGoesIntoAFile) {
    WriteFile(Script,
              "model brusselator\nmodpar alpha 3\nmodpar beta 7\nmodpar zz 1\n"
              "reaction A 0.01\nreaction B 0.01\ndiffusion A 0.2\ndiffusion B 1\n"
              "init A 3 0.2\ninit B 2.33 0.2\nsize 12 10\niterations 5\nrandseed 3\n"
              "colormap hsl 220 40 0.8 0.6 40 255\nimage256 A t+5 autoscale\n");
    const std::string file = PathOf("report.json");
    ASSERT_EQ(RunLine({"--json", "-q", "--json-file=" + file}), CliRunner::ExitDone) << Text(Err);
    EXPECT_EQ(ReadFile(file), Text(Out));
    nlohmann::json round = Rounds().at(0);
    EXPECT_EQ(round["parameters"]["alpha"], 3.0);
    EXPECT_EQ(round["parameters"]["beta"], 7.0);
    EXPECT_EQ(round["diffusion"], nlohmann::json({{"A", 0.2}, {"B", 1.0}}));
    ASSERT_EQ(round["warnings"].size(), 1u);  // zz is read by no model
    EXPECT_EQ(round["warnings"][0]["line"], 4);
    EXPECT_EQ(round["errors"], nlohmann::json::array());

    ClearStreams();
    WriteFile(Script, "model brusselator\nsize 5 5\niterations 10\nfoo 3\n");
    EXPECT_EQ(RunLine({"--json", "-q", "--json-file=" + file}), CliRunner::ExitScriptErrors);
    EXPECT_EQ(ReadFile(file), Text(Out));
    round = Rounds().at(0);
    EXPECT_EQ(round["status"], CliRunner::ExitScriptErrors);
    ASSERT_FALSE(round["errors"].empty());
    bool lineFour = false;
    for (const auto &error : round["errors"]) {
        EXPECT_FALSE(error["message"].get<std::string>().empty());
        lineFour = lineFour || error["line"] == 5;  // foo, below its annotation
    }
    EXPECT_TRUE(lineFour) << round.dump();
    EXPECT_EQ(round["range"], nullptr);
}

// The formula model's report names the parameters its formulas read, as first written.
TEST_F(CliFieldRangeTest, FormulaReportCarriesTheParametersOfItsFormulas) {
    WriteFile(Script,
              "model formula\nformula A Feed*(1 - A) - A*B^2\nformula B A*B^2 - (feed + kill)*B\n"
              "modpar feed 0.5\nmodpar kill 0.25\nreaction A 1\nreaction B 1\n"
              "diffusion A 0.8\ndiffusion B 0.4\ninit A 1 0\ninit B 0 0.1\nsize 12 10\n"
              "iterations 5\ncolormap gray\nimage256 B t+5 autoscale\n");
    ASSERT_EQ(RunLine({"--json", "-q"}), CliRunner::ExitDone) << Text(Err);
    const nlohmann::json round = Rounds().at(0);
    EXPECT_EQ(round["parameters"], nlohmann::json({{"Feed", 0.5}, {"kill", 0.25}}));
}

}  // namespace
