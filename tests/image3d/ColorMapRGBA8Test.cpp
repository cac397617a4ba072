#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "image3d/ColorMapRGBA8.h"
#include "toolkit/RandomGenerator.h"

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

void PrintTo(const Rgb &c, std::ostream *os) {
    *os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

Rgb EntryAt(const ColorMapRGBA8 &map, int index) {
    const unsigned char *e = map.GetPtrFirstEntry() + size_t(index) * 4;
    return Rgb{e[2], e[1], e[0]};
}

int AlphaAt(const ColorMapRGBA8 &map, int index) {
    return map.GetPtrFirstEntry()[size_t(index) * 4 + 3];
}

// Every entry gets a colour no builder makes, with alpha 9, so unwritten entries show.
void Scribble(ColorMapRGBA8 &map) {
    for (int i = 0; i < map.GetColorCount(); ++i)
        ASSERT_EQ(map.SetColorRGBA(i, 1, 2, 3, 9), ColorMapRGBA8::MapDone);
}

std::vector<unsigned char> ReadAll(FILE *file) {
    std::vector<unsigned char> bytes(size_t(std::ftell(file)));
    std::rewind(file);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    return bytes;
}

using Builder = std::function<ColorMapRGBA8::MapResult(ColorMapRGBA8 &)>;

struct NamedBuilder {
    const char *name;
    Builder build;
};

const NamedBuilder kBuilders[] = {
    {"Gray", [](ColorMapRGBA8 &m) { return m.SetGrayColorMap(); }},
    {"Rgb", [](ColorMapRGBA8 &m) { return m.SetLinearRGBColorMap(0, 255, 30, 200, 255, 0); }},
    {"Hsl", [](ColorMapRGBA8 &m) { return m.SetLinearHSLColorMap(0, 360, 1, 0.5, 255, 100); }},
    {"Xyz", [](ColorMapRGBA8 &m) { return m.SetLinearXYZColorMap(0, 1, 0, 1, 0, 1); }},
    {"Cmyk", [](ColorMapRGBA8 &m) { return m.SetLinearCMYKColorMap(0, 255, 0, 0, 10, 20, 0, 90); }},
    {"Ycbcr", [](ColorMapRGBA8 &m) { return m.SetLinearYCBCRColorMap(0, 1, -0.5, 0.5, 0, 0); }},
    {"Random", [](ColorMapRGBA8 &m) { return m.SetRandomColorMap(0, 255, 0, 255, 0, 255); }},
};

}  // namespace

// ---- builders on their whole range of sizes ----------------------------------------------------

struct SizeCase {
    int builder;  // index into kBuilders
    int count;
};

void PrintTo(const SizeCase &c, std::ostream *os) {
    *os << kBuilders[c.builder].name << " on " << c.count << " entries";
}

class ColorMapRGBA8Sizes : public testing::TestWithParam<SizeCase> {};

// 10 entries is a size at which the accumulated sample position overshoots the last
// micro-step, so the last ramp sample is missed by the walk.
TEST_P(ColorMapRGBA8Sizes, WritesEveryEntryWithBlackAndWhiteEnds) {
    const SizeCase c = GetParam();
    ColorMapRGBA8 map(c.count);
    Scribble(map);
    ASSERT_EQ(kBuilders[c.builder].build(map), ColorMapRGBA8::MapDone);
    EXPECT_EQ(EntryAt(map, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(EntryAt(map, c.count - 1), (Rgb{255, 255, 255}));
    for (int i = 0; i < c.count; ++i) ASSERT_EQ(AlphaAt(map, i), 0) << "entry " << i;
}

std::vector<SizeCase> AllSizeCases() {
    std::vector<SizeCase> cases;
    for (int b = 0; b < int(std::size(kBuilders)); ++b) {
        for (int count : {4, 10, 256, 25303}) cases.push_back({b, count});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, ColorMapRGBA8Sizes, testing::ValuesIn(AllSizeCases()),
                         [](const testing::TestParamInfo<SizeCase> &p) {
                             return std::string(kBuilders[p.param.builder].name) + "_" +
                                    std::to_string(p.param.count);
                         });

TEST(ColorMapRGBA8Test, BuildersRefuseTooFewEntriesAndChangeNothing) {
    for (const NamedBuilder &b : kBuilders) {
        const bool needsTwo = std::string(b.name) == "Gray" || std::string(b.name) == "Random";
        for (int count : {0, 1, 2, 3}) {
            if (needsTwo && count >= 2) continue;
            ColorMapRGBA8 map(count);
            Scribble(map);
            EXPECT_EQ(b.build(map), ColorMapRGBA8::MapTooFewEntries) << b.name << " " << count;
            for (int i = 0; i < count; ++i) EXPECT_EQ(AlphaAt(map, i), 9);
        }
    }
}

TEST(ColorMapRGBA8Test, MapWithoutStoreHasNoEntriesAndRefusesEverything) {
    ColorMapRGBA8 huge(int(MemoryTable::MaxWords) + 1);
    ColorMapRGBA8 negative(-5);
    for (ColorMapRGBA8 *map : {&huge, &negative}) {
        EXPECT_EQ(map->GetColorCount(), 0);
        EXPECT_EQ(map->GetPtrFirstEntry(), nullptr);
        EXPECT_NE(map->GetPtrRawColorMap(), nullptr);
        EXPECT_EQ(map->SetColorRGBA(0, 1, 2, 3, 4), ColorMapRGBA8::MapFailed);
        for (const NamedBuilder &b : kBuilders) {
            EXPECT_EQ(b.build(*map), ColorMapRGBA8::MapTooFewEntries) << b.name;
        }
    }
    FILE *file = std::tmpfile();
    EXPECT_EQ(huge.RawWriteFileRGB(file), MemoryTable::Failed);
    EXPECT_EQ(huge.RawWriteFileRGBA(file), MemoryTable::Failed);
    EXPECT_EQ(huge.RawReadFile(file, 0), MemoryTable::Failed);
    EXPECT_EQ(std::ftell(file), 0);
    std::fclose(file);
}

// ---- exact colours of the ramps
// ------------------------------------------------------------------

struct RampCase {
    const char *name;
    Builder build;
    int count;
    std::vector<std::pair<int, Rgb>> expected;  // entry index, colour
};

void PrintTo(const RampCase &c, std::ostream *os) { *os << c.name; }

class ColorMapRGBA8Ramps : public testing::TestWithParam<RampCase> {};

TEST_P(ColorMapRGBA8Ramps, GivesTheseColours) {
    const RampCase &c = GetParam();
    ColorMapRGBA8 map(c.count);
    ASSERT_EQ(c.build(map), ColorMapRGBA8::MapDone);
    for (const auto &[index, colour] : c.expected) {
        EXPECT_EQ(EntryAt(map, index), colour) << "entry " << index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ColorMapRGBA8Ramps,
    testing::Values(
        RampCase{"Gray256",
                 [](ColorMapRGBA8 &m) { return m.SetGrayColorMap(); },
                 256,
                 {{0, {0, 0, 0}},
                  {1, {0, 0, 0}},
                  {2, {1, 1, 1}},
                  {3, {2, 2, 2}},
                  {4, {3, 3, 3}},
                  {254, {253, 253, 253}},
                  {255, {255, 255, 255}}}},
        RampCase{"Gray3",
                 [](ColorMapRGBA8 &m) { return m.SetGrayColorMap(); },
                 3,
                 {{0, {0, 0, 0}}, {1, {85, 85, 85}}, {2, {255, 255, 255}}}},
        RampCase{"RgbGrayRamp",
                 [](ColorMapRGBA8 &m) { return m.SetLinearRGBColorMap(0, 255, 0, 255, 0, 255); },
                 256,
                 {{0, {0, 0, 0}},
                  {1, {0, 0, 0}},
                  {2, {1, 1, 1}},
                  {128, {128, 128, 128}},
                  {253, {254, 254, 254}},
                  {254, {255, 255, 255}},
                  {255, {255, 255, 255}}}},
        RampCase{"RgbBouncesAt255",
                 [](ColorMapRGBA8 &m) { return m.SetLinearRGBColorMap(0, 510, 0, 0, 0, 0); },
                 256,
                 {{126, {252, 0, 0}},
                  {127, {254, 0, 0}},
                  {128, {254, 0, 0}},
                  {129, {252, 0, 0}},
                  {253, {2, 0, 0}},
                  {254, {0, 0, 0}}}},
        RampCase{"RgbTrueColourSize",
                 [](ColorMapRGBA8 &m) { return m.SetLinearRGBColorMap(0, 255, 0, 255, 0, 255); },
                 25303,
                 {{1, {0, 0, 0}}, {12651, {127, 127, 127}}, {25301, {255, 255, 255}}}},
        // Clamping comes before the sample: a start above the range is sampled at the bound.
        RampCase{"RgbClampsStartBeforeSampling",
                 [](ColorMapRGBA8 &m) { return m.SetLinearRGBColorMap(300, 0, 0, 0, 0, 0); },
                 256,
                 {{1, {255, 0, 0}}, {2, {254, 0, 0}}, {3, {253, 0, 0}}}},
        // The walk misses its last sample at this size; the last ramp entry repeats the one
        // before instead of keeping an old colour, and white stays on the last entry.
        RampCase{"RgbShortWalkRepeatsLastColour",
                 [](ColorMapRGBA8 &m) { return m.SetLinearRGBColorMap(0, 255, 0, 255, 0, 255); },
                 10,
                 {{1, {0, 0, 0}},
                  {2, {36, 36, 36}},
                  {7, {219, 219, 219}},
                  {8, {219, 219, 219}},
                  {9, {255, 255, 255}}}},
        RampCase{"HslOnceRoundTheCircle",
                 [](ColorMapRGBA8 &m) { return m.SetLinearHSLColorMap(0, 360, 1, 1, 255, 255); },
                 256,
                 {{1, {255, 0, 0}}, {43, {255, 254, 0}}, {128, {0, 255, 255}}, {254, {255, 0, 0}}}},
        // Sample first: the start lightness 300 is converted as given (300 wraps to 44).
        RampCase{"HslSamplesStartAsGiven",
                 [](ColorMapRGBA8 &m) { return m.SetLinearHSLColorMap(0, 0, 0, 0, 300, 0); },
                 256,
                 {{1, {44, 44, 44}}, {2, {254, 254, 254}}, {3, {253, 253, 253}}}},
        RampCase{"XyzWhitePoint",
                 [](ColorMapRGBA8 &m) { return m.SetLinearXYZColorMap(0, 1, 0, 1, 0, 1); },
                 256,
                 {{1, {0, 0, 0}}, {128, {153, 121, 116}}, {254, {255, 242, 232}}}},
        RampCase{"CmykCyan",
                 [](ColorMapRGBA8 &m) { return m.SetLinearCMYKColorMap(0, 255, 0, 0, 0, 0, 0, 0); },
                 256,
                 {{1, {255, 255, 255}}, {128, {127, 255, 255}}, {254, {0, 255, 255}}}},
        RampCase{"YcbcrLuma",
                 [](ColorMapRGBA8 &m) { return m.SetLinearYCBCRColorMap(0, 1, 0, 0, 0, 0); },
                 256,
                 {{1, {0, 0, 0}}, {128, {128, 128, 128}}, {254, {255, 255, 255}}}},
        // The start luma 1.5 is out of range: its sample is lost, every entry moves one sample
        // later and the walk runs past its end (reflecting off 0) for the last entry.
        RampCase{"YcbcrLostStartSample",
                 [](ColorMapRGBA8 &m) { return m.SetLinearYCBCRColorMap(1.5, 0, 0, 0, 0, 0); },
                 256,
                 {{1, {253, 253, 253}},
                  {2, {252, 252, 252}},
                  {253, {127, 127, 127}},
                  {254, {129, 129, 129}},
                  {255, {255, 255, 255}}}}),
    [](const testing::TestParamInfo<RampCase> &p) { return std::string(p.param.name); });

TEST(ColorMapRGBA8Test, HueOffByWholeTurnsGivesTheSameMap) {
    ColorMapRGBA8 negative(256), positive(256);
    ASSERT_EQ(negative.SetLinearHSLColorMap(-60, 300, 1, 1, 255, 255), ColorMapRGBA8::MapDone);
    ASSERT_EQ(positive.SetLinearHSLColorMap(300, 660, 1, 1, 255, 255), ColorMapRGBA8::MapDone);
    EXPECT_EQ(EntryAt(negative, 1), (Rgb{255, 0, 255}));
    for (int i = 0; i < 256; ++i) ASSERT_EQ(EntryAt(negative, i), EntryAt(positive, i)) << i;
}

TEST(ColorMapRGBA8Test, NonFiniteRampValuesDoNotCrash) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ColorMapRGBA8 map(256);
    EXPECT_EQ(map.SetLinearHSLColorMap(nan, inf, nan, 1, 1e300, -inf), ColorMapRGBA8::MapDone);
    EXPECT_EQ(map.SetLinearRGBColorMap(nan, inf, 0, 1e300, -1e300, 0), ColorMapRGBA8::MapDone);
    EXPECT_EQ(map.SetLinearCMYKColorMap(nan, inf, 0, 1e300, -1e300, 0, 0, 0),
              ColorMapRGBA8::MapDone);
    EXPECT_EQ(map.SetLinearXYZColorMap(nan, inf, 0, 1e300, -1e300, 0), ColorMapRGBA8::MapDone);
    EXPECT_EQ(map.SetLinearYCBCRColorMap(nan, nan, nan, nan, nan, nan), ColorMapRGBA8::MapDone);
    // Nothing converts, so the ramp is black between black and white.
    EXPECT_EQ(EntryAt(map, 1), (Rgb{0, 0, 0}));
    EXPECT_EQ(EntryAt(map, 254), (Rgb{0, 0, 0}));
    EXPECT_EQ(EntryAt(map, 255), (Rgb{255, 255, 255}));
}

// ---- conversions -------------------------------------------------------------------------------

// Inputs in argument order; CMYK takes the integer parts of all four, the others use three.
struct ConversionCase {
    const char *name;
    char space;  // 'H' HSL, 'X' XYZ, 'C' CMYK, 'Y' YCbCr
    float in[4];
    ColorMapRGBA8::MapResult result;
    Rgb colour;
};

void PrintTo(const ConversionCase &c, std::ostream *os) { *os << c.name; }

class ColorMapRGBA8Conversions : public testing::TestWithParam<ConversionCase> {};

TEST_P(ColorMapRGBA8Conversions, GiveThisColour) {
    const ConversionCase &c = GetParam();
    Rgb out{-1, -1, -1};
    ColorMapRGBA8::MapResult result = ColorMapRGBA8::MapTooFewEntries;  // none of them
    switch (c.space) {
        case 'H':
            result = ColorMapRGBA8::ConvertHSLtoRGB(c.in[0], c.in[1], c.in[2], out.r, out.g, out.b);
            break;
        case 'X':
            result = ColorMapRGBA8::ConvertXYZtoRGB(c.in[0], c.in[1], c.in[2], out.r, out.g, out.b);
            break;
        case 'C':
            result = ColorMapRGBA8::ConvertCMYKtoRGB(int(c.in[0]), int(c.in[1]), int(c.in[2]),
                                                     int(c.in[3]), out.r, out.g, out.b);
            break;
        default:
            result =
                ColorMapRGBA8::ConvertYCBCRtoRGB(c.in[0], c.in[1], c.in[2], out.r, out.g, out.b);
    }
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(out, c.colour);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ColorMapRGBA8Conversions,
    testing::Values(
        ConversionCase{"HslGray", 'H', {0, 0, 128.4f}, ColorMapRGBA8::MapDone, {128, 128, 128}},
        ConversionCase{"HslGreen", 'H', {120, 1, 255}, ColorMapRGBA8::MapDone, {0, 255, 0}},
        ConversionCase{
            "HslMinus60IsMagenta", 'H', {-60, 1, 255}, ColorMapRGBA8::MapDone, {255, 0, 255}},
        ConversionCase{"Hsl420IsYellow", 'H', {420, 1, 255}, ColorMapRGBA8::MapDone, {255, 255, 0}},
        ConversionCase{
            "HslRisingEdgeIsLinear", 'H', {30, 1, 255}, ColorMapRGBA8::MapDone, {255, 128, 0}},
        ConversionCase{
            "HslFallingEdgeIsSquared", 'H', {90, 1, 255}, ColorMapRGBA8::MapDone, {191, 255, 0}},
        ConversionCase{
            "HslHalfSaturation", 'H', {90, 0.5f, 200}, ColorMapRGBA8::MapDone, {175, 200, 100}},
        ConversionCase{
            "HslJustBelowFullTurn", 'H', {-1e-6f, 1, 255}, ColorMapRGBA8::MapDone, {255, 0, 0}},
        ConversionCase{"XyzWhite", 'X', {1, 1, 1}, ColorMapRGBA8::MapDone, {255, 242, 232}},
        ConversionCase{
            "XyzLimitsNegative", 'X', {0.2f, 0.1f, 0.05f}, ColorMapRGBA8::MapDone, {115, 0, 11}},
        ConversionCase{"CmykWhite", 'C', {0, 0, 0, 0}, ColorMapRGBA8::MapDone, {255, 255, 255}},
        ConversionCase{"CmykCyan", 'C', {255, 0, 0, 0}, ColorMapRGBA8::MapDone, {0, 255, 255}},
        ConversionCase{
            "CmykBlackCoversInk", 'C', {100, 0, 0, 100}, ColorMapRGBA8::MapDone, {94, 155, 155}},
        ConversionCase{"CmykRejects256", 'C', {0, 0, 256, 0}, ColorMapRGBA8::MapFailed, {0, 0, 0}},
        ConversionCase{
            "CmykRejectsNegative", 'C', {0, 0, 0, -1}, ColorMapRGBA8::MapFailed, {0, 0, 0}},
        ConversionCase{"YcbcrWhite", 'Y', {1, 0, 0}, ColorMapRGBA8::MapDone, {255, 255, 255}},
        ConversionCase{
            "YcbcrAcceptsCrHalf", 'Y', {0, 0, 0.5f}, ColorMapRGBA8::MapDone, {179, 0, 0}},
        ConversionCase{"YcbcrAcceptsCbMinusHalf",
                       'Y',
                       {0.5f, -0.5f, 0},
                       ColorMapRGBA8::MapDone,
                       {128, 172, 0}},
        ConversionCase{
            "YcbcrRejectsCrAboveHalf", 'Y', {0, 0, 0.5001f}, ColorMapRGBA8::MapFailed, {0, 0, 0}},
        ConversionCase{
            "YcbcrRejectsNegativeLuma", 'Y', {-0.01f, 0, 0}, ColorMapRGBA8::MapFailed, {0, 0, 0}}),
    [](const testing::TestParamInfo<ConversionCase> &p) { return std::string(p.param.name); });

// ---- random map
// ----------------------------------------------------------------------------------

TEST(ColorMapRGBA8Test, RandomMapDrawsBlueGreenRedWithinRangesFromTheProcessGenerator) {
    ColorMapRGBA8 map(300);
    MainRandom.Randomize(12345);
    ASSERT_EQ(map.SetRandomColorMap(7, 7, 10, 20, 0, 255), ColorMapRGBA8::MapDone);
    // The same seed gives the same draws, taken blue, green, red for each entry in turn.
    MainRandom.Randomize(12345);
    bool blueVaries = false;
    for (int i = 1; i <= 298; ++i) {
        const int blue = int(RandomGenerator::Rand() * 256.0 / 32767.0);
        const int green = 10 + int(RandomGenerator::Rand() * 11.0 / 32767.0);
        RandomGenerator::Rand();
        ASSERT_EQ(EntryAt(map, i), (Rgb{7, green, blue})) << "entry " << i;
        ASSERT_LE(green, 20);
        blueVaries = blueVaries || blue != EntryAt(map, 1).b;
    }
    EXPECT_TRUE(blueVaries);
}

// ---- single entries, sharing, files -------------------------------------------------------------

TEST(ColorMapRGBA8Test, SetColorStoresBlueGreenRedAlphaAndRefusesOutsideIndices) {
    ColorMapRGBA8 map(256);
    EXPECT_EQ(map.SetColorRGBA(255, 10, 20, 30, 40), ColorMapRGBA8::MapDone);
    const unsigned char *e = map.GetPtrFirstEntry() + 255 * 4;
    EXPECT_EQ((std::vector<int>{e[0], e[1], e[2], e[3]}), (std::vector<int>{30, 20, 10, 40}));
    EXPECT_EQ(map.SetColorRGBA(256, 1, 1, 1, 1), ColorMapRGBA8::MapFailed);
    EXPECT_EQ(map.SetColorRGBA(-1, 1, 1, 1, 1), ColorMapRGBA8::MapFailed);
    EXPECT_EQ(map.GetPtrRawColorMap()->OverflowDetected(), MemoryTable::Guard::Intact);
}

TEST(ColorMapRGBA8Test, SharedMapsSeeEachOthersChangesAndOwnerSurvivesTheView) {
    ColorMapRGBA8 owner(256);
    {
        ColorMapRGBA8 view(5);
        ASSERT_EQ(view.ShareColorMap(owner), ColorMapRGBA8::MapDone);
        EXPECT_EQ(view.GetColorCount(), 256);
        ASSERT_EQ(view.SetLinearRGBColorMap(0, 255, 0, 255, 0, 255), ColorMapRGBA8::MapDone);
        EXPECT_EQ(EntryAt(owner, 128), (Rgb{128, 128, 128}));
        ASSERT_EQ(owner.SetLinearCMYKColorMap(0, 255, 0, 0, 0, 0, 0, 0), ColorMapRGBA8::MapDone);
        EXPECT_EQ(EntryAt(view, 254), (Rgb{0, 255, 255}));
    }
    EXPECT_EQ(EntryAt(owner, 254), (Rgb{0, 255, 255}));
    EXPECT_EQ(owner.GetPtrRawColorMap()->OverflowDetected(), MemoryTable::Guard::Intact);
}

TEST(ColorMapRGBA8Test, SharingAMapWithoutStoreIsRefusedAndChangesNothing) {
    ColorMapRGBA8 broken(int(MemoryTable::MaxWords) + 1);
    ColorMapRGBA8 map(4);
    ASSERT_EQ(map.SetGrayColorMap(), ColorMapRGBA8::MapDone);
    EXPECT_EQ(map.ShareColorMap(broken), ColorMapRGBA8::MapFailed);
    EXPECT_EQ(map.GetColorCount(), 4);
    EXPECT_EQ(EntryAt(map, 3), (Rgb{255, 255, 255}));
    EXPECT_EQ(map.ShareColorMap(map), ColorMapRGBA8::MapDone);
    EXPECT_EQ(EntryAt(map, 3), (Rgb{255, 255, 255}));
}

TEST(ColorMapRGBA8Test, WritesPaletteAndColourMapBytesAndReadsThemBack) {
    ColorMapRGBA8 map(3);
    ASSERT_EQ(map.SetColorRGBA(1, 10, 20, 30, 40), ColorMapRGBA8::MapDone);
    ASSERT_EQ(map.SetColorRGBA(2, 50, 60, 70, 80), ColorMapRGBA8::MapDone);

    FILE *rgb = std::tmpfile();
    EXPECT_EQ(map.RawWriteFileRGB(rgb), MemoryTable::Done);
    EXPECT_EQ(ReadAll(rgb), (std::vector<unsigned char>{0, 0, 0, 30, 20, 10, 70, 60, 50}));
    std::fclose(rgb);

    FILE *rgba = std::tmpfile();
    EXPECT_EQ(map.RawWriteFileRGBA(rgba), MemoryTable::Done);
    EXPECT_EQ(ReadAll(rgba),
              (std::vector<unsigned char>{0, 0, 0, 0, 30, 20, 10, 40, 70, 60, 50, 80}));

    // Reading count 2 fills only the first two entries; count 0 reads all.
    ColorMapRGBA8 copy(3);
    ASSERT_EQ(copy.SetColorRGBA(2, 1, 2, 3, 4), ColorMapRGBA8::MapDone);
    std::rewind(rgba);
    EXPECT_EQ(copy.RawReadFile(rgba, 2), MemoryTable::Done);
    EXPECT_EQ(EntryAt(copy, 1), (Rgb{10, 20, 30}));
    EXPECT_EQ(EntryAt(copy, 2), (Rgb{1, 2, 3}));
    std::rewind(rgba);
    EXPECT_EQ(copy.RawReadFile(rgba, 0), MemoryTable::Done);
    EXPECT_EQ(EntryAt(copy, 2), (Rgb{50, 60, 70}));
    EXPECT_EQ(AlphaAt(copy, 2), 80);

    // A file of 3 entries read into 4: short read, the fourth entry untouched.
    ColorMapRGBA8 larger(4);
    ASSERT_EQ(larger.SetColorRGBA(3, 9, 9, 9, 9), ColorMapRGBA8::MapDone);
    std::rewind(rgba);
    EXPECT_EQ(larger.RawReadFile(rgba, 0), MemoryTable::ShortRead);
    EXPECT_EQ(EntryAt(larger, 2), (Rgb{50, 60, 70}));
    EXPECT_EQ(EntryAt(larger, 3), (Rgb{9, 9, 9}));
    std::fclose(rgba);

    EXPECT_EQ(map.RawWriteFileRGB(nullptr), MemoryTable::Failed);
    EXPECT_EQ(map.RawWriteFileRGBA(nullptr), MemoryTable::Failed);
    EXPECT_EQ(map.RawReadFile(nullptr, 0), MemoryTable::Failed);
}

TEST(ColorMapRGBA8Test, DumpShowsOneEntryPerLine) {
    ColorMapRGBA8 map(2);
    ASSERT_EQ(map.SetGrayColorMap(), ColorMapRGBA8::MapDone);
    const std::string path = testing::TempDir() + "colormap_dump.txt";
    ASSERT_EQ(map.DumpTextFile(path.c_str()), MemoryTable::Done);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "\n   0 (00000)   000 000 000 000 \n   1 (00004)   255 255 255 000 ");
    std::remove(path.c_str());
    EXPECT_EQ(map.DumpTextFile(nullptr), MemoryTable::Failed);
}
