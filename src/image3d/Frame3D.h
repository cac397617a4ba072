// Frame3D: the three sizes of an image block (pixels per line, lines per plane, planes) and their
// product; owns nothing. Size changes end in the actual class's UpdateSize.
#pragma once

#include <cstdint>

class Frame3D {
public:
    // All sizes and PixelCount 0.
    Frame3D();
    // SetNewSize(x, y, z).
    Frame3D(unsigned short x, unsigned short y, unsigned short z);
    virtual ~Frame3D() = default;

    // Stores the sizes (z 0 becomes 1), then runs the actual class's UpdateSize; its result.
    [[nodiscard]] int SetNewSize(unsigned short x, unsigned short y, unsigned short z);
    // SetNewSize with the other frame's sizes.
    [[nodiscard]] int Clone(const Frame3D &other);
    // PixelCount = X x Y x Z: 1; 0 when the product does not fit 32 bits (PixelCount saturates).
    [[nodiscard]] virtual int UpdateSize();

    unsigned short GetSizeX() const { return SizeX; }
    unsigned short GetSizeY() const { return SizeY; }
    unsigned short GetSizeZ() const { return SizeZ; }
    uint32_t GetPixelCount() const { return PixelCount; }

protected:
    unsigned short SizeX;
    unsigned short SizeY;
    unsigned short SizeZ;
    uint32_t PixelCount;
};
