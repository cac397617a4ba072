// PictureMap: a picture read as a field of values from 0 to 1, for the formulas' maps and the
// starting fields; owns the values, one double per pixel, top row first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class PictureMap {
public:
    // What Load answers: Done, or Failed with an errno cause (ENOENT, EACCES, EISDIR for what
    // is no file, EINVAL for a file that is no picture the reader knows or is damaged, EFBIG for
    // a side above MaxSide, ENOMEM).
    enum class Result { Failed = 0, Done = 1 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    // The largest side of a picture: as the core's BMP reader takes, far beyond the largest
    // field, and small enough that a picture's values (8 bytes a pixel) stay within 200 MB.
    static constexpr uint32_t MaxSide = 5000;

    // A picture as a reader hands it over: Channels 1 (gray) or 3 (red, green, blue), each sample
    // 0 .. Maximum (255 for 8 bits, 65535 for 16), Width x Height pixels top row first.
    struct Samples {
        uint32_t Width = 0;
        uint32_t Height = 0;
        int Channels = 1;
        uint32_t Maximum = 255;
        std::vector<uint16_t> Values;
    };
    // Reads the picture at path into samples: true, or false with an errno cause in error.
    using Reader = bool (*)(const char *path, Samples &samples, int &error);
    // The reader Load calls; the programs install one that reads PNG, BMP and TGA. Null (the
    // default) reads the 8-bit BMP files of the core's own reader only.
    static void InstallReader(Reader reader);
    static Reader InstalledReader();
    // Whether path is a readable regular file (never waiting on a FIFO): true, or false with
    // the cause in error (EISDIR for a folder, device or FIFO), for the readers.
    static bool CheckFile(const char *path, int &error);

    // Reads the picture at path through the installed reader and keeps its values: Done;
    // Failed with the cause in error, the map left as it was.
    [[nodiscard]] Result Load(const char *path, int &error);
    // Keeps the values of samples: a pixel whose channels are equal (every pixel of a gray
    // picture) is that sample over Maximum, another its luminance 0.2126 R + 0.7152 G +
    // 0.0722 B (summed in that order) over Maximum. Done; Failed (EINVAL) for a picture without
    // pixels, sizes above MaxSide or too few samples.
    [[nodiscard]] Result SetSamples(const Samples &samples, int &error);

    uint32_t Width() const { return PictureWidth; }
    uint32_t Height() const { return PictureHeight; }
    const double *Values() const { return Pixels.empty() ? nullptr : Pixels.data(); }
    // The picture's row or column that field point at of a field side fieldSide takes:
    // floor(at x pictureSide / fieldSide), so that the picture is stretched over the field.
    static int32_t SourceIndex(int32_t at, uint32_t pictureSide, int32_t fieldSide) {
        return int32_t(int64_t(at) * int64_t(pictureSide) / int64_t(fieldSide));
    }
    // The value at point (x, y) of a sizeX x sizeY field.
    double ValueAt(int32_t x, int32_t y, int32_t sizeX, int32_t sizeY) const {
        return Pixels[size_t(SourceIndex(y, PictureHeight, sizeY)) * PictureWidth +
                      size_t(SourceIndex(x, PictureWidth, sizeX))];
    }

private:
    std::vector<double> Pixels;
    uint32_t PictureWidth = 0;
    uint32_t PictureHeight = 0;
};
