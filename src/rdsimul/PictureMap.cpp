#include "rdsimul/PictureMap.h"

#include <cerrno>
#include <new>

#include "image3d/Image3D8.h"
#include "toolkit/FileCheck.h"

namespace {

// The core's own reader: the 8-bit BMP files Image3D8 reads, as red, green and blue samples.
bool ReadCoreBmp(const char *path, PictureMap::Samples &samples, int &error) {
    if (!PictureMap::CheckFile(path, error)) return false;
    Image3D8 picture("map", 1, 1, 1, 0);
    if (picture.LoadFileBMP(path) != GenImage3D::Done) {
        error = EINVAL;
        return false;
    }
    samples.Width = uint32_t(picture.GetSizeX());
    samples.Height = uint32_t(picture.GetSizeY());
    samples.Channels = 3;
    samples.Maximum = 255;
    samples.Values.resize(size_t(samples.Width) * samples.Height * 3);
    const unsigned char *palette = picture.GetPtrFirstEntry();  // blue, green, red, alpha
    uint16_t *to = samples.Values.data();
    for (uint32_t y = 0; y < samples.Height; ++y) {
        const unsigned char *line =
            picture.GetPtrFirstPixel() + size_t(y) * size_t(picture.GetLineOffset());
        for (uint32_t x = 0; x < samples.Width; ++x) {
            const unsigned char *entry = palette + 4 * size_t(line[x]);
            *to++ = entry[2];
            *to++ = entry[1];
            *to++ = entry[0];
        }
    }
    return true;
}

PictureMap::Reader Installed = nullptr;

}  // namespace

bool PictureMap::CheckFile(const char *path, int &error) {
    FileFault fault;
    if (CheckRegularFile(path, fault) == FileCheckDone) return true;
    error = fault.Error == FileFault::NotRegular ? EISDIR : fault.Error > 0 ? fault.Error : EIO;
    return false;
}

void PictureMap::InstallReader(Reader reader) { Installed = reader; }

PictureMap::Reader PictureMap::InstalledReader() { return Installed; }

PictureMap::Result PictureMap::Load(const char *path, int &error) {
    error = 0;
    if (path == nullptr || path[0] == '\0') {
        error = ENOENT;
        return Failed;
    }
    Samples samples;
    const Reader reader = Installed != nullptr ? Installed : ReadCoreBmp;
    if (!reader(path, samples, error)) {
        if (error == 0) error = EINVAL;
        return Failed;
    }
    return SetSamples(samples, error);
}

PictureMap::Result PictureMap::SetSamples(const Samples &samples, int &error) {
    error = 0;
    const size_t pixels = size_t(samples.Width) * samples.Height;
    if (samples.Width == 0 || samples.Height == 0 || samples.Maximum == 0) {
        error = EINVAL;
        return Failed;
    }
    if (samples.Width > MaxSide || samples.Height > MaxSide) {
        error = EFBIG;
        return Failed;
    }
    if ((samples.Channels != 1 && samples.Channels != 3) ||
        samples.Values.size() < pixels * size_t(samples.Channels)) {
        error = EINVAL;
        return Failed;
    }
    std::vector<double> values;
    if (values.max_size() < pixels) {
        error = ENOMEM;
        return Failed;
    }
    values.resize(pixels);
    const double maximum = double(samples.Maximum);
    const uint16_t *from = samples.Values.data();
    for (size_t i = 0; i < pixels; ++i) {
        if (samples.Channels == 1) {
            values[i] = double(from[i]) / maximum;
            continue;
        }
        const uint16_t r = from[3 * i], g = from[3 * i + 1], b = from[3 * i + 2];
        if (r == g && g == b) {
            values[i] = double(r) / maximum;
        } else {
            values[i] = (0.2126 * double(r) + 0.7152 * double(g) + 0.0722 * double(b)) / maximum;
        }
    }
    Pixels.swap(values);
    PictureWidth = samples.Width;
    PictureHeight = samples.Height;
    return Done;
}
