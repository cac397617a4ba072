// MovieSet: the movies of one command-line run (--movie, several allowed), fed with the
// pictures the run's images get (colour map, upscaling, size) from the simulation's frame hook.
// Owns the recorders and the writer that renders the frames as the images are rendered.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "imageio/ImageOptions.h"
#include "imageio/ImageOutput.h"
#include "movie/MovieRecorder.h"
#include "rdsimul/ImageWriter.h"

class MovieSet {
public:
    // What became of one movie.
    struct Outcome {
        std::string Path;
        int64_t Frames = 0;
        int Error = 0;  // 0: written
    };

    MovieSet(const std::vector<std::string> &paths, const MovieSettings &settings,
             const ImageOptions &images);
    MovieSet(const MovieSet &) = delete;
    MovieSet &operator=(const MovieSet &) = delete;

    bool Empty() const { return Recorders.empty(); }
    // The frame hook of ReaDifSimulation: context is a MovieSet.
    static void TakeFrame(void *context, const ImageJob &frame, int32_t time);
    // Hands job's picture, rendered as the images are, to every movie still going.
    void Add(const ImageJob &job);
    // Ends every movie (a playable file with the frames so far) and tells each failure on err
    // with its cause: the outcomes, in the order of the paths.
    std::vector<Outcome> Finish(FILE *err);

private:
    ImageOutput Renderer;
    std::vector<std::unique_ptr<MovieRecorder>> Recorders;
    int RenderError = 0;  // why the frames could not be rendered; 0 none
};
