// CliOptions: the command line of vorna-cli, parsed the way Linux programs do (GNU long
// options, option permutation, "--" ends the options). Owns copies of the texts it keeps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CliOptions {
public:
    enum class Action { Run, Help, Version, ListModels, UsageError, Sweep, ContactSheet };

    // Parses argv[1..argc-1]; argv[0] names the program in messages. Run needs exactly one
    // script path; UsageError leaves the reason in ErrorText.
    Action Parse(int argc, char *const argv[]);

    // The --help text, and the --version line.
    std::string HelpText() const;
    static std::string VersionText();

    std::string ProgramName = "vorna-cli";
    std::string ScriptPath;
    std::string ErrorText;
    bool CheckOnly = false;  // parse only, do not run
    bool Annotate = false;   // with CheckOnly: write the annotations (a run always does)
    bool Randomize = false;  // ignore the script's seed
    bool Quiet = false;      // no progress, no notes
    int Rounds = 1;          // runs with fresh seeds one after the other
    int Threads = 0;         // simulation threads; 0: the default (all cores, or VORNA_THREADS)

    // Sweeps: a --vary option makes the script the base of a sweep (Action Sweep).
    std::vector<std::string> Varies;  // "modpar beta 6:10:5", one per --vary
    std::string OutDir;               // the sweep folder; "" is BASE-sweep beside the base
    uint32_t Seed = 0;                // --seed: every variant's seed; 0 none given
    int Jobs = 0;                     // variants at once; 0 chosen by the field size
    bool Resume = false;              // skip variants whose images are all there and whole
    bool EmitJobs = false;            // write jobs.txt and sweep.sbatch, run nothing
    std::string ContactSheetDir;      // --contact-sheet DIR (Action ContactSheet)
};
