#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "image3d/ColorMapRGBA8.h"
#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/ProcString.h"
#include "toolkit/StringTable.h"

namespace {

std::string Entries(ColorMapRGBA8 &map) {
    const MemoryTable *store = map.GetPtrRawColorMap();
    return std::string(reinterpret_cast<const char *>(store->GetData()), store->GetByteSize());
}

struct ColorMapText {
    const char *Name;
    const char *Text;
    int Message;          // 0: accepted
    const char *StopsAt;  // text at the cursor afterwards
};

// clang-format off
const ColorMapText ColorMapTexts[] = {
    {"Gray", "gray\n", 0, "\n"},
    {"GrayAtTextEnd", "gray", 0, ""},
    {"Rgb", "rgb 0 255 10 20 255 0\n", 0, "\n"},
    {"Hsl", "hsl 0 360 1 0.5 0 255\n", 0, "\n"},
    {"Xyz", "xyz 0 1 0 1 0.5 0.5\n", 0, "\n"},
    {"Cmyk", "cmyk 0 255 0 0 255 0 0 0\n", 0, "\n"},
    {"Ycbcr", "ycbcr 0 1 -0.5 0.5 0 0\n", 0, "\n"},
    {"Nothing", "\n", 72, "\n"},
    {"Misspelt", "grey\n", 73, "grey\n"},
    {"Capitals", "RGB 0 255 0 255 0 255\n", 73, "RGB 0 255 0 255 0 255\n"},
    {"GrayWithText", "gray 1\n", 61, "1\n"},
    {"RgbFiveNumbers", "rgb 0 255 0 255 0\n", 62, "\n"},
    {"RgbSevenNumbers", "rgb 0 255 0 255 0 255 7\n", 63, "7\n"},
    {"RgbRealNumber", "rgb 0 0.5 0 255 0 255\n", 62, ".5 0 255 0 255\n"},
    {"HslMissing", "hsl 0 360 x\n", 64, "x\n"},
    {"HslTextAfter", "hsl 0 360 1 1 0 255 0\n", 65, "0\n"},
    {"XyzMissing", "xyz 0 1\n", 66, "\n"},
    {"XyzExponent", "xyz 0 1 0 1 0 1e0\n", 67, "e0\n"},
    {"CmykMissing", "cmyk 0 255 0 255\n", 68, "\n"},
    {"CmykTextAfter", "cmyk 0 255 0 255 0 255 0 255 k\n", 69, "k\n"},
    {"YcbcrMissing", "ycbcr 0 1 -0.5\n", 70, "\n"},
    {"YcbcrTextAfter", "ycbcr 0 1 -0.5 0.5 0 0 //\n", 71, "//\n"},
};
// clang-format on

class ColorMapTextTest : public testing::TestWithParam<ColorMapText> {
protected:
    void SetUp() override {
        LoadGST();
        EXPECT_EQ(GST.SetLanguage(StringTable::English), StringTable::Done);
    }
};

}  // namespace

// A faulty specification names its fault, stops the cursor on it and keeps both maps; a
// correct one builds both.
TEST_P(ColorMapTextTest, ReadsSpecification) {
    const ColorMapText &c = GetParam();
    ReaDifSimulation sim(4);
    ASSERT_EQ(sim.ColorMaps8[0]->SetLinearRGBColorMap(255, 0, 0, 0, 0, 255),
              ColorMapRGBA8::MapDone);
    ASSERT_EQ(sim.ColorMaps24[0]->SetLinearRGBColorMap(255, 0, 0, 0, 0, 255),
              ColorMapRGBA8::MapDone);
    std::string before8 = Entries(*sim.ColorMaps8[0]);
    std::string before24 = Entries(*sim.ColorMaps24[0]);
    ProcString line(c.Text, 0);
    ProcString error("untouched", 0);
    const ReaDifSimulation::Result result = sim.SetColorMapFromString(line, error);
    EXPECT_STREQ(line.GetCursor(), c.StopsAt);
    if (c.Message == 0) {
        EXPECT_EQ(result, ReaDifSimulation::Done);
        EXPECT_STREQ(error.GetString(), "untouched");
        EXPECT_NE(Entries(*sim.ColorMaps8[0]), before8);
        EXPECT_NE(Entries(*sim.ColorMaps24[0]), before24);
    } else {
        EXPECT_EQ(result, ReaDifSimulation::Refused);
        EXPECT_STREQ(error.GetString(), GST.Get(c.Message));
        EXPECT_EQ(Entries(*sim.ColorMaps8[0]), before8);
        EXPECT_EQ(Entries(*sim.ColorMaps24[0]), before24);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, ColorMapTextTest, testing::ValuesIn(ColorMapTexts),
                         [](const testing::TestParamInfo<ColorMapText> &row) {
                             return std::string(row.param.Name);
                         });

// Both maps get the numbers in the order written, the kinds converted as the space wants.
TEST(ReaDifSimulationColorMapTest, BuildsBothMapsWithTheNumbersAsWritten) {
    ReaDifSimulation sim(4);
    ProcString line("hsl -60 300 0.75 0.25 40 250\n", 0);
    ProcString error(0);
    ASSERT_EQ(sim.SetColorMapFromString(line, error), ReaDifSimulation::Done);
    ColorMapRGBA8 small(256);
    ColorMapRGBA8 large(25303);
    ASSERT_EQ(small.SetLinearHSLColorMap(-60, 300, double(0.75f), double(0.25f), 40, 250),
              ColorMapRGBA8::MapDone);
    ASSERT_EQ(large.SetLinearHSLColorMap(-60, 300, double(0.75f), double(0.25f), 40, 250),
              ColorMapRGBA8::MapDone);
    EXPECT_EQ(Entries(*sim.ColorMaps8[0]), Entries(small));
    EXPECT_EQ(Entries(*sim.ColorMaps24[0]), Entries(large));
}
