// Pictures in scripts: maps the formulas read and starting pictures, sampled from small pictures
// onto fields of other sizes, against fields worked out by hand; and the faulty map and initmap
// lines.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "ScriptTestSupport.h"
#include "image3d/Image3D8.h"
#include "image3d/Image3DFloat.h"
#include "rdsimul/PictureMap.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"
#include "rdsimul/kernels/FastKernels.h"
#include "rdsimul/kernels/ReferenceKernels.h"
#include "toolkit/MessageIds.h"
#include "toolkit/RandomGenerator.h"
#include "toolkit/StringTable.h"

using scripttest::WriteFile;

namespace {

using Rgb = std::array<int, 3>;

// An 8-bit BMP of w x h palette indexes (row by row, top row first) and its palette.
void WriteBmp(const std::string &path, int w, int h, const std::vector<int> &indexes,
              const std::vector<Rgb> &palette) {
    Image3D8 picture("test", uint16_t(w), uint16_t(h), 1, 0);
    for (size_t i = 0; i < palette.size(); ++i) {
        ASSERT_EQ(picture.SetColorRGBA(int(i), uint8_t(palette[i][0]), uint8_t(palette[i][1]),
                                       uint8_t(palette[i][2]), 0),
                  ColorMapRGBA8::MapDone);
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            picture.SetPixelValue(indexes[size_t(y * w + x)], uint16_t(x), uint16_t(y), 0);
        }
    }
    ASSERT_EQ(picture.SaveFileBMP(path.c_str(), 0), GenImage3D::Done);
}

// The value a palette colour stands for: a gray its level over 255, another its luminance.
double ValueOf(const Rgb &c) {
    if (c[0] == c[1] && c[1] == c[2]) return double(c[0]) / 255.0;
    return (0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]) / 255.0;
}

// Six colours: black, white, two grays, red and a green.
const std::vector<Rgb> Palette = {{0, 0, 0},     {255, 255, 255}, {51, 51, 51},  {255, 0, 0},
                                  {10, 200, 30}, {128, 128, 128}, {90, 90, 200}, {7, 7, 7}};

template <typename... Arguments>
std::string Format(int message, Arguments... arguments) {
    char text[512];
    std::snprintf(text, sizeof text, GST.Get(message), arguments...);
    return text;
}

class ScriptMapTest : public scripttest::TempDirTest {
protected:
    void SetUp() override {
        scripttest::TempDirTest::SetUp();
        // 3 x 2: every colour of the first six, smaller than the fields.
        WriteBmp(PathOf("small.bmp"), 3, 2, {0, 1, 2, 3, 4, 5}, Palette);
        // 23 x 13, larger than the 10 x 10 fields: index (x + 2y) mod 8.
        std::vector<int> large(23 * 13);
        for (int y = 0; y < 13; ++y) {
            for (int x = 0; x < 23; ++x) large[size_t(y * 23 + x)] = (x + 2 * y) % 8;
        }
        WriteBmp(PathOf("large.bmp"), 23, 13, large, Palette);
    }
    ScriptParser::Result Parse(const std::string &text) {
        WriteFile(Path(), text);
        return Parser.Parse(Sim, Path().c_str(), Position, 0, ScriptParser::Mode::Annotate);
    }
    std::string Path() const { return PathOf("pic.vna"); }
    float At(char letter, int x, int y) const {
        return Sim.Components[letter - 'A']->GetPixelValue(uint16_t(x), uint16_t(y), 0);
    }

    ReaDifSimulation Sim{4};
    ScriptParser Parser;
    int Position = 0;
};

std::string Script(const std::string &lines, const std::string &size) {
    return "model formula\n" + lines + "reaction A 1\nreaction B 1\ndiffusion A 0.2\n" +
           "diffusion B 0.1\nsize " + size + "\niterations 10\ncolormap gray\n" +
           "image256 A t+10 autoscale\n";
}

TEST_F(ScriptMapTest, FormulaReadsTheMapStretchedOverTheField) {
    // The map line stands below the formula that reads it; A becomes 0 + 1 x the map, B the
    // other picture, shrunk onto the field.
    struct Case {
        const char *Size;
        int Width, Height;
        std::vector<int> Columns, Rows;  // the picture's column of each x, row of each y
        const char *Picture;
        int PictureWidth;
    };
    const Case cases[] = {
        // floor(x 3 / 10), floor(y 2 / 10)
        {"10 10",
         10,
         10,
         {0, 0, 0, 0, 1, 1, 1, 2, 2, 2},
         {0, 0, 0, 0, 0, 1, 1, 1, 1, 1},
         "small.bmp",
         3},
        // floor(x 23 / 10), floor(y 13 / 10)
        {"10 10",
         10,
         10,
         {0, 2, 4, 6, 9, 11, 13, 16, 18, 20},
         {0, 1, 2, 3, 5, 6, 7, 9, 10, 11},
         "large.bmp",
         23},
    };
    for (const KernelSet *set : {&ReferenceKernels(), &FastKernels()}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(set->Name) + " " + c.Picture);
            const std::string script =
                Script(std::string("formula A mask\nformula B 0\nmap mask ") + c.Picture +
                           "\ninit A 0 0\ninit B 0 0\n",
                       c.Size);
            ASSERT_EQ(Parse(script), ScriptParser::Accepted);
            ASSERT_EQ(Sim.Initialize(), GenImage3D::Done);
            Sim.SetKernelSet(*set);
            ASSERT_EQ(Sim.ReactionStep_Formula(), ReaDifSimulation::Done);
            const std::vector<int> small = {0, 1, 2, 3, 4, 5};
            for (int y = 0; y < c.Height; ++y) {
                for (int x = 0; x < c.Width; ++x) {
                    const int px = c.Columns[size_t(x)], py = c.Rows[size_t(y)];
                    const int index =
                        c.PictureWidth == 3 ? small[size_t(py * 3 + px)] : (px + 2 * py) % 8;
                    EXPECT_EQ(At('A', x, y), float(ValueOf(Palette[size_t(index)])))
                        << x << "," << y;
                }
            }
        }
    }
}

TEST_F(ScriptMapTest, StartingPictureReplacesTheNoiseAndDrawsNoRandomNumbers) {
    // A from the small picture between -0.5 and 1.5 on 10 x 12; B from noise.
    ASSERT_EQ(Parse(Script("formula A 0\nformula B 0\ninitmap A small.bmp -0.5 1.5\n"
                           "init B 0.5 0.25\nrandseed 77\n",
                           "10 12")),
              ScriptParser::Accepted);
    ASSERT_EQ(Sim.Initialize(), GenImage3D::Done);
    // floor(x 3 / 10), floor(y 2 / 12)
    const int columns[] = {0, 0, 0, 0, 1, 1, 1, 2, 2, 2};
    const int rows[] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1};
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 10; ++x) {
            const double v = ValueOf(Palette[size_t(rows[y] * 3 + columns[x])]);
            EXPECT_EQ(At('A', x, y), float(-0.5 + (1.5 - -0.5) * v)) << x << "," << y;
        }
    }
    // B's noise is the first the seed gives: A took none.
    MainRandom.Randomize(77);
    Image3DFloat noise("noise", 10, 12, 1, 1);
    ASSERT_EQ(noise.InitRandomNoise(0.5f, 0.25f), GenImage3D::Done);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 10; ++x) {
            EXPECT_EQ(At('B', x, y), noise.GetPixelValue(uint16_t(x), uint16_t(y), 0));
        }
    }
    // The larger picture shrunk onto 11 x 10, in a built-in model.
    ASSERT_EQ(Parse("model brusselator\nmodpar alpha 3\nmodpar beta 7\ninit A 0 0\n"
                    "initmap B large.bmp 0 1\nreaction A 1\nreaction B 1\ndiffusion A 0.2\n"
                    "diffusion B 0.1\nsize 11 10\niterations 10\ncolormap gray\n"
                    "image256 A t+10 autoscale\n"),
              ScriptParser::Accepted);
    ASSERT_EQ(Sim.Initialize(), GenImage3D::Done);
    // floor(x 23 / 11), floor(y 13 / 10)
    const int largeColumns[] = {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20};
    const int largeRows[] = {0, 1, 2, 3, 5, 6, 7, 9, 10, 11};
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 11; ++x) {
            const int index = (largeColumns[x] + 2 * largeRows[y]) % 8;
            EXPECT_EQ(At('B', x, y), float(ValueOf(Palette[size_t(index)]))) << x << "," << y;
        }
    }
}

TEST_F(ScriptMapTest, FaultyLinesNameTheirCause) {
    std::filesystem::create_directories(Dir / "folder");
    WriteFile(PathOf("notes.bmp"), "not a picture at all\n");
    struct Case {
        const char *Name;
        std::string Line;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {"Missing", "map mask gone.bmp", Format(MsgPictureMissing, "gone.bmp")},
        {"Folder", "map mask folder", Format(MsgPictureNotFile, "folder")},
        // A long name is cut to its last 57 characters, so that the annotation fits its line.
        {"LongName", "map mask " + std::string(70, 'd') + ".bmp",
         Format(MsgPictureMissing, ("..." + std::string(53, 'd') + ".bmp").c_str())},
        {"NoPicture", "map mask notes.bmp", Format(MsgPictureUnknown, "notes.bmp")},
        {"NoFile", "map mask", GST.Get(MsgMapSyntax)},
        {"TextAfter", "map mask small.bmp large.bmp", GST.Get(MsgMapSyntax)},
        {"Function", "map sin small.bmp", Format(MsgMapReserved, "sin")},
        {"Component", "map B small.bmp", Format(MsgMapReserved, "B")},
        {"Position", "map y small.bmp", Format(MsgMapReserved, "y")},
        {"BadName", "map 2nd small.bmp", Format(MsgMapBadName, "2nd")},
        {"Parameter", "map Rate small.bmp", Format(MsgMapIsParameter, "Rate")},
        {"InitmapMissing", "initmap B gone.bmp 0 1", Format(MsgPictureMissing, "gone.bmp")},
        {"InitmapNoValues", "initmap B small.bmp 0", GST.Get(MsgInitmapSyntax)},
        {"InitmapRange", "initmap B small.bmp 0 11", Format(MsgInitmapRange, 'B')},
        {"InitmapNotInUse", "initmap C small.bmp 0 1", Format(MsgInitmapRange, 'B')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        // Line 4 is the faulty one; B's init stands below it.
        ASSERT_EQ(Parse(Script("formula A rate*A\nformula B 0\n" + c.Line +
                                   "\ninit A 0 0\ninit B 0 0\nmodpar rate 1\n",
                               "10 10")),
                  ScriptParser::Rejected);
        ASSERT_GE(Parser.GetNoteCount(), 1);
        EXPECT_EQ(Parser.GetNote(0).Line, 4);
        EXPECT_EQ(std::string(Parser.GetNote(0).Text), c.Message);
    }
    // Two maps with one name; an initmap after the component's init line, and an init after
    // an initmap.
    const std::pair<std::string, int> twice[] = {
        {"map mask small.bmp\nmap mask large.bmp\ninit A 0 0\ninit B 0 0\n", MsgMapTwice},
        {"init B 0 0\ninitmap B small.bmp 0 1\ninit A 0 0\n", MsgGivenTwice},
        {"initmap B small.bmp 0 1\ninit B 0 0\ninit A 0 0\n", MsgGivenTwice},
    };
    for (const auto &[lines, message] : twice) {
        SCOPED_TRACE(lines);
        ASSERT_EQ(Parse(Script("formula A 0\nformula B 0\n" + lines, "10 10")),
                  ScriptParser::Rejected);
        ASSERT_EQ(Parser.GetNoteCount(), 1);
        EXPECT_EQ(Parser.GetNote(0).Line, 5);
        EXPECT_EQ(std::string(Parser.GetNote(0).Text),
                  message == MsgMapTwice ? Format(MsgMapTwice, "mask") : GST.Get(message));
    }
}

}  // namespace
