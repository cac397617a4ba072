// PixelPlane: the loops that 8-bit and 24-bit pictures share, written once over the pixel size
// on raw bytes; private to image3d. The picture classes check their state and call these.
#pragma once

#include <cstddef>
#include <cstring>

// The first plane of a picture: pixel (0, 0), sizes in pixels, bytes from one line to the next.
struct PixelPlane {
    unsigned char *First = nullptr;
    int SizeX = 0;
    int SizeY = 0;
    size_t LineOffset = 0;
};

inline PixelPlane MakePixelPlane(unsigned char *first, int sizeX, int sizeY, size_t lineOffset) {
    PixelPlane plane;
    plane.First = first;
    plane.SizeX = sizeX;
    plane.SizeY = sizeY;
    plane.LineOffset = lineOffset;
    return plane;
}

// Copies from's pixels to (x, y) of to, as many as fit, PixelBytes bytes a pixel: false when
// (x, y) lies outside to or to has no pixels. from may be to itself.
template <int PixelBytes>
bool CopyPlane(const PixelPlane &to, const PixelPlane &from, int x, int y) {
    const int w = to.SizeX - x;
    const int h = to.SizeY - y;
    if (w <= 0 || h <= 0 || to.First == nullptr) return false;
    const int copyWidth = from.SizeX < w ? from.SizeX : w;
    const int copyHeight = from.SizeY < h ? from.SizeY : h;
    const size_t bytes = size_t(copyWidth) * PixelBytes;
    unsigned char *target = to.First + size_t(y) * to.LineOffset + size_t(x) * PixelBytes;
    // A copy of the picture into itself moves lines downwards: go from the last line up so that
    // no line is overwritten before it has been copied.
    const bool same = from.First == to.First;
    for (int k = 0; k < copyHeight; ++k) {
        const int i = same ? copyHeight - 1 - k : k;
        std::memmove(target + size_t(i) * to.LineOffset, from.First + size_t(i) * from.LineOffset,
                     bytes);
    }
    return true;
}

// Repeats from over the whole of to, left to right, top to bottom; from has at least one pixel.
template <int PixelBytes>
void TilePlane(const PixelPlane &to, const PixelPlane &from) {
    for (int y = 0; y < to.SizeY; y += from.SizeY) {
        for (int x = 0; x < to.SizeX; x += from.SizeX) {
            if (!CopyPlane<PixelBytes>(to, from, x, y)) break;
        }
    }
}

// Horizontal bar through the colour-map entries 1 .. n - 2 of an n-entry map, at (x, y), width
// x height pixels (0: the picture's size), cut at the picture's edges; put(pixel, index) writes
// one pixel. false, nothing drawn, when n <= 2, the width is below 2 or (x, y) leaves less than
// 10 pixels of room.
template <int PixelBytes, typename Put>
bool DrawRamp(const PixelPlane &to, int n, unsigned short x, unsigned short y, unsigned short width,
              unsigned short height, Put put) {
    int w = width == 0 ? to.SizeX : width;
    int h = height == 0 ? to.SizeY : height;
    if (n <= 2 || int(x) + 10 > to.SizeX || int(y) + 10 > to.SizeY || w < 2) return false;
    if (w > to.SizeX - int(x)) w = to.SizeX - int(x);
    if (h > to.SizeY - int(y)) h = to.SizeY - int(y);
    // The black and white ends of the ramp are left out.
    const double step = double(n - 3) / double(w - 1);
    for (int line = 0; line < h; ++line) {
        unsigned char *p =
            to.First + size_t(int(y) + line) * to.LineOffset + size_t(x) * PixelBytes;
        double a = 0.0;
        for (int i = 0; i < w; ++i) {
            int index = 1 + int(a + 0.49);
            if (index > n - 2) index = n - 2;
            put(p + size_t(i) * PixelBytes, index);
            a += step;
        }
    }
    return true;
}
