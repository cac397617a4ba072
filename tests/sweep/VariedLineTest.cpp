// VariedLine: the varied line and its values, read from a --vary text.
#include <gtest/gtest.h>

#include "sweep/VariedLine.h"

namespace {

struct VariedLineCase {
    const char *Text;
    bool Accepted;
    std::vector<std::string> Values;
    const char *Label;
};

TEST(VariedLine, ReadsRangesAndLists) {
    const VariedLineCase cases[] = {
        {"modpar beta 6:10:5", true, {"6", "7", "8", "9", "10"}, "beta"},
        {"diffusion B 0.5:1:3", true, {"0.5", "0.75", "1"}, "diffusionB"},
        // Thirds keep 8 decimals; the last value is exactly 'to', not a sum of steps.
        {"modpar alpha 1:2:4", true, {"1", "1.33333333", "1.66666667", "2"}, "alpha"},
        {"init A 3 -0.3:0.3:3", true, {"-0.3", "0", "0.3"}, "initA3"},
        {"modpar beta 7:7:1", true, {"7"}, "beta"},
        {"modpar beta 6,7.5,9", true, {"6", "7.5", "9"}, "beta"},
        {"modpar beta 6", true, {"6"}, "beta"},
        {"modpar beta 1e-3", false, {}, ""},  // the parser reads no exponent
        {"modpar beta +6,7", false, {}, ""},  // nor a plus sign
        {"modpar beta 6,,7", false, {}, ""},
        {"modpar beta 6:10", false, {}, ""},
        {"modpar beta 6:10:0", false, {}, ""},
        {"modpar beta 6:10:-2", false, {}, ""},
        {"modpar beta 6:10:1001", false, {}, ""},
        {"6:10:5", false, {}, ""},  // no line named
        // Long ends are written whole, never cut; beyond what any script number holds, refused.
        {"modpar alpha 0:100000000000000000000:2", true, {"0", "100000000000000000000"}, "alpha"},
        {"modpar alpha 1:1000000000000000000000000000000000000000000000000000000000000000000:2",
         false,
         {},
         ""},
        {"modpar alpha 1,1000000000000000000000000000000000000000000000000000000000000000000",
         false,
         {},
         ""},
    };
    for (const VariedLineCase &c : cases) {
        SCOPED_TRACE(c.Text);
        VariedLine varied;
        std::string error;
        ASSERT_EQ(varied.Parse(c.Text, error), c.Accepted);
        if (!c.Accepted) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(varied.Values, c.Values);
        EXPECT_EQ(varied.Label, c.Label);
    }
}

}  // namespace
