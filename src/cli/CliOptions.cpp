#include "cli/CliOptions.h"

#include <getopt.h>
#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sweep/SweepExpander.h"

namespace {

constexpr int MaxRounds = 1000000;
constexpr int MaxThreads = 64;
constexpr int MaxJobs = 256;
// Codes of the options that have no short form.
enum LongOnly {
    OptListModels = 256,
    OptJson,
    OptNoOverwrite,
    OptSize,
    OptHeight,
    OptNormal,
    OptNormalDx,
    OptUpscale,
    OptVary,
    OptJobs,
    OptResume,
    OptEmitJobs,
    OptContactSheet,
};

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
    if (*end != 0 || !std::isfinite(value) || value <= 0.0 || value > CliOptions::MaxNormalStrength)
        return false;
    strength = value;
    return true;
}

// The file type of a format word, any case: 'P', 'B', 'T'; 0 for another word.
char FormatOf(const char *word) {
    static const struct {
        const char *Name;
        char Format;
    } Formats[] = {{"png", 'P'}, {"bmp", 'B'}, {"tga", 'T'}};
    for (const auto &format : Formats) {
        if (strcasecmp(word, format.Name) == 0) return format.Format;
    }
    return 0;
}

}  // namespace

CliOptions::Action CliOptions::Parse(int argc, char *const argv[]) {
    static const option LongOptions[] = {
        {"check", no_argument, nullptr, 'c'},
        {"annotate", no_argument, nullptr, 'a'},
        {"randomize", no_argument, nullptr, 'r'},
        {"rounds", required_argument, nullptr, 'n'},
        {"quiet", no_argument, nullptr, 'q'},
        {"threads", required_argument, nullptr, 't'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {"list-models", no_argument, nullptr, OptListModels},
        {"out", required_argument, nullptr, 'o'},
        {"format", required_argument, nullptr, 'f'},
        {"seed", required_argument, nullptr, 's'},
        {"json", no_argument, nullptr, OptJson},
        {"no-overwrite", no_argument, nullptr, OptNoOverwrite},
        {"size", required_argument, nullptr, OptSize},
        {"height", no_argument, nullptr, OptHeight},
        {"normal", optional_argument, nullptr, OptNormal},
        {"normal-dx", no_argument, nullptr, OptNormalDx},
        {"upscale", required_argument, nullptr, OptUpscale},
        // Sweeps.
        {"vary", required_argument, nullptr, OptVary},
        {"jobs", required_argument, nullptr, OptJobs},
        {"resume", no_argument, nullptr, OptResume},
        {"emit-jobs", no_argument, nullptr, OptEmitJobs},
        {"contact-sheet", required_argument, nullptr, OptContactSheet},
        {nullptr, 0, nullptr, 0},
    };
    if (argc > 0 && argv[0] != nullptr) {
        std::string name = argv[0];
        size_t slash = name.find_last_of('/');
        ProgramName = slash == std::string::npos ? name : name.substr(slash + 1);
    }
    bool help = false;
    bool version = false;
    bool listModels = false;
    // getopt keeps its state in globals: 0 restarts it, so the parser can be used again.
    optind = 0;
    opterr = 0;
    int option;
    while ((option = getopt_long(argc, argv, ":carn:qt:hVo:f:s:", LongOptions, nullptr)) != -1) {
        switch (option) {
            case 'c':
                CheckOnly = true;
                break;
            case 'a':
                CheckOnly = true;
                Annotate = true;
                break;
            case 'r':
                Randomize = true;
                break;
            case 'q':
                Quiet = true;
                break;
            case 'h':
                help = true;
                break;
            case 'V':
                version = true;
                break;
            case OptListModels:
                listModels = true;
                break;
            case 'o':
                if (*optarg == 0) {
                    ErrorText = "the output folder is an empty name";
                    return Action::UsageError;
                }
                OutDir = optarg;
                break;
            case 'f':
                Format = FormatOf(optarg);
                if (Format == 0) {
                    ErrorText =
                        "invalid image format '" + std::string(optarg) + "' (png, bmp or tga)";
                    return Action::UsageError;
                }
                break;
            case 's': {
                unsigned long long seed = 0;
                const char *end = nullptr;
                if (!ParseNumber(optarg, 1, UINT32_MAX, seed, end)) {
                    ErrorText = "invalid seed '" + std::string(optarg) +
                                "' (a whole number from 1 to 4294967295)";
                    return Action::UsageError;
                }
                Seed = uint32_t(seed);
                break;
            }
            case OptJson:
                Json = true;
                break;
            case OptNoOverwrite:
                NoOverwrite = true;
                break;
            case OptSize:
                if (!ParseSize(optarg, SizeX, SizeY)) {
                    ErrorText = "invalid size '" + std::string(optarg) +
                                "' (WIDTHxHEIGHT, each from 10 to 8192)";
                    return Action::UsageError;
                }
                break;
            case OptHeight:
                Height = true;
                break;
            case OptNormal:
                Normal = true;
                if (optarg != nullptr && !ParseStrength(optarg, NormalStrength)) {
                    ErrorText = "invalid normal strength '" + std::string(optarg) +
                                "' (a number above 0, at most 100)";
                    return Action::UsageError;
                }
                break;
            case OptNormalDx:
                Normal = true;
                NormalDirectX = true;
                break;
            case OptUpscale:
                if (!ParseCount(optarg, MaxUpscale, Upscale)) {
                    ErrorText = "invalid upscale factor '" + std::string(optarg) +
                                "' (a whole number from 1 to 8)";
                    return Action::UsageError;
                }
                break;
            case 'n':
                if (!ParseCount(optarg, MaxRounds, Rounds)) {
                    ErrorText = "invalid number of rounds '" + std::string(optarg) +
                                "' (a whole number from 1 to 1000000)";
                    return Action::UsageError;
                }
                break;
            case 't':
                if (!ParseCount(optarg, MaxThreads, Threads)) {
                    ErrorText = "invalid number of threads '" + std::string(optarg) +
                                "' (a whole number from 1 to 64)";
                    return Action::UsageError;
                }
                break;
            case OptVary:
                Varies.push_back(optarg);
                break;
            case OptJobs:
                if (!ParseCount(optarg, MaxJobs, Jobs)) {
                    ErrorText = "invalid number of jobs '" + std::string(optarg) +
                                "' (a whole number from 1 to 256)";
                    return Action::UsageError;
                }
                break;
            case OptResume:
                Resume = true;
                break;
            case OptEmitJobs:
                EmitJobs = true;
                break;
            case OptContactSheet:
                ContactSheetDir = optarg;
                break;
            case ':':
                ErrorText = "option '" + std::string(argv[optind - 1]) + "' needs a value";
                return Action::UsageError;
            default:
                ErrorText = optopt != 0
                                ? "invalid option '-" + std::string(1, char(optopt)) + "'"
                                : "unrecognized option '" + std::string(argv[optind - 1]) + "'";
                return Action::UsageError;
        }
    }
    if (help) return Action::Help;
    if (version) return Action::Version;
    if (listModels) return Action::ListModels;
    if (Seed != 0 && Randomize) {
        ErrorText = "--seed and --randomize contradict each other";
        return Action::UsageError;
    }
    if (Json && CheckOnly) {
        ErrorText = "--json reports runs; it does not go with --check or --annotate";
        return Action::UsageError;
    }
    int operands = argc - optind;
    if (!ContactSheetDir.empty()) {
        if (operands == 0) return Action::ContactSheet;
        ErrorText = "--contact-sheet takes no script ('" + std::string(argv[optind]) + "')";
        return Action::UsageError;
    }
    if (Varies.empty() && (Resume || EmitJobs || Jobs != 0)) {
        ErrorText = "--jobs, --resume and --emit-jobs belong to a sweep (--vary)";
        return Action::UsageError;
    }
    if (!Varies.empty() && Seed > SweepExpander::MaxSeed) {
        // Every variant carries its seed in a randseed line.
        ErrorText = "a sweep's seed goes into its scripts' randseed lines: 1 to 99999999";
        return Action::UsageError;
    }
    if (operands == 0) {
        ErrorText = "no script given";
        return Action::UsageError;
    }
    if (operands > 1) {
        ErrorText = "one script at a time ('" + std::string(argv[optind + 1]) + "' is extra)";
        return Action::UsageError;
    }
    ScriptPath = argv[optind];
    if (!Varies.empty()) {
        // Each variant runs once, quietly, and the sweep writes its own summary.
        const char *refused = Annotate      ? "--annotate"
                              : CheckOnly   ? "--check"
                              : Rounds > 1  ? "--rounds"
                              : Json        ? "--json"
                              : NoOverwrite ? "--no-overwrite"
                                            : nullptr;
        if (refused != nullptr) {
            ErrorText = std::string("a sweep (--vary) does not take ") + refused;
            return Action::UsageError;
        }
        return Action::Sweep;
    }
    return Action::Run;
}

std::vector<std::string> CliOptions::RunArguments() const {
    std::vector<std::string> words;
    if (Format != 0) {
        const char *name = Format == 'P' ? "png" : Format == 'T' ? "tga" : "bmp";
        words.insert(words.end(), {"--format", name});
    }
    if (SizeX != 0) {
        words.insert(words.end(), {"--size", std::to_string(SizeX) + "x" + std::to_string(SizeY)});
    }
    if (Upscale != 1) words.insert(words.end(), {"--upscale", std::to_string(Upscale)});
    if (Height) words.push_back("--height");
    if (Normal) {
        // The shortest text that reads back to the very strength parsed (0.3, not 0.2999...).
        char strength[32];
        for (int digits = 6; digits <= 17; ++digits) {
            std::snprintf(strength, sizeof strength, "%.*g", digits, NormalStrength);
            if (std::strtod(strength, nullptr) == NormalStrength) break;
        }
        words.push_back(std::string("--normal=") + strength);
    }
    if (NormalDirectX) words.push_back("--normal-dx");
    return words;
}

std::string CliOptions::HelpText() const {
    return "Usage: " + ProgramName +
           " [OPTION]... SCRIPT.vna\n"
           "Grow the texture a Vorna parameter script describes, without a window.\n"
           "\n"
           "The script is parsed and rewritten like the desktop Run does: each faulty line gets\n"
           "an annotation line above it (old annotations are removed); a script whose\n"
           "annotations do not change is not written. The images are written next to the\n"
           "script (or into --out), named SCRIPT_<component><iteration>.bmp (.tga, .png).\n"
           "\n"
           "  -c, --check        parse the script only and print its errors; the file is left\n"
           "                     as it is and the lines are numbered as in it\n"
           "  -a, --annotate     parse the script, write the annotations into it, do not run\n"
           "  -r, --randomize    ignore the script's randseed and take a fresh seed; the images\n"
           "                     carry it: SCRIPT_s<seed>_<component><iteration>\n"
           "  -n, --rounds=N     run N times, each round with a fresh seed carried in its image\n"
           "                     names as with --randomize (with --seed: S, S+1, ...)\n"
           "  -s, --seed=S       run with seed S (1 to 4294967295) instead of the script's: the\n"
           "                     images of a round run again with the seed it printed\n"
           "  -o, --out=DIR      write the images into DIR (made with its parents if missing);\n"
           "                     the script is still read and annotated where it is\n"
           "  -f, --format=TYPE  write png, bmp or tga, whatever the script's image line says\n"
           "      --size=WxH     run at W x H points (10 to 8192 a side) instead of the script's\n"
           "                     size. Memory: 4 bytes a point for each component, 1 (256\n"
           "                     colours) or 3 (true colour) bytes a picture point, twice; at\n"
           "                     8192x8192 a two-component model with true-colour images needs\n"
           "                     about 0.9 GB. A run that needs more than the memory available\n"
           "                     is refused before it starts\n"
           "      --height       write a 16-bit grey PNG height map beside every image\n"
           "      --normal[=K]   write a normal map (RGB PNG) beside every image; K scales the\n"
           "                     slopes (default 1, at most 100)\n"
           "      --normal-dx    the normal map in the DirectX convention (+Y down); implies\n"
           "                     --normal\n"
           "      --upscale=N    images N times the field's size (1 to 8, at most 16384 points\n"
           "                     a side), resampled so that they still tile\n"
           "      --no-overwrite refuse to start when an image the run would write exists\n"
           "      --json         one JSON object per round on stdout (script, model, size, seed,\n"
           "                     iterations, images written and failed, seconds, Mps, status);\n"
           "                     the summary goes to stderr\n"
           "  -q, --quiet        no progress display and no notes; errors, warnings, the seeds\n"
           "                     of --randomize and --rounds, and the summary stay\n"
           "  -t, --threads=N    compute with N threads (default: VORNA_THREADS, else all cores)\n"
           "      --list-models  print the models and their parameters as a table and exit\n"
           "  -h, --help         show this help and exit\n"
           "  -V, --version      show the version and exit\n"
           "\n"
           "Sweeps (SCRIPT is the base; the variants go to SCRIPT-sweep/ beside it):\n"
           "      --vary='LINE VALUES'  vary the argument after LINE ('modpar beta', 'diffusion "
           "B')\n"
           "                     over VALUES: from:to:count, evenly spaced, or a list 6,7.5,9; "
           "the\n"
           "                     option may be repeated and every combination runs. Each variant "
           "is\n"
           "                     named after its values and checked before anything runs; --seed, "
           "or\n"
           "                     else the script's seed, is the seed of all, -r gives each its "
           "own\n"
           "  -o, --out=DIR      the sweep folder (default SCRIPT-sweep/ beside the base)\n"
           "      --jobs=N       run N variants at once (default: small fields one per thread,\n"
           "                     large ones one at a time with every thread)\n"
           "      --resume       skip the variants whose images are all there and whole\n"
           "      --emit-jobs    write the variants, jobs.txt (for GNU parallel) and sweep.sbatch\n"
           "                     (a Slurm job array) into the folder and run nothing\n"
           "      --contact-sheet=DIR  lay out the final images of sweep folder DIR as index.html\n"
           "                     and contact.png (a sweep does this when it ends)\n"
           "Every variant, run here or from the job files, gets the sweep's -f, --size,\n"
           "--upscale, --height, --normal and --normal-dx, and --resume looks for the files\n"
           "they make; --json, --no-overwrite, -n, -c and -a do not go with a sweep.\n"
           "\n"
           "Progress goes to stderr (a live bar on a terminal, a line per 10% otherwise);\n"
           "stdout names every image written, one a line, and its last line sums up the run.\n"
           "Ctrl-C stops within half a second (the images written stay); a second Ctrl-C ends\n"
           "the program at once.\n"
           "A modpar line the model does not read, and a parameter it reads that no modpar\n"
           "line sets (it is 0), are printed as PATH:LINE: warning: TEXT; the script stays\n"
           "valid and runs.\n"
           "\n"
           "Exit status:\n"
           "  0    done\n"
           "  1    wrong command line, or --no-overwrite found an image in the way\n"
           "  2    the script has errors (printed as PATH:LINE: TEXT)\n"
           "  3    the script could not be read or rewritten, the output folder could not be\n"
           "       made or written, or memory ran out (or would not suffice)\n"
           "  4    a numeric overflow stopped the run (the images written stay)\n"
           "  5    some images could not be written (each is reported with its cause)\n"
           "  130  interrupted by Ctrl-C\n"
           "A sweep ends with 0 when every variant ran, 1 for a wrong command line, 2 when the\n"
           "base or a variant has errors, 3 when a file could not be written, 6 when some\n"
           "variants failed (each is reported with its output) and 130 on Ctrl-C.\n";
}

std::string CliOptions::VersionText() { return "vorna-cli " VORNA_VERSION "\n"; }
