#include "imageio/SurfaceMaps.h"

#include <cmath>
#include <cstddef>

#include "image3d/Image3DFloat.h"

namespace SurfaceMaps {

namespace {

// The field's interior pixel (x, y) of its first plane.
inline const float *Row(const Image3DFloat &field, uint32_t y) {
    return field.GetPtrFirstPixel() + size_t(y) * size_t(field.GetLineOffset());
}

bool HasPixels(const Image3DFloat &field) {
    return !field.HasAllocationError() && field.GetPtrFirstPixel() != nullptr &&
           field.GetSizeX() > 0 && field.GetSizeY() > 0;
}

// Catmull-Rom weights of the samples at i - 1, i, i + 1, i + 2 for a position t (0 .. 1) after
// sample i.
void CubicWeights(double t, double w[4]) {
    const double t2 = t * t;
    const double t3 = t2 * t;
    w[0] = 0.5 * (-t3 + 2.0 * t2 - t);
    w[1] = 0.5 * (3.0 * t3 - 5.0 * t2 + 2.0);
    w[2] = 0.5 * (-3.0 * t3 + 4.0 * t2 + t);
    w[3] = 0.5 * (t3 - t2);
}

// The four source indexes and weights of every output position along one axis of n samples
// upscaled factor times. Output X = q factor + r samples the source at q + (2r + 1 - factor) /
// (2 factor): the phase depends on r alone, in integers, so the tables of a rolled field are the
// same tables rolled and the result is exactly periodic.
struct Taps {
    std::vector<uint32_t> Index;  // 4 per output position, already wrapped into 0 .. n - 1
    std::vector<double> Weight;   // 4 per output position
};

Taps MakeTaps(uint32_t n, int factor) {
    Taps taps;
    const uint32_t outputs = n * uint32_t(factor);
    taps.Index.resize(size_t(outputs) * 4);
    taps.Weight.resize(size_t(outputs) * 4);
    const int twice = 2 * factor;
    for (uint32_t out = 0; out < outputs; ++out) {
        const int64_t q = out / uint32_t(factor);
        const int r = int(out % uint32_t(factor));
        const int a = 2 * r + 1 - factor;  // 1 - factor .. factor - 1
        const int shift = a < 0 ? -1 : 0;  // floor(a / twice)
        const double t = double(a - shift * twice) / double(twice);
        double w[4];
        CubicWeights(t, w);
        for (int k = 0; k < 4; ++k) {
            // Adding n twice keeps the index positive: q + shift + k - 1 >= -2.
            const int64_t i = (q + shift + k - 1 + 2 * int64_t(n)) % int64_t(n);
            taps.Index[size_t(out) * 4 + size_t(k)] = uint32_t(i);
            taps.Weight[size_t(out) * 4 + size_t(k)] = w[k];
        }
    }
    return taps;
}

// The taps of n samples resampled to outputs positions at any ratio: output X samples the
// source at (X + 0.5) n / outputs - 0.5, computed in integers up to the last division. A whole
// multiple takes MakeTaps, so an upscaled picture has the same bits by either road.
Taps MakeRatioTaps(uint32_t n, uint32_t outputs) {
    if (outputs % n == 0) return MakeTaps(n, int(outputs / n));
    Taps taps;
    taps.Index.resize(size_t(outputs) * 4);
    taps.Weight.resize(size_t(outputs) * 4);
    for (uint32_t out = 0; out < outputs; ++out) {
        // (2 X + 1) n - outputs over 2 outputs: the position in source samples.
        const int64_t numerator = (2 * int64_t(out) + 1) * int64_t(n) - int64_t(outputs);
        const int64_t denominator = 2 * int64_t(outputs);
        int64_t i = numerator / denominator;
        if (numerator % denominator < 0) --i;  // floor for the first, negative positions
        const double t = double(numerator - i * denominator) / double(denominator);
        double w[4];
        CubicWeights(t, w);
        for (int k = 0; k < 4; ++k) {
            const int64_t at = (i + k - 1 + 2 * int64_t(n)) % int64_t(n);
            taps.Index[size_t(out) * 4 + size_t(k)] = uint32_t(at);
            taps.Weight[size_t(out) * 4 + size_t(k)] = w[k];
        }
    }
    return taps;
}

}  // namespace

Result FieldHeights(const Image3DFloat &field, double scale, double offset,
                    std::vector<float> &heights) {
    if (!HasPixels(field)) return Failed;
    const uint32_t w = field.GetSizeX();
    const uint32_t h = field.GetSizeY();
    heights.assign(size_t(w) * h, 0.0f);
    double low = 0.0;
    double high = 0.0;
    if (scale == 0.0) {
        if (field.FindMinMax(low, high) != Image3DFloat::Done) return Failed;
    }
    const double range = high - low;
    for (uint32_t y = 0; y < h; ++y) {
        const float *row = Row(field, y);
        float *out = heights.data() + size_t(y) * w;
        for (uint32_t x = 0; x < w; ++x) {
            const double v = row[x];
            double u = scale == 0.0 ? (range > 0.0 ? (v - low) / range : 0.0)
                                    : (scale * v + offset) / 255.0;
            // Written so that NaN lands on 0.
            if (!(u > 0.0)) u = 0.0;
            if (u > 1.0) u = 1.0;
            out[x] = float(u);
        }
    }
    return Done;
}

void HeightSamples(const std::vector<float> &heights, std::vector<uint16_t> &samples) {
    samples.resize(heights.size());
    for (size_t i = 0; i < heights.size(); ++i) {
        samples[i] = uint16_t(std::lround(double(heights[i]) * 65535.0));
    }
}

void NormalMap(const std::vector<float> &heights, uint32_t width, uint32_t height, double strength,
               bool directX, std::vector<uint8_t> &rgb) {
    NormalMap(heights, width, height, strength, strength, directX, rgb);
}

void NormalMap(const std::vector<float> &heights, uint32_t width, uint32_t height, double strengthX,
               double strengthY, bool directX, std::vector<uint8_t> &rgb) {
    rgb.assign(size_t(width) * height * 3, 0);
    if (width == 0 || height == 0 || heights.size() < size_t(width) * height) return;
    const double yFlip = directX ? -1.0 : 1.0;
    auto channel = [](double n) { return uint8_t(std::floor(127.5 * (n + 1.0) + 0.5)); };
    for (uint32_t y = 0; y < height; ++y) {
        // The rows above and below across the top and bottom edges.
        const float *above = heights.data() + size_t(y == 0 ? height - 1 : y - 1) * width;
        const float *below = heights.data() + size_t(y + 1 == height ? 0 : y + 1) * width;
        const float *row = heights.data() + size_t(y) * width;
        uint8_t *out = rgb.data() + size_t(y) * width * 3;
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t left = x == 0 ? width - 1 : x - 1;
            const uint32_t right = x + 1 == width ? 0 : x + 1;
            const double dudx = 0.5 * (double(row[right]) - double(row[left]));
            const double dudY = 0.5 * (double(above[x]) - double(below[x]));
            const double nx = -strengthX * dudx;
            const double ny = -strengthY * dudY * yFlip;
            const double length = std::sqrt(nx * nx + ny * ny + 1.0);
            out[3 * x] = channel(nx / length);
            out[3 * x + 1] = channel(ny / length);
            out[3 * x + 2] = channel(1.0 / length);
        }
    }
}

bool UpscaleFits(uint32_t sizeX, uint32_t sizeY, int factor) {
    return factor >= 1 && factor <= MaxUpscale &&
           uint64_t(sizeX) * uint32_t(factor) <= MaxUpscaledSide &&
           uint64_t(sizeY) * uint32_t(factor) <= MaxUpscaledSide;
}

Result Upscale(const Image3DFloat &field, int factor, Image3DFloat &out) {
    if (!HasPixels(field)) return Failed;
    if (!UpscaleFits(field.GetSizeX(), field.GetSizeY(), factor)) return Failed;
    return Resample(field, field.GetSizeX() * uint32_t(factor), field.GetSizeY() * uint32_t(factor),
                    out);
}

bool ResampleFits(uint32_t sizeX, uint32_t sizeY, uint32_t width, uint32_t height) {
    return sizeX > 0 && sizeY > 0 && width >= sizeX && height >= sizeY &&
           width <= MaxUpscaledSide && height <= MaxUpscaledSide;
}

Result Resample(const Image3DFloat &field, uint32_t outW, uint32_t outH, Image3DFloat &out) {
    if (!HasPixels(field)) return Failed;
    const uint32_t w = field.GetSizeX();
    const uint32_t h = field.GetSizeY();
    if (!ResampleFits(w, h, outW, outH)) return Failed;
    if (out.SetNewSize(uint16_t(outW), uint16_t(outH), 1) == Frame3D::SizeResult::Failed ||
        out.GetPtrFirstPixel() == nullptr) {
        return Failed;
    }
    float *first = out.GetPtrFirstPixel();
    const size_t outStride = size_t(out.GetLineOffset());
    if (outW == w && outH == h) {
        for (uint32_t y = 0; y < h; ++y) {
            const float *from = Row(field, y);
            std::copy(from, from + w, first + size_t(y) * outStride);
        }
        return Done;
    }
    // Along x into rows of the source's height, then along y into the output.
    const Taps tx = MakeRatioTaps(w, outW);
    const Taps ty = MakeRatioTaps(h, outH);
    std::vector<float> wide(size_t(outW) * h);
    for (uint32_t y = 0; y < h; ++y) {
        const float *from = Row(field, y);
        float *to = wide.data() + size_t(y) * outW;
        for (uint32_t x = 0; x < outW; ++x) {
            const uint32_t *i = &tx.Index[size_t(x) * 4];
            const double *k = &tx.Weight[size_t(x) * 4];
            to[x] = float(k[0] * from[i[0]] + k[1] * from[i[1]] + k[2] * from[i[2]] +
                          k[3] * from[i[3]]);
        }
    }
    for (uint32_t y = 0; y < outH; ++y) {
        const uint32_t *i = &ty.Index[size_t(y) * 4];
        const double *k = &ty.Weight[size_t(y) * 4];
        const float *r0 = wide.data() + size_t(i[0]) * outW;
        const float *r1 = wide.data() + size_t(i[1]) * outW;
        const float *r2 = wide.data() + size_t(i[2]) * outW;
        const float *r3 = wide.data() + size_t(i[3]) * outW;
        float *to = first + size_t(y) * outStride;
        for (uint32_t x = 0; x < outW; ++x) {
            to[x] = float(k[0] * r0[x] + k[1] * r1[x] + k[2] * r2[x] + k[3] * r3[x]);
        }
    }
    return Done;
}

}  // namespace SurfaceMaps
