#include "imageio/ImageOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "imageio/PngFile.h"
#include "imageio/SurfaceMaps.h"
#include "imageio/WriterThread.h"

namespace {

void NameFailure(char *failedPath, size_t failedSize, const std::string &path) {
    if (failedPath != nullptr && failedSize > 0) {
        std::snprintf(failedPath, failedSize, "%s", path.c_str());
    }
}

uint64_t ColourFileBytes(char format, uint32_t x, uint32_t y, int depth) {
    return format == 'T'   ? GenImage3D::TGAFileBytes(x, y, depth)
           : format == 'P' ? GenImage3D::PNGFileBytes(x, y, depth)
                           : GenImage3D::BMPFileBytes(x, y, depth);
}

// A copy of map's entries; null when map is null or no store can be had.
std::unique_ptr<ColorMapRGBA8> CopyMap(const ColorMapRGBA8 *map) {
    if (map == nullptr) return nullptr;
    const int count = map->GetColorCount();
    std::unique_ptr<ColorMapRGBA8> copy(new (std::nothrow) ColorMapRGBA8(count));
    if (copy == nullptr || copy->GetColorCount() != count) return nullptr;
    if (count > 0)
        std::memcpy(copy->GetPtrFirstEntry(), map->GetPtrFirstEntry(), size_t(count) * 4);
    return copy;
}

// Copies the interior rows of a picture or field into to, which has from's size: rowBytes a
// row (the line offsets count pixel units: floats for a field, bytes for a picture).
template <typename Image>
void CopyRows(const Image &from, Image &to, size_t rowBytes) {
    for (uint32_t y = 0; y < from.GetSizeY(); ++y) {
        std::memcpy(to.GetPtrFirstPixel() + size_t(y) * size_t(to.GetLineOffset()),
                    from.GetPtrFirstPixel() + size_t(y) * size_t(from.GetLineOffset()), rowBytes);
    }
}

// A copy of the field's interior with a periodic border of one; null when it cannot be had.
std::unique_ptr<Image3DFloat> CopyField(const Image3DFloat &field) {
    std::unique_ptr<Image3DFloat> copy(
        new (std::nothrow) Image3DFloat("queued field", field.GetSizeX(), field.GetSizeY(), 1, 1));
    if (copy == nullptr || copy->HasAllocationError() || copy->GetPtrFirstPixel() == nullptr ||
        field.GetPtrFirstPixel() == nullptr) {
        return nullptr;
    }
    CopyRows(field, *copy, size_t(field.GetSizeX()) * sizeof(float));
    (void)copy->PeriodiseBorderXY1();
    return copy;
}

// A copy of an 8-bit picture's pixels carrying palette; null when it cannot be had.
std::unique_ptr<GenImage3D> CopyPicture8(const GenImage3D &picture, ColorMapRGBA8 &palette) {
    const auto &from = static_cast<const Image3D8 &>(picture);
    std::unique_ptr<Image3D8> copy(
        new (std::nothrow) Image3D8("queued picture", from.GetSizeX(), from.GetSizeY(), 1, 0));
    if (copy == nullptr || copy->HasAllocationError() || copy->GetPtrFirstPixel() == nullptr ||
        from.GetPtrFirstPixel() == nullptr) {
        return nullptr;
    }
    CopyRows(from, *copy, from.GetSizeX());
    if (copy->ShareColorMap(palette) != ColorMapRGBA8::MapDone) return nullptr;
    return copy;
}

// A copy of a 24-bit picture's pixels; null when it cannot be had.
std::unique_ptr<GenImage3D> CopyPicture24(const GenImage3D &picture) {
    const auto &from = static_cast<const Image3D24 &>(picture);
    std::unique_ptr<Image3D24> copy(
        new (std::nothrow) Image3D24("queued picture", from.GetSizeX(), from.GetSizeY(), 1, 0));
    if (copy == nullptr || copy->HasAllocationError() || copy->GetPtrFirstPixel() == nullptr ||
        from.GetPtrFirstPixel() == nullptr) {
        return nullptr;
    }
    CopyRows(from, *copy, size_t(from.GetSizeX()) * 3);
    return copy;
}

}  // namespace

PngFile::Picture ImageOutput::PngPicture(const Image3D8 &picture, PngPalette &palette) {
    std::memset(palette, 0, sizeof palette);
    const unsigned char *entries = picture.GetPtrFirstEntry();
    const int count = entries != nullptr ? picture.GetColorCount() : 0;
    for (int i = 0; i < count && i < Image3D8::PaletteEntries; ++i) {
        // Entries are blue, green, red, alpha.
        palette[i][0] = entries[4 * i + 2];
        palette[i][1] = entries[4 * i + 1];
        palette[i][2] = entries[4 * i];
    }
    PngFile::Picture png;
    png.Width = picture.GetSizeX();
    png.Height = picture.GetSizeY();
    png.Kind = PngFile::Layout::Indexed8;
    png.Pixels = picture.GetPtrFirstPixel();
    png.RowStride = size_t(picture.GetLineOffset());
    png.Palette = palette;
    png.PaletteSize = Image3D8::PaletteEntries;
    return png;
}

PngFile::Picture ImageOutput::PngPicture(const Image3D24 &picture) {
    PngFile::Picture png;
    png.Width = picture.GetSizeX();
    png.Height = picture.GetSizeY();
    png.Kind = PngFile::Layout::Bgr8;
    png.Pixels = picture.GetPtrFirstPixel();
    // One line offset unit of a 24-bit picture is one byte.
    png.RowStride = size_t(picture.GetLineOffset());
    return png;
}

ImageOutput::ImageOutput(const ImageOptions &options, ImageWrittenCallback written)
    : Options(options),
      WrittenCallback(std::move(written)),
      UpscaledField("upscaled field", 0, 0, 1, 1),
      UpscaledPicture8("upscaled picture", 0, 0, 1, 0),
      UpscaledPicture24("upscaled picture", 0, 0, 1, 0),
      UpscaledTile8("upscaled tile picture", 0, 0, 1, 0),
      UpscaledTile24("upscaled tile picture", 0, 0, 1, 0) {}

std::string ImageOutput::MapPath(const std::string &path, const char *suffix) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + suffix + ".png";
}

void ImageOutput::Written(const std::string &path) {
    if (Background != nullptr) {
        Keep({path, 0, false});
    } else if (WrittenCallback) {
        WrittenCallback(path);
    }
}

void ImageOutput::Keep(Outcome outcome) {
    std::lock_guard<std::mutex> lock(OutcomesMutex);
    Outcomes.push_back(std::move(outcome));
}

void ImageOutput::Deliver() {
    std::vector<Outcome> outcomes;
    {
        std::lock_guard<std::mutex> lock(OutcomesMutex);
        outcomes.swap(Outcomes);
    }
    for (const Outcome &outcome : outcomes) {
        if (outcome.Error != 0) {
            if (FailedCallback) FailedCallback(outcome.Path, outcome.Error);
        } else if (outcome.Finished) {
            ++DoneCount;
        } else if (WrittenCallback) {
            WrittenCallback(outcome.Path);
        }
    }
}

void ImageOutput::Finish() {
    if (Background != nullptr) Background->Wait();
    Deliver();
}

// What a queued image is made of: copies of the field, the picture and the colour maps the
// job points at, which the simulation changes as it goes on.
struct ImageOutput::QueuedImage {
    std::unique_ptr<ColorMapRGBA8> Map8;
    std::unique_ptr<ColorMapRGBA8> Map24;
    std::unique_ptr<Image3DFloat> Field;
    std::unique_ptr<GenImage3D> Picture;  // null when upscaling makes its own
    PictureShape Shape;
    std::string Path;
    ImageJob Job;
};

ImageOutput::Result ImageOutput::Queue(const ImageJob &job, int &error) {
    auto image = std::make_shared<QueuedImage>();
    const bool upscaled = Options.Resamples();
    const bool eightBit = job.Picture->GetDepth() == 1;
    bool copied = true;
    image->Job = job;
    image->Path = job.Path;
    image->Job.Path = image->Path.c_str();
    // The palette an 8-bit file carries, and the large map an upscaled 24-bit picture is made
    // through.
    if (eightBit) {
        image->Map8 = CopyMap(job.Rule.Map8);
        copied = copied && image->Map8 != nullptr;
    } else if (upscaled) {
        image->Map24 = CopyMap(job.Rule.Map24);
        copied = copied && image->Map24 != nullptr;
    }
    image->Job.Rule.Map8 = image->Map8.get();
    image->Job.Rule.Map24 = image->Map24.get();
    // Upscaling makes its own picture from the field; the maps are made of the field.
    image->Job.Field = nullptr;
    if (upscaled || Options.Height || Options.Normal) {
        image->Field = CopyField(*job.Field);
        copied = copied && image->Field != nullptr;
        image->Job.Field = image->Field.get();
    }
    image->Shape = ShapeOf(*job.Picture);
    image->Job.Picture = nullptr;
    if (!upscaled && copied) {
        image->Picture =
            eightBit ? CopyPicture8(*job.Picture, *image->Map8) : CopyPicture24(*job.Picture);
        copied = image->Picture != nullptr;
        image->Job.Picture = image->Picture.get();
    }
    if (!copied) {
        error = ENOMEM;
        return Failed;
    }
    Background->Push([this, image] {
        int cause = 0;
        std::string failed;
        if (WriteNow(image->Job, image->Shape, cause, failed) == Done) {
            Keep({image->Path, 0, true});
        } else {
            Keep({failed, cause != 0 ? cause : EIO, false});
        }
    });
    return Done;
}

ImageOutput::~ImageOutput() {
    // Queued jobs point at this writer.
    if (Background != nullptr) Background->Wait();
}

void ImageOutput::WriteInBackground(WriterThread &thread, ImageFailedCallback failed) {
    Background = &thread;
    FailedCallback = std::move(failed);
}

ImageOutput::PictureShape ImageOutput::ShapeOf(const GenImage3D &picture) {
    return {picture.GetSizeX(), picture.GetSizeY(), picture.GetDepth()};
}

ImageOutput::Result ImageOutput::Check(const ImageJob &job, int &error) const {
    const int factor = Options.Upscale;
    if (factor < 1 || factor > SurfaceMaps::MaxUpscale || Options.UpscaleToX < 0 ||
        Options.UpscaleToY < 0) {
        error = EINVAL;
        return Failed;
    }
    if (!Options.Resamples()) return Done;
    const uint32_t fieldX = job.Field->GetSizeX();
    const uint32_t fieldY = job.Field->GetSizeY();
    uint32_t x = 0, y = 0, tileX = 0, tileY = 0;
    Options.OutputSize(fieldX, fieldY, x, y);
    Options.ScaledSize(fieldX, fieldY, job.Picture->GetSizeX(), job.Picture->GetSizeY(), tileX,
                       tileY);
    if (x < fieldX || y < fieldY) {
        error = EINVAL;  // smaller than the field: resampling would skip points
        return Failed;
    }
    if (!SurfaceMaps::ResampleFits(fieldX, fieldY, x, y) ||
        (job.Mosaic &&
         (tileX > SurfaceMaps::MaxUpscaledSide || tileY > SurfaceMaps::MaxUpscaledSide))) {
        error = EFBIG;
        return Failed;
    }
    return Done;
}

ImageOutput::Result ImageOutput::Write(const ImageJob &job, int &error, char *failedPath,
                                       size_t failedSize) {
    error = 0;
    std::string failed = job.Path;
    Result result = Check(job, error);
    if (result == Done) {
        if (Background != nullptr) {
            result = Queue(job, error);
        } else {
            result = WriteNow(job, ShapeOf(*job.Picture), error, failed);
            if (result == Done) ++DoneCount;
        }
    }
    if (result != Done) NameFailure(failedPath, failedSize, failed);
    return result;
}

ImageOutput::Result ImageOutput::WriteNow(const ImageJob &job, const PictureShape &shape,
                                          int &error, std::string &failed) {
    error = 0;
    const char *path = job.Path;
    failed = path;
    const Image3DFloat *mapsField = job.Field;
    GenImage3D *colour = job.Picture;
    if (Options.Resamples()) {
        if (Resampled(job, shape, colour, error) != Done) return Failed;
        mapsField = &UpscaledField;
    }
    if (WriteColour(job.Format, *colour, path, error) != Done) return Failed;
    Written(path);
    if (mapsField == nullptr) return Done;
    return WriteMaps(job.Rule, *mapsField, job.Field->GetSizeX(), job.Field->GetSizeY(), path,
                     error, failed);
}

ImageOutput::Result ImageOutput::Resampled(const ImageJob &job, const PictureShape &shape,
                                           GenImage3D *&colour, int &error) {
    const uint32_t fieldX = job.Field->GetSizeX();
    const uint32_t fieldY = job.Field->GetSizeY();
    uint32_t x = 0, y = 0, scaledTileX = 0, scaledTileY = 0;
    Options.OutputSize(fieldX, fieldY, x, y);
    if (SurfaceMaps::Resample(*job.Field, x, y, UpscaledField) != SurfaceMaps::Done) {
        error = ENOMEM;
        return Failed;
    }
    // The tile picture of a mosaic grows with the field, so it holds as many copies.
    Options.ScaledSize(fieldX, fieldY, shape.SizeX, shape.SizeY, scaledTileX, scaledTileY);
    const auto tileX = uint16_t(scaledTileX);
    const auto tileY = uint16_t(scaledTileY);
    bool sized = true;
    if (shape.Depth == 1) {
        job.Rule.ConvertToPicture(UpscaledField, UpscaledPicture8);
        colour = &UpscaledPicture8;
        if (job.Mosaic) {
            sized = UpscaledTile8.SetNewSize(tileX, tileY, 1) != Frame3D::SizeResult::Failed &&
                    UpscaledTile8.Tile(UpscaledPicture8) == GenImage3D::Done;
            colour = &UpscaledTile8;
        }
        // The file carries the script's colour map as its palette, as the core's does.
        sized = sized && job.Rule.Map8 != nullptr &&
                static_cast<Image3D8 *>(colour)->ShareColorMap(*job.Rule.Map8) ==
                    ColorMapRGBA8::MapDone;
    } else {
        job.Rule.ConvertToPicture(UpscaledField, UpscaledPicture24);
        colour = &UpscaledPicture24;
        if (job.Mosaic) {
            sized = UpscaledTile24.SetNewSize(tileX, tileY, 1) != Frame3D::SizeResult::Failed &&
                    UpscaledTile24.Tile(UpscaledPicture24) == GenImage3D::Done;
            colour = &UpscaledTile24;
        }
    }
    // A conversion that could not size its picture leaves it as it was: compare sizes.
    const uint32_t wantX = job.Mosaic ? tileX : UpscaledField.GetSizeX();
    const uint32_t wantY = job.Mosaic ? tileY : UpscaledField.GetSizeY();
    if (!sized || colour->HasAllocationError() || colour->GetSizeX() != wantX ||
        colour->GetSizeY() != wantY) {
        error = ENOMEM;
        return Failed;
    }
    return Done;
}

ImageOutput::Result ImageOutput::Render(const ImageJob &job, GenImage3D *&picture, int &error) {
    error = 0;
    picture = job.Picture;
    if (Check(job, error) != Done) return Failed;
    if (!Options.Resamples()) return Done;
    return Resampled(job, ShapeOf(*job.Picture), picture, error);
}

ImageOutput::Result ImageOutput::WriteColour(char format, GenImage3D &picture, const char *path,
                                             int &error) const {
    const bool eightBit = picture.GetDepth() == 1;
    if (format == 'P') {
        PngPalette palette;
        const PngFile::Picture png = eightBit
                                         ? PngPicture(static_cast<Image3D8 &>(picture), palette)
                                         : PngPicture(static_cast<Image3D24 &>(picture));
        return PngFile::Write(path, png, Options.PngLevel, error) == PngFile::Done ? Done : Failed;
    }
    GenImage3D::Result result = GenImage3D::Refused;
    const bool tga = format == 'T';
    if (eightBit) {
        auto &picture8 = static_cast<Image3D8 &>(picture);
        result = tga ? picture8.SaveFileTGA(path, 0) : picture8.SaveFileBMP(path, 0);
    } else {
        auto &picture24 = static_cast<Image3D24 &>(picture);
        result = tga ? picture24.SaveFileTGA(path, 0) : picture24.SaveFileBMP(path, 0);
    }
    if (result != GenImage3D::Done) {
        error = picture.GetSaveErrno();
        return Failed;
    }
    return Done;
}

ImageOutput::Result ImageOutput::WriteMaps(const PictureRule &rule, const Image3DFloat &field,
                                           uint32_t fieldX, uint32_t fieldY, const char *path,
                                           int &error, std::string &failed) {
    if (!Options.Height && !Options.Normal) return Done;
    const uint32_t w = field.GetSizeX();
    const uint32_t h = field.GetSizeY();
    std::vector<float> heights;
    if (SurfaceMaps::FieldHeights(field, rule.Scale, rule.Offset, heights) != SurfaceMaps::Done) {
        error = EINVAL;
        failed = MapPath(path, Options.Height ? "_height" : "_normal");
        return Failed;
    }
    if (Options.Height) {
        std::vector<uint16_t> samples;
        SurfaceMaps::HeightSamples(heights, samples);
        const std::string name = MapPath(path, "_height");
        PngFile::Picture png;
        png.Width = w;
        png.Height = h;
        png.Kind = PngFile::Layout::Gray16;
        png.Pixels = reinterpret_cast<const uint8_t *>(samples.data());
        png.RowStride = size_t(w) * 2;
        if (PngFile::Write(name.c_str(), png, Options.PngLevel, error) != PngFile::Done) {
            failed = name;
            return Failed;
        }
        Written(name);
    }
    if (Options.Normal) {
        std::vector<uint8_t> rgb;
        // Slopes are per field point, not per output pixel: a resampled map is as steep as the
        // field's, its heights changing by the ratio less from one pixel to the next.
        const double ratioX = fieldX > 0 ? double(w) / double(fieldX) : 1.0;
        const double ratioY = fieldY > 0 ? double(h) / double(fieldY) : 1.0;
        SurfaceMaps::NormalMap(heights, w, h, Options.NormalStrength * ratioX,
                               Options.NormalStrength * ratioY, Options.NormalDirectX, rgb);
        const std::string name = MapPath(path, "_normal");
        PngFile::Picture png;
        png.Width = w;
        png.Height = h;
        png.Kind = PngFile::Layout::Rgb8;
        png.Pixels = rgb.data();
        png.RowStride = size_t(w) * 3;
        if (PngFile::Write(name.c_str(), png, Options.PngLevel, error) != PngFile::Done) {
            failed = name;
            return Failed;
        }
        Written(name);
    }
    return Done;
}

uint64_t ImageOutput::FileBytes(char format, uint32_t x, uint32_t y, int depth, uint32_t fieldX,
                                uint32_t fieldY) const {
    uint32_t px = 0, py = 0, fx = 0, fy = 0;
    Options.ScaledSize(fieldX, fieldY, x, y, px, py);
    uint64_t bytes = ColourFileBytes(format, px, py, depth);
    // The maps are of the field, whatever the tile picture's size.
    Options.OutputSize(fieldX, fieldY, fx, fy);
    if (Options.Height) bytes += GenImage3D::PNGFileBytes(fx, fy, 2);
    if (Options.Normal) bytes += GenImage3D::PNGFileBytes(fx, fy, 3);
    return bytes;
}
