#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "toolkit/EditorText.h"

namespace {

struct LengthCase {
    const char *Name;
    const char *Text;
    int32_t Bytes;  // bytes measured; -1: the whole string
    int32_t Units;
};

class EditorLengthTest : public testing::TestWithParam<LengthCase> {};

TEST_P(EditorLengthTest, CountsUtf16UnitsAsTheEditorDoes) {
    const LengthCase &c = GetParam();
    const int32_t bytes = c.Bytes >= 0 ? c.Bytes : int32_t(std::strlen(c.Text));
    EXPECT_EQ(EditorLength(c.Text, bytes), c.Units);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EditorLengthTest,
    testing::Values(LengthCase{"Empty", "", -1, 0}, LengthCase{"Ascii", "size 40 30", -1, 10},
                    LengthCase{"TwoByte", "\xC3\xA9t\xC3\xA9", -1, 3},  // été
                    LengthCase{"ThreeByte",
                               "\xE2\x82\xAC"
                               "5",
                               -1, 2},  // €5
                    LengthCase{"FourByteIsASurrogatePair", "a\xF0\x9F\x98\x80z", -1, 4},
                    LengthCase{"CrLfIsOneBreak", "a\r\nb\r\n", -1, 4},
                    LengthCase{"LoneCrAndLfEachCount", "a\rb\nc", -1, 5},
                    LengthCase{"CrLfCutBeforeLfIsTheCr", "a\r\nb", 2, 2},
                    LengthCase{"StrayTrailByte", "a\x80z", -1, 3},
                    LengthCase{"OverlongLeadIsOneEach", "\xC0\xAF", -1, 2},
                    LengthCase{"TruncatedSequenceCountsItsBytes", "\xE2\x82z", -1, 3},
                    LengthCase{"SequenceCutByTheLength", "x\xF0\x9F\x98\x80", 3, 3}),
    [](const testing::TestParamInfo<LengthCase> &row) { return std::string(row.param.Name); });

}  // namespace
