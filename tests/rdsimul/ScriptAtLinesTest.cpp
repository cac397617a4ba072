// The script's `at` lines: what the parser schedules for a valid one, and the annotation of a
// faulty one, in both languages' table.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ScriptTestSupport.h"
#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/MessageIds.h"
#include "toolkit/StringTable.h"

using scripttest::ReadFile;
using scripttest::WriteFile;

namespace {

// A valid brusselator script of 20 x 10 points and 30 iterations; the case's lines follow it.
const std::string Base =
    "model brusselator\nmodpar alpha 3\nmodpar beta 7\nreaction A 1\nreaction B 1\n"
    "diffusion A 0.05\ndiffusion B 0.4\ninit A 4.5 0.1\ninit B 1.6 0.1\nsize 20 10\n"
    "iterations 30\ncolormap gray\nimage256 A t+10 autoscale\n";

// The annotation line of message id, formatted with its arguments.
template <typename... Args>
std::string Annotation(int id, Args... args) {
    char text[512];
    std::snprintf(text, sizeof text, GST.Get(id), args...);
    return std::string(GST.Get(MsgAnnotationPrefix)) + text + "\n";
}

struct AtCase {
    const char *Name;
    std::string Line;
    std::string Annotation;  // empty: the line is valid
};

// The cases in the language chosen now.
std::vector<AtCase> AtCases() {
    return {
        {"Modpar", "at 0 modpar beta 8", ""},
        {"ModparDrift", "at 29 modpar BEta 8.5 -0.001", ""},
        {"Reaction", "at 5 reaction B 0", ""},
        {"Diffusion", "at 5 diffusion A 1 +0.01", ""},
        {"PaintSet", "at 10 paint A set 2.5 0.5 0 0 19 9", ""},
        {"PaintAdd", "at 10 paint B add -1 600 3 4", ""},
        {"NoTime", "at modpar beta 8", Annotation(MsgAtSyntax)},
        {"UnknownWord", "at 5 feed A 1", Annotation(MsgAtSyntax)},
        {"TimeNegative", "at -1 modpar beta 8", Annotation(MsgAtTime, 29)},
        {"TimeAtTheEnd", "at 30 modpar beta 8", Annotation(MsgAtTime, 29)},
        {"TimeNotWhole", "at 2.5 modpar beta 8", Annotation(MsgAtSyntax)},
        {"ModparNoValue", "at 5 modpar beta", Annotation(MsgAtModpar)},
        {"ModparPlusValue", "at 5 modpar beta +8", Annotation(MsgAtModpar)},
        {"ModparBadName", "at 5 modpar 9x 1", Annotation(MsgModparBadName)},
        {"ReactionTooStrong", "at 5 reaction A 101", Annotation(MsgAtReaction, 'B')},
        {"ReactionNotInUse", "at 5 reaction C 1", Annotation(MsgAtReaction, 'B')},
        {"DiffusionAboveOne", "at 5 diffusion B 1.5", Annotation(MsgAtDiffusion, 'B')},
        {"DiffusionTextAfter", "at 5 diffusion B 0.5 x", Annotation(MsgAtDiffusion, 'B')},
        {"PaintOtherMode", "at 5 paint A mul 2 3 1 1", Annotation(MsgAtPaint, 'B')},
        {"PaintOddCoordinates", "at 5 paint A set 2 3 1 1 4", Annotation(MsgAtPaint, 'B')},
        {"PaintNoCentre", "at 5 paint A set 2 3", Annotation(MsgAtPaint, 'B')},
        // A signed coordinate is no number: refused, not read again for ever.
        {"PaintSignedCoordinate", "at 5 paint A set 2 3 1 +1", Annotation(MsgAtPaint, 'B')},
        {"PaintOutside", "at 5 paint A set 2 3 20 0", Annotation(MsgAtPaintRange, 19, 9)},
        {"PaintNegative", "at 5 paint A set 2 3 0 -1", Annotation(MsgAtPaintRange, 19, 9)},
        {"PaintSmallRadius", "at 5 paint A set 2 0.4 1 1", Annotation(MsgAtPaintRange, 19, 9)},
        {"PaintHugeRadius", "at 5 paint A set 2 601 1 1", Annotation(MsgAtPaintRange, 19, 9)},
    };
}

class ScriptAtLinesTest : public scripttest::TempDirTest {};

}  // namespace

// Each line alone after a valid script, in English and French: a valid one is scheduled and
// leaves the file as it was, a faulty one gets its annotation above it.
TEST_F(ScriptAtLinesTest, ValidLinesAreScheduledFaultyOnesAnnotated) {
    const std::string path = PathOf("at.vna");
    for (int language : {StringTable::English, StringTable::French}) {
        ASSERT_EQ(GST.SetLanguage(language), StringTable::Done);
        for (const AtCase &c : AtCases()) {
            SCOPED_TRACE(std::string(c.Name) + (language == StringTable::French ? " (fr)" : ""));
            WriteFile(path, Base + c.Line + "\n");
            ReaDifSimulation sim(4);
            int position = -1;
            const ScriptParser::Result result =
                sim.SetParametersFromFile(path.c_str(), position, 0);
            EXPECT_EQ(result,
                      c.Annotation.empty() ? ScriptParser::Accepted : ScriptParser::Rejected);
            EXPECT_EQ(ReadFile(path), Base + c.Annotation + c.Line + "\n");
            EXPECT_EQ(sim.GetSchedule().size(), c.Annotation.empty() ? 1u : 0u);
        }
    }
    ASSERT_EQ(GST.SetLanguage(StringTable::English), StringTable::Done);
}

// What the lines schedule: the times, in the file's order within a time, and every number.
TEST_F(ScriptAtLinesTest, TheScheduleHoldsTheLinesInTimeOrder) {
    const std::string path = PathOf("at.vna");
    WriteFile(path, Base +
                        "at 20 paint B add -1.5 2.5 3 4 19 0\n"
                        "at 5 modpar Beta 8.5 -0.001\n"
                        "at 20 diffusion A 0.3\n"
                        "at 0 reaction B 0\n");
    ReaDifSimulation sim(4);
    int position = -1;
    ASSERT_EQ(sim.SetParametersFromFile(path.c_str(), position, 0), ScriptParser::Accepted);
    const std::vector<ScheduledChange> &schedule = sim.GetSchedule();
    ASSERT_EQ(schedule.size(), 4u);
    EXPECT_EQ(schedule[0].Time, 0);
    EXPECT_EQ(schedule[0].What, ScheduledChange::Kind::Reaction);
    EXPECT_EQ(schedule[0].Key, 1);
    EXPECT_EQ(schedule[1].What, ScheduledChange::Kind::Modpar);
    EXPECT_EQ(schedule[1].Key, ReaDifSimulation::ParameterKey("beta", false));
    EXPECT_EQ(schedule[1].Value, double(8.5f));
    EXPECT_EQ(schedule[1].Variation, double(-0.001f));  // single precision, as modpar reads it
    EXPECT_EQ(schedule[2].What, ScheduledChange::Kind::PaintAdd);  // first of the two at 20
    EXPECT_EQ(schedule[2].Key, 1);
    EXPECT_EQ(schedule[2].Value, -1.5);
    EXPECT_EQ(schedule[2].Radius, 2.5);
    ASSERT_EQ(schedule[2].Centres.size(), 2u);
    EXPECT_EQ(schedule[2].Centres[1].X, 19);
    EXPECT_EQ(schedule[2].Centres[1].Y, 0);
    EXPECT_EQ(schedule[3].What, ScheduledChange::Kind::Diffusion);

    // Before the lines they depend on, an at line is faulty.
    WriteFile(path, "at 5 modpar beta 8\n" + Base);
    EXPECT_EQ(sim.SetParametersFromFile(path.c_str(), position, 0), ScriptParser::Rejected);
    EXPECT_EQ(ReadFile(path).rfind(Annotation(MsgAtOrder), 0), 0u);
}
