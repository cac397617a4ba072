// ImageWriter: what SaveImage2D hands a finished image to when a program installed one, so that
// formats and extra maps whose libraries the core does not link (PNG) are written from above.
#pragma once

#include <cstddef>
#include <cstdint>

class GenImage3D;
class Image3DFloat;
class ReaDifSimulation;

class ImageWriter {
public:
    virtual ~ImageWriter() = default;

    // Writes the image of field at path (its extension is the script's format: ".bmp", ".tga",
    // ".png"), picture being the field through the script's colour map as the core would write
    // it (Image3D8 sharing the script's palette, or Image3D24; the tile picture for a mosaic).
    // 1 done; 0 with the errno-like cause in error and the name of the file that failed in
    // failedPath (failedSize bytes).
    [[nodiscard]] virtual int Write(const ReaDifSimulation &sim, const Image3DFloat &field,
                                    GenImage3D &picture, const char *path, int &error,
                                    char *failedPath, size_t failedSize) = 0;
    // Bytes one image of sim takes on disk at most, every file it writes counted, for a picture
    // of x by y pixels of depth bytes in format ('B', 'T' or 'P').
    virtual uint64_t FileBytes(const ReaDifSimulation &sim, char format, uint32_t x, uint32_t y,
                               int depth) const = 0;
};
