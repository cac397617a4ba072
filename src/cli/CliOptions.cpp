#include "cli/CliOptions.h"

#include <getopt.h>
#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imageio/PngFile.h"
#include "imageio/SurfaceMaps.h"
#include "rdsimul/ScriptParser.h"
#include "sweep/VariantMovies.h"

namespace {

constexpr int MaxRounds = 1000000;
constexpr int MaxThreads = 64;
constexpr int MaxJobs = 256;
constexpr int MaxMovieEvery = 1000000000;
// The --png-level help names the default level.
static_assert(PngFile::DefaultCompression == 1, "say the new default in --png-level's help");
// Where the help texts of the options begin.
constexpr size_t HelpColumn = 21;

// Reads a whole decimal number in least .. most that ends where the text or the stop
// character does; end is left behind the digits.
bool ParseNumber(const char *text, unsigned long long least, unsigned long long most,
                 unsigned long long &number, const char *&end, char stop = 0) {
    if (text == nullptr || *text < '0' || *text > '9') return false;
    errno = 0;
    char *after = nullptr;
    unsigned long long value = std::strtoull(text, &after, 10);
    end = after;
    if (errno != 0 || *after != stop || value < least || value > most) return false;
    number = value;
    return true;
}

// Reads a whole decimal count in 1 .. most.
bool ParseCount(const char *text, int most, int &count) {
    unsigned long long value = 0;
    const char *end = nullptr;
    if (!ParseNumber(text, 1, (unsigned long long)most, value, end)) return false;
    count = int(value);
    return true;
}

// Reads WxH (or WXH), each side in MinRunSide .. MaxRunSide.
bool ParseSize(const char *text, int &x, int &y) {
    unsigned long long width = 0, height = 0;
    const char *end = nullptr;
    const char *cross = text == nullptr ? nullptr : std::strpbrk(text, "xX");
    if (cross == nullptr) return false;
    if (!ParseNumber(text, CliOptions::MinRunSide, CliOptions::MaxRunSide, width, end, *cross) ||
        !ParseNumber(cross + 1, CliOptions::MinRunSide, CliOptions::MaxRunSide, height, end)) {
        return false;
    }
    x = int(width);
    y = int(height);
    return true;
}

// Reads a decimal strength in (0, MaxNormalStrength].
bool ParseStrength(const char *text, double &strength) {
    if (text == nullptr || *text == 0) return false;
    char *end = nullptr;
    const double value = std::strtod(text, &end);
    if (*end != 0 || !std::isfinite(value) || value <= 0.0 ||
        value > ImageOptions::MaxNormalStrength)
        return false;
    strength = value;
    return true;
}

// The file type of a format word, any case: 'P', 'B', 'T'; 0 for another word.
char FormatOf(const char *word) {
    for (char format : {'P', 'B', 'T'}) {
        if (strcasecmp(word, ImageOptions::FormatName(format)) == 0) return format;
    }
    return 0;
}

// A count option: true, or false with the reason "invalid WHAT 'VALUE' (a whole number from 1
// to MOST)".
bool ReadCount(CliOptions &o, const char *value, int most, const char *what, int &count) {
    if (ParseCount(value, most, count)) return true;
    o.ErrorText = std::string("invalid ") + what + " '" + value + "' (a whole number from 1 to " +
                  std::to_string(most) + ")";
    return false;
}

enum class Takes { Nothing, Value, OptionalValue };
enum class Part { Run, Sweep };

// One option: its names, its value, its help and how it is read (Read null: a line of help
// only, for an option that the other part of the help describes again).
struct OptionSpec {
    const char *Long;
    char Short;  // 0: long only
    Takes Argument;
    const char *ValueText;  // what follows the long name in the help: "=N", "[=K]", ""
    Part Section;
    const char *Help;
    bool (*Read)(CliOptions &options, const char *value);
};

const OptionSpec Options[] = {
    {"check", 'c', Takes::Nothing, "", Part::Run,
     "parse the script only and print its errors; the file is left as it is and the lines are "
     "numbered as in it",
     [](CliOptions &o, const char *) { return o.CheckOnly = true; }},
    {"annotate", 'a', Takes::Nothing, "", Part::Run,
     "parse the script, write the annotations into it, do not run",
     [](CliOptions &o, const char *) { return o.CheckOnly = o.Annotate = true; }},
    {"randomize", 'r', Takes::Nothing, "", Part::Run,
     "ignore the script's randseed and take a fresh seed; the images carry it: "
     "SCRIPT_s<seed>_<component><iteration>",
     [](CliOptions &o, const char *) { return o.Randomize = true; }},
    {"rounds", 'n', Takes::Value, "=N", Part::Run,
     "run N times, each round with a fresh seed carried in its image names as with --randomize "
     "(with --seed: S, S+1, ...)",
     [](CliOptions &o, const char *v) {
         return ReadCount(o, v, MaxRounds, "number of rounds", o.Rounds);
     }},
    {"seed", 's', Takes::Value, "=S", Part::Run,
     "run with seed S (1 to 2147483647, what a randseed line holds) instead of the script's: "
     "the images of a round run again with the seed it printed",
     [](CliOptions &o, const char *v) {
         unsigned long long seed = 0;
         const char *end = nullptr;
         if (!ParseNumber(v, 1, ScriptParser::MaxSeed, seed, end)) {
             o.ErrorText = "invalid seed '" + std::string(v) + "' (a whole number from 1 to " +
                           std::to_string(ScriptParser::MaxSeed) +
                           ", the seeds a script's randseed line holds)";
             return false;
         }
         o.Seed = uint32_t(seed);
         return true;
     }},
    {"out", 'o', Takes::Value, "=DIR", Part::Run,
     "write the images into DIR (made with its parents if missing); the script is still read "
     "and annotated where it is",
     [](CliOptions &o, const char *v) {
         if (*v == 0) {
             o.ErrorText = "the output folder is an empty name";
             return false;
         }
         o.OutDir = v;
         return true;
     }},
    {"format", 'f', Takes::Value, "=TYPE", Part::Run,
     "write png, bmp or tga, whatever the script's image line says",
     [](CliOptions &o, const char *v) {
         o.Images.Format = FormatOf(v);
         if (o.Images.Format != 0) return true;
         o.ErrorText = "invalid image format '" + std::string(v) + "' (png, bmp or tga)";
         return false;
     }},
    {"size", 0, Takes::Value, "=WxH", Part::Run,
     "run at W x H points (10 to 8192 a side) instead of the script's size. Memory: 4 bytes a "
     "point for each component, 1 (256 colours) or 3 (true colour) bytes a picture point, "
     "four times (twice for the images being written); at 8192x8192 a two-component model "
     "with true-colour images needs about 1.3 GB. A "
     "run that needs more than the memory available is refused before it starts",
     [](CliOptions &o, const char *v) {
         if (ParseSize(v, o.Images.SizeX, o.Images.SizeY)) return true;
         o.ErrorText = "invalid size '" + std::string(v) + "' (WIDTHxHEIGHT, each from 10 to 8192)";
         return false;
     }},
    {"height", 0, Takes::Nothing, "", Part::Run,
     "write a 16-bit grey PNG height map beside every image",
     [](CliOptions &o, const char *) { return o.Images.Height = true; }},
    {"normal", 0, Takes::OptionalValue, "[=K]", Part::Run,
     "write a normal map (RGB PNG) beside every image; K scales the slopes (default 1, at most "
     "100)",
     [](CliOptions &o, const char *v) {
         o.Images.Normal = true;
         if (v == nullptr || ParseStrength(v, o.Images.NormalStrength)) return true;
         o.ErrorText =
             "invalid normal strength '" + std::string(v) + "' (a number above 0, at most 100)";
         return false;
     }},
    {"normal-dx", 0, Takes::Nothing, "", Part::Run,
     "the normal map in the DirectX convention (+Y down); implies --normal",
     [](CliOptions &o, const char *) { return o.Images.Normal = o.Images.NormalDirectX = true; }},
    {"upscale", 0, Takes::Value, "=N", Part::Run,
     "images N times the field's size (1 to 8, at most 16384 points a side), resampled so that "
     "they still tile",
     [](CliOptions &o, const char *v) {
         return ReadCount(o, v, SurfaceMaps::MaxUpscale, "upscale factor", o.Images.Upscale);
     }},
    {"scale", 0, Takes::Value, "=MODE", Part::Run,
     "how autoscaled images are stretched over the colours: image (the default) each over its "
     "own field's range; run all of a run's images over one range, that of all of them, "
     "measured in a first pass of the run without images (it takes about twice as long)",
     [](CliOptions &o, const char *v) {
         if (std::strcmp(v, "image") == 0 || std::strcmp(v, "run") == 0) {
             o.Images.ScaleRun = std::strcmp(v, "run") == 0;
             return true;
         }
         o.ErrorText = "invalid scale '" + std::string(v) + "' (image or run)";
         return false;
     }},
    {"png-level", 0, Takes::Value, "=L", Part::Run,
     "compress PNG images and maps at zlib level L: 0 (stored, fastest, largest) to 9 "
     "(default 1); the pixels are the same at every level",
     [](CliOptions &o, const char *v) {
         unsigned long long level = 0;
         const char *end = nullptr;
         if (ParseNumber(v, 0, PngFile::MaxCompression, level, end)) {
             o.Images.PngLevel = int(level);
             return true;
         }
         o.ErrorText = "invalid PNG level '" + std::string(v) + "' (a whole number from 0 to 9)";
         return false;
     }},
    {"last", 0, Takes::Nothing, "", Part::Run,
     "write only the final image of the run (with its maps); Ctrl-C writes the image of the "
     "iteration reached",
     [](CliOptions &o, const char *) { return o.Images.Last = true; }},
    {"upscale-to", 0, Takes::Value, "=SIZE", Part::Run,
     "images and maps of SIZE pixels: N makes the longer side N and the other in proportion, "
     "WxH both (10 to 16384, not below the field's sides); the field is resampled periodically "
     "at any ratio, so they still tile",
     [](CliOptions &o, const char *v) {
         unsigned long long width = 0, height = 0;
         const char *end = nullptr;
         const char *cross = std::strpbrk(v, "xX");
         const bool read =
             cross == nullptr
                 ? ParseNumber(v, 10, SurfaceMaps::MaxUpscaledSide, width, end)
                 : ParseNumber(v, 10, SurfaceMaps::MaxUpscaledSide, width, end, *cross) &&
                       ParseNumber(cross + 1, 10, SurfaceMaps::MaxUpscaledSide, height, end);
         if (!read) {
             o.ErrorText = "invalid size '" + std::string(v) +
                           "' for --upscale-to (N or WxH, each from 10 to 16384)";
             return false;
         }
         o.Images.UpscaleToX = int(width);
         o.Images.UpscaleToY = int(height);
         return true;
     }},
    {"movie", 0, Takes::Value, "=FILE|TYPE", Part::Run,
     "also write a movie of the run to FILE: .mp4 (H.264; an odd side is made even with the "
     "texture's own first row or column), .webp (animated, lossless) or .gif (an 8-bit "
     "image's colour map is its palette; true-colour frames are reduced to 256 colours). Its "
     "first frame is the starting field, then one frame per image the script's image line "
     "asks for (also with --last), as the images look (colour map, --upscale, --size); may be "
     "repeated, one run writes them all. With a sweep, TYPE (mp4, webp or gif) instead: every "
     "variant writes NAME.TYPE beside its images, and the contact sheet gets contact.mp4. "
     "A movie that cannot be written gives exit status 5 and leaves no file; Ctrl-C ends it "
     "with the frames so far",
     [](CliOptions &o, const char *v) {
         // A bare type is a sweep's (Conclude knows whether there is one).
         if (MovieEncoder::FormatOf(v) == MovieEncoder::Format::None && !VariantMovies::IsType(v)) {
             o.ErrorText = "invalid movie '" + std::string(v) +
                           "' (a name ending in .mp4, .webp or .gif; for a sweep mp4, webp or gif)";
             return false;
         }
         for (const std::string &movie : o.Movies) {
             if (movie == v) {
                 o.ErrorText = "the movie '" + movie + "' is named twice";
                 return false;
             }
         }
         o.Movies.push_back(v);
         return true;
     }},
    {"movie-every", 0, Takes::Value, "=N", Part::Run,
     "a movie frame every N iterations (and at the last) instead of one per image; the image "
     "files are still written as the script's image line (and --last) asks",
     [](CliOptions &o, const char *v) {
         return ReadCount(o, v, MaxMovieEvery, "frame period", o.MovieEvery);
     }},
    {"fps", 0, Takes::Value, "=F", Part::Run,
     "movie frames a second (default 30, 0.1 to 120; a GIF counts hundredths of a second)",
     [](CliOptions &o, const char *v) {
         char *end = nullptr;
         const double fps = std::strtod(v, &end);
         if (*v == 0 || *end != 0 || !std::isfinite(fps) || fps < MovieSettings::MinFps ||
             fps > MovieSettings::MaxFps) {
             o.ErrorText = "invalid frame rate '" + std::string(v) + "' (a number from 0.1 to 120)";
             return false;
         }
         o.Movie.Fps = fps;
         return true;
     }},
    {"movie-quality", 0, Takes::Value, "=Q", Part::Run,
     "movie quality 1 (smallest) to 100 (best): MP4 at a CRF of (100 - Q) x 51 / 99 instead of "
     "18, WebP lossy at Q instead of lossless, GIF true-colour frames reduced at quality Q "
     "or better",
     [](CliOptions &o, const char *v) {
         return ReadCount(o, v, 100, "movie quality", o.Movie.Quality);
     }},
    {"no-overwrite", 0, Takes::Nothing, "", Part::Run,
     "refuse to start when an image or movie the run would write exists",
     [](CliOptions &o, const char *) { return o.NoOverwrite = true; }},
    {"json", 0, Takes::Nothing, "", Part::Run,
     "one JSON object per round on stdout (script, model, parameters, size, seed, iterations, "
     "images written and failed, every image's field range, seconds, Mps, status; a faulty "
     "script's errors); the summary goes to stderr",
     [](CliOptions &o, const char *) { return o.Json = true; }},
    {"json-file", 0, Takes::Value, "=FILE", Part::Run,
     "write the objects of --json into FILE when the run ends (replaced in one step), stdout "
     "as without it",
     [](CliOptions &o, const char *v) {
         if (*v == 0) {
             o.ErrorText = "--json-file needs a file name";
             return false;
         }
         o.JsonFile = v;
         return true;
     }},
    {"quiet", 'q', Takes::Nothing, "", Part::Run,
     "no progress display and no notes; errors, warnings, the seeds of --randomize and "
     "--rounds, and the summary stay",
     [](CliOptions &o, const char *) { return o.Quiet = true; }},
    {"threads", 't', Takes::Value, "=N", Part::Run,
     "compute with N threads (default: VORNA_THREADS, else all cores)",
     [](CliOptions &o, const char *v) {
         return ReadCount(o, v, MaxThreads, "number of threads", o.Threads);
     }},
    {"list-models", 0, Takes::Nothing, "", Part::Run,
     "print the models and their parameters as a table and exit",
     [](CliOptions &o, const char *) { return o.ListModels = true; }},
    {"help", 'h', Takes::Nothing, "", Part::Run, "show this help and exit",
     [](CliOptions &o, const char *) { return o.Help = true; }},
    {"version", 'V', Takes::Nothing, "", Part::Run, "show the version and exit",
     [](CliOptions &o, const char *) { return o.Version = true; }},
    // Sweeps.
    {"vary", 0, Takes::Value, "='LINE VALUES'", Part::Sweep,
     "vary the argument after LINE ('modpar beta', 'diffusion B') over VALUES: from:to:count, "
     "evenly spaced, or a list 6,7.5,9; the option may be repeated and every combination runs. "
     "Each variant is named after its values and checked before anything runs; --seed, or else "
     "the script's seed, is the seed of all, -r gives each its own",
     [](CliOptions &o, const char *v) {
         o.Varies.push_back(v);
         return true;
     }},
    {"out", 'o', Takes::Value, "=DIR", Part::Sweep,
     "the sweep folder (default SCRIPT-sweep/ beside the base)", nullptr},
    {"jobs", 0, Takes::Value, "=N", Part::Sweep,
     "run N variants at once (default: small fields one per thread, large ones one at a time "
     "with every thread)",
     [](CliOptions &o, const char *v) {
         return ReadCount(o, v, MaxJobs, "number of jobs", o.Jobs);
     }},
    {"resume", 0, Takes::Nothing, "", Part::Sweep,
     "skip the variants whose images are all there and whole",
     [](CliOptions &o, const char *) { return o.Resume = true; }},
    {"all-images", 0, Takes::Nothing, "", Part::Sweep,
     "every variant writes all the images its script asks for (by default only its final one, "
     "as --last)",
     [](CliOptions &o, const char *) { return o.AllImages = true; }},
    {"emit-jobs", 0, Takes::Nothing, "", Part::Sweep,
     "write the variants, jobs.txt (for GNU parallel) and sweep.sbatch (a Slurm job array) into "
     "the folder and run nothing",
     [](CliOptions &o, const char *) { return o.EmitJobs = true; }},
    {"contact-sheet", 0, Takes::Value, "=DIR", Part::Sweep,
     "lay out the final images of sweep folder DIR as index.html and contact.png (a sweep does "
     "this when it ends)",
     [](CliOptions &o, const char *v) {
         o.ContactSheetDir = v;
         return true;
     }},
};
constexpr int OptionCount = int(sizeof Options / sizeof Options[0]);
// getopt_long's codes of the options without a short name: their index in Options above this.
constexpr int LongOnlyCode = 256;

// text wrapped into lines of at most CliOptions::HelpWidth columns, the first starting at column
// start of a line that already holds start characters, the others indented to indent.
std::string Wrap(const std::string &text, size_t start, size_t indent) {
    std::string out;
    size_t column = start;
    size_t at = 0;
    bool lineEmpty = true;
    while (at < text.size()) {
        size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(at, end - at);
        const size_t needed = word.size() + (lineEmpty ? 0 : 1);
        if (!lineEmpty && column + needed > size_t(CliOptions::HelpWidth)) {
            out += '\n';
            out.append(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
        at = end + 1;
    }
    return out + "\n";
}

// The help lines of the options of section.
std::string OptionHelp(Part section) {
    std::string out;
    for (const OptionSpec &spec : Options) {
        if (spec.Section != section) continue;
        std::string label = spec.Short != 0 ? std::string("  -") + spec.Short + ", --" : "      --";
        label += spec.Long;
        label += spec.ValueText;
        // A label too long for its column is followed by two blanks.
        label += label.size() + 1 <= HelpColumn ? std::string(HelpColumn - label.size(), ' ')
                                                : std::string("  ");
        out += label + Wrap(spec.Help, label.size(), HelpColumn);
    }
    return out;
}

}  // namespace

CliOptions::Action CliOptions::Parse(int argc, char *const argv[]) {
    // The getopt tables, made from Options once; a help-only line has no entry.
    static const std::vector<option> longOptions = [] {
        std::vector<option> table;
        for (int i = 0; i < OptionCount; ++i) {
            const OptionSpec &spec = Options[i];
            if (spec.Read == nullptr) continue;
            const int has = spec.Argument == Takes::Nothing ? no_argument
                            : spec.Argument == Takes::Value ? required_argument
                                                            : optional_argument;
            table.push_back(
                {spec.Long, has, nullptr, spec.Short != 0 ? spec.Short : LongOnlyCode + i});
        }
        table.push_back({nullptr, 0, nullptr, 0});
        return table;
    }();
    static const std::string shortOptions = [] {
        std::string text = ":";  // ':' for a missing value, told apart from an unknown option
        for (const OptionSpec &spec : Options) {
            if (spec.Short == 0 || spec.Read == nullptr) continue;
            text += spec.Short;
            if (spec.Argument == Takes::Value) text += ':';
        }
        return text;
    }();
    if (argc > 0 && argv[0] != nullptr) {
        std::string name = argv[0];
        size_t slash = name.find_last_of('/');
        ProgramName = slash == std::string::npos ? name : name.substr(slash + 1);
    }
    // getopt keeps its state in globals: 0 restarts it, so the parser can be used again.
    optind = 0;
    opterr = 0;
    int code;
    while ((code = getopt_long(argc, argv, shortOptions.c_str(), longOptions.data(), nullptr)) !=
           -1) {
        if (code == ':') {
            ErrorText = "option '" + std::string(argv[optind - 1]) + "' needs a value";
            return Action::UsageError;
        }
        const OptionSpec *spec = nullptr;
        for (int i = 0; i < OptionCount && spec == nullptr; ++i) {
            const bool match =
                Options[i].Short != 0 ? code == Options[i].Short : code == LongOnlyCode + i;
            if (match && Options[i].Read != nullptr) spec = &Options[i];
        }
        if (spec == nullptr) {
            ErrorText = optopt != 0 ? "invalid option '-" + std::string(1, char(optopt)) + "'"
                                    : "unrecognized option '" + std::string(argv[optind - 1]) + "'";
            return Action::UsageError;
        }
        if (!spec->Read(*this, optarg)) return Action::UsageError;
    }
    return Conclude(argc - optind, argv + optind);
}

CliOptions::Action CliOptions::Conclude(int operands, char *const operand[]) {
    if (Help) return Action::Help;
    if (Version) return Action::Version;
    if (ListModels) return Action::ListModels;
    if (Images.Upscale > 1 && Images.UpscaleToX > 0) {
        ErrorText = "--upscale and --upscale-to contradict each other";
        return Action::UsageError;
    }
    if (Seed != 0 && Randomize) {
        ErrorText = "--seed and --randomize contradict each other";
        return Action::UsageError;
    }
    if ((Json || !JsonFile.empty()) && CheckOnly) {
        ErrorText = "--json reports runs; it does not go with --check or --annotate";
        return Action::UsageError;
    }
    const bool movieOptions =
        MovieEvery != 0 || Movie.Fps != MovieSettings().Fps || Movie.Quality != 0;
    if (Movies.empty() && movieOptions) {
        ErrorText = "--movie-every, --fps and --movie-quality need --movie";
        return Action::UsageError;
    }
    if (!Movies.empty()) {
        const char *refused = CheckOnly    ? "--check or --annotate"
                              : Rounds > 1 ? "--rounds (one movie is one run)"
                              : !ContactSheetDir.empty()
                                  ? "--contact-sheet (contact.mp4 is made of the movies the "
                                    "variants have)"
                                  : nullptr;
        if (refused != nullptr) {
            ErrorText = std::string("--movie does not go with ") + refused;
            return Action::UsageError;
        }
        // A sweep's variants each write NAME.TYPE; a run writes the files named.
        for (const std::string &movie : Movies) {
            if (VariantMovies::IsType(movie) == Varies.empty()) {
                ErrorText = Varies.empty() ? "invalid movie '" + movie +
                                                 "' (a name ending in .mp4, .webp or .gif)"
                                           : "a sweep's --movie names a type: mp4, webp or gif "
                                             "(each variant writes NAME.TYPE), not '" +
                                                 movie + "'";
                return Action::UsageError;
            }
        }
    }
    if (!ContactSheetDir.empty()) {
        if (operands == 0) return Action::ContactSheet;
        ErrorText = "--contact-sheet takes no script ('" + std::string(operand[0]) + "')";
        return Action::UsageError;
    }
    if (Varies.empty() && (Resume || EmitJobs || Jobs != 0 || AllImages)) {
        ErrorText = "--jobs, --resume, --emit-jobs and --all-images belong to a sweep (--vary)";
        return Action::UsageError;
    }
    if (AllImages && Images.Last) {
        ErrorText = "--last and --all-images contradict each other";
        return Action::UsageError;
    }
    if (Json && EmitJobs) {
        ErrorText = "--json reports the variants' runs; --emit-jobs runs none";
        return Action::UsageError;
    }
    if (operands == 0) {
        ErrorText = "no script given";
        return Action::UsageError;
    }
    if (operands > 1) {
        ErrorText = "one script at a time ('" + std::string(operand[1]) + "' is extra)";
        return Action::UsageError;
    }
    ScriptPath = operand[0];
    if (Varies.empty()) return Action::Run;
    // Each variant runs once, quietly, and the sweep writes its own summary.
    const char *refused = Annotate      ? "--annotate"
                          : CheckOnly   ? "--check"
                          : Rounds > 1  ? "--rounds"
                          : NoOverwrite ? "--no-overwrite"
                                        : nullptr;
    if (refused != nullptr) {
        ErrorText = std::string("a sweep (--vary) does not take ") + refused;
        return Action::UsageError;
    }
    // A variant is looked at through its final image; the others only fill the disk.
    if (!AllImages) Images.Last = true;
    return Action::Sweep;
}

std::string CliOptions::HelpText() const {
    // Paragraphs are wrapped like the options' help; an exit code's text hangs after its code.
    auto paragraph = [](const char *text) { return Wrap(text, 0, 0); };
    auto exitCode = [](const char *code, const char *text) {
        std::string label = std::string("  ") + code;
        label.resize(7, ' ');
        return label + Wrap(text, label.size(), label.size());
    };
    return "Usage: " + ProgramName + " [OPTION]... SCRIPT.vna\n" +
           paragraph("Grow the texture a Vorna parameter script describes, without a window.") +
           "\n" +
           paragraph(
               "The script is parsed and rewritten like the desktop Run does: each faulty "
               "line gets an annotation line above it (old annotations are removed); a "
               "script whose annotations do not change is not written. The images are "
               "written next to the script (or into --out), named "
               "SCRIPT_<component><iteration>.bmp (.tga, .png).") +
           "\n" + OptionHelp(Part::Run) + "\n" +
           paragraph("Sweeps (SCRIPT is the base; the variants go to SCRIPT-sweep/ beside it):") +
           OptionHelp(Part::Sweep) +
           paragraph(
               "Every variant, run here or from the job files, gets the sweep's -f, --size, "
               "--upscale, --height, --normal, --normal-dx, --scale and --png-level, "
               "--movie-every, "
               "--fps and --movie-quality, and --last unless --all-images is given (a movie still "
               "has a frame per image of the script's image line); --resume looks for the files "
               "they make, a movie only when the variant's run report says it was finished; "
               "--no-overwrite, -n, -c and -a do not go with a sweep. --json prints one object "
               "per variant as it ends (name, script, values, seed, status, images, movies, and "
               "whether "
               "its final field is uniform when its run report tells it), the rest going to "
               "stderr.") +
           "\n" +
           paragraph(
               "Progress goes to stderr (a live bar on a terminal, a line per 10% "
               "otherwise); stdout names every image written, one a line, and its last "
               "line sums up the run. Ctrl-C stops within half a second (the images "
               "written stay); a second Ctrl-C ends the program at once.") +
           paragraph(
               "A modpar line the model does not read, and a parameter it reads that no "
               "modpar line sets (it is 0), are printed as PATH:LINE: warning: TEXT; the "
               "script stays valid and runs.") +
           "\nExit status:\n" + exitCode("0", "done") +
           exitCode("1", "wrong command line, or --no-overwrite found an image in the way") +
           exitCode("2", "the script has errors (printed as PATH:LINE: TEXT)") +
           exitCode("3",
                    "the script could not be read or rewritten, the output folder could not be "
                    "made or written, or memory ran out (or would not suffice)") +
           exitCode("4", "a numeric overflow stopped the run (the images written stay)") +
           exitCode("5",
                    "some images or movies could not be written (each is reported with its "
                    "cause)") +
           exitCode("130", "interrupted by Ctrl-C") +
           paragraph(
               "A sweep ends with 0 when every variant ran, 1 for a wrong command line (a "
               "name with a control character among them), 2 when the base or a variant has "
               "errors, 3 when a file could not be written or a file the sweep did not write "
               "is in the way (it writes only into an empty folder or its own), 6 when some "
               "variants failed (each is reported with its output) and 130 on Ctrl-C.");
}

std::string CliOptions::VersionText() { return "vorna-cli " VORNA_VERSION "\n"; }
