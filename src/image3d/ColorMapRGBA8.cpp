#include "image3d/ColorMapRGBA8.h"

#include <cmath>
#include <limits>

#include "toolkit/RandomGenerator.h"

namespace {

// Integer part (toward zero) of v, without undefined behaviour for values no int can hold:
// those saturate, and NaN gives 0.
inline int Truncate(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int>::min();
    return int(v);
}

// Integer part of v limited to 0 .. 255 (NaN gives 0).
inline int LimitToByte(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 255.0) return 255;
    return int(v);
}

inline void StoreEntry(unsigned char *entries, int index, int r, int g, int b) {
    unsigned char *entry = entries + size_t(index) * 4;
    entry[0] = static_cast<unsigned char>(b & 0xFF);
    entry[1] = static_cast<unsigned char>(g & 0xFF);
    entry[2] = static_cast<unsigned char>(r & 0xFF);
    entry[3] = 0;
}

// One coordinate of a ramp. An unbounded coordinate has infinite bounds, so the bounce test
// never fires for it and the step loop needs no special case.
struct RampAxis {
    double Value;
    double Step;
    double Low;
    double High;
};

inline RampAxis MakeAxis(double start, double end, double low, double high) {
    return RampAxis{start, (end - start) / double(ColorMapRGBA8::RampSteps), low, high};
}

// A coordinate that left its range is put back on the bound it crossed and turns round.
// The comparisons are strict: a value exactly on a bound neither moves nor turns.
inline void Bounce(RampAxis &axis) {
    if (axis.Value > axis.High) {
        axis.Value = axis.High;
        axis.Step = -axis.Step;
    } else if (axis.Value < axis.Low) {
        axis.Value = axis.Low;
        axis.Step = -axis.Step;
    }
}

constexpr double Unbounded = std::numeric_limits<double>::infinity();

// The ramp engine shared by the five linear builders. The walk takes micro-steps k = 0 ..
// lastStep; entry i (from 1) is sampled at the first k reaching the sample position, which
// starts at 0 and grows by d = RampSteps / (count - 3), so entry count - 2 falls on k =
// RampSteps. ClampFirst bounces before sampling (the first sample is already in range);
// otherwise the sample comes first and the bounce follows the step (the first sample takes the
// start values as given). Convert returns false for a sample that must be dropped.
// Ramp entries left unwritten when the walk ends get the last colour converted, and the ends
// are black and white, so every entry of the map is written.
template <bool ClampFirst, int N, typename Convert>
void WalkRamp(unsigned char *entries, int count, RampAxis (&axes)[N], int32_t lastStep,
              Convert convert) {
    const int lastRampEntry = count - 2;
    const double sampleStep = double(ColorMapRGBA8::RampSteps) / double(count - 3);
    double samplePosition = 0.0;
    int next = 1;
    int r = 0, g = 0, b = 0;  // the last colour converted
    StoreEntry(entries, 0, 0, 0, 0);
    for (int32_t k = 0; k <= lastStep; ++k) {
        if constexpr (ClampFirst) {
            for (RampAxis &axis : axes) Bounce(axis);
        }
        if (double(k) >= samplePosition) {
            samplePosition += sampleStep;
            int cr, cg, cb;
            if (convert(axes, cr, cg, cb)) {
                r = cr;
                g = cg;
                b = cb;
                StoreEntry(entries, next, r, g, b);
                if (++next > lastRampEntry) break;
            }
        }
        for (RampAxis &axis : axes) axis.Value += axis.Step;
        if constexpr (!ClampFirst) {
            for (RampAxis &axis : axes) Bounce(axis);
        }
    }
    for (; next <= lastRampEntry; ++next) StoreEntry(entries, next, r, g, b);
    StoreEntry(entries, count - 1, 255, 255, 255);
}

}  // namespace

ColorMapRGBA8::ColorMapRGBA8(int count)
    : ColorCount(0), Entries("ColorMapRGB8", count > 0 ? uint32_t(count) : 0u, 4) {
    ColorCount = (count > 0 && !Entries.HasAllocationError()) ? count : 0;
}

MemoryTable *ColorMapRGBA8::GetPtrRawColorMap() { return &Entries; }

unsigned char *ColorMapRGBA8::GetPtrFirstEntry() const {
    return ColorCount > 0 ? reinterpret_cast<unsigned char *>(Entries.GetData()) : nullptr;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::SetColorRGBA(int index, unsigned char r, unsigned char g,
                                                     unsigned char b, unsigned char a) {
    if (index < 0 || index >= ColorCount) return MapFailed;
    unsigned char *entry = GetPtrFirstEntry() + size_t(index) * 4;
    entry[0] = b;
    entry[1] = g;
    entry[2] = r;
    entry[3] = a;
    return MapDone;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::SetGrayColorMap() {
    const int n = ColorCount;
    if (n < 2) return MapTooFewEntries;
    unsigned char *entries = GetPtrFirstEntry();
    // Repeated addition, as the levels have always been made.
    const double step = 255.0 / double(n);
    double level = 0.0;
    for (int i = 0; i <= n - 2; ++i) {
        const int gray = int(level);
        StoreEntry(entries, i, gray, gray, gray);
        level += step;
    }
    StoreEntry(entries, n - 1, 255, 255, 255);
    return MapDone;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::SetLinearRGBColorMap(double r0, double r1, double g0,
                                                             double g1, double b0, double b1) {
    if (ColorCount < 4) return MapTooFewEntries;
    RampAxis axes[3] = {MakeAxis(r0, r1, 0.0, 255.0), MakeAxis(g0, g1, 0.0, 255.0),
                        MakeAxis(b0, b1, 0.0, 255.0)};
    WalkRamp<true>(GetPtrFirstEntry(), ColorCount, axes, RampSteps,
                   [](const RampAxis(&v)[3], int &r, int &g, int &b) {
                       r = Truncate(v[0].Value + 0.49999);
                       g = Truncate(v[1].Value + 0.49999);
                       b = Truncate(v[2].Value + 0.49999);
                       return true;
                   });
    return MapDone;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::SetLinearHSLColorMap(double h0, double h1, double s0,
                                                             double s1, double l0, double l1) {
    if (ColorCount < 4) return MapTooFewEntries;
    RampAxis axes[3] = {MakeAxis(h0, h1, -Unbounded, Unbounded), MakeAxis(s0, s1, 0.0, 1.0),
                        MakeAxis(l0, l1, 0.0, 255.0)};
    WalkRamp<false>(GetPtrFirstEntry(), ColorCount, axes, RampSteps,
                    [](const RampAxis(&v)[3], int &r, int &g, int &b) {
                        ConvertHSLtoRGB(float(v[0].Value), float(v[1].Value), float(v[2].Value), r,
                                        g, b);
                        return true;
                    });
    return MapDone;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::SetLinearXYZColorMap(double x0, double x1, double y0,
                                                             double y1, double z0, double z1) {
    if (ColorCount < 4) return MapTooFewEntries;
    RampAxis axes[3] = {MakeAxis(x0, x1, 0.0, 1.0), MakeAxis(y0, y1, 0.0, 1.0),
                        MakeAxis(z0, z1, 0.0, 1.0)};
    WalkRamp<false>(GetPtrFirstEntry(), ColorCount, axes, 10 * RampSteps,
                    [](const RampAxis(&v)[3], int &r, int &g, int &b) {
                        ConvertXYZtoRGB(float(v[0].Value), float(v[1].Value), float(v[2].Value), r,
                                        g, b);
                        return true;
                    });
    return MapDone;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::SetLinearCMYKColorMap(double c0, double c1, double m0,
                                                              double m1, double y0, double y1,
                                                              double k0, double k1) {
    if (ColorCount < 4) return MapTooFewEntries;
    RampAxis axes[4] = {MakeAxis(c0, c1, 0.0, 255.0), MakeAxis(m0, m1, 0.0, 255.0),
                        MakeAxis(y0, y1, 0.0, 255.0), MakeAxis(k0, k1, 0.0, 255.0)};
    // The values are clamped before each sample, so the conversion cannot refuse them; its
    // result is not needed (a refusal would give black, which is then written).
    WalkRamp<true>(GetPtrFirstEntry(), ColorCount, axes, RampSteps,
                   [](const RampAxis(&v)[4], int &r, int &g, int &b) {
                       ConvertCMYKtoRGB(Truncate(v[0].Value), Truncate(v[1].Value),
                                        Truncate(v[2].Value), Truncate(v[3].Value), r, g, b);
                       return true;
                   });
    return MapDone;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::SetLinearYCBCRColorMap(double y0, double y1, double cb0,
                                                               double cb1, double cr0, double cr1) {
    if (ColorCount < 4) return MapTooFewEntries;
    RampAxis axes[3] = {MakeAxis(y0, y1, 0.0, 1.0), MakeAxis(cb0, cb1, -0.5, 0.5),
                        MakeAxis(cr0, cr1, -0.5, 0.5)};
    // A start outside the ranges loses its sample; the walk then runs on past its end to make
    // up for it, which the longer loop limit allows.
    WalkRamp<false>(GetPtrFirstEntry(), ColorCount, axes, 10 * RampSteps,
                    [](const RampAxis(&v)[3], int &r, int &g, int &b) {
                        return ConvertYCBCRtoRGB(float(v[0].Value), float(v[1].Value),
                                                 float(v[2].Value), r, g, b) == MapDone;
                    });
    return MapDone;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::SetRandomColorMap(unsigned char rMin, unsigned char rMax,
                                                          unsigned char gMin, unsigned char gMax,
                                                          unsigned char bMin, unsigned char bMax) {
    const int n = ColorCount;
    if (n < 2) return MapTooFewEntries;
    unsigned char *entries = GetPtrFirstEntry();
    // min + integer part of (draw x (max - min + 1) / 32767); the one draw 32767, which would
    // give max + 1, gives max.
    auto channel = [](unsigned char low, unsigned char high) {
        const int32_t draw = RandomGenerator::Rand();
        if (draw >= RandomGenerator::RandMax) return int(high);
        const double span = double(int(high) - int(low) + 1);
        return int(low) + int(double(draw) * span / double(RandomGenerator::RandMax));
    };
    StoreEntry(entries, 0, 0, 0, 0);
    for (int i = 1; i <= n - 2; ++i) {
        const int b = channel(bMin, bMax);
        const int g = channel(gMin, gMax);
        const int r = channel(rMin, rMax);
        StoreEntry(entries, i, r, g, b);
    }
    StoreEntry(entries, n - 1, 255, 255, 255);
    return MapDone;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::ConvertHSLtoRGB(float h, float s, float l, int &r, int &g,
                                                        int &b) {
    // A hexcone whose third coordinate is the brightest channel, on the 0 .. 255 scale.
    const int v = Truncate(double(l) + 0.5);
    if (s == 0.0f) {
        r = g = b = v;
        return MapDone;
    }
    // Whole turns are removed with fmod, which is exact; a hue that cannot be placed on the
    // circle (infinite or NaN) counts as 0.
    double hue = std::isfinite(h) ? std::fmod(double(h), 360.0) : 0.0;
    if (hue < 0.0) hue += 360.0;
    float x = float(hue / 60.0);
    if (x >= 6.0f) x -= 6.0f;  // a hue a hair below 360 that rounds up to a full turn
    const int i = int(x);
    const double f = double(x) - double(i);
    const double sd = double(s);
    const double ld = double(l);
    const int p = Truncate((1.0 - sd) * ld + 0.5);
    // The falling edge uses the squared fraction, the rising edge the plain one.
    const int q = Truncate((1.0 - sd * f * f) * ld + 0.5);
    const int t = Truncate((1.0 - (1.0 - f) * sd) * ld + 0.5);
    // (r, g, b) of each sixth of the circle, from red through yellow, green, cyan, blue, magenta.
    const int sectors[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
    r = sectors[i][0];
    g = sectors[i][1];
    b = sectors[i][2];
    return MapDone;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::ConvertXYZtoRGB(float x, float y, float z, int &r, int &g,
                                                        int &b) {
    const double xd = x, yd = y, zd = z;
    r = LimitToByte(255.0 * (3.063219 * xd - 1.393326 * yd - 0.475801 * zd) + 0.5);
    g = LimitToByte(255.0 * (-0.969245 * xd + 1.875968 * yd + 0.041555 * zd) + 0.5);
    b = LimitToByte(255.0 * (0.0678716 * xd - 0.228833 * yd + 1.069251 * zd) + 0.5);
    return MapDone;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::ConvertCMYKtoRGB(int c, int m, int y, int k, int &r, int &g,
                                                         int &b) {
    if (c < 0 || c > 255 || m < 0 || m > 255 || y < 0 || y > 255 || k < 0 || k > 255) {
        r = g = b = 0;
        return MapFailed;
    }
    const double black = double(k);
    const double cover = 1.0 - black / 255.0;
    auto channel = [&](int ink) {
        const int density = int(black + double(ink) * cover + 0.5);
        return 255 - (density < 255 ? density : 255);
    };
    r = channel(c);
    g = channel(m);
    b = channel(y);
    return MapDone;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::ConvertYCBCRtoRGB(float y, float cb, float cr, int &r,
                                                          int &g, int &b) {
    // Written so that NaN fails the test as well.
    if (!(y >= 0.0f && y <= 1.0f && cb >= -0.5f && cb <= 0.5f && cr >= -0.5f && cr <= 0.5f)) {
        r = g = b = 0;
        return MapFailed;
    }
    const double yd = y, cbd = cb, crd = cr;
    r = LimitToByte(255.0 * (yd + 1.4022 * crd) + 0.5);
    g = LimitToByte(255.0 * (yd - 0.3456 * cbd - 0.7145 * crd) + 0.5);
    b = LimitToByte(255.0 * (yd + 1.771 * cbd) + 0.5);
    return MapDone;
}

ColorMapRGBA8::MapResult ColorMapRGBA8::ShareColorMap(ColorMapRGBA8 &other) {
    if (other.Entries.HasAllocationError()) return MapFailed;
    if (&other == this) return MapDone;
    if (Entries.Share(other.Entries) != MemoryTable::Done) return MapFailed;
    ColorCount = other.ColorCount;
    return MapDone;
}

MemoryTable::Result ColorMapRGBA8::RawReadFile(FILE *stream, int count) {
    // Entries are one word each; a negative count reads all, like 0.
    const uint32_t words = count > 0 ? uint32_t(count) : 0u;
    return Entries.RawReadFile(stream, words);
}

MemoryTable::Result ColorMapRGBA8::RawWriteFileRGBA(FILE *stream) const {
    return Entries.RawWriteFile(stream, 0);
}

MemoryTable::Result ColorMapRGBA8::RawWriteFileRGB(FILE *stream) const {
    if (stream == nullptr || Entries.HasAllocationError()) return MemoryTable::Failed;
    const unsigned char *entries = GetPtrFirstEntry();
    // Converted through a small buffer, 256 entries at a time.
    unsigned char buffer[3 * 256];
    int done = 0;
    while (done < ColorCount) {
        const int chunk = ColorCount - done < 256 ? ColorCount - done : 256;
        for (int i = 0; i < chunk; ++i) {
            const unsigned char *entry = entries + size_t(done + i) * 4;
            buffer[3 * i] = entry[0];
            buffer[3 * i + 1] = entry[1];
            buffer[3 * i + 2] = entry[2];
        }
        std::fwrite(buffer, 3, size_t(chunk), stream);
        done += chunk;
    }
    return MemoryTable::Done;
}

MemoryTable::Result ColorMapRGBA8::DumpTextFile(const char *path) const {
    return Entries.DumpTextFile(path, 4);
}
