#include "image3d/Frame3D.h"

Frame3D::Frame3D() : SizeX(0), SizeY(0), SizeZ(0), PixelCount(0) {}

Frame3D::Frame3D(unsigned short x, unsigned short y, unsigned short z)
    : SizeX(0), SizeY(0), SizeZ(0), PixelCount(0) {
    // A refused size leaves the frame empty, which callers see in its sizes.
    (void)SetNewSize(x, y, z);
}

Frame3D::SizeResult Frame3D::SetNewSize(unsigned short x, unsigned short y, unsigned short z) {
    SizeX = x;
    SizeY = y;
    SizeZ = z == 0 ? 1 : z;
    return UpdateSize();
}

Frame3D::SizeResult Frame3D::Clone(const Frame3D &other) {
    return SetNewSize(other.SizeX, other.SizeY, other.SizeZ);
}

Frame3D::SizeResult Frame3D::UpdateSize() {
    // Three 16-bit sizes can multiply past 32 bits; the product is formed in 64.
    const uint64_t count = uint64_t(SizeX) * SizeY * SizeZ;
    if (count > UINT32_MAX) {
        PixelCount = UINT32_MAX;
        return SizeResult::Failed;
    }
    PixelCount = uint32_t(count);
    return SizeResult::Done;
}
