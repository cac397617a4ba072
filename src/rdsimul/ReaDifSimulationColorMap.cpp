// The colour-map specification of a script's "colormap" line, built into the simulation's
// 256-entry and 25303-entry colour maps.
#include "image3d/ColorMapRGBA8.h"
#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/MessageIds.h"
#include "toolkit/ProcString.h"
#include "toolkit/StringTable.h"

namespace {

struct ColorSpace {
    const char *Word;
    const char *Kinds;  // one letter per number: 'i' integer, 'f' real
    int MsgNumbers;     // numbers missing or not numbers
    int MsgTextAfter;   // text after the numbers
};

// Tried in this order.
constexpr ColorSpace ColorSpaces[] = {
    {"gray", "", 0, MsgGrayTextAfter},
    {"rgb", "iiiiii", MsgRgbNumbers, MsgRgbTextAfter},
    {"hsl", "iiffii", MsgHslNumbers, MsgHslTextAfter},
    {"xyz", "ffffff", MsgXyzNumbers, MsgXyzTextAfter},
    {"cmyk", "iiiiiiii", MsgCmykNumbers, MsgCmykTextAfter},
    {"ycbcr", "ffffff", MsgYcbcrNumbers, MsgYcbcrTextAfter},
};
constexpr int MaxNumbers = 8;

ColorMapRGBA8::MapResult Build(ColorMapRGBA8 &map, int space, const double *v) {
    switch (space) {
        case 0:
            return map.SetGrayColorMap();
        case 1:
            return map.SetLinearRGBColorMap(v[0], v[1], v[2], v[3], v[4], v[5]);
        case 2:
            return map.SetLinearHSLColorMap(v[0], v[1], v[2], v[3], v[4], v[5]);
        case 3:
            return map.SetLinearXYZColorMap(v[0], v[1], v[2], v[3], v[4], v[5]);
        case 4:
            return map.SetLinearCMYKColorMap(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        default:
            return map.SetLinearYCBCRColorMap(v[0], v[1], v[2], v[3], v[4], v[5]);
    }
}

}  // namespace

ReaDifSimulation::Result ReaDifSimulation::SetColorMapFromString(ProcString &line,
                                                                 ProcString &error) {
    int space = -1;
    for (int i = 0; i < int(sizeof ColorSpaces / sizeof ColorSpaces[0]); ++i) {
        if (line.CMoveMatchWord(ColorSpaces[i].Word) == ProcString::Done) {
            space = i;
            break;
        }
    }
    if (space < 0) {
        (void)error.Init(
            GST.Get(line.CMatchEnd(1) == ProcString::Done ? MsgNoColorSpace : MsgUnknownColorSpace),
            0);
        return Refused;
    }
    const ColorSpace &chosen = ColorSpaces[space];
    double values[MaxNumbers] = {};
    for (int i = 0; chosen.Kinds[i] != 0; ++i) {
        ProcString::Result read;
        if (chosen.Kinds[i] == 'i') {
            int32_t number = 0;
            read = line.CMoveReadInteger(number);
            values[i] = number;
        } else {
            float number = 0.0f;
            read = line.CMoveReadFloat(number, 0.0f);
            values[i] = number;
        }
        if (read != ProcString::Done) {
            (void)error.Init(GST.Get(chosen.MsgNumbers), 0);
            return Refused;
        }
    }
    if (line.CMatchEnd(1) != ProcString::Done) {
        (void)error.Init(GST.Get(chosen.MsgTextAfter), 0);
        return Refused;
    }
    // An object whose construction failed has no maps to build into.
    if (ColorMaps8 != nullptr && ColorMaps8[0] != nullptr) Build(*ColorMaps8[0], space, values);
    if (ColorMaps24 != nullptr && ColorMaps24[0] != nullptr) Build(*ColorMaps24[0], space, values);
    return Done;
}
