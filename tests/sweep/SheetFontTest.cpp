// SheetFont: what it refuses to open (anything but a whole TrueType file), and where it draws:
// within the line and the clip it is given.
#include <gtest/gtest.h>

#include <filesystem>

#include "rdsimul/ScriptTestSupport.h"
#include "sweep/SheetFont.h"

namespace {

class SheetFontTest : public scripttest::TempDirTest {};

TEST_F(SheetFontTest, RefusesWhatIsNoWholeFont) {
    std::string font;
    {
        SheetFont probe;
        if (probe.Load(SheetFont::DefaultPath, 14.0F) != SheetFont::Done) {
            GTEST_SKIP() << SheetFont::DefaultPath << " is missing";
        }
        font = scripttest::ReadFile(SheetFont::DefaultPath);
    }
    // A directory whose tables lie past the file's end would be read beyond the buffer.
    scripttest::WriteFile(PathOf("cut.ttf"), font.substr(0, 4096));
    scripttest::WriteFile(PathOf("header.ttf"), font.substr(0, 11));
    scripttest::WriteFile(PathOf("text.ttf"), "model brusselator\n");
    std::filesystem::create_directories(PathOf("folder.ttf"));
    for (const char *name : {"missing.ttf", "cut.ttf", "header.ttf", "text.ttf", "folder.ttf"}) {
        SCOPED_TRACE(name);
        SheetFont sheetFont;
        EXPECT_EQ(sheetFont.Load(PathOf(name), 14.0F), SheetFont::Failed);
        EXPECT_FALSE(sheetFont.Loaded());
        EXPECT_EQ(sheetFont.Error.rfind(PathOf(name) + ": ", 0), 0u) << sheetFont.Error;
        EXPECT_EQ(sheetFont.Width("abc"), 0u);
    }
}

TEST(SheetFont, DrawsWithinItsLineAndClip) {
    SheetFont font;
    if (font.Load(SheetFont::DefaultPath, 14.0F) != SheetFont::Done) {
        GTEST_SKIP() << SheetFont::DefaultPath << " is missing";
    }
    const uint32_t line = font.LineHeight();
    EXPECT_GE(line, 14u);
    EXPECT_LT(font.Width("7"), font.Width("7.25"));
    // Bytes that start no character are drawn as '?', never read past the text.
    EXPECT_EQ(font.Width("a\xC3"), font.Width("a?"));
    EXPECT_EQ(font.Width("\xE2\x82"), font.Width("??"));
    SweepPicture picture;
    picture.Width = 120;
    picture.Height = 3 * line;
    picture.Rgb.assign(size_t(picture.Width) * picture.Height * 3, 0);
    // From x 10, clipped at 40: ink in lines [line, 2 line) and columns [10, 40) only.
    font.Draw(picture, 10, int(line), "Wg|qy 123456789", 255, 255, 255, 40);
    int inside = 0;
    for (uint32_t y = 0; y < picture.Height; ++y) {
        for (uint32_t x = 0; x < picture.Width; ++x) {
            if (picture.Rgb[(size_t(y) * picture.Width + x) * 3] == 0) continue;
            EXPECT_TRUE(x >= 10 && x < 40 && y >= line && y < 2 * line) << x << ", " << y;
            ++inside;
        }
    }
    EXPECT_GT(inside, 30);
    // Off the picture's edges: nothing is written out of it.
    font.Draw(picture, -30, -5, "Wg|qy", 1, 2, 3, 1000);
    font.Draw(picture, 100, int(picture.Height) - 3, "Wg|qy", 1, 2, 3, 1000);
}

}  // namespace
