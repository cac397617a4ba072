// ScriptText: lines, kinds, line ends and keyword rewrites, each checked byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rdsimul/ScriptText.h"

namespace {

using ScriptText::LineKind;

TEST(ScriptText, LinesSplitAfterTheByteOrderMarkWithTheirLineEnds) {
    const std::string text =
        "\xEF\xBB\xBF"
        "a\r\n\nb c\rd\nlast";
    const std::vector<ScriptText::Line> lines = ScriptText::Lines(text);
    ASSERT_EQ(lines.size(), 4u);
    const struct {
        const char *Content;
        const char *Whole;
    } expected[] = {{"a", "a\r\n"}, {"", "\n"}, {"b c\rd", "b c\rd\n"}, {"last", "last"}};
    for (size_t i = 0; i < lines.size(); ++i) {
        const ScriptText::Line &l = lines[i];
        EXPECT_EQ(text.substr(l.Begin, l.ContentEnd - l.Begin), expected[i].Content) << i;
        EXPECT_EQ(text.substr(l.Begin, l.End - l.Begin), expected[i].Whole) << i;
    }
    EXPECT_TRUE(ScriptText::Lines("").empty());
    EXPECT_TRUE(ScriptText::Lines("\xEF\xBB\xBF").empty());
    // A CR at the very end without its line feed is content.
    EXPECT_EQ(ScriptText::Lines("x\r")[0].ContentEnd, 2u);
}

TEST(ScriptText, KindsAndLineEnds) {
    const struct {
        const char *Line;
        LineKind Kind;
    } kinds[] = {
        {"", LineKind::Blank},
        {" \t\r\n", LineKind::Blank},
        {"// note", LineKind::Comment},
        {"\t//", LineKind::Comment},
        {"#ERR: x", LineKind::Annotation},
        {"  #ERRx", LineKind::Annotation},
        {"#ER", LineKind::Setting},
        {"/ x", LineKind::Setting},
        {"size 1 1", LineKind::Setting},
    };
    for (const auto &k : kinds) EXPECT_EQ(ScriptText::KindOf(k.Line), k.Kind) << k.Line;

    const struct {
        const char *Text;
        const char *End;
    } ends[] = {
        {"", "\n"},
        {"one line", "\n"},
        {"a\r\nb\n", "\r\n"},
        {"a\nb\r\n", "\n"},
        // An annotation standing first with another line end does not choose.
        {"#ERR: x\nsize 1 1\r\n", "\r\n"},
        {"#ERR: x\r\n#ERR: y\n", "\r\n"},
    };
    for (const auto &e : ends) EXPECT_STREQ(ScriptText::ChooseLineEnd(e.Text), e.End) << e.Text;
}

TEST(ScriptText, KeywordRewriteKeepsEveryOtherByte) {
    const std::string longLine = "// " + std::string(3000, 'x') + "\n";
    const struct {
        std::string Script;
        std::string Kept;
    } cases[] = {
        {"size 10 10\nrandseed 77\niterations 5\n", "size 10 10\nrandseed 123\niterations 5\n"},
        {"  randseed\t0  \r\nsize 1 1\r\n", "  randseed 123\r\nsize 1 1\r\n"},
        // The last one counts: every one before it in an accepted script gives 0.
        {"randseed 0\nrandseed 9\n", "randseed 0\nrandseed 123\n"},
        {"\xEF\xBB\xBFrandseed 4\n", "\xEF\xBB\xBFrandseed 123\n"},
        // Not seed lines: another word, a comment, an annotation, another case.
        {"randseeds 4\n// randseed 5\n#ERR randseed 6\nRandseed 7\n",
         "randseeds 4\n// randseed 5\n#ERR randseed 6\nRandseed 7\nrandseed 123\n"},
        {"size 1 1\r\niterations 3", "size 1 1\r\niterations 3\r\nrandseed 123\r\n"},
        {"", "randseed 123\n"},
        {"\xEF\xBB\xBF", "\xEF\xBB\xBFrandseed 123\n"},
        // A long line before it stays whole.
        {longLine + "randseed 1", longLine + "randseed 123"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ScriptText::WithKeywordLine(c.Script, "randseed", "123"), c.Kept) << c.Script;
    }
}

TEST(ScriptText, SeedIsTheNumberOfTheLineThatCounts) {
    const struct {
        const char *Script;
        uint32_t Seed;
    } cases[] = {
        {"randseed 42\n", 42},
        {"randseed 0\r\nrandseed 7\r\n", 7},
        {"  randseed   4294967295  \n", 4294967295u},
        {"randseed 4294967296\n", 0},
        {"randseed -3\n", 0},
        {"randseed 5 6\n", 0},
        {"// randseed 5\n", 0},
        {"size 1 1\n", 0},
    };
    for (const auto &c : cases) EXPECT_EQ(ScriptText::Seed(c.Script), c.Seed) << c.Script;
}

}  // namespace
