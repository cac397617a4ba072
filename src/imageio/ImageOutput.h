// ImageOutput: the image writer both programs hand their simulation: PNG beside the core's BMP
// and TGA, upscaled pictures, and the height and normal maps of every image, written at once or
// on a WriterThread. Owns its working pictures and the copies of the images queued; the program
// that makes one owns it, and its options stay fixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "image3d/Image3DFloat.h"
#include "imageio/ImageOptions.h"
#include "imageio/PngFile.h"
#include "rdsimul/ImageWriter.h"

class WriterThread;

// Called with the path of every file written: colour image, height map, normal map.
using ImageWrittenCallback = std::function<void(const std::string &path)>;
// Called for every image written on the thread that failed: the file named and the errno cause.
using ImageFailedCallback = std::function<void(const std::string &path, int error)>;

class ImageOutput : public ImageWriter {
public:
    ImageOutput(const ImageOptions &options, ImageWrittenCallback written);
    // Waits for the images still queued; outcomes not delivered by then are dropped.
    ~ImageOutput() override;
    ImageOutput(const ImageOutput &) = delete;
    ImageOutput &operator=(const ImageOutput &) = delete;

    // Writes the colour image (upscaled first when asked; PNG at Options.PngLevel through
    // PngFile, BMP and TGA through the core's savers), then the maps asked for. Stops at the
    // first file that fails: Failed with its cause (EINVAL for an Upscale outside 1 .. 8 or a
    // size below the field's, EFBIG for a picture beyond SurfaceMaps::MaxUpscaledSide, ENOMEM
    // when a picture cannot be sized) and its name. In the background, Done means handed over: the
    // field and picture are copied (ENOMEM when they cannot be) and queued, waiting while the queue
    // is full; the outcome comes through Deliver.
    [[nodiscard]] Result Write(const ImageJob &job, int &error, char *failedPath,
                               size_t failedSize) override;

    // The colour picture Write writes of job (upscaled or resized as the options ask), at once
    // and never queued: Done with picture this writer's (valid until the next call) or job's
    // own; Failed with Write's causes.
    [[nodiscard]] Result Render(const ImageJob &job, GenImage3D *&picture, int &error);

    // From now on Write queues its images on thread (which must outlive this writer); failed
    // is told of every queued image that failed, on the thread calling Deliver.
    void WriteInBackground(WriterThread &thread, ImageFailedCallback failed);
    // Tells the outcomes of the queued images finished since the last call, in order, on the
    // calling thread: the written callback for every file, failed for every image that failed.
    void Deliver();
    // Waits until every image handed over is written, then Deliver.
    void Finish() override;
    // Images whose colour file and maps were all written (delivered ones, in the background).
    int32_t ImagesDone() const { return DoneCount; }
    // The colour file at the upscaled size plus PngFileBytes bounds of the maps.
    uint64_t FileBytes(char format, uint32_t x, uint32_t y, int depth, uint32_t fieldX,
                       uint32_t fieldY) const override;

    // The pixels of a picture as PngFile writes them. An 8-bit picture's palette always has 256
    // entries, black past the colour map's end, as in the BMP the core writes of it; palette
    // must outlive the result.
    using PngPalette = uint8_t[Image3D8::PaletteEntries][3];
    static PngFile::Picture PngPicture(const Image3D8 &picture, PngPalette &palette);
    static PngFile::Picture PngPicture(const Image3D24 &picture);

    // "<path without its extension><suffix>.png": the name of a map of the image at path.
    static std::string MapPath(const std::string &path, const char *suffix);

private:
    struct QueuedImage;
    // What a queued image came to, kept for Deliver.
    struct Outcome {
        std::string Path;       // the file written, or the one that failed
        int Error = 0;          // 0: Path was written
        bool Finished = false;  // the image is complete: all its files written
    };

    // What upscaling reads of the picture handed over: its size (a mosaic's tile picture) and
    // depth.
    struct PictureShape {
        uint32_t SizeX = 0;
        uint32_t SizeY = 0;
        int Depth = 1;
    };
    static PictureShape ShapeOf(const GenImage3D &picture);

    // Write's checks that need no pixels: Done; Failed with the cause.
    Result Check(const ImageJob &job, int &error) const;
    // Write's work once checked, the files named failed when it fails. The field may be null
    // when neither the maps nor upscaling need it, the picture when upscaling makes its own.
    Result WriteNow(const ImageJob &job, const PictureShape &shape, int &error,
                    std::string &failed);
    // The picture of job resampled from its field, in colour: Done; Failed with the cause.
    Result Resampled(const ImageJob &job, const PictureShape &shape, GenImage3D *&colour,
                     int &error);
    // Copies what job's files are made of and queues them: Done; Failed (ENOMEM).
    Result Queue(const ImageJob &job, int &error);
    // Writes picture in format to path: Done; Failed with error.
    Result WriteColour(char format, GenImage3D &picture, const char *path, int &error) const;
    // The maps of field (resampled from one of fieldX x fieldY points, or that one itself).
    Result WriteMaps(const PictureRule &rule, const Image3DFloat &field, uint32_t fieldX,
                     uint32_t fieldY, const char *path, int &error, std::string &failed);
    // A file written: told at once, or kept for Deliver in the background.
    void Written(const std::string &path);
    // Keeps an outcome of the writer thread for Deliver.
    void Keep(Outcome outcome);

    ImageOptions Options;
    ImageWrittenCallback WrittenCallback;
    ImageFailedCallback FailedCallback;
    WriterThread *Background = nullptr;
    std::mutex OutcomesMutex;
    std::vector<Outcome> Outcomes;  // of the writer thread, not yet delivered
    int32_t DoneCount = 0;
    Image3DFloat UpscaledField;
    Image3D8 UpscaledPicture8;
    Image3D24 UpscaledPicture24;
    Image3D8 UpscaledTile8;
    Image3D24 UpscaledTile24;
};
