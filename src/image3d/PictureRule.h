// PictureRule: how a field becomes the picture that images and previews show: through a scale
// and an offset into the colour map, or stretched over the colours when the scale is 0. A small
// value that points at the colour maps (owned elsewhere) and holds no pixels.
#pragma once

#include "image3d/ColorMapRGBA8.h"
#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "image3d/Image3DFloat.h"

struct PictureRule {
    double Scale = 0.0;  // concentration to colour index; 0 scales automatically
    double Offset = 0.0;
    ColorMapRGBA8 *Map8 = nullptr;  // the 256-entry palette an 8-bit picture carries (shared)
    const ColorMapRGBA8 *Map24 = nullptr;  // the large map of 24-bit pictures

    // field into picture; a conversion that refuses (no map, no memory) leaves the picture as
    // it was. The 8-bit picture gets its indexes only: sharing Map8 as its palette is the
    // caller's step, after any tiling.
    void ConvertToPicture(const Image3DFloat &field, Image3D8 &picture) const;
    void ConvertToPicture(const Image3DFloat &field, Image3D24 &picture) const;
    // field into 32-bit pixels 0xffRRGGBB, lines stride pixels apart, in the colours of the
    // 24-bit picture: what a screen shows without a picture between. false (pixels as they
    // were) where the 24-bit conversion refuses.
    bool ConvertToPixels(const Image3DFloat &field, uint32_t *pixels, ptrdiff_t stride) const;
};
