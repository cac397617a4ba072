// Preview pictures of ReaDifSimulation: the output component as the saved images show it, and
// the colour map alone.
#include "image3d/ColorMapRGBA8.h"
#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "image3d/Image3DFloat.h"
#include "rdsimul/ReaDifSimulation.h"

namespace {

constexpr unsigned short StripHeight = 18;     // colour-map strip along the preview's bottom
constexpr unsigned short ColorMapMargin = 15;  // frame around the colour-map picture

}  // namespace

// Neither operation reports failure: a conversion or strip that refuses leaves the picture as it
// was, and the picture is returned all the same.
GenImage3D *ReaDifSimulation::GetPreviewImage(int showColorMap, int trueColor) {
    GenImage3D *picture = trueColor != 0 ? static_cast<GenImage3D *>(&PreviewImage24)
                                         : static_cast<GenImage3D *>(&PreviewImage8);
    int index = GetComponentIndex(ImageComponent);
    if (index < 0) index = 0;
    PreviewTime = CurrentTime;
    if (Components == nullptr || Components[index] == nullptr || Components[0] == nullptr ||
        ColorMaps8 == nullptr || ColorMaps8[0] == nullptr || ColorMaps24 == nullptr ||
        ColorMaps24[0] == nullptr) {
        return picture;
    }
    const Image3DFloat &field = *Components[index];
    // The strip covers the last lines; on a field of fewer lines the position wraps around to
    // a 16-bit value far outside the picture and the drawing refuses.
    unsigned short sizeX = Components[0]->GetSizeX();
    unsigned short stripY = static_cast<unsigned short>(Components[0]->GetSizeY() - StripHeight);
    if (trueColor != 0) {
        GetPictureRule().ConvertToPicture(field, PreviewImage24);
        if (showColorMap == 1) {
            (void)PreviewImage24.DrawColorMap(*ColorMaps24[0], 0, stripY, sizeX, StripHeight);
        }
        return picture;
    }
    GetPictureRule().ConvertToPicture(field, PreviewImage8);
    (void)PreviewImage8.ShareColorMap(*ColorMaps8[0]);
    if (showColorMap == 1) (void)PreviewImage8.DrawColorMap(0, stripY, sizeX, StripHeight);
    return picture;
}

GenImage3D *ReaDifSimulation::GetPreviewColorMap(unsigned short width, unsigned short height,
                                                 int trueColor) {
    // Sizes of 30 or less wrap around as 16-bit values; the drawing then keeps to the picture.
    unsigned short innerWidth = static_cast<unsigned short>(width - 2 * ColorMapMargin);
    unsigned short innerHeight = static_cast<unsigned short>(height - 2 * ColorMapMargin);
    if (trueColor == 0) {
        // A picture that cannot be sized is returned in its error state, which the display
        // refuses to draw.
        (void)PreviewImage8.SetNewSize(width, height, 1);
        (void)PreviewImage8.RawInit(0);
        if (ColorMaps8 != nullptr && ColorMaps8[0] != nullptr) {
            (void)PreviewImage8.ShareColorMap(*ColorMaps8[0]);
            (void)PreviewImage8.DrawColorMap(ColorMapMargin, ColorMapMargin, innerWidth,
                                             innerHeight);
        }
        return &PreviewImage8;
    }
    (void)PreviewImage24.SetNewSize(width, height, 1);
    (void)PreviewImage24.RawInit(0);
    if (ColorMaps24 != nullptr && ColorMaps24[0] != nullptr) {
        (void)PreviewImage24.DrawColorMap(*ColorMaps24[0], ColorMapMargin, ColorMapMargin,
                                          innerWidth, innerHeight);
    }
    return &PreviewImage24;
}
