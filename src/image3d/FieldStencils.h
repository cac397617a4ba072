// FieldStencils: the plain whole-field loops on float planes with a one-pixel border, written
// once on raw pointers and strides; Image3DFloat and the simulation's reference kernels call them.
#pragma once

#include <cstddef>
#include <cstdint>

// Where the interior pixels lie: sizes in pixels, strides in floats. firstPixel is pixel
// (0, 0, 0); every plane has a border of exactly one pixel around it.
struct FloatPlanes {
    int32_t SizeX = 0;
    int32_t SizeY = 0;
    int32_t SizeZ = 1;
    ptrdiff_t LineOffset = 0;
    ptrdiff_t PlaneOffset = 0;
};

// Copies the opposite edges into the border ring of every plane, corners diagonally, so each
// plane is a torus.
void PeriodiseBorder1(float *firstPixel, const FloatPlanes &planes);
// In place: pixel c becomes neighbour x S9 + (centre - neighbour) x c, S9 being the sum of the
// 3 x 3 block around it, in double and rounded to float once. Reads the border as it stands;
// border line -1 of each plane is the scratch line and ends holding the old last line.
void NinePointFilter(float *firstPixel, const FloatPlanes &planes, double centre, double neighbour);
// In place: pixel c becomes (S9 - c) x 0.125, the mean of its 8 neighbours. As above otherwise.
void NinePointMean(float *firstPixel, const FloatPlanes &planes);

// Whether the count floats from line on hold a NaN. The whole line without an early exit, so
// that the compiler vectorises the test where it is inlined.
inline bool LineHoldsNaN(const float *line, int32_t count) {
    int found = 0;
    for (int32_t x = 0; x < count; ++x) found |= line[x] != line[x];  // NaN is unequal to itself
    return found != 0;
}
