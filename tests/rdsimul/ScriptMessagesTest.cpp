// Messages of the parser that point the right way: the keyword or model meant when one is near, a
// variation written where the value belongs, every image type, and the range of the seed.
#include <gtest/gtest.h>

#include <string>

#include "ScriptTestSupport.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"
#include "toolkit/ClosestWord.h"
#include "toolkit/RandomGenerator.h"

namespace {

// Every line a brusselator script needs but its model line.
const char *Rest =
    "reaction A 1\nreaction B 1\ndiffusion A 0.05\ndiffusion B 0.4\ninit A 4.5 0.1\n"
    "init B 1.6 0.1\nsize 20 10\niterations 30\ncolormap gray\nimage256 A t+10 autoscale\n";

class ScriptMessagesTest : public scripttest::TempDirTest {
protected:
    // Parses line, then the model line and the rest, as a script checked in memory: the text of
    // the annotation of line (without its prefix), "" when it has none.
    std::string MessageOf(const std::string &line) {
        const std::string text = line + "\nmodel brusselator\n" + Rest;
        int position = 0;
        Result = Parser.ParseText(Sim, PathOf("tex.vna").c_str(), text, position, 0);
        for (int i = 0; i < Parser.GetNoteCount(); ++i) {
            if (Parser.GetNote(i).Line == 1) return Parser.GetNote(i).Text;
        }
        return "";
    }

    ReaDifSimulation Sim{4};
    ScriptParser Parser;
    ScriptParser::Result Result = ScriptParser::FileError;
};

}  // namespace

TEST(ClosestWordTest, OffersANearWordOnly) {
    const std::vector<const char *> words = {"model", "modpar", "randseed", "alpha", "beta"};
    const struct {
        const char *Word;
        const char *Near;  // null: none
    } cases[] = {
        {"Model", "model"},       // case alone
        {"modle", "model"},       // two edits
        {"randsed", "randseed"},  // one
        {"modpa", "modpar"},      // the nearer: one edit from modpar, two from model
        {"bta", "beta"},          // one edit is less than half of three letters
        {"be", nullptr},          // two edits are too many for two letters
        {"alligator", nullptr},   // far from all
        {"model", nullptr},       // known
        {"", nullptr},           {"randseeds12", nullptr},  // three edits
    };
    for (const auto &c : cases) {
        const char *near = ClosestWord::Find(c.Word, words);
        EXPECT_STREQ(near == nullptr ? "(none)" : near, c.Near == nullptr ? "(none)" : c.Near)
            << c.Word;
    }
    EXPECT_EQ(ClosestWord::Distance("kitten", "SITTING"), 3);
}

TEST_F(ScriptMessagesTest, NamesWhatIsWrongAndTheWordMeant) {
    const std::string models =
        "The models are diffusion, schlogl, ginzburglandau, gld1, gld2, maginu, magd1, "
        "brusselator, brd1 and formula.";
    const struct {
        std::string Line;
        std::string Message;
    } cases[] = {
        // Keywords keep their case; a near keyword is named, a far word gets the list.
        {"Randseed 5",
         "Unknown keyword \"Randseed\"; did you mean randseed? A line starts with a keyword, or "
         "// for a comment."},
        {"iteration 30",
         "Unknown keyword \"iteration\"; did you mean iterations? A line starts with a keyword, "
         "or // for a comment."},
        {"seed 5", scripttest::Message(MsgUnknownKeyword)},
        {"model bruselator", "Unknown model \"bruselator\"; did you mean brusselator? " + models},
        {"model Maginu2", "Unknown model \"Maginu2\"; did you mean maginu? " + models},
        {"model turing", "Unknown model. " + models},
        {"model " + std::string(208, 'b'), "Unknown model. " + models},
        // A signed number where the value belongs is a variation without its value.
        {"modpar beta +7", scripttest::Message(MsgVariationWithoutValue)},
        {"diffusion A +0.05", scripttest::Message(MsgVariationWithoutValue)},
        {"modpar beta 7 x", scripttest::Message(MsgModparTextAfter)},
        {"modpar beta + 7", scripttest::Message(MsgModparMissing)},
        // Every type the image line takes is named.
        {"image16M B t+5 autoscale jpg",
         "Unexpected text at the end of the image line. Only \"mosaic WIDTH HEIGHT\" and then "
         "TGA, BMP or PNG may follow."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Line.substr(0, 20));
        EXPECT_EQ(MessageOf(c.Line), c.Message);
        EXPECT_EQ(Result, ScriptParser::Rejected);
    }
}

// A seed is one a randseed line holds, so that the seed a run reports is the seed it ran with.
TEST_F(ScriptMessagesTest, SeedBeyondTheRandseedRangeIsAFaultyLine) {
    const std::string range =
        "The random seed must be from 0 to 2147483647; 0 takes the seed from the clock.";
    for (const char *line : {"randseed 2147483648", "randseed 4294967295", "randseed -1",
                             "randseed 99999999999999999999999"}) {
        EXPECT_EQ(MessageOf(line), range) << line;
        EXPECT_EQ(Result, ScriptParser::Rejected) << line;
    }
    EXPECT_EQ(MessageOf("randseed 2147483647"), "");
    ASSERT_EQ(Result, ScriptParser::Accepted);
    EXPECT_EQ(MainRandom.GetSeed(), 2147483647u);
    EXPECT_EQ(MessageOf("randseed 0"), "");
    EXPECT_EQ(Result, ScriptParser::Accepted);

    ASSERT_EQ(GST.SetLanguage(StringTable::French), StringTable::Done);
    EXPECT_EQ(MessageOf("randseed 3000000000"),
              "La graine aléatoire doit être comprise entre 0 et 2147483647 ; 0 prend la graine "
              "de l'horloge.");
    EXPECT_EQ(MessageOf("Randseed 5"),
              "Mot-clé inconnu « Randseed » ; vouliez-vous dire randseed ? Une ligne commence par "
              "un mot-clé, ou // pour un commentaire.");
}

// A script checked in memory is neither read nor written: its path only names it.
TEST_F(ScriptMessagesTest, TextIsCheckedWithoutTouchingItsPath) {
    EXPECT_EQ(MessageOf("// spots"), "");
    EXPECT_EQ(Result, ScriptParser::Accepted);
    EXPECT_FALSE(std::filesystem::exists(PathOf("tex.vna")));
    int position = 0;
    EXPECT_EQ(
        Parser.ParseText(Sim, PathOf("tex.vna").c_str(), std::string("size\0 1", 7), position, 0),
        ScriptParser::FileError);
}
