#include "movie/MovieSet.h"

#include <cerrno>

#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MessageIds.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/StringTable.h"

MovieSet::MovieSet(const std::vector<std::string> &paths, const MovieSettings &settings,
                   const ImageOptions &images)
    : Renderer(images, nullptr) {
    for (const std::string &path : paths) {
        Recorders.push_back(std::make_unique<MovieRecorder>(path, settings));
    }
}

void MovieSet::TakeFrame(void *context, const ImageJob &frame, int32_t) {
    static_cast<MovieSet *>(context)->Add(frame);
}

void MovieSet::Add(const ImageJob &job) {
    if (RenderError != 0 || Recorders.empty()) return;
    GenImage3D *picture = nullptr;
    int error = 0;
    if (Renderer.Render(job, picture, error) != ImageOutput::Done || picture == nullptr) {
        RenderError = error != 0 ? error : EINVAL;
        return;
    }
    MovieFrame frame;
    ImageOutput::PngPalette palette;
    const PngFile::Picture png =
        picture->GetDepth() == 1
            ? ImageOutput::PngPicture(static_cast<const Image3D8 &>(*picture), palette)
            : ImageOutput::PngPicture(static_cast<const Image3D24 &>(*picture));
    frame.Width = png.Width;
    frame.Height = png.Height;
    frame.Pixels = png.Pixels;
    frame.RowStride = png.RowStride;
    if (png.Kind == PngFile::Layout::Indexed8) {
        frame.Kind = MovieFrame::Layout::Indexed8;
        frame.Palette = palette;
        frame.PaletteSize = Image3D8::PaletteEntries;
    } else {
        frame.Kind = MovieFrame::Layout::Bgr8;
    }
    for (auto &recorder : Recorders) (void)recorder->Add(frame);
}

std::vector<MovieSet::Outcome> MovieSet::Finish(FILE *err) {
    std::vector<Outcome> outcomes;
    for (auto &recorder : Recorders) {
        Outcome outcome;
        outcome.Path = recorder->Path();
        if (RenderError != 0) {
            recorder->Discard();
            outcome.Error = RenderError;
        } else if (recorder->Finish() != MovieEncoder::Done) {
            outcome.Error = recorder->Error();
        }
        outcome.Frames = outcome.Error == 0 ? recorder->Frames() : 0;
        if (outcome.Error != 0 && err != nullptr) {
            std::fprintf(err, "%s: %s %s\n", outcome.Path.c_str(), GST.Get(MsgFileNotWritten),
                         FaultText(outcome.Error).c_str());
        }
        outcomes.push_back(outcome);
    }
    Recorders.clear();
    return outcomes;
}
