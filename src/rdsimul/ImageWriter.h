// ImageWriter: what SaveImage2D hands a finished image to when a program installed one, so that
// formats and extra maps whose libraries the core does not link (PNG) are written from above.
// The writer sees the image as a small value (ImageJob), never the simulation itself.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image3d/GenImage3D.h"
#include "image3d/Image3DFloat.h"
#include "image3d/PictureRule.h"

// One image to write: the field, its picture as the core would write it, where and how.
struct ImageJob {
    const Image3DFloat *Field = nullptr;  // the component the image shows
    // field through Rule (Image3D8 sharing Rule.Map8 as its palette, or Image3D24); the tile
    // picture for a mosaic.
    GenImage3D *Picture = nullptr;
    const char *Path = nullptr;  // its extension is Format's: ".bmp", ".tga", ".png"
    char Format = 'B';           // 'B' BMP, 'T' TGA, 'P' PNG
    bool Mosaic = false;         // Picture is the field tiled over a larger picture
    PictureRule Rule;            // how a resampled field becomes its picture again
};

class ImageWriter {
public:
    // What Write answers.
    enum class Result { Failed = 0, Done = 1 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;

    virtual ~ImageWriter() = default;

    // Writes job's image: Done; Failed with the errno-like cause in error and the name of the
    // file that failed in failedPath (failedSize bytes).
    [[nodiscard]] virtual Result Write(const ImageJob &job, int &error, char *failedPath,
                                       size_t failedSize) = 0;
    // Bytes one image takes on disk at most, every file it writes counted, for a picture of x
    // by y pixels of depth bytes in format ('B', 'T' or 'P') showing a field of fieldX by
    // fieldY points.
    virtual uint64_t FileBytes(char format, uint32_t x, uint32_t y, int depth, uint32_t fieldX,
                               uint32_t fieldY) const = 0;
    // A writer that writes in the background (Write then means handed over) waits here until
    // every image handed over is written and tells its failures as it was told to; nothing to
    // wait for otherwise.
    virtual void Finish() {}
};
