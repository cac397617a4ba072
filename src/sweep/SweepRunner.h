// SweepRunner: runs the variant scripts of a sweep folder as vorna-cli processes: small fields
// several at once with one thread each, large ones one after the other with every thread.
// Skips variants already complete (images and movies) when resuming; stops them all on Ctrl-C.
// Owns no files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "imageio/ImageOptions.h"
#include "sweep/VariantMovies.h"

class SweepRunner {
public:
    // What Run answers: Done, SomeFailed (every variant ran, some ended with an error),
    // Interrupted (the number is the exit status of a process stopped by Ctrl-C).
    enum class Result { Done = 0, SomeFailed = 1, Interrupted = 130 };
    static constexpr Result Done = Result::Done;
    static constexpr Result SomeFailed = Result::SomeFailed;
    static constexpr Result Interrupted = Result::Interrupted;

    // Fields of at most this many points run several at once, one thread each. Measured on two
    // cores, 4 Brusselator variants: 100 x 100 to 400 x 400 ran 15-35% faster two at a time than
    // one at a time on both threads; at 600 x 600 neither won clearly. The core's random
    // generator and thread count are process-wide, hence processes rather than a pool.
    static constexpr uint32_t SmallFieldPoints = 400 * 400;

    struct Settings {
        std::string Program;  // the vorna-cli to start for each variant
        // The image options every variant gets after --quiet --threads N, as arguments
        // (ImageOptions::ToArguments), and what resuming expects of its files.
        ImageOptions Outputs;
        // The movies each variant writes beside its images (folder/NAME.TYPE); resuming
        // expects each there and named in the variant's report of a finished run.
        VariantMovies Movies;
        int Threads = 1;      // threads in all
        int Jobs = 0;         // variants at once; 0 chooses by the field size
        bool Resume = false;  // skip the variants whose images are all present and whole
        bool Quiet = false;
        // Each variant writes its run report to folder/NAME.json (--json-file); a report left by
        // an earlier run is removed before a variant starts, whether or not it writes one.
        bool Reports = false;
        // Called as each variant ends (its exit code; a process stopped by Ctrl-C gives 130), and
        // for each variant --resume skips (skipped, code 0), before its line on Out.
        std::function<void(const std::string &name, int code, bool skipped)> Ended;
        FILE *Out = stdout;  // a line per finished variant, the summary
        FILE *Err = stderr;  // failures, with the variant's log
    };

    // One image a variant's run writes: Bytes is the exact size of a BMP or TGA as the core's
    // writers make it; 0 for a PNG, whose size depends on its pixels.
    struct Image {
        std::string Path;
        uint64_t Bytes;
        uint32_t Width;  // the picture, tiled for a mosaic
        uint32_t Height;
    };

    // The images the script at path writes with outputs, as the run loop names and sizes them
    // (each colour image followed by its maps); points: the field's. True; false when the
    // script is not accepted.
    static bool ExpectedImages(const std::string &path, std::vector<Image> &images,
                               uint32_t &points, const ImageOptions &outputs = ImageOptions());
    // Whether image is there and whole: a BMP or TGA of its exact size, a PNG that decodes
    // completely to its picture size (an image still being written has another name).
    static bool IsWhole(const Image &image);
    // Whether the movies of variant name are there as a finished run left them: each a
    // regular file that its run report (NAME.json) names, the report of a run that ended well.
    static bool MoviesFinished(const std::string &folder, const std::string &name,
                               const VariantMovies &movies);
    // Whether every image of the script at path is whole.
    static bool IsComplete(const std::string &path, const ImageOptions &outputs = ImageOptions());

    // Runs folder/NAME.vna for each name; NAME.log keeps its output. Done, SomeFailed or
    // Interrupted.
    Result Run(const std::string &folder, const std::vector<std::string> &names,
               const Settings &settings);

    // Ctrl-C, SIGTERM and SIGHUP are passed on to the running variants, and no new one
    // starts; a second Ctrl-C passes it on again (the variants then end at once) and ends
    // the sweep.
    static void InstallInterruptHandler();
    static bool StopRequested();
    static void ClearStop();

    int Started = 0;
    int Skipped = 0;
    int Failed = 0;
    int Finished = 0;
};
