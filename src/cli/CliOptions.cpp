#include "cli/CliOptions.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>

namespace {

constexpr int MaxRounds = 1000000;
constexpr int MaxThreads = 64;

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
        {"list-models", no_argument, nullptr, 'm'}, {nullptr, 0, nullptr, 0},
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
    if (operands == 0) {
        ErrorText = "no script given";
        return Action::UsageError;
    }
    if (operands > 1) {
        ErrorText = "one script at a time ('" + std::string(argv[optind + 1]) + "' is extra)";
        return Action::UsageError;
    }
    ScriptPath = argv[optind];
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
           "  -h, --help         show this help and exit\n"
           "  -V, --version      show the version and exit\n"
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
           "  130  interrupted by Ctrl-C\n";
}

std::string CliOptions::VersionText() { return "vorna-cli " VORNA_VERSION "\n"; }
