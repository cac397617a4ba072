// Frame3D: the three sizes of an image block (pixels per line, lines per plane, planes) and their
// product; owns nothing. Size changes end in the actual class's UpdateSize.
#pragma once

#include <cstdint>

class Frame3D {
public:
    // What a size change answers: Done (a new, zeroed store where there is one), Kept (the store
    // held fits; its bytes stay), Failed (refused; a store is left in its error state).
    enum class SizeResult { Failed = 0, Done = 1, Kept = 4 };

    // All sizes and PixelCount 0.
    Frame3D();
    // SetNewSize(x, y, z).
    Frame3D(unsigned short x, unsigned short y, unsigned short z);
    virtual ~Frame3D() = default;

    // Stores the sizes (z 0 becomes 1), then runs the actual class's UpdateSize; its result.
    [[nodiscard]] SizeResult SetNewSize(unsigned short x, unsigned short y, unsigned short z);
    // SetNewSize with the other frame's sizes.
    [[nodiscard]] SizeResult Clone(const Frame3D &other);
    // PixelCount = X x Y x Z: Done; Failed when the product does not fit 32 bits (PixelCount
    // saturates).
    [[nodiscard]] virtual SizeResult UpdateSize();

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
