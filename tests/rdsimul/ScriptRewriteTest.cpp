// The rewrite of a script adds and removes whole annotation lines and nothing else: long lines,
// CR LF line ends and a byte-order mark stay as they were, and an unchanged script is not written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "ScriptAnnotations.h"
#include "ScriptTestSupport.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"

using scripttest::AgeFile;
using scripttest::Annotation;
using scripttest::Bom;
using scripttest::FileStamp;
using scripttest::ReadFile;
using scripttest::StampOf;
using scripttest::WithoutAnnotations;
using scripttest::WriteFile;

namespace {

const char *ValidScript =
    "model brusselator\nreaction A 1\nreaction B 1\ndiffusion A 0.05\ndiffusion B 0.4\n"
    "init A 4.5 0.1\ninit B 1.6 0.1\nsize 20 10\niterations 30\ncolormap gray\n"
    "image256 A t+10 autoscale\n";

std::string WithCrLf(const std::string &text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

class ScriptRewriteTest : public scripttest::TempDirTest {
protected:
    ScriptParser::Result Parse(const std::string &text) {
        WriteFile(Path(), text);
        return Reparse();
    }
    ScriptParser::Result Reparse() {
        Position = -1;
        return Sim.SetParametersFromFile(Path().c_str(), Position, 0);
    }
    std::string Path() const { return ScriptPath.empty() ? PathOf("tex.vna") : ScriptPath; }

    std::string ScriptPath;  // empty: tex.vna in the test's directory
    ReaDifSimulation Sim{4};
    int Position = -1;
};

}  // namespace

// Lines longer than the 499 characters the language reads at a time keep every byte: a comment
// stays one comment, a later piece that starts with "#ERR" is no annotation, and the annotation
// of a faulty piece goes above the whole line.
TEST_F(ScriptRewriteTest, LongLinesKeepEveryByte) {
    struct Case {
        const char *Name;
        std::string Line;
        std::string Annotations;  // expected above the line
        ScriptParser::Result Result;
    };
    std::string padded = "randseed 5" + std::string(489, ' ');  // 499 characters
    const Case cases[] = {
        {"PieceStartingWithErr", "// " + std::string(496, 'y') + "#ERR keep this text", "",
         ScriptParser::Accepted},
        {"IndentedLongComment", std::string(600, ' ') + "// " + std::string(300, 'c'), "",
         ScriptParser::Accepted},
        {"FaultySecondPiece", padded + "junk", Annotation(27), ScriptParser::Rejected},
        {"ErrPieceOfKeywordLine", padded + "#ERR not ours", Annotation(27), ScriptParser::Rejected},
        {"TwoFaultyPieces", padded + "junk" + std::string(495, ' ') + "more",
         Annotation(27) + Annotation(27), ScriptParser::Rejected},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        std::string script = c.Line + "\n" + ValidScript;
        EXPECT_EQ(Parse(script), c.Result);
        std::string expected = c.Annotations + script;
        EXPECT_EQ(ReadFile(Path()), expected);
        // Annotated once, the script stays as it is.
        EXPECT_EQ(Reparse(), c.Result);
        EXPECT_EQ(ReadFile(Path()), expected);
    }
}

TEST_F(ScriptRewriteTest, CaretLandsInTheFaultyPieceOfALongLine) {
    std::string line = "randseed 5" + std::string(489, ' ') + "  junk";
    ASSERT_EQ(Parse(line + "\n" + ValidScript), ScriptParser::Rejected);
    EXPECT_EQ(ReadFile(Path()).substr(size_t(Position), 5), "junk\n");
}

// Annotations take the line end of the script's own lines, also when an old annotation with a
// line feed stands first.
TEST_F(ScriptRewriteTest, CrLfScriptGetsCrLfAnnotations) {
    std::string script = WithCrLf("model brusselator\nsize 20 20 x\n");
    ASSERT_EQ(Parse("#ERR old\n" + script), ScriptParser::Rejected);
    std::string expected = WithCrLf(
        Annotation(31, 'A') + Annotation(32, 'A') + Annotation(33, 'A') + Annotation(31, 'B') +
        Annotation(32, 'B') + Annotation(33, 'B') + Annotation(35) + Annotation(36) +
        Annotation(37) + "model brusselator\n" + Annotation(54) + "size 20 20 x\n");
    EXPECT_EQ(ReadFile(Path()), expected);
    // The editor counts CR LF as one line break.
    std::string shown = expected;
    for (size_t at; (at = shown.find("\r\n")) != std::string::npos;) shown.erase(at, 1);
    EXPECT_EQ(shown.substr(size_t(Position)), "x\n");
}

// A byte-order mark is not part of the first line, and it stays at the start of the file, in
// front of the annotations; the editor does not count it.
TEST_F(ScriptRewriteTest, ByteOrderMarkIsSkippedAndKept) {
    ASSERT_EQ(Parse(Bom + ValidScript), ScriptParser::Accepted);
    EXPECT_EQ(ReadFile(Path()), Bom + ValidScript);
    EXPECT_EQ(Sim.ComponentCount, 2);

    ASSERT_EQ(Parse(Bom + "model brusselator x\n"), ScriptParser::Rejected);
    std::string annotations = Annotation(30) + Annotation(34) + Annotation(35) + Annotation(36) +
                              Annotation(37) + Annotation(39);
    EXPECT_EQ(ReadFile(Path()), Bom + annotations + "model brusselator x\n");
    EXPECT_EQ(size_t(Position), annotations.size() + 18);
}

// A script whose rewrite equals its bytes is not written: same inode, same modification time, so
// hard links and editors watching the file are not disturbed.
TEST_F(ScriptRewriteTest, UnchangedScriptIsNotWritten) {
    const std::string scripts[] = {ValidScript, WithCrLf(ValidScript), Bom + ValidScript,
                                   "size 20 20 x\n"};
    for (const std::string &script : scripts) {
        SCOPED_TRACE(script);
        const ScriptParser::Result result = Parse(script);
        std::string annotated = ReadFile(Path());  // a faulty one is annotated once
        std::filesystem::remove(PathOf("link.vna"));
        std::filesystem::create_hard_link(Path(), PathOf("link.vna"));
        AgeFile(Path());
        FileStamp before = StampOf(Path());
        EXPECT_EQ(Reparse(), result);
        EXPECT_EQ(StampOf(Path()), before);
        EXPECT_EQ(ReadFile(Path()), annotated);
        EXPECT_EQ(std::filesystem::hard_link_count(Path()), 2u);
    }
}

// A check reports the notes with the lines of the file as read and leaves the file alone.
TEST_F(ScriptRewriteTest, CheckWritesNothingAndNumbersTheLinesAsRead) {
    std::string script = "#ERR old\n" + std::string(ValidScript);
    script.replace(script.find("size 20 10"), 10, "size 20 20 x");
    script.erase(script.find("iterations 30\n"), 14);
    WriteFile(Path(), script);
    AgeFile(Path());
    FileStamp before = StampOf(Path());
    ScriptParser parser;
    int position = 0;
    ASSERT_EQ(parser.Parse(Sim, Path().c_str(), position, 0, ScriptParser::Mode::Check),
              ScriptParser::Rejected);
    EXPECT_EQ(StampOf(Path()), before);
    EXPECT_EQ(ReadFile(Path()), script);
    ASSERT_EQ(parser.GetNoteCount(), 2);
    ScriptParser::Note missing = parser.GetNote(0);
    EXPECT_EQ(missing.Line, 0);
    EXPECT_EQ(missing.RewrittenLine, 1);
    EXPECT_EQ(missing.Text, scripttest::Message(35));
    // Line 9 as read; in the rewrite the old annotation is gone, the missing item on top and
    // the line's own annotation above it push it to line 10.
    ScriptParser::Note faulty = parser.GetNote(1);
    EXPECT_EQ(faulty.Line, 9);
    EXPECT_EQ(faulty.RewrittenLine, 10);
    EXPECT_EQ(faulty.Text, scripttest::Message(54));
}

// No fixed buffer limits the rewrite: thousands of faulty lines in a script of megabytes.
TEST_F(ScriptRewriteTest, LargeScriptWithThousandsOfFaultyLinesIsAnnotated) {
    std::string script = ValidScript;
    for (int i = 0; i < 4000; ++i) script += "bogus " + std::string(500 + i % 300, 'k') + "\n";
    ASSERT_GT(script.size(), 2000000u);
    ASSERT_EQ(Parse(script), ScriptParser::Rejected);
    std::string rewritten = ReadFile(Path());
    EXPECT_EQ(WithoutAnnotations(rewritten), script);
    // Each faulty line: one annotation for its first piece and one for its second.
    EXPECT_EQ(rewritten.size(), script.size() + 8000 * Annotation(27).size());
}

// Mutated scripts of every kind: the rewrite without its annotation lines is the script without
// its own old annotation lines, and a second parse writes nothing.
TEST_F(ScriptRewriteTest, RewriteOnlyAddsAndRemovesAnnotationLines) {
    std::mt19937 random(12);
    auto below = [&random](size_t n) { return n == 0 ? size_t(0) : size_t(random() % n); };
    const std::vector<std::string> faulty = {
        "size 20 20 x",  "reaction A +1", "iterations 0", "image256 A 100< t+5 autoscale",
        "colormap grey", "bogus",         "#ERR old",     "  #ERR indented",
        "model",         "diffusion A 2"};
    const std::string bytes = " \t\r\n#/+-.0123456789ERRAZaz\xC3\xA9\xEF\xBB\xBF\x80\xFF";
    // Each rewrite is synced to disk: in memory where the system has a file system there, the
    // 2,000 rounds take a second instead of twenty.
    std::filesystem::path memory = "/dev/shm/vorna_rewrite_" + std::to_string(getpid());
    std::error_code error;
    if (std::filesystem::create_directory(memory, error))
        ScriptPath = (memory / "tex.vna").string();
    struct RemoveMemory {
        std::filesystem::path Dir;
        ~RemoveMemory() {
            std::error_code ignored;
            std::filesystem::remove_all(Dir, ignored);
        }
    } removeMemory{ScriptPath.empty() ? std::filesystem::path() : memory};
    int results[2] = {0, 0};
    for (int round = 0; round < 2000; ++round) {
        std::string script = ValidScript;
        for (int edit = int(below(5)); edit >= 0; --edit) {
            size_t at = below(script.size() + 1);
            switch (below(8)) {
                case 0:  // one byte changed
                    if (at < script.size()) script[at] = bytes[below(bytes.size())];
                    break;
                case 1:  // a line split
                    script.insert(at, 1, '\n');
                    break;
                case 2: {  // a line joined to the next
                    size_t feed = script.find('\n', at);
                    if (feed != std::string::npos) script.erase(feed, 1);
                    break;
                }
                case 3: {  // a long line, its pieces starting with anything
                    std::string line = below(2) ? "//" : "size 20 10";
                    line += std::string(below(1200), below(2) ? ' ' : 'y');
                    line += faulty[below(faulty.size())];
                    script.insert(script.rfind('\n', at) + 1, line + "\n");
                    break;
                }
                case 4:
                    script = WithCrLf(script);
                    break;
                case 5:  // a faulty line, or an old annotation
                    script.insert(script.rfind('\n', at) + 1, faulty[below(faulty.size())] + "\n");
                    break;
                case 6:
                    script = Bom + script;
                    break;
                case 7:  // no line end at the end
                    if (!script.empty() && script.back() == '\n') script.pop_back();
                    break;
            }
        }
        SCOPED_TRACE("round " + std::to_string(round) + ": " + script);
        const ScriptParser::Result result = Parse(script);
        ASSERT_TRUE(result == ScriptParser::Rejected || result == ScriptParser::Accepted)
            << int(result);
        ++results[result == ScriptParser::Accepted ? 1 : 0];
        std::string rewritten = ReadFile(Path());
        ASSERT_EQ(WithoutAnnotations(rewritten), WithoutAnnotations(script));
        AgeFile(Path());
        FileStamp before = StampOf(Path());
        int position = Position;
        ASSERT_EQ(Reparse(), result);
        ASSERT_EQ(StampOf(Path()), before);
        ASSERT_EQ(Position, position);
    }
    // Both kinds of script were made, not only broken ones.
    EXPECT_GT(results[0], 200);
    EXPECT_GT(results[1], 200);
}
