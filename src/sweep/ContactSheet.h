// ContactSheet: lays out the final images of a sweep folder side by side, as index.html (a
// static page of thumbnails under the varied values) and contact.png (the images in a grid under
// the same headings, drawn with a system font), each variant whose final field is uniform marked.
// Built from whatever variant scripts, images and run reports the folder holds; owns what it read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imageio/PngFile.h"
#include "sweep/SheetFont.h"
#include "sweep/SweepPicture.h"
#include "sweep/VariantReport.h"

class ContactSheet {
public:
    // What Build answers.
    enum class Result { Failed = 0, Done = 1 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    static constexpr uint32_t ThumbSide = 160;   // thumbnails fit in this square
    static constexpr uint32_t CellSide = 200;    // contact.png's images fit in this square
    static constexpr uint32_t Margin = 4;        // between the images of contact.png
    static constexpr float LabelPixels = 14.0F;  // the height of contact.png's text
    static constexpr uint32_t Pad = 4;           // around a label
    static constexpr uint32_t FrameWidth = 2;    // the frame round a uniform field, in the margin
    static constexpr uint8_t FrameColour[3] = {0xFF, 0xA0, 0x00};

    // The PNG service: writes rows of width x 3 bytes (rowStride apart), or reads any PNG as
    // 8-bit RGB; 1 done, 0 failed with an errno-like code in error.
    using RgbWriter = PngFile::Result (*)(const char *path, uint32_t width, uint32_t height,
                                          const uint8_t *rgb, size_t rowStride, int &error);
    using RgbReader = PngFile::Result (*)(const char *path, uint32_t &width, uint32_t &height,
                                          std::vector<uint8_t> &rgb, int &error);

    // One variant script of the folder.
    struct Entry {
        std::string Name;                 // its file name without ".vna"
        std::vector<std::string> Values;  // one per axis
        std::string Image;                // its final image's file name; "" when it has none
        // Its movie's file name (NAME.mp4, .webp or .gif, the MP4 of its last run when it wrote
        // several); "" when it has none.
        std::string Movie;
        std::string Why;  // why a variant has no picture on the sheet; "" when it has one
        // Its final field as its run report (NAME.json) tells it; Unknown without a report.
        VariantReport::Field Field = VariantReport::Field::Unknown;
    };

    // Tests hand in writers that keep the pictures in memory.
    explicit ContactSheet(RgbWriter writer = &PngFile::WriteRgb,
                          RgbReader pngReader = &PngFile::ReadRgb)
        : Writer(writer), PngReader(pngReader) {}

    // Reads the variant scripts of folder, then their final images one at a time into
    // thumbs/NAME.png and the cells of contact.png, and writes index.html: Done; Failed with Error
    // (no variant script, or a file that could not be written). A variant without a readable image
    // is a gap, not a failure; a font that cannot be read leaves contact.png without text (a note
    // in Notes says so), not a failure.
    [[nodiscard]] Result Build(const std::string &folder);

    // The top left corner of the box of contact.png's cell (row, column), after Build; the box is
    // CellBoxWidth x CellBoxHeight, its picture centred at its top.
    uint32_t CellX(size_t column) const {
        return Left + Margin + uint32_t(column) * (PitchX + Margin);
    }
    uint32_t CellY(size_t row) const { return Top + Margin + uint32_t(row) * (PitchY + Margin); }
    uint32_t CellBoxWidth() const { return PitchX; }
    uint32_t CellBoxHeight() const { return PitchY; }

    // contact.png as Build lays it out, with cells[i] the picture of Entries[i] (empty: a gap) of
    // at most CellWidth x CellHeight; markUniform frames the pictures of uniform final fields.
    SweepPicture Compose(const std::vector<SweepPicture> &cells, bool markUniform) const;
    // The largest picture of a cell, after Build.
    uint32_t CellWidth = 0;
    uint32_t CellHeight = 0;

    // The TrueType font of contact.png's text.
    std::string FontPath = SheetFont::DefaultPath;
    bool Labelled = false;  // whether contact.png carries text (the font was read)

    // The varied lines ("modpar beta"), in the order of the sweep's --vary options.
    std::vector<std::string> Axes;
    // The variants in the order of their values, first axis slowest.
    std::vector<Entry> Entries;
    // Rows x Columns cells, row by row: an index into Entries, or -1 for a variant the folder
    // does not hold.
    size_t Rows = 0;
    size_t Columns = 0;
    std::vector<long> Cells;
    int Gaps = 0;
    std::string Error;
    std::string Notes;  // scripts of the folder left out, one line each

private:
    // Reads the scripts and images of folder into Axes and Entries: Done; Failed with Error.
    Result Scan(const std::string &folder);
    // Reads the final image of entry in folder (a regular file only, of at most the sides the
    // readers take): true; false with why ("is not a regular file", ...).
    bool ReadPicture(const std::string &folder, const Entry &entry, SweepPicture &picture,
                     std::string &why) const;
    // Lays Entries out into Rows, Columns and Cells.
    void LayOut();
    // Sizes the bands of headings and the cell boxes (Left, Top, PitchX, PitchY) for pictures of
    // at most cellWidth x cellHeight, with the text of font when it is loaded.
    void Measure(const SheetFont &font, uint32_t cellWidth, uint32_t cellHeight);
    // Writes the headings of the axes (one or two) or each cell's values (three or more).
    void Label(const SheetFont &font, SweepPicture &sheet, uint32_t cellHeight) const;
    // The heading of column c and of row r: the value of the last axis and of the first.
    std::string ColumnHead(size_t c) const;
    std::string RowHead(size_t r) const;
    std::string Html(const std::string &title) const;

    RgbWriter Writer;
    RgbReader PngReader;
    std::unique_ptr<SheetFont> Font;  // contact.png's, kept for Compose
    uint32_t Left = 0;                // the band of row headings
    uint32_t Top = 0;                 // the band of column headings
    uint32_t PitchX = 0;              // a cell's box, without the margin
    uint32_t PitchY = 0;
};
