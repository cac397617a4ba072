// RoundReport: what one round of a command-line run did, as --json prints it: one JSON object
// on a line of its own. Owns copies of the names and paths it lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RoundReport {
    std::string Script;
    std::string Model;  // empty until the script was accepted
    int Round = 1;
    int SizeX = 0;
    int SizeY = 0;
    uint32_t Seed = 0;  // 0 until the round took its seed
    int32_t Iterations = 0;
    int32_t EndTime = 0;
    std::vector<std::string> Images;  // written, in the order they were written
    std::vector<std::string> Failed;  // could not be written
    double Seconds = 0.0;
    double Mps = 0.0;  // M points (2^20) a second
    int Status = 0;    // the round's exit code

    // The object in one line, ending with a line feed. Paths that are no valid UTF-8 keep
    // their bytes as U+FFFD.
    std::string Json() const;
};
