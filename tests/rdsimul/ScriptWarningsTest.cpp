// Warnings about modpar lines: a name the model does not read, and a parameter it reads that no
// line sets. The script stays valid and is not annotated for them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptTestSupport.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"

using scripttest::ReadFile;
using scripttest::WriteFile;

namespace {

// The lines every two-component script needs besides its model and modpar lines.
const char *TwoComponents =
    "reaction A 1\nreaction B 1\ndiffusion A 0.05\ndiffusion B 0.4\ninit A 4.5 0.1\n"
    "init B 1.6 0.1\nsize 20 10\niterations 30\ncolormap gray\nimage256 A t+10 autoscale\n";

struct Warning {
    int Line;
    std::string Text;
};

struct WarningCase {
    const char *Name;
    std::string Script;
    std::vector<Warning> Expected;
};

class ScriptWarningsTest : public scripttest::TempDirTest {
protected:
    ScriptParser::Result Parse(const std::string &text,
                               ScriptParser::Mode mode = ScriptParser::Mode::Check) {
        WriteFile(Path(), text);
        int position = 0;
        return Parser.Parse(Sim, Path().c_str(), position, 0, mode);
    }
    std::vector<Warning> Warnings() const {
        std::vector<Warning> found;
        for (int i = 0; i < Parser.GetWarningCount(); ++i) {
            ScriptParser::Note note = Parser.GetWarning(i);
            found.push_back({note.Line, note.Text});
        }
        return found;
    }
    std::string Path() const { return PathOf("tex.vna"); }

    ReaDifSimulation Sim{4};
    ScriptParser Parser;
};

void ExpectWarnings(const std::vector<Warning> &found, const std::vector<Warning> &expected) {
    ASSERT_EQ(found.size(), expected.size());
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].Line, expected[i].Line) << i;
        EXPECT_EQ(found[i].Text, expected[i].Text) << i;
    }
}

}  // namespace

TEST_F(ScriptWarningsTest, TellsUnreadAndUnsetParametersInLineOrder) {
    const std::string brusselatorBeta =
        "brusselator reads beta (conversion of A into B, typically 7), which no modpar line "
        "sets: it is 0";
    const WarningCase cases[] = {
        {"typo of beta, with the parameter meant",
         "model brusselator\nmodpar alpha 3\nmodpar bata 7\n",
         {{1, brusselatorBeta},
          {3,
           "the model brusselator reads no parameter \"bata\"; did you mean beta? (its "
           "parameters: alpha, beta)"}}},
        {"another word read as a parameter by its first two characters",
         "model brusselator\nmodpar alligator 3\nmodpar beta 7\n",
         {{2,
           "the model brusselator reads \"alligator\" as alpha: only the first two characters "
           "of a name count"}}},
        {"parameter of another model",
         "model maginu\nmodpar k 0.8\nmodpar c 1\nmodpar alpha 3\n",
         {{4, "the model maginu reads no parameter \"alpha\" (its parameters: k, c)"}}},
        {"a name or its shortening, in any case, is read silently",
         "model brusselator\nmodpar ALPHA 3\nmodpar Be 7\n",
         {}},
        {"only two letters count, in any case",
         "model brusselator\nmodpar ALFA 3\nmodpar beta 7\n",
         {{2,
           "the model brusselator reads \"ALFA\" as alpha: only the first two characters of a "
           "name count"}}},
        {"one letter is not two",
         "model magd1\nmodpar k 1\nmodpar c 1\nmodpar dd 1\nmodpar e 1\n"
         "modpar p 2\n",
         {{1,
           "magd1 reads d (weight of the sine of B in A's reaction, typically 0.5), which no "
           "modpar line sets: it is 0"},
          {4, "the model magd1 reads no parameter \"dd\" (its parameters: k, c, d, e, p)"}}},
        {"a digit counts",
         "model gld2\nmodpar a1 0.2\nmodpar a2 1\nmodpar b1 1\nmodpar b2 1\n"
         "modpar c1 0.2\nmodpar c2 1\nmodpar d1 1\nmodpar d 1\n",
         {{1,
           "gld2 reads d2 (rotation of (C, D) with the amplitude, typically 1), which no modpar "
           "line sets: it is 0"},
          {9,
           "the model gld2 reads no parameter \"d\" (its parameters: a1, a2, b1, b2, c1, c2, "
           "d1, d2)"}}},
        {"modpar lines around the model line",
         "modpar x 1\n// spots\nmodpar alpha 3\n"
         "model brusselator\nmodpar y 2\n",
         {{1, "the model brusselator reads no parameter \"x\" (its parameters: alpha, beta)"},
          {4, brusselatorBeta},
          {5, "the model brusselator reads no parameter \"y\" (its parameters: alpha, beta)"}}},
        {"a model without parameters",
         "model schlogl\nmodpar alpha 3\n",
         {{2, "the model schlogl reads no parameter \"alpha\" (it reads none)"}}},
        {"a parameter set to 0 is set", "model brusselator\nmodpar alpha 0\nmodpar beta 0\n", {}},
        {"no model line, no warnings", "modpar bata 7\n", {}},
        {"a faulty modpar line sets nothing",
         "model brusselator\nmodpar alpha 3\n"
         "modpar beta +7\n",
         {{1, brusselatorBeta}}},
    };
    for (const WarningCase &c : cases) {
        SCOPED_TRACE(c.Name);
        (void)Parse(c.Script);
        ExpectWarnings(Warnings(), c.Expected);
    }
}

TEST_F(ScriptWarningsTest, ScriptWithWarningsIsAcceptedAndNotAnnotated) {
    const std::string script =
        "// spots\nmodel brusselator\nmodpar alpha 3\nmodpar bata 7\n" + std::string(TwoComponents);
    ASSERT_EQ(Parse(script, ScriptParser::Mode::Annotate), ScriptParser::Accepted);
    EXPECT_EQ(ReadFile(Path()), script);
    EXPECT_EQ(Parser.GetNoteCount(), 0);
    ASSERT_EQ(Parser.GetWarningCount(), 2);
    EXPECT_EQ(Parser.GetWarning(0).Line, 2);
    EXPECT_EQ(Parser.GetWarning(1).Line, 4);
    // Out of range: an empty warning, as for the notes.
    EXPECT_STREQ(Parser.GetWarning(2).Text, "");
    // The next parse forgets them.
    (void)Parse("model brusselator\nmodpar alpha 3\nmodpar beta 7\n" + std::string(TwoComponents));
    EXPECT_EQ(Parser.GetWarningCount(), 0);
}

TEST_F(ScriptWarningsTest, RewrittenLinesFollowTheAnnotations) {
    // The old annotation goes, the missing iterations line is announced on top and the faulty
    // size line gets its annotation above it: the warnings' lines move with their lines.
    std::string script = "#ERR old\nmodel brusselator\nsize 20\nmodpar bata 7\nmodpar al 3\n" +
                         std::string(TwoComponents);
    script.erase(script.find("size 20 10\n"), 11);
    script.erase(script.find("iterations 30\n"), 14);
    ASSERT_EQ(Parse(script, ScriptParser::Mode::Annotate), ScriptParser::Rejected);
    ASSERT_EQ(Parser.GetNoteCount(), 2);
    ASSERT_EQ(Parser.GetWarningCount(), 2);
    std::vector<std::string> lines;
    std::string rewritten = ReadFile(Path());
    for (size_t at = 0; at < rewritten.size();) {
        size_t end = rewritten.find('\n', at);
        lines.push_back(rewritten.substr(at, end - at));
        at = end + 1;
    }
    ScriptParser::Note unset = Parser.GetWarning(0);
    ScriptParser::Note unread = Parser.GetWarning(1);
    EXPECT_EQ(unset.Line, 2);
    EXPECT_EQ(unread.Line, 4);
    ASSERT_EQ(unset.RewrittenLine, 2);
    ASSERT_EQ(unread.RewrittenLine, 5);
    EXPECT_EQ(lines[1], "model brusselator");
    EXPECT_EQ(lines[4], "modpar bata 7");
}

TEST_F(ScriptWarningsTest, WarningsSpeakTheCurrentLanguage) {
    ASSERT_EQ(GST.SetLanguage(StringTable::French), StringTable::Done);
    (void)Parse("model brusselator\nmodpar alpha 3\nmodpar bata 7\n");
    ExpectWarnings(Warnings(),
                   {{1,
                     "brusselator lit beta (conversion de A en B, typiquement 7), qu'aucune "
                     "ligne modpar ne fixe : il vaut 0"},
                    {3,
                     "le modèle brusselator ne lit aucun paramètre « bata » ; vouliez-vous dire "
                     "beta ? (ses paramètres : alpha, beta)"}});
}
