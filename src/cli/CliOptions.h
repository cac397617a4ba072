// CliOptions: the command line of vorna-cli, parsed the way Linux programs do (GNU long
// options, option permutation, "--" ends the options). Every option is declared once, in a table
// from which the parsing and --help are made. Owns copies of the texts it keeps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imageio/ImageOptions.h"
#include "movie/MovieEncoder.h"

class CliOptions {
public:
    enum class Action { Run, Help, Version, ListModels, UsageError, Sweep, ContactSheet };

    // Limits of the values the options take.
    static constexpr int MinRunSide = 10;    // --size, points a side
    static constexpr int MaxRunSide = 8192;  // --size, points a side
    static constexpr int HelpWidth = 79;     // --help's lines are at most this long

    // Parses argv[1..argc-1]; argv[0] names the program in messages. Run needs exactly one
    // script path; UsageError leaves the reason in ErrorText.
    Action Parse(int argc, char *const argv[]);

    // The --help text, and the --version line.
    std::string HelpText() const;
    static std::string VersionText();

    // Whether every round takes a seed of its own (and carries it in its image names).
    bool SeedPerRound() const { return Randomize || Rounds > 1; }

    std::string ProgramName = "vorna-cli";
    std::string ScriptPath;
    std::string ErrorText;
    bool CheckOnly = false;    // parse only, do not run
    bool Annotate = false;     // with CheckOnly: write the annotations (a run always does)
    bool Randomize = false;    // ignore the script's seed
    bool Quiet = false;        // no progress, no notes
    bool Help = false;         // --help: print the help and exit
    bool Version = false;      // --version
    bool ListModels = false;   // --list-models
    int Rounds = 1;            // runs with fresh seeds one after the other
    int Threads = 0;           // simulation threads; 0: the default (all cores, or VORNA_THREADS)
    std::string OutDir;        // where the images go; empty: beside the script
    uint32_t Seed = 0;         // the seed of the (first) round; 0: the script's
    bool Json = false;         // one JSON object per round on stdout, nothing else there
    std::string JsonFile;      // the same objects into this file at the end; empty: none
    bool NoOverwrite = false;  // refuse to start when an image to write exists
    // What the options change in the images: type, size, upscaling, maps. A sweep hands them
    // on to every variant (ImageOptions::ToArguments).
    ImageOptions Images;

    // Movies of the run: the files (--movie, the type by the extension), a frame every
    // MovieEvery iterations (0: one with every image), their rate and quality.
    std::vector<std::string> Movies;
    int MovieEvery = 0;
    MovieSettings Movie;

    // Sweeps: a --vary option makes the script the base of a sweep (Action Sweep); OutDir is
    // then the sweep folder and Seed the seed of every variant.
    std::vector<std::string> Varies;  // "modpar beta 6:10:5", one per --vary
    int Jobs = 0;                     // variants at once; 0 chosen by the field size
    bool Resume = false;              // skip variants whose images are all there and whole
    bool EmitJobs = false;            // write jobs.txt and sweep.sbatch, run nothing
    bool AllImages = false;           // variants write every image, not only their last
    std::string ContactSheetDir;      // --contact-sheet DIR (Action ContactSheet)

private:
    // What the options say together, once each has been read: the action.
    Action Conclude(int operands, char *const operand[]);
};
