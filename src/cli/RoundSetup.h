// RoundSetup: what the command line changes in a parsed script before a round runs (seed, image
// folder and names, file type, domain size) and the checks that must pass before it starts (the
// folder can be written, the memory suffices, no image would be overwritten).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliOptions.h"

class ReaDifSimulation;

class RoundSetup {
public:
    // err: where the reasons of a refusal go, as PATH: TEXT lines.
    RoundSetup(const CliOptions &options, FILE *err);

    // The machine's free memory in bytes, for tests; 0 (the default) reads /proc/meminfo.
    void SetAvailableMemory(uint64_t bytes) { AvailableMemory = bytes; }

    // Changes sim, as the parse of the script left it, for a round with seed (0: the script's):
    // the seed, the image names (in the output folder, with the seed when every round takes
    // its own), the file type and the domain size; makes the output folder. An exit code of
    // CliRunner: ExitDone, or ExitFileError with the reason printed.
    int Apply(ReaDifSimulation &sim, uint32_t seed);

    // Every image file a whole run of sim writes with the name prefix base, in the order it
    // writes them.
    static std::vector<std::string> ScheduledImages(const ReaDifSimulation &sim,
                                                    const CliOptions &options,
                                                    const std::string &base);
    // The first of paths that exists; empty when none does.
    static std::string FirstExisting(const std::vector<std::string> &paths);

    // The image name prefix of a round: the script's name without extension, in the output
    // folder when there is one, with "_s<seed>" when seed is not 0.
    std::string BaseName(const std::string &scriptBase, uint32_t seed) const;

private:
    // Makes the output folder with its parents and checks that files can be made in it.
    int MakeOutputFolder();
    // Sizes the fields to --size after checking that the upscaled images stay within the
    // writer's limit (else ExitUsage) and that the run fits into the free memory.
    int Resize(ReaDifSimulation &sim);

    const CliOptions &Options;
    FILE *Err;
    uint64_t AvailableMemory = 0;
    bool FolderMade = false;
};
