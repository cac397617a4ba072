// ImageOptions: what a run's options change in the images it writes: the file type, the field
// size, upscaling, the material maps, PNG compression and which images are due. One value: the
// command line fills it, the image writer, the run's set-up and a sweep's variants read it, and
// it turns back into arguments for jobs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imageio/PngFile.h"

struct ImageOptions {
    static constexpr double MaxNormalStrength = 100.0;

    char Format = 0;  // 'P', 'B' or 'T' instead of the script's file type; 0: the script's
    int SizeX = 0;    // the domain size instead of the script's; 0: the script's
    int SizeY = 0;
    int Upscale = 1;  // 1 .. SurfaceMaps::MaxUpscale: pictures and maps this many times the field
    // --upscale-to: pictures and maps of this size instead (0: none); UpscaleToY 0 makes the
    // longer side UpscaleToX and the other in proportion.
    int UpscaleToX = 0;
    int UpscaleToY = 0;
    bool Height = false;          // also <image>_height.png, 16-bit gray
    bool Normal = false;          // also <image>_normal.png, tangent-space RGB
    double NormalStrength = 1.0;  // slope factor of the normals, height 0 .. 1 per field point
    bool NormalDirectX = false;   // the normal map's green channel points down the picture
    // Autoscaled images of a run over one range (that of all its images, from a first pass)
    // instead of each over its own field's.
    bool ScaleRun = false;
    int PngLevel = PngFile::DefaultCompression;  // zlib level 0 .. 9 of every PNG written
    bool Last = false;  // only the image at the run's last iteration (with its maps)

    // The options as vorna-cli arguments ("--format", "png", ...), which parse back to this very
    // value; empty when every option has its default.
    std::vector<std::string> ToArguments() const;
    // Whether the pictures are resampled from the field (upscaled, or to a size).
    bool Resamples() const { return Upscale > 1 || UpscaleToX > 0; }
    // The size of the pictures and maps of a fieldX x fieldY field.
    void OutputSize(uint32_t fieldX, uint32_t fieldY, uint32_t &x, uint32_t &y) const;
    // A picture of sideX x sideY made of that field (a mosaic's tile picture) scaled as the
    // field is: its sides times the field's ratios, rounded.
    void ScaledSize(uint32_t fieldX, uint32_t fieldY, uint32_t sideX, uint32_t sideY, uint32_t &x,
                    uint32_t &y) const;
    // The extension letter's word: "png", "bmp", "tga".
    static const char *FormatName(char format);
};
