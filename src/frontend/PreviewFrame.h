// PreviewFrame: a copy of the simulation's preview picture made at a slice boundary, which the
// window thread draws while the next slices compute; owns an 8-bit and a 24-bit picture.
#pragma once

#include <cstdint>

#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"

class PreviewFrame {
public:
    PreviewFrame();

    // Copies picture (8 bits with its palette, or 24 bits) as the preview of iteration time:
    // true; false when picture has no pixels, another depth or the copy could not be sized (the
    // frame then holds nothing).
    bool CopyFrom(GenImage3D &picture, int32_t time);
    // The copy, null when there is none.
    GenImage3D *Picture() const { return Current; }
    // The iteration the copy shows.
    int32_t Time() const { return FrameTime; }

private:
    Image3D8 Picture8;
    Image3D24 Picture24;
    GenImage3D *Current = nullptr;
    int32_t FrameTime = 0;
};
