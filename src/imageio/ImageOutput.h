// ImageOutput: the image writer both programs hand their simulation: PNG beside the core's BMP
// and TGA, upscaled pictures, and the height and normal maps of every image. Owns its working
// pictures; the program that makes one owns it, and its options stay fixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "image3d/Image3DFloat.h"
#include "imageio/ImageOptions.h"
#include "imageio/PngFile.h"
#include "rdsimul/ImageWriter.h"

// Called with the path of every file written: colour image, height map, normal map.
using ImageWrittenCallback = std::function<void(const std::string &path)>;

class ImageOutput : public ImageWriter {
public:
    ImageOutput(const ImageOptions &options, ImageWrittenCallback written);

    // Writes the colour image (upscaled first when asked; PNG through PngFile, BMP and TGA
    // through the core's savers), then the maps asked for. Stops at the first file that fails:
    // Failed with its cause (EINVAL for an Upscale outside 1 .. 8, EFBIG for an upscaled picture
    // beyond SurfaceMaps::MaxUpscaledSide, ENOMEM when a picture cannot be sized) and its name.
    [[nodiscard]] Result Write(const ImageJob &job, int &error, char *failedPath,
                               size_t failedSize) override;
    // The colour file at the upscaled size plus PngFileBytes bounds of the maps.
    uint64_t FileBytes(char format, uint32_t x, uint32_t y, int depth, uint32_t fieldX,
                       uint32_t fieldY) const override;

    // The pixels of a picture as PngFile writes them. An 8-bit picture's palette always has 256
    // entries, black past the colour map's end, as in the BMP the core writes of it; palette
    // must outlive the result.
    using PngPalette = uint8_t[Image3D8::PaletteEntries][3];
    static PngFile::Picture PngPicture(const Image3D8 &picture, PngPalette &palette);
    static PngFile::Picture PngPicture(const Image3D24 &picture);

    // "<path without its extension><suffix>.png": the name of a map of the image at path.
    static std::string MapPath(const std::string &path, const char *suffix);

private:
    // Writes picture in format to path: Done; Failed with error.
    static Result WriteColour(char format, GenImage3D &picture, const char *path, int &error);
    Result WriteMaps(const PictureRule &rule, const Image3DFloat &field, const char *path,
                     int &error, std::string &failed);
    void Written(const std::string &path) const;

    ImageOptions Options;
    ImageWrittenCallback WrittenCallback;
    Image3DFloat UpscaledField;
    Image3D8 UpscaledPicture8;
    Image3D24 UpscaledPicture24;
    Image3D8 UpscaledTile8;
    Image3D24 UpscaledTile24;
};
