#include "image3d/PictureRule.h"

void PictureRule::ConvertToPicture(const Image3DFloat &field, Image3D8 &picture) const {
    if (Scale == 0.0) {
        (void)field.ConvertAutoScaleTo(picture);
    } else {
        (void)field.ConvertTo(picture, float(Scale), float(Offset));
    }
}

void PictureRule::ConvertToPicture(const Image3DFloat &field, Image3D24 &picture) const {
    if (Map24 == nullptr) return;
    if (Scale == 0.0) {
        (void)field.ConvertAutoScaleTo(picture, *Map24);
    } else {
        // The scale is written for the 256-entry palette: palette index i is entry
        // 1 + 100 (i - 1) of the 25303-entry map.
        (void)field.ConvertTo(picture, *Map24, float(100.0 * Scale),
                              float(1.0 + 100.0 * (Offset - 1.0)));
    }
}

bool PictureRule::ConvertToPixels(const Image3DFloat &field, uint32_t *pixels,
                                  ptrdiff_t stride) const {
    if (Map24 == nullptr) return false;
    if (Scale == 0.0)
        return field.ConvertAutoScaleToPixels(pixels, stride, *Map24) == Image3DFloat::Done;
    return field.ConvertToPixels(pixels, stride, *Map24, float(100.0 * Scale),
                                 float(1.0 + 100.0 * (Offset - 1.0))) == Image3DFloat::Done;
}
