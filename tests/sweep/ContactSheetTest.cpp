// ContactSheet: a folder of variants laid out as index.html and contact.png, a missing or cut
// image shown as a gap with the variant's name; the pictures caught in memory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "imageio/PngFile.h"
#include "rdsimul/ScriptTestSupport.h"
#include "sweep/ContactSheet.h"
#include "sweep/SheetFont.h"
#include "sweep/SweepExpander.h"
#include "sweep/SweepRunner.h"
#include "sweep/SweepTestSupport.h"

namespace {

std::map<std::string, SweepPicture> Written;

PngFile::Result KeepPicture(const char *path, uint32_t width, uint32_t height, const uint8_t *rgb,
                            size_t rowStride, int &error) {
    error = 0;
    SweepPicture &picture = Written[std::filesystem::path(path).filename().string()];
    picture.Width = width;
    picture.Height = height;
    picture.Rgb.clear();
    for (uint32_t y = 0; y < height; ++y) {
        picture.Rgb.insert(picture.Rgb.end(), rgb + y * rowStride, rgb + y * rowStride + width * 3);
    }
    return PngFile::Done;
}

// An 8-bit BMP of width x height whose every pixel has the colour (r, g, b).
std::string Bmp8(uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b) {
    const uint32_t line = (width + 3) / 4 * 4;
    const uint32_t size = 54 + 1024 + line * height;
    std::string file(size, '\0');
    auto le32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    file[0] = 'B';
    file[1] = 'M';
    le32(2, size);
    le32(10, 54 + 1024);
    le32(14, 40);
    le32(18, width);
    le32(22, height);
    file[26] = 1;
    file[28] = 8;
    // Palette entry 1 is the colour (blue, green, red, 0); every pixel uses it.
    file[54 + 4] = char(b);
    file[54 + 5] = char(g);
    file[54 + 6] = char(r);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) file[54 + 1024 + y * line + x] = 1;
    }
    return file;
}

// The columns of picture between x0 and x1 that hold a pixel other than the sheet's background
// in lines y0 to y1: how wide the text there is.
int InkColumns(const SweepPicture &picture, uint32_t x0, uint32_t x1, uint32_t y0, uint32_t y1) {
    int columns = 0;
    for (uint32_t x = x0; x < x1 && x < picture.Width; ++x) {
        for (uint32_t y = y0; y < y1 && y < picture.Height; ++y) {
            const uint8_t *p = &picture.Rgb[(size_t(y) * picture.Width + x) * 3];
            if (p[0] != 0x20 || p[1] != 0x20 || p[2] != 0x20) {
                ++columns;
                break;
            }
        }
    }
    return columns;
}

std::vector<int> PixelAt(const SweepPicture &picture, uint32_t x, uint32_t y) {
    const uint8_t *p = &picture.Rgb[(size_t(y) * picture.Width + x) * 3];
    return {p[0], p[1], p[2]};
}

class ContactSheetTest : public scripttest::TempDirTest {
protected:
    // A 2 x 3 sweep (alpha 2, 3; beta 6, 7, 8) of the small base, without images.
    void MakeSweep(const std::vector<std::string> &varies = {"modpar alpha 2,3",
                                                             "modpar beta 6:8:3"}) {
        scripttest::WriteFile(PathOf("base.vna"), sweeptest::BaseScript);
        SweepExpander expander;
        ASSERT_EQ(expander.LoadBase(PathOf("base.vna")), SweepExpander::Done);
        ASSERT_EQ(expander.Expand(sweeptest::VariedLines(varies), 0, false), SweepExpander::Done);
        ASSERT_EQ(expander.WriteAndCheck(Folder()), SweepExpander::Done);
        Written.clear();
    }
    // The sheet's font, or a skip when the system lacks it.
    bool HaveFont() {
        SheetFont font;
        if (font.Load(SheetFont::DefaultPath, ContactSheet::LabelPixels) != SheetFont::Done) {
            return false;
        }
        Line = font.LineHeight();
        return true;
    }
    uint32_t Line = 0;
    // The final image of variant name (iteration 40 of the base): a plain colour.
    void Image(const std::string &name, uint8_t r, uint8_t g, uint8_t b) {
        scripttest::WriteFile(Folder() + "/" + name + "_A000040.bmp", Bmp8(24, 20, r, g, b));
    }
    std::string Folder() const { return (Dir / "base-sweep").string(); }
};

TEST_F(ContactSheetTest, MissingImageIsAGapWithTheVariantsName) {
    MakeSweep();
    // Every variant but alpha3_beta7 has its final image; red grows with alpha, green with beta.
    for (int alpha = 2; alpha <= 3; ++alpha) {
        for (int beta = 6; beta <= 8; ++beta) {
            std::string name = "alpha" + std::to_string(alpha) + "_beta" + std::to_string(beta);
            if (name != "alpha3_beta7") Image(name, uint8_t(60 * alpha), uint8_t(20 * beta), 9);
        }
    }
    // An earlier image of the missing variant is not its final one.
    scripttest::WriteFile(Folder() + "/alpha3_beta7_A000020.bmp", Bmp8(24, 20, 1, 2, 3));
    ContactSheet sheet(&KeepPicture, nullptr);
    // Without its font the sheet is still made, only without text, and says so.
    sheet.FontPath = PathOf("no-such-font.ttf");
    ASSERT_EQ(sheet.Build(Folder()), ContactSheet::Done) << sheet.Error;
    EXPECT_FALSE(sheet.Labelled);
    EXPECT_NE(sheet.Notes.find(PathOf("no-such-font.ttf") + ": "), std::string::npos)
        << sheet.Notes;
    EXPECT_EQ(sheet.Gaps, 1);
    ASSERT_EQ(sheet.Rows, 2u);
    ASSERT_EQ(sheet.Columns, 3u);

    const std::string html = scripttest::ReadFile(Folder() + "/index.html");
    EXPECT_NE(html.find("<th>modpar alpha \\ modpar beta</th><th>6</th><th>7</th><th>8</th>"),
              std::string::npos);
    EXPECT_NE(html.find("<td class=\"gap\">alpha3_beta7<br>"), std::string::npos);
    EXPECT_NE(
        html.find("<a href=\"alpha2_beta8_A000040.bmp\"><img src=\"thumbs/alpha2_beta8.png\""),
        std::string::npos);
    EXPECT_NE(html.find("<a href=\"alpha3_beta7.vna\">"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("http"), std::string::npos);

    // contact.png: cells of 24 x 20 with a margin of 4, row by row in the order of the page.
    ASSERT_EQ(Written.count("contact.png"), 1u);
    const SweepPicture &contact = Written["contact.png"];
    ASSERT_EQ(contact.Width, 3u * (24 + 4) + 4);
    ASSERT_EQ(contact.Height, 2u * (20 + 4) + 4);
    auto pixel = [&](uint32_t row, uint32_t column) {
        const uint8_t *p =
            &contact.Rgb[((4 + row * 24 + 10) * contact.Width + 4 + column * 28 + 12) * 3];
        return std::vector<int>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(pixel(0, 0), (std::vector<int>{120, 120, 9}));
    EXPECT_EQ(pixel(0, 2), (std::vector<int>{120, 160, 9}));
    EXPECT_EQ(pixel(1, 0), (std::vector<int>{180, 120, 9}));
    EXPECT_EQ(pixel(1, 1), (std::vector<int>{0x40, 0x40, 0x40}));  // the gap
    EXPECT_EQ(Written.count("alpha3_beta7.png"), 0u);
    EXPECT_EQ(Written.count("alpha2_beta6.png"), 1u);
}

// Values of unequal widths show where each heading went: over its own column, beside its own
// row, in the order of the values; the pictures stay whole under them.
TEST_F(ContactSheetTest, HeadingsStandOverTheirColumnsAndBesideTheirRows) {
    if (!HaveFont()) GTEST_SKIP() << SheetFont::DefaultPath << " is missing";
    MakeSweep({"modpar alpha 2,3.5", "modpar beta 6,7.25,10.125"});
    for (const char *alpha : {"2", "3.5"}) {
        for (const char *beta : {"6", "7.25", "10.125"}) {
            Image(std::string("alpha") + alpha + "_beta" + beta, 200, 100, 50);
        }
    }
    ContactSheet sheet(&KeepPicture, nullptr);
    ASSERT_EQ(sheet.Build(Folder()), ContactSheet::Done) << sheet.Error;
    ASSERT_TRUE(sheet.Labelled) << sheet.Notes;
    const SweepPicture &contact = Written["contact.png"];
    const uint32_t values = ContactSheet::Pad / 2 + Line;  // the line of column headings
    const uint32_t top = sheet.CellY(0);
    int previous = 0;
    for (size_t c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        const uint32_t x = sheet.CellX(c);
        const int ink = InkColumns(contact, x, x + sheet.CellBoxWidth(), values, top);
        EXPECT_GT(ink, previous);  // "6", "7.25", "10.125" from left to right
        previous = ink;
        for (size_t r = 0; r < 2; ++r) {
            const uint32_t middle = x + sheet.CellBoxWidth() / 2;
            EXPECT_EQ(PixelAt(contact, middle, sheet.CellY(r) + 10),
                      (std::vector<int>{200, 100, 50}));
        }
    }
    // The rows: "2" above "3.5", right of the corner that names their axis.
    const uint32_t left = sheet.CellX(0) - ContactSheet::Margin;
    const int first = InkColumns(contact, 0, left, sheet.CellY(0), sheet.CellY(0) + 20);
    const int second = InkColumns(contact, 0, left, sheet.CellY(1), sheet.CellY(1) + 20);
    EXPECT_GT(first, 0);
    EXPECT_GT(second, first);
    EXPECT_GT(InkColumns(contact, 0, left, values, top), second);  // "modpar alpha"
    EXPECT_GT(InkColumns(contact, sheet.CellX(0), contact.Width, 0, values),
              InkColumns(contact, sheet.CellX(2), contact.Width, values, top));  // "modpar beta"
}

// Three varied lines: a line per value under each picture, none under the empty last cell.
TEST_F(ContactSheetTest, ThreeAxesLabelEveryCellWithItsValues) {
    if (!HaveFont()) GTEST_SKIP() << SheetFont::DefaultPath << " is missing";
    MakeSweep({"modpar alpha 2,3,4", "modpar beta 6", "diffusion B 1"});
    ContactSheet sheet(&KeepPicture, nullptr);
    ASSERT_EQ(sheet.Build(Folder()), ContactSheet::Done) << sheet.Error;
    ASSERT_EQ(sheet.Rows * sheet.Columns, 4u);
    const SweepPicture &contact = Written["contact.png"];
    const uint32_t picture = sheet.CellBoxHeight() - 3 * Line;
    for (size_t cell = 0; cell < 4; ++cell) {
        const uint32_t x = sheet.CellX(cell % 2);
        const uint32_t y = sheet.CellY(cell / 2) + picture;
        for (uint32_t line = 0; line < 3; ++line) {
            const int ink = InkColumns(contact, x, x + sheet.CellBoxWidth(), y + line * Line,
                                       y + (line + 1) * Line);
            if (cell < 3) {
                EXPECT_GT(ink, 20) << cell << " " << line;
            } else {
                EXPECT_EQ(ink, 0) << line;
            }
        }
    }
}

// A report that says the final field is uniform marks its cell, in the picture and on the page;
// one that says otherwise, a damaged or wrongly typed one, or none, marks nothing. The last
// round's object is the one that counts.
TEST_F(ContactSheetTest, UniformFieldsAreMarkedFromTheirReports) {
    MakeSweep();
    const std::map<std::string, std::string> reports = {
        {"alpha2_beta6", "{\"status\":0,\"uniform\":true}\n"},
        {"alpha2_beta7", "{\"status\":0,\"uniform\":false}\n"},
        {"alpha2_beta8", "{\"status\":0,\"uniform\":tr"},
        {"alpha3_beta6", "{\"uniform\":false}\n{\"uniform\":true}\n"},
        {"alpha3_beta7", "{\"uniform\":\"yes\"}\n"},
    };
    for (const auto &[name, text] : reports)
        scripttest::WriteFile(Folder() + "/" + name + ".json", text);
    for (int alpha = 2; alpha <= 3; ++alpha) {
        for (int beta = 6; beta <= 8; ++beta) {
            Image("alpha" + std::to_string(alpha) + "_beta" + std::to_string(beta), 10, 20, 30);
        }
    }
    for (const bool font : {false, true}) {
        SCOPED_TRACE(font ? "with its font" : "without its font");
        if (font && !HaveFont()) continue;
        ContactSheet sheet(&KeepPicture, nullptr);
        if (!font) sheet.FontPath = PathOf("missing.ttf");
        ASSERT_EQ(sheet.Build(Folder()), ContactSheet::Done) << sheet.Error;
        const SweepPicture &contact = Written["contact.png"];
        const std::string html = scripttest::ReadFile(Folder() + "/index.html");
        for (size_t i = 0; i < 6; ++i) {
            const ContactSheet::Entry &entry = sheet.Entries[i];
            const bool marked = entry.Name == "alpha2_beta6" || entry.Name == "alpha3_beta6";
            SCOPED_TRACE(entry.Name);
            EXPECT_EQ(entry.Field == VariantReport::Field::Uniform, marked);
            // The frame in the margin left of the picture, and the cell on the page.
            const uint32_t x = sheet.CellX(i % 3) + (sheet.CellBoxWidth() - 24) / 2;
            const uint32_t y = sheet.CellY(i / 3);
            EXPECT_EQ(PixelAt(contact, x - 1, y + 10), marked
                                                           ? (std::vector<int>{0xFF, 0xA0, 0x00})
                                                           : (std::vector<int>{0x20, 0x20, 0x20}));
            EXPECT_EQ(PixelAt(contact, x + 12, y + 5), (std::vector<int>{10, 20, 30}));
            const std::string cell = "<td class=\"uniform\"><a href=\"" + entry.Name + "_A";
            EXPECT_EQ(html.find(cell) != std::string::npos, marked);
        }
        size_t words = 0;
        for (size_t at = html.find("<b>uniform</b>"); at != std::string::npos;
             at = html.find("<b>uniform</b>", at + 1)) {
            ++words;
        }
        EXPECT_EQ(words, 2u);
    }
}

TEST_F(ContactSheetTest, CutImageIsAGapAndNoVariantIsAnError) {
    MakeSweep();
    std::string whole = Bmp8(24, 20, 50, 60, 70);
    scripttest::WriteFile(Folder() + "/alpha2_beta6_A000040.bmp",
                          whole.substr(0, whole.size() - 30));
    ContactSheet sheet(&KeepPicture, nullptr);
    ASSERT_EQ(sheet.Build(Folder()), ContactSheet::Done);
    EXPECT_EQ(sheet.Gaps, 6);
    EXPECT_NE(sheet.Entries[0].Why.find("cut short"), std::string::npos) << sheet.Entries[0].Why;

    std::filesystem::create_directories(Dir / "empty");
    EXPECT_EQ(sheet.Build((Dir / "empty").string()), ContactSheet::Failed);
}

// A FIFO named as a final image would block the sheet (and the end of every sweep), a link to
// /dev/zero would be read without end: both are gaps that say why, and the sheet is made.
TEST_F(ContactSheetTest, FifoAndDeviceImagesAreGapsNotHangs) {
    MakeSweep();
    ASSERT_EQ(mkfifo((Folder() + "/alpha2_beta6_A000040.bmp").c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/zero", Folder() + "/alpha2_beta7_A000040.tga");
    ASSERT_EQ(mkfifo((Folder() + "/alpha2_beta8_A000040.png").c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/zero", Folder() + "/alpha3_beta6_A000040.png");
    Image("alpha3_beta7", 10, 20, 30);
    ContactSheet sheet(&KeepPicture, &PngFile::ReadRgb);
    ASSERT_EQ(sheet.Build(Folder()), ContactSheet::Done) << sheet.Error;
    EXPECT_EQ(sheet.Gaps, 5);
    for (const char *name : {"alpha2_beta6", "alpha2_beta7", "alpha2_beta8", "alpha3_beta6"}) {
        const auto entry =
            std::find_if(sheet.Entries.begin(), sheet.Entries.end(),
                         [&](const ContactSheet::Entry &e) { return e.Name == name; });
        ASSERT_NE(entry, sheet.Entries.end());
        EXPECT_NE(entry->Why.find("is not a regular file"), std::string::npos) << entry->Why;
    }
    EXPECT_EQ(Written.count("alpha3_beta7.png"), 1u);
}

TEST(SweepPicture, BoxFilterAveragesEachBox) {
    // 4 x 2 to 2 x 1: each output pixel the mean of a 2 x 2 box.
    SweepPicture picture;
    picture.Width = 4;
    picture.Height = 2;
    picture.Rgb = {0, 0, 0, 100, 0, 0, 10, 10, 10, 10, 10, 10,
                   0, 0, 0, 100, 0, 0, 30, 30, 30, 30, 30, 30};
    SweepPicture small = picture.Fitted(2);
    ASSERT_EQ(small.Width, 2u);
    ASSERT_EQ(small.Height, 1u);
    EXPECT_EQ(small.Rgb, (std::vector<uint8_t>{50, 0, 0, 20, 20, 20}));
}

}  // namespace

namespace {

class SweepPictureFiles : public scripttest::TempDirTest {};

TEST_F(SweepPictureFiles, ReadsTheCoreWritersFilesTopLineFirstAndRefusesCutOnes) {
    // Lopsided 5 x 3 pictures through the core's BMP and TGA writers: true colour, and 8-bit
    // whose palette entry i is (10 i, 255 - i, 7) with index x + 5 y at (x, y).
    Image3D24 image("picture", 5, 3, 1, 0);
    Image3D8 indexed("indexed", 5, 3, 1, 0);
    for (int i = 0; i < 15; ++i) {
        ASSERT_EQ(indexed.SetColorRGBA(i, uint8_t(10 * i), uint8_t(255 - i), 7, 0),
                  ColorMapRGBA8::MapDone);
    }
    for (unsigned short y = 0; y < 3; ++y) {
        for (unsigned short x = 0; x < 5; ++x) {
            image.SetPixelValue(10 * x, 50 * y, x + y, x, y, 0);
            indexed.SetPixelValue(x + 5 * y, x, y, 0);
        }
    }
    ASSERT_EQ(image.SaveFileBMP(PathOf("p.bmp").c_str(), 0), GenImage3D::Done);
    ASSERT_EQ(image.SaveFileTGA(PathOf("p.tga").c_str(), 0), GenImage3D::Done);
    ASSERT_EQ(indexed.SaveFileBMP(PathOf("i.bmp").c_str(), 0), GenImage3D::Done);
    ASSERT_EQ(indexed.SaveFileTGA(PathOf("i.tga").c_str(), 0), GenImage3D::Done);
    struct Case {
        const char *Name;
        std::vector<int> Pixel;  // at (4, 2)
    };
    for (const Case &c : {Case{"p.bmp", {40, 100, 6}}, Case{"p.tga", {40, 100, 6}},
                          Case{"i.bmp", {140, 241, 7}}, Case{"i.tga", {140, 241, 7}}}) {
        SCOPED_TRACE(c.Name);
        SweepPicture picture;
        std::string why;
        ASSERT_TRUE(picture.ReadBmpOrTga(PathOf(c.Name), why)) << why;
        ASSERT_EQ(picture.Width, 5u);
        ASSERT_EQ(picture.Height, 3u);
        const uint8_t *p = &picture.Rgb[(2 * 5 + 4) * 3];
        EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), c.Pixel);
        // The decoder would fill a missing last byte with black: the size tells it is cut.
        const std::string whole = scripttest::ReadFile(PathOf(c.Name));
        scripttest::WriteFile(PathOf(c.Name), whole.substr(0, whole.size() - 1));
        EXPECT_FALSE(picture.ReadBmpOrTga(PathOf(c.Name), why));
        EXPECT_EQ(why, "is cut short or damaged");
    }
}

}  // namespace
