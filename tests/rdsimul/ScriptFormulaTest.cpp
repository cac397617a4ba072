// The formula model in scripts: formula lines compiled into the simulation, faulty formulas
// annotated with their column, the model's own faulty and missing lines, and its warnings.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ScriptTestSupport.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"
#include "toolkit/MessageIds.h"
#include "toolkit/StringTable.h"

using scripttest::ReadFile;
using scripttest::WriteFile;

namespace {

// Everything a two-component script needs besides its model and formula lines.
const char *Rest =
    "reaction A 1\nreaction B 1\ndiffusion A 0.2\ndiffusion B 0.1\ninit A 1 0\n"
    "init B 0 0.1\nsize 20 10\niterations 30\ncolormap gray\nimage256 A t+10 autoscale\n";

template <typename... Arguments>
std::string Format(int message, Arguments... arguments) {
    char text[512];
    std::snprintf(text, sizeof text, GST.Get(message), arguments...);
    return text;
}

struct Note {
    int Line;
    std::string Text;
};

class ScriptFormulaTest : public scripttest::TempDirTest {
protected:
    ScriptParser::Result Parse(const std::string &text) {
        WriteFile(Path(), text);
        return Parser.Parse(Sim, Path().c_str(), Position, 0, ScriptParser::Mode::Annotate);
    }
    std::vector<Note> Notes() const {
        std::vector<Note> notes;
        for (int i = 0; i < Parser.GetNoteCount(); ++i) {
            notes.push_back({Parser.GetNote(i).Line, Parser.GetNote(i).Text});
        }
        return notes;
    }
    std::vector<Note> Warnings() const {
        std::vector<Note> notes;
        for (int i = 0; i < Parser.GetWarningCount(); ++i) {
            notes.push_back({Parser.GetWarning(i).Line, Parser.GetWarning(i).Text});
        }
        return notes;
    }
    std::string Path() const { return PathOf("tex.vna"); }

    ReaDifSimulation Sim{4};
    ScriptParser Parser;
    int Position = 0;
};

void ExpectNotes(const std::vector<Note> &found, const std::vector<Note> &expected) {
    ASSERT_EQ(found.size(), expected.size());
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].Line, expected[i].Line) << i;
        EXPECT_EQ(found[i].Text, expected[i].Text) << i;
    }
}

TEST_F(ScriptFormulaTest, FormulaLinesSetTheComponentsAndTheirTerms) {
    // The letters are known from the formula lines, wherever they stand.
    const std::string script =
        "model formula\nreaction B 1\nformula B A*B^2 - (feed + kill)*B\n"
        "modpar feed 0.037\nmodpar kill 0.06\nformula A feed*(1 - A) - "
        "A*B^2\nreaction A 1\ndiffusion A 0.2\ndiffusion B 0.1\n"
        "init A 1 0\ninit B 0 0\nsize 20 10\niterations 30\n"
        "colormap gray\nimage256 A t+10 autoscale\n";
    ASSERT_EQ(Parse(script), ScriptParser::Accepted);
    EXPECT_EQ(ReadFile(Path()), script);
    EXPECT_EQ(Sim.ComponentCount, 2);
    EXPECT_EQ(Sim.Formula.ComponentCount(), 2);
    EXPECT_EQ(Sim.GetReactionStrength('B'), 1.0);
    ASSERT_EQ(Sim.Formula.ParameterCount(), 2);
    EXPECT_STREQ(Sim.Formula.ParameterNameAt(0), "feed");
    EXPECT_EQ(Parser.GetWarningCount(), 0);
    // One reaction step: A = 1, B = 0 stay where they are (A's term is 0, B's is 0).
    ASSERT_EQ(Sim.Initialize(), GenImage3D::Done);
    ASSERT_EQ(Sim.ReactionStep_Formula(), ReaDifSimulation::Done);
    double lo = 0, hi = 0;
    ASSERT_EQ(Sim.Components[0]->FindMinMax(lo, hi), GenImage3D::Done);
    EXPECT_EQ(lo, 1.0);
    EXPECT_EQ(hi, 1.0);
}

struct FaultCase {
    const char *Name;
    std::vector<std::string> Lines;  // after "model formula"
    std::string Message;             // the annotation of the first of them
    int Column;                      // where the caret goes, from 1; 0 for the line's start
};

TEST_F(ScriptFormulaTest, FaultyFormulasAreAnnotatedWithTheirColumn) {
    const std::vector<FaultCase> cases = {
        {"UnknownFunction",
         {"formula A sinh(A)", "formula B A"},
         Format(MsgFormulaUnknownFunction, 11, "sinh"),
         11},
        {"MissingParen",
         {"formula B 1 + sin(A", "formula A A"},
         Format(MsgFormulaMissingParen, 18),
         18},
        {"ArgumentCount",
         {"formula A  2 * sin(A, B)", "formula B A"},
         Format(MsgFormulaArgument, 16, "sin"),
         16},
        {"NotAComponent",
         {"formula B C*A", "formula A A"},
         Format(MsgFormulaNotComponent, 11, "C", 'B'),
         11},
        {"Exponent",
         {"formula A 1e-3", "formula B A"},
         Format(MsgFormulaExponent, 11, "0.001", "1e-3"),
         11},
        {"PlusSign", {"formula A +A", "formula B A"}, Format(MsgFormulaPlusSign, 11), 11},
        {"NoLetter", {"formula 2*A", "formula B A", "formula A A"}, GST.Get(MsgFormulaSyntax), 9},
        {"TwoLetters",
         {"formula AB A", "formula B A", "formula A A"},
         GST.Get(MsgFormulaSyntax),
         9},
        {"SecondForTheSameLetter",
         {"formula A A", "formula A B", "formula B A"},
         GST.Get(MsgGivenTwice),
         0},
    };
    for (const FaultCase &c : cases) {
        SCOPED_TRACE(c.Name);
        std::string script = "model formula\n";
        for (const std::string &line : c.Lines) script += line + "\n";
        ASSERT_EQ(Parse(script + Rest), ScriptParser::Rejected);
        const std::vector<Note> notes = Notes();
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_EQ(notes[0].Text, c.Message);
        const int faulty = c.Name == std::string("SecondForTheSameLetter") ? 3 : 2;
        EXPECT_EQ(notes[0].Line, faulty);
        // The caret: past the model line and the annotation, then the column.
        const std::string rewritten = ReadFile(Path());
        size_t lineStart = 0;
        for (int line = 1; line < faulty + 1; ++line)
            lineStart = rewritten.find('\n', lineStart) + 1;
        if (c.Column > 0) {
            EXPECT_EQ(Position, int(lineStart) + c.Column - 1);
        }
    }
}

TEST_F(ScriptFormulaTest, ModelAndComponentFaults) {
    // A formula line in another model.
    ASSERT_EQ(Parse("model brusselator\nformula A 1 - A\n" + std::string(Rest)),
              ScriptParser::Rejected);
    ExpectNotes(Notes(), {{2, GST.Get(MsgFormulaOtherModel)}});
    // The formula model without any formula line: no model is chosen.
    ASSERT_EQ(Parse("model formula\n" + std::string(Rest)), ScriptParser::Rejected);
    bool told = false;
    for (const Note &note : Notes()) told |= note.Line == 1 && note.Text == GST.Get(MsgFormulaNone);
    EXPECT_TRUE(told);
    EXPECT_EQ(Sim.ComponentCount, 0);
    // C has a formula, B none: B is missing (and C's own lines too).
    ASSERT_EQ(Parse("model formula\nformula A 1\nformula C A\n" + std::string(Rest)),
              ScriptParser::Rejected);
    const std::vector<Note> notes = Notes();
    ASSERT_GE(notes.size(), 1u);
    EXPECT_EQ(notes[0].Line, 0);
    EXPECT_EQ(notes[0].Text, Format(MsgMissingFormula, 'B', 'B'));
    EXPECT_EQ(Sim.ComponentCount, 3);
}

TEST_F(ScriptFormulaTest, WarningsNameUnsetSharedAndUnreadParameters) {
    const std::string script =
        "modpar alpha 1\nmodel formula\nformula A feed*(1 - A) - A*B^2 + fe*0\n"
        "formula B A*B^2 - (feed + kill)*B\nmodpar feed 0.03\n" +
        std::string(Rest);
    ASSERT_EQ(Parse(script), ScriptParser::Accepted);
    ExpectNotes(Warnings(), {{1, Format(MsgWarnParameterNotRead, "formula", "alpha", "feed, kill")},
                             {2, Format(MsgWarnFormulaSameKey, "feed", "fe")},
                             {2, Format(MsgWarnFormulaParameterUnset, "kill")}});
}

}  // namespace
