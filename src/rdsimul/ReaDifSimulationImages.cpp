// The output images of ReaDifSimulation: one field converted through the script's colour map,
// optionally tiled, written as BMP or TGA or handed to the installed writer; and the disk space
// a run's images will take.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "rdsimul/ReaDifSimulation.h"

namespace {

constexpr uint64_t BytesPerMB = 1048576;

const char *ExtensionOf(char format) {
    return format == 'T' ? ".tga" : format == 'P' ? ".png" : ".bmp";
}

}  // namespace

ReaDifSimulation::Result ReaDifSimulation::ImagePath(const char *base, char letter, int64_t time,
                                                     char format, char *path, size_t size) {
    if (path == nullptr || size == 0) return Refused;
    const int length = std::snprintf(path, size, "%s_%c%06lld%s", base != nullptr ? base : "",
                                     letter, (long long)time, ExtensionOf(format));
    return length >= 0 && size_t(length) < size ? Done : Refused;
}

ReaDifSimulation::Result ReaDifSimulation::ImagePathAt(char letter, int64_t time, char *path,
                                                       size_t size) const {
    return ImagePath(FileBaseName.GetString(), letter != 0 ? letter : ImageComponent, time,
                     ImageFormat, path, size);
}

PictureRule ReaDifSimulation::GetPictureRule() const {
    PictureRule rule;
    rule.Scale = ImageScale;
    rule.Offset = ImageOffset;
    rule.Map8 = ColorMaps8 != nullptr ? ColorMaps8[0] : nullptr;
    rule.Map24 = ColorMaps24 != nullptr ? ColorMaps24[0] : nullptr;
    return rule;
}

GenImage3D *ReaDifSimulation::MakePicture(const Image3DFloat &field, const PictureRule &rule) {
    if (TrueColor != 0) {
        rule.ConvertToPicture(field, TmpImage2D24);
        if (Mosaic == 0) return &TmpImage2D24;
        (void)TmpTileImage2D24.Tile(TmpImage2D24);
        return &TmpTileImage2D24;
    }
    rule.ConvertToPicture(field, TmpImage2D8);
    Image3D8 *picture8 = &TmpImage2D8;
    if (Mosaic != 0) {
        (void)TmpTileImage2D8.Tile(TmpImage2D8);
        picture8 = &TmpTileImage2D8;
    }
    // The file carries the script's colour map as its palette.
    (void)picture8->ShareColorMap(*ColorMaps8[0]);
    return picture8;
}

ReaDifSimulation::Result ReaDifSimulation::EmitFrame() {
    const int index = GetComponentIndex(ImageComponent);
    if (FrameHookFn == nullptr || index < 0 || Components[index] == nullptr ||
        ColorMaps8 == nullptr || ColorMaps8[0] == nullptr || ColorMaps24 == nullptr ||
        ColorMaps24[0] == nullptr) {
        return Refused;
    }
    ImageJob job;
    job.Field = Components[index];
    job.Rule = GetPictureRule();
    job.Picture = MakePicture(*job.Field, job.Rule);
    job.Path = "";
    job.Format = ImageFormat;
    job.Mosaic = Mosaic != 0;
    FrameHookFn(FrameContext, job, CurrentTime);
    return Done;
}

GenImage3D::Result ReaDifSimulation::SaveImage2D(char letter) {
    if (letter == 0) letter = ImageComponent;
    const int index = GetComponentIndex(letter);
    if (index < 0 || Components[index] == nullptr || ColorMaps8[0] == nullptr ||
        ColorMaps24[0] == nullptr) {
        LastImageErrno = 0;
        FailedImageName[0] = '\0';  // no file was named
        return GenImage3D::Refused;
    }
    if (ImagePathAt(letter, CurrentTime, ImageFileName, sizeof ImageFileName) != Done) {
        // A cut name would write some other file; write none. The report shows the cut name.
        LastImageErrno = ENAMETOOLONG;
        std::snprintf(FailedImageName, sizeof FailedImageName, "%s", ImageFileName);
        ImageFileName[0] = '\0';
        return GenImage3D::Refused;
    }
    const Image3DFloat &field = *Components[index];
    if (Writer == nullptr && ImageFormat == 'P') {
        // Never a BMP under a .png name: the program that runs the core did not install PNG.
        LastImageErrno = ENOTSUP;
        std::snprintf(FailedImageName, sizeof FailedImageName, "%s", ImageFileName);
        return GenImage3D::Refused;
    }

    const PictureRule rule = GetPictureRule();
    GenImage3D *picture = MakePicture(field, rule);
    GenImage3D::Result result;
    if (Writer != nullptr) {
        int error = 0;
        FailedImageName[0] = '\0';
        ImageJob job;
        job.Field = &field;
        job.Picture = picture;
        job.Path = ImageFileName;
        job.Format = ImageFormat;
        job.Mosaic = Mosaic != 0;
        job.Rule = rule;
        if (Writer->Write(job, error, FailedImageName, sizeof FailedImageName) ==
            ImageWriter::Done) {
            return GenImage3D::Done;
        }
        LastImageErrno = error;
        if (FailedImageName[0] == '\0') {
            std::snprintf(FailedImageName, sizeof FailedImageName, "%s", ImageFileName);
        }
        return GenImage3D::Refused;
    }
    if (TrueColor != 0) {
        auto *picture24 = static_cast<Image3D24 *>(picture);
        result = ImageFormat == 'T' ? picture24->SaveFileTGA(ImageFileName, 0)
                                    : picture24->SaveFileBMP(ImageFileName, 0);
    } else {
        auto *picture8 = static_cast<Image3D8 *>(picture);
        result = ImageFormat == 'T' ? picture8->SaveFileTGA(ImageFileName, 0)
                                    : picture8->SaveFileBMP(ImageFileName, 0);
    }
    if (result != GenImage3D::Done) {
        LastImageErrno = picture->GetSaveErrno();
        std::snprintf(FailedImageName, sizeof FailedImageName, "%s", ImageFileName);
    }
    return result;
}

int32_t ReaDifSimulation::EvalSaveImageDiskSpace() const {
    if (!Built() || Components[0] == nullptr) return 0;
    const int64_t images = ImageCount();
    if (images == 0) return 0;
    // The picture SaveImage2D writes: the field's size, or the tile picture's for a mosaic.
    const GenImage3D &picture = TrueColor != 0 ? static_cast<const GenImage3D &>(TmpImage2D24)
                                               : static_cast<const GenImage3D &>(TmpImage2D8);
    const GenImage3D &tile = TrueColor != 0 ? static_cast<const GenImage3D &>(TmpTileImage2D24)
                                            : static_cast<const GenImage3D &>(TmpTileImage2D8);
    const Frame3D &frame = Mosaic != 0 ? static_cast<const Frame3D &>(tile) : *Components[0];
    const uint32_t x = frame.GetSizeX();
    const uint32_t y = frame.GetSizeY();
    const int depth = picture.GetDepth();
    uint64_t fileBytes = ImageFormat == 'T'   ? GenImage3D::TGAFileBytes(x, y, depth)
                         : ImageFormat == 'P' ? GenImage3D::PNGFileBytes(x, y, depth)
                                              : GenImage3D::BMPFileBytes(x, y, depth);
    if (Writer != nullptr) {
        fileBytes = Writer->FileBytes(ImageFormat, x, y, depth, Components[0]->GetSizeX(),
                                      Components[0]->GetSizeY());
    }
    // Whole MB, rounded up: a run never takes more than the note said.
    const uint64_t megabytes = (uint64_t(images) * fileBytes + BytesPerMB - 1) / BytesPerMB;
    return megabytes > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(megabytes);
}

void ReaDifSimulation::NoteImageFailure(const char *path, int error) {
    ++ImagesFailed;
    LastImageErrno = error;
    if (path != FailedImageName) {
        std::snprintf(FailedImageName, sizeof FailedImageName, "%s", path != nullptr ? path : "");
    }
    if (FailureHook != nullptr) FailureHook(FailureContext, FailedImageName, LastImageErrno);
}
