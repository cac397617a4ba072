#include "cli/CliOptions.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>

namespace {

constexpr int MaxRounds = 1000000;
constexpr int MaxThreads = 64;
constexpr int MaxJobs = 256;
constexpr int MaxSeed = 99999999;

// Long options without a letter.
enum : int { OptVary = 256, OptOut, OptSeed, OptJobs, OptResume, OptEmitJobs, OptContactSheet };

// Reads a whole decimal count in 1 .. most.
bool ParseCount(const char *text, int most, int &count) {
    if (text == nullptr || *text < '0' || *text > '9') return false;
    errno = 0;
    char *end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != 0 || value < 1 || value > most) return false;
    count = int(value);
    return true;
}

}  // namespace

CliOptions::Action CliOptions::Parse(int argc, char *const argv[]) {
    static const option LongOptions[] = {
        {"check", no_argument, nullptr, 'c'},       {"annotate", no_argument, nullptr, 'a'},
        {"randomize", no_argument, nullptr, 'r'},   {"rounds", required_argument, nullptr, 'n'},
        {"quiet", no_argument, nullptr, 'q'},       {"threads", required_argument, nullptr, 't'},
        {"help", no_argument, nullptr, 'h'},        {"version", no_argument, nullptr, 'V'},
        {"list-models", no_argument, nullptr, 'm'},
        // Sweeps.
        {"vary", required_argument, nullptr, OptVary},
        {"out", required_argument, nullptr, OptOut},
        {"seed", required_argument, nullptr, OptSeed},
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
    while ((option = getopt_long(argc, argv, ":carn:qt:hV", LongOptions, nullptr)) != -1) {
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
            case 'm':
                listModels = true;
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
            case OptOut:
                OutDir = optarg;
                break;
            case OptSeed: {
                int seed = 0;
                if (!ParseCount(optarg, MaxSeed, seed)) {
                    ErrorText = "invalid seed '" + std::string(optarg) +
                                "' (a whole number from 1 to 99999999)";
                    return Action::UsageError;
                }
                Seed = uint32_t(seed);
                break;
            }
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
    int operands = argc - optind;
    if (!ContactSheetDir.empty()) {
        if (operands == 0) return Action::ContactSheet;
        ErrorText = "--contact-sheet takes no script ('" + std::string(argv[optind]) + "')";
        return Action::UsageError;
    }
    if (Varies.empty() && (Resume || EmitJobs || Jobs != 0 || !OutDir.empty())) {
        ErrorText = "--out, --jobs, --resume and --emit-jobs belong to a sweep (--vary)";
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
        if (CheckOnly || Rounds > 1) {
            ErrorText = "a sweep (--vary) runs each variant once; no --check or --rounds";
            return Action::UsageError;
        }
        return Action::Sweep;
    }
    return Action::Run;
}

std::string CliOptions::HelpText() const {
    return "Usage: " + ProgramName +
           " [OPTION]... SCRIPT.vna\n"
           "Grow the texture a Vorna parameter script describes, without a window.\n"
           "\n"
           "The script is parsed and rewritten like the desktop Run does: each faulty line gets\n"
           "an annotation line above it (old annotations are removed); a script whose\n"
           "annotations do not change is not written. The images are written next to the\n"
           "script, named SCRIPT_<component><iteration>.bmp (or .tga).\n"
           "\n"
           "  -c, --check        parse the script only and print its errors; the file is left\n"
           "                     as it is and the lines are numbered as in it\n"
           "  -a, --annotate     parse the script, write the annotations into it, do not run\n"
           "  -r, --randomize    ignore the script's randseed and take a fresh seed\n"
           "  -n, --rounds=N     run N times with fresh seeds; round r writes SCRIPT_r<r>_...\n"
           "  -q, --quiet        no progress display and no notes; errors, warnings and the\n"
           "                     summary stay\n"
           "  -t, --threads=N    compute with N threads (default: VORNA_THREADS, else all cores)\n"
           "      --list-models  print the models and their parameters as a table and exit\n"
           "      --seed=N       use seed N (1 to 99999999) instead of the script's randseed\n"
           "  -h, --help         show this help and exit\n"
           "  -V, --version      show the version and exit\n"
           "\n"
           "Sweeps (SCRIPT is the base; the variants go to SCRIPT-sweep/ beside it):\n"
           "      --vary='LINE VALUES'  vary the argument after LINE ('modpar beta', 'diffusion B')\n"
           "                     over VALUES: from:to:count, evenly spaced, or a list 6,7.5,9; the\n"
           "                     option may be repeated and every combination runs. Each variant is\n"
           "                     named after its values and checked before anything runs; --seed, or\n"
           "                     else the script's seed, is the seed of all, -r gives each its own\n"
           "      --out=DIR      the sweep folder\n"
           "      --jobs=N       run N variants at once (default: small fields one per thread,\n"
           "                     large ones one at a time with every thread)\n"
           "      --resume       skip the variants whose images are all there and whole\n"
           "      --emit-jobs    write the variants, jobs.txt (for GNU parallel) and sweep.sbatch\n"
           "                     (a Slurm job array) into the folder and run nothing\n"
           "      --contact-sheet=DIR  lay out the final images of sweep folder DIR as index.html\n"
           "                     and contact.png (a sweep does this when it ends)\n"
           "\n"
           "Progress goes to stderr (a live bar on a terminal, a line per 10% otherwise);\n"
           "the last line on stdout sums up the run. Ctrl-C stops within half a second\n"
           "(the images written stay); a second Ctrl-C ends the program at once.\n"
           "A modpar line the model does not read, and a parameter it reads that no modpar\n"
           "line sets (it is 0), are printed as PATH:LINE: warning: TEXT; the script stays\n"
           "valid and runs.\n"
           "\n"
           "Exit status:\n"
           "  0    done\n"
           "  1    wrong command line\n"
           "  2    the script has errors (printed as PATH:LINE: TEXT)\n"
           "  3    the script could not be read or rewritten, or memory ran out\n"
           "  4    a numeric overflow stopped the run (the images written stay)\n"
           "  5    some images could not be written (each is reported with its cause)\n"
           "  130  interrupted by Ctrl-C\n"
           "A sweep ends with 0 when every variant ran, 1 for a wrong command line, 2 when the\n"
           "base or a variant has errors, 3 when a file could not be written, 6 when some\n"
           "variants failed (each is reported with its output) and 130 on Ctrl-C.\n";
}

std::string CliOptions::VersionText() { return "vorna-cli " VORNA_VERSION "\n"; }
