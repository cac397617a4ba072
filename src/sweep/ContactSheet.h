// ContactSheet: lays out the final images of a sweep folder side by side, as index.html (a
// static page of thumbnails under the varied values) and contact.png (the images in a grid).
// Built from whatever variant scripts and images the folder holds; owns what it read of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imageio/PngFile.h"
#include "sweep/SweepPicture.h"

class ContactSheet {
public:
    // What Build answers.
    enum class Result { Failed = 0, Done = 1 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    static constexpr uint32_t ThumbSide = 160;  // thumbnails fit in this square
    static constexpr uint32_t CellSide = 200;   // contact.png's images fit in this square
    static constexpr uint32_t Margin = 4;       // between the images of contact.png

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
        std::string Why;  // why a variant has no picture on the sheet; "" when it has one
    };

    // Tests hand in writers that keep the pictures in memory.
    explicit ContactSheet(RgbWriter writer = &PngFile::WriteRgb,
                          RgbReader pngReader = &PngFile::ReadRgb)
        : Writer(writer), PngReader(pngReader) {}

    // Reads the variant scripts of folder, then their final images one at a time into
    // thumbs/NAME.png and the cells of contact.png, and writes index.html: Done; Failed with Error
    // (no variant script, or a file that could not be written). A variant without a readable image
    // is a gap, not a failure.
    [[nodiscard]] Result Build(const std::string &folder);

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
    std::string Html(const std::string &title) const;

    RgbWriter Writer;
    RgbReader PngReader;
};
