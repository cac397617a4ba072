// SurfaceMaps: the numerics of the material maps: a field read as heights, its 16-bit height
// map and tangent-space normal map, and the periodic cubic resampling of upscaled output. Every
// operation treats the field as a torus, so the maps tile exactly as the colour image does.
#pragma once

#include <cstdint>
#include <vector>

class Image3DFloat;

namespace SurfaceMaps {
// What the operations answer.
enum class Result { Failed = 0, Done = 1 };
constexpr Result Failed = Result::Failed;
constexpr Result Done = Result::Done;

constexpr int MaxUpscale = 8;
// Largest side of an upscaled picture: the pictures' sides are 16-bit, and a 16384 x 16384
// 24-bit picture with its field already takes about 2 GB.
constexpr uint32_t MaxUpscaledSide = 16384;

// Heights 0 .. 1 of the field's interior, row by row from the top (width x height floats).
// scale 0: autoscaled, u = (v - min) / (max - min) over the field, 0 everywhere for a uniform
// field. Otherwise the script's fixed scale, which maps v to the palette index scale v + offset:
// u = (scale v + offset) / 255, limited to 0 .. 1 (index 0 is height 0, index 255 height 1).
// NaN is height 0. Done; Failed for a field without pixels.
[[nodiscard]] Result FieldHeights(const Image3DFloat &field, double scale, double offset,
                                  std::vector<float> &heights);

// Height map samples: round(65535 u).
void HeightSamples(const std::vector<float> &heights, std::vector<uint16_t> &samples);

// Tangent-space normal map, 8-bit RGB rows of width x 3 bytes, from heights (width x height)
// with periodic central differences, in height units (0 .. 1) per pixel:
//   du/dx = (u(x+1, y) - u(x-1, y)) / 2, du/dY = (u(x, row above) - u(x, row below)) / 2,
//   n = normalize(-strength du/dx, -strength du/dY, 1)
// with Y pointing up the picture (OpenGL convention); directX flips the green channel (Y down).
// A channel is round(255 (n + 1) / 2): a flat field gives (128, 128, 255).
void NormalMap(const std::vector<float> &heights, uint32_t width, uint32_t height, double strength,
               bool directX, std::vector<uint8_t> &rgb);
// The same with a strength of its own for each axis: a map resampled by different ratios
// along x and y keeps the field's slopes on both.
void NormalMap(const std::vector<float> &heights, uint32_t width, uint32_t height, double strengthX,
               double strengthY, bool directX, std::vector<uint8_t> &rgb);

// Whether a sizeX x sizeY field upscaled factor times fits: factor 1 .. MaxUpscale and both
// sides at most MaxUpscaledSide.
bool UpscaleFits(uint32_t sizeX, uint32_t sizeY, int factor);

// Resamples field factor times larger into out (resized, border 1) with the periodic
// Catmull-Rom filter, pixel centres aligned: output pixel X samples the field at
// (X + 0.5) / factor - 0.5, its neighbours taken across the opposite edge. Factor 1 copies the
// field exactly. Done; Failed when it does not fit (UpscaleFits), the field has no pixels or
// out cannot be sized.
[[nodiscard]] Result Upscale(const Image3DFloat &field, int factor, Image3DFloat &out);

// Whether a sizeX x sizeY field resampled to width x height fits: neither side smaller than
// the field's (resampling down would skip points) and none above MaxUpscaledSide.
bool ResampleFits(uint32_t sizeX, uint32_t sizeY, uint32_t width, uint32_t height);

// Resamples field to width x height pixels with the same periodic filter: output pixel X
// samples the field at (X + 0.5) sizeX / width - 0.5. A side that is a whole multiple of the
// field's is resampled exactly as Upscale does; the picture tiles at any ratio. Done; Failed
// when it does not fit (ResampleFits), the field has no pixels or out cannot be sized.
[[nodiscard]] Result Resample(const Image3DFloat &field, uint32_t width, uint32_t height,
                              Image3DFloat &out);
}  // namespace SurfaceMaps
