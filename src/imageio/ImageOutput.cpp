#include "imageio/ImageOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imageio/PngFile.h"
#include "imageio/SurfaceMaps.h"

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

void ImageOutput::Written(const std::string &path) const {
    if (WrittenCallback) WrittenCallback(path);
}

ImageOutput::Result ImageOutput::Write(const ImageJob &job, int &error, char *failedPath,
                                       size_t failedSize) {
    error = 0;
    const Image3DFloat &field = *job.Field;
    GenImage3D &picture = *job.Picture;
    const char *path = job.Path;
    const int factor = Options.Upscale;
    if (factor < 1 || factor > SurfaceMaps::MaxUpscale) {
        error = EINVAL;
        NameFailure(failedPath, failedSize, path);
        return Failed;
    }
    const Image3DFloat *mapsField = &field;
    GenImage3D *colour = &picture;
    if (factor > 1) {
        if (!SurfaceMaps::UpscaleFits(field.GetSizeX(), field.GetSizeY(), factor) ||
            (job.Mosaic &&
             !SurfaceMaps::UpscaleFits(picture.GetSizeX(), picture.GetSizeY(), factor))) {
            error = EFBIG;
            NameFailure(failedPath, failedSize, path);
            return Failed;
        }
        if (SurfaceMaps::Upscale(field, factor, UpscaledField) != SurfaceMaps::Done) {
            error = ENOMEM;
            NameFailure(failedPath, failedSize, path);
            return Failed;
        }
        mapsField = &UpscaledField;
        // The tile picture of a mosaic grows with the field, so it holds as many copies.
        const auto tileX = uint16_t(picture.GetSizeX() * factor);
        const auto tileY = uint16_t(picture.GetSizeY() * factor);
        bool sized = true;
        if (picture.GetDepth() == 1) {
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
            NameFailure(failedPath, failedSize, path);
            return Failed;
        }
    }
    if (WriteColour(job.Format, *colour, path, error) != Done) {
        NameFailure(failedPath, failedSize, path);
        return Failed;
    }
    Written(path);
    std::string failed;
    if (WriteMaps(job.Rule, *mapsField, path, error, failed) != Done) {
        NameFailure(failedPath, failedSize, failed);
        return Failed;
    }
    return Done;
}

ImageOutput::Result ImageOutput::WriteColour(char format, GenImage3D &picture, const char *path,
                                             int &error) {
    const bool eightBit = picture.GetDepth() == 1;
    if (format == 'P') {
        PngPalette palette;
        const PngFile::Picture png = eightBit
                                         ? PngPicture(static_cast<Image3D8 &>(picture), palette)
                                         : PngPicture(static_cast<Image3D24 &>(picture));
        return PngFile::Write(path, png, PngFile::DefaultCompression, error) == PngFile::Done
                   ? Done
                   : Failed;
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
                                           const char *path, int &error, std::string &failed) {
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
        if (PngFile::WriteGray16(name.c_str(), w, h, samples.data(), size_t(w) * 2, error) !=
            PngFile::Done) {
            failed = name;
            return Failed;
        }
        Written(name);
    }
    if (Options.Normal) {
        std::vector<uint8_t> rgb;
        // Slopes are per field point, not per output pixel: an upscaled map is as steep as the
        // field's, its heights changing factor times less from one pixel to the next.
        const double factor = Options.Upscale > 1 ? double(Options.Upscale) : 1.0;
        SurfaceMaps::NormalMap(heights, w, h, Options.NormalStrength * factor,
                               Options.NormalDirectX, rgb);
        const std::string name = MapPath(path, "_normal");
        if (PngFile::WriteRgb(name.c_str(), w, h, rgb.data(), size_t(w) * 3, error) !=
            PngFile::Done) {
            failed = name;
            return Failed;
        }
        Written(name);
    }
    return Done;
}

uint64_t ImageOutput::FileBytes(char format, uint32_t x, uint32_t y, int depth, uint32_t fieldX,
                                uint32_t fieldY) const {
    const uint64_t factor = Options.Upscale >= 1 ? uint64_t(Options.Upscale) : 1;
    uint64_t bytes = ColourFileBytes(format, uint32_t(x * factor), uint32_t(y * factor), depth);
    // The maps are of the field, whatever the tile picture's size.
    const auto fx = uint32_t(fieldX * factor);
    const auto fy = uint32_t(fieldY * factor);
    if (Options.Height) bytes += GenImage3D::PNGFileBytes(fx, fy, 2);
    if (Options.Normal) bytes += GenImage3D::PNGFileBytes(fx, fy, 3);
    return bytes;
}
