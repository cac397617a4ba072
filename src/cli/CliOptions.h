// CliOptions: the command line of vorna-cli, parsed the way Linux programs do (GNU long
// options, option permutation, "--" ends the options). Owns copies of the texts it keeps.
#pragma once

#include <string>

class CliOptions {
public:
    enum class Action { Run, Help, Version, ListModels, UsageError };

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
};
